// The Pixmold dialog without its window: the start-up messages, the two
// directory trees and their scans, the object files and their master
// objects, the ids of the chosen object, and the build it starts on a worker
// thread and polls every 250 ms until it ends. A view shows what this class
// decides and forwards what the user does; nothing here knows a toolkit.
//
// The worker shares exactly two things with the dialog's thread: the message
// text (under the lock handed to it in the request) and the running flag.
// Everything else of the request is touched only after the flag drops and
// the thread has been joined.
//
// Every build notes the files it reads (as `pixmold build --depfile` does),
// so that "Rebuild on save" can watch exactly those for the selected object
// and build it again, on the same worker, when one of them is saved.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/dialog_settings.h"
#include "app/dialog_view.h"
#include "app/palette_action.h"
#include "app/rebuild_on_save.h"
#include "app/report_file_stream.h"
#include "filelib/file_locks.h"
#include "resfile/res_types.h"

namespace pixmold {

struct BuildArgs;
class ReadRecorder;

struct DialogServices {
  EnvironmentLookup environment = ProcessEnvironment;
  // The run header's time, "%H:%M:%S, %A, %B %d, %Y" in local time.
  std::function<std::string()> localTime;
  // "Make palettes"; without it the action only says it is not available.
  MakePalettesFunction makePalettes = {};
};

class CPixmoldDlg {
 public:
  static constexpr int kTickMilliseconds = 250;
  // How often rebuild on save reads what changed; short beside its quiet
  // time, so a save shows in the preview soon after the files go quiet.
  static constexpr int kWatchMilliseconds = 50;

  explicit CPixmoldDlg(DialogView& view, DialogServices services = {});
  // Waits for a build still running: the request it uses lives here.
  ~CPixmoldDlg();
  CPixmoldDlg(const CPixmoldDlg&) = delete;
  CPixmoldDlg& operator=(const CPixmoldDlg&) = delete;

  // Finds the report file and the directories, scans both trees.
  void OnInitDialog();

  void SetDataDirectory(std::string_view path);
  void SetContentDirectory(std::string_view path);
  // A placeholder file picked in a chooser names its folder; a folder picked
  // itself names itself.
  void OnChooseContent(std::string_view chosen);
  void OnChooseData(std::string_view chosen);
  void OnShowAll(bool checked);
  void OnRefresh();
  void OnRemember();

  void OnFileSelected(int index);
  void OnObjectSelected(int index);
  void OnBuild();
  // Makes the palette images of the selected object's sheets, one palette
  // for each group of sheets that share a palette id; not while a build runs.
  void OnMakePalettes();
  void OnTick();
  // The preview pane's choice: an index into DrawGroupIds(), a direction
  // 0..7 and a zoom 1..3 (3 large).
  void OnPreviewChoice(int drawGroupIndex, int direction, int zoom);
  // Writes the selected object file's sprites, palettes and draw groups into
  // the folder (new or empty) as `pixmold export` does, and shows what was
  // written and what was left out in the report field.
  void OnExportSheets(std::string_view directory);
  // One view, or every view on a contact sheet.
  void OnContactSheet(bool on);
  // A direction key: the next (+1) or previous (-1) direction the draw
  // group has, wrapping round.
  void OnTurn(int step);
  // The report shows only its warning lines while this is on.
  void OnWarningsOnly(bool on);
  // Turning it on with an object selected watches its inputs (building it
  // once first when no build of it has said what they are); off, another
  // selection or closing the dialog stops the watch.
  void OnRebuildOnSave(bool on);
  void OnWatchTick();
  // Closing while a build runs is refused.
  bool CanClose() const { return !mBuilding; }

