// Reads the markup an export is about to write the way a build reads it
// (scanner, tag dispatch, pair groups, then the offsets the sprite pass gives
// the draw groups) and compares the draw groups it makes with the stored
// ones. The export's own reasoning about shapes and geometry is only ever a
// proposal; what it writes is what this replay of the build's code confirms.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/build_context.h"

namespace pixmold {

class MarkupReplay {
 public:
  // Reads the text; Fatal() says why when the build would stop.
  explicit MarkupReplay(std::string_view markup);
  ~MarkupReplay();
  MarkupReplay(const MarkupReplay&) = delete;
  MarkupReplay& operator=(const MarkupReplay&) = delete;

  const std::string& Fatal() const { return fFatal; }
  const std::vector<std::string>& Warnings() const { return fWarnings; }
  BuildContext& Context() { return *fContext; }
  const DGRPSpec* FindDrawGroup(std::int32_t id) const;

  // Gives every sprite its trimmed rectangles (one per frame, in the order
  // of its cells) and lets every draw group take its offsets, sprite by
  // sprite, as the sprite pass does.
  using TrimSource = std::function<std::vector<Rect>(const SpriteSpec& sprite, const std::vector<Rect>& cells)>;
  bool ApplyTrims(const TrimSource& trims);

 private:
  template <typename Step>
  bool Run(Step&& step);

  std::unique_ptr<BuildContext> fContext;
  std::string fFatal;
  std::vector<std::string> fWarnings;
};

// Where the rebuilt draw group's views first differ from the stored one's
// (offsets only when asked), or an empty string when they do not. The name
// is the spec's until the draw group is saved, so it is not compared.
std::string DrawGroupDifference(const DrawGroup& rebuilt, const DrawGroup& stored, bool offsets);

struct OffsetConstraint {
  std::int32_t spriteId = 0;
  std::int32_t frame = 0;
  bool mirrored = false;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// The screen offset each frame must produce for the rebuilt draw group to
// store the offsets of the stored one: for every sprite the draw group
// uses, every view the sprite pass sets.
std::vector<OffsetConstraint> OffsetConstraints(const BuildContext& context, const DGRPSpec& rebuilt,
                                                const DrawGroup& stored);

}  // namespace pixmold
