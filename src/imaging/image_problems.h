// Plain words for what is wrong with an input image, for the line a build
// adds after a fatal error whose own text ("could not open tga file ...
// error #1200", "huh?") means little to the artist who has to fix the file.
//
// Each function looks at the file again, and only at its headers: they run
// after a failure, so they may take their time, but they must not cost what
// the failed read would have. Each returns "" when it finds nothing wrong,
// so a caller can fall back on what it knows of the failure itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pixmold {

// "no such file", "a folder, not a file", the system's reason for a file
// that cannot be opened, or "" when it opens.
std::string UnreadableFileReason(const std::string& path);

// "W x H", as the messages give an image's size.
std::string SizeText(std::int64_t width, std::int64_t height);

// Why a TGA cannot be a sprite sheet: missing, not a TGA at all, the wrong
// kind ("8-bit grey TGA; sheets must be 24- or 32-bit"), or cut short
// ("ends after N of M bytes").
std::string TgaSheetProblem(const std::string& path);

// Why a BMP cannot be used as role ("palette image", "mask"): missing, not
// a BMP, not 8-bit indexed, a header layout we do not read (with how to save
// a plain one), a colour table or rows cut short.
std::string BmpImageProblem(const std::string& path, std::string_view role);

// Why a palette file (an 8-bit BMP or 768 bytes of colour triples) gives no
// palette, the size limit included.
std::string PaletteFileProblem(const std::string& path, std::string_view role);

}  // namespace pixmold
