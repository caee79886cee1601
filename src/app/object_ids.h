// What the dialog shows about an object file: its master objects (the
// objects a user can build: single-tile objects and the master part of each
// multi-tile group) and, for the chosen one, its ids text and the draw group
// and wall style ids a build of it writes. The command line prints the same.
//
// The ids text uses the dialog's "\r\n" line ends:
//   res id : 128
//   guid : -123456
//   catalog id : 2000
//   dg 100
//   ws 300
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

struct MasterObject {
  ResID id = 0;
  std::string name;
};

// The master objects of the file in its OBJD order.
std::vector<MasterObject> ListMasterObjects(iResFile& file);

struct ObjectIds {
  bool found = false;                      // the file holds an OBJD with the id
  std::string name;                        // its resource name
  std::uint32_t guid = 0;                  // of a master object
  std::vector<std::int16_t> drawGroupIds;  // ascending
  std::vector<std::int16_t> wallStyleIds;
  std::string text;
};

// A multi-tile master gathers the draw groups and wall styles of every part
// of its group.
ObjectIds CollectObjectIds(iResFile& file, ResID objectId);

}  // namespace pixmold
