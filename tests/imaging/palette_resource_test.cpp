#include "imaging/palette_resource.h"

#include <gtest/gtest.h>

#include "image_bytes.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using testing::Bytes;

TEST(PaletteResource, EncodesVersionCountZerosAndTriples) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), 1, static_cast<std::uint8_t>(~i), 0};
  PalWrap palette;
  palette.SetFromColours(colours, false);
  const Bytes bytes = EncodePaletteResource(palette);
  ASSERT_EQ(bytes.size(), kPaletteResourceSize);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), (Bytes{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 22), (Bytes{0, 1, 255, 1, 1, 254}));
  EXPECT_EQ(Bytes(bytes.end() - 3, bytes.end()), (Bytes{255, 1, 0}));

  const auto decoded = DecodePaletteResource(bytes);
  ASSERT_TRUE(decoded);
  PalWrap copy;
  ASSERT_TRUE(copy.SetFromResource(*decoded));
  EXPECT_EQ(copy.GetColoursUsed(), 256);
  EXPECT_FALSE(copy.HasSystemColours());
  EXPECT_EQ(copy.GetColourTable()[200], (PaletteEntry{200, 1, 55, 0}));
  EXPECT_EQ(copy.GetPackedColours()[200], 0xC80137u);
}

TEST(PaletteResource, PaletteWithoutColoursEncodesBlack) {
  PalWrap palette;
  const Bytes bytes = EncodePaletteResource(palette);
  ASSERT_EQ(bytes.size(), kPaletteResourceSize);
  EXPECT_EQ(bytes[5], 1);  // still 256 colours
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.end()), Bytes(768, 0));
}

TEST(PaletteResource, SmallResourceSearchesOnlyItsColours) {
  Bytes bytes = {1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 10, 200, 0, 0, 0, 200, 0};
  const auto decoded = DecodePaletteResource(bytes);
  ASSERT_TRUE(decoded);
  PalWrap palette;
  ASSERT_TRUE(palette.SetFromResource(*decoded));
  EXPECT_EQ(palette.GetColoursUsed(), 3);
  EXPECT_EQ(palette.FindNearest(255, 255, 255), 2);  // green weighs most
  EXPECT_EQ(palette.FindNearest(250, 0, 0), 1);
  EXPECT_EQ(palette.FindNearest(0, 0, 0), 0);

  bytes.pop_back();  // one triple short
  EXPECT_FALSE(DecodePaletteResource(bytes));
  EXPECT_FALSE(DecodePaletteResource(Bytes(15, 0)));
}

TEST(PaletteResource, BadVersionOrCountIsReportedAndLeavesNoColours) {
  struct Case {
    std::uint32_t version, count;
    const char* message;
  } cases[] = {
      {2, 256, "unknown palette version"},
      {1, 0, "mColorsUsed out of range..."},
      {1, 257, "mColorsUsed out of range..."},
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    PaletteResource resource;
    resource.mVersion = c.version;
    resource.mCount = c.count;
    PalWrap palette;
    std::array<PaletteEntry, 256> colours{};
    palette.SetFromColours(colours, true);
    EXPECT_FALSE(palette.SetFromResource(resource));
    EXPECT_TRUE(capture.Saw(c.message)) << c.message;
    EXPECT_TRUE(palette.GetColourTable().empty());
    EXPECT_FALSE(palette.HasSystemColours());
  }
}

TEST(PaletteResource, GoesThroughAResourceFileAndBack) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), 9, 8, 0};
  PalWrap palette;
  palette.SetFromColours(colours, true);
  testing::MemoryDisk disk;
  disk.files["object"];
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("object"), 0);
  MHandle h = NewPaletteResourceHandle(palette);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GetHandleSize(h), static_cast<std::int32_t>(kPaletteResourceSize));
  ASSERT_EQ(file.AddResource(h, kPaletteResourceType, 4096, "", true), 0);
  ASSERT_EQ(file.UpdateFile(), 0);
  const auto* stored = disk.Find("object", MakeResType("PALT"), 4096);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->bytes, EncodePaletteResource(palette));

  PalWrap loaded;
  ASSERT_TRUE(LoadPaletteResource(file, 4096, loaded));
  ASSERT_EQ(loaded.GetColoursUsed(), 256);
  EXPECT_EQ(loaded.GetColourTable()[100], (PaletteEntry{100, 9, 8, 0}));
  EXPECT_EQ(loaded.GetColourTable()[0], (PaletteEntry{0, 0, 0, 0}));  // the reserved black went out as it was
  EXPECT_FALSE(LoadPaletteResource(file, 4097, loaded));
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_EQ(file.CachedHandles(), 0u);
}

TEST(PaletteResource, ShortStoredResourceIsRefused) {
  testing::MemoryDisk disk;
  disk.files["object"].push_back(testing::StoredResource{
      kPaletteResourceType, 7, "", 0, true, {1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}});
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("object"), 0);
  PalWrap palette;
  EXPECT_FALSE(LoadPaletteResource(file, 7, palette));
  EXPECT_TRUE(palette.GetColourTable().empty());
}

}  // namespace
}  // namespace pixmold
