// Error types shared by every subsystem. Errors are exceptions carrying the system's own
// message; OsError also keeps the operating system's error code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvra {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class OsError : public Error {
  public:
    OsError(std::string message, std::uint32_t code) : Error(std::move(message)), code_(code) {}
    // Win32 error code on Windows, errno on POSIX.
    std::uint32_t code() const { return code_; }

  private:
    std::uint32_t code_;
};

}  // namespace kelvra
