// The in-memory operations of a string set. Index and language mistakes are
// our callers' bugs, so they are reported through XASSERT and the operation
// does nothing (or returns nothing).
#include "resfile/string_set.h"

#include <atomic>

#include "base/xassert.h"

namespace pixmold {
namespace {

std::atomic<int> gProcessLanguage{1};

// Values and comments are zero-terminated strings in every stored layout, so
// a text keeps only what precedes its first zero byte.
std::string Stored(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

}  // namespace

StringSet::StringSet() : fLanguage(ProcessLanguage() - 1) {}

int StringSet::ProcessLanguage() { return gProcessLanguage.load(); }

void StringSet::SetProcessLanguage(int number) {
  XASSERT(number >= 1 && number <= kMaxLanguages, "Illegal language specified.");
  if (number >= 1 && number <= kMaxLanguages) gProcessLanguage.store(number);
}

void StringSet::Init(iResFile* file, ResID id, ResType type, bool textForm, int language) {
  fFile = file;
  fId = id;
  fType = type;
  fTextForm = textForm;
  if (language < 0) language = ProcessLanguage() - 1;
  XASSERT(language < kMaxLanguages, "Illegal language specified.");
  fLanguage = language < kMaxLanguages ? language : kLanguageEnglish;
}

std::optional<int> StringSet::UseLanguage(int language) const {
  int useLang = language == kCurrentLanguage ? fLanguage : language;
  if (useLang < 0 || useLang >= kMaxLanguages) {
    XASSERT_FAIL("useLang < kMaxLanguages", "Illegal language specified.");
    return std::nullopt;
  }
  return useLang;
}

StringEntry* StringSet::EntryAt(int index, int language) {
  auto& entries = fLanguages[static_cast<std::size_t>(language)];
  if (index < 1 || static_cast<std::size_t>(index) > entries.size()) return nullptr;
  return &entries[static_cast<std::size_t>(index - 1)];
}

const StringEntry* StringSet::EntryAt(int index, int language) const {
  const auto& entries = fLanguages[static_cast<std::size_t>(language)];
  if (index < 1 || static_cast<std::size_t>(index) > entries.size()) return nullptr;
  return &entries[static_cast<std::size_t>(index - 1)];
}

int StringSet::Count(int language) const {
  auto useLang = UseLanguage(language);
  if (!useLang) return 0;
  return static_cast<int>(fLanguages[static_cast<std::size_t>(*useLang)].size());
}

std::optional<std::string_view> StringSet::Value(int index, int language) const {
  auto useLang = UseLanguage(language);
  if (!useLang) return std::nullopt;
  const StringEntry* entry = EntryAt(index, *useLang);
  if (!entry || !entry->value) return std::nullopt;
  return std::string_view(*entry->value);
}

std::optional<std::string_view> StringSet::Comment(int index, int language) const {
  auto useLang = UseLanguage(language);
  if (!useLang) return std::nullopt;
  const StringEntry* entry = EntryAt(index, *useLang);
  if (!entry || !entry->comment) return std::nullopt;
  return std::string_view(*entry->comment);
}

std::optional<std::uint8_t> StringSet::Mark(int index, int language) const {
  auto useLang = UseLanguage(language);
  if (!useLang) return std::nullopt;
  const StringEntry* entry = EntryAt(index, *useLang);
  if (!entry) return std::nullopt;
  return entry->mark;
}

std::optional<std::pair<std::string_view, int>> StringSet::ValueInAnyLanguage(int index) const {
  for (int language = 0; language < kMaxLanguages; ++language) {
    const StringEntry* entry = EntryAt(index, language);
    if (entry && entry->value) return std::pair<std::string_view, int>(*entry->value, language);
  }
  return std::nullopt;
}

void StringSet::SetValue(int index, std::string_view text, int language) {
  auto useLang = UseLanguage(language);
  if (!useLang) return;
  auto& entries = fLanguages[static_cast<std::size_t>(*useLang)];
  int count = static_cast<int>(entries.size());
  if (index < 1 || index > count + 1) {
    XASSERT_FAIL("index > 0 && index <= Count(useLang) + 1", "bad index");
    return;
  }
  if (index == count + 1) {
    if (count >= kMaxStrings) {
      XASSERT_FAIL("Count(useLang) < kMaxStrings", "too many strings");
      return;
    }
    entries.push_back(StringEntry{std::nullopt, std::nullopt, kMarkInsertedEmpty});
  }
  StringEntry& entry = entries[static_cast<std::size_t>(index - 1)];
  entry.value = Stored(text);
  entry.mark = static_cast<std::uint8_t>(*useLang);
}

void StringSet::InsertValue(int index, std::string_view text, int language) {
  auto useLang = UseLanguage(language);
  if (!useLang) return;
  auto& entries = fLanguages[static_cast<std::size_t>(*useLang)];
  int count = static_cast<int>(entries.size());
  if (count >= kMaxStrings) {
    XASSERT_FAIL("Count(useLang) < kMaxStrings", "too many strings");
    return;
  }
  if (index < 1) index = 1;
  if (index > count + 1) index = count + 1;
  entries.insert(entries.begin() + (index - 1),
                 StringEntry{Stored(text), std::nullopt, static_cast<std::uint8_t>(*useLang)});
}

void StringSet::RemoveValue(int index, int language) {
  auto useLang = UseLanguage(language);
  if (!useLang) return;
  auto& entries = fLanguages[static_cast<std::size_t>(*useLang)];
  if (index < 1 || static_cast<std::size_t>(index) > entries.size()) {
    XASSERT_FAIL("index > 0 && index <= Count(useLang)", "removing non-existent string");
    return;
  }
  entries.erase(entries.begin() + (index - 1));
}

void StringSet::SetComment(int index, std::optional<std::string_view> text, int language) {
  auto useLang = UseLanguage(language);
  if (!useLang) return;
  StringEntry* entry = EntryAt(index, *useLang);
  if (!entry) {
    // Commenting into a language that holds nothing yet is a quiet no-op.
    if (Count(*useLang) != 0) XASSERT_FAIL("Count(useLang) == 0", "bad index");
    return;
  }
  if (text) {
    entry->comment = Stored(*text);
  } else {
    entry->comment.reset();
  }
}

void StringSet::ClearLanguage(int language) {
  auto useLang = UseLanguage(language);
  if (useLang) fLanguages[static_cast<std::size_t>(*useLang)].clear();
}

void StringSet::ClearAll() {
  for (auto& entries : fLanguages) entries.clear();
}

void StringSet::Assign(const StringSet& other) {
  int count = other.Count();
  for (int index = 1; index <= count; ++index) {
    SetValue(index, other.Value(index).value_or(""));
    SetComment(index, other.Comment(index).value_or(""));
  }
  while (Count() > count) RemoveValue(Count());
  fFile = nullptr;
  fType = 0;
  fId = 0;
  fName = other.fName;
}

void StringSet::FillFromEnglish() {
  const auto& english = fLanguages[kLanguageEnglish];
  for (int language = 1; language < kMaxLanguages; ++language) {
    auto& entries = fLanguages[static_cast<std::size_t>(language)];
    if (!entries.empty()) continue;
    for (const StringEntry& source : english) entries.push_back(StringEntry{source.value, std::nullopt, 0});
  }
}

}  // namespace pixmold
