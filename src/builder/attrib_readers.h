// The typed attribute readers of the specs. Each takes a tag, a key and a
// destination; it returns true when the key is present and its value was
// stored, false when the key is absent (the destination is left alone). A
// present value that does not convert ends the build with a message naming
// the key and the tag, located at the line of the entry that holds the key.
//
// Unquoted values arrive in lower case, so an unquoted True reads as true,
// while "True" in quotes keeps its capital and is malformed. Numbers are read
// from the beginning of the value as formatted input reads them: 12abc is 12.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "markup/attrib_table.h"

namespace pixmold {

// The tag's name (entry 0), empty for a tag with no entries ("<>").
std::string_view TagName(const AttribTable& tag);
// The line of the tag's first entry; none for an empty tag.
std::optional<int> TagLine(const AttribTable& tag);
// The line of an entry, none when it was never set.
std::optional<int> EntryLine(const AttribEntry* entry);

// Ends the build with the text located at the tag's line.
[[noreturn]] void TagFatal(const AttribTable& tag, std::string_view text);
// Ends the build with the text located at the line of the entry holding key
// (the tag's line when the key is absent).
[[noreturn]] void KeyFatal(AttribTable& tag, std::string_view key, std::string_view text);
// Warns with the text located at the tag's line.
void TagWarning(const AttribTable& tag, std::string_view text);
// Warns with the text located at the line of the entry holding key.
void KeyWarning(AttribTable& tag, std::string_view key, std::string_view text);

// "%d" into 32 bits: "integer value expected for key \"%s\" in tag \"%s\"".
bool ReadInteger(AttribTable& tag, std::string_view key, std::int32_t& out);
// "%d" for a resource id, which a resource file keeps in 16 bits: a value
// beyond them is kept as its low 16 bits, as the short integer reader keeps
// it, with a warning at the tag's line naming the id that is stored.
bool ReadResourceId(AttribTable& tag, std::string_view key, std::int32_t& out);
// "%ld" truncated to 16 bits: "short integer value expected for key ...".
bool ReadShortInteger(AttribTable& tag, std::string_view key, std::int16_t& out);
// "%ld" into 32 bits: "long integer value expected for key ...".
bool ReadLongInteger(AttribTable& tag, std::string_view key, std::int32_t& out);
// "%f" into single precision: "float value expected for key ...".
bool ReadFloat(AttribTable& tag, std::string_view key, float& out);
// Exactly "true" (1) or "false" (0):
// "boolean value for key \"%s\" in tag \"%s\" expected to be true or false".
bool ReadBoolean(AttribTable& tag, std::string_view key, std::int16_t& out);

// "%d" that forgives: a value that does not convert counts as absent, with
// no message (older markup relied on that for optional numbers).
bool ReadLenientInteger(AttribTable& tag, std::string_view key, std::int32_t& out);

// The value of key as text; false when absent.
bool ReadString(AttribTable& tag, std::string_view key, std::string& out);
bool HasKey(AttribTable& tag, std::string_view key);

}  // namespace pixmold
