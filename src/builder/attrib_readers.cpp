#include "builder/attrib_readers.h"

#include <string>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/number_scan.h"
#include "builder/tag_attributes.h"
#include "markup/scan_integer.h"

namespace pixmold {
namespace {

[[noreturn]] void Malformed(AttribTable& tag, const AttribEntry& entry, std::string_view what,
                            std::string_view expectation) {
  std::string text(what);
  text += " for key \"";
  text += entry.fName;
  text += "\" in tag \"";
  text += TagName(tag);
  text += '"';
  text += expectation;
  FatalError(text, EntryLine(&entry));
}

// Every reader's lookup comes through here, so a key missing from the
// table of tag kinds is caught where it is read rather than warned about as
// ignored.
AttribEntry* Lookup(AttribTable& tag, std::string_view key) {
  const TagKind* kind = FindTagKind(TagName(tag));
  if (kind != nullptr && !Reads(*kind, key)) {
    XASSERT_FAIL("Reads(*kind, key)", "the \"" + std::string(kind->tag) + "\" tag reads \"" + std::string(key) +
                                          "\", which its row of the tag table lacks");
  }
  return tag.FindEntry(key);
}

}  // namespace

std::string_view TagName(const AttribTable& tag) {
  const AttribEntry* entry = tag.EntryAt(0);
  return entry ? std::string_view(entry->fName) : std::string_view();
}

std::optional<int> TagLine(const AttribTable& tag) { return EntryLine(tag.EntryAt(0)); }

std::optional<int> EntryLine(const AttribEntry* entry) {
  if (entry == nullptr || entry->fLine < 0) return std::nullopt;
  return entry->fLine;
}

void TagFatal(const AttribTable& tag, std::string_view text) { FatalError(text, TagLine(tag)); }

void KeyFatal(AttribTable& tag, std::string_view key, std::string_view text) {
  const AttribEntry* entry = Lookup(tag, key);
  FatalError(text, entry ? EntryLine(entry) : TagLine(tag));
}

void TagWarning(const AttribTable& tag, std::string_view text) { Warning(text, TagLine(tag)); }

void KeyWarning(AttribTable& tag, std::string_view key, std::string_view text) {
  const AttribEntry* entry = Lookup(tag, key);
  Warning(text, entry ? EntryLine(entry) : TagLine(tag));
}

bool ReadLenientInteger(AttribTable& tag, std::string_view key, std::int32_t& out) {
  const AttribEntry* entry = Lookup(tag, key);
  std::int32_t value = 0;
  if (entry == nullptr || !ScanInteger(entry->fValue, value)) return false;
  out = value;
  return true;
}

bool ReadInteger(AttribTable& tag, std::string_view key, std::int32_t& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  std::int32_t value = 0;
  if (!ScanInteger(entry->fValue, value)) Malformed(tag, *entry, "integer value expected", "");
  out = value;
  return true;
}

bool ReadResourceId(AttribTable& tag, std::string_view key, std::int32_t& out) {
  if (!ReadInteger(tag, key, out)) return false;
  const auto stored = static_cast<std::int16_t>(out);
  if (stored != out) {
    TagWarning(tag, std::string(key) + " " + std::to_string(out) + " does not fit in 16 bits; it is stored as " +
                        std::to_string(stored));
    out = stored;
  }
  return true;
}

bool ReadShortInteger(AttribTable& tag, std::string_view key, std::int16_t& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  // "%ld" reads a 32-bit long on the platform the files come from.
  std::int32_t value = 0;
  if (!ScanInteger(entry->fValue, value)) Malformed(tag, *entry, "short integer value expected", "");
  out = static_cast<std::int16_t>(value);
  return true;
}

bool ReadLongInteger(AttribTable& tag, std::string_view key, std::int32_t& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  std::int32_t value = 0;
  if (!ScanInteger(entry->fValue, value)) Malformed(tag, *entry, "long integer value expected", "");
  out = value;
  return true;
}

bool ReadFloat(AttribTable& tag, std::string_view key, float& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  std::optional<float> value = ScanFloat(entry->fValue);
  if (!value) Malformed(tag, *entry, "float value expected", "");
  out = *value;
  return true;
}

bool ReadBoolean(AttribTable& tag, std::string_view key, std::int16_t& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  if (entry->fValue == "true") {
    out = 1;
  } else if (entry->fValue == "false") {
    out = 0;
  } else {
    Malformed(tag, *entry, "boolean value", " expected to be true or false");
  }
  return true;
}

bool ReadString(AttribTable& tag, std::string_view key, std::string& out) {
  const AttribEntry* entry = Lookup(tag, key);
  if (entry == nullptr) return false;
  out = entry->fValue;
  return true;
}

bool HasKey(AttribTable& tag, std::string_view key) { return Lookup(tag, key) != nullptr; }

}  // namespace pixmold
