// The object file: an object's ".iff" data, its ".spf" graphics and its
// ".dir" directory of loose resources, opened by the object's base name and
// used as one resource file.
//
// Beside the resources it keeps two tables for the object records: override
// lists (an id mapped to a list of 16-bit values, replacing what a record
// holds) and a cache of lower-cased animation-name tables, one per STR# id,
// filled on first use and dropped when the file closes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "resfile/anim_table.h"
#include "resfile/std_res_file.h"

namespace pixmold {

class ObjResFile : public StdResFile {
 public:
  ObjResFile();

  // Stores a copy of the list under the id; no list removes the id's entry.
  void SetOverride(ResID id, std::optional<std::span<const std::int16_t>> list);
  // Null when the id has no override.
  const std::vector<std::int16_t>* GetOverride(ResID id) const;

  // The animation-name table of STR# `id`, loaded on first use; null when
  // the strings cannot be loaded.
  const AnimTable* GetAnimTable(ResID id);

  ResErr CloseFile() override;

 private:
  std::map<ResID, std::vector<std::int16_t>> fOverrides;
  std::map<ResID, AnimTable> fAnimTables;
};

}  // namespace pixmold
