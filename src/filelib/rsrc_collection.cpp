#include "filelib/rsrc_collection.h"

#include <algorithm>
#include <set>

#include "base/ascii.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/debug_assert.h"
#include "filelib/file_path.h"

namespace pixmold {

RsrcCollection::RsrcCollection(std::string_view directory, CTGFileManager& files) : fDirectory(directory) {
  if (!fDirectory.empty() && fDirectory.back() != '/' && fDirectory.back() != '\\') {
    DEBUG_ASSERT_FAIL("inDir[inDir.length()-1] == '\\\\'");
    fDirectory += '/';
  }
  // Listed as a case-blind file system lists them, so "first" does not
  // depend on the case of a name.
  auto caseBlind = [](const std::string& a, const std::string& b) {
    int order = CompareIgnoringCase(a, b);
    return order != 0 ? order < 0 : a < b;
  };
  std::set<std::string, decltype(caseBlind)> names(caseBlind);
  std::string listed = fDirectory.empty() ? std::string(".") : ToSlashes(fDirectory);
  std::vector<DirEntry> entries;
  if (files.Files().List(listed, entries)) {
    for (const DirEntry& entry : entries) {
      if (entry.kind == EntryKind::kFile) names.insert(entry.name);
    }
  }
  std::string key = PathKey(listed);
  for (const auto& mapped : files.MappedFiles()) {
    if (ParentKey(mapped.path) == key) names.insert(mapped.path.substr(mapped.path.rfind('/') + 1));
  }
  for (const std::string& name : names) {
    if (!HasRsrcExtension(name)) continue;
    RsrcEntry entry;
    entry.directory = fDirectory;
    entry.fileName = name;
    entry.type = RsrcTypeFromFileName(name).value_or(0);
    entry.id = RsrcIDFromFileName(name);
    entry.name = RsrcNameFromFileName(name);
    fEntries.push_back(std::move(entry));
  }
}

RsrcCollection::Iterator& RsrcCollection::Iterator::operator+=(long i) {
  // Stepping onto the end is how a walk finishes; only beyond it is wrong.
  if (mIndex + i <= static_cast<long>(mCollection->size())) {
    mIndex += i;
  } else {
    DEBUG_ASSERT_FAIL("mIndex+i < mCollection->size()");
  }
  return *this;
}

RsrcCollection::Iterator& RsrcCollection::Iterator::operator-=(long i) {
  if (mIndex - i >= 0) {
    mIndex -= i;
  } else {
    DEBUG_ASSERT_FAIL("mIndex-i >= 0");
  }
  return *this;
}

}  // namespace pixmold
