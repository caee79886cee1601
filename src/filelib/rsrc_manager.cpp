#include "filelib/rsrc_manager.h"

#include <new>
#include <set>

#include "base/ascii.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/debug_assert.h"

namespace pixmold {
namespace {

bool EndsInSeparator(std::string_view dir) { return !dir.empty() && (dir.back() == '/' || dir.back() == '\\'); }

// A type whose extension could not be a file name's (a separator or a zero
// byte among its characters) names no file.
bool UsableExtension(const std::string& ext) {
  return ext.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace

RsrcManager::RsrcManager(CTGFileManager& files) : mFiles(&files) {}

RsrcManager& RsrcManager::Get() {
  static RsrcManager manager(CTGFileManager::Get());
  return manager;
}

void RsrcManager::AddMajorType(RsrcType major) { mMajorTypes[major]; }

void RsrcManager::AddMinorType(RsrcType major, RsrcType minor) {
  if (IsMajorType(minor)) {
    DEBUG_ASSERT_FAIL("this->IsMajorType(inMinorType) == 0");
    return;
  }
  mMajorTypes[major].push_back(minor);
}

bool RsrcManager::IsMajorType(RsrcType type) const { return mMajorTypes.count(type) != 0; }

std::vector<RsrcType> RsrcManager::MinorTypes(RsrcType major) const {
  auto majorIter = mMajorTypes.find(major);
  if (majorIter == mMajorTypes.end()) {
    DEBUG_ASSERT_FAIL("majorIter != mMajorTypes.end()");
    return {};
  }
  return majorIter->second;
}

std::vector<RsrcType> RsrcManager::LookupTypes(RsrcType type) const {
  return IsMajorType(type) ? MinorTypes(type) : std::vector<RsrcType>{type};
}

int RsrcManager::FindByID(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::int32_t id) {
  return Find(outRsrc, site, type, std::nullopt, id);
}

int RsrcManager::FindByName(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::string_view name) {
  return Find(outRsrc, site, type, name, RsrcDescriptor::kNoID);
}

int RsrcManager::Find(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::optional<std::string_view> name,
                      std::int32_t id) {
  DEBUG_ASSERT(outRsrc != 0);
  if (!outRsrc) return kError;
  for (RsrcType lookup : LookupTypes(type)) {
    for (const std::string& dir : site.Directories()) {
      int result = LookInDirectory(outRsrc, lookup, dir, name, id);
      if (result == kFound || result == kError || result == kOutOfMemory) return result;
    }
  }
  return kNotFound;
}

bool RsrcManager::Open(RsrcPkt* outRsrc, const std::string& path) {
  auto file = mFiles->Open(path, false);
  return file && outRsrc->SetFile(std::move(file));
}

int RsrcManager::LookInDirectory(RsrcPkt* outRsrc, RsrcType type, std::string_view dir,
                                 std::optional<std::string_view> name, std::int32_t id) {
  DEBUG_ASSERT(outRsrc != 0);
  if (!outRsrc) return kError;
  if (!outRsrc->Empty()) {
    DEBUG_ASSERT_FAIL("(mStream == 0) && (mFile == 0)");
    return kError;
  }
  if (!dir.empty() && !EndsInSeparator(dir)) {
    DEBUG_ASSERT_FAIL("inDir[strlen(inDir)-1] == '\\\\'");
    return kError;
  }
  if (!name && id == RsrcDescriptor::kNoID) {
    DEBUG_ASSERT_FAIL("inID != RsrcDescriptor::kNoID");
    return kError;
  }
  if (id != RsrcDescriptor::kNoID && id < RsrcDescriptor::kMinID) {
    DEBUG_ASSERT_FAIL("inID >= RsrcDescriptor::kMinID || inID == RsrcDescriptor::kNoID");
    return kError;
  }
  if (!UsableExtension(RsrcExtension(type))) return kNotFound;
  try {
    std::string directory(dir);
    if (name && type != RsrcDescriptor::kAnyType && Open(outRsrc, directory + RsrcFileName(type, id, *name))) {
      outRsrc->mType = type;
      outRsrc->mName = std::string(*name);
      outRsrc->mID = id;
      return kFound;
    }
    // The exact file is not there: the first file of the type whose name
    // (with any id) or whose id (with any name) matches.
    RsrcCollection collection(directory, *mFiles);
    std::string idPart(1, '#');
    idPart += std::to_string(id);
    idPart += '#';
    for (const RsrcEntry& entry : collection.Entries()) {
      if (!RsrcTypeMatches(type, entry.fileName)) continue;
      bool match = name ? entry.id != RsrcDescriptor::kNoID && EqualIgnoringCase(entry.name, *name)
                        : entry.fileName.compare(0, idPart.size(), idPart) == 0;
      if (!match || !Open(outRsrc, directory + entry.fileName)) continue;
      outRsrc->mType = type == RsrcDescriptor::kAnyType ? entry.type : type;
      outRsrc->mName = entry.name;
      outRsrc->mID = entry.id;
      return kFound;
    }
  } catch (const std::bad_alloc&) {
    outRsrc->Clear();
    return kOutOfMemory;
  }
  return kNotFound;
}

int RsrcManager::OpenListed(RsrcPkt* outRsrc, const RsrcEntry& entry) {
  if (!outRsrc || !outRsrc->Empty()) return kError;
  try {
    if (!Open(outRsrc, entry.directory + entry.fileName)) return kNotFound;
  } catch (const std::bad_alloc&) {
    outRsrc->Clear();
    return kOutOfMemory;
  }
  outRsrc->mType = entry.type;
  outRsrc->mName = entry.name;
  outRsrc->mID = entry.id;
  return kFound;
}

std::vector<RsrcEntry> RsrcManager::List(const RsrcSite& site) {
  std::vector<RsrcEntry> all;
  std::set<std::string> seen;
  for (const std::string& dir : site.Directories()) {
    RsrcCollection collection(dir, *mFiles);
    for (const RsrcEntry& entry : collection.Entries()) {
      if (seen.insert(LowerAscii(entry.fileName)).second) all.push_back(entry);
    }
  }
  return all;
}

}  // namespace pixmold
