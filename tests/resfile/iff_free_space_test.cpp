#include "resfile/iff_free_space.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "iff_test_util.h"
#include "resfile/iff_format.h"

namespace pixmold {
namespace {

constexpr std::int32_t kFreeSpaceHeader = kIFFBlockHeaderSize2;

struct FitCase {
  const char* what;
  std::vector<std::pair<std::int32_t, std::int32_t>> blocks;  // offset, size
  std::int32_t needed;
  std::optional<std::tuple<std::int32_t, std::int32_t, bool>> fit;  // offset, total, joins
};

IFFFreeSpace FreeSpaceOf(const std::vector<std::pair<std::int32_t, std::int32_t>>& blocks) {
  IFFFreeSpace space;
  space.Reset(std::numeric_limits<std::int32_t>::max());
  for (auto [offset, size] : blocks) space.Add(offset, size);
  return space;
}

class IFFFreeSpaceFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(IFFFreeSpaceFitTest, TakesTheSmallestSpaceThatHoldsTheBlock) {
  const FitCase& c = GetParam();
  const std::optional<IFFFreeSpace::Fit> fit = FreeSpaceOf(c.blocks).BestFit(c.needed, kFreeSpaceHeader);
  ASSERT_EQ(fit.has_value(), c.fit.has_value());
  if (fit) {
    EXPECT_EQ(std::tuple(fit->offset, fit->total, fit->joinsBlocks), *c.fit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IFFFreeSpaceFitTest,
    ::testing::Values(
        FitCase{"exact before larger", {{64, 5000}, {9000, 300}}, 300, std::tuple(9000, 300, false)},
        FitCase{"smallest that splits", {{64, 5000}, {9000, 700}, {12000, 2000}}, 400, std::tuple(9000, 700, false)},
        FitCase{"equal sizes take the lowest", {{9000, 500}, {64, 500}, {20000, 500}}, 300, std::tuple(64, 500, false)},
        // A rest smaller than a header cannot be a block of its own.
        FitCase{"rest too small for a header", {{64, 350}}, 300, std::nullopt},
        FitCase{"rest of exactly a header", {{64, 376}}, 300, std::tuple(64, 376, false)},
        FitCase{"neighbours joined", {{64, 200}, {264, 200}, {2000, 100}}, 400, std::tuple(64, 400, true)},
        FitCase{
            "only as many neighbours as it takes", {{64, 300}, {364, 300}, {664, 900}}, 600, std::tuple(64, 600, true)},
        FitCase{"apart is not joined", {{64, 200}, {265, 200}}, 400, std::nullopt},
        // A header a page boundary cuts never changes in place: the block
        // is only taken over by the free block before it.
        FitCase{"no start across a page boundary", {{4090, 900}}, 500, std::nullopt},
        FitCase{"taken over from before it", {{3990, 100}, {4090, 900}}, 1000, std::tuple(3990, 1000, true)},
        FitCase{"never larger than a block may be",
                {{64, kIFFMaxDataSize}, {64 + kIFFMaxDataSize, 1000}},
                kIFFMaxDataSize + 500,
                std::nullopt}),
    testing::CaseName<FitCase>);

TEST(IFFFreeSpace, TakenBlocksAndACutEndAreForgotten) {
  IFFFreeSpace space = FreeSpaceOf({{64, 300}, {1000, 300}, {1300, 500}});
  space.SetEnd(1800);
  EXPECT_EQ(space.FreeTail(), std::optional<std::int32_t>(1000)) << "the free blocks that end the file";
  space.Take(1000, 300);
  EXPECT_EQ(space.FreeTail(), std::optional<std::int32_t>(1300));
  space.SetEnd(1500);
  EXPECT_EQ(space.FreeTail(), std::nullopt) << "a block the new end cuts is gone";
  EXPECT_EQ(space.BestFit(300, kFreeSpaceHeader)->offset, 64);
  space.Add(1400, 500);
  EXPECT_FALSE(space.BestFit(500, kFreeSpaceHeader)) << "a block past the end is not free space";
  space.Forget();
  space.Add(64, 300);
  EXPECT_FALSE(space.Known());
  EXPECT_FALSE(space.BestFit(300, kFreeSpaceHeader)) << "nothing is known until a walk";
}

}  // namespace
}  // namespace pixmold
