// Helpers for the build tests: markup text read into tags as a file would
// be, a build in progress to read it in, a captured report, a check that a
// statement ends the build with an exact message, and sprite specs read
// from one tag.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "builder/build_args.h"
#include "builder/build_context.h"
#include "builder/render_spec.h"
#include "builder/sprite_spec.h"
#include "builder/tag_dispatch.h"
#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"
#include "support/assert_capture.h"

namespace pixmold::testing {

inline std::unique_ptr<TagList> ReadMarkup(std::string_view text) {
  auto tags = std::make_unique<TagList>();
  MemoryScanner source(text);
  ReadTags(source, *tags);
  return tags;
}

// One tag, kept alive with its list.
struct OneTag {
  explicit OneTag(std::string_view text) : tags(ReadMarkup(text)) {}
  AttribTable& operator*() const { return *tags->Nth(0); }
  std::unique_ptr<TagList> tags;
};

// Dispatches the markup into a fresh context (with no object file unless one
// is given).
inline std::unique_ptr<BuildContext> Dispatch(std::string_view markup, iResFile* file = nullptr) {
  auto context = std::make_unique<BuildContext>(file);
  auto tags = ReadMarkup(markup);
  DispatchTags(*context, *tags);
  return context;
}

// A build in progress over an object file, so specs find their targets as
// they do inside the driver.
struct RunningBuild {
  explicit RunningBuild(iResFile* file) { args.fContext = std::make_unique<BuildContext>(file); }
  void Dispatch(std::string_view markup) {
    tags = ReadMarkup(markup);
    DispatchTags(*args.fContext, *tags);
  }
  BuildContext& Context() { return *args.fContext; }
  BuildArgs args;
  ScopedCurrentBuildArgs current{args};
  std::unique_ptr<TagList> tags;
};

struct CapturedReport {
  std::ostringstream stream;
  ScopedReportTarget scope{ReportTarget{&stream, nullptr, nullptr, nullptr}};
  std::string Text() const { return stream.str(); }
};

// The sizes most tests draw with: 128 x 256 large cells.
constexpr std::string_view kSizes = "<sizes lwidth=128 lheight=256 mwidth=64 mheight=128 swidth=32 sheight=64>";

inline RenderSpec ReadSizes(std::string_view markup = kSizes) {
  RenderSpec sizes;
  OneTag tag(markup);
  sizes.ReadSizes(*tag);
  return sizes;
}

inline void ReadSprite(SpriteSpec& spec, std::string_view markup, std::int32_t& running,
                       const RenderSpec& sizes = ReadSizes(), const std::string* previous = nullptr) {
  OneTag tag(markup);
  spec.Read(*tag, running, sizes, previous, TagName(*tag) == "headline");
}

// SpriteSpec is not copyable: tests hold the one they read.
inline std::unique_ptr<SpriteSpec> ReadSprite(std::string_view markup, const RenderSpec& sizes = ReadSizes()) {
  auto spec = std::make_unique<SpriteSpec>();
  std::int32_t running = 0;
  ReadSprite(*spec, markup, running, sizes);
  return spec;
}

inline std::vector<Rect> CellsOf(const SpriteSpec& spec) {
  std::vector<Rect> cells(static_cast<std::size_t>(spec.SpriteCount()));
  CellOrigin origin;
  CellRecord record;
  for (std::size_t i = 0; i < cells.size(); ++i) spec.CellRect(static_cast<std::int32_t>(i), cells[i], origin, record);
  return cells;
}

}  // namespace pixmold::testing
