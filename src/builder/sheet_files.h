// The image files of one sprite spec, named from the sheet's file name N in
// the image directory D: the sheet D + N, its palette image (N's last three
// characters become "bmp", so chair.tga has chair.bmp), its alpha image (N
// without its extension, then "alpha.tga") and the spec's mask.
//
// Sheets rendered on another system often reach us with names whose letter
// case differs from the markup ("Chair.TGA" for tgafile=chair.tga). A name
// is taken exactly when such a file exists; only when it does not, the one
// file of the directory that matches ignoring case is taken, with a warning
// naming it, since a silent guess would hide a misnamed export. Two or more
// such files are a fatal error: picking one would be a coin toss.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

struct SheetFileNames {
  std::string image;
  std::string paletteImage;
  std::string alphaImage;
};

// The derived paths, D followed by each name, before any lookup.
SheetFileNames DeriveSheetFileNames(std::string_view directory, std::string_view sheetName);

// The names of the files of each directory looked in, listed once. A pass
// looks for every sheet's alpha image, which is usually not there, and
// listing the directory again for each cost a status call per file in it.
class FolderListings {
 public:
  // Nothing when the directory cannot be listed.
  const std::vector<std::string>* Files(const std::string& directory);

 private:
  std::map<std::string, std::optional<std::vector<std::string>>> fListed;
};

// The file to read for path: path itself when it exists, else the one file
// of its directory whose name matches ignoring case (reported as a warning);
// nothing when there is none. Several candidates end the build. Directories
// are listed through listings when given, else afresh.
std::optional<std::string> FindImageFile(const std::string& path, FolderListings* listings = nullptr);

}  // namespace pixmold
