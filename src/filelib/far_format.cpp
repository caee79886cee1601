#include "filelib/far_format.h"

#include <cstring>

#include "filelib/ctg_file.h"

namespace pixmold {

std::string CleanMemberName(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return {};
  if (name.front() == '/' || name.front() == '\\') return {};
  std::string clean;
  while (!name.empty()) {
    std::size_t cut = name.find_first_of("/\\");
    std::string_view segment = name.substr(0, cut);
    name = cut == std::string_view::npos ? std::string_view() : name.substr(cut + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") return {};
    if (!clean.empty()) clean += '/';
    clean.append(segment);
  }
  return clean;
}

namespace {

// A member name as it can be shown in a message: bytes outside printable
// ASCII are written as \xHH.
std::string Printable(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (unsigned char c : name) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 0xF];
    }
  }
  return shown;
}

}  // namespace

bool ReadFarHeader(CTGFile& file, std::uint32_t& count, std::string& error) {
  unsigned char magic[8];
  if (!file.Seek(0) || !file.ReadBytes(magic) || std::memcmp(magic, kFARMagic, sizeof magic) != 0) {
    error = "not an archive: it does not start with \"FAR!byQX\"";
    return false;
  }
  std::uint32_t version = 0;
  std::uint32_t directoryOffset = 0;
  if (!file.ReadU32LE(version) || !file.ReadU32LE(directoryOffset)) {
    error = "archive header cut short";
    return false;
  }
  if (version != knFARVersion) {
    error = "archive version " + std::to_string(version) + " is not supported (only 1)";
    return false;
  }
  if (!file.Seek(directoryOffset) || !file.ReadU32LE(count)) {
    error = "archive directory offset " + std::to_string(directoryOffset) + " lies outside the archive";
    return false;
  }
  if (count == 0 || count >= kFARMaxEntries) {
    error = "archive entry count " + std::to_string(count) + " out of range (1 to 499999)";
    return false;
  }
  return true;
}

FarEntryResult ReadFarEntry(CTGFile& file, std::uint32_t index, FarEntry& entry, std::string& reason) {
  const std::string which = "archive entry " + std::to_string(index);
  std::uint32_t size = 0;
  std::uint32_t secondSize = 0;
  std::uint32_t offset = 0;
  std::uint32_t nameLength = 0;
  if (!file.ReadU32LE(size) || !file.ReadU32LE(secondSize) || !file.ReadU32LE(offset) || !file.ReadU32LE(nameLength)) {
    reason = "archive directory cut short at entry " + std::to_string(index);
    return FarEntryResult::kFailed;
  }
  if (nameLength >= kFARMaxNameLength) {
    reason = which + " has a name of " + std::to_string(nameLength) + " bytes (at most 2046)";
    return FarEntryResult::kFailed;
  }
  // Bounded by the check above, so the name never asks for much.
  std::string name(nameLength, '\0');
  if (!file.ReadBytes(std::span(reinterpret_cast<unsigned char*>(name.data()), name.size()))) {
    reason = "archive directory cut short in the name of entry " + std::to_string(index);
    return FarEntryResult::kFailed;
  }
  const std::string shown = which + " \"" + Printable(name) + "\"";
  if (static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(size) > file.Size()) {
    reason = shown + " skipped: its " + std::to_string(size) + " bytes at " + std::to_string(offset) +
             " lie outside the archive of " + std::to_string(file.Size()) + " bytes";
    return FarEntryResult::kSkipped;
  }
  std::string clean = CleanMemberName(name);
  if (clean.empty()) {
    reason = shown + " skipped: not a relative path below the archive's directory";
    return FarEntryResult::kSkipped;
  }
  entry = FarEntry{std::move(clean), offset, size};
  return FarEntryResult::kMember;
}

}  // namespace pixmold
