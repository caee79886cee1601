// The stored layouts of a string set: decoding all five, encoding layout -3,
// and the memory half of the merge-save. Every byte comes through a cursor
// that refuses to read past the record; a record cut short keeps the strings
// that were whole and reports -48.
#include <cstring>
#include <limits>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "resfile/string_set.h"

namespace pixmold {
namespace {

constexpr std::uint16_t kLayoutSimple = 0xFFFF;
constexpr std::uint16_t kLayoutCommented = 0xFFFE;
constexpr std::uint16_t kLayoutMultiLanguage = 0xFFFD;

}  // namespace

void StringSetSwizzler(void* bytes, std::int32_t size) {
  if (!bytes || size < 2) return;
  auto* b = static_cast<std::uint8_t*>(bytes);
  std::swap(b[0], b[1]);
  if (b[0] == 0xFF && b[1] == 0xFF && size >= 4) std::swap(b[2], b[3]);
}

void StringSet::InsertLoaded(int index, std::string_view value, std::optional<std::string_view> comment) {
  InsertValue(index, value, fLanguage);
  if (comment) SetComment(index, *comment, fLanguage);
  if (fLanguage != kLanguageEnglish) {
    InsertValue(index, value, kLanguageEnglish);
    if (comment) SetComment(index, *comment, kLanguageEnglish);
  }
}

ResErr StringSet::LoadBytes(std::span<const std::uint8_t> bytes, bool loadAll, bool fallbackToEnglish) {
  ClearAll();
  ResErr err = res_error::kNone;
  if (fTextForm) {
    DecodeTextForm(bytes);
  } else {
    ByteCursor cursor(bytes, ByteOrder::kLittle);
    const std::uint16_t layout = cursor.U16();
    if (cursor.Failed()) {
      err = res_error::kShortRead;
    } else if (layout == kLayoutSimple || layout == kLayoutCommented) {
      err = DecodeCountedList(bytes.subspan(2), layout == kLayoutCommented);
    } else if (layout == kLayoutMultiLanguage) {
      err = DecodeMultiLanguage(bytes.subspan(2), loadAll, fallbackToEnglish);
    } else {
      err = DecodePascalList(bytes);
    }
  }
  if (loadAll) FillFromEnglish();
  return err;
}

ResErr StringSet::DecodePascalList(std::span<const std::uint8_t> bytes) {
  ByteCursor cursor(bytes, ByteOrder::kLittle);
  const std::uint16_t count = cursor.U16();
  // Any first value other than the three layout markers is a count, but only
  // 0..32767 were ever written: the markers are the negative 16-bit values.
  if (cursor.Failed() || count > 0x7FFF) return res_error::kShortRead;
  for (int index = 1; index <= count; ++index) {
    const std::uint8_t length = cursor.U8();
    const std::span<const std::uint8_t> run = cursor.Bytes(length);
    if (cursor.Failed()) return res_error::kShortRead;
    // These lists come from an older character set: its o-umlaut and its
    // curly apostrophe are mapped to plain letters.
    std::string text(run.begin(), run.end());
    for (char& c : text) {
      if (static_cast<unsigned char>(c) == 0xA1) c = 'o';
      if (static_cast<unsigned char>(c) == 0xD5) c = '\'';
    }
    InsertLoaded(index, text, std::nullopt);
  }
  return res_error::kNone;
}

ResErr StringSet::DecodeCountedList(std::span<const std::uint8_t> bytes, bool withComments) {
  ByteCursor cursor(bytes, ByteOrder::kLittle);
  const int total = cursor.I16();
  if (cursor.Failed()) return res_error::kShortRead;
  for (int index = 1; index <= total; ++index) {
    const std::string_view value = cursor.CString();
    if (cursor.Failed()) return res_error::kShortRead;
    std::optional<std::string_view> comment;
    if (withComments) {
      comment = cursor.CString();
      if (cursor.Failed()) {
        InsertLoaded(index, value, std::nullopt);
        return res_error::kShortRead;
      }
    }
    InsertLoaded(index, value, comment);
  }
  return res_error::kNone;
}

ResErr StringSet::DecodeMultiLanguage(std::span<const std::uint8_t> bytes, bool loadAll, bool fallbackToEnglish) {
  struct Walked {
    int language;
    std::string_view value;
    std::string_view comment;
  };
  // One walk checks the record; taking entries and the English fallback both
  // run over its result.
  std::vector<Walked> walked;
  ResErr err = res_error::kNone;
  ByteCursor cursor(bytes, ByteOrder::kLittle);
  const std::uint16_t total = cursor.U16();
  if (cursor.Failed()) return res_error::kShortRead;
  for (int n = 0; n < total; ++n) {
    const std::uint8_t number = cursor.U8();
    const std::string_view value = cursor.CString();
    const std::string_view comment = cursor.CString();
    if (cursor.Failed()) {
      err = res_error::kShortRead;
      break;
    }
    int language = static_cast<int>(number) - 1;
    if (language < kLanguageEnglish || language >= kMaxLanguages) {
      XASSERT_FAIL("nLanguage >= kLanguageEnglish && nLanguage < kMaxLanguages", "Illegal Language Specifier");
      continue;
    }
    walked.push_back(Walked{language, value, comment});
  }

  int previous = -1;
  int index = 1;
  for (const Walked& entry : walked) {
    if (entry.language != previous) index = 1;
    previous = entry.language;
    if (entry.language == fLanguage || loadAll) {
      SetValue(index, entry.value, entry.language);
      SetComment(index, entry.comment, entry.language);
      ++index;
    }
  }
  if (Count(fLanguage) == 0 && fallbackToEnglish) {
    index = 1;
    for (const Walked& entry : walked) {
      if (entry.language != kLanguageEnglish) continue;
      SetValue(index, entry.value, fLanguage);
      SetComment(index, entry.comment, fLanguage);
      ++index;
    }
  }
  return err;
}

void StringSet::DecodeTextForm(std::span<const std::uint8_t> bytes) {
  // The text is a C string: it ends at its first zero byte, if any.
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  text = text.substr(0, text.find('\0'));
  int index = 1;
  std::size_t open = text.find('^');
  while (open != std::string_view::npos) {
    std::size_t close = text.find('^', open + 1);
    if (close == std::string_view::npos) break;
    InsertLoaded(index++, text.substr(open + 1, close - open - 1), std::nullopt);
    open = text.find('^', close + 1);
  }
}

void StringSet::MergeInto(StringSet& stored) const {
  const int language = fLanguage;
  const int count = Count(language);
  for (int index = 1; index <= count; ++index) {
    stored.SetValue(index, Value(index, language).value_or(""), language);
    if (auto comment = Comment(index, language)) stored.SetComment(index, *comment, language);
  }
  // Comments belong to the English text: every translation shares them. An
  // index a translation does not reach yet gets its comment when it is
  // padded below.
  for (int index = 1; index <= count; ++index) {
    for (int other = 1; other < kMaxLanguages; ++other) {
      if (index <= stored.Count(other)) stored.SetComment(index, stored.Comment(index, kLanguageEnglish), other);
    }
  }
  const auto& english = stored.fLanguages[kLanguageEnglish];
  for (int other = 1; other < kMaxLanguages; ++other) {
    auto& entries = stored.fLanguages[static_cast<std::size_t>(other)];
    for (std::size_t i = entries.size(); i < english.size(); ++i) {
      entries.push_back(StringEntry{english[i].value, english[i].comment, 0});
    }
  }
  // A language holding only copies of English is not a translation.
  for (int other = 1; other < kMaxLanguages; ++other) {
    auto& entries = stored.fLanguages[static_cast<std::size_t>(other)];
    bool translated = false;
    for (const StringEntry& entry : entries) translated = translated || entry.mark != 0;
    if (!translated) entries.clear();
  }
}

std::optional<std::vector<std::uint8_t>> StringSet::EncodeAllLanguages() const {
  std::uint64_t entries = 0;
  std::uint64_t size = 4;
  for (const auto& language : fLanguages) {
    for (const StringEntry& entry : language) {
      ++entries;
      size += (entry.value ? entry.value->size() : 0) + (entry.comment ? entry.comment->size() : 0) + 4;
    }
  }
  if (entries > 0xFFFF || size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> out(static_cast<std::size_t>(size), 0);
  StoreU16(out, 0, kLayoutMultiLanguage, ByteOrder::kLittle);
  StoreU16(out, 2, static_cast<std::uint16_t>(entries), ByteOrder::kLittle);
  std::size_t at = 4;
  auto put = [&](const std::optional<std::string>& text) {
    if (text) {
      std::memcpy(out.data() + at, text->data(), text->size());
      at += text->size();
    }
    out[at++] = 0;
  };
  for (int language = 0; language < kMaxLanguages; ++language) {
    for (const StringEntry& entry : fLanguages[static_cast<std::size_t>(language)]) {
      out[at++] = static_cast<std::uint8_t>(language + 1);
      put(entry.value);
      put(entry.comment);
    }
  }
  XASSERT(at + entries == out.size(), "string set layout size");
  return out;
}

}  // namespace pixmold
