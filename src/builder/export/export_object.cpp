#include "builder/export/export_object.h"

#include <algorithm>
#include <set>

#include "builder/export/draw_group_reading.h"
#include "builder/export/markup_replay.h"
#include "builder/export/markup_text.h"
#include "builder/export/shape_inference.h"
#include "builder/export/sheet_files_writer.h"
#include "builder/export/sheet_layout.h"
#include "builder/export/sheet_painting.h"
#include "builder/export/sprite_shape.h"
#include "builder/sheet_files.h"
#include "builder/sprite_spec.h"
#include "filelib/file_system.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"
#include "resfile/recon_stream.h"

namespace pixmold {
namespace {

constexpr std::int32_t kHeadlinePalette = 50;
constexpr std::size_t kMaxMarkupName = 63;

std::string FrameCountProblem(std::size_t count) {
  return std::to_string(count) +
         " frames, which no sprite tag makes (three zooms of 1, 2 or 4 views, times its frames)";
}

class Exporter {
 public:
  Exporter(iResFile& file, FileSystem& files, const ExportRequest& request)
      : fFile(file), fFiles(files), fRequest(request) {
    fBytes = [this](const ArtResource& resource) -> std::optional<std::vector<std::uint8_t>> {
      auto loaded = LoadArtBytes(fFile, resource.type, resource.id, fRequest.variant);
      if (!loaded) return std::nullopt;
      return std::move(loaded->bytes);
    };
  }

  ExportResult Run() {
    ReadResources();
    PlanSpriteTags();
    SelectDrawGroups();
    ShapeOracle oracle;
    InferShapesAndItems(fPlan, oracle);
    const std::vector<OffsetConstraint> constraints = ReplayStructure();
    const std::vector<std::int32_t> leftOut = LayOutSheets(fPlan, constraints, fRequest.baseName, fBytes);
    LeaveOutUsersOf(leftOut);
    std::string markup = ReplayGeometry();
    CheckPalettes();
    Write(markup);
    return Finish();
  }

 private:
  // --- reading -------------------------------------------------------------

  void ReadResources() {
    const auto sprite2 = ListArtResources(fFile, kExportSprite2Type, fRequest.variant);
    const auto sprites = ListArtResources(fFile, kExportSpriteType, fRequest.variant);
    fPlan.lists.reserve(sprite2.size() + sprites.size());
    for (const auto* kind : {&sprite2, &sprites}) {
      for (const ArtResource& resource : *kind) {
        const auto bytes = fBytes(resource);
        if (!bytes) {
          fPlan.LeaveOut(ArtLabel(resource.type, resource.id), "it cannot be read from the object file");
          continue;
        }
        fPlan.lists.push_back(SurveyList(resource, *bytes));
      }
    }
    for (const ArtResource& resource : ListArtResources(fFile, kExportPaletteType, fRequest.variant)) {
      const auto bytes = LoadArtBytes(fFile, resource.type, resource.id, fRequest.variant);
      if (!bytes) continue;
      StoredPalette palette;
      palette.bytes = bytes->bytes;
      const auto decoded = DecodePaletteResource(palette.bytes);
      if (decoded && decoded->mVersion == kPaletteResourceVersion && decoded->mCount >= 1 && decoded->mCount <= 256) {
        std::array<PaletteEntry, 256> colours{};
        for (std::uint32_t i = 0; i < decoded->mCount; ++i) {
          colours[i] = {decoded->mColours[i][0], decoded->mColours[i][1], decoded->mColours[i][2], 0};
        }
        palette.colours = colours;
      }
      fPlan.storedPalettes.emplace(resource.id, std::move(palette));
    }
    for (const ArtResource& resource : ListArtResources(fFile, kExportDrawGroupType, fRequest.variant)) {
      DrawGroupTagPlan group;
      group.resource = resource;
      const auto bytes = LoadArtBytes(fFile, resource.type, resource.id, fRequest.variant);
      std::string problem =
          bytes ? ReadDrawGroup(*bytes, resource.id, group.stored) : "it cannot be read from the object file";
      group.stored.name = resource.name;
      if (problem.empty()) problem = MarkupValueProblem(resource.name, kMaxMarkupName);
      if (!problem.empty()) {
        group.leftOut = true;
        fPlan.LeaveOut(ArtLabel(resource.type, resource.id), problem);
      }
      fPlan.drawGroups.push_back(std::move(group));
    }
  }

