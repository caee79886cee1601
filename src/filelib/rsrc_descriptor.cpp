#include "filelib/rsrc_descriptor.h"

#include "base/ascii.h"
#include "filelib/debug_assert.h"

namespace pixmold {
namespace {

// The position of the extension's '.', when it stands among the last four.
std::optional<std::size_t> ExtensionDot(std::string_view fileName) {
  if (fileName.size() <= 3) return std::nullopt;
  for (std::size_t back = 2; back <= 4; ++back) {
    std::size_t at = fileName.size() - back;
    if (fileName[at] == '.') return at;
  }
  return std::nullopt;
}

}  // namespace

std::string RsrcExtension(RsrcType type) {
  if (type == RsrcDescriptor::kAnyType) return ".*";
  std::string ext = ".";
  for (int i = 0; i < 3; ++i) ext += static_cast<char>((type >> (24 - 8 * i)) & 0xFF);
  return ext;
}

std::string RsrcFileName(RsrcType type, std::int32_t id, std::string_view name) {
  std::string fileName;
  if (id != RsrcDescriptor::kNoID) {
    fileName += '#';
    fileName += std::to_string(id);
    fileName += '#';
  }
  fileName.append(name);
  fileName += RsrcExtension(type);
  return fileName;
}

std::int32_t RsrcIDFromFileName(std::string_view fileName) {
  if (fileName.empty() || fileName[0] != '#') return RsrcDescriptor::kNoID;
  // j counts the characters between the two '#'.
  std::size_t j = 0;
  while (j + 1 < fileName.size() && fileName[j + 1] != '#') ++j;
  if (j >= 10) {
    DEBUG_ASSERT_FAIL("j < 10");
    return RsrcDescriptor::kNoID;
  }
  // Read as a C library would: an optional sign, then digits up to the
  // first other character.
  std::string_view digits = fileName.substr(1, j);
  bool negative = !digits.empty() && digits[0] == '-';
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
  std::int32_t value = 0;  // at most 9 digits: cannot overflow
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::string RsrcNameFromFileName(std::string_view fileName) {
  std::string_view name = fileName;
  if (auto dot = ExtensionDot(name)) name = name.substr(0, *dot);
  if (!name.empty() && name[0] == '#') {
    std::size_t second = name.find('#', 1);
    name = second == std::string_view::npos ? std::string_view() : name.substr(second + 1);
  }
  return std::string(name);
}

bool HasRsrcExtension(std::string_view fileName) { return ExtensionDot(fileName).has_value(); }

std::optional<RsrcType> RsrcTypeFromFileName(std::string_view fileName) {
  std::size_t len = fileName.size();
  DEBUG_ASSERT(len > 3);
  auto dot = ExtensionDot(fileName);
  if (!dot) {
    if (len > 3) DEBUG_ASSERT_FAIL("extension found");
    return std::nullopt;
  }
  RsrcType type = 0;
  std::string_view ext = fileName.substr(*dot + 1);
  for (std::size_t i = 0; i < ext.size(); ++i) {
    type |= static_cast<RsrcType>(static_cast<unsigned char>(ext[i])) << (24 - 8 * i);
  }
  return type;
}

bool RsrcTypeMatches(RsrcType type, std::string_view fileName) {
  if (type == RsrcDescriptor::kAnyType) return HasRsrcExtension(fileName);
  std::string ext = RsrcExtension(type);
  return EndsWithIgnoringCase(fileName, ext);
}

}  // namespace pixmold
