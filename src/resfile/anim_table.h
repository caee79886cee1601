// The object file's cache of animation names: a STR# list kept lower-cased,
// because animation names are matched without regard to case and the cache
// is asked far more often than it is filled. Loading a second list into a
// table keeps every name it already has and fills only the gaps.
#pragma once

#include "resfile/string_set.h"

namespace pixmold {

class AnimTable : public StringSet {
 public:
  // Loads STR# `id` of the file into the table; 0 or the string set's error.
  ResErr Load(iResFile* file, ResID id);
  // The memory half of Load: takes the current-language strings of `loaded`
  // into the empty positions of this table, lower-cased.
  void Absorb(const StringSet& loaded);
};

}  // namespace pixmold
