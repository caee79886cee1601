#include "imaging/palette_resource.h"

#include <gtest/gtest.h>

#include <tuple>

#include "image_bytes.h"
#include "imaging/pal_wrap.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::Bytes;

TEST(PaletteResource, GoesThroughAResourceFileAndBack) {
  std::array<PaletteEntry, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<std::uint8_t>(i), 1, static_cast<std::uint8_t>(~i), 0};
  PalWrap palette;
  palette.SetFromColours(colours, true);
  const Bytes bytes = EncodePaletteResource(palette);
  ASSERT_EQ(bytes.size(), kPaletteResourceSize);
  EXPECT_FALSE(DecodePaletteResource(std::span(bytes).first(kPaletteResourceSize - 1)));
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), (Bytes{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The reserved black goes out as it is.
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 19), (Bytes{0, 0, 0}));
  EXPECT_EQ(Bytes(bytes.begin() + 46, bytes.begin() + 49), (Bytes{10, 1, 245}));

  testing::MemoryDisk disk;
  disk.files["object"];
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("object"), 0);
  MHandle h = NewPaletteResourceHandle(palette);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(file.AddResource(h, kPaletteResourceType, 4096, "", true), 0);
  ASSERT_EQ(file.UpdateFile(), 0);
  ASSERT_NE(disk.Find("object", MakeResType("PALT"), 4096), nullptr);
  EXPECT_EQ(disk.Find("object", MakeResType("PALT"), 4096)->bytes, bytes);

  PalWrap loaded;
  ASSERT_TRUE(LoadPaletteResource(file, 4096, loaded));
  EXPECT_EQ(loaded.GetColoursUsed(), 256);
  EXPECT_FALSE(loaded.HasSystemColours());
  EXPECT_EQ(loaded.GetColourTable()[200], (PaletteEntry{200, 1, 55, 0}));
  EXPECT_EQ(loaded.GetPackedColours()[200], 0xC80137u);
  EXPECT_FALSE(LoadPaletteResource(file, 4097, loaded));
  EXPECT_EQ(file.GetError(), res_error::kNotFound);
  EXPECT_EQ(file.CachedHandles(), 0u);
}

TEST(PaletteResource, BadVersionOrCountIsReportedAndLeavesNoColours) {
  const std::tuple<std::uint32_t, std::uint32_t, const char*> cases[] = {{2, 256, "unknown palette version"},
                                                                         {1, 0, "mColorsUsed out of range..."},
                                                                         {1, 257, "mColorsUsed out of range..."}};
  for (const auto& [version, count, message] : cases) {
    testing::AssertCapture capture;
    PaletteResource resource;
    resource.mVersion = version;
    resource.mCount = count;
    PalWrap palette;
    palette.SetFromColours(std::array<PaletteEntry, 256>{}, true);
    EXPECT_FALSE(palette.SetFromResource(resource));
    EXPECT_TRUE(capture.Saw(message)) << message;
    EXPECT_TRUE(palette.GetColourTable().empty());
    EXPECT_FALSE(palette.HasSystemColours());
  }
}

}  // namespace
}  // namespace pixmold
