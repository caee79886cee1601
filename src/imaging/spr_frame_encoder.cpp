#include "imaging/spr_frame_encoder.h"

#include <algorithm>

#include "base/byte_cursor.h"
#include "base/xassert.h"

namespace pixmold {
namespace {

enum class Choice {
  kEnd,
  kEndLine,
  kClear,
  kClearLines,
  kShade1,
  kRepeatShade1,
  kShade2,
  kRepeatShade2,
  kPattern1,
  kPattern2,
  kPattern3,
  kRepeat,
  kDraw,
};

class FrameWriter {
 public:
  FrameWriter(PixelView image, const Rect& bounds, const SprSettings& settings, ColourSuppressor& suppressor,
              std::vector<std::uint8_t>& out)
      : fImage(image), fBounds(bounds), fSettings(settings), fSuppressor(suppressor), fOut(out) {}

  void Write();

 private:
  void BeginRow();
  std::uint8_t Mapped(int x) const { return fMapped[x - fBounds.left]; }
  int RunAt(int x);
  bool LineIsClear(int y);
  Choice Next();

  void ReserveLineHeader() {
    fLineBegin = fOut.size();
    fOut.push_back(0);
    fOut.push_back(0);
  }
  void Pad() {
    if (fOut.size() & 1) fOut.push_back(0);
  }
  void NextRow(int rows);
  void CheckHeaderAlignment() const;
  void EndLine();
  void ClearLines();
  void Clear();
  void Literal(std::uint8_t op, Choice choice, std::uint8_t low);
  void Repeat(std::uint8_t op, std::uint8_t value);
  void Pattern(std::uint8_t op, std::uint8_t feature);

  const PixelView fImage;
  const Rect fBounds;
  const SprSettings& fSettings;
  ColourSuppressor& fSuppressor;
  std::vector<std::uint8_t>& fOut;

