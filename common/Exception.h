// The program's base error class. It records the code address of the place
// that raised it, which the program body names in its "Application Error" box.
#pragma once
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message)
      : std::runtime_error(message), address_(__builtin_return_address(0)) {}
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const void* Address() const noexcept { return address_; }

private:
  const void* address_;
};
