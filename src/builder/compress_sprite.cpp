#include "builder/compress_sprite.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/held_reports.h"
#include "base/report.h"
#include "base/work_threads.h"
#include "base/xassert.h"
#include "builder/build_args.h"
#include "builder/sprite_spec.h"
#include "imaging/offscreen.h"
#include "imaging/pal_wrap.h"
#include "imaging/palette_resource.h"
#include "imaging/pixel_view.h"
#include "imaging/sprite2_compressor.h"
#include "imaging/sprite2_list_builder.h"
#include "imaging/sprite_lists.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

struct Cells {
  std::vector<Rect> rects;
  std::vector<CellRecord> records;
};

Cells CellsOf(const SpriteSpec& spec) {
  const std::int32_t spritesPerZoom = spec.SpritesPerZoom();
  XASSERT(spritesPerZoom == 1 || spritesPerZoom == 2 || spritesPerZoom == 4, "bad number of sprites per zoom");
  Cells cells;
  const std::int32_t count = spec.SpriteCount();
  cells.rects.resize(static_cast<std::size_t>(count));
  cells.records.resize(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    CellOrigin origin;
    const auto at = static_cast<std::size_t>(i);
    spec.CellRect(i, cells.rects[at], origin, cells.records[at]);
  }
  return cells;
}

// A sheet that changed kind (32-bit to 24-bit, or to "bmpfile") would leave
// the list of the other type under the same id, and whatever draws the
// object would go on showing that one. A headline is the exception: its
// SPR# list under the same id is the SPR# list pass's, made on purpose.
void RemoveListOfOtherType(iResFile& file, ResType type, ResID id, bool headline) {
  const ResType other = type == kSprType ? kSpr2Type : kSprType;
  if (other == kSprType && headline) return;
  MHandle old = file.GetResource(other, id, nullptr);
  if (old == nullptr) return;
  const std::string list = ResTypeName(other) + " " + std::to_string(id);
  if (file.RemoveResource(old) != 0) {
    file.ReleaseAndDispose(old);
    Warning("sprite " + std::to_string(id) + " is now an " + ResTypeName(type) + " list, but the " + list +
            " left by an earlier build could not be removed; remove it with pixmold rm");
    return;
  }
  Warning("sprite " + std::to_string(id) + " is now an " + ResTypeName(type) + " list: removed the " + list +
          " left by an earlier build");
}

void WritePalette(iResFile& file, std::int32_t paletteId, OwnedHandle made) {
  if (!made) FatalError("could not add palette to destfile");
  MHandle palette = made.Release();
  file.AddResource(palette, kPaletteResourceType, static_cast<ResID>(paletteId), CTGString(), false);
  if (file.GetError() != 0) {
    // Refused, so still ours.
    DisposeHandle(palette);
    FatalError("could not add palette to destfile");
  }
  file.WriteResource(palette);
  if (file.GetError() != 0) FatalError("could not write palette to destfile");
  file.UpdateFile();
  if (file.GetError() != 0) FatalError("could not update dest file");
  file.ReleaseAndDispose(palette);
  NoteWritten(kPaletteResourceType, paletteId);
}

SpriteListWrite ListWrite(OwnedHandle list, ResType type, const SpriteSpec& spec) {
  SpriteListWrite write;
  write.list = std::move(list);
  write.type = type;
  write.id = static_cast<ResID>(spec.Id());
  write.name = spec.Name();
  write.headline = spec.IsHeadline();
  write.paletteId = spec.PaletteId();
  if (write.paletteId >= 0) write.palette = OwnedHandle(NewPaletteResourceHandle(GetGlobalPalette()));
  return write;
}

// A frame encoded beside the build's thread, with what encoding it
// reported and how it failed, for the assembly to pass on in cell order.
struct EncodedFrame {
  StreamBytes frame;
  std::vector<HeldReport> reports;
  std::exception_ptr failure;
};

// A frame's progress line, then what encoding it reported.
void ReportFrame(std::size_t index, const CellRecord& record, EncodedFrame& frame) {
  ReportLine("Compressing row:" + std::to_string(record.row) + " size:" + std::string(record.sizeName) +
             " column:" + std::to_string(record.column) + " into sprite #" + std::to_string(index));
  PassOn(frame.reports);
}

// The frames follow the offset table in order; each frame's palette id
// field carries the list's, so a frame read on its own knows its colours.
// A list put together from frames encoded beforehand, in one piece of
// memory, each frame's reports and failure coming at its frame.
OwnedHandle AssembleSprite2List(std::vector<EncodedFrame>& encoded, const std::vector<CellRecord>& records,
                                ResID paletteId) {
  const std::size_t count = encoded.size();
  Sprite2ListBuilder list(static_cast<int>(count), paletteId);
  if (!list.Ok()) FatalError("could not allocate memory!");
  std::uint64_t frameBytes = 0;
  for (const EncodedFrame& frame : encoded) frameBytes += frame.frame.size();
  // A list too large to reserve is left to fail where the one-by-one
  // growth fails, at its frame.
  if (frameBytes <= kMaxHandleSize) list.Reserve(static_cast<std::uint32_t>(frameBytes));
  for (std::size_t i = 0; i < count; ++i) {
    ReportFrame(i, records[i], encoded[i]);
    if (encoded[i].failure) std::rethrow_exception(encoded[i].failure);
    const StreamBytes frame = std::move(encoded[i].frame);
    if (frame.empty() || list.Append(static_cast<int>(i), frame) != 0) FatalError("could not allocate memory!");
  }
  return list.Finish();
}

