// Small objects laid out as an artist's two trees hold them, for the tests
// of the commands that build whole trees.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/object_file_fixture.h"
#include "support/sheet_images.h"
#include "support/temp_dir.h"

namespace pixmold::testing {

// Index kOddlyNamedObject has a space and a "$" in its name, and so has its
// sheet, so the depfile's escaping is read back by ninja itself.
inline constexpr int kOddlyNamedObject = 19;

inline std::string TreeObjectName(int index) {
  return index == kOddlyNamedObject ? std::string("big $1 table") : "obj" + std::to_string(100 + index).substr(1);
}
inline std::string TreeSheetName(int index) { return index == kOddlyNamedObject ? "sheet $x 1" : "sheet"; }

// One object: DATA/Objects/NAME.iff and .spf, CONTENT/Sprites/NAME/NAME.omk
// with one sheet beside it.
inline void WriteTreeObject(const TempDir& root, const std::string& data, const std::string& content, int index) {
  const std::string name = TreeObjectName(index);
  const std::string base = root.File(data + "/Objects/" + name);
  std::filesystem::create_directories(std::filesystem::path(base).parent_path());
  WriteObjectFile(base + ".iff", {ObjdResource(128, name, ObjdFields{.guid = 7u + index})});
  WriteObjectFile(base + ".spf", {});
  root.Write(content + "/Sprites/" + name + "/" + name + ".omk",
             "<sizes lwidth=16 lheight=8 mwidth=8 mheight=4 swidth=4 sheight=2>\n"
             "<sprite id=100 tgafile=\"" +
                 TreeSheetName(index) + ".tga\">\n<drawgroup id=100 name=\"View\"><item sprite id=100>\n");
  WriteSheetImages(root, content + "/Sprites/" + name + "/" + TreeSheetName(index), 112, 8);
}

inline std::string TreeSheetPath(const TempDir& root, int index) {
  return root.File("content/Sprites/" + TreeObjectName(index) + "/" + TreeSheetName(index) + ".tga");
}

inline std::string TreeStamp(const TempDir& root, int index) {
  return root.File("data/.pixmold/objects/" + TreeObjectName(index) + ".stamp");
}

inline bool NinjaInstalled() { return std::system("ninja --version >/dev/null 2>&1") == 0; }

}  // namespace pixmold::testing