  std::string ReadDrawGroup(const ArtBytes& bytes, ResID id, DrawGroup& group) {
    ReconStream reader = ReconStream::Reader(bytes.bytes, !bytes.native);
    group.Reconstitute(reader);
    if (reader.Failed()) return "its record is damaged";
    // A build writes the current version in the file's own byte order; a
    // record stored otherwise comes back with the same views, not the same
    // bytes.
    ReconStream sizing;
    group.Reconstitute(sizing);
    std::vector<std::uint8_t> rewritten(static_cast<std::size_t>(sizing.Position()));
    ReconStream writer = ReconStream::Writer(rewritten, false);
    group.Reconstitute(writer);
    if (rewritten != bytes.bytes) fNotByteExact.insert(id);
    return {};
  }

  // --- sprite tags -----------------------------------------------------------

  static bool LooksLikeHeadline(const ListFacts& list) {
    static constexpr int kWidths[] = {64, 32, 15};
    if (list.IsSprite2() || list.paletteId != kHeadlinePalette || list.frames.empty() || list.frames.size() % 3 != 0)
      return false;
    for (std::size_t i = 0; i < list.frames.size(); ++i) {
      if (list.frames[i].width != kWidths[i % 3]) return false;
    }
    return true;
  }

  const ListFacts* FindList(ResType type, std::int32_t id) const {
    for (const ListFacts& list : fPlan.lists) {
      if (list.resource.type == type && list.resource.id == id) return &list;
    }
    return nullptr;
  }

  void LeaveOutList(const ListFacts& list, const std::string& why) {
    fPlan.LeaveOut(ArtLabel(list.resource.type, list.resource.id), why);
  }

  std::string ListProblem(const ListFacts& list) {
    if (!list.unreadable.empty()) return "it cannot be decoded: " + list.unreadable;
    if (!list.losses.empty()) {
      std::string why = "a sheet cannot carry its ";
      for (std::size_t i = 0; i < list.losses.size(); ++i) why += (i ? "; " : "") + list.losses[i];
      return why;
    }
    return MarkupValueProblem(list.resource.name, kMaxMarkupName);
  }

  void PlanSpriteTags() {
    std::set<std::int32_t> headlineIds;
    for (const ListFacts& list : fPlan.lists) {
      if (!LooksLikeHeadline(list)) continue;
      SpriteTagPlan sprite;
      sprite.id = list.resource.id;
      sprite.name = list.resource.name;
      sprite.headlineList = &list;
      const ListFacts* twin = FindList(kExportSprite2Type, list.resource.id);
      if (twin != nullptr && twin->frames.size() == list.frames.size()) sprite.list = twin;
      sprite.paletteId =
          sprite.list ? sprite.list->paletteId : (fPlan.storedPalettes.count(kHeadlinePalette) ? kHeadlinePalette : -1);
      std::string problem = ListProblem(list);
      if (problem.empty() && sprite.list) problem = ListProblem(*sprite.list);
      if (!problem.empty()) {
        sprite.leftOut = true;
        LeaveOutList(list, problem);
      }
      headlineIds.insert(sprite.id);
      fPlan.sprites.push_back(std::move(sprite));
    }
    for (const ListFacts& list : fPlan.lists) {
      if (headlineIds.count(list.resource.id)) {
        if (!LooksLikeHeadline(list) && !(list.IsSprite2() && fPlan.FindSprite(list.resource.id)->list == &list))
          LeaveOutList(list, "its id is a headline's, whose tag writes the lists of that id");
        continue;
      }
      if (!list.IsSprite2() && FindList(kExportSprite2Type, list.resource.id)) {
        LeaveOutList(list, "the object also has SPR2 " + std::to_string(list.resource.id) +
                               ", and one sprite tag writes one list of its id");
        continue;
      }
      SpriteTagPlan sprite;
      sprite.id = list.resource.id;
      sprite.name = list.resource.name;
      sprite.list = &list;
      sprite.paletteId = list.paletteId;
      std::string problem = ListProblem(list);
      if (problem.empty() && !list.IsSprite2() && list.depthFrames)
        problem = "a colour and depth list that is not a headline's, which no sprite tag writes";
      if (problem.empty() && ShapesWithFrameCount(static_cast<int>(list.frames.size())).empty())
        problem = FrameCountProblem(list.frames.size());
      if (!problem.empty()) {
        sprite.leftOut = true;
        LeaveOutList(list, problem);
      }
      fPlan.sprites.push_back(std::move(sprite));
    }
  }

