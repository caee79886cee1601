// Texts the commands show a user, as opposed to a build report: a reason
// for a path that cannot be used, control bytes made visible, and the
// internal-check text without the source location a user cannot act on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixmold::cli {

// Why `path` cannot be read (or, when `forWriting`, created: "File exists" among them): the system's
// text ("No such file or directory", "Is a directory", "Permission
// denied"), or "" when the path looks usable and the reason lies elsewhere.
std::string PathReason(const std::string& path, bool forWriting = false);

// Control bytes (and DEL) written as \t, \n, \r or \xHH, except those in
// `keep`; every other byte, UTF-8 included, unchanged.
std::string EscapeControls(std::string_view text, std::string_view keep = {});

// "1 warning", "3 warnings".
std::string Plural(std::size_t count, std::string_view noun);

// A GUID as every command shows it: hexadecimal, then the signed decimal
// the dialog shows and a "target" tag takes, "0xFFFFFFFE (-2)".
std::string GuidText(std::uint32_t guid);

// An internal-check failure ("XASSERT failure in file F, line N : (C) M")
// as "internal check failed: (C) M"; any other text unchanged.
std::string WithoutSourceLocation(std::string_view text);

}  // namespace pixmold::cli
