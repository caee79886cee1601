// The large generated benchmark object: 16 sheets of 1792 x 1536, each a
// 32-bit TGA whose alpha is the depth beside its 8-bit palette image, one
// sprite of two frames per sheet with a palette and a draw group of its
// own. Made once per process in a temporary folder; the sheets are written
// row by row, so making them costs little memory.
//
// With PIXMOLD_LARGE_OBJECT_DIR set, the object (sheets, markup and a fresh
// object file) is made in that folder instead and kept, so the command line
// can be timed on it as a whole process:
//   PIXMOLD_LARGE_OBJECT_DIR=/tmp/large pixmold_bench --benchmark_filter=BM_SpriteBuildInputsRead
//   pixmold build /tmp/large/object.iff
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "object_files.h"
#include "sheet_files.h"

namespace pixmold::bench {

inline constexpr int kLargeSheets = 16;
inline constexpr int kLargeSheetWidth = 1792;
inline constexpr int kLargeSheetHeight = 1536;
inline constexpr std::int64_t kLargeSheetPixels = std::int64_t{kLargeSheets} * kLargeSheetWidth * kLargeSheetHeight;

// Inside each large cell a shaded ellipse, as a render of a piece of
// furniture looks.
struct LargeShape {
  bool Drawn(int x, int y) const {
    const int cellX = x < 1024 ? x % 256 : (x < 1536 ? (x - 1024) % 128 * 2 : (x - 1536) % 64 * 4);
    const int cellY = y % 768 * (x < 1024 ? 1 : (x < 1536 ? 2 : 4)) % 768;
    const int dx = cellX - 128, dy = cellY - 420;
    return dx * dx * 9 + dy * dy < 110 * 110 * 9;
  }
  std::uint8_t Index(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(16 + (x * 3 + y) % 200) : 0; }
  std::uint8_t Depth(int x, int y) const { return Drawn(x, y) ? static_cast<std::uint8_t>(40 + (x + y) % 180) : 255; }
};

class LargeObject {
 public:
  LargeObject() {
    if (const char* kept = getenv("PIXMOLD_LARGE_OBJECT_DIR"); kept != nullptr && *kept != '\0') {
      std::filesystem::create_directories(kept);
      fDirectory = std::string(kept) + "/";
      fKept = true;
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-large-object-XXXXXX").string();
      if (mkdtemp(pattern.data()) != nullptr) fDirectory = pattern + "/";
    }
    // Four columns of 256 + 128 + 64 pixels fill a row; two frames of 768
    // rows fill the sheet.
    std::string markup = "<sizes lwidth=256 lheight=768 mwidth=128 mheight=384 swidth=64 sheight=192 border=1>\n";
    for (int i = 0; i < kLargeSheets; ++i) {
      const std::string base = "sheet" + std::to_string(i);
      WriteSheetFiles(fDirectory + base, kLargeSheetWidth, kLargeSheetHeight, LargeShape{});
      fInputs.push_back(fDirectory + base + ".tga");
      fInputs.push_back(fDirectory + base + ".bmp");
      markup += "<sprite id=" + std::to_string(1000 + i) + " name=\"part " + std::to_string(i) + "\" tgafile=\"" +
                base + ".tga\" frames=2 paletteid=" + std::to_string(i) + ">\n";
      markup += "<drawgroup id=" + std::to_string(100 + i) + "><item sprite id=" + std::to_string(1000 + i) + ">\n";
    }
    std::ofstream(fDirectory + "object.omk") << markup;
    if (fKept) FreshObject();
  }
  ~LargeObject() {
    if (fKept) return;
    std::error_code ec;
    std::filesystem::remove_all(fDirectory, ec);
  }
  LargeObject(const LargeObject&) = delete;
  LargeObject& operator=(const LargeObject&) = delete;

  // A fresh object file holding one definition.
  std::string FreshObject() const {
    const std::string path = fDirectory + "object.iff";
    std::filesystem::remove(path);
    WriteObjectDefinitionFile(path);
    return path;
  }

  const std::string& Directory() const { return fDirectory; }
  const std::vector<std::string>& Inputs() const { return fInputs; }
  static LargeObject& Get() {
    static LargeObject object;
    return object;
  }

 private:
  std::string fDirectory;
  bool fKept = false;
  std::vector<std::string> fInputs;
};

}  // namespace pixmold::bench
