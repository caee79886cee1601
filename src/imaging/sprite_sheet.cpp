#include "imaging/sprite_sheet.h"

#include <span>

#include "base/byte_cursor.h"
#include "base/report.h"
#include "imaging/bmp_format.h"
#include "imaging/bmp_parser.h"
#include "imaging/image_file.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"

namespace pixmold {
namespace {

// Whether the palette image is an 8-bit BMP, and so carries the sheet's
// colour pixels as well as its palette (a raw palette file carries none).
bool PaletteImageHasPixels(const std::string& path) {
  // The probe needs only the two headers.
  const auto headers = ReadImageFilePrefix(path, kBmpFileHeaderSize + kBmpInfoHeaderSize);
  if (!headers) return false;
  ByteCursor reader(*headers, ByteOrder::kLittle);
  std::uint32_t colourCount = 0;
  return ProbeBmpPalette(reader, colourCount);
}

// Creates the colour offscreen, and for a 32-bit image the depth offscreen,
// at the image's size, and renders into them.
void RenderTga(const std::string& path, bool renderColour, Offscreen& colour, Offscreen& depth) {
  TGAParser tga;
  const ResErr openErr = tga.Open(path);
  if (openErr != res_error::kNone) FatalError(FileErrorText("could not open tga file", path, openErr));
  int width = 0;
  int height = 0;
  tga.GetSize(width, height);
  const Rect bounds = Rect::Make(0, 0, width, height);
  if (!colour.Create(bounds)) FatalError("could not make offscreen");
  const bool hasDepth = !tga.Is24Bit();
  if (hasDepth && !depth.Create(bounds)) FatalError("could not make z offscreen");

  ResErr renderErr = res_error::kNone;
  try {
    renderErr = tga.Render(renderColour ? &colour : nullptr, hasDepth ? &depth : nullptr);
  } catch (const TgaReadError& error) {
    renderErr = error.Code();
  }
  tga.Close();
  if (renderErr != res_error::kNone) FatalError(FileErrorText("could not render tga", path, renderErr));
}

void ReadBmpColours(const std::string& path, bool haveTga, Offscreen& colour) {
  BMPParser bmp;
  if (bmp.Open(path) != 0) FatalError(FileErrorText("couldn't open BMP file", path, 1));
  int width = 0;
  int height = 0;
  bmp.GetSize(width, height);
  if (haveTga) {
    // The BMP's pixels are the render's colours cell for cell; a sheet
    // exported at another size would shift every cell.
    if (width != colour.Width()) FatalError("bad bmp width");
    if (height != colour.Height()) FatalError("bad bmp height");
  } else if (!colour.Create(Rect::Make(0, 0, width, height))) {
    FatalError("could not make offscreen");
  }
  bmp.ReadPixels(colour);
}

}  // namespace

std::string FileErrorText(std::string_view what, std::string_view path, int code) {
  std::string text(what);
  text += " : ";
  text += path;
  text += " : error #";
  text += std::to_string(code);
  return text;
}

void MakeOffscreens(std::string_view paletteImagePath, std::string_view tgaPath, Offscreen& colour, Offscreen& depth) {
  const std::string palettePath(paletteImagePath);
  const std::string imagePath(tgaPath);
  bool paletteHasPixels = false;
  if (!palettePath.empty()) {
    GetGlobalPalette().LoadFromFile(palettePath, false);
    paletteHasPixels = PaletteImageHasPixels(palettePath);
  }
  if (!imagePath.empty()) RenderTga(imagePath, !paletteHasPixels, colour, depth);
  if (paletteHasPixels) ReadBmpColours(palettePath, !imagePath.empty(), colour);
}

}  // namespace pixmold
