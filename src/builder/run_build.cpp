#include "builder/run_build.h"

#include <iostream>
#include <memory>
#include <thread>

#include "base/report.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "builder/output_passes.h"
#include "builder/tag_dispatch.h"
#include "markup/markup_file.h"
#include "records/family_history.h"
#include "records/object_file.h"
#include "records/stub_object.h"
#include "resfile/flat_file.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"

namespace pixmold {
namespace {

constexpr ResType kSoundType = MakeResType("FWAV");

void CheckWritable(iResFile& file) {
  if (!file.IsWritable()) FatalError("object file not writable...did you check it out of SourceSafe?");
}

void MakeNewObject(const BuildArgs& args) {
  StubObject copier;
  if (args.fCopierOption != 0) copier.SetClearEntryPoints(true);
  if (!args.fNewObjectName.Empty()) copier.SetNewName(args.fNewObjectName.View());
  if (copier.Copy(args.fNewObjectTemplate.View(), args.fObjectFile.View()) != 0) {
    FatalError("could not make new object");
  }
}

std::unique_ptr<iResFile> OpenObjectFile(const BuildArgs& args) {
  const CTGString path(args.fObjectFile.View());
  std::unique_ptr<StdResFile> standard = NewObjectFile();
  if (standard->OpenFile(path) == 0) return standard;
  standard.reset();
  auto plain = std::make_unique<IFFResFile2>();
  if (plain->OpenFile(path) == 0) return plain;
  FatalError("could not open object file");
}

void ArchitecturePasses(const BuildArgs& args, iResFile& file) {
  if (args.fMakeWalls) {
    XASSERT(!args.fMakeWallStyle && !args.fMakeWallPattern, "logic error");
    CheckWritable(file);
    MakeWalls(args, file);
  }
  if (args.fMakeWallStyle) {
    CheckWritable(file);
    MakeRequestedWallStyle(args, file);
  }
  if (args.fMakeWallPattern) {
    CheckWritable(file);
    MakeWallPattern(args, file);
  }
  if (args.fMakeFloors) {
    CheckWritable(file);
    MakeFloors(args, file);
  }
  if (args.fMakeWater) MakeWater(args, file);
  if (args.fMakePaletteImages) MakePaletteImages(args, file, 0);
  if (args.fMakeSecondPaletteImages) MakePaletteImages(args, file, 1);
}

void ReadFamilyHistory(BuildArgs& args, iResFile& file) {
  MHandle history = file.GetIndResource(FamilyHistory::kType, 1, nullptr);
  if (history == nullptr) FatalError("history resource not found");
  {
    HandleLock lock(history);
    args.fFamilyHistory.assign(lock.Data(), lock.Data() + lock.Size());
  }
  FamilyHistory table;
  const bool whole = table.FromHandle(history);
  file.ReleaseAndDispose(history);
  // An export that cannot be written says nothing, as the dialog's did; the
  // command line checks the file itself.
  if (whole && !args.fHistoryExport.Empty()) table.Export(std::string(args.fHistoryExport.View()));
}

std::unique_ptr<TagList> MarkupPass(BuildArgs& args, iResFile& file) {
  args.Progress("reading markup");
  args.fContext = std::make_unique<BuildContext>(&file);
  FlatFile markup;
  if (markup.Open(args.fOmkFile.View()) != 0) FatalError("could not open attributes file");
  auto tags = std::make_unique<TagList>();
  ReadMarkupFile(markup, *tags);
  markup.Close();
  DispatchTags(*args.fContext, *tags);
  return tags;
}

void SpritePass(BuildArgs& args, iResFile& file) {
  BuildContext& context = *args.fContext;
  CheckWritable(file);
  GenerateSprites(args, file, context);
  int done = 0;
  for (DGRPSpec* group : context.drawGroups) {
    args.Progress("draw groups", ++done, context.drawGroups.Count());
    if (!args.SelectsDrawGroup(group->Id())) continue;
    if (group->Save(file) != 0) {
      CTGString name;
      file.GetFileName(name);
      FileWarning(name.View(), "could not write draw group " + std::to_string(group->Id()));
      continue;
    }
    args.fWritten.emplace_back(MakeResType("DGRP"), static_cast<ResID>(group->Id()));
  }
  for (WallStyleSpriteSpec* style : context.wallStyles) {
    if (args.SelectsWallStyle(style->Id())) GenerateWallStyle(args, file, *style);
  }
}

void RemoveAllSounds(iResFile& file) {
  while (file.CountResources(kSoundType) >= 1) {
    MHandle sound = file.GetIndResource(kSoundType, 1, nullptr);
    if (sound == nullptr || file.RemoveResource(sound) != 0) {
      Warning("could not remove all sounds");
      return;
    }
  }
}

void LaterPasses(BuildArgs& args, iResFile& file) {
  BuildContext& context = *args.fContext;
  if (args.fWriteSounds) {
    RemoveAllSounds(file);
    CheckWritable(file);
    WriteSounds(file, context);
  }
  if (args.fWriteSlots) {
    CheckWritable(file);
    WriteSlots(file, context);
  }
  if (args.fWriteSpriteLists) {
    CheckWritable(file);
    WriteSpriteLists(args, file, context);
  }
  if (args.fWriteAttributeStrings) {
    CheckWritable(file);
    WriteAttributeStrings(file, context);
  }
  if (args.fWriteSkillTables) {
    CheckWritable(file);
    WriteSkillTables(file, context);
  }
  if (args.fPrintDrawGroupReport) DGRPSpec::Report(std::cout, context.drawGroups);
  if (args.fWriteCatalogs) WriteCatalogs(args, file, context);
  if (args.fWriteTreeTables) WriteTreeTables(file, context);
  if (args.fWriteBitmaps) WriteBitmaps(args, file, context);
}

// Deletes the object file at the end of the build, whichever way it ends.
// After a fatal error the file is closed here; a broken invariant met while
// closing then is only reported, as one fatal error per build is reported and
// a destructor must not raise another.
class ObjectFileGuard {
 public:
  explicit ObjectFileGuard(std::unique_ptr<iResFile> file) : fFile(std::move(file)) {}
  ~ObjectFileGuard() {
    const bool worker = IsWorkerThread();
    if (worker) ClearWorkerThread();
    fFile.reset();
    if (worker) SetWorkerThread(std::this_thread::get_id());
  }
  ObjectFileGuard(const ObjectFileGuard&) = delete;
  ObjectFileGuard& operator=(const ObjectFileGuard&) = delete;

