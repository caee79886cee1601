// What an export must know of a stored sprite list before it lays out any
// sheet: each frame's size and origin, whether a drawn pixel touches each of
// its edges (the build trims a cell to what is drawn, so a frame is cut back
// out of a sheet at the same bounds only when it is tight where the build
// trims), and what in it no sheet can express. A sheet gives a frame its
// pixels through three planes: colour index, depth (255 where nothing is
// drawn) and, beside a sheet with an alpha image, coverage quantised to five
// bits. A pixel drawn without depth, at depth 255, or with a coverage of
// nothing or everything has no place in them.
//
// The survey walks runs rather than decoding pixels: the lists of one object
// can be hundreds of megapixels.
#pragma once

#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_cursor.h"
#include "builder/export/art_resources.h"

namespace pixmold {

struct FrameFacts {
  int width = 0;
  int height = 0;
  int originX = 0;  // SPR2: where the frame lay in its cell; SPR# frames keep none
  int originY = 0;
  bool drawn = false;
  // A drawn pixel in the frame's first row, last row, first and last column.
  bool drawnTop = false;
  bool drawnBottom = false;
  bool drawnLeft = false;
  bool drawnRight = false;
};

struct ListFacts {
  ArtResource resource;
  std::int32_t version = 0;
  std::int32_t paletteId = -1;
  ByteOrder order = ByteOrder::kLittle;  // SPR# only
  // SPR#: the colour frames; a version 503 list also stores one depth frame
  // of the same size after each, which depthFrames says.
  std::vector<FrameFacts> frames;
  bool depthFrames = false;
  bool alpha = false;               // SPR2 frames with a coverage channel
  std::uint8_t clearColour = 0;     // SPR2: the colour of the sheet's background
  std::bitset<256> drawnColours;    // SPR#: colour indices of drawn pixels
  std::string unreadable;           // why the list cannot be decoded, if it cannot
  std::vector<std::string> losses;  // what no sheet can carry back

  bool IsSprite2() const { return resource.type == kExportSprite2Type; }
};

ListFacts SurveyList(const ArtResource& resource, std::span<const std::uint8_t> bytes);

// No sheet holds more, and a list claiming more is not drawn at all: a
// hostile list can claim gigapixels in a few bytes.
inline constexpr std::int64_t kMaxExportPixels = std::int64_t{1} << 26;

// The quantisation of the coverage channel the build uses: 5 bits, so a
// stored value of 31 means fully covered and is never stored.
inline constexpr int kExportAlphaBits = 5;
inline constexpr int kExportFullAlpha = (1 << kExportAlphaBits) - 1;

}  // namespace pixmold
