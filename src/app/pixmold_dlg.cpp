#include "app/pixmold_dlg.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <locale>
#include <new>
#include <sstream>
#include <utility>

#include "app/build_inputs.h"
#include "app/build_worker.h"
#include "app/draw_group_preview.h"
#include "app/object_ids.h"
#include "app/report_warnings.h"
#include "app/status_lines.h"
#include "base/ctg_string.h"
#include "base/xassert.h"
#include "builder/build_args.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/read_recorder.h"
#include "resfile/flat_file.h"
#include "resfile/obj_res_file.h"

namespace pixmold {
namespace {

// Day and month names in English whatever the user's locale (the Qt view
// adopts it), so reports read alike on every machine.
std::string FormatLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << std::put_time(&local, "%H:%M:%S, %A, %B %d, %Y");
  return text.str();
}

std::string Seconds(std::chrono::steady_clock::duration elapsed) {
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << std::fixed << std::setprecision(2) << static_cast<double>(milliseconds) / 1000.0 << " s";
  return text.str();
}

std::string FileCount(std::size_t count) { return std::to_string(count) + (count == 1 ? " file" : " files"); }

// The first line of the report a fatal error ended the build with.
std::string FatalLine(std::string_view report) {
  const std::size_t at = report.find("fatal error: ");
  if (at == std::string_view::npos) return {};
  const std::size_t end = report.find_first_of("\r\n", at);
  return std::string(report.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
}

struct ReadReport {
  bool opened = false;
  std::string text;
  std::string failure;
};

ReadReport ReadReportFile(const std::string& path) {
  ReadReport result;
  FlatFile file;
  if (file.Open(path) != 0) {
    result.failure = "Couldn't open log file";
    return result;
  }
  result.opened = true;
  std::int32_t size = 0;
  file.GetSize(size);
  try {
    result.text.resize(static_cast<std::size_t>(std::max<std::int32_t>(size, 0)));
  } catch (const std::bad_alloc&) {
    result.failure = "Out of memory";
  }
  if (result.failure.empty() && size > 0) {
    file.Seek(0);
    file.Read(result.text.data(), size);
  }
  file.Close();
  return result;
}

}  // namespace

CPixmoldDlg::CPixmoldDlg(DialogView& view, DialogServices services)
    : mView(view), mServices(std::move(services)), mOutsideLockPolicy(CurrentLockPolicy()) {
  if (!mServices.environment) mServices.environment = ProcessEnvironment;
  if (!mServices.localTime) mServices.localTime = FormatLocalTime;
  // The dialog's builds take the command line's locks, so that an artist's
  // build and a script's add on one object take turns instead of losing
  // one of them; the wait shows on the status line.
  // Only the build waits: the window's own reads of a file in use fail at
  // once and say so, rather than freeze the window for a whole build.
  LockPolicy policy;
  policy.enabled = true;
  policy.mayWait = [] { return IsWorkerThread(); };
  policy.inUse = [this](std::string_view path) {
    const std::string name(path.substr(path.find_last_of('/') + 1));
    if (!IsWorkerThread()) {
      mBusyFile = name;
      return;
    }
    std::lock_guard<std::mutex> guard(mWaitingLock);
    mWaitingFor = "Waiting for " + name + ", in use by another process";
  };
  policy.acquired = [this](std::string_view) {
    std::lock_guard<std::mutex> guard(mWaitingLock);
    mWaitingFor.clear();
  };
  SetLockPolicy(std::move(policy));
}

CPixmoldDlg::~CPixmoldDlg() {
  if (mWorker.joinable()) mWorker.join();
  mRecorder.reset();
  SetLockPolicy(std::move(mOutsideLockPolicy));
}

std::string CPixmoldDlg::Now() const { return mServices.localTime(); }

std::string CPixmoldDlg::RememberLabel() const { return "Remember in " + SavedDirectoriesPlace(mServices.environment); }

void CPixmoldDlg::OnInitDialog() {
  StartupSettings settings = ReadStartupSettings(mServices.environment);
  mReportPath = settings.reportPath;
  mStartupMessages = settings.messages;
  mView.ShowStatus(0, "Idle");
  mView.SetBuildButton(mBuildLabel, false);
  SetContentDirectory(settings.contentDirectory);
  SetDataDirectory(settings.dataDirectory);
  ShowReport(mStartupMessages);
}

void CPixmoldDlg::SetDataDirectory(std::string_view path) {
  mDataDirectory = WithTrailingSeparator(path);
  mObjectsDirectory = mDataDirectory.empty() ? std::string() : mDataDirectory + "Objects/";
  mView.ShowObjectsDirectory(mObjectsDirectory);
  mObjectFiles.clear();
  if (!mObjectsDirectory.empty()) mObjectFiles = ScanObjectFiles(mDataDirectory, mShowAll);
  std::vector<std::string> names;
  names.reserve(mObjectFiles.size());
  for (const std::string& file : mObjectFiles) names.emplace_back(PathLeaf(file));
  mView.ShowFileNames(names);
  OnFileSelected(-1);
}

void CPixmoldDlg::SetContentDirectory(std::string_view path) {
  mContentDirectory = WithTrailingSeparator(path);
  mSpritesDirectory = mContentDirectory.empty() ? std::string() : mContentDirectory + "Sprites/";
  mView.ShowSpritesDirectory(mSpritesDirectory);
  mOmkFiles.clear();
  if (!mSpritesDirectory.empty()) mOmkFiles = ScanMarkupFiles(mContentDirectory);
}

namespace {

std::string FolderOfChoice(std::string_view chosen) {
  if (CTGFileManager::Get().Files().Kind(std::string(chosen)) == EntryKind::kDirectory) return std::string(chosen);
  return std::string(chosen.substr(0, chosen.size() - PathLeaf(chosen).size()));
}

}  // namespace

void CPixmoldDlg::OnChooseContent(std::string_view chosen) {
  if (!chosen.empty()) SetContentDirectory(FolderOfChoice(chosen));
}

void CPixmoldDlg::OnChooseData(std::string_view chosen) {
  if (!chosen.empty()) SetDataDirectory(FolderOfChoice(chosen));
}

void CPixmoldDlg::OnShowAll(bool checked) {
  mShowAll = checked;
  SetDataDirectory(mDataDirectory);
}

void CPixmoldDlg::OnRefresh() { SetDataDirectory(mDataDirectory); }

void CPixmoldDlg::OnRemember() {
  if (!WriteSavedDirectories(SavedDirectoriesPath(mServices.environment), {mDataDirectory, mContentDirectory})) {
    ShowReport("There was an error saving the directories");
  }
}

void CPixmoldDlg::OnFileSelected(int index) {
  mSelectedFile = index >= 0 && index < static_cast<int>(mObjectFiles.size()) ? index : -1;
  mObjectIds.clear();
  std::vector<std::string> names;
  if (mSelectedFile >= 0) {
    ObjResFile file;
    mBusyFile.clear();
    if (file.OpenFile(CTGString(mObjectFiles[static_cast<std::size_t>(mSelectedFile)])) == 0) {
      for (const MasterObject& master : ListMasterObjects(file)) {
        mObjectIds.push_back(master.id);
        names.push_back(master.name);
      }
      file.CloseFile();
    }
    // A part in use is left out of the open file, so what is listed may
    // be short: the artist is told either way.
    if (!mBusyFile.empty()) {
      ShowReport(mBusyFile + " is in use by another process; select it again once that is done.");
    }
  }
  mView.ShowObjectNames(names, names.empty() ? -1 : 0);
  OnObjectSelected(names.empty() ? -1 : 0);
}

void CPixmoldDlg::OnObjectSelected(int index) {
  StopRebuildOnSave("Rebuild on save stopped: another object was selected");
  SelectObject(index, true);
}

void CPixmoldDlg::SelectObject(int index, bool resetPreview) {
  mSelectedObject = index >= 0 && index < static_cast<int>(mObjectIds.size()) ? index : -1;
  mDrawGroupIds.clear();
  mWallStyleIds.clear();
  mView.ShowIds("");
  mView.SetBuildButton(mBuildLabel, false);
  if (mSelectedFile >= 0 && mSelectedObject >= 0) {
    ObjResFile file;
    if (file.OpenFile(CTGString(mObjectFiles[static_cast<std::size_t>(mSelectedFile)])) == 0) {
      const pixmold::ObjectIds ids = CollectObjectIds(file, mObjectIds[static_cast<std::size_t>(mSelectedObject)]);
      file.CloseFile();
      if (ids.found) {
        mDrawGroupIds = ids.drawGroupIds;
        mWallStyleIds = ids.wallStyleIds;
        mView.ShowIds(ids.text);
        mBuildLabel = "Build " + ids.name;
        mView.SetBuildButton(mBuildLabel, !mDrawGroupIds.empty());
      }
    }
  }
  if (!resetPreview) return;
  mPreviewGroup = 0;
  mView.ShowPreviewGroups(mDrawGroupIds, mDrawGroupIds.empty() ? -1 : 0);
  RefreshPreview();
}

void CPixmoldDlg::OnPreviewChoice(int drawGroupIndex, int direction, int zoom) {
  mPreviewGroup = drawGroupIndex;
  mPreviewDirection = direction;
  mPreviewZoom = zoom;
  RefreshPreview();
}

void CPixmoldDlg::RefreshPreview() {
  if (mBuilding) return;
  if (mSelectedFile < 0 || mPreviewGroup < 0 || mPreviewGroup >= static_cast<int>(mDrawGroupIds.size())) {
    mView.ShowPreview(PreviewPicture{});
    return;
  }
  const std::string& objectFile = mObjectFiles[static_cast<std::size_t>(mSelectedFile)];
  const ResID drawGroup = mDrawGroupIds[static_cast<std::size_t>(mPreviewGroup)];
  const PreviewPicture picture = mPreviewSheet
                                     ? ComposeContactSheetPreview(objectFile, drawGroup)
                                     : ComposeDrawGroupPreview(objectFile, drawGroup, mPreviewDirection, mPreviewZoom);
  mPreviewDirections = picture.directions;
  mView.ShowPreview(picture);
}

void CPixmoldDlg::OnContactSheet(bool on) {
  mPreviewSheet = on;
  RefreshPreview();
}

void CPixmoldDlg::OnTurn(int step) {
  if (mPreviewDirections == 0 || step == 0) return;
  int direction = mPreviewDirection;
  for (int tried = 0; tried < 8; ++tried) {
    direction = ((direction + (step > 0 ? 1 : -1)) % 8 + 8) % 8;
    if (mPreviewDirections & (1u << direction)) break;
  }
  if (direction == mPreviewDirection) return;
  mPreviewDirection = direction;
  mView.ShowPreviewDirection(direction);
  RefreshPreview();
}

void CPixmoldDlg::OnBuild() {
  if (mSelectedFile < 0 || mSelectedFile >= static_cast<int>(mObjectFiles.size()) || mSelectedObject < 0 ||
      mSelectedObject >= static_cast<int>(mObjectIds.size())) {
    return;
  }
  SetContentDirectory(mContentDirectory);

  XASSERT(!mArgs, "args already prepared");
  XASSERT(!mErrFileStream, "already have a file");
  if (mArgs || mErrFileStream || mBuilding) return;
  mArgs = std::make_unique<BuildArgs>();
  mErrFileStream = std::make_unique<ReportFileStream>(mReportPath);
  if (!mErrFileStream->IsOpen()) mErrFileStream.reset();
  mArgs->fReportStream = mErrFileStream.get();
  std::ostream& report = mErrFileStream ? static_cast<std::ostream&>(*mErrFileStream) : std::cerr;
  ++mRunNumber;
  report << "Run #" << mRunNumber << " -- starting at " << Now() << "\n";

  mArgs->fSyncMessage = &mSyncMessage;
  mArgs->fSyncLock = &mSyncLock;
  const std::string& objectFile = mObjectFiles[static_cast<std::size_t>(mSelectedFile)];
  mArgs->fObjectFile = objectFile;
  if (std::optional<MarkupLocation> markup = FindMarkupFor(mOmkFiles, PathLeaf(objectFile))) {
    mArgs->fOmkFile = markup->omkFile;
    mArgs->fTgaDirectory = markup->imageDirectory;
  }
  mArgs->fMakeSprites = 1;
  mArgs->drawGroupIds = mDrawGroupIds;
  mArgs->wallStyleIds = mWallStyleIds;
  mBuilding = true;

  report << "***\nArguments:\nObject file = " << mArgs->fObjectFile.View() << "\nOMK File=" << mArgs->fOmkFile.View()
         << "\nTGA directory=" << mArgs->fTgaDirectory.View() << "\n***\n"
         << std::flush;

  {
    std::lock_guard<std::mutex> guard(mSyncLock);
    mSyncMessage.clear();
  }
  mRecorder = std::make_unique<ReadRecorder>();
  mBuildStart = std::filesystem::file_time_type::clock::now();
  mWorker = StartBuildWorker(*mArgs, mBuildResult);

  mView.EnableLists(false);
  mView.SetBuildButton(mBuildLabel, false);
  mSpinnerCounter = 0;
  mView.ShowStatus(0, "Working...");
  ShowReport("");
  mView.StartTimer(kTickMilliseconds);
}

void CPixmoldDlg::OnMakePalettes() {
  if (mBuilding) return;
  if (mSelectedFile < 0 || mSelectedFile >= static_cast<int>(mObjectFiles.size())) {
    mView.ShowStatus(0, "Palettes not made");
    mView.ShowStatus(1, "Select an object file first");
    mView.ShowStatus(2, "");
    return;
  }
  // The markup may have been saved since the trees were scanned.
  SetContentDirectory(mContentDirectory);
  const std::string_view object = PathLeaf(mObjectFiles[static_cast<std::size_t>(mSelectedFile)]);
  const std::optional<MarkupLocation> markup = FindMarkupFor(mOmkFiles, object);
  PaletteAction outcome;
  if (!mServices.makePalettes) {
    outcome.summary = "Making palettes is not available here";
  } else if (!markup) {
    outcome.summary = "No markup for " + std::string(object) + ": its sheets are not known";
  } else {
    outcome = mServices.makePalettes(markup->omkFile, markup->imageDirectory);
  }
  mView.ShowStatus(0, outcome.ok ? "Palettes made" : "Palettes not made");
  mView.ShowStatus(1, outcome.summary);
  mView.ShowStatus(2, "");
  std::string report;
  for (const std::string& line : outcome.lines) report += line + "\n";
  ShowReport(std::move(report));
}

void CPixmoldDlg::OnTick() {
  if (!mArgs) return;
  if (mArgs->fRunning == 0) {
    {
      std::lock_guard<std::mutex> guard(mWaitingLock);
      mWaitingFor.clear();
    }
    mView.StopTimer();
    mBuilding = false;
    mView.EnableLists(true);
    mView.SetBuildButton(mBuildLabel, true);
    mView.ShowStatus(1, "");
    mView.ShowStatus(2, "");
    mView.ShowStatus(0, "Idle");
    const bool built = FinishRun();
    SelectObject(mSelectedObject, false);
    if (built) {
      // The build may have rewritten the object's draw group range.
      if (mPreviewGroup >= static_cast<int>(mDrawGroupIds.size())) mPreviewGroup = 0;
      mView.ShowPreviewGroups(mDrawGroupIds, mDrawGroupIds.empty() ? -1 : mPreviewGroup);
      RefreshPreview();
    }
    NoteRebuild(built);
    return;
  }
  std::string waiting;
  {
    std::lock_guard<std::mutex> guard(mWaitingLock);
    waiting = mWaitingFor;
  }
  mView.ShowStatus(0, waiting.empty() ? SpinnerText(mSpinnerCounter) : std::string_view(waiting));
  ++mSpinnerCounter;
  const ProgressLines lines = FindProgressLines(SyncBuffer{&mSyncMessage, &mSyncLock}.TakeAll());
  if (lines.generating) mView.ShowStatus(1, *lines.generating);
  if (lines.rendering) mView.ShowStatus(2, *lines.rendering);
}

bool CPixmoldDlg::FinishRun() {
  if (mWorker.joinable()) mWorker.join();
  const std::vector<std::string> read = mRecorder ? mRecorder->FilesRead() : std::vector<std::string>();
  mRecorder.reset();
  ShowReport("");
  std::string fatalLine;
  std::optional<int> warnings;
  if (mErrFileStream) {
    *mErrFileStream << "Run #" << mRunNumber << " -- ending at " << Now() << "\n";
    mErrFileStream->Close();
    mErrFileStream.reset();
    ReadReport report = ReadReportFile(mReportPath);
    if (!report.failure.empty()) {
      ShowReport(report.failure);
    } else {
      ShowReport(report.text);
      fatalLine = FatalLine(report.text);
      // Wrong colours would otherwise pass unnoticed in a long report.
      const std::vector<std::string> paletteLines = PaletteStatusLines(report.text);
      for (std::size_t i = 0; i < paletteLines.size(); ++i) mView.ShowStatus(static_cast<int>(i) + 1, paletteLines[i]);
      warnings = CountWarnings(report.text);
    }
    if (report.opened) FlatFile().Delete(mReportPath);
  }
  if (fatalLine.empty() && mBuildResult != 0) fatalLine = "fatal error";
  const std::string objectFile = mArgs->fObjectFile.Str();
  mArgs.reset();
  mView.ShowWarningCount(warnings ? WarningCountText(*warnings) : std::string());
  std::vector<std::string> inputs = WatchableInputs(read, objectFile, mReportPath);
  // A failed build stopped reading where it failed: what the build before
  // it read stays watched, or saving a sheet it never reached would build
  // nothing.
  if (!fatalLine.empty() && mLastInputsObject == objectFile) {
    for (const std::string& input : mLastInputs) {
      if (std::find(inputs.begin(), inputs.end(), input) == inputs.end()) inputs.push_back(input);
    }
  }
  mLastInputs = std::move(inputs);
  mLastInputsObject = objectFile;
  mLastWarnings = warnings;
  mView.BuildFinished(objectFile, fatalLine);
  return fatalLine.empty();
}

void CPixmoldDlg::NoteRebuild(bool built) {
  const std::optional<std::string> cause = std::exchange(mRebuildFor, std::nullopt);
  const std::optional<RebuildOnSave::Clock::time_point> seen = std::exchange(mRebuildChangeSeen, std::nullopt);
  const std::optional<int> warnings = mLastWarnings;
  if (!mRebuildOnSave.On()) return;
  const std::optional<std::string> problem =
      mRebuildOnSave.Rearm(WatchedInputs(), mBuildStart, RebuildOnSave::Clock::now());
  if (problem) {
    StopRebuildOnSave("Rebuild on save stopped: " + *problem);
    return;
  }
  if (!cause) return;
  std::string notice;
  if (cause->empty()) {
    notice = built ? "Built" : "The build failed";
  } else {
    notice = built ? "Rebuilt after " + Shown(*cause) + " changed"
                   : "The rebuild after " + Shown(*cause) + " changed failed; the preview keeps the last good build";
    // The time the artist waited: from the first save seen to the new
    // picture (or the failure) on screen.
    if (seen) notice += ", " + Seconds(RebuildOnSave::Clock::now() - *seen) + " after the save";
  }
  if (built && warnings) notice += ", " + WarningCountText(*warnings);
  notice += "; watching " + FileCount(mRebuildOnSave.Watched());
  mView.ShowNotice(notice);
}

void CPixmoldDlg::ShowReport(std::string text) {
  mReport = std::move(text);
  mView.ShowReport(mWarningsOnly ? WarningLinesOnly(mReport) : mReport);
}

void CPixmoldDlg::OnWarningsOnly(bool on) {
  mWarningsOnly = on;
  mView.ShowReport(mWarningsOnly ? WarningLinesOnly(mReport) : mReport);
}

std::string CPixmoldDlg::Shown(const std::string& path) const {
  if (!mSpritesDirectory.empty() && path.starts_with(mSpritesDirectory)) return path.substr(mSpritesDirectory.size());
  return path;
}

std::vector<std::string> CPixmoldDlg::WatchedInputs() const {
  std::vector<std::string> inputs;
  if (mSelectedFile < 0) return inputs;
  const std::string& objectFile = mObjectFiles[static_cast<std::size_t>(mSelectedFile)];
  if (std::optional<MarkupLocation> markup = FindMarkupFor(mOmkFiles, PathLeaf(objectFile))) {
    inputs.push_back(markup->omkFile);
  }
  if (mLastInputsObject == objectFile) {
    for (const std::string& input : mLastInputs) {
      if (std::find(inputs.begin(), inputs.end(), input) == inputs.end()) inputs.push_back(input);
    }
  }
  return inputs;
}

void CPixmoldDlg::OnRebuildOnSave(bool on) {
  if (!on) {
    StopRebuildOnSave("Rebuild on save is off");
    return;
  }
  if (mRebuildOnSave.On()) return;
  if (mSelectedFile < 0 || mSelectedObject < 0 || mDrawGroupIds.empty()) {
    mView.SetRebuildOnSave(false);
    mView.ShowNotice("Rebuild on save: select an object with draw groups first");
    return;
  }
  SetContentDirectory(mContentDirectory);
  const std::string& objectFile = mObjectFiles[static_cast<std::size_t>(mSelectedFile)];
  const std::vector<std::string> inputs = WatchedInputs();
  if (inputs.empty()) {
    mView.SetRebuildOnSave(false);
    mView.ShowNotice("Rebuild on save: no markup named " + std::string(PathLeaf(objectFile)) + ".omk under " +
                     mSpritesDirectory);
    return;
  }
  if (const std::optional<std::string> problem = mRebuildOnSave.Start(inputs)) {
    mView.SetRebuildOnSave(false);
    mView.ShowNotice("Rebuild on save: " + *problem);
    return;
  }
  mView.StartWatchTimer(kWatchMilliseconds);
  if (mLastInputsObject != objectFile) {
    // Until the object is built, only its markup is known to be read.
    mRebuildOnSave.Changed("", RebuildOnSave::Clock::now() - RebuildTrigger::kQuiet);
    mView.ShowNotice("Rebuild on save: building once to learn which files the object reads");
    return;
  }
  mView.ShowNotice("Rebuild on save: watching " + FileCount(mRebuildOnSave.Watched()));
}

void CPixmoldDlg::StopRebuildOnSave(std::string_view notice) {
  if (!mRebuildOnSave.On()) return;
  mRebuildOnSave.Stop();
  mFirstChangeSeen.reset();
  mView.StopWatchTimer();
  mView.SetRebuildOnSave(false);
  mView.ShowNotice(notice);
}

void CPixmoldDlg::OnWatchTick() {
  if (!mRebuildOnSave.On()) return;
  const RebuildOnSave::Clock::time_point now = RebuildOnSave::Clock::now();
  const std::vector<std::string> changes = mRebuildOnSave.Poll(now);
  if (!changes.empty()) {
    if (!mFirstChangeSeen) mFirstChangeSeen = now;
    mView.ShowNotice(Shown(changes.back()) + " changed" + (mBuilding ? "; rebuilding once this build ends" : ""));
  }
  // The worker may have ended since the status tick; finishing the run now
  // saves the artist up to a tick's wait for the new picture.
  if (mBuilding && mArgs && mArgs->fRunning == 0) OnTick();
  if (std::optional<std::string> changed = mRebuildOnSave.Due(now, mBuilding)) {
    if (!changed->empty()) mView.ShowNotice(Shown(*changed) + " changed; rebuilding");
    mRebuildFor = *changed;
    mRebuildChangeSeen = std::exchange(mFirstChangeSeen, std::nullopt);
    OnBuild();
    if (!mBuilding) mRebuildFor.reset();
  }
}

}  // namespace pixmold
