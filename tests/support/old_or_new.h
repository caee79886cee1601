// The check every interrupted-build test makes: a build stopped part-way (a
// kill, a full disk, a signal) leaves each resource as it was before the build
// or as a whole build writes it, and loses none.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "resfile/res_types.h"
#include "support/object_file_fixture.h"

namespace pixmold::testing {

// An object file's resources (both parts) by type and id: name and bytes.
using ObjectContents = std::map<std::pair<ResType, ResID>, std::pair<std::string, std::vector<std::uint8_t>>>;

inline ObjectContents ContentsOf(const std::string& objectFile) {
  ObjectContents contents;
  for (StoredResource& r : ReadObjectFile(objectFile)) contents[{r.type, r.id}] = {r.name, std::move(r.bytes)};
  return contents;
}

// Fails, naming `when` and the resource, for one that is neither old nor new
// or that was lost; returns how many are as built.
inline int ExpectOldOrNew(const ObjectContents& found, const ObjectContents& before, const ObjectContents& after,
                          const std::string& when) {
  const auto same = [](const ObjectContents& contents, const auto& key, const auto& resource) {
    const auto it = contents.find(key);
    return it != contents.end() && it->second == resource;
  };
  int built = 0;
  for (const auto& [key, resource] : found) {
    const bool asBefore = same(before, key, resource);
    EXPECT_TRUE(asBefore || same(after, key, resource))
        << when << ": " << ResTypeName(key.first) << " " << key.second << " is neither old nor new";
    built += !asBefore;
  }
  // A resource the whole build removes may be gone.
  for (const auto& [key, resource] : before) {
    EXPECT_TRUE(found.count(key) || !after.count(key))
        << when << ": lost " << ResTypeName(key.first) << " " << key.second;
  }
  return built;
}

}  // namespace pixmold::testing
