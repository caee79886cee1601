#include "imaging/sprite2_compressor.h"

#include <algorithm>
#include <concepts>
#include <cstring>

#include "base/byte_cursor.h"
#include "base/report.h"
#include "base/xassert.h"
#include "imaging/byte_scan.h"
#include "imaging/sprite2_tokens.h"

namespace pixmold {
namespace {

// What a pixel contributes to its line: nothing, or a pixel of one of the
// two run kinds (the alpha encoder uses both; the others only the first).
enum PixelClass : std::uint8_t { kClearPixel, kRunA, kRunB };

Rect Bounds(const PixelView& view) { return Rect::Make(0, 0, view.width, view.height); }

// The part of the rectangle that every given view covers; reports a
// rectangle reaching outside, which the callers check beforehand.
Rect ClipToViews(const Rect& rect, std::initializer_list<const PixelView*> views) {
  if (rect.IsEmpty()) return Rect{};
  Rect clipped = rect;
  for (const PixelView* view : views) IntersectRect(clipped, Bounds(*view), clipped);
  XASSERT(clipped == rect, "sprite rectangle reaches outside its offscreen");
  return clipped;
}

void CheckDepthSize(const PixelView& colour, const PixelView& depth) {
  if (!colour.SameSize(depth)) XASSERT_FAIL("w_ == 0 && h_ == 0", "pixel and z-buffers are different dimensions!");
}

std::uint8_t TopLeft(const PixelView& view) { return view.IsEmpty() ? 0 : view.At(0, 0); }

struct ColourLine {
  const PixelView& colour;
  std::uint8_t clear;
  const std::uint8_t* row = nullptr;

  void Begin(int y) { row = colour.Row(y); }
  PixelClass Class(int x) const { return row[x] == clear ? kClearPixel : kRunA; }
  int RunEnd(int from, int to, PixelClass c) const {
    return c == kClearPixel ? SkipByte(row, from, to, clear) : FindByte(row, from, to, clear);
  }
  std::uint16_t Code(PixelClass) const { return sprite2::kRunP; }
  void Emit(Sprite2Stream& s, PixelClass, int x, int n) const { s.PushPixels(row + x, n); }
  void Ahead(int y, int left, int right) const { PrefetchRow(colour.Row(y), left, right); }
};

struct DepthLine {
  const PixelView& colour;
  const PixelView& depth;
  const std::uint8_t* colourRow = nullptr;
  const std::uint8_t* depthRow = nullptr;

  void Begin(int y) {
    colourRow = colour.Row(y);
    depthRow = depth.Row(y);
  }
  PixelClass Class(int x) const { return depthRow[x] < 255 ? kRunA : kClearPixel; }
  int RunEnd(int from, int to, PixelClass c) const {
    return c == kClearPixel ? SkipByte(depthRow, from, to, 255) : FindByte(depthRow, from, to, 255);
  }
  std::uint16_t Code(PixelClass) const { return sprite2::kRunZP; }
  void Emit(Sprite2Stream& s, PixelClass, int x, int n) const { s.PushPairs(depthRow + x, colourRow + x, n); }
  void Ahead(int y, int left, int right) const {
    PrefetchRow(colour.Row(y), left, right);
    PrefetchRow(depth.Row(y), left, right);
  }
};

struct AlphaLine {
  const PixelView& colour;
  const PixelView& depth;
  const PixelView& alpha;
  int shift;
  int full;  // the quantised alpha of a wholly opaque pixel
  const std::uint8_t* colourRow = nullptr;
  const std::uint8_t* depthRow = nullptr;
  const std::uint8_t* alphaRow = nullptr;

