// The program's base error class. It records the code address of the place
// that raised it, which the program body names in its "Application Error" box.
// It derives from std::exception alone: the library's runtime_error would
// link its whole reference-counted string into the program for one message.
#pragma once
#include <exception>
#include <memory>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(const std::string& message)
      : message_(std::make_shared<const std::string>(message)), address_(__builtin_return_address(0)) {}
  const char* what() const noexcept override { return message_->c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const void* Address() const noexcept { return address_; }

private:
  // Shared, so that copying the error while it is thrown cannot fail.
  std::shared_ptr<const std::string> message_;
  const void* address_;
};
