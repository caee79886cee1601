#include "app/palette_groups.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace pixmold {
namespace {

std::string Describe(const std::vector<SheetGroup>& groups, const std::string& directory) {
  std::string text;
  for (const SheetGroup& group : groups) {
    text += "[";
    for (std::int32_t id : group.paletteIds) text += std::to_string(id) + " ";
    text += "|";
    for (const std::string& sheet : group.sheets) {
      text += sheet.starts_with(directory) ? " " : " ?";
      text += std::string_view(sheet).substr(sheet.starts_with(directory) ? directory.size() : 0);
    }
    text += "]";
  }
  return text;
}

// Sheets join when a palette id names both, also through a third sheet cut
// into sprites of two ids; a sheet without an id stands alone; a sheet
// named in another letter case is found as the build finds it.
TEST(PaletteGroups, SheetsThatShareAPaletteIdShareAGroup) {
  testing::TempDir dir;
  const std::string images = dir.File("art") + "/";
  dir.Write("art/Chair.TGA", "");
  const std::string omk = dir.Write("art/set.omk",
                                    "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
                                    "<sprite id=1 tgafile=\"a.tga\" paletteid=200>\n"
                                    "<sprite id=2 tgafile=\"c.tga\" paletteid=201>\n"
                                    "<sprite id=3 tgafile=\"b.tga\" paletteid=200>\n"
                                    "<sprite id=4 tgafile=\"d.tga\">\n"
                                    "<sprite id=5 tgafile=\"e.tga\" paletteid=202>\n"
                                    "<sprite id=6 tgafile=\"e.tga\" paletteid=201>\n"
                                    "<sprite id=7 bmpfile=\"pic.bmp\" paletteid=200>\n"
                                    "<headline id=8 tgafile=\"idea.tga\" paletteid=50>\n"
                                    "<sprite id=9 tgafile=chair.tga paletteid=-1>\n"
                                    "<drawgroup id=100><item sprite id=1>\n");
  const auto groups = PaletteGroupsOf(omk, images);
  ASSERT_TRUE(groups.has_value());
  EXPECT_EQ(Describe(*groups, images),
            "[200 | a.tga b.tga][201 202 | c.tga e.tga][| d.tga][50 | idea.tga][| Chair.TGA]");
  EXPECT_FALSE(PaletteGroupsOf(dir.File("none.omk"), images).has_value());
}

}  // namespace
}  // namespace pixmold
