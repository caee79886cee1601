// The two palette mistakes a build reports instead of shipping: sheets of
// one palette id with palette images of different colours, and a palette
// image left behind when its TGA was recoloured. The demo object, as made,
// has neither; each mistake is then made on a copy and built as usual (not
// only as a lint).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "builder/palette_checks.h"
#include "imaging/image_bytes.h"
#include "imaging/offscreen.h"
#include "imaging/tga_parser.h"
#include "support/build_on_worker.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

constexpr ResType kPALT = MakeResType("PALT");

class PaletteWarnings : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
    ASSERT_EQ(testing::MakeDemoObject(fRoot.File("data"), fRoot.File("content")), "");
  }
  std::string Art(const std::string& name) const { return fRoot.File("content/Sprites/tableset/" + name); }
  std::string Object() const { return fRoot.File("data/Objects/tableset.iff"); }

  // The report's palette warnings, one per line.
  std::string Build() const {
    BuildArgs args;
    std::ostringstream report;
    args.fObjectFile = Object();
    args.fOmkFile = Art("tableset.omk");
    args.fTgaDirectory = Art("");
    args.fMakeSprites = 1;
    args.fReportStream = &report;
    EXPECT_EQ(testing::RunBuildOnWorker(args), 0) << report.str();
    std::istringstream lines(report.str());
    std::string warnings;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("warning: palette")) warnings += line + "\n";
    }
    return warnings;
  }
  // Rewrites bytes of an art file in place.
  void Patch(const std::string& name, const std::function<void(std::vector<unsigned char>&)>& change) const {
    std::vector<unsigned char> bytes = testing::ReadAll(Art(name));
    change(bytes);
    fRoot.Write("content/Sprites/tableset/" + name, bytes);
  }

  testing::TempDir fRoot;
};

TEST_F(PaletteWarnings, NamesTheImagesTheFixAndWhatThePaltKeeps) {
  EXPECT_EQ(Build(), "");

  // The books' palette image gets other colours in its stone ramp (entries
  // 225 and up), which no book uses: its sprites still look right, but it
  // no longer agrees with the other sheets of palette id 200. The chair is
  // the last of them, so its colours are the PALT's.
  Patch("tableset_books.bmp", [](std::vector<unsigned char>& bmp) {
    for (int entry = 225; entry < 256; ++entry) bmp[54 + 4 * entry + 1] ^= 0x55;
  });
  EXPECT_EQ(Build(), "warning: palette id 200: the palette images " + Art("tableset_books.bmp") + " and " +
                         Art("tableset_chair.bmp") + " have different colours; PALT 200 keeps those of " +
                         Art("tableset_chair.bmp") + " (written last), so the sprites of " + Art("tableset_books.tga") +
                         " show wrong colours; give the sheets one palette with: pixmold palette " +
                         Art("tableset_books.tga") + " " + Art("tableset_chair.tga") + "\n");
  const auto chairTable = testing::ReadAll(Art("tableset_chair.bmp"));
  // Held here: the found resource points into it.
  const std::vector<testing::StoredResource> stored = testing::ReadObjectFile(Object());
  const testing::StoredResource* palt = testing::FindResource(stored, kPALT, 200);
  ASSERT_NE(palt, nullptr);
  for (int entry = 0; entry < 256; ++entry) {
    ASSERT_EQ(palt->bytes[16 + 3 * entry], chairTable[54 + 4 * entry + 2]) << entry;  // red
  }

  // The table's render recoloured (red and blue swapped) in its first drawn
  // pixels, its palette image left as it was: a touch-up of a quarter of a
  // percent passes, a fifth of the sheet is reported with its share.
  Patch("tableset_books.bmp", [&](std::vector<unsigned char>& bmp) {
    for (int entry = 225; entry < 256; ++entry) bmp[54 + 4 * entry + 1] ^= 0x55;
  });
  const std::vector<unsigned char> table = testing::ReadAll(Art("tableset_table.tga"));
  const auto recolour = [&](int perDrawn) {
    std::vector<unsigned char> tga = table;
    std::size_t drawn = 0;
    for (std::size_t at = 18 + 3; at < tga.size(); at += 4) drawn += tga[at] != 255;
    for (std::size_t at = 18, left = drawn / perDrawn; left > 0 && at + 3 < tga.size(); at += 4) {
      if (tga[at + 3] == 255) continue;
      std::swap(tga[at], tga[at + 2]);
      --left;
    }
    fRoot.Write("content/Sprites/tableset/tableset_table.tga", tga);
  };
  recolour(400);
  EXPECT_EQ(Build(), "");
  recolour(5);
  const std::string warning = Build();
  const std::string head = "warning: palette image " + Art("tableset_table.bmp") + " is out of date: ";
  ASSERT_TRUE(warning.starts_with(head)) << warning;
  const double share = std::stod(warning.substr(head.size()));
  EXPECT_GT(share, 10);
  EXPECT_LT(share, 40);
  EXPECT_TRUE(warning.ends_with("% of the drawn pixels of " + Art("tableset_table.tga") +
                                " show other colours in it, and the build takes a sheet's colours from its palette "
                                "image; remake it with: pixmold palette " +
                                Art("tableset_table.tga") + "\n"))
      << warning;
}

