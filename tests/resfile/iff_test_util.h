// Helpers shared by the IFF container tests: resources as byte strings,
// files as byte vectors, and a snapshot of everything a file holds, so that a
// test can compare what opens with what it expects.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "resfile/handle_owner.h"
#include "resfile/mem_handle.h"
#include "resfile/res_file.h"
#include "resfile/res_types.h"
#include "resfile/res_walk.h"
#include "support/temp_dir.h"

namespace pixmold::testing {

using Bytes = std::vector<std::uint8_t>;

inline MHandle HandleOf(const Bytes& bytes) {
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  HandleLock lock(h);
  std::copy(bytes.begin(), bytes.end(), lock.Data());
  return h;
}

inline MHandle HandleOf(std::string_view text) { return HandleOf(Bytes(text.begin(), text.end())); }

inline Bytes BytesOf(MHandle h) {
  if (!h) return {};
  HandleLock lock(h);
  return Bytes(lock.Data(), lock.Data() + lock.Size());
}

inline std::string TextOf(MHandle h) {
  Bytes bytes = BytesOf(h);
  return std::string(bytes.begin(), bytes.end());
}

// A resource's bytes made from a seed, so different seeds differ.
inline Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

struct ResKey {
  ResType type;
  ResID id;
  std::uint8_t variant;
  friend bool operator<(const ResKey& a, const ResKey& b) {
    return std::tie(a.type, a.id, a.variant) < std::tie(b.type, b.id, b.variant);
  }
  friend bool operator==(const ResKey& a, const ResKey& b) {
    return std::tie(a.type, a.id, a.variant) == std::tie(b.type, b.id, b.variant);
  }
};

struct ResValue {
  std::string name;
  Bytes bytes;
  friend bool operator==(const ResValue& a, const ResValue& b) { return a.name == b.name && a.bytes == b.bytes; }
};

using Snapshot = std::map<ResKey, ResValue>;

// Everything an open file holds, read by enumeration; a resource whose bytes
// cannot be read is left out.
inline Snapshot TakeSnapshot(iResFile& file) {
  Snapshot snapshot;
  ForEachResource(file, UnreadableResource::kSkip, [&snapshot](const WalkedResource& resource) {
    snapshot[{resource.type, resource.id, resource.variant}] = {resource.name.Str(), BytesOf(resource.handle)};
    return res_error::kNone;
  });
  return snapshot;
}

inline Bytes FileBytes(const std::string& path) { return ReadAll(path); }

inline void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t BE32At(const Bytes& bytes, std::size_t offset) {
  return (static_cast<std::uint32_t>(bytes.at(offset)) << 24) |
         (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 16) |
         (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 8) | bytes.at(offset + 3);
}

inline void PutBE32At(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value >> 24);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 16);
  bytes.at(offset + 2) = static_cast<std::uint8_t>(value >> 8);
  bytes.at(offset + 3) = static_cast<std::uint8_t>(value);
}

}  // namespace pixmold::testing

