// Object definitions (OBJD records) made from code for tests: a zeroed
// record of the chosen version and size with the fields a test cares about.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory_res_file.h"

namespace pixmold::testing {

struct ObjdFields {
  std::uint16_t version = 138;
  std::size_t size = 216;
  std::uint32_t guid = 0;
  std::int16_t firstDrawGroupId = 0;
  std::int16_t drawGroupCount = 0;
  std::int16_t multiTileGroup = 0;
  std::int16_t multiTilePart = 0;
  std::int16_t wallStyleId = 0;
  std::uint16_t catalogStringsId = 0;
  std::uint16_t treeTableId = 0;
};

std::vector<std::uint8_t> MakeObjdBytes(const ObjdFields& fields);

StoredResource ObjdResource(ResID id, std::string name, const ObjdFields& fields);

}  // namespace pixmold::testing
