// What the survey reads off a stored list before any sheet is laid out:
// whether each frame is drawn to its edges (the build trims a cell to what
// is drawn, so only then does a frame come back at its own bounds), and
// what in it no sheet carries: pixels without depth or at depth 255,
// coverage of nothing or of everything, frames that differ in channels or
// clear colour.
#include "builder/export/list_survey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/image_bytes.h"

namespace pixmold {
namespace {

using testing::Bytes;
using testing::Put;

constexpr std::uint16_t kRunZP = 0x2000;
constexpr std::uint16_t kRunZPA = 0x4000;
constexpr std::uint16_t kRunP = 0xC000;
constexpr std::uint16_t kClear = 0x6000;

// One line of an SPR2 frame: optional clear pixels, then a run of `count`
// pixels, each byte given by pixel(i, k) for its k-th byte.
struct Line {
  int clear = 0;
  int count = 0;
  std::uint16_t code = kRunZP;
};

Bytes Frame(int width, const std::vector<Line>& lines, std::uint32_t flags = 3, std::uint8_t clearColour = 0,
            std::uint8_t depth = 40, std::uint8_t alpha = 9) {
  Bytes frame;
  Put(frame, {{std::uint32_t(width), 2}, {lines.size(), 2}, {flags, 4}, {0, 2}, {clearColour, 2}, {1, 2}, {2, 2}});
  for (const Line& line : lines) {
    const int perPixel = line.code == kRunP ? 1 : line.code == kRunZP ? 2 : 3;
    const int bytes = line.count * perPixel;
    Bytes body;
    if (line.clear > 0) Put(body, {{std::uint32_t(kClear | line.clear), 2}});
    if (line.count > 0) {
      Put(body, {{std::uint32_t(line.code | line.count), 2}});
      for (int i = 0; i < line.count; ++i) {
        if (perPixel >= 2) body.push_back(depth);
        body.push_back(static_cast<std::uint8_t>(30 + i));
        if (perPixel == 3) body.push_back(alpha);
      }
      if (bytes % 2 != 0) body.push_back(0xB0);
    }
    Put(frame, {{2 + body.size(), 2}});
    testing::Append(frame, body);
  }
  Put(frame, {{0xA000, 2}});
  return frame;
}

ListFacts Survey(const std::vector<Bytes>& frames) {
  const Bytes list = testing::Sprite2List(frames, 7);
  return SurveyList({MakeResType("SPR2"), 100, "list"}, list);
}

std::string Losses(const ListFacts& facts) {
  std::string text = facts.unreadable;
  for (const std::string& loss : facts.losses) text += (text.empty() ? "" : "; ") + loss;
  return text;
}

TEST(ListSurvey, TellsWhichEdgesAFrameIsDrawnTo) {
  struct Case {
    const char* what;
    std::vector<Line> lines;
    bool top, bottom, left, right;
  };
  const Case cases[] = {
      {"drawn to every edge", {{0, 4}, {2, 2}, {0, 1}}, true, true, true, true},
      {"a clear first row", {{4, 0}, {0, 4}}, false, true, true, true},
      {"a clear last row", {{0, 4}, {4, 0}}, true, false, true, true},
      {"a clear first column", {{1, 3}, {1, 3}}, true, true, false, true},
      {"a clear last column", {{0, 3}, {0, 3}}, true, true, true, false},
  };
  for (const Case& c : cases) {
    const ListFacts facts = Survey({Frame(4, c.lines)});
    ASSERT_EQ(Losses(facts), "") << c.what;
    ASSERT_EQ(facts.frames.size(), 1u);
    const FrameFacts& f = facts.frames[0];
    EXPECT_EQ(std::vector<bool>({f.drawnTop, f.drawnBottom, f.drawnLeft, f.drawnRight}),
              std::vector<bool>({c.top, c.bottom, c.left, c.right}))
        << c.what;
    EXPECT_EQ(std::make_pair(f.originX, f.originY), std::make_pair(2, 1)) << c.what;
  }
}

TEST(ListSurvey, NamesWhatNoSheetCarries) {
  struct Case {
    const char* what;
    std::vector<Bytes> frames;
    const char* loss;  // empty: the list carries over
  };
  const Case cases[] = {
      {"depth and colour", {Frame(2, {{0, 2}})}, ""},
      {"coverage below full", {Frame(2, {{0, 2, kRunZPA}}, 7)}, ""},
      {"pixels without depth", {Frame(2, {{0, 2, kRunP}}, 1)}, "channel flags 1, not 3 or 7"},
      {"a colour-only run", {Frame(2, {{0, 2, kRunP}})}, "pixels drawn without depth"},
      {"depth 255", {Frame(2, {{0, 2}}, 3, 0, 255)}, "pixels drawn at depth 255"},
      {"no coverage", {Frame(2, {{0, 2, kRunZPA}}, 7, 0, 40, 0)}, "coverage values a 5-bit alpha image"},
      {"full coverage", {Frame(2, {{0, 2, kRunZPA}}, 7, 0, 40, 31)}, "coverage values a 5-bit alpha image"},
      {"coverage without its channel", {Frame(2, {{0, 2, kRunZPA}})}, "coverage in frames without a coverage"},
      {"channels that differ", {Frame(2, {{0, 2}}, 7), Frame(2, {{0, 2}})}, "frames with and without a coverage"},
      {"clear colours that differ", {Frame(2, {{0, 2}}), Frame(2, {{0, 2}}, 3, 9)}, "different clear colours"},
  };
  for (const Case& c : cases) {
    const std::string losses = Losses(Survey(c.frames));
    if (*c.loss == '\0') {
      EXPECT_EQ(losses, "") << c.what;
    } else {
      EXPECT_NE(losses.find(c.loss), std::string::npos) << c.what << ": " << losses;
    }
  }
}

TEST(ListSurvey, RefusesAListThatClaimsMorePixelsThanASheet) {
  Bytes huge;
  Put(huge, {{4000, 2}, {4000, 2}, {3, 4}, {0, 2}, {0, 2}, {0, 2}, {0, 2}, {0x8000 | 4000, 2}, {0xA000, 2}});
  const ListFacts facts = Survey({huge, huge, huge, huge, huge});
  EXPECT_EQ(facts.unreadable, "its frames hold more pixels than a sheet");
  EXPECT_TRUE(facts.frames.empty());
}

}  // namespace
}  // namespace pixmold
