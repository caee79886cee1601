// The one way a build reads a markup file: every tag of the open file, in
// file order, appended to the list. The file stays open and the caller's.
#pragma once

#include "markup/tag_list.h"
#include "resfile/res_types.h"

namespace pixmold {

class FlatFile;

// Reading never fails: a read error or a zero byte just ends the text early,
// so the result is always 0.
ResErr ReadMarkupFile(FlatFile& file, TagList& tags);

}  // namespace pixmold
