// The Pixmold window: the dialog's controls laid out with Qt Widgets. It
// shows what the logic (CPixmoldDlg) decides and forwards clicks, selections
// and timer ticks to it; it holds no rule of its own. The build runs on the
// logic's worker thread, so the event loop keeps running and the window
// stays live; closing it while a build runs is refused.
//
// Two columns share the window, split by a movable bar: the trees, lists,
// build controls and report on the left, the preview on the right; a second
// bar splits the lists from the report. The window's size and both bars are
// kept beside the saved directories when it closes. Actions on the selected
// object live in the "Object" menu.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/dialog_view.h"
#include "app/pixmold_dlg.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QWidget;

namespace pixmold {

class PreviewPane;

class PixmoldWindow : public QMainWindow, public DialogView {
  Q_OBJECT
 public:
  // Asks the user for a placeholder file or folder; empty when cancelled.
  using Picker = std::function<QString(const QString& caption, const QString& filter)>;

  // The size the window opens at when none is saved (smaller screens
  // shrink it): everything fits a 1280x720 screen.
  static constexpr int kDefaultWidth = 1280;
  static constexpr int kDefaultHeight = 720;
  // The widest text a button of the trees' row shows, in pixels.
  static constexpr int kLongestButtonText = 320;

  explicit PixmoldWindow(DialogServices services = {}, QWidget* parent = nullptr);
  ~PixmoldWindow() override;

  // Tests answer the choosers themselves.
  void SetPicker(Picker picker) { mPicker = std::move(picker); }
  CPixmoldDlg& Logic() { return mLogic; }
  // Where actions on the selected object go.
  QMenu* ObjectMenu() const { return mObjectMenu; }
  // Selects the object file with this base name, as a click on it would;
  // false when the list has none.
  bool SelectFile(const QString& baseName);
  // Presses the build button when it is enabled; false otherwise.
  bool PressBuild();
  // Checks "Rebuild on save", as a click would; false when it stays off
  // (the notice says why).
  bool TurnOnRebuildOnSave();

  void ShowSpritesDirectory(std::string_view directory) override;
  void ShowObjectsDirectory(std::string_view directory) override;
  void ShowFileNames(const std::vector<std::string>& names) override;
  void ShowObjectNames(const std::vector<std::string>& names, int selected) override;
  void ShowIds(std::string_view text) override;
  void SetBuildButton(std::string_view label, bool enabled) override;
  void EnableLists(bool enabled) override;
  void ShowStatus(int line, std::string_view text) override;
  void ShowReport(std::string_view text) override;
  void ShowWarningCount(std::string_view text) override;
  void ShowNotice(std::string_view text) override;
  void SetRebuildOnSave(bool on) override;
  void StartTimer(int milliseconds) override;
  void StopTimer() override;
  void StartWatchTimer(int milliseconds) override;
  void StopWatchTimer() override;
  void ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) override;
  void ShowPreview(const PreviewPicture& picture) override;
  void ShowPreviewDirection(int direction) override;
  void BuildFinished(const std::string& objectFile, std::string_view fatalLine) override;

 Q_SIGNALS:
  // After the view has shown a finished build.
  void buildDone();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  QWidget* BuildSelectionSide(QWidget* parent);
  QWidget* BuildReportSide(QWidget* parent);
  void BuildMenus();
  void Connect();
  void RestoreLayout();
  void SaveLayout() const;

  EnvironmentLookup mEnvironment;
  CPixmoldDlg mLogic;
  Picker mPicker;
  QTimer mTimer;
  QTimer mWatchTimer;

  QSplitter* mColumns = nullptr;
  QSplitter* mRows = nullptr;
  QLineEdit* mSpritesField = nullptr;
  QLineEdit* mObjectsField = nullptr;
  QPushButton* mOpenContent = nullptr;
  QPushButton* mOpenData = nullptr;
  QCheckBox* mShowAll = nullptr;
  QPushButton* mRemember = nullptr;
  QPushButton* mRefresh = nullptr;
  QListWidget* mFiles = nullptr;
  QListWidget* mObjects = nullptr;
  QPlainTextEdit* mIds = nullptr;
  QPushButton* mBuild = nullptr;
  QCheckBox* mRebuildOnSave = nullptr;
  QPushButton* mMakePalettes = nullptr;
  QLabel* mStatus[3] = {};
  QLabel* mWarningCount = nullptr;
  QLabel* mFatal = nullptr;
  QCheckBox* mWarningsOnly = nullptr;
  QPlainTextEdit* mReport = nullptr;
  QLabel* mNotice = nullptr;
  PreviewPane* mPreview = nullptr;
  QMenu* mObjectMenu = nullptr;
  QAction* mBuildAction = nullptr;
  QAction* mMakePalettesAction = nullptr;
};

}  // namespace pixmold
