#include "imaging/sprite_sheet.h"

#include <atomic>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_cursor.h"
#include "base/report.h"
#include "base/xassert.h"
#include "imaging/bmp_format.h"
#include "imaging/bmp_parser.h"
#include "imaging/image_file.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"

namespace pixmold {
namespace {

// What is known of the problem, or failing that what the failure was.
InputProblem ProblemOr(const std::string& path, std::string found, std::string_view otherwise) {
  return InputProblem{path, found.empty() ? std::string(otherwise) : std::move(found)};
}

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

std::string TooLargeText(int width, int height) {
  return SizeText(width, height) + " pixels; the largest image accepted is 16384 x 16384 (or as many pixels in " +
         "another shape, at most 32767 a side)";
}

// Creates an offscreen at an image's size; a size no offscreen can have is
// the image's fault. One the decoder fills whole is not cleared first.
bool CreateFor(const std::string& path, Offscreen& offscreen, int width, int height, bool filledWhole = false) {
  return ExplainingInput(
      [&] {
        const Rect bounds = Rect::Make(0, 0, width, height);
        return filledWhole ? offscreen.CreateForOverwrite(bounds) : offscreen.Create(bounds);
      },
      [&] {
        if (width <= 0 || height <= 0) {
          return InputProblem{path, SizeText(width, height) + " pixels: an empty image"};
        }
        return InputProblem{path, TooLargeText(width, height)};
      });
}

void OpenTga(const std::string& path, TGAParser& tga) {
  const ResErr openErr = tga.Open(path);
  if (openErr != res_error::kNone) {
    InputFatal(FileErrorText("could not open tga file", path, openErr),
               ProblemOr(path, TgaSheetProblem(path), "cannot be read as a TGA"));
  }
}

void OpenBmp(const std::string& path, std::string_view role, BMPParser& bmp) {
  const int result = ExplainingInput([&] { return bmp.Open(path); },
                                     [&] { return ProblemOr(path, BmpImageProblem(path, role), "cannot be read"); });
  if (result != 0) {
    InputFatal(FileErrorText("couldn't open BMP file", path, 1),
               ProblemOr(path, BmpImageProblem(path, role), "cannot be read"));
  }
}

// The BMP's pixels are the render's colours cell for cell; a sheet exported
// at another size would shift every cell.
void CheckSameSize(const std::string& tgaPath, const TGAParser& tga, const std::string& bmpPath, std::string_view role,
                   const BMPParser& bmp) {
  int tgaWidth = 0, tgaHeight = 0, bmpWidth = 0, bmpHeight = 0;
  tga.GetSize(tgaWidth, tgaHeight);
  bmp.GetSize(bmpWidth, bmpHeight);
  if (tgaWidth == bmpWidth && tgaHeight == bmpHeight) return;
  InputProblem problem{tgaPath, "the sheet is " + SizeText(tgaWidth, tgaHeight) + " but its " + std::string(role) +
                                    " " + bmpPath + " is " + SizeText(bmpWidth, bmpHeight) +
                                    "; export both at the same size"};
  InputFatal(tgaWidth != bmpWidth ? "bad bmp width" : "bad bmp height", std::move(problem));
}

// Rows the file cannot hold are found before any offscreen is made for them.
void CheckBmpLength(const std::string& path, std::string_view role, const BMPParser& bmp) {
  const std::uint64_t needed = bmp.GetNeededFileSize();
  if (needed == 0 || bmp.GetFileSize() >= needed) return;
  ExplainingInput([] { XASSERT_FAIL("FALSE", "fread failed"); },
                  [&] { return ProblemOr(path, BmpImageProblem(path, role), "its rows are cut short"); });
}

// Creates the colour offscreen, and for a 32-bit image the depth offscreen,
// at the image's size.
// The TGA decoder writes every pixel it is given or fails the build; an
// uncompressed palette image of the checked length fills the colours too.
void CreateTgaOffscreens(const std::string& path, const TGAParser& tga, bool coloursFilled, Offscreen& colour,
                         Offscreen& depth) {
  int width = 0;
  int height = 0;
  tga.GetSize(width, height);
  if (!CreateFor(path, colour, width, height, coloursFilled)) FatalError("could not make offscreen");
  if (!tga.Is24Bit() && !CreateFor(path, depth, width, height, true)) FatalError("could not make z offscreen");
}

void RenderTga(const std::string& path, TGAParser& tga, bool renderColour, Offscreen& colour, Offscreen& depth,
               int threads, const RowsDone& rowsDone) {
  const bool hasDepth = !tga.Is24Bit();
  ResErr renderErr = res_error::kNone;
  try {
    renderErr = ExplainingInput(
        [&] { return tga.Render(renderColour ? &colour : nullptr, hasDepth ? &depth : nullptr, threads, rowsDone); },
        [&] {
          return ProblemOr(path, TgaSheetProblem(path),
                           "its run-length data does not end at the image's last pixel; export it again");
        });
  } catch (const TgaReadError& error) {
    renderErr = error.Code();
  }
  tga.Close();
  if (renderErr != res_error::kNone) {
    InputFatal(FileErrorText("could not render tga", path, renderErr),
               ProblemOr(path, TgaSheetProblem(path), "its pixel data ends before the image is complete"));
  }
}

void ReadBmpColours(const std::string& path, std::string_view role, BMPParser& bmp, bool haveTga, Offscreen& colour,
                    int threads) {
  int width = 0;
  int height = 0;
  bmp.GetSize(width, height);
  if (!haveTga && !CreateFor(path, colour, width, height)) FatalError("could not make offscreen");
  ExplainingInput(
      [&] { bmp.ReadPixels(colour, threads); },
      [&] { return ProblemOr(path, BmpImageProblem(path, role), "its run-length data is damaged; save it again"); });
}

// Image rows first .. first + count - 1 of the palette image, which lie one
// after another in its file (bottom-up), into the colour offscreen: straight
// into its rows when they have no padding to keep clear, else through a
// buffer. False on a short read.
bool ReadBmpBand(const ImageFileReader& file, const BMPParser::FileRows& rows, Offscreen& colour, int first,
                 int count) {
  const std::int64_t at =
      rows.offset + static_cast<std::int64_t>(rows.height - first - count) * static_cast<std::int64_t>(rows.stride);
  const std::size_t bytes = static_cast<std::size_t>(count) * rows.stride;
  if (rows.stride == static_cast<std::size_t>(rows.width) && colour.GetRowBytes() == -static_cast<int>(rows.stride)) {
    return file.ReadAt(at, std::span<std::uint8_t>(colour.Row(first + count - 1), bytes));
  }
  std::vector<std::uint8_t> band(bytes);
  if (!file.ReadAt(at, band)) return false;
  for (int r = 0; r < count; ++r) {
    std::memcpy(colour.Row(first + count - 1 - r), band.data() + static_cast<std::size_t>(r) * rows.stride,
                static_cast<std::size_t>(rows.width));
  }
  return true;
}

// The sheet's pieces with the palette image's rows of the same band read
// beside each, so that whoever looks at a finished piece finds both in the
// cache. For an uncompressed palette image read from its file only; false
// (nothing done) otherwise.
bool RenderTgaWithBmpBands(const std::string& imagePath, TGAParser& tga, const std::string& palettePath,
                           std::string_view paletteRole, BMPParser& bmp, Offscreen& colour, Offscreen& depth,
                           int threads, const RowsDone& rowsDone) {
  const std::optional<BMPParser::FileRows> rows = bmp.GetFileRows();
  if (!rows || rows->width != colour.Width() || rows->height != colour.Height()) return false;
  const ImageFileReader file(rows->path);
  if (!file.Ok()) return false;
  std::atomic<bool> shortRead{false};
  std::atomic<int> rowsRead{0};
  const RowsDone withColours = [&](int first, int count) {
    if (shortRead || !ReadBmpBand(file, *rows, colour, first, count)) {
      shortRead = true;
      return;
    }
    rowsRead += count;
    if (rowsDone) rowsDone(first, count);
  };
  colour.Lock();
  try {
    RenderTga(imagePath, tga, false, colour, depth, threads, withColours);
  } catch (...) {
    colour.Unlock();
    throw;
  }
  colour.Unlock();
  // Rows whose band could not be read (a palette image cut short while
  // the sheet was read), or that came without a piece of their own, are
  // read the ordinary way, which reports a file cut short.
  if (rowsRead != rows->height) ReadBmpColours(palettePath, paletteRole, bmp, true, colour, threads);
  return true;
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

void MakeOffscreens(std::string_view paletteImagePath, std::string_view tgaPath, Offscreen& colour, Offscreen& depth,
                    std::string_view paletteRole, int threads, const RowsDone& rowsDone) {
  const std::string palettePath(paletteImagePath);
  const std::string imagePath(tgaPath);
  bool paletteHasPixels = false;
  if (!palettePath.empty()) {
    ExplainingInput(
        [&] { GetGlobalPalette().LoadFromFile(palettePath, false); },
        [&] { return ProblemOr(palettePath, PaletteFileProblem(palettePath, paletteRole), "gives no palette"); });
    paletteHasPixels = PaletteImageHasPixels(palettePath);
  }
  // Headers first: nothing the size of either image is read or made until
  // both have been weighed.
  TGAParser tga;
  if (!imagePath.empty()) OpenTga(imagePath, tga);
  BMPParser bmp;
  if (paletteHasPixels) {
    OpenBmp(palettePath, paletteRole, bmp);
    if (tga.HasImage()) CheckSameSize(imagePath, tga, palettePath, paletteRole, bmp);
    CheckBmpLength(palettePath, paletteRole, bmp);
  }
  // Each piece of the sheet's rows is handed on final, colour and depth, as
  // soon as it is decoded: the palette image's colours are read first, or
  // band by band beside the sheet's own pieces.
  const bool coloursFromBmp = tga.HasImage() && paletteHasPixels;
  if (tga.HasImage()) {
    CreateTgaOffscreens(imagePath, tga, !paletteHasPixels || bmp.GetNeededFileSize() != 0, colour, depth);
  }
  if (coloursFromBmp &&
      RenderTgaWithBmpBands(imagePath, tga, palettePath, paletteRole, bmp, colour, depth, threads, rowsDone)) {
    return;
  }
  if (paletteHasPixels) ReadBmpColours(palettePath, paletteRole, bmp, !imagePath.empty(), colour, threads);
  if (tga.HasImage()) {
    RenderTga(imagePath, tga, !paletteHasPixels, colour, depth, threads, coloursFromBmp ? rowsDone : RowsDone());
  }
  if (rowsDone && !coloursFromBmp && colour.Height() > 0) rowsDone(0, colour.Height());
}

}  // namespace pixmold
