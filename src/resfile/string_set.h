// A list of strings in up to 20 parallel languages: the one class behind
// every string resource an object file holds (STR# tables, catalog strings,
// tree-table menu strings, caret-delimited text lists).
//
// Files hold sets in five layouts, told apart by the first 16-bit value:
//   >= 0  that many (length byte, bytes) strings, in one language
//   -1    i16 count, zero-terminated values
//   -2    i16 count, (value, comment) pairs, zero-terminated
//   -3    u16 total, (language + 1, value, comment) entries of every language
//   text  "^"-delimited strings in plain text (the textForm flag)
// A set always saves in layout -3, and it saves by merging its current
// language into what the file already holds: translators work in one
// language at a time, and a save must never drop the others' work.
//
// Damaged records load as far as they are intact; the rest is dropped and the
// load reports -48. Indexes of entries count from 1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

struct StringEntry {
  // Neither is ever empty-versus-absent ambiguous: absent is nullopt.
  std::optional<std::string> value;
  std::optional<std::string> comment;
  // The language the value was last set in; kMarkInsertedEmpty for an entry
  // made empty to reach an index, 0 for a copy of the English value.
  std::uint8_t mark = 0;
};

class StringSet {
 public:
  static constexpr int kMaxLanguages = 20;
  static constexpr int kLanguageEnglish = 0;
  static constexpr int kCurrentLanguage = -1;
  static constexpr std::uint8_t kMarkInsertedEmpty = 255;
  // The letters CST: the type under which text-form lists are stored.
  static constexpr ResType kTextFormType = 0x00435354;
  // One language never holds more strings than a stored count can say.
  static constexpr int kMaxStrings = 0xFFFF;

  StringSet();

  // Binds the set to a resource; a negative language takes the default.
  void Init(iResFile* file, ResID id, ResType type, bool textForm, int language);

  // Replaces the contents with the bound resource.
  ResErr Load(bool loadAll, bool fallbackToEnglish);
  // Loads STR# `id`, falling back to the text-form CST resource of that id.
  ResErr LoadSTR(iResFile* file, ResID id, bool loadAll);
  // Merges the current language into the stored resource and writes it.
  ResErr Save();
  ResErr SaveSTR(iResFile* file, ResID id);

  // The load algorithm over resource bytes already in memory (Load feeds it
  // the resource; tests and the fuzzer feed it bytes). Clears the languages,
  // not the name.
  ResErr LoadBytes(std::span<const std::uint8_t> bytes, bool loadAll, bool fallbackToEnglish);
  // Steps of the merge-save that work on memory only: folds this set's
  // current language into `stored` (loaded with loadAll and fallback).
  void MergeInto(StringSet& stored) const;
  // Layout -3 of all languages, allocated as the stored resource is
  // (4 + sum of (value + comment + 4) bytes; one unused byte per entry at the
  // end). Null when the set is too large for the layout.
  std::optional<std::vector<std::uint8_t>> EncodeAllLanguages() const;

  int Count(int language = kCurrentLanguage) const;
  std::optional<std::string_view> Value(int index, int language = kCurrentLanguage) const;
  std::optional<std::string_view> Comment(int index, int language = kCurrentLanguage) const;
  std::optional<std::uint8_t> Mark(int index, int language = kCurrentLanguage) const;
  // The first language 0..19 that holds a value at the index.
  std::optional<std::pair<std::string_view, int>> ValueInAnyLanguage(int index) const;

  void SetValue(int index, std::string_view text, int language = kCurrentLanguage);
  void InsertValue(int index, std::string_view text, int language = kCurrentLanguage);
  void RemoveValue(int index, int language = kCurrentLanguage);
  void SetComment(int index, std::optional<std::string_view> text, int language = kCurrentLanguage);
  void ClearLanguage(int language = kCurrentLanguage);
  void ClearAll();
  // Takes the other set's current language into this one's, and its name.
  void Assign(const StringSet& other);

  iResFile* File() const { return fFile; }
  ResID Id() const { return fId; }
  ResType Type() const { return fType; }
  bool TextForm() const { return fTextForm; }
  int Language() const { return fLanguage; }
  const std::string& Name() const { return fName; }
  void SetName(std::string_view name) { fName = name; }

  // The process-wide language number (1-based, 1 unless changed); a set's
  // default language is this minus 1.
  static int ProcessLanguage();
  static void SetProcessLanguage(int number);

 private:
  using Entries = std::vector<StringEntry>;

  // -1 becomes the current language; anything outside 0..19 is reported.
  std::optional<int> UseLanguage(int language) const;
  StringEntry* EntryAt(int index, int language);
  const StringEntry* EntryAt(int index, int language) const;
  void FillFromEnglish();

  ResErr DecodePascalList(std::span<const std::uint8_t> bytes);
  ResErr DecodeCountedList(std::span<const std::uint8_t> bytes, bool withComments);
  ResErr DecodeMultiLanguage(std::span<const std::uint8_t> bytes, bool loadAll, bool fallbackToEnglish);
  void DecodeTextForm(std::span<const std::uint8_t> bytes);
  // Puts one loaded string into the current language and, when that is not
  // English, into English too.
  void InsertLoaded(int index, std::string_view value, std::optional<std::string_view> comment);

  iResFile* fFile = nullptr;
  std::string fName;
  ResID fId = 0;
  ResType fType = 0;
  bool fTextForm = false;
  int fLanguage = 0;
  std::array<Entries, kMaxLanguages> fLanguages;
};

// Swaps the layout word and, for layout -1, the count after it, in a string
// set stored by a machine of the other byte order.
void StringSetSwizzler(void* bytes, std::int32_t size);

}  // namespace pixmold
