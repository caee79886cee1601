// The error of the architecture generators. A wall, floor or water pass
// stops at the first resource it cannot make or store, and the driver
// reports why together with the resource file's error code, which is what
// an artist needs to tell a full disk from a locked file.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "resfile/res_types.h"

namespace pixmold {

class WallError : public std::exception {
 public:
  WallError(std::string_view message, ResErr code) : fMessage(message), fCode(code) {}

  const char* what() const noexcept override { return fMessage.c_str(); }
  const std::string& Message() const noexcept { return fMessage; }
  ResErr Code() const noexcept { return fCode; }

 private:
  std::string fMessage;
  ResErr fCode;
};

}  // namespace pixmold
