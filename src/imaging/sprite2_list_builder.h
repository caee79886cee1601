// Gathers SPR2 frames into one list: a little-endian header (version 1000,
// frame count, palette id), one 32-bit offset per frame from the start of
// the list, then the frames. The count is known up front, so the offset
// table is made at its full size and each frame goes at the end.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "resfile/handle_owner.h"
#include "resfile/res_types.h"

namespace pixmold {

class Sprite2ListBuilder {
 public:
  // The header and offset table need memory: check Ok().
  Sprite2ListBuilder(int frameCount, ResID paletteId);

  bool Ok() const { return static_cast<bool>(fList); }
  // Copies the frame to the end of the list as frame `index`; the caller
  // keeps the frame. The copy's own palette id becomes the list's, whatever
  // the encoder left there, so a frame read on its own knows its colours and
  // every pass stores the same bytes for it. 0, or the memory error that
  // left the list as it was.
  int Append(int index, MHandle frame);
  int Append(int index, std::span<const std::uint8_t> frame);
  // Makes room for frames of frameBytes in all at once, so appending them
  // copies each frame once rather than the list so far with every one.
  // 0, or the memory error (not reported) that left the list as it was.
  int Reserve(std::uint32_t frameBytes);
  OwnedHandle Finish();

  // The bytes before the frames of a list of frames of these sizes (each
  // even): header and offset table, as appending them would make them.
  static std::vector<std::uint8_t> Head(std::span<const std::uint32_t> frameSizes, ResID paletteId);
  // Writes the list's palette id into a frame, as Append does to its copy.
  static void StampPaletteId(std::span<std::uint8_t> frame, ResID paletteId);

 private:
  OwnedHandle fList;
  std::uint32_t fEnd;  // where the next frame goes; the handle may be longer
  int fFrameCount;
  ResID fPaletteId;
};

}  // namespace pixmold