namespace pixmold::testing {

// Raw file building, independent of the code under test.
inline void AppendBE(Bytes& bytes, std::uint32_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline Bytes Header1() {
  std::string text = std::string("IFF FILE 1.0:TYPE FOLLOWED BY SIZE") + '\0' + " ORRIN VELDKAMP & KORVA 1996" + '\0';
  return Bytes(text.begin(), text.end());
}

inline Bytes Header2(char minor, std::uint32_t mapOffset) {
  std::string text = std::string("IFF FILE 2.") + minor + ":TYPE FOLLOWED BY SIZE" + '\0' + " ORRIN VELDKAMP & KORVA 1";
  Bytes bytes(text.begin(), text.end());
  AppendBE(bytes, mapOffset, 4);
  return bytes;
}

// A first-version block: 16-byte header and data.
inline void AppendBlock1(Bytes& file, ResType type, ResID id, std::uint16_t flags, std::int32_t nameIndex,
                         const Bytes& data) {
  AppendBE(file, type, 4);
  AppendBE(file, static_cast<std::uint32_t>(data.size() + 16), 4);
  AppendBE(file, static_cast<std::uint16_t>(id), 2);
  AppendBE(file, flags, 2);
  AppendBE(file, static_cast<std::uint32_t>(nameIndex), 4);
  file.insert(file.end(), data.begin(), data.end());
}

// A second-version block: 76-byte header with the name, and data.
inline void AppendBlock2(Bytes& file, ResType type, ResID id, std::uint16_t flags, std::string_view name,
                         const Bytes& data) {
  AppendBE(file, type, 4);
  AppendBE(file, static_cast<std::uint32_t>(data.size() + 76), 4);
  AppendBE(file, static_cast<std::uint16_t>(id), 2);
  AppendBE(file, flags, 2);
  Bytes field(64, 0);
  std::copy(name.begin(), name.end(), field.begin());
  file.insert(file.end(), field.begin(), field.end());
  file.insert(file.end(), data.begin(), data.end());
}

// Offsets and types of the blocks of a file, walked from offset 64.
struct RawBlock {
  std::size_t offset;
  std::uint32_t type;
  std::uint32_t size;
  std::uint16_t flags;
};

inline std::vector<RawBlock> RawBlocks(const Bytes& file, std::size_t headerSize) {
  std::vector<RawBlock> blocks;
  for (std::size_t at = 64; at + headerSize <= file.size();) {
    RawBlock block{at, BE32At(file, at), BE32At(file, at + 4),
                   static_cast<std::uint16_t>((file[at + 10] << 8) | file[at + 11])};
    if (block.size < headerSize || at + block.size > file.size()) break;
    blocks.push_back(block);
    at += block.size;
  }
  return blocks;
}

}  // namespace pixmold::testing

namespace pixmold::testing {

// A resource map's bytes as a Recon record (12-byte header, then
// little-endian fields; strings end with a zero byte and an even length),
// built by hand so that tests can damage any field.
struct MapEntrySpec {
  std::uint32_t offset;
  ResID id;
  std::uint16_t flags;
  std::string name;
};
struct MapTypeSpec {
  ResType type;
  std::vector<MapEntrySpec> entries;
  std::int64_t countOverride = -1;  // a count that lies, when not -1
};

inline void AppendLE(Bytes& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline Bytes MapRecord(std::int32_t freeTotal, const std::vector<MapTypeSpec>& types,
                       std::int64_t typeCountOverride = -1) {
  Bytes bytes;
  AppendLE(bytes, 0, 4);
  AppendLE(bytes, 0, 4);
  AppendLE(bytes, MakeResType("rsmp"), 4);
  AppendLE(bytes, static_cast<std::uint32_t>(freeTotal), 4);
  AppendLE(bytes, static_cast<std::uint32_t>(typeCountOverride >= 0 ? typeCountOverride : types.size()), 4);
  for (const auto& type : types) {
    AppendLE(bytes, type.type, 4);
    AppendLE(bytes, static_cast<std::uint32_t>(type.countOverride >= 0 ? type.countOverride : type.entries.size()), 4);
    for (const auto& entry : type.entries) {
      AppendLE(bytes, entry.offset, 4);
      AppendLE(bytes, static_cast<std::uint16_t>(entry.id), 2);
      AppendLE(bytes, entry.flags, 2);
      bytes.insert(bytes.end(), entry.name.begin(), entry.name.end());
      bytes.push_back(0);
      if ((entry.name.size() + 1) % 2) bytes.push_back(0);
    }
  }
  return bytes;
}

inline std::size_t FreeBlockCount(const Bytes& file, std::size_t headerSize) {
  std::size_t count = 0;
  for (const auto& block : RawBlocks(file, headerSize)) count += (block.flags & 4) != 0;  // the free flag
  return count;
}

// A scratch directory in memory (/dev/shm) when the system has one, for tests
// that write and cut files thousands of times: on a disk file system each cut
// and each truncating open waits for the disk.
class MemoryScratchDir {
 public:
  MemoryScratchDir() {
    std::error_code ec;
    std::filesystem::path root = "/dev/shm";
    if (!std::filesystem::is_directory(root, ec)) root = std::filesystem::temp_directory_path();
    std::string pattern = (root / "pixmold-iff-XXXXXX").string();
    if (mkdtemp(pattern.data())) fPath = pattern;
  }
  ~MemoryScratchDir() {
    std::error_code ec;
    if (!fPath.empty()) std::filesystem::remove_all(fPath, ec);
  }
  MemoryScratchDir(const MemoryScratchDir&) = delete;
  MemoryScratchDir& operator=(const MemoryScratchDir&) = delete;

  bool Valid() const { return !fPath.empty(); }
  std::string File(std::string_view name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

}  // namespace pixmold::testing

namespace pixmold::testing {

// A test name made of a case's description.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

// A container file created in a scratch directory and kept open in `file`.
template <typename File>
class OpenContainerTest : public ::testing::Test {
 protected:
  std::string NewFile() {
    EXPECT_EQ(File().CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    return path;
  }
  // Closes and opens again; a second-version file without its map, when
  // asked, and opened by its map otherwise.
  void Reopen(bool clearMap = false) {
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    if constexpr (requires { file.ClearMap(path); }) {
      ASSERT_TRUE(!clearMap || file.ClearMap(path) == res_error::kNone);
      ASSERT_EQ(file.OpenFile(path), res_error::kNone);
      ASSERT_EQ(file.OpenedByMap(), !clearMap);
    } else {
      ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    }
  }
  // Adds and writes a resource; the file keeps the handle.
  MHandle Put(ResType type, ResID id, const Bytes& bytes, std::string_view name = "", std::uint8_t variant = 0) {
    MHandle h = HandleOf(bytes);
    EXPECT_EQ(variant ? file.AddVariantResource(h, type, id, CTGString(name), variant, true)
                      : file.AddResource(h, type, id, CTGString(name), true),
              res_error::kNone);
    EXPECT_EQ(file.WriteResource(h), res_error::kNone);
    return h;
  }
  // A resource's bytes as text, "<absent>" when there is none.
  std::string Get(ResType type, ResID id, std::uint8_t variant = 0) {
    MHandle h = file.GetVariantResource(type, id, variant, nullptr);
    std::string text = h ? TextOf(h) : "<absent>";
    if (h) file.ReleaseAndDispose(h);
    return text;
  }

  TempDir dir;
  std::string path = dir.File("object.iff");
  File file;
};

}  // namespace pixmold::testing