  void Begin(int y) {
    colourRow = colour.Row(y);
    depthRow = depth.Row(y);
    alphaRow = alpha.Row(y);
  }
  PixelClass Class(int x) const {
    if (depthRow[x] == 255) return kClearPixel;
    const int aPx = alphaRow[x] >> shift;
    XASSERT(aPx != 0, "should have filtered out invisible pixels!");
    return aPx == full ? kRunA : kRunB;
  }
  std::uint16_t Code(PixelClass c) const { return c == kRunA ? sprite2::kRunZP : sprite2::kRunZPA; }
  void Ahead(int y, int left, int right) const {
    PrefetchRow(colour.Row(y), left, right);
    PrefetchRow(depth.Row(y), left, right);
    PrefetchRow(alpha.Row(y), left, right);
  }
  void Emit(Sprite2Stream& s, PixelClass c, int x, int n) const {
    if (c == kRunA) {
      s.PushPairs(depthRow + x, colourRow + x, n);
    } else {
      s.PushTriples(depthRow + x, colourRow + x, alphaRow + x, shift, n);
    }
  }
};

// Lines whose classes can be told apart from one plane find their run ends
// many pixels at a time; the alpha line needs both planes and checks each
// pixel it classes, so it walks a pixel at a time.
template <typename Line>
concept ScansRuns = requires(const Line& line, PixelClass c) {
  { line.RunEnd(0, 0, c) } -> std::same_as<int>;
};

int AlphaShift(int alphaBits) {
  if (!(alphaBits <= 8 && alphaBits > 3)) {
    XASSERT_FAIL("alpha_bits <= 8 && alpha_bits > 3", "odd-looking alpha_bits parameters...");
  }
  return 8 - std::clamp(alphaBits, 0, 8);
}

}  // namespace

// Each line is cut into stretches of one pixel class; a clear stretch at the
// start of a line is written only when a run follows it, and a clear token
// left open at the end of a line is taken back.
template <typename Line>
void Sprite2Compressor::EncodeRows(const Rect& rect, Line& line) {
  enum class State { kLineStart, kLeadingClear, kRun, kClearRun };
  Sprite2Stream& s = fStream;
  std::ptrdiff_t lastNewLine = -1;
  for (int y = rect.top; y < rect.bottom; ++y) {
    const std::ptrdiff_t newLine = s.PushToken(sprite2::kNL, 0);
    if (lastNewLine != -1) {
      XASSERT(((newLine - lastNewLine) & 1) == 0, "parity error");
      s.SetData(lastNewLine, static_cast<int>(newLine - lastNewLine));
    }
    lastNewLine = newLine;
    if constexpr (requires { line.Ahead(y, rect.left, rect.right); }) {
      if (y + kRowsAhead < rect.bottom) line.Ahead(y + kRowsAhead, rect.left, rect.right);
    }
    line.Begin(y);
    State state = State::kLineStart;
    int leading = 0;
    PixelClass next = rect.left < rect.right ? line.Class(rect.left) : kClearPixel;
    for (int x = rect.left; x < rect.right;) {
      const PixelClass c = next;
      int end = x + 1;
      if constexpr (ScansRuns<Line>) {
        end = line.RunEnd(end, rect.right, c);
        if (end < rect.right) next = line.Class(end);
      } else {
        while (end < rect.right && (next = line.Class(end)) == c) ++end;
      }
      const int n = end - x;
      if (c == kClearPixel) {
        if (state == State::kLineStart) {
          leading = n;
          state = State::kLeadingClear;
        } else {
          s.PushToken(sprite2::kClear, n);
          state = State::kClearRun;
        }
      } else {
        if (state == State::kLeadingClear) s.PushToken(sprite2::kClear, leading);
        s.PushToken(line.Code(c), n);
        line.Emit(s, c, x, n);
        state = State::kRun;
      }
      x = end;
    }
    if (state == State::kClearRun) s.RemoveLastToken();
  }
  const std::ptrdiff_t end = s.PushToken(sprite2::kEOS, 0);
  if (lastNewLine != -1) s.SetData(lastNewLine, static_cast<int>(end - lastNewLine));
}

// Folds runs of three or more empty lines into kSL tokens and drops a kSL
// that ends the frame. Works in place: removing words never changes the
// distance stored in a kNL, because a kNL always points at the first word of
// what follows it, and that word stays (as the kSL).
void Sprite2Compressor::PostProcess() {
  StreamBytes& b = fStream.Buffer();
  const std::size_t size = b.size();
  auto word = [&](std::size_t i) { return LoadU16(b, i, ByteOrder::kLittle); };
  auto put = [&](std::size_t i, std::uint16_t w) { StoreU16(b, i, w, ByteOrder::kLittle); };
  const std::uint16_t emptyLine = sprite2::kNL | 2;

  std::size_t read = 0;
  std::size_t write = 0;
  std::ptrdiff_t previousLineToken = -1;  // the line-level token before the current one
  bool sawEnd = false;
  while (read + 2 <= size) {
    const std::uint16_t w = word(read);
    const std::uint16_t code = w & sprite2::kCodeMask;
    if (w == emptyLine) {
      std::size_t group = 1;
      while (read + 2 * (group + 1) <= size && word(read + 2 * group) == emptyLine) ++group;
      while (group > 0) {
        const std::size_t take = std::min<std::size_t>(group, sprite2::kMaxData);
        if (take >= 3) {
          put(write, static_cast<std::uint16_t>(sprite2::kSL | take));
          previousLineToken = static_cast<std::ptrdiff_t>(write);
          write += 2;
        } else {
          for (std::size_t k = 0; k < take; ++k, write += 2) {
            put(write, emptyLine);
            previousLineToken = static_cast<std::ptrdiff_t>(write);
          }
        }
        read += 2 * take;
        group -= take;
      }
      continue;
    }
    if (code == sprite2::kNL) {
      const std::size_t data = w & sprite2::kDataMask;
      XASSERT((data & 1) == 0, "parity error");
      if (data < 2 || read + data > size) {
        XASSERT_FAIL("token == kSL || token == kEOS", "bad token skip logic");
        return;
      }
      // Until the first fold nothing has moved, and most frames never fold.
      if (write != read) std::memmove(b.data() + write, b.data() + read, data);
      previousLineToken = static_cast<std::ptrdiff_t>(write);
      read += data;
      write += data;
      continue;
    }
    if (code != sprite2::kSL && code != sprite2::kEOS)
      XASSERT_FAIL("token == kSL || token == kEOS", "bad token skip logic");
    put(write, w);
    if (code == sprite2::kEOS) {
      write += 2;
      sawEnd = true;
      break;
    }
    previousLineToken = static_cast<std::ptrdiff_t>(write);
    write += 2;
    read += 2;
  }
  b.resize(write);
  if (!sawEnd || fStream.GetToken(static_cast<std::ptrdiff_t>(b.size()) - 2) != sprite2::kEOS) {
    XASSERT_FAIL("stream.GetToken( stream.size()-2 ) == kEOS", "last token not kEOS?");
  }
  // The word before kEOS may be pixel data, so the token before it is the
  // line-level token found by the walk above.
  if (b.size() >= 6 && previousLineToken >= 0 &&
      (word(static_cast<std::size_t>(previousLineToken)) & sprite2::kCodeMask) == sprite2::kSL) {
    Warning("Was not expecting a skip line before end-of-sprite...please contact Tamm");
    const std::size_t at = static_cast<std::size_t>(previousLineToken);
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at) + 2);
  }
}

