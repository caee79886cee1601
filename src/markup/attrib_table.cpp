#include "markup/attrib_table.h"

#include <string>

#include "base/xassert.h"
#include "markup/scan_integer.h"

namespace pixmold {
namespace {

bool NeedsQuotes(std::string_view value) { return value.find_first_of("\t\n\r ") != std::string_view::npos; }

}  // namespace

void AttribTable::Next() {
  if (fCursor < fSize + 1) ++fCursor;
}

std::string_view AttribTable::Name() const {
  const AttribEntry* entry = Current();
  if (entry == nullptr) {
    XASSERT_FAIL("!Done()", "getting name after table is done");
    return {};
  }
  return entry->fName;
}

std::string_view AttribTable::Value() const {
  const AttribEntry* entry = Current();
  if (entry == nullptr) {
    XASSERT_FAIL("!Done()", "getting value after table is done");
    return {};
  }
  return entry->fValue;
}

void AttribTable::ClearCurrent() {
  AttribEntry* entry = Current();
  if (entry == nullptr) {
    XASSERT_FAIL("!Done()", "clearing entry after table is done");
    return;
  }
  entry->fName.clear();
  entry->fValue.clear();
}

AttribEntry* AttribTable::FindEntry(std::string_view key) {
  for (Rewind(); !Done(); Next()) {
    if (Current()->fName == key) return Current();
  }
  return nullptr;
}

std::optional<std::string_view> AttribTable::FindValue(std::string_view key) {
  const AttribEntry* entry = FindEntry(key);
  if (entry == nullptr) return std::nullopt;
  return std::string_view(entry->fValue);
}

std::optional<std::string_view> AttribTable::NameAt(std::int32_t index) {
  fCursor = index;
  const AttribEntry* entry = Current();
  if (entry == nullptr) return std::nullopt;
  return std::string_view(entry->fName);
}

AttribEntry* AttribTable::EntryAt(std::int32_t index) const {
  if (index < 0 || index >= fSize) return nullptr;
  return fEntries[static_cast<std::size_t>(index)].get();
}

bool AttribTable::GetInteger(std::string_view key, std::int32_t& out) {
  std::optional<std::string_view> value = FindValue(key);
  return value && ScanInteger(*value, out);
}

AttribEntry* AttribTable::AddEntry() {
  if (fEntries.size() >= static_cast<std::size_t>(kMaxEntries)) {
    // Once per tag: a reader off the worker goes on, and would otherwise say
    // it again for every byte of the rest of the tag.
    if (!fFull) {
      fFull = true;
      XASSERT_FAIL("newEntry", "bad new: a tag holds at most " + std::to_string(kMaxEntries) +
                                   " entries, and the tag on line " + std::to_string(fEntries.front()->fLine) +
                                   " has more");
    }
    return nullptr;
  }
  fEntries.push_back(std::make_unique<AttribEntry>());
  fSize = static_cast<std::int32_t>(fEntries.size());
  fCursor = fSize - 1;
  return fEntries.back().get();
}

void AttribTable::Dump(std::ostream& out, bool showLines) const {
  for (const auto& entry : fEntries) {
    if (entry->fName.empty() && entry->fValue.empty()) continue;
    if (showLines) out << entry->fLine << ": ";
    out << entry->fName;
    if (entry->fValue.empty()) {
      out << '\n';
    } else if (NeedsQuotes(entry->fValue)) {
      out << "=\"" << entry->fValue << "\"\n";
    } else {
      out << '=' << entry->fValue << '\n';
    }
  }
}

}  // namespace pixmold
