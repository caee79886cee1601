// What the two IFF fuzz targets do with a file they opened: read everything
// it lists, and change a few resources in ways every file must accept.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "mute_asserts.h"
#include "resfile/handle_owner.h"
#include "resfile/mem_handle.h"
#include "resfile/res_file.h"
#include "resfile/res_walk.h"

namespace pixmold::fuzz {

inline constexpr const char* kPath = "/fuzz/input.iff";
inline constexpr std::uint8_t kWrite = 1;
inline constexpr std::uint8_t kBigAdd = 2;
inline constexpr ResType kAddedType = MakeResType("FUZZ");

// Every resource by index, then by id and by name; every handle goes back.
inline void ReadEverything(iResFile& file) {
  const std::int32_t types = file.CountTypes();
  if (types < 0) std::abort();
  ForEachResource(file, UnreadableResource::kSkip, [&file](const WalkedResource& resource) {
    if (file.GetResType(resource.handle) != resource.type) std::abort();
    if (MHandle again = file.GetResource(resource.type, resource.id, nullptr)) file.ReleaseAndDispose(again);
    if (!resource.name.Empty()) {
      if (MHandle named = file.GetNamedResource(resource.type, resource.name, nullptr)) file.ReleaseAndDispose(named);
      CTGString name = resource.name;
      file.UniqueName(resource.type, name);
    }
    return res_error::kNone;
  });
  for (std::int32_t t = 1; t <= types; ++t) {
    const ResType type = file.GetIndType(t);
    if (file.GetError() == res_error::kTypeIndexRange) std::abort();
    file.UniqueID(type);
  }
}

inline std::vector<std::uint8_t> AddedBytes(std::uint8_t options) {
  std::vector<std::uint8_t> bytes((options & kBigAdd) ? 20000 : 37);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + options);
  return bytes;
}

inline MHandle HandleOf(const std::vector<std::uint8_t>& bytes) {
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  HandleLock lock(h);
  std::copy(bytes.begin(), bytes.end(), lock.Data());
  return h;
}

enum class Change { kAdded, kNoName, kRefused };

// Removes and rewrites some of what the file holds and adds one resource of
// a type of its own (id 1, named "added") that CheckAdded looks for; kNoName
// when the file refused the name (a name list already holding the largest
// index), kRefused when it refuses every change (damage its walk met).
inline Change ChangeSomething(iResFile& file, std::uint8_t options) {
  if (file.CountTypes() > 0) {
    const ResType type = file.GetIndType(1);
    if (MHandle first = file.GetIndResource(type, 1, nullptr)) {
      if (file.RemoveResource(first) != 0) file.ReleaseAndDispose(first);
    }
    if (MHandle second = file.GetIndResource(type, 1, nullptr)) {
      if (GetHandleSize(second) > 0) {
        HandleLock lock(second);
        lock.Data()[0] ^= 0x5A;
      }
      file.WriteResource(second);
      file.ReleaseAndDispose(second);
    }
  }
  MHandle added = HandleOf(AddedBytes(options));
  const ResErr err = file.AddResource(added, kAddedType, 1, "added", true);
  if (err == res_error::kNoNameIndex || err == res_error::kDamaged) {
    DisposeHandle(added);
    return err == res_error::kDamaged ? Change::kRefused : Change::kNoName;
  }
  if (err != res_error::kNone) std::abort();
  MHandle shrunk = HandleOf(std::vector<std::uint8_t>(5, 1));
  if (file.AddResource(shrunk, kAddedType, 2, "", false) != 0) std::abort();
  if (file.WriteResource(shrunk) != 0) std::abort();
  if (file.RemoveResource(shrunk) != 0) std::abort();
  return Change::kAdded;
}

inline void CheckAdded(iResFile& file) {
  MHandle h = file.GetResource(kAddedType, 1, nullptr);
  if (!h) std::abort();
  CTGString name;
  file.GetResName(h, name);
  if (name != "added") std::abort();
  HandleLock lock(h);
  std::vector<std::uint8_t> bytes(lock.Data(), lock.Data() + lock.Size());
  lock.Unlock();
  if (bytes.size() != 37 && bytes.size() != 20000) std::abort();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != static_cast<std::uint8_t>(i * 31 + bytes[0])) std::abort();
  }
  file.ReleaseAndDispose(h);
}

// One input, opened entirely in memory as a File (either container
// version): read everything; when the last byte asks for it, change a few
// resources, close, and the file must open again holding what was added.
template <typename File>
int OpenReadAndChange(const std::uint8_t* data, std::size_t size) {
  MuteAssertReports();
  const std::uint8_t options = size > 0 ? data[size - 1] : 0;
  MemoryFileSystem files;
  files.AddFile(kPath, std::span(data, size));
  CTGFileManager manager(files);
  File file(manager);
  if (file.OpenFile(kPath) != res_error::kNone) return 0;
  ReadEverything(file);
  if (options & kWrite) {
    const Change change = ChangeSomething(file, options);
    if (file.CloseFile() != res_error::kNone) return 0;
    // A file that refused the change is left exactly as it was.
    if (change == Change::kRefused && files.Contents(kPath) != std::vector<unsigned char>(data, data + size)) {
      std::abort();
    }
    if (file.OpenFile(kPath) != res_error::kNone) std::abort();
    if (change == Change::kAdded) CheckAdded(file);
    ReadEverything(file);
  }
  file.CloseFile();
  return 0;
}

}  // namespace pixmold::fuzz
