#include "markup/tag_list.h"

#include "base/xassert.h"

namespace pixmold {

bool TagList::Append(std::unique_ptr<AttribTable> table) {
  if (table == nullptr) return false;
  if (fTables.size() >= static_cast<std::size_t>(kMaxTags)) {
    XASSERT_FAIL("fCount < 32767", "too many items in ptrlist");
    return false;
  }
  fTables.push_back(std::move(table));
  return true;
}

AttribTable* TagList::Nth(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= fTables.size()) return nullptr;
  return fTables[static_cast<std::size_t>(index)].get();
}

void TagList::Dump(std::ostream& out, bool showLines) const {
  for (const auto& table : fTables) {
    out << "<\n";
    table->Dump(out, showLines);
    out << ">\n";
  }
}

}  // namespace pixmold