// Recolouring through the palette image, as an artist does with an exported
// object, leaves the sheet's colours behind on purpose: no remake is asked
// for while the palette image is the newer of the two, and the sheet saved
// after it is reported again.
TEST_F(PaletteWarnings, APaletteImageSavedAfterItsSheetIsTheArtistsLatestWord) {
  Patch("tableset_rug.bmp", [](std::vector<unsigned char>& bmp) {
    for (int entry = 0; entry < 256; ++entry) std::swap(bmp[54 + 4 * entry], bmp[54 + 4 * entry + 2]);
  });
  const auto now = std::filesystem::file_time_type::clock::now();
  std::filesystem::last_write_time(Art("tableset_rug.tga"), now - std::chrono::minutes(2));
  std::filesystem::last_write_time(Art("tableset_rug.bmp"), now - std::chrono::minutes(1));
  EXPECT_EQ(Build(), "");
  std::filesystem::last_write_time(Art("tableset_rug.tga"), now);
  EXPECT_TRUE(Build().starts_with("warning: palette image " + Art("tableset_rug.bmp") + " is out of date: "));
}

// The check sums 4 x 4 blocks, a band of them at a time on each thread; the
// short band at the foot of a sheet whose height is no multiple of 4 counts
// as much as any, and the share is the same however the bands are spread.
TEST(StaleShare, TheShortLastBandCountsAtAnyThreadCount) {
  constexpr int kWidth = 8, kHeight = 70;  // the last band: rows 68 and 69
  std::array<PaletteEntry, 256> greys{};
  for (int i = 0; i < 256; ++i) greys[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
  Offscreen colour;
  ASSERT_TRUE(colour.Create(Rect::Make(0, 0, kWidth, kHeight)));
  for (int y = 0; y < kHeight; ++y) std::fill(colour.Row(y), colour.Row(y) + kWidth, std::uint8_t{100});
  // Every pixel drawn; the render agrees with the palette image but for the
  // last two rows.
  testing::TempDir dir;
  const std::string sheet = testing::WriteFile(dir, "sheet.tga", testing::Tga(kWidth, kHeight, 32, [](int, int y) {
                                                 return 10u << 24 | (y >= 68 ? 250u : 100u) * 0x010101u;
                                               }));
  for (const int threads : {1, 2, 3}) {
    const std::optional<double> share = StaleShare(sheet, colour, greys, threads);
    ASSERT_TRUE(share) << threads;
    EXPECT_DOUBLE_EQ(*share, 16.0 / 560.0) << threads;
  }
}

}  // namespace
}  // namespace pixmold
