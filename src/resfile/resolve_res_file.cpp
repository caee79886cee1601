#include "resfile/resolve_res_file.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

#include "base/ascii.h"
#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_path.h"
#include "resfile/handle_owner.h"

namespace pixmold {

using namespace res_error;

namespace {

// The resource types of the system, in the order a three-character file
// type is completed to one of them.
constexpr ResType kKnownTypes[] = {
    MakeResType("OBJD"), MakeResType("DGRP"), MakeResType("SPR#"), MakeResType("SPR2"), MakeResType("PALT"),
    MakeResType("STR#"), MakeResType("TTAB"), MakeResType("TTAs"), MakeResType("SLOT"), MakeResType("BMP_"),
    MakeResType("FWAV"), MakeResType("FAMh"), MakeResType("OBJf"), MakeResType("CTSS"),
};

// The three characters a file name keeps of a type, upper-cased so that a
// type matches its files whatever their case.
RsrcType ExtensionKey(ResType type) {
  RsrcType key = 0;
  for (int i = 0; i < 3; ++i) {
    char c = static_cast<char>((type >> (24 - 8 * i)) & 0xFF);
    key |= static_cast<RsrcType>(static_cast<unsigned char>(ToUpperAscii(c))) << (24 - 8 * i);
  }
  return key;
}

bool Addressable(const RsrcEntry& entry) { return entry.id >= 0 && entry.id < 32767; }

// Maps a manager result to the layer's codes.
ResErr MapResult(int result, ResErr notFound) {
  switch (result) {
    case RsrcManager::kFound: return kNone;
    case RsrcManager::kNotFound: return notFound;
    case RsrcManager::kOutOfMemory: return kOutOfMemory;
    default: return -1;
  }
}

}  // namespace

ResolveResFile::ResolveResFile(RsrcManager& manager) : fManager(manager) {}

ResolveResFile::~ResolveResFile() {
  if (IsOpen()) CloseFile();
}

std::string ResolveResFile::NormalisePath(std::string_view name) {
  std::string path = ToSlashes(name);
  while (path.compare(0, 2, "./") == 0) path.erase(0, 2);
  return path;
}

ResType ResolveResFile::TypeOfExtension(RsrcType extension) {
  RsrcType key = ExtensionKey(extension);
  for (ResType known : kKnownTypes) {
    if (ExtensionKey(known) == key) return known;
  }
  // A type the system does not know keeps its three characters and is
  // completed with '_', the filler its own types use.
  return (extension & 0xFFFFFF00u) | static_cast<ResType>('_');
}

bool ResolveResFile::HasSite() {
  if (fSite) return true;
  XASSERT_FAIL("fSite", "no resolve site to thunk to");
  SetError(kNotOpen);
  return false;
}

ResErr ResolveResFile::CreateFile(const CTGString& name) {
  if (fSite) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  std::string path = NormalisePath(name.View());
  FileSystem& files = fManager.Files().Files();
  ResErr err = kNone;
  if (files.Kind(path) != EntryKind::kMissing) {
    err = kCreateExists;
  } else if (!files.MakeDirectories(path)) {
    err = kCannotCreate;
  }
  SetError(err);
  return err;
}

ResErr ResolveResFile::DeleteFile(const CTGString& name) {
  if (fSite) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  std::string path = NormalisePath(name.View());
  ResErr err = kNone;
  if (fManager.Files().Files().Kind(path) != EntryKind::kDirectory) {
    err = kDeleteMissing;
  } else {
    // Only an empty directory goes: loose resources are never dropped
    // silently with it.
    if (!fManager.Files().Files().Remove(path)) err = kCannotDelete;
  }
  SetError(err);
  return err;
}

ResErr ResolveResFile::OpenFile(const CTGString& name) {
  if (fSite) {
    XASSERT_FAIL("!fSite", "double opening");
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  std::string path = NormalisePath(name.View());
  auto site = std::make_unique<RsrcSite>(path);
  if (!site->IsValid(fManager.Files())) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  fSite = std::move(site);
  fPath = name.Str();
  SetError(kNone);
  return kNone;
}

ResErr ResolveResFile::SuspendFile() {
  if (!HasSite()) return GetError();
  std::string path = fPath;
  CloseFile();
  fSuspended = path;
  return kNone;
}

ResErr ResolveResFile::ResumeFile() {
  if (fSuspended.empty()) {
    SetError(kOpenFailed);
    return kOpenFailed;
  }
  std::string path = std::exchange(fSuspended, std::string());
  return OpenFile(CTGString(path));
}

void ResolveResFile::DropCache() {
  for (Cached& cached : fCache) DisposeHandle(cached.handle);
  fCache.clear();
}

ResErr ResolveResFile::CloseFile() {
  // Closing twice is harmless: the destructor and a chain may both close.
  if (!fSite) {
    SetError(kNotOpen);
    return kNotOpen;
  }
  DropCache();
  fListing.reset();
  fSite.reset();
  fPath.clear();
  SetError(kNone);
  return kNone;
}

ResErr ResolveResFile::UpdateFile() {
  if (!HasSite()) return GetError();
  SetError(kNone);
  return kNone;
}

ResErr ResolveResFile::GetFileName(CTGString& name) {
  name.Clear();
  if (!HasSite()) return GetError();
  name = fPath;
  SetError(kNone);
  return kNone;
}

const ResolveResFile::Listing& ResolveResFile::Listed() {
  if (fListing) return *fListing;
  // One resource per type and id: where directories (or names) repeat one,
  // the first directory's, as a lookup by id would find it.
  Listing listing;
  std::set<std::pair<RsrcType, std::int32_t>> seen;
  for (RsrcEntry& entry : fManager.List(*fSite)) {
    if (!Addressable(entry)) continue;
    const RsrcType key = ExtensionKey(entry.type);
    if (!seen.insert({key, entry.id}).second) continue;
    std::vector<std::size_t>& ofType = listing.byKey[key];
    if (ofType.empty()) listing.types.push_back(TypeOfExtension(entry.type));
    ofType.push_back(listing.entries.size());
    listing.entries.push_back(std::move(entry));
  }
  fListing = std::move(listing);
  return *fListing;
}

const std::vector<std::size_t>& ResolveResFile::EntriesOf(ResType type) {
  static const std::vector<std::size_t> kNoEntries;
  const Listing& listing = Listed();
  auto it = listing.byKey.find(ExtensionKey(type));
  return it == listing.byKey.end() ? kNoEntries : it->second;
}

bool ResolveResFile::HasResType(ResType type) {
  if (!HasSite()) return false;
  SetError(kNone);
  return !EntriesOf(type).empty();
}

std::int32_t ResolveResFile::CountTypes() {
  if (!HasSite()) return 0;
  // A directory of the site that went away since the open fails the count
  // rather than passing for an empty one.
  if (!fSite->IsValid(fManager.Files())) {
    XASSERT_FAIL("!err", "get types failed");
    SetError(-1);
    return 0;
  }
  SetError(kNone);
  return static_cast<std::int32_t>(Listed().types.size());
}

ResType ResolveResFile::GetIndType(std::int32_t index) {
  if (!HasSite()) return 0;
  const std::vector<ResType>& types = Listed().types;
  if (index < 1 || static_cast<std::size_t>(index) > types.size()) {
    SetError(kTypeIndexRange);
    return 0;
  }
  SetError(kNone);
  return types[static_cast<std::size_t>(index) - 1];
}

std::int32_t ResolveResFile::CountResources(ResType type) {
  if (!HasSite()) return 0;
  SetError(kNone);
  return static_cast<std::int32_t>(EntriesOf(type).size());
}

MHandle ResolveResFile::FromPacket(RsrcPkt& pkt, int result, ResType type, ResErr notFound) {
  ResErr err = MapResult(result, notFound);
  if (err != kNone) {
    SetError(err);
    return nullptr;
  }
  // The same resource asked for twice is the same handle.
  for (Cached& cached : fCache) {
    if (ExtensionKey(cached.type) == ExtensionKey(type) && cached.id == pkt.mID) {
      SetError(kNone);
      return cached.handle;
    }
  }
  std::vector<std::uint8_t> bytes;
  if (!pkt.ReadAll(bytes)) {
    SetError(pkt.mSize > RsrcPkt::kMaxSize ? kOutOfMemory : kShortRead);
    return nullptr;
  }
  MHandle h = NewHandle(static_cast<std::uint32_t>(bytes.size()));
  if (!h) {
    SetError(kOutOfMemory);
    return nullptr;
  }
  if (!bytes.empty()) {
    HandleLock lock(h);
    std::memcpy(lock.Data(), bytes.data(), bytes.size());
  }
  ResID id = pkt.mID == RsrcDescriptor::kNoID ? ResID{-1} : static_cast<ResID>(pkt.mID);
  fCache.push_back(Cached{h, type, id, pkt.mName});
  SetError(kNone);
  return h;
}

MHandle ResolveResFile::GetResource(ResType type, ResID id, ResSwizzler) {
  if (!HasSite()) return nullptr;
  for (Cached& cached : fCache) {
    if (ExtensionKey(cached.type) == ExtensionKey(type) && cached.id == id) {
      SetError(kNone);
      return cached.handle;
    }
  }
  RsrcPkt pkt;
  int result = fManager.FindByID(&pkt, *fSite, type, id);
  return FromPacket(pkt, result, type, kNotFound);
}

MHandle ResolveResFile::GetNamedResource(ResType type, const CTGString& name, ResSwizzler) {
  if (!HasSite()) return nullptr;
  RsrcPkt pkt;
  int result = fManager.FindByName(&pkt, *fSite, type, name.View());
  return FromPacket(pkt, result, type, kNotThisFile);
}

MHandle ResolveResFile::GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) {
  if (!HasSite()) return nullptr;
  const std::vector<std::size_t>& entries = EntriesOf(type);
  if (index < 1 || static_cast<std::size_t>(index) > entries.size()) {
    SetError(kNotFound);
    return nullptr;
  }
  const RsrcEntry& entry = Listed().entries[entries[static_cast<std::size_t>(index) - 1]];
  const auto id = static_cast<ResID>(entry.id);
  // The listed file is the one a lookup by id would find; opened directly,
  // the site is not searched again for every resource. A major type is
  // looked up, as it may stand for other files; so is a file gone since.
  if (fManager.IsMajorType(type)) return GetResource(type, id, swizzler);
  for (Cached& cached : fCache) {
    if (ExtensionKey(cached.type) == ExtensionKey(type) && cached.id == id) {
      SetError(kNone);
      return cached.handle;
    }
  }
  RsrcPkt pkt;
  const int result = fManager.OpenListed(&pkt, entry);
  if (result == RsrcManager::kNotFound) return GetResource(type, id, swizzler);
  return FromPacket(pkt, result, type, kNotFound);
}

ResolveResFile::Cached* ResolveResFile::FindCached(MHandle h) {
  for (Cached& cached : fCache) {
    if (h && cached.handle == h) return &cached;
  }
  return nullptr;
}

void ResolveResFile::GetResName(MHandle h, CTGString& name) {
  name.Clear();
  if (!HasSite()) return;
  Cached* corr = FindCached(h);
  if (!corr) {
    XASSERT_FAIL("corr", "non-member handle");
    SetError(kNotThisFile);
    return;
  }
  name = corr->name;
  SetError(kNone);
}

ResType ResolveResFile::GetResType(MHandle h) {
  if (!HasSite()) return 0;
  Cached* cached = FindCached(h);
  if (!cached) {
    SetError(kNotFound);
    return 0;
  }
  SetError(kNone);
  return cached->type;
}

ResID ResolveResFile::GetResID(MHandle h, ResID& id) {
  if (!HasSite()) return id;
  Cached* cached = FindCached(h);
  if (!cached) {
    SetError(kNotFound);
    return id;
  }
  int theid = cached->id;
  XASSERT(theid >= 0 && theid < 32767, "id out of range");
  id = cached->id;
  SetError(kNone);
  return id;
}

void ResolveResFile::UniqueName(ResType type, CTGString& name) {
  if (!HasSite()) return;
  const std::vector<std::size_t>& entries = EntriesOf(type);
  const std::vector<RsrcEntry>& listed = Listed().entries;
  UniqueNameAmong(name, [&](std::string_view candidate) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](std::size_t at) { return EqualIgnoringCase(listed[at].name, candidate); });
  });
  SetError(kNone);
}

