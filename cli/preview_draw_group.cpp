#include "preview_draw_group.h"

#include <filesystem>
#include <iostream>
#include <list>
#include <map>
#include <vector>

#include "command_registry.h"
#include "imaging/contact_sheet.h"
#include "imaging/draw_group_compositor.h"
#include "png_writer.h"

namespace pixmold::cli {
namespace {

constexpr const char* kName = "pixmold preview: ";

struct ViewKey {
  int direction = 0;
  int zoom = 0;
};

std::string Stem(ResID id) { return "DGRP_" + std::to_string(id); }

std::string ViewStem(ResID id, const ViewKey& key) {
  return Stem(id) + "_d" + std::to_string(key.direction) + "_z" + std::to_string(key.zoom);
}

class PngOutput {
 public:
  PngOutput(const DrawGroupPreviewOptions& options) : fOptions(options), fDir(options.outDir) {}

  bool Write(const std::string& name, const PreviewImage& image) const {
    const std::string path = (fDir / name).string();
    const std::string problem = WritePng(path, image);
    if (!problem.empty()) {
      std::cerr << kName << "cannot write " << path << ": " << problem << "\n";
      return false;
    }
    if (!fOptions.quiet) std::cout << path << "\n";
    return true;
  }

 private:
  const DrawGroupPreviewOptions& fOptions;
  std::filesystem::path fDir;
};

// The views asked for, zoom 3 first, directions in order; those the draw
// group lacks are left out unless both were named.
std::vector<ViewKey> ChooseViews(const DrawGroupCompositor& compositor, const DrawGroupPreviewOptions& options) {
  std::vector<ViewKey> views;
  for (int zoom = 3; zoom >= 1; --zoom) {
    if (options.zoom && *options.zoom != zoom) continue;
    for (int direction = 0; direction < 8; ++direction) {
      if (options.direction && *options.direction != direction) continue;
      if (compositor.HasView(direction, zoom) || (options.direction && options.zoom))
        views.push_back({direction, zoom});
    }
  }
  return views;
}

// A missing list is missing from every view that shows it: each note is
// said once, with the view it came from or how many views repeat it.
class NoteList {
 public:
  void Add(const std::string& note, const std::string& where) {
    auto [entry, added] = fViews.try_emplace(note, where, 0);
    if (added) fOrder.push_back(note);
    ++entry->second.second;
  }
  void Print(ResID id) const {
    for (const std::string& note : fOrder) {
      const auto& [where, count] = fViews.at(note);
      if (count == 1) {
        std::cerr << kName << where << ": " << note << "\n";
      } else {
        std::cerr << kName << "DGRP " << id << ", " << count << " views: " << note << "\n";
      }
    }
  }

 private:
  std::map<std::string, std::pair<std::string, int>> fViews;
  std::vector<std::string> fOrder;
};

}  // namespace

int WriteDrawGroupPreviews(iResFile& file, const DrawGroupPreviewOptions& options) {
  DrawGroupCompositor compositor(file);
  if (std::string problem = compositor.Load(options.id); !problem.empty()) {
    std::cerr << kName << options.file << ": " << problem << "\n";
    return kExitFailed;
  }
  const std::vector<ViewKey> keys = ChooseViews(compositor, options);
  if (keys.empty()) {
    std::cerr << kName << options.file << ": DGRP " << options.id << " has no view to show\n";
    return kExitFailed;
  }
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    std::cerr << kName << "cannot create " << options.outDir << ": " << ec.message() << "\n";
    return kExitFailed;
  }

  const PngOutput output(options);
  std::list<ComposedView> views;  // stable addresses for the contact sheet
  NoteList notes;
  for (const ViewKey& key : keys) {
    ComposedView& view = views.emplace_back();
    const std::string where = "DGRP " + std::to_string(options.id) + " direction " + std::to_string(key.direction) +
                              " zoom " + std::to_string(key.zoom);
    if (std::string problem = compositor.Compose(key.direction, key.zoom, view); !problem.empty()) {
      std::cerr << kName << options.file << ": " << where << ": " << problem << "\n";
      return kExitFailed;
    }
    for (const std::string& note : view.notes) notes.Add(note, where);
    const std::string stem = ViewStem(options.id, key);
    if (!output.Write(stem + ".png", view.colour)) return kExitFailed;
    if (options.channels && !output.Write(stem + "_depth.png", view.depth)) return kExitFailed;
  }
  if (!options.direction && !options.zoom) {
    std::vector<ContactSheetView> placed;
    auto view = views.begin();
    for (const ViewKey& key : keys) placed.push_back({key.direction, key.zoom, &*view++});
    const std::vector<ContactSheetCell> cells = ArrangeByDirectionAndZoom(placed);
    if (!output.Write(Stem(options.id) + "_contact.png", MakeContactSheet(cells, ContactSheetChannel::kColour))) {
      return kExitFailed;
    }
    if (options.channels &&
        !output.Write(Stem(options.id) + "_contact_depth.png", MakeContactSheet(cells, ContactSheetChannel::kDepth))) {
      return kExitFailed;
    }
  }
  std::cout.flush();
  notes.Print(options.id);
  return kExitOk;
}

}  // namespace pixmold::cli
