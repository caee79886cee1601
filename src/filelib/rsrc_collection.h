// The loose resources of one directory, as read from its listing: the files
// on disk and the archive members the file library has mapped there, in file
// name order so that "the first match" means the same file on every system.
// Files without a three-character type extension are not resources and are
// left out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filelib/rsrc_descriptor.h"

namespace pixmold {

class CTGFileManager;

struct RsrcEntry {
  std::string directory;  // as given to the collection (ending in a separator)
  std::string fileName;   // without the directory
  RsrcType type = 0;      // the extension's three characters, fourth byte 0
  std::int32_t id = RsrcDescriptor::kNoID;
  std::string name;
};

class RsrcCollection {
 public:
  // The directory ends in a separator (or is empty: the working directory).
  RsrcCollection(std::string_view directory, CTGFileManager& files);

  const std::string& Directory() const { return fDirectory; }
  std::size_t size() const { return fEntries.size(); }
  const std::vector<RsrcEntry>& Entries() const { return fEntries; }

  class Iterator {
   public:
    explicit Iterator(const RsrcCollection& collection) : mCollection(&collection) {}
    bool AtEnd() const { return mIndex >= static_cast<long>(mCollection->size()); }
    const RsrcEntry& operator*() const { return mCollection->fEntries[static_cast<std::size_t>(mIndex)]; }
    // Moving past either end is reported and leaves the iterator where it is.
    Iterator& operator+=(long i);
    Iterator& operator-=(long i);

   private:
    const RsrcCollection* mCollection;
    long mIndex = 0;
  };
  Iterator begin() const { return Iterator(*this); }

 private:
  std::string fDirectory;
  std::vector<RsrcEntry> fEntries;
};

}  // namespace pixmold
