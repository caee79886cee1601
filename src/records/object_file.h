// An object file as the build and the template copier open it: one resource
// file over the object's ".iff" part (its data) and ".spf" part (its sprites,
// draw groups, palettes and pictures), found from the object's path with or
// without an extension. Either part may be missing.
#pragma once

#include <memory>

#include "resfile/std_res_file.h"

namespace pixmold {

inline std::unique_ptr<StdResFile> NewObjectFile() {
  auto file = std::make_unique<StdResFile>();
  file->AddComponent(SeqResFile::kIFF2Kind, ".iff");
  file->AddComponent(SeqResFile::kIFF2Kind, ".spf");
  return file;
}

}  // namespace pixmold
