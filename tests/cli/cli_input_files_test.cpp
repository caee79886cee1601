// Builds that fail because of an input file: each says, after the report's
// own fatal line, which file is at fault and what is wrong with it, and
// leaves the object file as it was. Each line is a command run in the
// session's directory, its exit status, what standard error must hold, and
// whether the object file must be unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::Bytes;
using testing::ObjdFields;
using testing::ObjdResource;

struct InputCase {
  std::string args;
  int status;
  std::vector<std::string> err;
  bool unchanged = true;
};

// The markup of one sprite 100 cut from sheet (112 x 24 pixels fit it), with
// more attributes on its tag, and any more tags after it.
std::string Markup(const std::string& sheet, const std::string& more = "", const std::string& tags = "") {
  return "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
         "<sprite id=100 tgafile=\"" +
         sheet + "\"" + more + ">\n<drawgroup id=100 name=\"Chair\"><item sprite id=100>\n" + tags;
}

// The 8-bit palette image with its info header grown to size bytes (the
// colour table and pixels moved along), as paint programs write it.
Bytes WithInfoHeader(Bytes bmp, std::uint32_t size) {
  bmp.insert(bmp.begin() + 14 + 40, size - 40, 0);
  for (int i = 0; i < 4; ++i) bmp[14 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  const std::uint32_t offset = bmp[10] + (bmp[11] << 8) + size - 40;
  bmp[10] = static_cast<std::uint8_t>(offset);
  bmp[11] = static_cast<std::uint8_t>(offset >> 8);
  return bmp;
}

std::vector<Bytes> ObjectBytes(const testing::TempDir& dir) {
  std::vector<Bytes> parts;
  for (const char* part : {"chair.iff", "chair.spf"}) {
    const std::filesystem::path path = dir.Path() / part;
    parts.push_back(std::filesystem::exists(path) ? testing::ReadAll(path) : Bytes{});
  }
  return parts;
}

void WriteSessionFiles(const testing::TempDir& dir) {
  testing::WriteObjectFile(dir.File("chair.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
  dir.Write("chair.omk", Markup("chair.tga"));
  testing::WriteSheetImages(dir, "chair", 112, 24);
  const Bytes chairBmp = testing::ReadAll(dir.Path() / "chair.bmp");
  const Bytes chairTga = testing::ReadAll(dir.Path() / "chair.tga");
  const auto sheet = [&](const std::string& name, const Bytes& tga, const Bytes& bmp) {
    testing::WriteFile(dir, name + ".tga", tga);
    testing::WriteFile(dir, name + ".bmp", bmp);
    dir.Write(name + ".omk", Markup(name + ".tga"));
  };

  // Sheets of the wrong kind, or cut short.
  Bytes grey = testing::TgaHeader({.imageType = 3, .width = 112, .height = 24, .bitsPerPixel = 8, .descriptor = 0x20});
  grey.resize(grey.size() + 112 * 24, 7);
  sheet("grey", grey, chairBmp);
  sheet("png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 112, 0},
        chairBmp);
  sheet("short", Bytes(chairTga.begin(), chairTga.end() - 100), chairBmp);
  Bytes rgb = testing::BmpHeaders({.width = 112, .height = 24, .bitCount = 24, .paletteEntries = 0}, 112 * 24 * 3);
  rgb.resize(rgb.size() + 112 * 24 * 3, 9);
  sheet("rgb", chairTga, rgb);
  testing::WriteSheetImages(dir, "wide", 120, 24);
  testing::WriteFile(dir, "wide.bmp", chairBmp);
  dir.Write("wide.omk", Markup("wide.tga"));
  testing::WriteSheetImages(dir, "small", 100, 24);
  dir.Write("small.omk", Markup("small.tga"));
  testing::WriteSheetImages(dir, "maskbig", 112, 30);
  std::filesystem::remove(dir.Path() / "maskbig.tga");
  dir.Write("mask.omk", Markup("chair.tga", " mask=maskbig.bmp"));
  dir.Write("typo.omk", Markup("chiar.tga"));

  // Palette images: a colour count past 256, one over the size limit, the
  // longer info headers that are read and one that is not.
  Bytes many = testing::BmpHeaders({.width = 112, .height = 24, .clrUsed = 300, .paletteEntries = 300}, 0);
  sheet("many", chairTga, many);
  Bytes big = chairBmp;
  sheet("big", chairTga, big);
  std::filesystem::resize_file(dir.Path() / "big.bmp", (std::uint64_t{70} << 20) + 5);
  sheet("v4", chairTga, WithInfoHeader(chairBmp, 108));
  sheet("v5", chairTga, WithInfoHeader(chairBmp, 124));
  sheet("v3", chairTga, WithInfoHeader(chairBmp, 56));

  // A sheet no offscreen can hold, whose palette file carries no pixels.
  Bytes huge = testing::TgaHeader({.width = 20000, .height = 20000, .bitsPerPixel = 24, .descriptor = 0x20});
  testing::WriteFile(dir, "huge.tga", huge);
  std::filesystem::resize_file(dir.Path() / "huge.tga", 18 + std::uint64_t{20000} * 20000 * 3);
  dir.Write("huge.bmp", std::string(768, '\x10'));
  dir.Write("huge.omk", Markup("huge.tga"));

  // Names that leave the image folder, and ones that stay.
  std::filesystem::create_directories(dir.Path() / "sub/deeper");
  testing::WriteSheetImages(dir, "sub/inner", 112, 24);
  dir.Write("sub/up.omk", Markup("../chair.tga"));
  dir.Write("sub/down.omk", Markup("deeper/../inner.tga"));
  dir.Write("sub/bmp.omk",
            Markup("inner.tga")
                .replace(Markup("inner.tga").find("tgafile=\"inner.tga\""), 19, "bmpfile=\"deeper/../../x.bmp\""));
  dir.Write("sub/mask.omk", Markup("inner.tga", " mask=\"..\\\\mask.bmp\""));
  dir.Write("sub/style.omk", Markup("inner.tga", "", "<\"wall style\" id=300 name=\"Low\" tgafile=\"../../w.tga\">\n"));
  dir.Write(
      "sub/cutaway.omk",
      Markup("inner.tga", "", "<\"wall style\" id=300 name=\"Low\" tgafile=w.tga \"cutaway tgafile\"=../c.tga>\n"));
  dir.Write("sub/thumb.omk", Markup("inner.tga", "", "<catalog thumbnail=\"../t.bmp\">\n"));
  dir.Write("sub/picture.omk", Markup("inner.tga", "", "<bmpfile id=5 filename=\"../p.bmp\">\n"));
  dir.Write("lonely.tga", "x");
}

TEST(CliInputFiles, AFailedBuildNamesTheFileAndWhatIsWrongWithIt) {
  testing::TempDir dir;
  WriteSessionFiles(dir);
  const std::string dib = "could not create dib section";
  const InputCase cases[] = {
      // A markup path without a folder is in the current one, for the
      // markup, its images and the object's own markup.
      {"build chair.iff -q", 0, {"="}, false},
      {"build chair.iff --omk chair.omk -q", 0, {"="}, false},
      {"build $chair.iff --omk chair.omk --images . -q", 0, {"="}, false},

      // A sheet that is missing, of another kind, or cut short.
      {"build chair.iff --omk typo.omk",
       1,
       {"fatal error: BMP file ./chiar.bmp required.  Could not obtain palette.\n",
        "pixmold build: ./chiar.tga: no such file, nor its palette image ./chiar.bmp; check the sheet's name"}},
      {"build chair.iff --omk grey.omk",
       1,
       {"fatal error: could not open tga file : ./grey.tga : error #1201",
        "pixmold build: ./grey.tga: 8-bit grey TGA; sheets must be 24- or 32-bit\n"}},
      {"build chair.iff --omk png.omk", 1, {"pixmold build: ./png.tga: not a TGA file (it is a PNG image)\n"}},
      {"build chair.iff --omk short.omk", 1, {"pixmold build: ./short.tga: ends after 10670 of 10770 bytes\n"}},
      {"build chair.iff --omk rgb.omk",
       1,
       {"too many bits per pixel retrieving palette",
        "pixmold build: ./rgb.bmp: palette image must be 8-bit indexed (it is 24-bit)\n"}},

      // A sheet and its palette image of different sizes, and sheets too
      // small for what is cut from them.
      {"build chair.iff --omk wide.omk",
       1,
       {"fatal error: bad bmp width\n",
        "pixmold build: ./wide.tga: the sheet is 120 x 24 but its palette image ./wide.bmp is 112 x 24; export both "
        "at the same size\n"}},
      {"build chair.iff --omk small.omk",
       1,
       {"fatal error: tga file too small for some sprite position...did you export all frames?",
        "pixmold build: ./small.tga: 100 x 24, but sprite 100's cells need 112 x 24"}},
      {"build chair.iff --omk mask.omk",
       1,
       {"fatal error: mask too large or sprite file too small",
        "pixmold build: ./maskbig.bmp: the mask is 112 x 30; laid from row 0 (sprite 100's position) it needs a "
        "sheet of at least 112 x 30, but ./chair.tga is 112 x 24\n"}},
      {"build chair.iff --omk huge.omk",
       1,
       {dib, "pixmold build: ./huge.tga: 20000 x 20000 pixels; the largest image accepted is 16384 x 16384"}},

      // Palette images: counts and sizes past the limits, and the info
      // headers of paint programs, read when their layout is known.
      {"build chair.iff --omk many.omk",
       1,
       {"palette too big",
        "pixmold build: ./many.bmp: its header claims 300 colours; an 8-bit palette holds at most "
        "256\n"}},
      {"build chair.iff --omk big.omk",
       1,
       {"(false) could not open file", "pixmold build: ./big.bmp: 70 MiB; a palette image may be at most 64 MiB\n"}},
      {"build chair.iff --omk v4.omk -q", 0, {"="}, false},
      {"build chair.iff --omk v5.omk -q", 0, {"="}, false},
      {"build chair.iff --omk v3.omk -q",
       1,
       {"(mInfo.bmiHeader.biSize == sizeof(mInfo.bmiHeader)) huh?\npixmold build: ./v3.bmp: its BMP info header is 56 "
        "bytes long, a layout not read here (40, 108 and 124 "
        "are); save it as a plain 8-bit BMP (ImageMagick: convert IN.bmp -type Palette BMP3:OUT.bmp"}},

      // The architecture sheets: the system's own odd message stays, and
      // the line after it says what is missing.
      {"build chair.iff --water 0 --floor-images nosuch/water.tga",
       1,
       {"fatal error: cant make walls without tga : nosuch/water.tga\n",
        "pixmold build: nosuch/water.tga: no such file\n"}},
      {"build chair.iff --floors 5 --floor-images lonely.tga",
       1,
       {"fatal error: couldn't open BMP file : lonely.bmp : error #1",
        "pixmold build: lonely.bmp: no such file; a sheet needs its 8-bit palette image"}},
      {"build chair.iff --floors 5 --floor-images grey.tga",
       1,
       {"pixmold build: grey.tga: 8-bit grey TGA; sheets must be 24- or 32-bit\n"}},

      // File names in the markup stay inside their folder unless allowed.
      {"build chair.iff --omk sub/up.omk",
       1,
       {"fatal error: line: 2 - tgafile \"../chair.tga\" leaves the image folder: file names in markup are relative "
        "to their folder and may not leave it (--allow-outside-names lifts this)\n"}},
      {"build chair.iff --omk sub/bmp.omk", 1, {"line: 2 - bmpfile \"deeper/../../x.bmp\" leaves the image folder"}},
      {"build chair.iff --omk sub/mask.omk", 1, {"line: 2 - mask \"..\\\\mask.bmp\" leaves the image folder"}},
      {"build chair.iff --omk sub/style.omk", 1, {"line: 4 - tgafile \"../../w.tga\" leaves the image folder"}},
      {"build chair.iff --omk sub/cutaway.omk", 1, {"line: 4 - cutaway tgafile \"../c.tga\" leaves the image folder"}},
      {"build chair.iff --omk sub/thumb.omk", 1, {"line: 4 - thumbnail \"../t.bmp\" leaves the thumbnail folder"}},
      {"build chair.iff --omk sub/picture.omk", 1, {"line: 4 - filename \"../p.bmp\" leaves the thumbnail folder"}},
      {"build chair.iff --omk sub/down.omk -q", 0, {"="}, false},
      {"build chair.iff --omk sub/up.omk --allow-outside-names -q", 0, {"="}, false},
  };
  for (const InputCase& step : cases) {
    const std::vector<Bytes> before = ObjectBytes(dir);
    const std::string args = testing::Expand(step.args, dir);
    const testing::CliRun run = testing::RunCli(dir, args, {}, true);
    EXPECT_EQ(run.status, step.status) << args << "\n" << run.err;
    for (const std::string& fragment : step.err) testing::ExpectShows(run.err, testing::Expand(fragment, dir), args);
    if (step.unchanged) {
      EXPECT_TRUE(ObjectBytes(dir) == before) << args << ": the object file changed";
    }
  }
}

}  // namespace
}  // namespace pixmold
