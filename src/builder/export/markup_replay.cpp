#include "builder/export/markup_replay.h"

#include <bit>
#include <ostream>
#include <streambuf>

#include "base/report.h"
#include "base/terminate.h"
#include "builder/tag_dispatch.h"
#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"

namespace pixmold {
namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

std::string ViewName(int direction, std::uint32_t zoom) {
  return "direction " + std::to_string(direction) + " zoom " + std::to_string(zoom);
}

std::string ItemDifference(const DrawGroupItem& a, const DrawGroupItem& b, bool offsets) {
  if (a.spriteId != b.spriteId) return "sprite " + std::to_string(a.spriteId) + " for " + std::to_string(b.spriteId);
  if (a.frameIndex != b.frameIndex)
    return "frame " + std::to_string(a.frameIndex) + " for " + std::to_string(b.frameIndex);
  if (a.flags != b.flags) return "flags " + std::to_string(a.flags) + " for " + std::to_string(b.flags);
  auto bits = [](float f) { return std::bit_cast<std::uint32_t>(f); };
  if (bits(a.altitude) != bits(b.altitude) || bits(a.objectX) != bits(b.objectX) || bits(a.objectY) != bits(b.objectY))
    return "another position in object space";
  if (offsets && (a.offsetX != b.offsetX || a.offsetY != b.offsetY)) {
    return "screen offset " + std::to_string(a.offsetX) + "," + std::to_string(a.offsetY) + " for " +
           std::to_string(b.offsetX) + "," + std::to_string(b.offsetY);
  }
  return {};
}

int DirectionOf(const DrawGroupImage& image) { return std::countr_zero(image.directionMask | 0x100u); }

}  // namespace

MarkupReplay::MarkupReplay(std::string_view markup) : fContext(std::make_unique<BuildContext>(nullptr)) {
  Run([&] {
    MemoryScanner scanner(markup);
    TagList tags;
    ReadTags(scanner, tags);
    DispatchTags(*fContext, tags);
  });
}

MarkupReplay::~MarkupReplay() = default;

template <typename Step>
bool MarkupReplay::Run(Step&& step) {
  if (!fFatal.empty()) return false;
  NullBuffer nothing;
  std::ostream quiet(&nothing);
  ReportTarget target;
  target.stream = &quiet;
  target.observer = [this](ReportKind kind, std::string_view text, std::optional<int>) {
    if (kind == ReportKind::kWarning || kind == ReportKind::kFileWarning) fWarnings.emplace_back(text);
  };
  ScopedReportTarget scope(std::move(target));
  try {
    step();
  } catch (const Terminate& stop) {
    fFatal = stop.Message();
    return false;
  }
  return true;
}

const DGRPSpec* MarkupReplay::FindDrawGroup(std::int32_t id) const {
  for (const DGRPSpec* group : fContext->drawGroups) {
    if (group->Id() == id) return group;
  }
  return nullptr;
}

bool MarkupReplay::ApplyTrims(const TrimSource& trims) {
  return Run([&] {
    for (SpriteSpec* sprite : fContext->sprites) {
      std::vector<Rect> cells(static_cast<std::size_t>(sprite->SpriteCount()));
      for (std::size_t i = 0; i < cells.size(); ++i) {
        CellOrigin origin;
        CellRecord record;
        sprite->CellRect(static_cast<std::int32_t>(i), cells[i], origin, record);
      }
      sprite->SetTrimmedRects(cells, trims(*sprite, cells));
      for (DGRPSpec* group : fContext->drawGroups) group->SetOffsets(*sprite);
    }
  });
}

std::string DrawGroupDifference(const DrawGroup& rebuilt, const DrawGroup& stored, bool offsets) {
  if (rebuilt.images.size() != stored.images.size()) {
    return std::to_string(rebuilt.images.size()) + " images for " + std::to_string(stored.images.size());
  }
  for (std::size_t i = 0; i < stored.images.size(); ++i) {
    const DrawGroupImage& a = rebuilt.images[i];
    const DrawGroupImage& b = stored.images[i];
    if (a.directionMask != b.directionMask || a.zoom != b.zoom) return "its images come in another order";
    const std::string view = ViewName(DirectionOf(b), b.zoom);
    if (a.items.size() != b.items.size()) return view + " has another number of items";
    for (std::size_t k = 0; k < b.items.size(); ++k) {
      const std::string difference = ItemDifference(a.items[k], b.items[k], offsets);
      if (!difference.empty()) return view + ", item " + std::to_string(k) + ": " + difference;
    }
  }
  return {};
}

std::vector<OffsetConstraint> OffsetConstraints(const BuildContext& context, const DGRPSpec& rebuilt,
                                                const DrawGroup& stored) {
  std::vector<OffsetConstraint> constraints;
  for (const SpriteSpec* sprite : context.sprites) {
    const SpriteUse* use = rebuilt.FindUse(sprite);
    if (use == nullptr) continue;
    for (int zoom = 1; zoom <= 3; ++zoom) {
      for (int d = 0; d < 8; ++d) {
        if (d % 2 != 0 && !sprite->HasDiagonals()) continue;
        OffsetConstraint constraint;
        constraint.spriteId = sprite->Id();
        const int direction = static_cast<int>(((d + use->directionOffset) % 8 + 8) % 8);
        sprite->FrameFor(direction, zoom, 0, constraint.frame, constraint.mirrored);
        const DrawGroupImage* ours = rebuilt.Group().FindImage(d, static_cast<std::uint32_t>(zoom));
        const DrawGroupImage* theirs = stored.FindImage(d, static_cast<std::uint32_t>(zoom));
        if (ours == nullptr || theirs == nullptr || ours->items.size() != theirs->items.size()) continue;
        for (std::size_t k = 0; k < ours->items.size(); ++k) {
          if (ours->items[k].spriteId != sprite->Id()) continue;
          constraint.x = theirs->items[k].offsetX;
          constraint.y = theirs->items[k].offsetY;
          constraints.push_back(constraint);
        }
      }
    }
  }
  return constraints;
}

}  // namespace pixmold
