// One open file of the file library: a loose file on disk, or the read-only
// slice of an archive that holds one member. Positions are relative to the
// start of the file (or member) and kept here, not in the descriptor, because
// the members of an archive share the archive's descriptor; every transfer
// names its offset, and member reads go through the manager, which serialises
// them on the shared descriptor.
//
// Reads smaller than the cache are served from a 4096-byte read cache, so a
// reader that takes one byte at a time (the markup scanner) makes one system
// call per 4096 bytes. Writes and size changes drop the cache.
//
// Sizes and positions are 64-bit here; FlatFile narrows them to the 32-bit
// counts of the resource layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/ctg_string.h"
#include "filelib/file_system.h"

namespace pixmold {

class CTGFileManager;

class CTGFile {
 public:
  static constexpr std::size_t kCacheSize = 4096;

  // Only the manager makes file objects (it hands them out through Open).
  class Passkey {
    friend class CTGFileManager;
    Passkey() = default;
  };
  struct Slice {
    FileHandle handle = kNoFile;
    std::int64_t base = 0;  // offset of the member inside its archive
    std::int64_t size = 0;
    bool archive = false;  // the handle is an archive's shared descriptor
    bool writable = false;
  };
  CTGFile(Passkey, CTGFileManager& manager, CTGString name, std::string key, const Slice& slice);
  ~CTGFile();
  CTGFile(const CTGFile&) = delete;
  CTGFile& operator=(const CTGFile&) = delete;

  // Reads up to count bytes at the position, never past the end of a member;
  // returns the bytes read (the position advances by them), or -1 on error.
  std::int64_t Read(void* buffer, std::size_t count);
  // Exactly count bytes at the position, mapped where the file system can
  // (see FileView), advancing the position past them; nothing when fewer
  // remain or they cannot be read.
  std::optional<FileView> View(std::size_t count);
  // Reads up to count bytes at offset, never past the end of a member,
  // without the position or the read cache: threads may read one file at
  // once. Returns the bytes read, or -1 on error.
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) const;
  // Writes at the position, advancing it and growing the size; returns the
  // bytes written, or -1 (read-only files and count 0 write nothing).
  std::int64_t Write(const void* buffer, std::size_t count);
  // Sets the position; offsets beyond the size fail.
  bool Seek(std::int64_t offset);
  // Positions at offset, beyond the end, and makes that the size (loose files).
  bool Extend(std::int64_t offset);
  std::int64_t Tell() const { return mnPos; }
  // Truncates or extends the file and positions at its new end.
  bool SetSize(std::int64_t size);
  std::int64_t Size() const { return mnSize; }
  bool Flush();
  bool Sync();
  bool MarkModified();
  void StartWriteback(std::int64_t offset, std::int64_t count);

  // Exactly four bytes as a little-endian value; false when fewer remain.
  bool ReadU32LE(std::uint32_t& value);
  // Exactly bytes.size() bytes; false when fewer remain.
  bool ReadBytes(std::span<unsigned char> bytes);

  const CTGString& Name() const { return mName; }
  const std::string& Key() const { return mKey; }
  bool IsFAR() const { return mbFAR; }
  bool IsWritable() const { return mbWritable; }

 private:
  void DropCache() { mnCacheSize = 0; }

  CTGString mName;   // as the caller spelled it
  std::string mKey;  // the manager's key for it
  FileHandle mhFile = kNoFile;
  std::int64_t mnSize = 0;
  std::int64_t mnBase = 0;
  std::int64_t mnPos = 0;
  CTGFileManager* mpCTGFileManager;
  std::unique_ptr<unsigned char[]> mCache;  // kCacheSize bytes once used
  std::size_t mnCacheSize = 0;              // valid bytes in the cache
  std::int64_t mnCacheOffset = 0;           // file position of the cache's first byte
  bool mbFAR = false;
  bool mbWritable = false;
};

}  // namespace pixmold
