// Reads 8-bit Windows BMP palette images into offscreens, copying palette
// indices as they stand: uncompressed rows (each padded to 4 bytes) or
// RLE8 data, stored bottom row first. The palette is kept beside, as red,
// green, blue, 0 entries.
//
// Problems are reported through the assertion routine, as the rest of the
// image code does: Open fails (returns 1) on what cannot be read at all and
// reports, then goes on, for header fields it only doubts. ReadPixels never
// writes outside the offscreen, whatever the RLE data asks; writes past the
// edge are dropped and reported once.
//
// Opening a file reads only its headers and colour table, so a caller can
// weigh the image (its size against the sheet's, its length against what
// its rows need) before anything the size of the image is read or made;
// ReadPixels reads the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "filelib/file_system.h"
#include "imaging/bmp_format.h"
#include "imaging/palette_entry.h"

namespace pixmold {

class Offscreen;

class BMPParser {
 public:
  static constexpr std::uint32_t kMaxColours = 256;

  BMPParser() = default;

  // 0 on success, 1 on failure (reported).
  int Open(const std::string& path);
  // The same over bytes already in memory; the parser keeps a view of them.
  int OpenBytes(std::span<const std::uint8_t> fileBytes);
  void Close();

  // The low 16 bits of biWidth and biHeight, as signed values.
  void GetSize(int& width, int& height) const;
  const BmpInfoHeader& GetInfo() const { return mInfo; }
  std::uint32_t GetColourCount() const { return fColourCount; }
  // The file's length in bytes.
  std::uint64_t GetFileSize() const { return fFileSize; }
  // The length uncompressed rows need (the pixel offset and every row
  // padded to 4 bytes), or 0 for run-length data, whose length says nothing
  // about the image's size.
  std::uint64_t GetNeededFileSize() const;
  // 256 entries; those past the file's colour count are 0.
  const std::array<PaletteEntry, kMaxColours>& GetColours() const { return fColours; }

  // Fills an offscreen of the image's size; false when nothing or not all of
  // the image could be read. Uncompressed rows of a file long enough for
  // them are read a piece at a time, by up to threads threads.
  bool ReadPixels(Offscreen& offscreen, int threads = 1);

  // Where the rows of an uncompressed image lie in its file, when ReadPixels
  // would read them from there: file row r is image row height - 1 - r, each
  // stride bytes, from offset on. None for a compressed image, one read
  // from memory, or a file too short for its rows.
  struct FileRows {
    std::string path;
    std::int64_t offset = 0;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;
  };
  std::optional<FileRows> GetFileRows() const;

 private:
  int Parse(std::span<const std::uint8_t> fileBytes, std::uint64_t fileSize);
  bool HaveWholeFile();
  bool ReadUncompressed(Offscreen& offscreen, int width, int height);
  bool ReadUncompressedFromFile(Offscreen& offscreen, int width, int height, int threads);
  bool ReadRLE8(Offscreen& offscreen, int width, int height);

  std::string fPath;                     // the file, when we read it ourselves
  std::vector<std::uint8_t> fFileBytes;  // what we have read of its head
  FileView fWholeFile;                   // all of it, once the pixels are wanted
  std::span<const std::uint8_t> fBytes;
  std::uint64_t fFileSize = 0;
  bool fOpen = false;
  std::size_t fPixelPosition = 0;
  std::uint32_t fColourCount = 0;
  BmpInfoHeader mInfo;
  std::array<PaletteEntry, kMaxColours> fColours{};
};

}  // namespace pixmold
