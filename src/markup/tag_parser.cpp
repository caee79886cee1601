#include "markup/tag_parser.h"

#include <cstdint>
#include <memory>

namespace pixmold {
namespace {

enum class ParseState { kStart, kName, kGap, kEquals, kValue };

bool IsQuote(std::uint8_t c) { return c == 0x22 || c == 0xD2 || c == 0xD3; }
bool IsBlank(std::uint8_t c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// The entry at the cursor; one is added when the cursor has none. Null only
// when the table is full (already reported).
AttribEntry* WritableEntry(AttribTable& table) {
  AttribEntry* entry = table.Current();
  return entry != nullptr ? entry : table.AddEntry();
}

void AppendToToken(AttribTable& table, ParseState state, std::uint8_t c) {
  if (state != ParseState::kName && state != ParseState::kValue) return;
  AttribEntry* entry = WritableEntry(table);
  if (entry == nullptr) return;
  (state == ParseState::kName ? entry->fName : entry->fValue).push_back(static_cast<char>(c));
}

}  // namespace

void ParseTag(MarkupScanner& scanner, AttribTable& table) {
  ParseState state = ParseState::kStart;
  bool quoted = false;
  table.Rewind();
  for (;;) {
    std::uint8_t c = scanner.ReadChar();
    if (c == 0) return;
    if (quoted) {
      if (IsQuote(c)) {
        quoted = false;
      } else {
        AppendToToken(table, state, c);
      }
      continue;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<std::uint8_t>(c - 'A' + 'a');
    if (IsBlank(c)) {
      if (state == ParseState::kName || state == ParseState::kValue) state = ParseState::kGap;
      continue;
    }
    if (c == '=') {
      // An unquoted value cannot hold "="; after a value and a gap it goes
      // back to Equals and the following text continues that same value.
      if (state == ParseState::kName || state == ParseState::kGap) state = ParseState::kEquals;
      continue;
    }
    bool newEntry = false;
    switch (state) {
      case ParseState::kGap:
        table.Next();
        state = ParseState::kName;
        newEntry = true;
        break;
      case ParseState::kStart:
        state = ParseState::kName;
        newEntry = true;
        break;
      case ParseState::kEquals: state = ParseState::kValue; break;
      case ParseState::kName:
      case ParseState::kValue: break;
    }
    if (newEntry) {
      if (AttribEntry* entry = WritableEntry(table)) entry->fLine = scanner.LineNumber();
    }
    if (IsQuote(c)) {
      quoted = true;
    } else {
      AppendToToken(table, state, c);
    }
  }
}

void ReadTags(CharScanner& source, TagList& tags) {
  MarkupScanner scanner(source, '<', '>');
  while (scanner.SkipToNextTag()) {
    auto table = std::make_unique<AttribTable>();
    ParseTag(scanner, *table);
    if (!tags.Append(std::move(table))) return;  // the list is full; already reported
  }
}

}  // namespace pixmold