  std::size_t fLineBegin = 0;
  int fColumn = 0;
  int fRowIndex = 0;
  std::uint8_t fFeatures = 0;
  const std::uint8_t* fRaw = nullptr;
  const std::uint8_t* fMapped = nullptr;
  std::vector<std::uint8_t> fMappedRow;
  int fRunStart = -1;
  int fRunEnd = -1;
};

void FrameWriter::BeginRow() {
  fRunStart = fRunEnd = -1;
  if (fRowIndex >= fBounds.bottom) return;
  fRaw = fImage.Row(fRowIndex);
  if (!fSuppressor.Active()) {
    fMapped = fRaw + fBounds.left;
    return;
  }
  fMappedRow.resize(static_cast<std::size_t>(fBounds.Width()));
  for (int x = fBounds.left; x < fBounds.right; ++x) fMappedRow[x - fBounds.left] = fSuppressor.Map(fRaw[x]);
  fMapped = fMappedRow.data();
}

// The run of equal suppressed colours from x; a column inside the last run
// measured shares its end.
int FrameWriter::RunAt(int x) {
  if (x >= fRunStart && x < fRunEnd) return fRunEnd - x;
  const std::uint8_t c = Mapped(x);
  int end = x + 1;
  while (end < fBounds.right && Mapped(end) == c) ++end;
  fRunStart = x;
  fRunEnd = end;
  return end - x;
}

// A line the clear-lines token may cover: it would start with a clear
// token whose run reaches the right edge.
bool FrameWriter::LineIsClear(int y) {
  const std::uint8_t* raw = fImage.Row(y);
  if (raw[fBounds.left] != fSettings.clearColour) return false;
  const std::uint8_t clear = fSuppressor.Map(fSettings.clearColour);
  for (int x = fBounds.left; x < fBounds.right; ++x) {
    if (fSuppressor.Map(raw[x]) != clear) return false;
  }
  return true;
}

Choice FrameWriter::Next() {
  if (fRowIndex >= fBounds.bottom) {
    if (fRowIndex > fBounds.bottom) {
      XASSERT_FAIL("state->ycount<=state->bounds.bottom",
                   "Somehow compressor state->read past bottom line of state->bounds");
    }
    return Choice::kEnd;
  }
  if (fColumn >= fBounds.right) return Choice::kEndLine;
  const std::uint8_t p = fRaw[fColumn];
  const bool repeats = fSettings.On(spr_flags::kRepeats);
  if (fSettings.On(spr_flags::kClearColour) && p == fSettings.clearColour) {
    if (fColumn + RunAt(fColumn) < fBounds.right) return Choice::kClear;
    return fColumn == fBounds.left ? Choice::kClearLines : Choice::kEndLine;
  }
  if (fSettings.On(spr_flags::kShading1) && p >= fSettings.shade1Low && p <= fSettings.shade1High) {
    return repeats && RunAt(fColumn) >= fSettings.repeatThreshold ? Choice::kRepeatShade1 : Choice::kShade1;
  }
  if (fSettings.On(spr_flags::kShading2) && p >= fSettings.shade2Low && p <= fSettings.shade2High) {
    return repeats && RunAt(fColumn) >= fSettings.repeatThreshold ? Choice::kRepeatShade2 : Choice::kShade2;
  }
  if (fSettings.On(spr_flags::kPatterns)) {
    if (p == fSettings.patternColours[2]) return Choice::kPattern3;
    if (p == fSettings.patternColours[1]) return Choice::kPattern2;
    if (p == fSettings.patternColours[0]) return Choice::kPattern1;
  }
  return repeats && RunAt(fColumn) >= fSettings.repeatThreshold ? Choice::kRepeat : Choice::kDraw;
}

void FrameWriter::NextRow(int rows) {
  ReserveLineHeader();
  fColumn = fBounds.left;
  fRowIndex += rows;
  BeginRow();
}

void FrameWriter::CheckHeaderAlignment() const {
  if (fOut.size() - fLineBegin != 2) {
    XASSERT_FAIL("(SInt32)state->write - (SInt32)state->lineBegin==2", "bad pointer alignment");
  }
}

void FrameWriter::EndLine() {
  const std::size_t length = fOut.size() - fLineBegin;
  if (length <= 255) {
    fOut[fLineBegin] = spr_op::kLine;
    fOut[fLineBegin + 1] = static_cast<std::uint8_t>(length);
  } else if (length + 4 <= 0xFFFF) {
    // The long header: a two-byte line header, an end token with count 255
    // that no frame otherwise contains, and the length high byte first.
    const std::size_t stored = length + 4;
    const std::uint8_t header[6] = {
        spr_op::kLine, 2, spr_op::kEnd, 255, static_cast<std::uint8_t>(stored >> 8), static_cast<std::uint8_t>(stored)};
    fOut.insert(fOut.begin() + static_cast<std::ptrdiff_t>(fLineBegin) + 2, 4, 0);
    std::copy(header, header + 6, fOut.begin() + static_cast<std::ptrdiff_t>(fLineBegin));
  } else {
    XASSERT_FAIL("false", "line longer than 64k");
  }
  NextRow(1);
}

void FrameWriter::ClearLines() {
  if (fColumn != fBounds.left) {
    XASSERT_FAIL("state->xcount==state->bounds.left", "shouldn't be here if counter is not at beginning of line");
  }
  CheckHeaderAlignment();
  int count = 0;
  while (fRowIndex + count < fBounds.bottom && count < kMaxRunCount && LineIsClear(fRowIndex + count)) ++count;
  if (count == 0) {
    XASSERT_FAIL("count", "no clear lines found");
    count = 1;  // the current line was chosen as clear; never stay on it
  }
  fOut[fLineBegin] = spr_op::kClearLines;
  fOut[fLineBegin + 1] = static_cast<std::uint8_t>(count);
  NextRow(count);
}

void FrameWriter::Clear() {
  const int n = std::min(RunAt(fColumn), kMaxRunCount);
  fOut.push_back(spr_op::kClear);
  fOut.push_back(static_cast<std::uint8_t>(n));
  fColumn += n;
}

// Draw and shading tokens: one byte per pixel for as long as the choice
// stays the same.
void FrameWriter::Literal(std::uint8_t op, Choice choice, std::uint8_t low) {
  const std::size_t at = fOut.size();
  fOut.push_back(op);
  fOut.push_back(0);
  int count = 0;
  do {
    fOut.push_back(choice == Choice::kDraw ? Mapped(fColumn) : static_cast<std::uint8_t>(fRaw[fColumn] - low));
    ++fColumn;
    ++count;
  } while (count < kMaxDrawCount && Next() == choice);
  fOut[at + 1] = static_cast<std::uint8_t>(count);
  Pad();
}

void FrameWriter::Repeat(std::uint8_t op, std::uint8_t value) {
  const int n = std::min(RunAt(fColumn), kMaxRunCount);
  fOut.insert(fOut.end(), {op, static_cast<std::uint8_t>(n), value, value});
  fColumn += n;
}

void FrameWriter::Pattern(std::uint8_t op, std::uint8_t feature) {
  const int n = std::min(RunAt(fColumn), kMaxRunCount);
  fOut.insert(fOut.end(), {op, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(fRowIndex - fBounds.top),
                           static_cast<std::uint8_t>(fColumn - fBounds.left)});
  fColumn += n;
  fFeatures |= feature | spr_feature::kAnyPattern;
}

void FrameWriter::Write() {
  fOut.assign(kSprFrameHeaderSize, 0);
  StoreU16(fOut, 4, static_cast<std::uint16_t>(fBounds.Height()), ByteOrder::kLittle);
  StoreU16(fOut, 6, static_cast<std::uint16_t>(fBounds.Width()), ByteOrder::kLittle);
  fRowIndex = fBounds.top;
  NextRow(0);
  for (;;) {
    const Choice choice = Next();
    switch (choice) {
      case Choice::kEnd:
        CheckHeaderAlignment();
        fOut[fLineBegin] = spr_op::kEnd;
        fOut[fLineBegin + 1] = 0;
        fOut[9] = fFeatures;
        return;
      case Choice::kEndLine: EndLine(); break;
      case Choice::kClearLines: ClearLines(); break;
      case Choice::kClear: Clear(); break;
      case Choice::kDraw: Literal(spr_op::kDraw, choice, 0); break;
      case Choice::kShade1:
        Literal(spr_op::kShade1, choice, fSettings.shade1Low);
        fFeatures |= spr_feature::kShading;
        break;
      case Choice::kShade2:
        Literal(spr_op::kShade2, choice, fSettings.shade2Low);
        fFeatures |= spr_feature::kShading;
        break;
      case Choice::kRepeat:
        Repeat(spr_op::kRepeat, Mapped(fColumn));
        fFeatures |= spr_feature::kRepeat;
        break;
      case Choice::kRepeatShade1:
        Repeat(spr_op::kRepeatShade1, static_cast<std::uint8_t>(fRaw[fColumn] - fSettings.shade1Low));
        fFeatures |= spr_feature::kShading;
        break;
      case Choice::kRepeatShade2:
        Repeat(spr_op::kRepeatShade2, static_cast<std::uint8_t>(fRaw[fColumn] - fSettings.shade2Low));
        fFeatures |= spr_feature::kShading;
        break;
      case Choice::kPattern1: Pattern(spr_op::kPattern1, spr_feature::kPattern1); break;
      case Choice::kPattern2: Pattern(spr_op::kPattern2, spr_feature::kPattern2); break;
      case Choice::kPattern3: Pattern(spr_op::kPattern3, spr_feature::kPattern3); break;
    }
  }
}

}  // namespace

void EncodeSprFrame(PixelView image, const Rect& bounds, const SprSettings& settings, ColourSuppressor& suppressor,
                    std::vector<std::uint8_t>& out) {
  FrameWriter(image, bounds, settings, suppressor, out).Write();
}

}  // namespace pixmold
