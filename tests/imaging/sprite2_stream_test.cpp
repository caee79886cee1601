#include "imaging/sprite2_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/sprite2_debug.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const Sprite2Stream& s) { return Bytes(s.Bytes().begin(), s.Bytes().end()); }

TEST(Sprite2Stream, TokensPadToEvenOffsetsWithB0) {
  Sprite2Stream s;
  EXPECT_EQ(s.PushToken(sprite2::kRunP, 1), 0);
  s.PushPixel(7);
  EXPECT_EQ(s.PushToken(sprite2::kRunZP, 2), 4);  // one pad byte first
  s.PushPair(1, 2);
  s.PushPair(3, 4);
  EXPECT_EQ(s.PushToken(sprite2::kRunZPA, 1), 10);
  s.PushTriple(5, 6, 7);
  EXPECT_EQ(s.PushToken(sprite2::kEOS, 0), 16);
  EXPECT_EQ(Of(s), (Bytes{0x01, 0xC0, 7, 0xB0, 0x02, 0x20, 1, 2, 3, 4, 0x01, 0x40, 5, 6, 7, 0xB0, 0x00, 0xA0}));
  EXPECT_EQ(s.LastToken(), 16);
}

TEST(Sprite2Stream, CodeAndDataHalvesChangeSeparately) {
  Sprite2Stream s;
  const auto at = s.PushToken(sprite2::kNL, 0);
  s.SetData(at, 0x1234 & sprite2::kDataMask);
  EXPECT_EQ(s.GetToken(at), sprite2::kNL);
  EXPECT_EQ(s.GetData(at), 0x1234 & sprite2::kDataMask);
  s.SetToken(at, sprite2::kSL);
  EXPECT_EQ(s.GetToken(at), sprite2::kSL);
  EXPECT_EQ(s.GetData(at), 0x1234 & sprite2::kDataMask);
  EXPECT_FALSE(s.Overflowed());
  s.SetData(at, sprite2::kMaxData + 1);
  EXPECT_TRUE(s.Overflowed());
  EXPECT_EQ(s.GetToken(at), sprite2::kSL);  // an oversized count never spills into the code
  s.Clear();
  EXPECT_FALSE(s.Overflowed());
  EXPECT_EQ(s.size(), 0u);
}

TEST(Sprite2Stream, RemoveLastTokenTakesBackOnlyAFinalToken) {
  Sprite2Stream s;
  s.PushToken(sprite2::kRunP, 1);
  s.PushPixel(9);
  s.PushToken(sprite2::kClear, 0);
  s.RemoveLastToken();
  EXPECT_EQ(Of(s), (Bytes{0x01, 0xC0, 9, 0xB0}));  // the pad stays with the run
}

TEST(Sprite2Stream, AssertionTexts) {
  testing::AssertCapture asserts;
  Sprite2Stream s;
  s.LastToken();
  EXPECT_TRUE(asserts.Saw("(mLastToken != -1) bad token!"));
  s.PushToken(sprite2::kRunP, 1);
  s.PushPixel(1);
  s.PushPair(2, 3);
  EXPECT_TRUE(asserts.Saw("(( size() & 1 ) == 0) Pushing pair to uneven address"));
  const struct {
    void (*call)(Sprite2Stream&);
    const char* message;
  } odd[] = {
      {[](Sprite2Stream& t) { t.GetToken(1); }, "((i & 1) == 0) Getting token from uneven address"},
      {[](Sprite2Stream& t) { t.GetData(1); }, "((i & 1) == 0) Getting data from uneven address"},
      {[](Sprite2Stream& t) { t.SetToken(1, sprite2::kNL); }, "((i & 1) == 0) Setting token from uneven address"},
      {[](Sprite2Stream& t) { t.SetData(1, 0); }, "((i & 1) == 0) Setting data from uneven address"},
  };
  for (const auto& o : odd) {
    asserts.Clear();
    o.call(s);
    EXPECT_TRUE(asserts.Saw(o.message)) << o.message;
  }
  asserts.Clear();
  Sprite2Stream t;
  t.PushToken(sprite2::kRunP, 1);
  t.PushPixel(1);
  t.RemoveLastToken();
  EXPECT_TRUE(asserts.Saw("(end() - (begin() + mLastToken) == 2) uh oh"));
}

TEST(Sprite2Debug, DebugDecodeWritesItsFileInTheCurrentDirectory) {
  testing::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const Bytes frame = {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x06, 0x00, 0x01, 0xC0, 4, 0xB0, 0x00, 0xA0};
  const bool written = DebugDecode(frame);
  std::filesystem::current_path(previous);
  ASSERT_TRUE(written);
  std::ifstream in(dir.File("debugdecode.txt"));
  std::stringstream text;
  text << in.rdbuf();
  std::ostringstream expected;
  DebugDecodeSprite2(frame, expected);
  EXPECT_EQ(text.str(), expected.str());
  EXPECT_NE(text.str().find("[kRunP{1}(4)] [kEOS]\n\n"), std::string::npos);
}

}  // namespace
}  // namespace pixmold
