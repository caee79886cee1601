#include "filelib/far_writer.h"

#include <cstring>
#include <limits>

#include "filelib/far_format.h"

namespace pixmold {
namespace {

void SetU32LE(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void PutU32LE(std::vector<unsigned char>& out, std::uint32_t value) {
  out.resize(out.size() + 4);
  SetU32LE(out, out.size() - 4, value);
}

}  // namespace

bool FarWriter::Add(std::string_view name, std::span<const unsigned char> bytes) {
  if (name.size() >= kFARMaxNameLength || CleanMemberName(name).empty()) return false;
  if (fMembers.size() + 1 >= kFARMaxEntries) return false;
  std::uint64_t total = fTotal + bytes.size() + kFARMinEntrySize + name.size();
  if (total > std::numeric_limits<std::uint32_t>::max()) return false;
  fTotal = total;
  fMembers.push_back(Member{std::string(name), std::vector<unsigned char>(bytes.begin(), bytes.end())});
  return true;
}

bool FarWriter::Add(std::string_view name, std::string_view text) {
  return Add(name, std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

std::vector<unsigned char> FarWriter::Build() const {
  std::vector<unsigned char> out;
  out.reserve(static_cast<std::size_t>(fTotal));
  out.resize(kFARHeaderSize);
  std::memcpy(out.data(), kFARMagic, 8);
  SetU32LE(out, 8, knFARVersion);
  std::vector<std::uint32_t> offsets;
  for (const Member& member : fMembers) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), member.bytes.begin(), member.bytes.end());
  }
  auto directory = static_cast<std::uint32_t>(out.size());
  SetU32LE(out, 12, directory);
  PutU32LE(out, static_cast<std::uint32_t>(fMembers.size()));
  for (std::size_t i = 0; i < fMembers.size(); ++i) {
    const Member& member = fMembers[i];
    auto size = static_cast<std::uint32_t>(member.bytes.size());
    PutU32LE(out, size);
    PutU32LE(out, size);
    PutU32LE(out, offsets[i]);
    PutU32LE(out, static_cast<std::uint32_t>(member.name.size()));
    out.insert(out.end(), member.name.begin(), member.name.end());
  }
  return out;
}

bool FarWriter::Save(const std::string& path, FileSystem& files) const { return WriteWholeFile(files, path, Build()); }

}  // namespace pixmold
