#include "filelib/ctg_file.h"

#include <algorithm>
#include <cstring>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_locks.h"

namespace pixmold {

CTGFile::CTGFile(Passkey, CTGFileManager& manager, CTGString name, std::string key, const Slice& slice)
    : mName(std::move(name)),
      mKey(std::move(key)),
      mhFile(slice.handle),
      mnSize(slice.size),
      mnBase(slice.base),
      mpCTGFileManager(&manager),
      mbFAR(slice.archive),
      mbWritable(slice.writable && !slice.archive) {}

CTGFile::~CTGFile() {
  // An archive's descriptor belongs to the manager and stays open.
  if (!mbFAR && mhFile != kNoFile) {
    ForgetOpenedFile(mhFile);
    mpCTGFileManager->Files().Close(mhFile);
  }
}

std::int64_t CTGFile::ReadAt(std::int64_t offset, void* buffer, std::size_t count) const {
  if (mbFAR) {
    // Never past the member's end: the archive goes on with other members.
    std::int64_t left = mnSize - offset;
    if (left <= 0) return 0;
    count = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
    return mpCTGFileManager->ReadShared(mhFile, mnBase + offset, buffer, count);
  }
  return mpCTGFileManager->Files().ReadAt(mhFile, offset, buffer, count);
}

std::int64_t CTGFile::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::size_t want = count - done;
    std::int64_t cacheEnd = mnCacheOffset + static_cast<std::int64_t>(mnCacheSize);
    if (mnCacheSize > 0 && mnPos >= mnCacheOffset && mnPos < cacheEnd) {
      std::size_t take = std::min(want, static_cast<std::size_t>(cacheEnd - mnPos));
      std::memcpy(out + done, mCache.get() + (mnPos - mnCacheOffset), take);
      done += take;
      mnPos += static_cast<std::int64_t>(take);
      continue;
    }
    if (want >= kCacheSize) {
      std::int64_t n = ReadAt(mnPos, out + done, want);
      if (n < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
      done += static_cast<std::size_t>(n);
      mnPos += n;
      break;
    }
    if (!mCache) mCache = std::make_unique_for_overwrite<unsigned char[]>(kCacheSize);
    std::int64_t n = ReadAt(mnPos, mCache.get(), kCacheSize);
    if (n < 0) {
      DropCache();
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    mnCacheOffset = mnPos;
    mnCacheSize = static_cast<std::size_t>(n);
    if (n == 0) break;
  }
  // Another writer may have grown a loose file since it was opened.
  if (mnPos > mnSize) mnSize = mnPos;
  return static_cast<std::int64_t>(done);
}

std::optional<FileView> CTGFile::View(std::size_t count) {
  if (mnPos < 0 || mnPos > mnSize || static_cast<std::uint64_t>(mnSize - mnPos) < count) return std::nullopt;
  // A small file read from its start is already all in the cache.
  const std::int64_t end = mnPos + static_cast<std::int64_t>(count);
  if (mnCacheSize > 0 && mnPos >= mnCacheOffset && end <= mnCacheOffset + static_cast<std::int64_t>(mnCacheSize)) {
    auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(count);
    std::memcpy(copy.get(), mCache.get() + (mnPos - mnCacheOffset), count);
    mnPos = end;
    return FileView(std::move(copy), count);
  }
  std::optional<FileView> view = mbFAR ? mpCTGFileManager->ViewShared(mhFile, mnBase + mnPos, count)
                                       : mpCTGFileManager->Files().View(mhFile, mnPos, count);
  if (view) mnPos += static_cast<std::int64_t>(count);
  return view;
}

std::int64_t CTGFile::Write(const void* buffer, std::size_t count) {
  if (!mbWritable || mbFAR) return -1;
  if (count == 0) return 0;
  DropCache();
  std::int64_t n = mpCTGFileManager->Files().WriteAt(mhFile, mnPos, buffer, count);
  if (n <= 0) return n < 0 ? -1 : 0;
  mnPos += n;
  if (mnPos > mnSize) mnSize = mnPos;
  return n;
}

bool CTGFile::Seek(std::int64_t offset) {
  if (offset < 0 || offset > mnSize) return false;
  if (!mpCTGFileManager->Files().Seek(mhFile, mnBase + offset)) return false;
  mnPos = offset;
  return true;
}

bool CTGFile::Extend(std::int64_t offset) {
  if (mbFAR || offset < mnSize) return false;
  return SetSize(offset);
}

bool CTGFile::SetSize(std::int64_t size) {
  if (mbFAR || !mbWritable || size < 0) return false;
  DropCache();
  if (!mpCTGFileManager->Files().Truncate(mhFile, size)) return false;
  mnSize = size;
  mnPos = size;
  mpCTGFileManager->NoteSize(mKey, size);
  return true;
}

bool CTGFile::Flush() {
  if (mbFAR) return true;
  return mpCTGFileManager->Files().Flush(mhFile);
}

bool CTGFile::Sync() {
  if (mbFAR) return true;
  return mpCTGFileManager->Files().Sync(mhFile);
}

void CTGFile::StartWriteback(std::int64_t offset, std::int64_t count) {
  if (!mbFAR) mpCTGFileManager->Files().StartWriteback(mhFile, offset, count);
}

bool CTGFile::MarkModified() {
  if (mbFAR) return false;
  return mpCTGFileManager->Files().MarkModified(mhFile);
}

bool CTGFile::ReadU32LE(std::uint32_t& value) {
  unsigned char bytes[4];
  if (!ReadBytes(bytes)) return false;
  value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
          (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return true;
}

bool CTGFile::ReadBytes(std::span<unsigned char> bytes) {
  return Read(bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
}

}  // namespace pixmold
