// The FILE TYPE ID [--variant N] arguments that cat, add and rm share, so the
// three commands spell and check them alike.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "resfile/res_types.h"

namespace pixmold::cli {

struct ResourceAddress {
  std::string file;
  std::string type;
  int id = 0;
  int variant = 0;

  // The type; prints "pixmold CMD: a type is four characters ..." when the
  // argument is not one.
  std::optional<ResType> ParsedType(std::string_view command) const;
  // "TYPE ID", as the commands name a resource in their messages.
  std::string Describe(ResType parsedType) const;
};

void AddResourceAddressOptions(CLI::App& command, ResourceAddress& address, const char* fileHelp);

}  // namespace pixmold::cli
