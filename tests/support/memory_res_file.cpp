#include "support/memory_res_file.h"

#include <algorithm>
#include <cstring>

namespace pixmold::testing {

using namespace res_error;

namespace {

auto Is(ResType type, ResID id) {
  return [type, id](const StoredResource& r) { return r.type == type && r.id == id; };
}

}  // namespace

const StoredResource* MemoryDisk::Find(const std::string& file, ResType type, ResID id) const {
  auto it = files.find(file);
  if (it == files.end()) return nullptr;
  auto found = std::find_if(it->second.begin(), it->second.end(), Is(type, id));
  return found == it->second.end() ? nullptr : &*found;
}

MemoryResFile::~MemoryResFile() {
  if (IsOpen()) CloseFile();
}

std::size_t MemoryResFile::CachedHandles() const {
  return static_cast<std::size_t>(
      std::count_if(fEntries.begin(), fEntries.end(), [](const Entry& e) { return e.handle != nullptr; }));
}

bool MemoryResFile::Failing(Op op) {
  auto it = fFailures.find(op);
  if (it == fFailures.end()) return false;
  SetError(it->second);
  fFailures.erase(it);
  return true;
}

ResErr MemoryResFile::Succeed() {
  SetError(kNone);
  return kNone;
}

ResErr MemoryResFile::CreateFile(const CTGString& name) {
  fCalls.push_back("create " + name.Str());
  if (Failing(Op::kCreate)) return GetError();
  if (IsOpen()) return Fail(kAlreadyOpen);
  if (fDisk.files.count(name.Str())) return Fail(kCreateExists);
  fDisk.files[name.Str()];
  return Succeed();
}

ResErr MemoryResFile::DeleteFile(const CTGString& name) {
  fCalls.push_back("delete " + name.Str());
  if (Failing(Op::kDelete)) return GetError();
  if (IsOpen()) return Fail(kAlreadyOpen);
  return fDisk.files.erase(name.Str()) == 0 ? Fail(kDeleteMissing) : Succeed();
}

ResErr MemoryResFile::OpenFile(const CTGString& name) {
  fCalls.push_back("open " + name.Str());
  if (Failing(Op::kOpen)) return GetError();
  if (IsOpen()) return Fail(kAlreadyOpen);
  auto it = fDisk.files.find(name.Str());
  if (it == fDisk.files.end()) return Fail(kOpenFailed);
  fEntries.clear();
  for (const auto& r : it->second) fEntries.push_back(Entry{r, nullptr, false});
  fName = name.Str();
  return Succeed();
}

ResErr MemoryResFile::CloseFile() {
  fCalls.push_back("close");
  if (CheckOpen() != kNone || Failing(Op::kClose)) return GetError();
  UpdateFile();
  for (auto& e : fEntries) {
    if (e.handle) DisposeHandle(e.handle);
  }
  fEntries.clear();
  fName.reset();
  return Succeed();
}

ResErr MemoryResFile::UpdateFile() {
  if (CheckOpen() != kNone) return GetError();
  for (auto& e : fEntries) {
    if (e.dirty) Store(e);
  }
  return kNone;
}

ResErr MemoryResFile::GetFileName(CTGString& name) {
  name.Clear();
  if (CheckOpen() != kNone) return GetError();
  name = *fName;
  return kNone;
}

std::vector<MemoryResFile::Entry*> MemoryResFile::OfType(ResType type) {
  std::vector<Entry*> found;
  for (auto& e : fEntries) {
    if (e.resource.type == type) found.push_back(&e);
  }
  return found;
}

std::vector<ResType> MemoryResFile::Types() const {
  std::vector<ResType> types;
  for (const auto& e : fEntries) {
    if (std::find(types.begin(), types.end(), e.resource.type) == types.end()) types.push_back(e.resource.type);
  }
  return types;
}

std::int32_t MemoryResFile::CountTypes() {
  return CheckOpen() != kNone ? 0 : static_cast<std::int32_t>(Types().size());
}

ResType MemoryResFile::GetIndType(std::int32_t index) {
  if (CheckOpen() != kNone) return 0;
  const std::vector<ResType> types = Types();
  if (index < 1 || static_cast<std::size_t>(index) > types.size()) return Fail(kTypeIndexRange, 0);
  return types[static_cast<std::size_t>(index) - 1];
}

std::int32_t MemoryResFile::CountResources(ResType type) {
  return CheckOpen() != kNone ? 0 : static_cast<std::int32_t>(OfType(type).size());
}

MHandle MemoryResFile::Load(Entry* entry, ResSwizzler swizzler) {
  if (entry == nullptr) return Fail(kNotFound, nullptr);
  if (entry->handle) return entry->handle;
  const auto& bytes = entry->resource.bytes;
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  if (h == nullptr) return Fail(kOutOfMemory, nullptr);
  std::uint8_t* p = HLock(h);
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  if (!entry->resource.native && swizzler) swizzler(p, static_cast<std::int32_t>(bytes.size()));
  HUnlock(h);
  entry->handle = h;
  return h;
}

MHandle MemoryResFile::GetResource(ResType type, ResID id, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  for (Entry* e : OfType(type)) {
    if (e->resource.id == id) return Load(e, swizzler);
  }
  return Load(nullptr, swizzler);
}

MHandle MemoryResFile::GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  for (Entry* e : OfType(type)) {
    if (e->resource.name == name.Str()) return Load(e, swizzler);
  }
  return Fail(kNotThisFile, nullptr);
}

