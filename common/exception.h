// The base of every exception the program raises. Errors carry one message text, shown or logged
// as it stands; subclasses add the numbers that callers tell errors apart by.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zarn {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A settings-store read or write that failed ("Invalid data type for '...'", ...).
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// A text that does not convert to the number or date asked for.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An error of the automation layer: missing or wrong type information.
class EOleError : public Exception {
 public:
  using Exception::Exception;
};

// A system call that failed: "System Error.  Code: <number>.\r\n<the system's text>"; ErrorCode
// is the Windows error number.
class EOSError : public Exception {
 public:
  EOSError(std::uint32_t error_code, const std::string& text)
      : Exception("System Error.  Code: " + std::to_string(error_code) + ".\r\n" + text),
        error_code_(error_code) {}

  std::uint32_t ErrorCode() const noexcept { return error_code_; }

 private:
  std::uint32_t error_code_;
};

// A COM call that returned a failure result; ErrorCode is that result (an HRESULT).
class EOleSysError : public EOleError {
 public:
  EOleSysError(std::string message, std::int32_t error_code)
      : EOleError(std::move(message)), error_code_(error_code) {}

  std::int32_t ErrorCode() const noexcept { return error_code_; }

 private:
  std::int32_t error_code_;
};

// A class registration that could not be written ("Error creating system registry entry").
class EOleRegistrationError : public EOleError {
 public:
  using EOleError::EOleError;
};

}  // namespace zarn
