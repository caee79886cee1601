#include "imaging/image_problems.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "image_bytes.h"
#include "imaging/pal_wrap.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::CorpusPath;

// What the line after a failed read says about each kind of bad file: the
// reason must name what is wrong in the terms of the file itself, never
// the reader's error code.
TEST(ImageProblems, EachBadFileIsDescribedInPlainWords) {
  testing::TempDir dir;
  const std::string png = dir.Write("render.tga", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(40, '\0'));
  const std::string bigPalette = dir.Write("big.bmp", std::string("BM") + std::string(60, '\0'));
  std::filesystem::resize_file(bigPalette, PalWrap::kMaxPaletteFileBytes + (std::uint64_t{3} << 20));
  const std::string rawPalette = dir.Write("short.pal", std::string(700, '\1'));
  std::filesystem::create_directories(dir.Path() / "folder.tga");

  using Describe = std::function<std::string(const std::string&)>;
  const Describe tga = TgaSheetProblem;
  const Describe bmp = [](const std::string& path) { return BmpImageProblem(path, "palette image"); };
  const Describe mask = [](const std::string& path) { return BmpImageProblem(path, "mask"); };
  const Describe palette = [](const std::string& path) { return PaletteFileProblem(path, "palette image"); };
  // The file, how it is described, and the whole description ("" for a good file).
  const std::tuple<std::string, Describe, std::string> cases[] = {
      {CorpusPath("tga32_raw_top.tga"), tga, ""},
      {CorpusPath("tga32_rle_top.tga"), tga, ""},
      {dir.File("none.tga"), tga, "no such file"},
      {dir.File("folder.tga"), tga, "a folder, not a file"},
      {png, tga, "not a TGA file (it is a PNG image)"},
      {CorpusPath("bmp8_raw_16.bmp"), tga, "not a TGA file (it is a BMP image)"},
      {CorpusPath("tga_grey.tga"), tga, "8-bit grey TGA; sheets must be 24- or 32-bit"},
      {CorpusPath("tga_mapped.tga"), tga, "8-bit colour-mapped TGA; sheets must be 24- or 32-bit"},
      {CorpusPath("tga16.tga"), tga, "16-bit TGA; sheets must be 24- or 32-bit"},
      {CorpusPath("tga32_alpha0.tga"), tga,
       "32-bit TGA with 0 alpha bits; the depth channel needs 8 (or save it as 24-bit, without depth)"},
      {CorpusPath("tga_cmap_flag.tga"), tga, "a true-colour TGA that also carries a colour map; save it without one"},
      {CorpusPath("tga_header_short.tga"), tga, "ends after 17 of 18 bytes (a TGA header)"},
      {CorpusPath("tga32_truncated.tga"), tga, "ends after 381 of 382 bytes"},

      {CorpusPath("bmp8_raw_16.bmp"), bmp, ""},
      {CorpusPath("bmp8_v5_rle_im.bmp"), bmp, ""},
      {dir.File("none.bmp"), bmp, "no such file"},
      {CorpusPath("tga32_raw_top.tga"), bmp, "not a BMP file"},
      {CorpusPath("bmp_not_bm.bmp"), bmp, "not a BMP file"},
      {CorpusPath("bmp24.bmp"), bmp, "palette image must be 8-bit indexed (it is 24-bit)"},
      {CorpusPath("bmp4_im.bmp"), mask, "mask must be 8-bit indexed (it is 4-bit)"},
      {CorpusPath("bmp8_core_im.bmp"), bmp,
       "its BMP info header is 12 bytes long, a layout not read here (40, 108 and 124 are); save it as a plain "
       "8-bit BMP (ImageMagick: convert IN.bmp -type Palette BMP3:OUT.bmp; GIMP: export with \"Do not write color "
       "space information\")"},
      {CorpusPath("bmp_too_many_colours.bmp"), bmp,
       "its header claims 300 colours; an 8-bit palette holds at most 256"},
      {CorpusPath("bmp_header_short.bmp"), bmp, "ends after 53 of 54 bytes (the BMP headers)"},
      {CorpusPath("bmp_palette_short.bmp"), bmp, "ends after 114 of 118 bytes (its colour table is cut short)"},
      {CorpusPath("bmp8_pixels_short.bmp"), bmp, "ends after 1179 of 1190 bytes"},

      {CorpusPath("bmp8_v4_im.bmp"), palette, ""},
      {bigPalette, palette, "67 MiB; a palette image may be at most 64 MiB"},
      {rawPalette, palette, "neither a BMP nor a raw palette of 256 colours: ends after 700 of 768 bytes"},
      {CorpusPath("bmp24.bmp"), palette, "palette image must be 8-bit indexed (it is 24-bit)"},
  };
  for (const auto& [path, describe, reason] : cases) {
    EXPECT_EQ(describe(path), reason) << path;
  }
}

}  // namespace
}  // namespace pixmold