bool Sprite2Compressor::Close() {
  if (fStream.Overflowed()) {
    Warning("sprite too wide: a count or line length does not fit an SPR2 token, frame not encoded");
    return false;
  }
  PostProcess();
  return true;
}

void Sprite2Compressor::WriteFrame(std::span<std::uint8_t> frame, const FrameHeader& header) const {
  const std::span<const std::uint8_t> stream = fStream.Bytes();
  const Rect& rect = header.rect;
  const bool empty = rect.IsEmpty();
  StoreU16(frame, 0, static_cast<std::uint16_t>(empty ? 0 : rect.Width()), ByteOrder::kLittle);
  StoreU16(frame, 2, static_cast<std::uint16_t>(empty ? 0 : rect.Height()), ByteOrder::kLittle);
  StoreU32(frame, 4, header.flags, ByteOrder::kLittle);
  StoreU16(frame, 8, 0, ByteOrder::kLittle);  // the palette id travels in the list header
  StoreU16(frame, 10, header.clearColour, ByteOrder::kLittle);
  StoreU16(frame, 12, static_cast<std::uint16_t>(empty ? 0 : rect.top - header.reference.top), ByteOrder::kLittle);
  StoreU16(frame, 14, static_cast<std::uint16_t>(empty ? 0 : rect.left - header.reference.left), ByteOrder::kLittle);
  std::copy(stream.begin(), stream.end(), frame.begin() + sprite2::kFrameHeaderSize);
  const bool ok = CheckSprite2Frame(frame);
  XASSERT(ok, "Sprite sanity check failed!");
}