  // With draw groups asked for, only those and the sprites their views show.
  void SelectDrawGroups() {
    if (fRequest.drawGroupIds.empty()) return;
    const auto& wanted = fRequest.drawGroupIds;
    std::erase_if(fPlan.drawGroups, [&](const DrawGroupTagPlan& group) {
      return std::find(wanted.begin(), wanted.end(), group.resource.id) == wanted.end();
    });
    std::erase_if(fPlan.problems, [&](const ExportProblem& problem) {
      return problem.what.rfind("DGRP ", 0) == 0 &&
             std::none_of(fPlan.drawGroups.begin(), fPlan.drawGroups.end(), [&](const DrawGroupTagPlan& group) {
               return ArtLabel(group.resource.type, group.resource.id) == problem.what;
             });
    });
    std::set<std::int32_t> shown;
    for (const DrawGroupTagPlan& group : fPlan.drawGroups) {
      for (const DrawGroupImage& image : group.stored.images) {
        for (const DrawGroupItem& item : image.items) shown.insert(item.spriteId);
      }
    }
    std::erase_if(fPlan.sprites, [&](const SpriteTagPlan& sprite) { return !shown.count(sprite.id); });
    std::erase_if(fPlan.problems, [&](const ExportProblem& problem) {
      return problem.what.rfind("DGRP ", 0) != 0 && !shown.count(IdOf(problem.what));
    });
    fSelected = true;
  }

  static std::int32_t IdOf(const std::string& label) {
    const std::size_t space = label.find(' ');
    return space == std::string::npos ? 0 : static_cast<std::int32_t>(std::stol(label.substr(space + 1)));
  }

  // --- replays -------------------------------------------------------------

  MarkupHeading Heading() const { return {fRequest.source, fRequest.target}; }
  // A replay has no object file to find a target in; nothing else reads one.
  MarkupHeading ReplayHeading() const { return {fRequest.source, std::nullopt}; }

  void LeaveOutGroup(DrawGroupTagPlan& group, const std::string& why) {
    if (group.leftOut) return;
    group.leftOut = true;
    fPlan.LeaveOut(ArtLabel(group.resource.type, group.resource.id), why);
  }

  // The markup without sheets tells which frame every view shows; a draw
  // group whose views come back otherwise is left out. What remains fixes
  // the screen offsets each frame must produce.
  std::vector<OffsetConstraint> ReplayStructure() {
    MarkupReplay replay(MarkupText(fPlan, ReplayHeading(), false));
    std::vector<OffsetConstraint> constraints;
    for (DrawGroupTagPlan& group : fPlan.drawGroups) {
      if (group.leftOut) continue;
      const DGRPSpec* rebuilt = replay.Fatal().empty() ? replay.FindDrawGroup(group.resource.id) : nullptr;
      if (rebuilt == nullptr) {
        LeaveOutGroup(group, "its markup does not read: " + replay.Fatal());
        continue;
      }
      const std::string difference = DrawGroupDifference(rebuilt->Group(), group.stored, false);
      if (!difference.empty()) {
        LeaveOutGroup(group, "the markup would give " + difference);
        continue;
      }
      const auto more = OffsetConstraints(replay.Context(), *rebuilt, group.stored);
      constraints.insert(constraints.end(), more.begin(), more.end());
    }
    return constraints;
  }

  void LeaveOutUsersOf(const std::vector<std::int32_t>& ids) {
    if (ids.empty()) return;
    for (DrawGroupTagPlan& group : fPlan.drawGroups) {
      for (const DrawGroupImage& image : group.stored.images) {
        for (const DrawGroupItem& item : image.items) {
          if (std::find(ids.begin(), ids.end(), item.spriteId) != ids.end())
            LeaveOutGroup(group, "it shows sprite " + std::to_string(item.spriteId) + ", which is left out");
        }
      }
    }
  }

