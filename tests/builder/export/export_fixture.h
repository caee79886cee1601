// What the export tests share: sheets drawn from a hash of each pixel's
// place (never the top-left pixel, which a build takes as the background),
// a build of markup into an object file, an export of it, and the sprite
// lists, palettes and draw groups of an object file to compare.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "builder/export/export_object.h"
#include "filelib/file_system.h"
#include "imaging/image_bytes.h"
#include "resfile/obj_res_file.h"
#include "support/build_on_worker.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold::export_testing {

using testing::Bmp8;
using testing::StoredResource;
using testing::Tga;

// Cells of 16 x 24, 8 x 12 and 4 x 6 inside a border of 1: a row of
// C columns is 28 x C pixels wide and 24 high.
inline const std::string kSizes =
    "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6 border=1 "
    "lxorigin=8 lyorigin=4 mxorigin=4 myorigin=2 sxorigin=2 syorigin=1>\n";

enum class Form { kDepth, kAlpha, kColour, kBmpOnly };

struct SheetSource {
  std::string base;
  Form form = Form::kDepth;
  int width = 112;
  int height = 24;
  int density = 3;          // one pixel in `density` is drawn
  int blankFrom = 1 << 30;  // nothing is drawn right of this column
};

inline std::uint32_t Hash(const std::string& base, int x, int y) {
  std::uint32_t h = 2166136261u;
  for (char c : base) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 13);
}

constexpr std::uint8_t kClearIndex = 5;

inline void WriteSheet(const testing::TempDir& dir, const SheetSource& sheet) {
  auto drawn = [&](int x, int y) {
    return (x | y) != 0 && x < sheet.blankFrom && Hash(sheet.base, x, y) % sheet.density == 0;
  };
  auto index = [&](int x, int y) {
    return drawn(x, y) ? static_cast<std::uint8_t>(20 + (Hash(sheet.base, x, y) >> 8) % 200) : kClearIndex;
  };
  auto depth = [&](int x, int y) {
    return drawn(x, y) ? static_cast<std::uint32_t>(10 + (Hash(sheet.base, x, y) >> 16) % 200) : 255u;
  };
  testing::WriteFile(dir, "src/" + sheet.base + ".bmp", Bmp8(sheet.width, sheet.height, index));
  if (sheet.form == Form::kBmpOnly) return;
  const int bits = sheet.form == Form::kColour ? 24 : 32;
  testing::WriteFile(dir, "src/" + sheet.base + ".tga", Tga(sheet.width, sheet.height, bits, [&](int x, int y) {
                       return depth(x, y) << 24 | static_cast<std::uint32_t>(index(x, y)) * 0x010101u;
                     }));
  if (sheet.form != Form::kAlpha) return;
  static constexpr std::uint32_t kCoverage[] = {255, 255, 128, 40, 4};
  testing::WriteFile(dir, "src/" + sheet.base + "alpha.tga", Tga(sheet.width, sheet.height, 24, [&](int x, int y) {
                       const std::uint32_t c = drawn(x, y) ? kCoverage[(Hash(sheet.base, x, y) >> 4) % 5] : 0;
                       return c * 0x010101u;
                     }));
}

inline std::string Group(int id, const std::string& items, const std::string& extra = "") {
  return "<drawgroup id=" + std::to_string(id) + " name=\"Group " + std::to_string(id) + "\"" + extra + ">\n" + items;
}

inline std::string Item(int sprite, const std::string& extra = "") {
  return "<item sprite id=" + std::to_string(sprite) + extra + ">\n";
}

inline bool IsArt(ResType type) {
  return type == MakeResType("SPR2") || type == MakeResType("SPR#") || type == MakeResType("PALT") ||
         type == MakeResType("DGRP");
}

// In type and id order: a build writes them in the order of its tags, which
// an export is free to choose.
inline std::vector<StoredResource> ArtOf(const std::string& object) {
  std::vector<StoredResource> art;
  for (StoredResource& resource : testing::ReadObjectFile(object)) {
    if (IsArt(resource.type)) art.push_back(std::move(resource));
  }
  std::sort(art.begin(), art.end(), [](const StoredResource& a, const StoredResource& b) {
    return std::tie(a.type, a.id) < std::tie(b.type, b.id);
  });
  return art;
}

inline int Build(const std::string& object, const std::string& markup, const std::string& images, bool spriteLists) {
  BuildArgs args;
  args.fObjectFile = object;
  args.fOmkFile = markup;
  args.fTgaDirectory = images;
  args.fMakeSprites = 1;
  args.fWriteSpriteLists = spriteLists ? 1 : 0;
  std::ostringstream report;
  args.fReportStream = &report;
  const int status = testing::RunBuildOnWorker(args);
  EXPECT_EQ(status, 0) << report.str();
  return status;
}

// A fresh object FOLDER/obj, its definition alone, built from the markup and
// images given; its art, or nothing when the build failed.
inline std::vector<StoredResource> BuiltArt(const testing::TempDir& dir, const std::string& folder,
                                            const std::string& markup, const std::string& images, bool spriteLists) {
  std::filesystem::create_directories(dir.File(folder));
  testing::WriteObjectFile(dir.File(folder + "/obj.iff"), {testing::ObjdResource(128, "Thing", {})});
  if (Build(dir.File(folder + "/obj.iff"), markup, images, spriteLists) != 0) return {};
  return ArtOf(dir.File(folder + "/obj"));
}

// The markup and sheets exported into out/ build the art given byte for byte.
inline void ExpectExportRebuilds(const testing::TempDir& dir, const std::vector<StoredResource>& art,
                                 bool spriteLists) {
  const std::vector<StoredResource> rebuilt =
      BuiltArt(dir, "copy", dir.File("out/obj.omk"), dir.File("out/"), spriteLists);
  ASSERT_EQ(testing::ResourceList(rebuilt), testing::ResourceList(art));
  for (std::size_t i = 0; i < art.size(); ++i) {
    EXPECT_TRUE(rebuilt[i].bytes == art[i].bytes) << testing::ResourceKeys(art)[i] << " differs";
  }
}

inline ExportResult Export(const std::string& object, const std::string& directory) {
  ObjResFile file;
  EXPECT_EQ(file.OpenFile(CTGString(object)), 0);
  ExportRequest request;
  request.directory = directory;
  request.baseName = "obj";
  request.source = object;
  FileSystem& files = PosixFileSystem();
  files.MakeDirectories(directory);
  ExportResult result = ExportObjectArt(file, files, request);
  file.CloseFile();
  return result;
}

inline std::string Problems(const ExportResult& result) {
  std::string text = result.failure;
  for (const ExportProblem& problem : result.problems) text += "\n" + problem.what + ": " + problem.why;
  return text;
}

}  // namespace pixmold::export_testing
