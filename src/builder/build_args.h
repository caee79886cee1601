// The build request: everything one build needs, filled by whoever starts
// the build (the dialog or the command line) and read by the worker. The
// dialog fills only the object, markup and image paths, the report, the
// sprite switch and the id selections; the other passes are part of the
// request for batch use and run only when switched on.
//
// The request owns the build context of its build, so the specs outlive the
// markup pass and are deleted with the request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/report.h"
#include "base/stop_request.h"
#include "base/string_buffer.h"
#include "builder/build_context.h"
#include "resfile/res_types.h"

namespace pixmold {

struct BuildArgs {
  BuildArgs();
  ~BuildArgs();
  BuildArgs(const BuildArgs&) = delete;
  BuildArgs& operator=(const BuildArgs&) = delete;

  // The dialog's shared message text and its lock; null when nobody listens.
  std::string* fSyncMessage = nullptr;
  std::mutex* fSyncLock = nullptr;
  // Sees every report line as data (the command line's summary).
  ReportObserver fObserver;
  // Told what the build is doing and how far it is ("draw groups", 3, 12);
  // total 0 when the stage has no count. Not part of the report. Progress
  // is told between resources, so it is also where an interrupted build
  // stops.
  std::function<void(std::string_view stage, int done, int total)> fProgress;
  void Progress(std::string_view stage, int done = 0, int total = 0) const {
    StopHereIfRequested();
    if (fProgress) fProgress(stage, done, total);
  }

  std::unique_ptr<BuildContext> fContext;

  // Threads that encode a sprite's frames at once. 1 keeps the whole build
  // on its own thread, which is what a caller running several builds side
  // by side wants; the output is the same at any count.
  int fThreads = 1;

  PathBuffer fObjectFile;
  std::ostream* fReportStream = nullptr;  // null: standard error
  PathBuffer fOmkFile;                    // empty: no markup pass
  PathBuffer fTgaDirectory;
  // File names in the markup may leave their folder ("../shared.tga").
  std::int16_t fAllowOutsideNames = 0;

  // A new object file made from a template before anything else.
  PathBuffer fNewObjectTemplate;
  std::int16_t fCopierOption = 0;
  PathBuffer fNewObjectName;

  // The architecture passes' sheets: each a TGA with, beside it, the
  // palette BMP of the same base name.
  PathBuffer fWallImageSheet;
  PathBuffer fCutawayImageSheet;
  PathBuffer fFloorImageSheet;
  PathBuffer fThumbnailDirectory;

  // What the architecture passes make: the wall, style, pattern, floor and
  // water numbers, the variant flag of walls and styles, the zoom of the
  // thick-wall pieces (0: none), and whether the floor number is a shadow
  // or a pool tile.
  std::int16_t fWallNumber = 0;
  std::int16_t fWallVariant = 0;
  std::int16_t fWallStyleNumber = 0;
  std::int16_t fWallPatternNumber = 0;
  std::int16_t fThickWallZoom = 0;
  std::int16_t fFloorNumber = 0;
  std::int16_t fFloorShadow = 0;
  std::int16_t fFloorPool = 0;
  std::int16_t fWaterNumber = 0;

  std::int16_t fMakeWalls = 0;
  std::int16_t fMakeSprites = 0;
  std::int16_t fWriteSounds = 0;
  std::int16_t fWriteSlots = 0;
  std::int16_t fWriteSpriteLists = 0;  // SPR# lists
  std::int16_t fWriteAttributeStrings = 0;
  std::int16_t fWriteSkillTables = 0;
  std::int16_t fPrintDrawGroupReport = 0;
  std::int16_t fWriteCatalogs = 0;
  std::int16_t fWriteTreeTables = 0;
  std::int16_t fWriteBitmaps = 0;
  std::int16_t fReadFamilyHistory = 0;
  std::int16_t fMakeWallStyle = 0;
  std::int16_t fMakeWallPattern = 0;
  std::int16_t fMakeFloors = 0;
  std::int16_t fMakePaletteImages = 0;
  std::int16_t fMakeSecondPaletteImages = 0;
  std::uint8_t fMakeWater = 0;

  // When not empty, only these draw groups are written (and only the sprites
  // they use are rendered), and only these wall styles are generated.
  std::vector<std::int16_t> drawGroupIds;
  std::vector<std::int16_t> wallStyleIds;

  // The family history read from the object file, as stored, and where its
  // tab-separated export goes (no export when empty).
  std::vector<std::uint8_t> fFamilyHistory;
  PathBuffer fHistoryExport;

  // The resources the build wrote, in the order written.
  std::vector<std::pair<ResType, ResID>> fWritten;

  // 1 while the worker runs the build.
  std::atomic<std::uint8_t> fRunning{0};

  bool SelectsDrawGroup(std::int32_t id) const;
  bool SelectsWallStyle(std::int32_t id) const;
};

// The request of the running build, or null outside a build. Report calls and
// target lookups deep inside specs reach the build through it; one build runs
// at a time.
BuildArgs* CurrentBuildArgs();

// Holds a request as the running build's for a scope.
class ScopedCurrentBuildArgs {
 public:
  explicit ScopedCurrentBuildArgs(BuildArgs& args);
  ~ScopedCurrentBuildArgs();
  ScopedCurrentBuildArgs(const ScopedCurrentBuildArgs&) = delete;
  ScopedCurrentBuildArgs& operator=(const ScopedCurrentBuildArgs&) = delete;

 private:
  BuildArgs* fPrevious;
};

}  // namespace pixmold