  // The finished markup, read again with every frame trimmed where its
  // sheet puts it; a draw group whose offsets still differ is left out.
  std::string ReplayGeometry() {
    fReplay = std::make_unique<MarkupReplay>(MarkupText(fPlan, ReplayHeading(), true));
    const bool applied =
        fReplay->Fatal().empty() && fReplay->ApplyTrims([&](const SpriteSpec& spec, const std::vector<Rect>& cells) {
          std::vector<Rect> trims(cells.size());
          const SpriteTagPlan* sprite = fPlan.FindSprite(spec.Id());
          for (std::size_t i = 0; i < cells.size(); ++i) {
            trims[i] = sprite ? PlannedTrim(*sprite, static_cast<int>(i), cells[i]) : cells[i];
          }
          return trims;
        });
    for (DrawGroupTagPlan& group : fPlan.drawGroups) {
      if (group.leftOut) continue;
      const DGRPSpec* rebuilt = applied ? fReplay->FindDrawGroup(group.resource.id) : nullptr;
      const std::string difference =
          rebuilt ? DrawGroupDifference(rebuilt->Group(), group.stored, true) : "no draw group: " + fReplay->Fatal();
      if (!difference.empty()) {
        LeaveOutGroup(group, "no cell geometry gives its offsets: the markup would give " + difference);
      } else if (fNotByteExact.count(group.resource.id)) {
        fPlan.LeaveOut(ArtLabel(group.resource.type, group.resource.id),
                       "written, but a build stores it as version 20004 in the file's byte order, not as it is");
      }
    }
    return MarkupText(fPlan, Heading(), true);
  }

  // --- palettes --------------------------------------------------------------

  void CheckPalettes() {
    std::set<std::int32_t> written;
    for (const SpriteTagPlan& sprite : fPlan.sprites) {
      if (sprite.leftOut || sprite.paletteId < 0 || sprite.sheet < 0) continue;
      if (!written.insert(sprite.paletteId).second) continue;
      const SheetPlan& sheet = fPlan.sheets[static_cast<std::size_t>(sprite.sheet)];
      PalWrap palette;
      palette.SetFromColours(sheet.colours, false);
      const std::vector<std::uint8_t> rebuilt = EncodePaletteResource(palette);
      const std::string label = ArtLabel(kExportPaletteType, sprite.paletteId);
      auto stored = fPlan.storedPalettes.find(sprite.paletteId);
      if (stored == fPlan.storedPalettes.end()) {
        fPlan.Warn(label, "the object has none; a build writes it from the sheet's palette image");
      } else if (stored->second.bytes != rebuilt) {
        fPlan.LeaveOut(label, "written, but a build stores it as 256 colours of version 1, not as it is");
      }
    }
    fPlan.palettes.assign(written.begin(), written.end());
    if (fSelected) return;
    for (const auto& [id, palette] : fPlan.storedPalettes) {
      if (!written.count(id))
        fPlan.LeaveOut(ArtLabel(kExportPaletteType, id),
                       "no sprite tag written names it, and markup writes a palette "
                       "only for a sprite");
    }
  }

  // --- files ---------------------------------------------------------------

  const SpriteSpec* SpecOf(std::int32_t id) const {
    for (const SpriteSpec* spec : fReplay->Context().sprites) {
      if (spec->Id() == id) return spec;
    }
    return nullptr;
  }

  std::string PaintSheet(const SheetPlan& sheet, SheetCanvas& canvas) {
    for (std::size_t index : sheet.sprites) {
      const SpriteTagPlan& sprite = fPlan.sprites[index];
      if (sprite.leftOut) continue;
      if (sprite.IsHeadline())
        return PaintHeadline(sprite, HeadlineCutsAt(sprite.shape.frames, sprite.position), canvas, fBytes);
      const SpriteSpec* spec = SpecOf(sprite.id);
      if (spec == nullptr) return "sprite " + std::to_string(sprite.id) + " is missing from the markup";
      if (std::string problem = PaintSprite(sprite, *spec, canvas, fBytes); !problem.empty()) return problem;
    }
    return {};
  }

