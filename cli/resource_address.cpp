#include "resource_address.h"

#include <iostream>

#include "res_target.h"

namespace pixmold::cli {

std::optional<ResType> ResourceAddress::ParsedType(std::string_view command) const {
  std::optional<ResType> parsed = ParseTypeArgument(type);
  if (!parsed)
    std::cerr << "pixmold " << command << ": a type is four characters (\\xHH for any byte): " << type << "\n";
  return parsed;
}

std::string ResourceAddress::Describe(ResType parsedType) const {
  return FormatType(parsedType) + " " + std::to_string(id);
}

void AddResourceAddressOptions(CLI::App& command, ResourceAddress& address, const char* fileHelp) {
  command.add_option("file", address.file, fileHelp)->required();
  command.add_option("type", address.type, "Four-character type, e.g. SPR2, STR#, BMP_ (\\xHH for any byte)")
      ->required();
  command.add_option("id", address.id, "Resource id")->required()->check(CLI::Range(-32768, 32767));
  command.add_option("--variant", address.variant, "Variant byte (files of the second container version)")
      ->check(CLI::Range(0, 255));
}

}  // namespace pixmold::cli
