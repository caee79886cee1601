#include "imaging/sprite_preview.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "imaging/spr_decoder.h"
#include "imaging/spr_list.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_stream.h"

namespace pixmold {
namespace {

SpriteDecodeStatus DecodeSprite2List(std::span<const std::uint8_t> list, PreviewList& out,
                                     const SpriteDecodeLimits& limits) {
  Sprite2ListView view;
  if (auto status = ParseSprite2List(list, view, limits); !status.Ok()) return status;
  out.version = view.version;
  out.paletteId = view.paletteId;
  out.frames.resize(view.frames.size());
  for (std::size_t i = 0; i < view.frames.size(); ++i) {
    Sprite2FrameHeader header;
    auto status = DecodeSprite2Frame(view.frames[i], out.frames[i].pixels, &header, limits);
    if (!status.Ok()) {
      status.error = "frame " + std::to_string(i) + ": " + status.error;
      status.offset += static_cast<std::size_t>(view.frames[i].data() - list.data());
      return status;
    }
    out.frames[i].hasDepth = (header.flags & sprite2::kZData) != 0;
    out.frames[i].hasAlpha = (header.flags & sprite2::kAlphaData) != 0;
  }
  return {};
}

// The depth a drawn pixel of a depth frame stores is its index; a clear one
// stores nothing, which depth offscreens call 255.
void TakeDepth(DecodedSprite& frame, const DecodedSprite& depthFrame) {
  for (std::size_t i = 0, n = depthFrame.kind.size(); i < n; ++i) {
    frame.depth[i] = depthFrame.kind[i] == PixelKind::kClear ? 255 : depthFrame.colour[i];
  }
}

SpriteDecodeStatus DecodeSprList(std::span<const std::uint8_t> list, PreviewList& out,
                                 const SpriteDecodeLimits& limits) {
  const std::optional<ByteOrder> order = GuessSprListOrder(list);
  if (!order) return SpriteDecodeStatus::Fail("not an SPR# list version", 0);
  SprListView view;
  if (auto status = ParseSprList(list, *order, view, limits); !status.Ok()) return status;
  out.version = view.version;
  out.paletteId = view.paletteId;

  std::vector<DecodedSprite> decoded(view.frames.size());
  for (std::size_t i = 0; i < view.frames.size(); ++i) {
    auto status = DecodeSprFrame(view.frames[i], *order, decoded[i], SprSettings{}, nullptr, limits);
    if (!status.Ok()) {
      status.error = "frame " + std::to_string(i) + ": " + status.error;
      status.offset += static_cast<std::size_t>(view.frames[i].data() - list.data());
      return status;
    }
  }

  if (view.version == kSprColourDepthVersion) {
    if (decoded.size() % 2 != 0) return SpriteDecodeStatus::Fail("colour and depth list with an odd frame count", 4);
    const std::size_t half = decoded.size() / 2;
    out.frames.resize(half);
    for (std::size_t i = 0; i < half; ++i) {
      const DecodedSprite& depthFrame = decoded[half + i];
      if (depthFrame.width != decoded[i].width || depthFrame.height != decoded[i].height) {
        return SpriteDecodeStatus::Fail(
            "depth frame " + std::to_string(half + i) + " differs in size from its colour frame",
            static_cast<std::size_t>(view.frames[half + i].data() - list.data()));
      }
      out.frames[i].pixels = std::move(decoded[i]);
      TakeDepth(out.frames[i].pixels, depthFrame);
      out.frames[i].hasDepth = true;
    }
    return {};
  }
  out.frames.resize(decoded.size());
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    out.frames[i].pixels = std::move(decoded[i]);
    if (view.version == kSprWallDepthVersion) {
      // A depth-only list: each frame is its own depth channel.
      TakeDepth(out.frames[i].pixels, out.frames[i].pixels);
      out.frames[i].hasDepth = true;
    }
  }
  return {};
}

PreviewImage Blank(const DecodedSprite& frame, int channels) {
  PreviewImage image;
  image.width = frame.width;
  image.height = frame.height;
  image.channels = channels;
  image.pixels.assign(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) *
                          static_cast<std::size_t>(channels),
                      0);
  return image;
}

}  // namespace

SpriteDecodeStatus DecodePreviewList(ResType type, std::span<const std::uint8_t> list, PreviewList& out,
                                     const SpriteDecodeLimits& limits) {
  out = PreviewList{};
  SpriteDecodeStatus status;
  if (type == kSprite2Type) {
    status = DecodeSprite2List(list, out, limits);
  } else if (type == kSpriteType) {
    status = DecodeSprList(list, out, limits);
  } else {
    status = SpriteDecodeStatus::Fail("not a sprite list type: " + ResTypeName(type), 0);
  }
  if (!status.Ok()) out = PreviewList{};
  return status;
}

PreviewPalette GreyRampPalette() {
  PreviewPalette palette{};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    palette[i] = {v, v, v};
  }
  return palette;
}

PreviewPalette PaletteFromResource(const PaletteResource& resource) {
  PreviewPalette palette{};
  const std::size_t count = resource.mCount < palette.size() ? resource.mCount : palette.size();
  for (std::size_t i = 0; i < count; ++i) palette[i] = resource.mColours[i];
  return palette;
}

PreviewImage ColourImage(const DecodedSprite& frame, const PreviewPalette& palette) {
  PreviewImage image = Blank(frame, 4);
  for (std::size_t i = 0, n = frame.kind.size(); i < n; ++i) {
    if (frame.kind[i] == PixelKind::kClear) continue;
    const auto& rgb = palette[frame.colour[i]];
    std::uint8_t* out = &image.pixels[4 * i];
    out[0] = rgb[0];
    out[1] = rgb[1];
    out[2] = rgb[2];
    out[3] = 255;
  }
  return image;
}

PreviewImage DepthImage(const DecodedSprite& frame) {
  PreviewImage image = Blank(frame, 1);
  image.pixels = frame.depth;
  return image;
}

PreviewImage AlphaImage(const DecodedSprite& frame, int alphaBits) {
  PreviewImage image = Blank(frame, 1);
  const int full = (1 << alphaBits) - 1;
  for (std::size_t i = 0, n = frame.kind.size(); i < n; ++i) {
    switch (frame.kind[i]) {
      case PixelKind::kClear: break;
      case PixelKind::kAlpha: {
        const int stored = frame.alpha[i] > full ? full : frame.alpha[i];
        image.pixels[i] = static_cast<std::uint8_t>((stored * 255 + full / 2) / full);
        break;
      }
      default: image.pixels[i] = 255; break;
    }
  }
  return image;
}

std::string PreviewFileStem(ResType type, ResID id, std::size_t frame) {
  char number[32];
  std::snprintf(number, sizeof number, "_%d_frame%03zu", static_cast<int>(id), frame);
  return ResTypeName(type) + number;
}

}  // namespace pixmold
