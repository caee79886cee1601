// The fatal build error. It carries its message in a 1024-byte buffer, the
// way every fatal message of a build is formatted; a longer message is cut to
// 1023 characters rather than reported again (reporting from here could
// recurse into another Terminate).
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace pixmold {

class Terminate : public std::exception {
 public:
  static constexpr std::size_t kCapacity = 1024;

  explicit Terminate(std::string_view message) : fMessage(message.substr(0, kCapacity - 1)) {}

  const char* what() const noexcept override { return fMessage.c_str(); }
  const std::string& Message() const noexcept { return fMessage; }

 private:
  std::string fMessage;
};

}  // namespace pixmold