  bool Written(const SheetPlan& sheet) const {
    return std::any_of(sheet.sprites.begin(), sheet.sprites.end(),
                       [&](std::size_t i) { return !fPlan.sprites[i].leftOut; });
  }

  // Every file the export would write that is there already.
  std::string FirstExisting() const {
    std::vector<std::string> paths = {fRequest.directory + fRequest.baseName + ".omk"};
    for (const SheetPlan& sheet : fPlan.sheets) {
      if (!Written(sheet)) continue;
      const SheetFileNames names = DeriveSheetFileNames(fRequest.directory, sheet.fileName);
      paths.insert(paths.end(), {names.image, names.paletteImage});
      if (sheet.alpha) paths.push_back(names.alphaImage);
    }
    for (const std::string& path : paths) {
      if (fFiles.Kind(path) != EntryKind::kMissing) return path;
    }
    return {};
  }

  void Write(const std::string& markup) {
    if (fRequest.keepExistingFiles) {
      if (const std::string existing = FirstExisting(); !existing.empty()) {
        fResult.failure = existing + " is there already; an export replaces no file";
        return;
      }
    }
    for (const SheetPlan& sheet : fPlan.sheets) {
      if (!Written(sheet)) continue;
      fCanvas.Reset(sheet.width, sheet.height, sheet.background, sheet.alpha, sheet.kind == SheetKind::kHeadline);
      SheetCanvas& canvas = fCanvas;
      if (std::string problem = PaintSheet(sheet, canvas); !problem.empty()) {
        Fail("cannot draw " + sheet.fileName + ": " + problem);
        return;
      }
      if (std::string problem = WriteSheetFiles(fFiles, fRequest.directory, sheet, canvas, fScratch, fResult.files);
          !problem.empty()) {
        Fail(problem);
        return;
      }
      fResult.sheetPixels += std::int64_t{sheet.width} * sheet.height;
    }
    const std::string path = fRequest.directory + fRequest.baseName + ".omk";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(markup.data()), markup.size());
    if (!WriteWholeFile(fFiles, path, bytes)) {
      fFiles.Remove(path);
      Fail("cannot write " + path);
      return;
    }
    fResult.files.push_back(path);
    fResult.markupFile = path;
  }

  void Fail(const std::string& why) {
    fResult.failure = why;
    for (const std::string& path : fResult.files) fFiles.Remove(path);
    fResult.files.clear();
    fResult.sheetPixels = 0;
  }

  ExportResult Finish() {
    if (fResult.failure.empty()) {
      for (const SpriteTagPlan& sprite : fPlan.sprites) {
        if (sprite.leftOut) continue;
        const std::string sheet = fPlan.sheets[static_cast<std::size_t>(sprite.sheet)].fileName;
        if (sprite.IsHeadline()) {
          if (sprite.list) fResult.sprites.push_back({"SPR2", sprite.id, true, sheet});
          fResult.sprites.push_back({"SPR#", sprite.id, true, sheet});
        } else {
          fResult.sprites.push_back({sprite.list->IsSprite2() ? "SPR2" : "SPR#", sprite.id, false, sheet});
        }
      }
      for (const DrawGroupTagPlan& group : fPlan.drawGroups) {
        if (!group.leftOut) fResult.drawGroups.push_back(group.resource.id);
      }
      fResult.palettes = fPlan.palettes;
    }
    fResult.problems = fPlan.problems;
    fResult.warnings = fPlan.warnings;
    return std::move(fResult);
  }

  iResFile& fFile;
  FileSystem& fFiles;
  const ExportRequest& fRequest;
  ListBytesSource fBytes;
  ArtPlan fPlan;
  bool fSelected = false;
  std::set<ResID> fNotByteExact;
  std::unique_ptr<MarkupReplay> fReplay;
  // Kept from sheet to sheet, so a large export touches fresh memory once.
  SheetCanvas fCanvas;
  std::vector<std::uint8_t> fScratch;
  ExportResult fResult;
};

}  // namespace

ExportResult ExportObjectArt(iResFile& file, FileSystem& files, const ExportRequest& request) {
  return Exporter(file, files, request).Run();
}

}  // namespace pixmold
