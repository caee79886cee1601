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

bool ReadFarDirectory(CTGFile& file, std::vector<FarEntry>& entries, std::string& error) {
  const std::int64_t archiveSize = file.Size();
  entries.clear();
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
  std::uint32_t count = 0;
  if (!file.Seek(directoryOffset) || !file.ReadU32LE(count)) {
    error = "archive directory offset " + std::to_string(directoryOffset) + " lies outside the archive";
    return false;
  }
  if (count == 0 || count >= kFARMaxEntries) {
    error = "archive entry count " + std::to_string(count) + " out of range (1 to 499999)";
    return false;
  }
  // Each entry takes at least 16 bytes, so the archive's size bounds the
  // count before anything is reserved for it.
  std::int64_t room = archiveSize - static_cast<std::int64_t>(directoryOffset) - 4;
  if (static_cast<std::int64_t>(count) * kFARMinEntrySize > room) {
    error = "archive directory of " + std::to_string(count) + " entries does not fit in the archive";
    return false;
  }
  entries.reserve(count);
  std::string name;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t size = 0;
    std::uint32_t secondSize = 0;
    std::uint32_t offset = 0;
    std::uint32_t nameLength = 0;
    if (!file.ReadU32LE(size) || !file.ReadU32LE(secondSize) || !file.ReadU32LE(offset) ||
        !file.ReadU32LE(nameLength)) {
      error = "archive directory cut short at entry " + std::to_string(i);
      return false;
    }
    if (nameLength >= kFARMaxNameLength) {
      error = "archive entry " + std::to_string(i) + " has a name of " + std::to_string(nameLength) +
              " bytes (at most 2046)";
      return false;
    }
    name.resize(nameLength);
    if (!file.ReadBytes(std::span(reinterpret_cast<unsigned char*>(name.data()), name.size()))) {
      error = "archive directory cut short in the name of entry " + std::to_string(i);
      return false;
    }
    if (static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(size) > archiveSize) {
      error = "archive entry " + std::to_string(i) + " (" + std::to_string(size) + " bytes at " +
              std::to_string(offset) + ") lies outside the archive of " + std::to_string(archiveSize) + " bytes";
      return false;
    }
    std::string clean = CleanMemberName(name);
    if (clean.empty()) {
      error = "archive entry " + std::to_string(i) + " has an unusable member path";
      return false;
    }
    entries.push_back(FarEntry{std::move(clean), offset, size});
  }
  return true;
}

}  // namespace pixmold
