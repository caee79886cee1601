// The SPR2 compressor: one rectangle of an 8-bit colour offscreen, with an
// optional depth offscreen and alpha offscreen of the same size, becomes one
// SPR2 frame, a 16-byte little-endian header followed by 16-bit tokens.
//
// A line is a kNL word holding the line's byte length, then clear counts and
// runs alternating; pixels after a line's last run are clear, so a line
// never ends in a clear token. Three or more consecutive empty lines fold
// into one kSL. The colour encoder clears the colour offscreen's top-left
// colour; the depth encoders clear every pixel of depth 255, which is why
// the depth is cleaned up before encoding (see sprite2_prepare.h).
//
// Counts and line lengths have 13 bits. A rectangle whose lines do not fit
// them is refused with a warning rather than stored wrongly.
//
// The stream is built in a buffer the compressor keeps between frames; only
// the finished frame is copied into a handle, or into plain bytes for a list
// builder that copies each frame into its list once (a frame handle's
// fills on the way in and out cost as much as the encoding's writes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/pixel_view.h"
#include "imaging/rect.h"
#include "imaging/sprite2_stream.h"
#include "resfile/handle_owner.h"

namespace pixmold {

class Sprite2Compressor {
 public:
  // Each returns a new handle holding the frame, or none when it cannot be
  // made. The frame's origin is the rectangle's offset from the reference
  // rectangle.
  OwnedHandle EncodeP(PixelView colour, const Rect& reference, const Rect& rect);
  OwnedHandle EncodeZP(PixelView colour, PixelView depth, const Rect& reference, const Rect& rect);
  OwnedHandle EncodeZPA(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference, const Rect& rect,
                        int alphaBits);
  // The same frames as bytes; empty when the frame cannot be made.
  StreamBytes EncodeZPBytes(PixelView colour, PixelView depth, const Rect& reference, const Rect& rect);
  StreamBytes EncodeZPABytes(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference,
                             const Rect& rect, int alphaBits);

 private:
  struct FrameHeader {
    std::uint32_t flags;
    std::uint8_t clearColour;
    const Rect& reference;
    const Rect& rect;
  };

  template <typename Line>
  void EncodeRows(const Rect& rect, Line& line);
  void PostProcess();
  // Refuses a stream whose counts overflowed, else post-processes it.
  bool Close();
  std::size_t FrameSize() const;
  void WriteFrame(std::span<std::uint8_t> frame, const FrameHeader& header) const;
  template <typename Out>
  Out Finish(const FrameHeader& header);
  template <typename Out>
  Out EncodeZPAs(PixelView colour, PixelView depth, const Rect& reference, const Rect& rect);
  template <typename Out>
  Out EncodeZPAAs(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference, const Rect& rect,
                  int alphaBits);

  Sprite2Stream fStream;
};

// The frame check run on every encoded frame: each kNL must be followed, at
// its stated length, by kNL, kSL or kEOS, and every run must end on an even
// offset. Reports each fault and returns whether the frame passed.
bool CheckSprite2Frame(std::span<const std::uint8_t> frame);

}  // namespace pixmold
