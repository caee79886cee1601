#include "imaging/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/spr_compressor.h"
#include "imaging/spr_settings.h"
#include "sprite_test_images.h"

namespace pixmold {
namespace {

// Bytes near the value scanned for are the ones a word-at-a-time compare
// gets wrong: one bit off, the top bit off, or a borrow away.
std::vector<std::uint8_t> ScanRow(std::mt19937& random, int length, std::uint8_t value) {
  const std::uint8_t near[] = {value,
                               value,
                               value,
                               static_cast<std::uint8_t>(value ^ 1),
                               static_cast<std::uint8_t>(value ^ 0x80),
                               static_cast<std::uint8_t>(value + 1)};
  std::vector<std::uint8_t> row(static_cast<std::size_t>(length));
  for (std::uint8_t& b : row) {
    const unsigned pick = random() % 8;
    b = pick < 6 ? near[pick] : static_cast<std::uint8_t>(random());
  }
  return row;
}

TEST(ByteScan, AgreesWithAWalkOnEveryStretchOfEveryRow) {
  std::mt19937 random(7);
  for (const std::uint8_t value : {0, 1, 0x7F, 0x80, 0xFE, 0xFF}) {
    for (int length = 0; length <= 35; ++length) {
      for (int trial = 0; trial < 6; ++trial) {
        const std::vector<std::uint8_t> row = ScanRow(random, length, value);
        const std::uint8_t* p = row.data();
        for (int from = 0; from <= length; ++from) {
          for (int to = from; to <= length; ++to) {
            int find = from, skip = from, last = to - 1;
            while (find < to && p[find] != value) ++find;
            while (skip < to && p[skip] == value) ++skip;
            while (last >= from && p[last] == value) --last;
            SCOPED_TRACE(::testing::Message()
                         << "value " << int{value} << " length " << length << " [" << from << ", " << to << ")");
            ASSERT_EQ(FindByte(p, from, to, value), find);
            ASSERT_EQ(SkipByte(p, from, to, value), skip);
            ASSERT_EQ(LastOtherByte(p, from, to, value), last);
          }
        }
      }
    }
  }
}

// Trimming one side at a time, a whole row or column at a time: what the
// row-by-row trimming must come to.
Rect TrimmedByColumns(const testing::TestImage& image, Rect r, int sides, bool emptyIfClear) {
  auto rowClear = [&](int y) {
    for (int x = r.left; x < r.right; ++x)
      if (image.Get(x, y) != 0) return false;
    return true;
  };
  auto columnClear = [&](int x) {
    for (int y = r.top; y < r.bottom; ++y)
      if (image.Get(x, y) != 0) return false;
    return true;
  };
  if (sides & spr_side::kTop)
    while (!r.IsEmpty() && rowClear(r.top)) ++r.top;
  if (sides & spr_side::kBottom)
    while (!r.IsEmpty() && rowClear(r.bottom - 1)) --r.bottom;
  if (sides & spr_side::kLeft)
    while (!r.IsEmpty() && columnClear(r.left)) ++r.left;
  if (sides & spr_side::kRight)
    while (!r.IsEmpty() && columnClear(r.right - 1)) --r.right;
  if (r.IsEmpty() && emptyIfClear) r = Rect{};
  return r;
}

TEST(ByteScan, TrimmingRowByRowComesToWhatColumnByColumnDoes) {
  std::mt19937 random(11);
  const Compressor compressor;  // clear colour 0
  for (int trial = 0; trial < 400; ++trial) {
    const int width = 1 + static_cast<int>(random() % 40), height = 1 + static_cast<int>(random() % 12);
    testing::TestImage image(width, height);
    const int drawn = static_cast<int>(random() % 4);
    for (int i = 0; i < drawn; ++i)
      image.Set(static_cast<int>(random() % width), static_cast<int>(random() % height),
                static_cast<std::uint8_t>(1 + random() % 255));
    const int left = static_cast<int>(random() % width), top = static_cast<int>(random() % height);
    const Rect in = Rect::Make(left, top, left + 1 + static_cast<int>(random() % (width - left)),
                               top + 1 + static_cast<int>(random() % (height - top)));
    for (int sides = 0; sides <= spr_side::kAll; ++sides) {
      for (const bool emptyIfClear : {false, true}) {
        Rect r[] = {in};
        compressor.TrimRects(image.View(), r, sides, emptyIfClear);
        ASSERT_EQ(r[0], TrimmedByColumns(image, in, sides, emptyIfClear))
            << "trial " << trial << " sides " << sides << " " << width << "x" << height;
      }
    }
  }
}

}  // namespace
}  // namespace pixmold
