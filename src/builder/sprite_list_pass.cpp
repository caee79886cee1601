// The SPR# list pass: each headline's list, cut from its sheet with the fixed
// headline layout (see headline_sprites.h). The sprite pass draws the
// headline with the headline sizes as an ordinary sprite; this list is the
// one the game shows above the object, so it is written only when asked for.
//
// Headlines are stacked on one sheet, each starting where the previous one's
// frames end, so a sheet is loaded only when a headline names another one
// than the headline before it. Its colours come from the palette image beside
// it, as for every sheet; a "bmpfile" headline has no TGA to read.
#include <algorithm>
#include <optional>
#include <string>

#include "base/report.h"
#include "builder/headline_sprites.h"
#include "builder/output_passes.h"
#include "builder/sheet_files.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/sprite_sheet.h"

namespace pixmold {
namespace {

constexpr const char* kNoSheet = "cant make walls without tga";

std::string RequiredImage(const std::string& path) {
  std::optional<std::string> found = FindImageFile(path);
  if (!found) InputFatal(std::string(kNoSheet) + " : " + path, {path, UnreadableFileReason(path)});
  return *found;
}

class SpriteListPass {
 public:
  SpriteListPass(const BuildArgs& args, iResFile& file)
      : fDirectory(args.fTgaDirectory.View()), fMarkup(args.fOmkFile.View()), fFile(file) {}

  void Write(const HeadlineSpec& headline) {
    ReportLine("Generating sprite list " + std::to_string(headline.Id()) + ", " + std::string(headline.Name()) + "...");
    if (headline.SheetName().empty()) {
      InputFatal(kNoSheet, {fMarkup, "headline " + std::to_string(headline.Id()) +
                                         " names no sheet; give its tag a tgafile (or a bmpfile)"});
    }
    if (headline.SheetName() != fLoadedSheet) Load(headline);
    CheckCellsFit(headline);
    WriteHeadlineSprites(fColour, fDepth, fFile, headline);
  }

 private:
  void Load(const HeadlineSpec& headline) {
    // Forget the sheet first: a load that fails part-way must not pass for
    // the old one.
    fLoadedSheet.clear();
    fColour.Dispose();
    fDepth.Dispose();
    const SheetFileNames names = DeriveSheetFileNames(fDirectory, headline.SheetName());
    const std::string paletteImage = RequiredImage(names.paletteImage);
    const std::string image = headline.BmpOnly() ? std::string() : RequiredImage(names.image);
    ReportLine("Rendering file " + headline.SheetName() + "...");
    MakeOffscreens(paletteImage, image, fColour, fDepth);
    if (!fColour.Exists()) FatalError(kNoSheet);
    fLoadedSheet = headline.SheetName();
    fLoadedPath = image.empty() ? paletteImage : image;
  }

  // The list's cells must lie inside the sheet; the compressor checks that
  // too, but knows neither the file nor the headline.
  void CheckCellsFit(const HeadlineSpec& headline) const {
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    for (const Rect& cell : HeadlineCells(headline)) {
      right = std::max<std::int64_t>(right, cell.right);
      bottom = std::max<std::int64_t>(bottom, cell.bottom);
    }
    if (right <= fColour.Width() && bottom <= fColour.Height()) return;
    InputFatal(
        "tga file too small for some sprite position...did you export all frames?",
        {fLoadedPath, SizeText(fColour.Width(), fColour.Height()) + ", but headline " + std::to_string(headline.Id()) +
                          "'s cells need " + SizeText(right, bottom) + "; did you export all frames?"});
  }

  std::string fDirectory;
  std::string fMarkup;
  iResFile& fFile;
  Offscreen fColour;
  Offscreen fDepth;
  std::string fLoadedSheet;
  std::string fLoadedPath;
};

}  // namespace

void WriteSpriteLists(const BuildArgs& args, iResFile& file, BuildContext& context) {
  SpriteListPass pass(args, file);
  int done = 0;
  for (const HeadlineSpec* headline : context.headlines) {
    args.Progress("sprite lists", ++done, context.headlines.Count());
    pass.Write(*headline);
  }
}

}  // namespace pixmold