  iResFile& operator*() const { return *fFile; }
  iResFile* operator->() const { return fFile.get(); }

 private:
  std::unique_ptr<iResFile> fFile;
};

void RunPasses(BuildArgs& args) {
  if (!args.fNewObjectTemplate.Empty()) MakeNewObject(args);
  args.Progress("opening the object file");
  ObjectFileGuard file(OpenObjectFile(args));
  std::unique_ptr<TagList> tags;
  ArchitecturePasses(args, *file);
  if (args.fReadFamilyHistory) ReadFamilyHistory(args, *file);
  if (!args.fOmkFile.Empty()) {
    tags = MarkupPass(args, *file);
    if (args.fMakeSprites) SpritePass(args, *file);
    LaterPasses(args, *file);
  }
  args.Progress("closing the object file");
  // Closed here, on the worker, so that a failure while writing the pending
  // resources ends the build like any other.
  file->CloseFile();
}

}  // namespace

int RunBuild(BuildArgs& args) {
  ScopedReportTarget report(ReportTarget{args.fReportStream, args.fSyncMessage, args.fSyncLock, args.fObserver});
  ScopedCurrentBuildArgs current(args);
  try {
    RunPasses(args);
  } catch (const Terminate& fatal) {
    ReportFatal(fatal.Message());
    return 1;
  }
  return 0;
}

}  // namespace pixmold