// A rebuild of unchanged art hands the file the frames and the head they
// would have in the list, without putting the list together: the file
// compares them with its own, and when they match the list is kept and only
// its report lines are made. A frame that failed or came out empty leaves
// it to the assembly, which reports it where it always has.
bool KeptUnchanged(iResFile& file, std::vector<EncodedFrame>& encoded, const std::vector<CellRecord>& records,
                   ResID paletteId, ResType type, ResID id, const std::string& name) {
  std::vector<std::uint32_t> sizes;
  sizes.reserve(encoded.size());
  for (EncodedFrame& frame : encoded) {
    if (frame.failure || frame.frame.empty() || (frame.frame.size() & 1) || frame.frame.size() > kMaxHandleSize) {
      return false;
    }
    sizes.push_back(static_cast<std::uint32_t>(frame.frame.size()));
  }
  const std::vector<std::uint8_t> head = Sprite2ListBuilder::Head(sizes, paletteId);
  std::vector<std::span<const std::uint8_t>> pieces{head};
  for (EncodedFrame& frame : encoded) {
    Sprite2ListBuilder::StampPaletteId(frame.frame, paletteId);
    pieces.emplace_back(frame.frame);
  }
  if (!file.KeepIfUnchanged(type, id, CTGString(name), false, pieces)) return false;
  for (std::size_t i = 0; i < encoded.size(); ++i) ReportFrame(i, records[i], encoded[i]);
  return true;
}

// One compressor per thread, on cache lines of its own: a stream writes
// where it ends with every run it takes, and two streams sharing a line
// would pass it between the cores at every run.
struct alignas(64) SlotCompressor {
  Sprite2Compressor compressor;
};

// Frames are independent of each other, so they are all encoded first,
// spread over the threads; the list is put together with its write (on
// the write's thread when the pass writes beside itself): the same list
// and report at any number of threads.
template <typename Encode>
SpriteListWrite MakeSprite2List(const Offscreen& depth, SpriteSpec& spec, int threads, Encode&& encode) {
  Cells cells = CellsOf(spec);
  std::vector<Rect> trimmed;
  TrimCells(depth, cells.rects, trimmed, spec.ShrinkSides(), true, threads);

  const std::size_t count = cells.rects.size();
  std::vector<EncodedFrame> encoded(count);
  std::vector<SlotCompressor> compressors(std::clamp<std::size_t>(static_cast<std::size_t>(threads), 1, count));
  RunOnThreads(threads, count, [&](std::size_t i, int slot) {
    EncodedFrame& out = encoded[i];
    ScopedHeldReports held(out.reports);
    try {
      out.frame = encode(compressors[static_cast<std::size_t>(slot)].compressor, cells.rects[i], trimmed[i]);
    } catch (...) {
      out.failure = std::current_exception();
    }
  });
  spec.SetTrimmedRects(cells.rects, trimmed);
  SpriteListWrite write = ListWrite(OwnedHandle(), kSpr2Type, spec);
  write.assemble = [encoded = std::move(encoded), records = std::move(cells.records),
                    paletteId = static_cast<ResID>(spec.PaletteId()), id = write.id,
                    name = write.name](iResFile& file, bool& kept) mutable {
    kept = KeptUnchanged(file, encoded, records, paletteId, kSpr2Type, id, name);
    return kept ? OwnedHandle() : AssembleSprite2List(encoded, records, paletteId);
  };
  return write;
}

}  // namespace

void SpriteListWrite::WriteTo(iResFile& file) {
  bool kept = false;
  if (assemble) list = std::exchange(assemble, nullptr)(file, kept);
  RemoveListOfOtherType(file, type, id, headline);
  if (!kept) {
    MHandle added = list.Release();
    file.AddResource(added, type, id, CTGString(name), false);
    file.UpdateFile();
    file.ReleaseAndDispose(added);
  }
  NoteWritten(type, id);
  if (paletteId >= 0) WritePalette(file, paletteId, std::move(palette));
}

void NoteWritten(ResType type, std::int32_t id) {
  if (BuildArgs* args = CurrentBuildArgs()) args->fWritten.emplace_back(type, static_cast<ResID>(id));
}

SpriteListWrite CompressSprite(Offscreen& colour, Offscreen& depth, SpriteSpec& spec, int threads) {
  if (depth.Width() == 0 || depth.Height() == 0) {
    const Cells cells = CellsOf(spec);
    std::vector<Rect> trimmed;
    OwnedHandle list(MakeSpriteList(&colour, nullptr, cells.rects, trimmed, spec.ShrinkSides(),
                                    static_cast<ResID>(spec.PaletteId()), true));
    spec.SetTrimmedRects(cells.rects, trimmed);
    return ListWrite(std::move(list), kSprType, spec);
  }
  const PixelView colourView = ViewOf(colour);
  const PixelView depthView = ViewOf(depth);
  return MakeSprite2List(depth, spec, threads, [&](Sprite2Compressor& compressor, const Rect& cell, const Rect& rect) {
    return compressor.EncodeZPBytes(colourView, depthView, cell, rect);
  });
}

SpriteListWrite CompressAlphaSprite(Offscreen& colour, Offscreen& depth, Offscreen& alpha, SpriteSpec& spec,
                                    int threads) {
  const int z_width = depth.Width();
  const int z_height = depth.Height();
  XASSERT(z_width != 0 && z_height != 0, "only supports alpha sprites with z at this time");
  const PixelView colourView = ViewOf(colour);
  const PixelView depthView = ViewOf(depth);
  const PixelView alphaView = ViewOf(alpha);
  return MakeSprite2List(depth, spec, threads, [&](Sprite2Compressor& compressor, const Rect& cell, const Rect& rect) {
    return compressor.EncodeZPABytes(colourView, depthView, alphaView, cell, rect, kAlphaBits);
  });
}

}  // namespace pixmold
