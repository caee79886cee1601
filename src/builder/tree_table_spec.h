// A "ttab" tag and the "interaction" tags after it: new menu names for the
// target object's existing tree table. Interactions are never created here;
// the markup only renames them, and every interaction it does not mention
// is marked as a debug interaction in the menu strings, so a forgotten one
// shows up in testing instead of in a player's menu.
//
// Filed newest first, so an interaction belongs to the head of the list, the
// "ttab" tag read last before it.
#pragma once

#include <memory>
#include <vector>

#include "builder/generic_spec.h"
#include "records/tree_table.h"

namespace pixmold {

class TargetSpec;

class TreeTableSpec : public GenericSpec {
 public:
  static constexpr std::int32_t kAdsPerEntry = 16;

  TreeTableSpec();

  // Finds the target by its required "guid" and loads its tree table.
  void Read(AttribTable& tag);
  void ReadInteraction(AttribTable& tag);
  // Writes the table back and rewrites the debug marks of the menu strings.
  void Save();

  const TreeTable& Table() const { return fTable; }
  const std::vector<std::int32_t>& Mentioned() const { return fMentioned; }

 private:
  TargetSpec* fTarget = nullptr;
  TreeTable fTable{kAdsPerEntry};
  std::vector<std::int32_t> fMentioned;
};

}  // namespace pixmold
