#include "builder/export/list_survey.h"

#include <algorithm>
#include <optional>

#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_runs.h"
#include "imaging/sprite2_stream.h"

namespace pixmold {
namespace {

// The first reason of each kind is enough: a list of 96 frames that all
// carry colour-only pixels says so once.
void AddLoss(ListFacts& facts, std::string text) {
  if (std::find(facts.losses.begin(), facts.losses.end(), text) == facts.losses.end()) {
    facts.losses.push_back(std::move(text));
  }
}

struct EdgeTracker {
  int width = 0;
  int height = 0;
  int top = -1;
  int bottom = -1;
  int left = -1;
  int right = -1;

  void Drawn(int x, int y, int count) {
    if (count <= 0) return;
    if (top < 0) top = y;
    bottom = y;
    left = left < 0 ? x : std::min(left, x);
    right = std::max(right, x + count);
  }
  void Into(FrameFacts& frame) const {
    frame.drawn = top >= 0;
    frame.drawnTop = top == 0;
    frame.drawnBottom = frame.drawn && bottom == height - 1;
    frame.drawnLeft = left == 0;
    frame.drawnRight = frame.drawn && right == width;
  }
};

void SurveySprite2Frame(std::span<const std::uint8_t> frame, ListFacts& facts, std::size_t index) {
  Sprite2FrameHeader header;
  if (auto status = ReadSprite2Header(frame, header); !status.Ok()) {
    facts.unreadable = "frame " + std::to_string(index) + ": " + status.error;
    return;
  }
  if (auto refused = CheckSpriteSize(header.width, header.height, {}); !refused.empty()) {
    facts.unreadable = "frame " + std::to_string(index) + ": " + refused;
    return;
  }
  const bool alphaFrame = header.flags == (sprite2::kColorData | sprite2::kZData | sprite2::kAlphaData);
  if (index == 0) {
    facts.alpha = alphaFrame;
    facts.clearColour = static_cast<std::uint8_t>(header.clearColour);
  }
  if (header.flags != (sprite2::kColorData | sprite2::kZData) && !alphaFrame) {
    AddLoss(facts, "frames with channel flags " + std::to_string(header.flags) + ", not 3 or 7");
  } else if (alphaFrame != facts.alpha) {
    AddLoss(facts, "frames with and without a coverage channel");
  }
  if (header.clearColour != facts.clearColour) AddLoss(facts, "frames with different clear colours");

  EdgeTracker edges{header.width, header.height};
  const auto status = WalkSprite2Runs(frame, header.width, header.height, [&](const Sprite2Token& run, int x, int y) {
    edges.Drawn(x, y, run.data);
    const std::uint8_t* p = run.pixels.data();
    if (run.code == sprite2::kRunP) {
      AddLoss(facts, "pixels drawn without depth");
    } else if (run.code == sprite2::kRunZP) {
      for (int i = 0; i < run.data; ++i) {
        if (p[2 * i] == 255) AddLoss(facts, "pixels drawn at depth 255, which a sheet keeps for nothing drawn");
      }
    } else {
      if (!facts.alpha) AddLoss(facts, "coverage in frames without a coverage channel");
      for (int i = 0; i < run.data; ++i) {
        if (p[3 * i] == 255) AddLoss(facts, "pixels drawn at depth 255, which a sheet keeps for nothing drawn");
        if (p[3 * i + 2] == 0 || p[3 * i + 2] >= kExportFullAlpha) {
          AddLoss(facts, "coverage values a 5-bit alpha image does not give back");
        }
      }
    }
  });
  if (!status.Ok()) {
    facts.unreadable = "frame " + std::to_string(index) + ": " + status.error;
    return;
  }
  FrameFacts out;
  out.width = header.width;
  out.height = header.height;
  out.originX = header.originX;
  out.originY = header.originY;
  edges.Into(out);
  facts.frames.push_back(out);
}

void SurveySprite2(std::span<const std::uint8_t> bytes, ListFacts& facts) {
  Sprite2ListView view;
  if (auto status = ParseSprite2List(bytes, view); !status.Ok()) {
    facts.unreadable = status.error;
    return;
  }
  facts.version = view.version;
  facts.paletteId = view.paletteId;
  std::int64_t pixels = 0;
  for (std::size_t i = 0; i < view.frames.size() && facts.unreadable.empty(); ++i) {
    Sprite2FrameHeader header;
    if (ReadSprite2Header(view.frames[i], header).Ok()) pixels += std::int64_t{header.width} * header.height;
    if (pixels > kMaxExportPixels) {
      facts.unreadable = "its frames hold more pixels than a sheet";
      return;
    }
    SurveySprite2Frame(view.frames[i], facts, i);
  }
}

FrameFacts FactsOf(const DecodedSprite& frame) {
  EdgeTracker edges{frame.width, frame.height};
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      if (frame.Drawn(x, y)) edges.Drawn(x, y, 1);
    }
  }
  FrameFacts out;
  out.width = frame.width;
  out.height = frame.height;
  edges.Into(out);
  return out;
}

void SurveySprite(std::span<const std::uint8_t> bytes, ListFacts& facts) {
  const std::optional<ByteOrder> order = GuessSprListOrder(bytes);
  if (!order) {
    facts.unreadable = "not an SPR# list version";
    return;
  }
  facts.order = *order;
  SprListView view;
  if (auto status = ParseSprList(bytes, *order, view); !status.Ok()) {
    facts.unreadable = status.error;
    return;
  }
  facts.version = view.version;
  facts.paletteId = view.paletteId;
  if (view.version == kSprWallDepthVersion) AddLoss(facts, "a depth-only wall list, which no tag writes");
  facts.depthFrames = view.version == kSprColourDepthVersion;
  if (facts.depthFrames && view.frames.size() % 2 != 0) {
    facts.unreadable = "a colour and depth list with an odd number of frames";
    return;
  }
  const std::size_t colourFrames = facts.depthFrames ? view.frames.size() / 2 : view.frames.size();
  DecodedSprite frame;
  std::int64_t pixels = 0;
  for (std::size_t i = 0; i < view.frames.size(); ++i) {
    SprFrameInfo info;
    SpriteDecodeLimits limits;
    limits.maxPixels = kMaxExportPixels - pixels;
    if (auto status = DecodeSprFrame(view.frames[i], *order, frame, {}, &info, limits); !status.Ok()) {
      facts.unreadable = "frame " + std::to_string(i) + ": " + status.error;
      return;
    }
    pixels += std::int64_t{frame.width} * frame.height;
    if (i >= colourFrames) {
      const FrameFacts& colour = facts.frames[i - colourFrames];
      if (frame.width != colour.width || frame.height != colour.height) {
        AddLoss(facts, "depth frames of another size than their colour frames");
      }
      continue;
    }
    facts.frames.push_back(FactsOf(frame));
    for (std::size_t k = 0; k < frame.colour.size(); ++k) {
      if (frame.kind[k] != PixelKind::kClear) facts.drawnColours.set(frame.colour[k]);
    }
  }
  if (facts.drawnColours.all()) AddLoss(facts, "every colour index drawn, leaving none for the background");
}

}  // namespace

ListFacts SurveyList(const ArtResource& resource, std::span<const std::uint8_t> bytes) {
  ListFacts facts;
  facts.resource = resource;
  if (resource.type == kExportSprite2Type) {
    SurveySprite2(bytes, facts);
  } else {
    SurveySprite(bytes, facts);
  }
  if (!facts.unreadable.empty()) facts.frames.clear();
  return facts;
}

}  // namespace pixmold
