#include "imaging/spr_decoder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(int height, int width, const Bytes& body, ByteOrder order = ByteOrder::kLittle) {
  const auto h = static_cast<std::uint16_t>(height), w = static_cast<std::uint16_t>(width);
  Bytes f = {0, 0, 0, 0, std::uint8_t(h), std::uint8_t(h >> 8), std::uint8_t(w), std::uint8_t(w >> 8), 0, 0x3F};
  if (order == ByteOrder::kBig) {
    std::swap(f[4], f[5]);
    std::swap(f[6], f[7]);
  }
  for (std::uint8_t b : body) f.push_back(b);
  return f;
}

// Every token: line 0 clear, repeat, draw, shade 1 draw, shade 2 repeat,
// shade 2 draw; line 1 clear; line 2 shade 1 repeat and the three patterns.
const Bytes kEveryToken = {4, 24, 1, 1, 2,  2,  9, 9, 3, 1,  4, 0, 7, 1,  3, 0, 8, 2,  1, 1, 13, 1, 2,
                           0, 9,  1, 4, 18, 14, 2, 0, 0, 10, 1, 2, 2, 11, 1, 2, 3, 12, 2, 2, 4,  5, 0};

TEST(SprDecoder, EveryTokenInBothByteOrders) {
  for (ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
    DecodedSprite out;
    SprFrameInfo info;
    const auto status = DecodeSprFrame(Frame(3, 8, kEveryToken, order), order, out, SprSettings{}, &info);
    ASSERT_TRUE(status.Ok()) << status.error << " at " << status.offset;
    EXPECT_EQ(info.features, 0x3F);
    // -1 for clear; the default shading lows are 2 and 7, the patterns 1, 2, 3.
    std::vector<int> pixels;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 8; ++x) pixels.push_back(out.Drawn(x, y) ? out.colour[out.Index(x, y)] : -1);
    EXPECT_EQ(pixels, (std::vector<int>{-1, 9, 9, 4, 5, 3, 3,  9, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                        7,  7, 1, 2, 3, 3, -1, -1}));
  }
  // A short empty line followed by the end token is not a long line header.
  DecodedSprite empty;
  EXPECT_TRUE(DecodeSprFrame(Frame(2, 0, {4, 2, 5, 0}), ByteOrder::kLittle, empty).Ok());
}

TEST(SprDecoder, RejectsMalformedFramesAndEveryTruncation) {
  const std::tuple<const char*, Bytes, const char*> cases[] = {
      {"empty", {}, "shorter than its 10-byte header"},
      {"header only", Frame(1, 1, {}), "without an end token"},
      {"negative width", Frame(1, 0xFFFF, {5, 0}), "negative"},
      {"too wide", Frame(1, 9000, {5, 0}), "wider than"},
      {"unknown line token", Frame(1, 1, {6, 0, 5, 0}), "where a line should start"},
      {"clear lines past the bottom", Frame(1, 1, {9, 2, 5, 0}), "past the bottom"},
      {"line below the bottom", Frame(1, 0, {4, 2, 4, 2, 5, 0}), "below the bottom"},
      {"line past the end", Frame(1, 1, {4, 40, 5, 0}), "past the end of the frame"},
      {"long header cut off", Frame(1, 1, {4, 2, 5, 255, 1}), "long line header cut off"},
      {"pixels cut off", Frame(1, 8, {4, 4, 3, 5, 5, 0}), "cut off by the end of their line"},
      {"pixels past the right edge", Frame(1, 1, {4, 6, 3, 2, 1, 1, 5, 0}), "right edge"},
      {"repeat past the right edge", Frame(1, 1, {4, 6, 2, 2, 1, 1, 5, 0}), "right edge"},
      {"repeat cut off", Frame(1, 4, {4, 4, 2, 2, 5, 0}), "cut off"},
      {"unknown token in a line", Frame(1, 1, {4, 4, 6, 1, 5, 0}), "unknown token inside a line"},
      {"odd line length", Frame(1, 1, {4, 5, 3, 1, 7, 5, 0}), "do not end where"},
      {"token cut by its line", Frame(1, 2, {4, 5, 1, 1, 0, 5, 0}), "cut off by the end of its line"},
  };
  DecodedSprite out;
  for (const auto& [name, frame, error] : cases) {
    const auto status = DecodeSprFrame(frame, ByteOrder::kLittle, out);
    EXPECT_NE(status.error.find(error), std::string::npos) << name << ": " << status.error;
  }
  const Bytes frame = Frame(3, 8, kEveryToken);
  for (std::size_t n = 0; n < frame.size(); ++n)
    EXPECT_FALSE(DecodeSprFrame(std::span(frame).first(n), ByteOrder::kLittle, out).Ok()) << n;
}

TEST(SprDecoder, ListsAndTheirByteOrder) {
  Bytes list = {0, 0, 0x01, 0xF7, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 16};
  for (std::uint8_t b : Frame(1, 1, {4, 6, 3, 1, 9, 0, 5, 0}, ByteOrder::kBig)) list.push_back(b);
  EXPECT_EQ(GuessSprListOrder(list), ByteOrder::kBig);
  SprListView view;
  ASSERT_TRUE(ParseSprList(list, ByteOrder::kBig, view).Ok());
  EXPECT_EQ(view.version, 503);
  EXPECT_EQ(view.paletteId, -1);
  EXPECT_EQ(view.frames.size(), 1u);
  // Read in the wrong order the same bytes do not parse.
  EXPECT_FALSE(ParseSprList(list, ByteOrder::kLittle, view).Ok());
  EXPECT_EQ(GuessSprListOrder(Bytes{0xF9, 0x01, 0, 0}), ByteOrder::kLittle);
  EXPECT_EQ(GuessSprListOrder(Bytes{1, 2, 3, 4}), std::nullopt);
  EXPECT_EQ(GuessSprListOrder(Bytes{0xF6, 0x01}), std::nullopt);
  EXPECT_FALSE(ParseSprList(std::span(list).first(11), ByteOrder::kBig, view).Ok());
  const std::tuple<std::size_t, std::uint8_t, const char*> bad[] = {{7, 9, "offset table longer"},
                                                                    {4, 0x80, "count out of range"},
                                                                    {15, 15, "outside the list"},
                                                                    {14, 1, "outside the list"}};
  for (const auto& [at, value, error] : bad) {
    Bytes broken = list;
    broken[at] = value;
    const auto status = ParseSprList(broken, ByteOrder::kBig, view);
    EXPECT_NE(status.error.find(error), std::string::npos) << at << ": " << status.error;
  }
}

}  // namespace
}  // namespace pixmold
