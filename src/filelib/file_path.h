// Path keys of the file library. Callers build paths with either separator
// ("\\" is a separator here too), with or without "." and ".." segments, and
// relative to the working directory; the manager's map must find the same
// file whichever spelling it is given, so every lookup goes through one key:
// absolute, "/" separators, no empty, "." or ".." segments, no trailing "/".
// Keys are compared byte for byte: the disk is case-sensitive, so the map is.
#pragma once

#include <string>
#include <string_view>

namespace pixmold {

// The path with every "\\" turned into "/".
std::string ToSlashes(std::string_view path);

// The normalised key of a path (see above). ".." above the root stays at "/".
std::string PathKey(std::string_view path);

// The parent key of a key: "/a/b" -> "/a", "/a" -> "/", "/" -> "".
std::string ParentKey(std::string_view key);

// Joins a directory key and a relative path into a key.
std::string JoinKey(std::string_view directoryKey, std::string_view relative);

// The part of a key below a directory key ("/a/b/c", "/a" -> "b/c"), or
// empty when the key does not lie below it.
std::string_view RelativeTo(std::string_view key, std::string_view directoryKey);

}  // namespace pixmold
