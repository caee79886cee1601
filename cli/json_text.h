// Text for the commands' --json output. Paths, resource names and markup
// text are bytes, not text in a known character set: most are UTF-8 and go
// out unchanged, but a name from an old file may hold any byte. JSON must be
// UTF-8, so a string that is not keeps a readable form (each byte that does
// not belong to a UTF-8 sequence becomes U+FFFD) and the exact bytes travel
// beside it, in hexadecimal, under the key with "Bytes" appended
// ("name" and "nameBytes"). A reader that wants the bytes takes the "Bytes"
// field when it is there and the UTF-8 of the plain field otherwise.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace pixmold::cli {

// Keys stay in the order they are set, so the output reads as documented.
using Json = nlohmann::ordered_json;

// True when every byte of `bytes` belongs to a well-formed UTF-8 sequence
// (shortest form, no surrogates, nothing above U+10FFFF).
bool IsUtf8(std::string_view bytes);

// Sets object[key] to `bytes`, and object[key + "Bytes"] when they are not
// UTF-8.
void PutText(Json& object, const std::string& key, std::string_view bytes);

// The JSON text ending in a line end.
std::string JsonLine(const Json& value);

}  // namespace pixmold::cli
