// The C++ runtime's own errors as KorvSchd.exe has them: every Windows test
// program links the program's replacement of the library's throw helpers
// (app/SmallRuntime.cpp), so what holds here holds in the shipped program.
// The program catches only std::exception and everything (...), never one of
// the library's error types by name.
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {
template <class F>
std::string MessageOf(F raise) {
  try {
    raise();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}
}  // namespace

TEST(Runtime, LibraryErrorsAreStdExceptionsNamingTheirFunction) {
  const std::string five(5, 'x');
  const std::vector<int> none;
  EXPECT_NE(MessageOf([&] { static_cast<void>(five.at(5)); }).find("basic_string::at"), std::string::npos);
  EXPECT_NE(MessageOf([&] { static_cast<void>(five.substr(6)); }).find("basic_string::substr"), std::string::npos);
  EXPECT_NE(MessageOf([&] { static_cast<void>(none.at(0)); }).find("vector::_M_range_check"), std::string::npos);
  EXPECT_NE(MessageOf([&] { std::string(five).reserve(SIZE_MAX); }).find("basic_string"), std::string::npos);
}

TEST(Runtime, AllocationFailuresKeepTheirOwnType) {
  std::allocator<std::uint64_t> allocator;
  EXPECT_THROW(static_cast<void>(allocator.allocate(SIZE_MAX / 4)), std::bad_alloc);
  EXPECT_THROW(static_cast<void>(::operator new(SIZE_MAX / 2)), std::bad_alloc);
}
