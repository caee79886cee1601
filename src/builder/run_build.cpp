#include "builder/run_build.h"

#include <iostream>
#include <memory>
#include <thread>

#include "base/report.h"
#include "base/stop_request.h"
#include "base/terminate.h"
#include "base/work_threads.h"
#include "base/xassert.h"
#include "builder/markup_file_names.h"
#include "builder/output_passes.h"
#include "builder/tag_dispatch.h"
#include "markup/markup_file.h"
#include "records/family_history.h"
#include "records/object_file.h"
#include "records/stub_object.h"
#include "resfile/chain_res_file.h"
#include "resfile/file_problem.h"
#include "resfile/flat_file.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file2.h"

namespace pixmold {
namespace {

constexpr ResType kSoundType = MakeResType("FWAV");

// Every part must take the build's writes: with one read-only, its
// sprites would go into the other part, or the build stop half done.
bool EveryPartWritable(iResFile& file) {
  auto* chain = dynamic_cast<ChainResFile*>(&file);
  if (chain == nullptr) return file.IsWritable();
  for (int i = 0; i < chain->CountFiles(); ++i) {
    if (!chain->GetFile(i)->IsWritable()) return false;
  }
  return chain->CountFiles() > 0;
}

void CheckWritable(iResFile& file) {
  if (!EveryPartWritable(file)) FatalError("object file not writable...did you check it out of SourceSafe?");
}

// A part another process holds, a part that is there but does not open, or
// damage the walk cannot see past stops the build before it writes: a
// build would put the sprites of an unopened part into the other part, or
// write past the damage. Parts are named by their file name alone, which a
// dry run's scratch copy shares.
[[noreturn]] void RefuseObjectFile(const std::vector<FileProblem>& problems) {
  std::string text;
  bool inUse = true;
  for (FileProblem problem : problems) {
    if (!text.empty()) text += "; ";
    problem.path = problem.path.substr(problem.path.find_last_of('/') + 1);
    if (problem.kind == FileProblem::Kind::kInUse) {
      text += problem.path + " is in use by another process";
    } else {
      text += problem.Text();
      inUse = false;
    }
  }
  FatalError(inUse ? text : text + "; the object file was left as it was");
}

void MakeNewObject(const BuildArgs& args) {
  StubObject copier;
  if (args.fCopierOption != 0) copier.SetClearEntryPoints(true);
  if (!args.fNewObjectName.Empty()) copier.SetNewName(args.fNewObjectName.View());
  const ResErr err = copier.Copy(args.fNewObjectTemplate.View(), args.fObjectFile.View());
  if (err == res_error::kDamaged) RefuseObjectFile(copier.TemplateProblems());
  if (err != 0) FatalError("could not make new object");
}

std::unique_ptr<iResFile> OpenObjectFile(const BuildArgs& args) {
  const CTGString path(args.fObjectFile.View());
  std::unique_ptr<StdResFile> standard = NewObjectFile();
  const ResErr err = standard->OpenFile(path);
  // Not opened instead as a plain container: that would be one part alone.
  if (!standard->Problems().empty()) RefuseObjectFile(standard->Problems());
  if (err == 0) return standard;
  standard.reset();
  auto plain = std::make_unique<IFFResFile2>();
  const ResErr plainErr = plain->OpenFile(path);
  if (plainErr == res_error::kInUse || (plainErr == 0 && !plain->Problems().empty())) {
    RefuseObjectFile(plain->Problems());
  }
  if (plainErr == 0) return plain;
  FatalError("could not open object file");
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
  if (args.fAllowOutsideNames == 0) CheckMarkupFileNames(*tags);
  return tags;
}

void SpritePass(BuildArgs& args, iResFile& file) {
  BuildContext& context = *args.fContext;
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

// One build in progress: what its passes share.
struct BuildRun {
  BuildArgs& args;
  iResFile& file;
  // Read by the markup pass; kept to the end of the build with the specs.
  std::unique_ptr<TagList> tags;
};

// One step of the driver: run when the request switches it on (and, for the
// steps that work from the specs, only after a markup pass), with the
// object file checked for writing first when the step writes into it. A step
// may have something to do before that check.
struct PassRow {
  bool (*switchedOn)(const BuildArgs&);
  bool needsMarkup;
  void (*beforeCheck)(BuildRun&);
  bool checkWritable;
  void (*pass)(BuildRun&);
};

template <auto Flag>
bool IsOn(const BuildArgs& args) {
  return args.*Flag != 0;
}

bool HasMarkup(const BuildArgs& args) { return !args.fOmkFile.Empty(); }

// Sounds are replaced only by a markup that lists some: one without "sound"
// tags (any object built with every pass) would otherwise lose them all.
bool WritesSounds(const BuildArgs& args) {
  if (args.fWriteSounds == 0 || !args.fContext) return false;
  if (!args.fContext->sounds.Empty()) return true;
  ReportLine("The markup holds no sound tag; the object's sounds are left as they are.");
  return false;
}

void CheckWallsAlone(BuildRun& run) { XASSERT(!run.args.fMakeWallStyle && !run.args.fMakeWallPattern, "logic error"); }

void RemoveOldSounds(BuildRun& run) { RemoveAllSounds(run.file); }

constexpr bool kChecked = true;
constexpr bool kUnchecked = false;
constexpr bool kAfterMarkup = true;
constexpr bool kAnyTime = false;

// The steps in the order they run; a request runs the rows it switches on.
const PassRow kPasses[] = {
    {IsOn<&BuildArgs::fMakeWalls>, kAnyTime, CheckWallsAlone, kChecked,
     [](BuildRun& run) { MakeWalls(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakeWallStyle>, kAnyTime, nullptr, kChecked,
     [](BuildRun& run) { MakeRequestedWallStyle(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakeWallPattern>, kAnyTime, nullptr, kChecked,
     [](BuildRun& run) { MakeWallPattern(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakeFloors>, kAnyTime, nullptr, kChecked, [](BuildRun& run) { MakeFloors(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakeWater>, kAnyTime, nullptr, kUnchecked, [](BuildRun& run) { MakeWater(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakePaletteImages>, kAnyTime, nullptr, kUnchecked,
     [](BuildRun& run) { MakePaletteImages(run.args, run.file, 0); }},
    {IsOn<&BuildArgs::fMakeSecondPaletteImages>, kAnyTime, nullptr, kUnchecked,
     [](BuildRun& run) { MakePaletteImages(run.args, run.file, 1); }},
    {IsOn<&BuildArgs::fReadFamilyHistory>, kAnyTime, nullptr, kUnchecked,
     [](BuildRun& run) { ReadFamilyHistory(run.args, run.file); }},
    {HasMarkup, kAnyTime, nullptr, kUnchecked, [](BuildRun& run) { run.tags = MarkupPass(run.args, run.file); }},
    {IsOn<&BuildArgs::fMakeSprites>, kAfterMarkup, nullptr, kChecked,
     [](BuildRun& run) { SpritePass(run.args, run.file); }},
    {WritesSounds, kAfterMarkup, RemoveOldSounds, kChecked,
     [](BuildRun& run) { WriteSounds(run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteSlots>, kAfterMarkup, nullptr, kChecked,
     [](BuildRun& run) { WriteSlots(run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteSpriteLists>, kAfterMarkup, nullptr, kChecked,
     [](BuildRun& run) { WriteSpriteLists(run.args, run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteAttributeStrings>, kAfterMarkup, nullptr, kChecked,
     [](BuildRun& run) { WriteAttributeStrings(run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteSkillTables>, kAfterMarkup, nullptr, kChecked,
     [](BuildRun& run) { WriteSkillTables(run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fPrintDrawGroupReport>, kAfterMarkup, nullptr, kUnchecked,
     [](BuildRun& run) { DGRPSpec::Report(std::cout, run.args.fContext->drawGroups); }},
    {IsOn<&BuildArgs::fWriteCatalogs>, kAfterMarkup, nullptr, kUnchecked,
     [](BuildRun& run) { WriteCatalogs(run.args, run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteTreeTables>, kAfterMarkup, nullptr, kUnchecked,
     [](BuildRun& run) { WriteTreeTables(run.file, *run.args.fContext); }},
    {IsOn<&BuildArgs::fWriteBitmaps>, kAfterMarkup, nullptr, kUnchecked,
     [](BuildRun& run) { WriteBitmaps(run.args, run.file, *run.args.fContext); }},
};

void RunPasses(BuildArgs& args, bool& madeNewObject) {
  if (!args.fNewObjectTemplate.Empty()) {
    MakeNewObject(args);
    madeNewObject = true;
  }
  args.Progress("opening the object file");
  ObjectFileGuard file(OpenObjectFile(args));
  BuildRun run{args, *file, nullptr};
  for (const PassRow& row : kPasses) {
    if (!row.switchedOn(args) || (row.needsMarkup && run.tags == nullptr)) continue;
    StopHereIfRequested();
    if (row.beforeCheck) row.beforeCheck(run);
    if (row.checkWritable) CheckWritable(*file);
    row.pass(run);
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
  // The build's steps share these threads rather than start their own.
  ScopedWorkerPool pool(args.fThreads);
  bool madeNewObject = false;
  try {
    RunPasses(args, madeNewObject);
  } catch (const Terminate& fatal) {
    // An object file the build made and did not finish goes again, so that
    // the same build can run once what failed is fixed.
    if (madeNewObject) {
      try {
        StubObject::DeleteCopy(args.fObjectFile.View());
      } catch (const Terminate&) {
      }
    }
    ReportFatal(fatal);
    return 1;
  }
  return 0;
}

}  // namespace pixmold
