// Reads the pixel dumps that tools/make_image_corpus.py stores beside each
// image of tests/data/images: what an independent decoder made of the file.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/offscreen.h"

namespace pixmold::testing {

inline std::string CorpusPath(const std::string& name) { return std::string(PIXMOLD_TEST_DATA) + "/images/" + name; }

// Lines "size W H", "colour I R G B" (palette images) and "X Y V..." with
// one value (an index) or four (red, green, blue, alpha) per pixel.
struct ImageDump {
  int width = 0, height = 0;
  std::vector<std::vector<int>> colours;  // r, g, b per palette entry
  std::vector<std::vector<int>> pixels;   // row by row, top row first
  const std::vector<int>& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

inline ImageDump LoadDump(const std::string& name) {
  ImageDump dump;
  std::ifstream in(CorpusPath(name));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string word;
    std::vector<int> values;
    if (line.rfind("size", 0) == 0) {
      fields >> word >> dump.width >> dump.height;
      dump.pixels.resize(static_cast<std::size_t>(dump.width * dump.height));
      continue;
    }
    if (line.rfind("colour", 0) == 0) fields >> word;
    for (int v; fields >> v;) values.push_back(v);
    if (!word.empty()) {
      dump.colours.push_back({values.at(1), values.at(2), values.at(3)});
    } else {
      dump.pixels.at(static_cast<std::size_t>(values.at(1) * dump.width + values.at(0))) = {values.begin() + 2,
                                                                                            values.end()};
    }
  }
  return dump;
}

// An offscreen's pixels, top row first.
inline std::vector<std::vector<int>> Pixels(const Offscreen& o) {
  std::vector<std::vector<int>> rows;
  for (int y = 0; y < o.Height(); ++y) rows.emplace_back(o.Row(y), o.Row(y) + o.Width());
  return rows;
}

}  // namespace pixmold::testing
