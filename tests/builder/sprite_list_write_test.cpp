#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builder/compress_sprite.h"
#include "imaging/offscreen.h"
#include "markup_fixture.h"
#include "resfile/iff_res_file2.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ReadSprite;

// A container that counts the sprite lists added to it.
class ListAddCounter final : public IFFResFile2 {
 public:
  ResErr AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                            bool native) override {
    listsAdded += type == kSpr2Type;
    return IFFResFile2::AddVariantResource(h, type, id, name, variant, native);
  }
  int listsAdded = 0;
};

// A list the object file already holds byte for byte is never put together
// or added again: the file only compares the frames with its own. Any
// change, in one row's colours or in the list's name, adds it.
TEST(SpriteListWrite, AListTheFileHoldsAlreadyIsNotAddedAgain) {
  testing::TempDir dir;
  const std::string path = dir.File("object.iff");
  ASSERT_EQ(IFFResFile2().CreateFile(path), res_error::kNone);
  constexpr int kSide = 1024;
  std::vector<std::uint8_t> colour(kSide * kSide);
  std::vector<std::uint8_t> depth(kSide * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const bool empty = (x % 128) < 20 || (y * 7 + x) % 11 == 0;
      depth[static_cast<std::size_t>(y * kSide + x)] = empty ? 255 : static_cast<std::uint8_t>((x * 3 + y) & 0x7F);
      colour[static_cast<std::size_t>(y * kSide + x)] = static_cast<std::uint8_t>(x * y + 1);
    }
  }
  testing::CapturedReport report;
  auto write = [&](const char* name) {
    Offscreen colourScreen;
    Offscreen depthScreen;
    EXPECT_TRUE(colourScreen.Adopt(colour, kSide, kSide, kSide));
    EXPECT_TRUE(depthScreen.Adopt(depth, kSide, kSide, kSide));
    auto spec = ReadSprite(std::string("<sprite id=300 name=\"") + name + "\" tgafile=a.tga>");
    SpriteListWrite list = CompressSprite(colourScreen, depthScreen, *spec, 2);
    ListAddCounter file;
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    list.WriteTo(file);
    EXPECT_EQ(file.CloseFile(), res_error::kNone);
    return file.listsAdded;
  };
  EXPECT_EQ(write("Chair"), 1);
  const std::string firstReport = report.Text();
  EXPECT_EQ(write("Chair"), 0);
  EXPECT_EQ(report.Text(), firstReport + firstReport) << "every frame reported as before";
  for (int x = 0; x < kSide; ++x) colour[static_cast<std::size_t>((kSide - 40) * kSide + x)] ^= 0x10;
  EXPECT_EQ(write("Chair"), 1);
  EXPECT_EQ(write("Chair"), 0);
  EXPECT_EQ(write("Chairs"), 1);
}

}  // namespace
}  // namespace pixmold
