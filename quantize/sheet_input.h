// A truecolour sheet as the palette maker reads it: the render's pixels
// before any palette, which of them are drawn, and how much each counts.
//
// Drawn means what the build will draw (imaging/true_colour_sheet.h). An
// alpha image beside the sheet (NAMEalpha.tga) gives each pixel its
// coverage: a pixel counts in proportion to it, and one whose coverage the
// build rounds to nothing (its 5-bit alpha is 0) does not count at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmold {

struct SheetInput {
  std::string path;          // the sheet as named
  std::string paletteImage;  // where its palette image goes
  int width = 0;
  int height = 0;
  bool hasDepth = false;             // 32-bit
  std::vector<std::uint32_t> argb;   // 0xAARRGGBB, top row first
  std::vector<std::uint8_t> drawn;   // 1 where the build draws
  std::vector<std::uint8_t> weight;  // 0..255; 0 where a pixel does not count

  std::size_t Pixels() const { return argb.size(); }
  bool TopLeftDrawn() const { return !drawn.empty() && drawn[0] != 0; }
};

// kUnsupported: a TGA of a bit depth or kind the build cannot use (an 8-bit,
// 16-bit, grey or colour-mapped image): the user named the wrong file.
// kUnreadable: no such file, not a TGA, cut short, or its alpha image is.
enum class SheetFault { kNone, kUnsupported, kUnreadable };

struct SheetLoad {
  SheetFault fault = SheetFault::kNone;
  std::string message;  // "PATH: reason"
};

// Reads the sheet and, when there is one, its alpha image through the file
// library.
SheetLoad LoadSheet(const std::string& path, SheetInput& out);

}  // namespace pixmold
