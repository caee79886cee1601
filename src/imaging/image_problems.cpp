#include "imaging/image_problems.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_cursor.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/bmp_format.h"
#include "imaging/image_file.h"
#include "imaging/pal_wrap.h"
#include "imaging/tga_parser.h"

namespace pixmold {
namespace {

constexpr std::size_t kRawPaletteBytes = 3 * PalWrap::kMaxColours;
constexpr std::size_t kBmpHeadersBytes = kBmpFileHeaderSize + kBmpInfoHeaderSize;
constexpr std::uint32_t kTgaHeaderBytes = TGAParser::kHeaderSize;

struct FileStart {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
};

std::optional<FileStart> ReadStart(const std::string& path, std::size_t count) {
  std::int64_t size = 0;
  auto bytes = ReadImageFilePrefix(path, count, &size);
  if (!bytes) return std::nullopt;
  return FileStart{std::move(*bytes), static_cast<std::uint64_t>(size)};
}

std::string EndsAfter(std::uint64_t have, std::uint64_t need, bool atLeast = false) {
  return "ends after " + std::to_string(have) + " of " + (atLeast ? "at least " : "") + std::to_string(need) + " bytes";
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
  if (bytes.size() < magic.size()) return false;
  for (std::size_t i = 0; i < magic.size(); ++i) {
    if (bytes[i] != static_cast<std::uint8_t>(magic[i])) return false;
  }
  return true;
}

// Files that reach an image folder under the wrong extension, most often an
// export in the wrong format.
std::string OtherFormat(std::span<const std::uint8_t> bytes) {
  if (StartsWith(bytes, "\x89PNG")) return "a PNG image";
  if (StartsWith(bytes, "\xFF\xD8\xFF")) return "a JPEG image";
  if (StartsWith(bytes, "GIF8")) return "a GIF image";
  if (StartsWith(bytes, "BM")) return "a BMP image";
  if (StartsWith(bytes, "II*") || StartsWith(bytes, "MM\0*")) return "a TIFF image";
  if (StartsWith(bytes, "8BPS")) return "a Photoshop image";
  return "";
}

std::string NotA(std::string_view kind, std::span<const std::uint8_t> bytes) {
  const std::string other = OtherFormat(bytes);
  return "not a " + std::string(kind) + " file" + (other.empty() ? "" : " (it is " + other + ")");
}

constexpr std::string_view kPlainBmp =
    "save it as a plain 8-bit BMP (ImageMagick: convert IN.bmp -type Palette BMP3:OUT.bmp; GIMP: export with "
    "\"Do not write color space information\")";

}  // namespace

std::string UnreadableFileReason(const std::string& path) {
  CTGFileManager& manager = CTGFileManager::Get();
  switch (manager.Files().Kind(path)) {
    case EntryKind::kMissing:
      // An archive the library has mapped may still hold it.
      if (!manager.Exists(path)) return "no such file";
      break;
    case EntryKind::kDirectory: return "a folder, not a file";
    case EntryKind::kOther: return "not a regular file";
    case EntryKind::kFile: break;
  }
  errno = 0;
  if (ImageFileSize(path)) return "";
  return errno != 0 ? std::strerror(errno) : "cannot be opened";
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string TgaSheetProblem(const std::string& path) {
  if (std::string missing = UnreadableFileReason(path); !missing.empty()) return missing;
  const std::optional<FileStart> start = ReadStart(path, kTgaHeaderBytes);
  if (!start) return "cannot be read";
  if (start->size < kTgaHeaderBytes) {
    if (!OtherFormat(start->bytes).empty()) return NotA("TGA", start->bytes);
    return EndsAfter(start->size, kTgaHeaderBytes) + " (a TGA header)";
  }
  ByteCursor in(start->bytes, ByteOrder::kLittle);
  const std::uint8_t idLength = in.U8(), mapType = in.U8(), imageType = in.U8();
  in.Skip(9);
  const std::uint16_t width = in.U16(), height = in.U16();
  const std::uint8_t bits = in.U8(), descriptor = in.U8();

  const bool trueColour = imageType == 2 || imageType == 10;
  const bool mapped = imageType == 1 || imageType == 9;
  const bool grey = imageType == 3 || imageType == 11;
  if (mapType > 1 || !(trueColour || mapped || grey) || !OtherFormat(start->bytes).empty()) {
    return NotA("TGA", start->bytes);
  }
  const std::string kind = mapped ? "colour-mapped " : grey ? "grey " : "";
  if (!trueColour || (bits != 24 && bits != 32)) {
    return std::to_string(bits) + "-bit " + kind + "TGA; sheets must be 24- or 32-bit";
  }
  if (bits == 32 && (descriptor & 0x0F) != 8) {
    return "32-bit TGA with " + std::to_string(descriptor & 0x0F) +
           " alpha bits; the depth channel needs 8 (or save it as 24-bit, without depth)";
  }
  if (mapType != 0) return "a true-colour TGA that also carries a colour map; save it without one";

  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint64_t bytesPerPixel = bits / 8;
  const std::uint64_t dataStart = kTgaHeaderBytes + idLength;
  if (imageType == 2) {
    const std::uint64_t need = dataStart + pixels * bytesPerPixel;
    if (start->size < need) return EndsAfter(start->size, need);
  } else {
    // Run-length data needs a packet of up to 128 pixels for every 128.
    const std::uint64_t need = dataStart + (pixels + 127) / 128 * (1 + bytesPerPixel);
    if (start->size < need) return EndsAfter(start->size, need, true);
  }
  return "";
}

std::string BmpImageProblem(const std::string& path, std::string_view role) {
  if (std::string missing = UnreadableFileReason(path); !missing.empty()) return missing;
  const std::optional<FileStart> start =
      ReadStart(path, kBmpFileHeaderSize + kBmpLargestInfoHeaderSize + 4 * PalWrap::kMaxColours);
  if (!start) return "cannot be read";
  ByteCursor in(start->bytes, ByteOrder::kLittle);
  BmpFileHeader file;
  BmpInfoHeader info;
  const bool haveFile = ReadBmpFileHeader(in, file);
  if (haveFile && file.magic != kBmpMagic) return NotA("BMP", start->bytes);
  if (!haveFile || !ReadBmpInfoHeader(in, info)) {
    if (!StartsWith(start->bytes, "BM")) return NotA("BMP", start->bytes);
    return EndsAfter(start->size, kBmpHeadersBytes) + " (the BMP headers)";
  }
  // Past an unknown header size every other field may be misread.
  if (!IsKnownBmpInfoHeaderSize(info.biSize)) {
    return "its BMP info header is " + std::to_string(info.biSize) +
           " bytes long, a layout not read here (40, 108 and 124 are); " + std::string(kPlainBmp);
  }
  if (info.biBitCount != 8) {
    return std::string(role) + " must be 8-bit indexed (it is " + std::to_string(info.biBitCount) + "-bit)";
  }
  if (info.biPlanes != 1)
    return std::to_string(info.biPlanes) + " colour planes where a BMP has 1; " + std::string(kPlainBmp);
  if (info.biCompression != kBmpRgb && info.biCompression != kBmpRle8) {
    return "compressed by method " + std::to_string(info.biCompression) + "; " + std::string(kPlainBmp);
  }
  const std::uint32_t colours = BmpColourCount(info);
  if (colours > PalWrap::kMaxColours) {
    return "its header claims " + std::to_string(colours) + " colours; an 8-bit palette holds at most 256";
  }
  const std::uint64_t tableEnd = BmpColourTableOffset(info) + std::uint64_t{4} * colours;
  if (start->size < tableEnd) return EndsAfter(start->size, tableEnd) + " (its colour table is cut short)";
  if (file.pixelOffset >= start->size) {
    return "ends after " + std::to_string(start->size) + " bytes, before its pixels (which it says start at byte " +
           std::to_string(file.pixelOffset) + ")";
  }
  if (info.biCompression == kBmpRgb && info.biWidth > 0 && info.biHeight > 0) {
    const std::uint64_t stride = (static_cast<std::uint64_t>(info.biWidth) + 3) / 4 * 4;
    const std::uint64_t need = file.pixelOffset + stride * static_cast<std::uint64_t>(info.biHeight);
    if (start->size < need) return EndsAfter(start->size, need);
  }
  return "";
}

std::string PaletteFileProblem(const std::string& path, std::string_view role) {
  if (std::string missing = UnreadableFileReason(path); !missing.empty()) return missing;
  const std::optional<FileStart> start = ReadStart(path, kBmpHeadersBytes);
  if (!start) return "cannot be read";
  if (start->size > PalWrap::kMaxPaletteFileBytes) {
    return std::to_string(start->size >> 20) + " MiB; a " + std::string(role) + " may be at most " +
           std::to_string(PalWrap::kMaxPaletteFileBytes >> 20) + " MiB";
  }
  if (StartsWith(start->bytes, "BM")) return BmpImageProblem(path, role);
  if (start->size < kRawPaletteBytes) {
    return "neither a BMP nor a raw palette of 256 colours: " + EndsAfter(start->size, kRawPaletteBytes);
  }
  return "";
}

}  // namespace pixmold
