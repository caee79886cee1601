// An in-memory resource file for tests of code that reads and writes
// resources through iResFile without caring about a container format. Its
// "disk" is a MemoryDisk shared between objects, so a test can write through
// one object, close it and read through another. Any operation can be made to
// fail once with a chosen error, and the file-level calls are logged so that
// tests can check the order in which callers make them.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "resfile/res_file.h"

namespace pixmold::testing {

struct StoredResource {
  ResType type = 0;
  ResID id = 0;
  std::string name;
  std::uint8_t variant = 0;
  bool native = true;
  std::vector<std::uint8_t> bytes;
};

struct MemoryDisk {
  std::map<std::string, std::vector<StoredResource>> files;

  const StoredResource* Find(const std::string& file, ResType type, ResID id) const;
};

class MemoryResFile : public iResFile {
 public:
  enum class Op { kCreate, kDelete, kOpen, kClose, kAdd, kWrite, kRelease, kRemove };

  explicit MemoryResFile(MemoryDisk& disk) : fDisk(disk) {}
  ~MemoryResFile() override;

  // The next call of `op` fails with `err` and does nothing else.
  void FailNext(Op op, ResErr err) { fFailures[op] = err; }
  // "create NAME", "delete NAME", "open NAME", "close" in the order made.
  const std::vector<std::string>& Calls() const { return fCalls; }
  // Handles currently held by the cache.
  std::size_t CachedHandles() const;

  ResErr CreateFile(const CTGString& name) override;
  ResErr DeleteFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  // Nothing suspends a memory file.
  ResErr SuspendFile() override { return Fail(res_error::kUnsupported); }
  ResErr ResumeFile() override { return Fail(res_error::kUnsupported); }
  ResErr CloseFile() override;
  ResErr UpdateFile() override;
  bool IsWritable() override { return fName.has_value(); }
  ResErr GetFileName(CTGString& name) override;
  bool IsOpen() override { return fName.has_value(); }
  std::int32_t CountTypes() override;
  ResType GetIndType(std::int32_t index) override;
  std::int32_t CountResources(ResType type) override;
  MHandle GetResource(ResType type, ResID id, ResSwizzler swizzler) override;
  MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) override;
  MHandle GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) override;
  void GetResName(MHandle h, CTGString& name) override;
  ResType GetResType(MHandle h) override;
  ResID GetResID(MHandle h, ResID& id) override;
  void UniqueName(ResType type, CTGString& name) override;
  ResID UniqueID(ResType type) override;
  ResErr ReleaseResource(MHandle h) override;
  bool IsResourceNative(MHandle h) override;
  ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) override;
  ResErr WriteResource(MHandle h) override;
  ResErr RemoveResource(MHandle h) override;
  ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) override;

 private:
  struct Entry {
    StoredResource resource;
    MHandle handle = nullptr;
    bool dirty = false;  // only in memory
  };

  bool Failing(Op op);
  ResErr Succeed();
  ResErr Fail(ResErr err) {
    SetError(err);
    return err;
  }
  template <typename T>
  T Fail(ResErr err, T result) {
    SetError(err);
    return result;
  }
  Entry* FindHandle(MHandle h);
  MHandle Load(Entry* entry, ResSwizzler swizzler);
  void Store(Entry& entry);
  std::vector<Entry*> OfType(ResType type);
  std::vector<ResType> Types() const;

  MemoryDisk& fDisk;
  std::optional<std::string> fName;
  std::list<Entry> fEntries;
  std::map<Op, ResErr> fFailures;
  std::vector<std::string> fCalls;
};

}  // namespace pixmold::testing