ResID ResolveResFile::UniqueID(ResType type) {
  if (!HasSite()) return 0;
  std::vector<ResID> ids;
  for (std::size_t at : EntriesOf(type)) ids.push_back(static_cast<ResID>(Listed().entries[at].id));
  SetError(kNone);
  return UniqueIDAmong(ids);
}

ResErr ResolveResFile::ReleaseResource(MHandle h) {
  if (!HasSite()) return GetError();
  auto it = std::find_if(fCache.begin(), fCache.end(), [h](const Cached& c) { return h && c.handle == h; });
  if (it == fCache.end()) {
    SetError(kNotThisFile);
    return kNotThisFile;
  }
  fCache.erase(it);
  SetError(kNone);
  return kNone;
}

bool ResolveResFile::IsResourceNative(MHandle h) {
  if (!HasSite()) return true;
  SetError(FindCached(h) ? kNone : kNotThisFile);
  return true;
}

ResErr ResolveResFile::AddResource(MHandle, ResType, ResID, const CTGString&, bool) {
  if (!HasSite()) return GetError();
  SetError(kNotWritable);
  return kNotWritable;
}

ResErr ResolveResFile::WriteResource(MHandle) {
  if (!HasSite()) return GetError();
  SetError(kNotWritable);
  return kNotWritable;
}

ResErr ResolveResFile::RemoveResource(MHandle) {
  if (!HasSite()) return GetError();
  SetError(kNotWritable);
  return kNotWritable;
}

ResErr ResolveResFile::SetResInfo(MHandle, ResID, const CTGString&, std::uint8_t) {
  if (!HasSite()) return GetError();
  SetError(kNotWritable);
  return kNotWritable;
}

}  // namespace pixmold
