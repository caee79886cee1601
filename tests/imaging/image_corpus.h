// Reads the pixel dumps that tools/make_image_corpus.py stores beside each
// image of tests/data/images: what an independent decoder made of the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pixmold::testing {

inline std::string CorpusPath(const std::string& name) { return std::string(PIXMOLD_TEST_DATA) + "/images/" + name; }

struct RGBA {
  int r = 0, g = 0, b = 0, a = 0;
};

struct TrueColourDump {
  int width = 0, height = 0;
  std::vector<RGBA> pixels;  // row by row, top row first
  const RGBA& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

struct IndexedDump {
  int width = 0, height = 0;
  std::vector<std::vector<int>> colours;  // r, g, b per palette entry
  std::vector<int> indices;               // row by row, top row first
  int At(int x, int y) const { return indices[static_cast<std::size_t>(y * width + x)]; }
};

inline std::vector<std::string> DumpLines(const std::string& name) {
  std::ifstream in(CorpusPath(name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

inline TrueColourDump LoadTrueColourDump(const std::string& name) {
  TrueColourDump dump;
  for (const std::string& line : DumpLines(name)) {
    std::istringstream fields(line);
    if (line.rfind("size", 0) == 0) {
      std::string word;
      fields >> word >> dump.width >> dump.height;
      dump.pixels.resize(static_cast<std::size_t>(dump.width * dump.height));
      continue;
    }
    int x = 0, y = 0;
    RGBA p;
    fields >> x >> y >> p.r >> p.g >> p.b >> p.a;
    dump.pixels.at(static_cast<std::size_t>(y * dump.width + x)) = p;
  }
  return dump;
}

inline IndexedDump LoadIndexedDump(const std::string& name) {
  IndexedDump dump;
  for (const std::string& line : DumpLines(name)) {
    std::istringstream fields(line);
    std::string word;
    if (line.rfind("size", 0) == 0) {
      fields >> word >> dump.width >> dump.height;
      dump.indices.resize(static_cast<std::size_t>(dump.width * dump.height));
    } else if (line.rfind("colour", 0) == 0) {
      int i = 0, r = 0, g = 0, b = 0;
      fields >> word >> i >> r >> g >> b;
      dump.colours.push_back({r, g, b});
    } else {
      int x = 0, y = 0, index = 0;
      fields >> x >> y >> index;
      dump.indices.at(static_cast<std::size_t>(y * dump.width + x)) = index;
    }
  }
  return dump;
}

}  // namespace pixmold::testing
