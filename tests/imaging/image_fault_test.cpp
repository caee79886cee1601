// Image reads and offscreen dumps go through the process-wide file library,
// so a failed open, read or write there must reach the caller as a failure.
#include <gtest/gtest.h>

#include <functional>

#include "filelib/io_faults.h"
#include "image_bytes.h"
#include "imaging/bmp_parser.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

struct ImageFaultCase {
  const char* name;
  IoOp op;
  std::function<bool()> succeeds;
};

bool ReadsTgaPixels() {
  TGAParser tga;
  if (tga.Open(testing::CorpusPath("tga24_raw_im.tga")) != 0) return false;
  int width = 0, height = 0;
  tga.GetSize(width, height);
  Offscreen colour;
  try {
    return colour.Create(Rect::Make(0, 0, width, height)) && tga.Render(&colour, nullptr) == 0;
  } catch (const TgaReadError&) {
    return false;
  }
}

bool OpensBmp() { return BMPParser().Open(testing::CorpusPath("bmp8_raw_16.bmp")) == 0; }

// Opening reads the headers; the rows are read with the pixels.
bool ReadsBmpPixels() {
  BMPParser bmp;
  Offscreen colour;
  return bmp.Open(testing::CorpusPath("bmp8_raw_16.bmp")) == 0 && colour.Create(Rect::Make(0, 0, 13, 7)) &&
         bmp.ReadPixels(colour);
}

bool ReadsPalette() {
  std::array<PaletteEntry, PalWrap::kMaxColours> colours{};
  return PalWrap::ReadPaletteFile(testing::CorpusPath("bmp8_raw_16.bmp"), colours);
}

TEST(ImageFaults, AFailedCallInTheFileLayerFailsTheImageOperation) {
  testing::TempDir dir;
  const std::string dumpPath = dir.File("dump.txt");
  auto dumps = [&dumpPath] {
    Offscreen offscreen;
    return offscreen.Create(Rect::Make(0, 0, 2, 2)) && offscreen.Dump(dumpPath);
  };
  const ImageFaultCase cases[] = {
      {"tga open", IoOp::kOpen, ReadsTgaPixels},   {"tga read", IoOp::kRead, ReadsTgaPixels},
      {"bmp open", IoOp::kOpen, OpensBmp},         {"bmp read", IoOp::kRead, OpensBmp},
      {"bmp pixels", IoOp::kRead, ReadsBmpPixels}, {"palette open", IoOp::kOpen, ReadsPalette},
      {"palette read", IoOp::kRead, ReadsPalette}, {"dump create", IoOp::kOpen, dumps},
      {"dump write", IoOp::kWrite, dumps},
  };
  testing::AssertCapture asserts;
  for (const ImageFaultCase& c : cases) {
    ASSERT_TRUE(c.succeeds()) << c.name;
    // From each call of the kind on, every one fails (a failed open for
    // writing may fall back to one for reading), until the operation no
    // longer reaches that call.
    for (int nth = 1;; ++nth) {
      IoFaults faults;
      faults.FailNth(c.op, nth, true);
      const bool succeeded = c.succeeds();
      if (!faults.Fired()) break;
      EXPECT_FALSE(succeeded) << c.name << ", call " << nth;
    }
  }
}

}  // namespace
}  // namespace pixmold
