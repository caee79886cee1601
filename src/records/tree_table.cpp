#include "records/tree_table.h"

#include <algorithm>

#include "base/report.h"
#include "base/xassert.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_stream.h"
#include "resfile/res_file.h"
#include "resfile/string_set.h"

namespace pixmold {
namespace {

constexpr ResType kBehaviourType = MakeResType("BHAV");
constexpr std::uint16_t kFirstFieldEncoded = 9;
constexpr std::uint16_t kFirstNewAds = 6;
constexpr std::uint16_t kStringTableVersion = 7;
constexpr std::uint16_t kFirstStringIndex = 4;
constexpr std::uint16_t kFirstCurrentLayout = 8;

// The menu text index and the record can ask for any 32-bit index; a string
// set cannot hold more than this.
bool FitsStringSet(std::uint32_t stringIndex) { return stringIndex < StringSet::kMaxStrings; }

std::string BehaviourName(iResFile& file, std::uint16_t treeId) {
  MHandle tree = file.GetResource(kBehaviourType, static_cast<ResID>(treeId), nullptr);
  if (tree == nullptr) return {};
  CTGString name;
  file.GetResName(tree, name);
  file.ReleaseAndDispose(tree);
  return name.Str();
}

// The debug mark of a comment: a leading "!" exactly when the entry is a
// debug entry. A comment left empty by dropping the mark becomes a space, so
// the translators' tools still see a comment there.
std::string MarkedComment(std::string_view comment, bool debug) {
  const bool marked = !comment.empty() && comment.front() == '!';
  if (marked && !debug) {
    std::string rest(comment.substr(1));
    return rest.empty() ? std::string(" ") : rest;
  }
  if (!marked && debug) return std::string("!").append(comment);
  return std::string(comment);
}

}  // namespace

float TreeTableEntry::Attenuation() const {
  switch (attenuationCode) {
    case 0: return attenuationValue;
    case 1: return 0.0f;
    case 2: return 0.002f;
    case 3: return 0.02f;
    case 4: return 0.1f;
    default: XASSERT_FAIL("attenuationCode <= 4", "bad attenuation"); return 0.02f;
  }
}

TreeTable::TreeTable(std::int32_t adsPerEntry) : fNumAds(adsPerEntry) {
  XASSERT(fNumAds >= 0, "bad # ads");
  fNumAds = std::max(fNumAds, 0);
}

std::uint32_t TreeTable::NextStringIndex() const {
  if (fEntries.empty()) return 0;
  std::uint32_t largest = 0;
  for (const TreeTableEntry& entry : fEntries) largest = std::max(largest, entry.stringIndex);
  return largest + 1;
}

bool TreeTable::Add(std::uint16_t guardTreeId, std::uint16_t actionTreeId) {
  if (Find(guardTreeId, actionTreeId) != nullptr) {
    XASSERT_FAIL("!Find(guard, action)", "adding existent tree to table");
    return false;
  }
  TreeTableEntry entry;
  entry.guardTreeId = guardTreeId;
  entry.actionTreeId = actionTreeId;
  entry.ads.resize(static_cast<std::size_t>(fNumAds));
  entry.stringIndex = NextStringIndex();
  fEntries.push_back(std::move(entry));
  return true;
}

TreeTableEntry* TreeTable::Find(std::uint16_t guardTreeId, std::uint16_t actionTreeId) {
  for (TreeTableEntry& entry : fEntries) {
    if (entry.guardTreeId == guardTreeId && entry.actionTreeId == actionTreeId) return &entry;
  }
  return nullptr;
}

TreeTableEntry* TreeTable::FindByStringIndex(std::uint32_t stringIndex) {
  for (TreeTableEntry& entry : fEntries) {
    if (entry.stringIndex == stringIndex) return &entry;
  }
  return nullptr;
}

bool TreeTable::Remove(const TreeTableEntry* entry) {
  auto found = std::find_if(fEntries.begin(), fEntries.end(), [entry](const TreeTableEntry& e) { return &e == entry; });
  if (found == fEntries.end()) return false;
  fEntries.erase(found);
  return true;
}

void TreeTable::Reconstitute(ReconStream& stream, iResFile* stringsFile, ResID stringsId) {
  auto count = static_cast<std::uint16_t>(fEntries.size());
  std::uint16_t version = kVersion;
  stream.Value(count);
  stream.Value(version);
  if (!stream.IsReading()) version = kVersion;
  if (version >= kFirstFieldEncoded) {
    std::uint8_t fieldEncoded = 1;
    stream.Value(fieldEncoded);
    if (fieldEncoded != 0) stream.SetFieldEncoding();
  }
  if (!stream.IsReading()) {
    for (std::size_t i = 0; i < fEntries.size(); ++i) ReconstituteEntry(stream, fEntries[i], version, i);
    return;
  }
  fStoredVersion = version;
  if (version == kStringTableVersion && stringsFile != nullptr) {
    stream.SetStringTable(*stringsFile, kStringsType, stringsId);
  }
  fEntries.clear();
  // Entries are made as they are read, so a count the data cannot back
  // costs nothing.
  for (std::uint16_t i = 0; i < count && !stream.Failed(); ++i) {
    TreeTableEntry entry;
    entry.ads.resize(static_cast<std::size_t>(fNumAds));
    ReconstituteEntry(stream, entry, version, i);
    if (!stream.Failed()) fEntries.push_back(std::move(entry));
  }
}

void TreeTable::ReconstituteEntry(ReconStream& stream, TreeTableEntry& entry, std::uint16_t version,
                                  std::size_t position) {
  stream.Value(entry.actionTreeId);
  if (version < kFirstNewAds) {
    ReadOldAds(stream, entry, version);
    if (version < kFirstStringIndex) entry.stringIndex = static_cast<std::uint32_t>(position);
    return;
  }
  stream.Value(entry.guardTreeId);
  auto adCount = static_cast<std::uint32_t>(entry.ads.size());
  stream.Count(adCount);
  if (stream.IsReading()) entry.ads.assign(adCount, MotiveAd{});
  stream.Value(entry.flags);
  stream.Value(entry.stringIndex);
  stream.Value(entry.attenuationCode);
  stream.Value(entry.attenuationValue);
  stream.Value(entry.extraA);
  stream.Value(entry.extraB);
  for (MotiveAd& ad : entry.ads) {
    stream.Value(ad.adBase);
    stream.Value(ad.adRange);
    stream.Value(ad.adModifier);
  }
  if (version == kStringTableVersion && stream.UsesStringTable()) stream.String(entry.menuText);
}

// Versions 0 to 5 kept one value per advertisement, its range. Only a
// reading stream gets here.
void TreeTable::ReadOldAds(ReconStream& stream, TreeTableEntry& entry, std::uint16_t version) {
  if (version >= 1) stream.Value(entry.guardTreeId);
  std::uint16_t valueCount = 0;
  stream.Value(valueCount);
  auto setAd = [&entry](std::size_t index, std::int16_t value) {
    if (index >= entry.ads.size()) return;
    MotiveAd& ad = entry.ads[index];
    ad.adRange = static_cast<std::int16_t>(value - ad.adBase);
  };
  if (version <= 1) {
    for (std::uint16_t i = 0; i < valueCount && !stream.Failed(); ++i) {
      std::uint16_t index = 0;
      std::int16_t value = 0;
      stream.Value(index);
      stream.Value(value);
      setAd(index, value);
    }
    return;
  }
  if (version >= 3) {
    if (version >= kFirstStringIndex) {
      stream.Value(entry.flags);
      stream.Value(entry.stringIndex);
    } else {
      std::uint16_t shortFlags = 0;
      stream.Value(shortFlags);
      entry.flags = shortFlags;
    }
  }
  entry.attenuationCode = 0;
  stream.Value(entry.attenuationValue);
  if (version == 2) {
    std::uint16_t ignored = 0;
    stream.Value(ignored);
  }
  if (version >= 4) stream.Value(entry.extraA);
  if (version >= 5) stream.Value(entry.extraB);
  for (std::uint16_t i = 0; i < valueCount && !stream.Failed(); ++i) {
    std::int16_t value = 0;
    stream.Value(value);
    setAd(i, value);
  }
}

bool TreeTable::ReadBytes(std::span<const std::uint8_t> bytes, bool swap) {
  ReconStream reader = ReconStream::Reader(bytes, swap);
  Reconstitute(reader);
  return !reader.Failed();
}

ResErr TreeTable::Load(iResFile& file, ResID id) {
  if (!file.IsOpen() || id == 0) return -1;
  fEntries.clear();
  MHandle handle = file.GetResource(kType, id, nullptr);
  if (handle == nullptr) {
    const ResErr err = file.GetError();
    if (err == res_error::kNone) {
      XASSERT_FAIL("file->GetError()", "NULL handle, no error");
      return res_error::kNotFound;
    }
    return err;
  }
  fFile = &file;
  fId = id;
  const bool swap = !file.IsResourceNative(handle);
  {
    HandleLock lock(handle);
    ReconStream reader = ReconStream::Reader(lock.Bytes(), swap);
    Reconstitute(reader, &file, id);
    reader.Close();
  }
  CTGString name;
  file.GetResName(handle, name);
  file.ReleaseAndDispose(handle);
  // Menu texts first, so that an old table written again keeps them. A
  // version-7 record brought its own, the string table's entries in entry
  // order; looking them up again by string index would move them onto other
  // entries, so they are saved again as they came.
  if (fStoredVersion != kStringTableVersion) LoadMenuTexts();
  if (fStoredVersion < kFirstCurrentLayout) {
    Warning("old tree table found");
    if (file.IsWritable()) return SaveAgain(name.View());
  }
  return res_error::kNone;
}

void TreeTable::LoadMenuTexts() {
  StringSet strings;
  strings.Init(fFile, fId, kStringsType, false, StringSet::kCurrentLanguage);
  if (strings.Load(false, true) != res_error::kNone) return;
  for (TreeTableEntry& entry : fEntries) {
    std::optional<std::string_view> text;
    if (FitsStringSet(entry.stringIndex)) text = strings.Value(static_cast<int>(entry.stringIndex) + 1);
    if (text && !text->empty()) {
      entry.menuText = *text;
      continue;
    }
    entry.menuText = BehaviourName(*fFile, entry.actionTreeId);
    if (entry.menuText.empty()) entry.menuText.append("?").append(std::to_string(entry.actionTreeId));
  }
}

ResErr TreeTable::Save(iResFile& file, ResID id, std::string_view name) {
  if (id < 1) {
    XASSERT_FAIL("id>0", "no more defaults for tree tables");
    return -1;
  }
  if (!file.IsOpen()) {
    XASSERT_FAIL("file", "invalid information for saving");
    return -1;
  }
  ReconStream sizing;
  Reconstitute(sizing);
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(sizing.Position()));
  if (!handle) return MemError() != 0 ? MemError() : res_error::kOutOfMemory;
  {
    HandleLock lock(handle.Get());
    ReconStream writer = ReconStream::Writer(lock.Bytes(), false);
    Reconstitute(writer);
  }
  fFile = &file;
  fId = id;
  ResErr err = file.AddResource(handle.Get(), kType, id, CTGString(name), true);
  if (err != res_error::kNone) return err;
  MHandle added = handle.Release();
  err = file.WriteResource(added);
  if (err != res_error::kNone) return err;
  file.ReleaseAndDispose(added);
  if (file.GetError() != res_error::kNone) return file.GetError();
  fStoredVersion = kVersion;
  if (SaveMenuTexts() != res_error::kNone) {
    XASSERT_FAIL("err == 0", "saving tree table succeeded but saving strings failed");
  }
  return res_error::kNone;
}

ResErr TreeTable::SaveMenuTexts() {
  StringSet strings;
  strings.Init(fFile, fId, kStringsType, false, StringSet::kCurrentLanguage);
  strings.Load(false, true);
  for (const TreeTableEntry& entry : fEntries) {
    if (!FitsStringSet(entry.stringIndex)) continue;
    const int index = static_cast<int>(entry.stringIndex) + 1;
    while (strings.Count() < index - 1) strings.SetValue(strings.Count() + 1, "");
    strings.SetValue(index, entry.menuText);
    const std::string old(strings.Comment(index).value_or(""));
    const std::string marked = MarkedComment(old, entry.IsDebug());
    if (marked != old) strings.SetComment(index, marked);
  }
  return strings.Save();
}

ResErr TreeTable::SaveAgain(std::string_view name) {
  if (fFile == nullptr) {
    XASSERT_FAIL("fFile", "NULL file, not previously loaded.");
    return -1;
  }
  return Save(*fFile, fId, name);
}

}  // namespace pixmold
