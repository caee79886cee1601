#include "quantize/sheet_input.h"

#include "builder/sheet_files.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/image_file.h"
#include "imaging/tga_parser.h"
#include "imaging/true_colour_sheet.h"

namespace pixmold {
namespace {

// The build keeps alpha to 5 bits; coverage below one step of them is clear.
constexpr int kAlphaShift = 3;

SheetLoad Fault(SheetFault fault, const std::string& path, const std::string& reason) {
  return {fault, path + ": " + reason};
}

// Why a TGA cannot be used, from the header field the reader refused.
SheetLoad TgaFault(const std::string& path, ResErr code, const std::vector<std::uint8_t>& bytes) {
  const auto byteAt = [&](std::size_t i) { return i < bytes.size() ? int{bytes[i]} : -1; };
  const int imageType = byteAt(2);
  const int bits = byteAt(16);
  const std::string need = "; sheets must be 24- or 32-bit true colour";
  switch (code) {
    case tga_error::kBadBitsPerPixel:
      return Fault(SheetFault::kUnsupported, path, std::to_string(bits) + "-bit TGA" + need);
    case tga_error::kColourMapped: return Fault(SheetFault::kUnsupported, path, "colour-mapped TGA" + need);
    case tga_error::kBadAlphaBits:
      return Fault(SheetFault::kUnsupported, path,
                   "32-bit TGA whose alpha is not 8 bits; sheets keep their depth in an 8-bit alpha");
    case tga_error::kBadImageType:
      if (imageType == 1 || imageType == 9) return Fault(SheetFault::kUnsupported, path, "colour-mapped TGA" + need);
      if (imageType == 3 || imageType == 11) return Fault(SheetFault::kUnsupported, path, "greyscale TGA" + need);
      return Fault(SheetFault::kUnreadable, path, "not a TGA file");
    case res_error::kShortRead:
      return Fault(SheetFault::kUnreadable, path, "cut short: it holds less pixel data than its header says");
    default: return Fault(SheetFault::kUnreadable, path, "cannot be read (error " + std::to_string(code) + ")");
  }
}

// The file's bytes, or the reason there are none.
std::optional<std::vector<std::uint8_t>> ReadBytes(const std::string& path, SheetLoad& fault) {
  auto bytes = ReadImageFile(path);
  if (bytes) return bytes;
  const EntryKind kind = CTGFileManager::Get().Files().Kind(path);
  const std::string reason = kind == EntryKind::kMissing     ? "no such file"
                             : kind == EntryKind::kDirectory ? "is a folder, not a sheet"
                                                             : "cannot be read";
  fault = Fault(SheetFault::kUnreadable, path, reason);
  return std::nullopt;
}

// Decodes a TGA's pixels; false with the fault set when it cannot.
bool DecodeTga(const std::string& path, const std::vector<std::uint8_t>& bytes, TGAParser& tga,
               std::vector<std::uint32_t>& argb, SheetLoad& fault) {
  const ResErr openErr = tga.OpenBytes(bytes);
  if (openErr != 0) {
    fault = TgaFault(path, openErr, bytes);
    return false;
  }
  int width = 0, height = 0;
  tga.GetSize(width, height);
  if (width == 0 || height == 0) {
    fault = Fault(SheetFault::kUnreadable, path, "has no pixels");
    return false;
  }
  argb.resize(std::size_t(width) * std::size_t(height));
  ResErr renderErr = 0;
  try {
    renderErr = tga.RenderTrueColour(argb);
  } catch (const TgaReadError& error) {
    renderErr = error.Code();
  }
  if (renderErr != 0) {
    fault = TgaFault(path, renderErr, bytes);
    return false;
  }
  return true;
}

void MarkDrawn(SheetInput& sheet) {
  sheet.drawn.resize(sheet.Pixels());
  for (std::size_t i = 0; i < sheet.Pixels(); ++i) {
    sheet.drawn[i] = DrawnInSheet(sheet.argb[i], sheet.argb[0], sheet.hasDepth);
  }
}

// The build reads coverage from the alpha image's red channel.
bool WeighByAlphaImage(SheetInput& sheet, const std::string& alphaPath, SheetLoad& fault) {
  const auto bytes = ReadBytes(alphaPath, fault);
  if (!bytes) return false;
  TGAParser tga;
  std::vector<std::uint32_t> coverage;
  if (!DecodeTga(alphaPath, *bytes, tga, coverage, fault)) return false;
  int width = 0, height = 0;
  tga.GetSize(width, height);
  if (width != sheet.width || height != sheet.height) {
    fault = Fault(SheetFault::kUnreadable, alphaPath,
                  std::to_string(width) + "x" + std::to_string(height) + ", but its sheet " + sheet.path + " is " +
                      std::to_string(sheet.width) + "x" + std::to_string(sheet.height));
    return false;
  }
  for (std::size_t i = 0; i < sheet.Pixels(); ++i) {
    const std::uint8_t red = static_cast<std::uint8_t>(coverage[i] >> 16);
    if ((red >> kAlphaShift) == 0) {
      sheet.weight[i] = 0;
    } else if (sheet.weight[i] != 0) {
      sheet.weight[i] = red;
    }
  }
  return true;
}

}  // namespace

SheetLoad LoadSheet(const std::string& path, SheetInput& out) {
  SheetLoad fault;
  out = SheetInput{};
  out.path = path;
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const SheetFileNames names = DeriveSheetFileNames(directory, path.substr(directory.size()));
  out.paletteImage = names.paletteImage;

  const auto bytes = ReadBytes(path, fault);
  if (!bytes) return fault;
  TGAParser tga;
  if (!DecodeTga(path, *bytes, tga, out.argb, fault)) return fault;
  tga.GetSize(out.width, out.height);
  out.hasDepth = !tga.Is24Bit();
  MarkDrawn(out);
  out.weight.resize(out.Pixels());
  for (std::size_t i = 0; i < out.Pixels(); ++i) out.weight[i] = out.drawn[i] ? 255 : 0;
  if (CTGFileManager::Get().Files().Kind(names.alphaImage) == EntryKind::kFile &&
      !WeighByAlphaImage(out, names.alphaImage, fault)) {
    return fault;
  }
  return fault;
}

}  // namespace pixmold
