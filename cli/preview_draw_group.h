// pixmold preview FILE DGRP ID: the draw group's views as the game draws
// them, one PNG per view and, when every view is asked for, one contact
// sheet holding them all (a column per direction, a row per zoom, large at
// the top). Items that cannot be drawn are named on standard error and the
// rest of the view is still written.
#pragma once

#include <optional>
#include <string>

#include "resfile/res_file.h"

namespace pixmold::cli {

struct DrawGroupPreviewOptions {
  std::string file;  // for messages
  ResID id = 0;
  std::string outDir;
  std::optional<int> direction;  // all directions when absent
  std::optional<int> zoom;       // all zooms when absent
  bool channels = false;         // also the composited depth
  bool quiet = false;            // do not list the files written
};

// An exit status: 0 written, 1 no such draw group or view, or a file that
// cannot be written.
int WriteDrawGroupPreviews(iResFile& file, const DrawGroupPreviewOptions& options);

}  // namespace pixmold::cli
