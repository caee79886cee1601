// The sprite pass. Consecutive sprite specs usually share one sheet (one row
// of it each), and loading a sheet is most of the pass's work, so a sheet is
// rendered only when a spec names another file than the one rendered last;
// the offscreens live for the whole pass, and so does their memory: each
// sheet is decoded into the pages the last one used. Alpha mode (an alpha
// image beside the sheet) adds a third offscreen of per-pixel coverage.
//
// On more than one thread a sprite's list is written into the object file
// beside the reading and decoding of the next sheet, by one of the build's
// threads; the report and any failure still come in the order of one
// thread (see trailing_work.h). The write settles before the next sheet's depth
// clean-up, whose message goes straight to the error stream, and before the
// next list takes its place.
#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/report.h"
#include "base/trailing_work.h"
#include "builder/apply_mask.h"
#include "builder/compress_sprite.h"
#include "builder/output_passes.h"
#include "builder/palette_checks.h"
#include "builder/sheet_files.h"
#include "imaging/image_problems.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/pixel_view.h"
#include "imaging/sprite2_prepare.h"
#include "imaging/sprite_sheet.h"

namespace pixmold {
namespace {

bool UsedBySelectedDrawGroup(const BuildArgs& args, const BuildContext& context, const SpriteSpec& sprite) {
  for (const DGRPSpec* group : context.drawGroups) {
    if (args.SelectsDrawGroup(group->Id()) && group->FindUse(&sprite) != nullptr) return true;
  }
  return false;
}

class SpritePass {
 public:
  SpritePass(const BuildArgs& args, iResFile& file, BuildContext& context)
      : fArgs(args), fFile(file), fContext(context), fWrite(args.fThreads > 1) {}

  void Run() {
    const std::string directory(fArgs.fTgaDirectory.View());
    int done = 0;
    for (SpriteSpec* sprite : fContext.sprites) {
      try {
        fArgs.Progress("sprites", ++done, fContext.sprites.Count());
        if (directory.empty()) FatalError("not enough info to determine tga file");
        if (!fArgs.drawGroupIds.empty() && !UsedBySelectedDrawGroup(fArgs, fContext, *sprite)) continue;
        Generate(directory, *sprite);
      } catch (...) {
        fWrite.Settle(std::current_exception());
      }
    }
    fWrite.Settle();
    fPaletteIds.Warn();
  }

 private:
  void Generate(const std::string& directory, SpriteSpec& sprite) {
    ReportLine("Generating sprite " + std::to_string(sprite.Id()) + ", " + std::string(sprite.Name()) + "...");
    const std::optional<std::string> mask = LoadMask(directory, sprite);

    const SheetFileNames names = DeriveSheetFileNames(directory, sprite.FileName());
    const std::optional<std::string> paletteImage = FindImageFile(names.paletteImage, &fFolders);
    if (!paletteImage) {
      InputFatal("BMP file " + names.paletteImage + " required.  Could not obtain palette.",
                 MissingPaletteImage(sprite, names, fArgs.fOmkFile.View()));
    }
    const std::optional<std::string> alphaImage = FindImageFile(names.alphaImage, &fFolders);
    const bool alphaMode = alphaImage.has_value();

    if (sprite.FileName() != fRenderedSheet) {
      ReportLine("Rendering file " + sprite.FileName() + "...");
      // Forget the sheet first: a render that fails part-way must not pass
      // for the old one.
      fRenderedSheet.clear();
      const std::string image = SheetImage(sprite, names);
      if (alphaMode) {
        RenderWithAlpha(*paletteImage, image, *alphaImage);
      } else {
        // The depth clean-up looks at each piece of rows as it is decoded,
        // while it is still in the cache, and fills what it found after.
        DepthGaps gaps;
        RenderSheet(*paletteImage, image,
                    [&](int first, int count) { gaps.Look(ViewOf(fColour), ViewOf(fDepth), first, count); });
        fWrite.Settle();
        gaps.Fill(ViewOf(fColour), MutableViewOf(fDepth));
      }
      if (!image.empty())
        WarnIfPaletteImageStale(image, *paletteImage, fColour, GetGlobalPalette().GetColourTable(), fArgs.fThreads);
    }

    if (mask) {
      const std::int64_t rowOffset = std::int64_t{sprite.Position()} * sprite.Sizes().height[0];
      ExplainingInput(
          [&] {
            if (alphaMode) ApplyMask(fAlpha, fMask, rowOffset);
            ApplyMask(fDepth, fMask, rowOffset);
            ApplyMask(fColour, fMask, rowOffset);
          },
          [&] { return MaskTooLarge(*mask, rowOffset, sprite, names); });
    }
    CheckCellsFit(sprite, names);

    SpriteListWrite made = alphaMode ? CompressAlphaSprite(fColour, fDepth, fAlpha, sprite, fArgs.fThreads)
                                     : CompressSprite(fColour, fDepth, sprite, fArgs.fThreads);
    fWrite.Settle();
    fListWrite = std::move(made);
    fWrite.Start([this] { fListWrite.WriteTo(fFile); });
    if (sprite.PaletteId() >= 0) {
      fPaletteIds.Note(sprite.PaletteId(), names.image, *paletteImage, GetGlobalPalette().GetColourTable());
    }
    for (DGRPSpec* group : fContext.drawGroups) group->SetOffsets(sprite);
    fRenderedSheet = sprite.FileName();
  }