MHandle MemoryResFile::GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) {
  if (CheckOpen() != kNone) return nullptr;
  auto all = OfType(type);
  if (index < 1 || static_cast<std::size_t>(index) > all.size()) return Load(nullptr, swizzler);
  return Load(all[static_cast<std::size_t>(index) - 1], swizzler);
}

MemoryResFile::Entry* MemoryResFile::FindHandle(MHandle h) {
  auto it = std::find_if(fEntries.begin(), fEntries.end(), [h](const Entry& e) { return h && e.handle == h; });
  return it == fEntries.end() ? nullptr : &*it;
}

void MemoryResFile::GetResName(MHandle h, CTGString& name) {
  name.Clear();
  if (CheckOpen() != kNone) return;
  Entry* e = FindHandle(h);
  if (e == nullptr) return SetError(kNotThisFile);
  name = e->resource.name;
}

ResType MemoryResFile::GetResType(MHandle h) {
  if (CheckOpen() != kNone) return 0;
  Entry* e = FindHandle(h);
  return e ? e->resource.type : Fail(kNotFound, ResType{0});
}

ResID MemoryResFile::GetResID(MHandle h, ResID& id) {
  id = 0;
  if (CheckOpen() != kNone) return 0;
  Entry* e = FindHandle(h);
  if (e == nullptr) return Fail(kNotThisFile, 0);
  id = e->resource.id;
  return id;
}

void MemoryResFile::UniqueName(ResType type, CTGString& name) {
  if (CheckOpen() != kNone) return;
  auto all = OfType(type);
  UniqueNameAmong(name, [&all](std::string_view candidate) {
    return std::any_of(all.begin(), all.end(), [candidate](const Entry* e) { return e->resource.name == candidate; });
  });
}

ResID MemoryResFile::UniqueID(ResType type) {
  if (CheckOpen() != kNone) return 0;
  std::vector<ResID> ids;
  for (const Entry* e : OfType(type)) ids.push_back(e->resource.id);
  return UniqueIDAmong(ids);
}

ResErr MemoryResFile::ReleaseResource(MHandle h) {
  if (CheckOpen() != kNone || Failing(Op::kRelease)) return GetError();
  Entry* e = FindHandle(h);
  if (e == nullptr) return Fail(kNotThisFile);
  if (e->dirty) Store(*e);
  e->handle = nullptr;
  return kNone;
}

bool MemoryResFile::IsResourceNative(MHandle h) {
  if (CheckOpen() != kNone) return true;
  Entry* e = FindHandle(h);
  return e ? e->resource.native : Fail(kNotThisFile, true);
}

ResErr MemoryResFile::AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) {
  if (CheckOpen() != kNone || Failing(Op::kAdd)) return GetError();
  auto old = std::find_if(fEntries.begin(), fEntries.end(), [&](const Entry& e) { return Is(type, id)(e.resource); });
  if (old != fEntries.end()) {
    if (old->handle && old->handle != h) DisposeHandle(old->handle);
    fEntries.erase(old);
  }
  fEntries.push_back(Entry{StoredResource{type, id, name.Str(), 0, native, {}}, h, true});
  return kNone;
}

void MemoryResFile::Store(Entry& entry) {
  if (entry.handle) {
    const std::uint8_t* p = HLock(entry.handle);
    entry.resource.bytes.assign(p, p + GetHandleSize(entry.handle));
    HUnlock(entry.handle);
  }
  auto& stored = fDisk.files[*fName];
  auto it = std::find_if(stored.begin(), stored.end(), Is(entry.resource.type, entry.resource.id));
  if (it == stored.end()) {
    stored.push_back(entry.resource);
  } else {
    *it = entry.resource;
  }
  entry.dirty = false;
}

ResErr MemoryResFile::WriteResource(MHandle h) {
  if (CheckOpen() != kNone || Failing(Op::kWrite)) return GetError();
  Entry* e = FindHandle(h);
  if (e == nullptr) return Fail(kNotThisFile);
  Store(*e);
  return kNone;
}

ResErr MemoryResFile::RemoveResource(MHandle h) {
  if (CheckOpen() != kNone || Failing(Op::kRemove)) return GetError();
  auto it = std::find_if(fEntries.begin(), fEntries.end(), [h](const Entry& e) { return h && e.handle == h; });
  if (it == fEntries.end()) return Fail(kNotThisFile);
  std::erase_if(fDisk.files[*fName], Is(it->resource.type, it->resource.id));
  DisposeHandle(h);
  fEntries.erase(it);
  return kNone;
}

ResErr MemoryResFile::SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) {
  if (CheckOpen() != kNone) return GetError();
  Entry* e = FindHandle(h);
  if (e == nullptr) return Fail(kNotThisFile);
  const bool stored = std::erase_if(fDisk.files[*fName], Is(e->resource.type, e->resource.id)) > 0;
  e->resource.id = id;
  e->resource.name = name.Str();
  e->resource.variant = variant;
  if (stored) Store(*e);
  return kNone;
}

}  // namespace pixmold::testing
