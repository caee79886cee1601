// The tags of one markup file in file order. Unlike the system's plain
// pointer lists this one owns its tables: destroying the list destroys every
// tag. It keeps the 16-bit limit of those lists.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "markup/attrib_table.h"

namespace pixmold {

class TagList {
 public:
  static constexpr std::int32_t kMaxTags = 32767;

  TagList() = default;
  TagList(const TagList&) = delete;
  TagList& operator=(const TagList&) = delete;

  // Takes the table. False, after an assertion report, when the list is full
  // (the table is then destroyed).
  bool Append(std::unique_ptr<AttribTable> table);

  std::int16_t Count() const { return static_cast<std::int16_t>(fTables.size()); }
  bool Empty() const { return fTables.empty(); }
  // The table at index, or null past the end.
  AttribTable* Nth(std::int32_t index) const;

  auto begin() const { return fTables.begin(); }
  auto end() const { return fTables.end(); }

  // Each table's dump between a "<" line and a ">" line.
  void Dump(std::ostream& out, bool showLines = false) const;

 private:
  std::vector<std::unique_ptr<AttribTable>> fTables;
};

}  // namespace pixmold
