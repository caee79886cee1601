// The smallest object file a build accepts: one object definition of the
// version the builds expect, all other fields zero.
#pragma once

#include <cstdint>
#include <string>

#include "resfile/iff_res_file2.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold::bench {

inline void WriteObjectDefinitionFile(const std::string& path) {
  IFFResFile2 file;
  file.CreateFile(CTGString(path));
  file.OpenFile(CTGString(path));
  MHandle definition = NewHandle(216);
  std::uint8_t* bytes = HLock(definition);
  for (int i = 0; i < 216; ++i) bytes[i] = 0;
  bytes[0] = 138;
  HUnlock(definition);
  file.AddResource(definition, MakeResType("OBJD"), 128, CTGString("object"), true);
  file.CloseFile();
}

}  // namespace pixmold::bench
