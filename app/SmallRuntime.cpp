// Two pieces of the static C++ runtime that the program replaces to stay
// small (the library's own bring 54 KB: its string and error classes);
// linked into KorvSchd.exe and into every Windows test program, so that the
// tests meet the runtime's errors as the program does (tests/win/RuntimeTest.cpp).
// - The default terminate handler: the library's prints the exception's
//   demangled type to standard error, which a windowed program does not have,
//   and brings in the whole demangler for it. Ours ends the process the same
//   way, with abort().
// - The library's throw helpers (length, range and similar errors raised
//   inside std::string and the containers): the library's own build them from
//   its reference-counted string classes. Ours raise LibraryError, which
//   carries the same message and is caught where every std::exception is:
//   the program catches no library error type by name. Allocation failures
//   keep their own types.
#include <cstdarg>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {
class LibraryError : public std::exception {
public:
  explicit LibraryError(const char* message) noexcept : message_(message) {}
  const char* what() const noexcept override { return message_; }

private:
  const char* message_;  // the library passes literals
};
}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The names are the library's own, which is the point.
// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl50-cpp)
namespace std {
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* message) { throw LibraryError(message); }
void __throw_domain_error(const char* message) { throw LibraryError(message); }
void __throw_invalid_argument(const char* message) { throw LibraryError(message); }
void __throw_length_error(const char* message) { throw LibraryError(message); }
void __throw_out_of_range(const char* message) { throw LibraryError(message); }
// The library's formats begin with the name of the function ("%s: ..."); the
// message keeps that name and leaves out the figures.
void __throw_out_of_range_fmt(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const char* name = (format[0] == '%' && format[1] == 's') ? va_arg(arguments, const char*) : format;
  va_end(arguments);
  throw LibraryError(name);
}
void __throw_runtime_error(const char* message) { throw LibraryError(message); }
void __throw_range_error(const char* message) { throw LibraryError(message); }
void __throw_overflow_error(const char* message) { throw LibraryError(message); }
void __throw_underflow_error(const char* message) { throw LibraryError(message); }
}  // namespace std
// NOLINTEND(bugprone-reserved-identifier, cert-dcl50-cpp)