std::size_t Sprite2Compressor::FrameSize() const { return sprite2::kFrameHeaderSize + fStream.size(); }

template <>
OwnedHandle Sprite2Compressor::Finish<OwnedHandle>(const FrameHeader& header) {
  if (!Close()) return {};
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(FrameSize()));
  if (!handle) {
    XASSERT_FAIL("frame", "could not allocate memory!");
    return {};
  }
  HandleLock lock(handle.Get());
  WriteFrame(lock.Bytes(), header);
  lock.Unlock();
  return handle;
}

template <>
StreamBytes Sprite2Compressor::Finish<StreamBytes>(const FrameHeader& header) {
  if (!Close()) return {};
  StreamBytes frame;
  frame.resize(FrameSize());
  WriteFrame(frame, header);
  return frame;
}

template <typename Out>
Out Sprite2Compressor::EncodeZPAs(PixelView colour, PixelView depth, const Rect& reference, const Rect& rect) {
  fStream.Clear();
  CheckDepthSize(colour, depth);
  const Rect r = ClipToViews(rect, {&colour, &depth});
  DepthLine line{colour, depth};
  EncodeRows(r, line);
  return Finish<Out>({sprite2::kColorData | sprite2::kZData, TopLeft(colour), reference, r});
}

template <typename Out>
Out Sprite2Compressor::EncodeZPAAs(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference,
                                   const Rect& rect, int alphaBits) {
  fStream.Clear();
  const int shift = AlphaShift(alphaBits);
  CheckDepthSize(colour, depth);
  if (!alpha.SameSize(colour))
    XASSERT_FAIL("w_ == width && h_ == height", "alpha offscreen different size than z & pixels");
  const Rect r = ClipToViews(rect, {&colour, &depth, &alpha});
  AlphaLine line{colour, depth, alpha, shift, (255 - TopLeft(alpha)) >> shift};
  EncodeRows(r, line);
  return Finish<Out>({sprite2::kColorData | sprite2::kZData | sprite2::kAlphaData, TopLeft(colour), reference, r});
}

OwnedHandle Sprite2Compressor::EncodeP(PixelView colour, const Rect& reference, const Rect& rect) {
  fStream.Clear();
  const Rect r = ClipToViews(rect, {&colour});
  ColourLine line{colour, TopLeft(colour)};
  EncodeRows(r, line);
  return Finish<OwnedHandle>({sprite2::kColorData, line.clear, reference, r});
}

OwnedHandle Sprite2Compressor::EncodeZP(PixelView colour, PixelView depth, const Rect& reference, const Rect& rect) {
  return EncodeZPAs<OwnedHandle>(colour, depth, reference, rect);
}

OwnedHandle Sprite2Compressor::EncodeZPA(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference,
                                         const Rect& rect, int alphaBits) {
  return EncodeZPAAs<OwnedHandle>(colour, depth, alpha, reference, rect, alphaBits);
}

StreamBytes Sprite2Compressor::EncodeZPBytes(PixelView colour, PixelView depth, const Rect& reference,
                                             const Rect& rect) {
  return EncodeZPAs<StreamBytes>(colour, depth, reference, rect);
}

StreamBytes Sprite2Compressor::EncodeZPABytes(PixelView colour, PixelView depth, PixelView alpha, const Rect& reference,
                                              const Rect& rect, int alphaBits) {
  return EncodeZPAAs<StreamBytes>(colour, depth, alpha, reference, rect, alphaBits);
}

bool CheckSprite2Frame(std::span<const std::uint8_t> frame) {
  Sprite2TokenReader reader(frame);
  Sprite2Token token;
  bool ok = true;
  while (reader.Next(token)) {
    if (token.code == sprite2::kEOS) return ok;
    if (token.code == sprite2::kNL) {
      std::uint16_t next = 0;
      int data = 0;
      const bool linked = reader.Peek(token.position + static_cast<std::size_t>(token.data), next, data) &&
                          (next == sprite2::kNL || next == sprite2::kSL || next == sprite2::kEOS);
      XASSERT(linked, "bad kNL data");
      ok = ok && linked;
    } else if (!token.pixels.empty()) {
      if (token.end & 1) XASSERT_FAIL("(int(streamPtr) & 1) == 0", "parity error");
    }
  }
  return false;
}

}  // namespace pixmold
