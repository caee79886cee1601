// The specs that fill a string set: "attributes" (with its "attribute" tags)
// and "slots" (with its "slot" tags, whose labels are strings). "attribute"
// and "slot" tags belong to the latest parent tag of their kind.
//
// A set is saved by merging its current language into what the file holds,
// so translations stored in other languages survive a build.
#pragma once

#include <string_view>

#include "builder/generic_spec.h"
#include "records/slots.h"
#include "resfile/string_set.h"

namespace pixmold {

class iResFile;

// Puts text at a 0-based index of the set's current language. Positions
// skipped on the way are filled with their own 0-based position as decimal
// text, so every label a game reads by index exists. False, with the set
// unchanged, for an index the set cannot hold (negative ones included).
[[nodiscard]] bool PlaceString(StringSet& set, int index, std::string_view text);

class StringSpec : public GenericSpec {
 public:
  // id (required), name and language; the set is named after the tag.
  void Read(AttribTable& tag);
  // Merge-saves the set as STR# with the tag's id.
  ResErr Save(iResFile& file);

  const StringSet& Strings() const { return fStrings; }

 protected:
  StringSet fStrings;
};

class AttrStringSpec : public StringSpec {
 public:
  void ReadAttribute(AttribTable& tag);
};

class SlotsSpec : public StringSpec {
 public:
  void Read(AttribTable& tag);
  // The slot's number among the slots of its type, from 0.
  int ReadSlot(AttribTable& tag);
  // The labels as STR# 257 and the slots as SLOT with the tag's id; a SLOT
  // that cannot be written ends the build.
  void Save(iResFile& file);

  const SlotList& Slots() const { return fSlots; }

 private:
  SlotList fSlots;
};

}  // namespace pixmold
