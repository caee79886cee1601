// Helpers shared by the IFF container tests: resources as byte strings,
// files as byte vectors, and a snapshot of everything a file holds, so that a
// test can compare what opens with what it expects.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <compare>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/byte_cursor.h"
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
  std::copy(bytes.begin(), bytes.end(), HandleLock(h).Data());
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
  auto operator<=>(const ResKey&) const = default;
};

struct ResValue {
  std::string name;
  Bytes bytes;
  bool operator==(const ResValue&) const = default;
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

// The error a failed lookup leaves in the file; 1 when it found something.
template <typename T>
ResErr Miss(iResFile& file, T found) {
  return found ? 1 : file.GetError();
}

inline void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t BE32At(const Bytes& bytes, std::size_t offset) { return LoadU32(bytes, offset, ByteOrder::kBig); }
inline void PutBE32At(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  StoreU32(bytes, offset, value, ByteOrder::kBig);
}

// Raw file building, independent of the code under test.
inline void AppendBE(Bytes& bytes, std::uint32_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}
inline void AppendLE(Bytes& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
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

// A block: type, size, id, flags, then the version's own header field (the
// first version's name index, the second's 64-byte name), then the data.
inline void AppendBlock(Bytes& file, ResType type, ResID id, std::uint16_t flags, const Bytes& field,
                        const Bytes& data) {
  AppendBE(file, type, 4);
  AppendBE(file, static_cast<std::uint32_t>(12 + field.size() + data.size()), 4);
  AppendBE(file, static_cast<std::uint16_t>(id), 2);
  AppendBE(file, flags, 2);
  file.insert(file.end(), field.begin(), field.end());
  file.insert(file.end(), data.begin(), data.end());
}
inline void AppendBlock1(Bytes& file, ResType type, ResID id, std::uint16_t flags, std::int32_t nameIndex,
                         const Bytes& data) {
  Bytes field;
  AppendBE(field, static_cast<std::uint32_t>(nameIndex), 4);
  AppendBlock(file, type, id, flags, field, data);
}
inline void AppendBlock2(Bytes& file, ResType type, ResID id, std::uint16_t flags, std::string_view name,
                         const Bytes& data) {
  Bytes field(64, 0);
  std::copy(name.begin(), name.end(), field.begin());
  AppendBlock(file, type, id, flags, field, data);
}

// The blocks of a file, walked from offset 64.
struct RawBlock {
  std::size_t offset;
  std::uint32_t type;
  std::uint32_t size;
  std::uint16_t flags;
  ResID id;
};

inline std::vector<RawBlock> RawBlocks(const Bytes& file, std::size_t headerSize) {
  std::vector<RawBlock> blocks;
  for (std::size_t at = 64; at + headerSize <= file.size();) {
    RawBlock block{at, BE32At(file, at), BE32At(file, at + 4), LoadU16(file, at + 10, ByteOrder::kBig),
                   static_cast<ResID>(LoadU16(file, at + 8, ByteOrder::kBig))};
    if (block.size < headerSize || at + block.size > file.size()) break;
    blocks.push_back(block);
    at += block.size;
  }
  return blocks;
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
    const std::filesystem::path root =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (root / "pixmold-iff-XXXXXX").string();
    if (mkdtemp(pattern.data())) fPath = pattern;
  }
  ~MemoryScratchDir() {
    std::error_code ec;
    if (!fPath.empty()) std::filesystem::remove_all(fPath, ec);
  }
  MemoryScratchDir(const MemoryScratchDir&) = delete;
  MemoryScratchDir& operator=(const MemoryScratchDir&) = delete;
  std::string File(std::string_view name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

// A test name made of a case's description.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

// A container file created in a scratch directory and kept open in `file`;
// File may be the abstract container, made by the derived fixture.
template <typename File>
class OpenContainerTest : public ::testing::Test {
 protected:
  explicit OpenContainerTest(std::unique_ptr<File> made) : owned(std::move(made)) {}
  OpenContainerTest() : owned(std::make_unique<File>()) {}

  void NewFile() {
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
  }
  // Writes the bytes as the file and opens it.
  ResErr OpenBytes(const Bytes& bytes) {
    WriteFileBytes(path, bytes);
    return file.OpenFile(path);
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
  template <typename T>
  ResErr Miss(T found) {
    return testing::Miss(file, found);
  }
  ResID IdOf(MHandle h) {
    ResID id = 0;
    return file.GetResID(h, id);
  }
  std::string NameOf(MHandle h) {
    CTGString name("?");
    file.GetResName(h, name);
    return name.Str();
  }

  TempDir dir;
  std::string path = dir.File("object.iff");
  std::unique_ptr<File> owned;
  File& file = *owned;
};

}  // namespace pixmold::testing
