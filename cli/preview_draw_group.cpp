#include "preview_draw_group.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <list>
#include <map>
#include <numeric>
#include <set>
#include <vector>

#include "base/work_threads.h"
#include "command_registry.h"
#include "imaging/contact_sheet.h"
#include "imaging/draw_group_compositor.h"
#include "png_writer.h"
#include "resfile/handle_owner.h"

namespace pixmold::cli {
namespace {

constexpr const char* kName = "pixmold preview: ";
constexpr ResType kDrawGroupResType = MakeResType("DGRP");

struct ViewKey {
  int direction = 0;
  int zoom = 0;
};

std::string Stem(ResID id) { return "DGRP_" + std::to_string(id); }

std::string ViewStem(ResID id, const ViewKey& key) {
  return Stem(id) + "_d" + std::to_string(key.direction) + "_z" + std::to_string(key.zoom);
}

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

// One PNG file to write: a composed view's image, or a contact sheet that
// is drawn on the thread that writes it, so drawing it overlaps encoding
// the views.
struct PendingPng {
  std::string path;
  const PreviewImage* image = nullptr;
  const std::vector<ContactSheetCell>* cells = nullptr;
  ContactSheetChannel channel = ContactSheetChannel::kColour;
  std::size_t pixels = 0;
  std::string problem;
};

// Encoding is most of a preview's time and each file is independent, so
// they are spread over threads, the largest first lest a contact sheet
// finish last alone. The paths are listed in their own order afterwards,
// up to the first file that could not be written.
bool WritePngs(std::vector<PendingPng>& pngs, const DrawGroupPreviewOptions& options) {
  std::vector<std::size_t> order(pngs.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return pngs[a].pixels > pngs[b].pixels; });
  RunOnThreads(options.threads, order.size(), [&](std::size_t piece, int) {
    PendingPng& png = pngs[order[piece]];
    if (png.cells != nullptr) {
      png.problem = WritePng(png.path, MakeContactSheet(*png.cells, png.channel));
    } else {
      png.problem = WritePng(png.path, *png.image);
    }
  });
  for (const PendingPng& png : pngs) {
    if (!png.problem.empty()) {
      std::cerr << kName << "cannot write " << png.path << ": " << png.problem << "\n";
      return false;
    }
    if (!options.quiet) std::cout << png.path << "\n";
  }
  return true;
}

std::size_t PixelsOf(const PreviewImage& image) {
  return static_cast<std::size_t>(std::max(image.width, 0)) * static_cast<std::size_t>(std::max(image.height, 0));
}

// Writes draw groups one after another with one compositor, so a list that
// several of them show is read and decoded once.
class DrawGroupWriter {
 public:
  DrawGroupWriter(iResFile& file, const DrawGroupPreviewOptions& options) : fCompositor(file), fOptions(options) {}

  int Write(ResID id) {
    if (std::string problem = fCompositor.Load(id); !problem.empty()) {
      std::cerr << kName << fOptions.file << ": " << problem << "\n";
      return kExitFailed;
    }
    fCompositor.ForgetListsNotShown();
    const std::vector<ViewKey> keys = ChooseViews(fCompositor, fOptions);
    if (keys.empty()) {
      std::cerr << kName << fOptions.file << ": DGRP " << id << " has no view to show\n";
      return kExitFailed;
    }
    std::error_code ec;
    std::filesystem::create_directories(fOptions.outDir, ec);
    if (ec) {
      std::cerr << kName << "cannot create " << fOptions.outDir << ": " << ec.message() << "\n";
      fOutputFailed = true;
      return kExitFailed;
    }

    const std::filesystem::path dir(fOptions.outDir);
    const auto pathOf = [&](const std::string& name) { return (dir / name).string(); };
    std::list<ComposedView> views;  // stable addresses for the contact sheet
    std::vector<PendingPng> pngs;
    NoteList notes;
    for (const ViewKey& key : keys) {
      ComposedView& view = views.emplace_back();
      const std::string where = "DGRP " + std::to_string(id) + " direction " + std::to_string(key.direction) +
                                " zoom " + std::to_string(key.zoom);
      if (std::string problem = fCompositor.Compose(key.direction, key.zoom, view); !problem.empty()) {
        std::cerr << kName << fOptions.file << ": " << where << ": " << problem << "\n";
        return kExitFailed;
      }
      for (const std::string& note : view.notes) notes.Add(note, where);
      const std::string stem = ViewStem(id, key);
      pngs.push_back({pathOf(stem + ".png"), &view.colour, nullptr, {}, PixelsOf(view.colour), {}});
      if (fOptions.channels)
        pngs.push_back({pathOf(stem + "_depth.png"), &view.depth, nullptr, {}, PixelsOf(view.depth), {}});
    }
    std::vector<ContactSheetCell> cells;
    if (!fOptions.direction && !fOptions.zoom) {
      std::vector<ContactSheetView> placed;
      auto view = views.begin();
      for (const ViewKey& key : keys) placed.push_back({key.direction, key.zoom, &*view++});
      cells = ArrangeByDirectionAndZoom(placed);
      const ContactSheetLayout layout = LayOutContactSheet(cells);
      const auto sheetPixels = static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
      pngs.push_back(
          {pathOf(Stem(id) + "_contact.png"), nullptr, &cells, ContactSheetChannel::kColour, sheetPixels, {}});
      if (fOptions.channels) {
        pngs.push_back(
            {pathOf(Stem(id) + "_contact_depth.png"), nullptr, &cells, ContactSheetChannel::kDepth, sheetPixels, {}});
      }
    }
    const bool written = WritePngs(pngs, fOptions);
    std::cout.flush();
    if (!written) {
      fOutputFailed = true;
      return kExitFailed;
    }
    notes.Print(id);
    return kExitOk;
  }

  // A folder or file that cannot be written fails every draw group after
  // it as well, so a walk over them stops there.
  bool OutputFailed() const { return fOutputFailed; }

 private:
  DrawGroupCompositor fCompositor;
  const DrawGroupPreviewOptions& fOptions;
  bool fOutputFailed = false;
};

// The ids of the file's draw groups, each once, smallest first.
std::vector<ResID> DrawGroupIds(iResFile& file) {
  std::set<ResID> ids;
  const std::int32_t count = file.CountResources(kDrawGroupResType);
  for (std::int32_t index = 1; index <= count; ++index) {
    MHandle handle = file.GetIndResource(kDrawGroupResType, index, nullptr);
    if (handle == nullptr) continue;
    ResID id = 0;
    file.GetResID(handle, id);
    file.ReleaseAndDispose(handle);
    ids.insert(id);
  }
  return {ids.begin(), ids.end()};
}

}  // namespace

int WriteDrawGroupPreviews(iResFile& file, const DrawGroupPreviewOptions& options) {
  return DrawGroupWriter(file, options).Write(options.id);
}

int WriteEveryDrawGroupPreview(iResFile& file, const DrawGroupPreviewOptions& options) {
  const std::vector<ResID> ids = DrawGroupIds(file);
  if (ids.empty()) {
    std::cerr << kName << options.file << " holds no DGRP\n";
    return kExitFailed;
  }
  DrawGroupWriter writer(file, options);
  int status = kExitOk;
  for (ResID id : ids) {
    if (writer.Write(id) != kExitOk) status = kExitFailed;
    if (writer.OutputFailed()) break;
  }
  return status;
}

}  // namespace pixmold::cli