  const std::string& DataDirectory() const { return mDataDirectory; }
  const std::string& ContentDirectory() const { return mContentDirectory; }
  const std::string& ObjectsDirectory() const { return mObjectsDirectory; }
  const std::string& SpritesDirectory() const { return mSpritesDirectory; }
  const std::vector<std::string>& ObjectFiles() const { return mObjectFiles; }
  const std::vector<std::string>& OmkFiles() const { return mOmkFiles; }
  const std::vector<ResID>& ObjectIds() const { return mObjectIds; }
  const std::vector<std::int16_t>& DrawGroupIds() const { return mDrawGroupIds; }
  const std::vector<std::int16_t>& WallStyleIds() const { return mWallStyleIds; }
  const std::string& ReportPath() const { return mReportPath; }
  const std::string& StartupMessages() const { return mStartupMessages; }
  int SelectedFile() const { return mSelectedFile; }
  int SelectedObject() const { return mSelectedObject; }
  bool IsBuilding() const { return mBuilding; }
  bool RebuildsOnSave() const { return mRebuildOnSave.On(); }
  // What rebuild on save watches now (or would, once turned on).
  std::vector<std::string> WatchedInputs() const;
  std::uint32_t RunNumber() const { return mRunNumber; }
  // The request of the running build; null when idle.
  const BuildArgs* Args() const { return mArgs.get(); }
  std::string RememberLabel() const;
  const std::string& BuildLabel() const { return mBuildLabel; }

 private:
  // A failed build keeps the picture of the last good one, so the artist can
  // compare; only a selection or a build that ran to its end redraws it.
  void SelectObject(int index, bool resetPreview);
  void RefreshPreview();
  // True when the build ran to its end.
  bool FinishRun();
  std::string Now() const;
  // After a build while rebuild on save is on (and its picture is drawn):
  // watch what it read, and say what it did.
  void NoteRebuild(bool built);
  // Every report text goes through here, so the filter applies to it.
  void ShowReport(std::string text);
  void StopRebuildOnSave(std::string_view notice);
  // A path as the status line names it: from the sprites folder when it is
  // under it.
  std::string Shown(const std::string& path) const;

  DialogView& mView;
  DialogServices mServices;

  std::string mDataDirectory;
  std::string mContentDirectory;
  std::string mObjectsDirectory;
  std::string mSpritesDirectory;
  std::vector<std::string> mObjectFiles;
  std::vector<std::string> mOmkFiles;
  std::vector<ResID> mObjectIds;
  std::vector<std::int16_t> mDrawGroupIds;
  std::vector<std::int16_t> mWallStyleIds;
  int mSelectedFile = -1;
  int mSelectedObject = -1;
  bool mShowAll = false;
  std::string mBuildLabel = "Go";

  std::string mSyncMessage;
  std::mutex mSyncLock;
  // Set by the worker while it waits for a file another process has open
  // (a script's add, a second build), shown instead of the spinner.
  std::string mWaitingFor;
  std::mutex mWaitingLock;
  // The file the window's own read found in use (window thread only).
  std::string mBusyFile;
  LockPolicy mOutsideLockPolicy;
  std::unique_ptr<BuildArgs> mArgs;
  std::unique_ptr<ReportFileStream> mErrFileStream;
  std::thread mWorker;
  std::atomic<int> mBuildResult{0};

  std::string mReportPath;
  std::string mStartupMessages;
  std::uint32_t mRunNumber = 0;
  bool mBuilding = false;
  std::uint32_t mSpinnerCounter = 0;

  int mPreviewGroup = 0;
  int mPreviewDirection = 0;
  int mPreviewZoom = 3;
  bool mPreviewSheet = false;
  std::uint8_t mPreviewDirections = 0;

  std::string mReport;
  bool mWarningsOnly = false;

  // The files the last build read, of the object file it built.
  std::unique_ptr<ReadRecorder> mRecorder;
  std::filesystem::file_time_type mBuildStart;
  std::vector<std::string> mLastInputs;
  std::string mLastInputsObject;
  RebuildOnSave mRebuildOnSave;
  // The change the running build was started for ("" for the first build
  // of a watch); none for the build button.
  std::optional<std::string> mRebuildFor;
  // When the watch first saw a change not yet built, and when it saw the
  // first change the running build is for.
  std::optional<RebuildOnSave::Clock::time_point> mFirstChangeSeen;
  std::optional<RebuildOnSave::Clock::time_point> mRebuildChangeSeen;
  std::optional<int> mLastWarnings;
};

}  // namespace pixmold
