// The Pixmold window: the dialog's controls laid out with Qt Widgets. It
// shows what the logic (CPixmoldDlg) decides and forwards clicks, selections
// and timer ticks to it; it holds no rule of its own. The build runs on the
// logic's worker thread, so the event loop keeps running and the window
// stays live; closing it while a build runs is refused.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/dialog_view.h"
#include "app/pixmold_dlg.h"

class QCheckBox;
class QComboBox;
class QLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace pixmold {

class PixmoldWindow : public QMainWindow, public DialogView {
  Q_OBJECT
 public:
  // Asks the user for a placeholder file or folder; empty when cancelled.
  using Picker = std::function<QString(const QString& caption, const QString& filter)>;

  explicit PixmoldWindow(DialogServices services = {}, QWidget* parent = nullptr);
  ~PixmoldWindow() override;

  // Tests answer the choosers themselves.
  void SetPicker(Picker picker) { mPicker = std::move(picker); }
  CPixmoldDlg& Logic() { return mLogic; }
  // Selects the object file with this base name, as a click on it would;
  // false when the list has none.
  bool SelectFile(const QString& baseName);
  // Presses the build button when it is enabled; false otherwise.
  bool PressBuild();

  void ShowSpritesDirectory(std::string_view directory) override;
  void ShowObjectsDirectory(std::string_view directory) override;
  void ShowFileNames(const std::vector<std::string>& names) override;
  void ShowObjectNames(const std::vector<std::string>& names, int selected) override;
  void ShowIds(std::string_view text) override;
  void SetBuildButton(std::string_view label, bool enabled) override;
  void EnableLists(bool enabled) override;
  void ShowStatus(int line, std::string_view text) override;
  void ShowReport(std::string_view text) override;
  void StartTimer(int milliseconds) override;
  void StopTimer() override;
  void ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) override;
  void ShowPreview(const PreviewPicture& picture) override;
  void BuildFinished(const std::string& objectFile, std::string_view fatalLine) override;

 Q_SIGNALS:
  // After the view has shown a finished build.
  void buildDone();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  QLayout* BuildPreviewPane(QWidget* parent);
  void ForwardPreviewChoice();
  void BuildMenu();
  void Connect();

  CPixmoldDlg mLogic;
  Picker mPicker;
  QTimer mTimer;

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
  QLabel* mStatus[3] = {};
  QLabel* mFatal = nullptr;
  QPlainTextEdit* mReport = nullptr;
  QComboBox* mPreviewGroup = nullptr;
  QComboBox* mPreviewDirection = nullptr;
  QComboBox* mPreviewZoom = nullptr;
  QLabel* mPreview = nullptr;
  QLabel* mPreviewCaption = nullptr;
};

}  // namespace pixmold