  // Loading the mask also makes its palette the global one, as any palette
  // image does; the sheet's own palette comes back with its next render.
  // The mask's path when one was loaded.
  std::optional<std::string> LoadMask(const std::string& directory, const SpriteSpec& sprite) {
    if (sprite.MaskName().empty()) return std::nullopt;
    const std::optional<std::string> mask = FindImageFile(directory + sprite.MaskName(), &fFolders);
    if (!mask) return std::nullopt;
    fMask.Discard();
    Offscreen unused;
    MakeOffscreens(*mask, "", fMask, unused, "mask");
    return mask;
  }

  // The file whose pixels the cells are cut from: the TGA, or for a
  // "bmpfile" sprite its BMP.
  static std::string SheetImage(const SpriteSpec& sprite, const SheetFileNames& names) {
    return sprite.BmpOnly() ? std::string() : FindImageFile(names.image).value_or(names.image);
  }

  // A misspelt sheet name shows first as a missing palette image, which is
  // only derived from it: then the name to correct is the sheet's.
  // A tag that names no sheet at all leaves only the folder to look in,
  // which is no file to blame: the markup is.
  static InputProblem MissingPaletteImage(const SpriteSpec& sprite, const SheetFileNames& names,
                                          std::string_view markup) {
    if (sprite.FileName().empty()) {
      return {std::string(markup),
              "sprite " + std::to_string(sprite.Id()) + " names no sheet; give its tag a tgafile (or a bmpfile)"};
    }
    if (!sprite.BmpOnly() && !FindImageFile(names.image)) {
      return {names.image, "no such file, nor its palette image " + names.paletteImage +
                               "; check the sheet's name (tgafile) in the markup"};
    }
    return {names.paletteImage, "no such file; every sheet needs its 8-bit palette image beside it (" +
                                    std::string(sprite.BmpOnly() ? "this sprite's bmpfile" : "the sheet's name") +
                                    " with .bmp)"};
  }

  InputProblem MaskTooLarge(const std::string& mask, std::int64_t rowOffset, const SpriteSpec& sprite,
                            const SheetFileNames& names) const {
    return {mask, "the mask is " + SizeText(fMask.Width(), fMask.Height()) + "; laid from row " +
                      std::to_string(rowOffset) + " (sprite " + std::to_string(sprite.Id()) +
                      "'s position) it needs a sheet of at least " +
                      SizeText(fMask.Width(), rowOffset + fMask.Height()) + ", but " + SheetName(sprite, names) +
                      " is " + SizeText(fColour.Width(), fColour.Height())};
  }

  static std::string SheetName(const SpriteSpec& sprite, const SheetFileNames& names) {
    return sprite.BmpOnly() ? names.paletteImage : names.image;
  }

  // Every cell must lie inside the sheet; the compressors check that too,
  // but only they know neither the file nor the sprite.
  void CheckCellsFit(const SpriteSpec& sprite, const SheetFileNames& names) const {
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    bool outside = false;
    for (std::int32_t i = 0; i < sprite.SpriteCount(); ++i) {
      Rect cell;
      CellOrigin origin;
      CellRecord record;
      sprite.CellRect(i, cell, origin, record);
      right = std::max<std::int64_t>(right, cell.right);
      bottom = std::max<std::int64_t>(bottom, cell.bottom);
      outside = outside || cell.left < 0 || cell.top < 0;
    }
    if (!outside && right <= fColour.Width() && bottom <= fColour.Height()) return;
    InputFatal("tga file too small for some sprite position...did you export all frames?",
               {SheetName(sprite, names), SizeText(fColour.Width(), fColour.Height()) + ", but sprite " +
                                              std::to_string(sprite.Id()) + "'s cells need " + SizeText(right, bottom) +
                                              "; did you export all frames?"});
  }

  void RenderSheet(const std::string& paletteImage, const std::string& image, const RowsDone& rowsDone = {}) {
    fColour.Discard();
    fDepth.Discard();
    MakeOffscreens(paletteImage, image, fColour, fDepth, "palette image", fArgs.fThreads, rowsDone);
    if (!fColour.Exists()) FatalError("cant make dgrps without tga");
  }

  // The alpha image is grey: with the palette's colours cleared, rendering
  // it keeps each pixel's red value, which is its coverage.
  void RenderWithAlpha(const std::string& paletteImage, const std::string& image, const std::string& alphaImage) {
    fColour.Discard();
    fDepth.Discard();
    fAlpha.Discard();
    GetGlobalPalette().ClearColours();
    Offscreen alphaDepth;
    MakeOffscreens("", alphaImage, fAlpha, alphaDepth);
    if (!fAlpha.Exists()) FatalError("Couldn't prepare alpha layer offscreen");
    RenderSheet(paletteImage, image);
    fWrite.Settle();
    PrepareAlpha(ViewOf(fColour), MutableViewOf(fDepth), ViewOf(fAlpha), kAlphaBits);
  }

  const BuildArgs& fArgs;
  iResFile& fFile;
  BuildContext& fContext;
  Offscreen fColour;
  Offscreen fDepth;
  Offscreen fAlpha;
  Offscreen fMask;
  std::string fRenderedSheet;
  FolderListings fFolders;
  PaletteIdCheck fPaletteIds;
  // Declared last so that a write still under way is waited for before
  // anything it uses goes.
  SpriteListWrite fListWrite;
  TrailingWork fWrite;
};

}  // namespace

void GenerateSprites(const BuildArgs& args, iResFile& file, BuildContext& context) {
  SpritePass(args, file, context).Run();
}

}  // namespace pixmold
