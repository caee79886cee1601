// pixmold preview FILE DGRP ID: the draw group's views as the game draws
// them, one PNG per view and, when every view is asked for, one contact
// sheet holding them all (a column per direction, a row per zoom, large at
// the top). Items that cannot be drawn are named on standard error and the
// rest of the view is still written. With --all every draw group of the file
// is written so, in id order, as one run per draw group would write it.
#pragma once

#include <optional>
#include <string>

#include "resfile/res_file.h"

namespace pixmold::cli {

struct DrawGroupPreviewOptions {
  std::string file;  // for messages
  ResID id = 0;      // unused for every draw group
  std::string outDir;
  std::optional<int> direction;  // all directions when absent
  std::optional<int> zoom;       // all zooms when absent
  bool channels = false;         // also the composited depth
  bool quiet = false;            // do not list the files written
  int threads = 1;               // PNG files encoded at once
};

// An exit status: 0 written, 1 no such draw group or view, or a file that
// cannot be written.
int WriteDrawGroupPreviews(iResFile& file, const DrawGroupPreviewOptions& options);

// Every draw group of the file, in id order; one that cannot be shown is
// named and the others are still written. An exit status: 0 every one
// written, 1 the file has none or one of them failed.
int WriteEveryDrawGroupPreview(iResFile& file, const DrawGroupPreviewOptions& options);

}  // namespace pixmold::cli
