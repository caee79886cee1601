#include "pixmold_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "about_dialog.h"
#include "app/window_layout.h"
#include "placeholder_picker.h"
#include "preview_pane.h"
#include "quantize/markup_palettes.h"
#include "report_highlighter.h"

namespace pixmold {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The logic keeps the report's "\r\n" line ends; a text field wants "\n".
QString WithoutCarriageReturns(std::string_view text) {
  QString shown = FromUtf8(text);
  shown.remove(QChar('\r'));
  return shown;
}

// Texts that come from the trees or the build (paths, report lines) can be
// of any length; such a label takes the width it is given instead of
// asking for its whole text, so that no text widens the window.
void TakeGivenWidth(QLabel* label) {
  label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
  label->setMinimumWidth(1);
}

// The window is the front end that may link the quantizer, so it hands the
// logic the palette maker unless a test brought its own.
DialogServices WithPaletteMaker(DialogServices services) {
  if (!services.makePalettes) services.makePalettes = MakePalettesForDialog;
  return services;
}

QList<int> ToList(const std::vector<int>& sizes) { return QList<int>(sizes.begin(), sizes.end()); }
std::vector<int> ToVector(const QList<int>& sizes) { return std::vector<int>(sizes.begin(), sizes.end()); }

}  // namespace

PixmoldWindow::PixmoldWindow(DialogServices services, QWidget* parent)
    : QMainWindow(parent),
      mEnvironment(services.environment ? services.environment : ProcessEnvironment),
      mLogic(*this, WithPaletteMaker(std::move(services))) {
  setWindowTitle("Pixmold");
  mPicker = [this](const QString& caption, const QString& filter) {
    return PlaceholderPicker::Choose(this, caption, filter);
  };
  BuildLayout();
  BuildMenus();
  Connect();
  RestoreLayout();
  mLogic.OnInitDialog();
  // A long configuration folder would widen the window past the screen:
  // the button shows the folder's end, its tooltip the whole label.
  const QString remember = FromUtf8(mLogic.RememberLabel());
  mRemember->setText(mRemember->fontMetrics().elidedText(remember, Qt::ElideMiddle, kLongestButtonText));
  mRemember->setToolTip(remember);
}

PixmoldWindow::~PixmoldWindow() {
  mTimer.stop();
  mWatchTimer.stop();
}

void PixmoldWindow::BuildLayout() {
  mColumns = new QSplitter(Qt::Horizontal, this);
  mColumns->setChildrenCollapsible(false);
  mColumns->addWidget(BuildSelectionSide(mColumns));
  mPreview = new PreviewPane(mColumns);
  mColumns->addWidget(mPreview);
  mColumns->setStretchFactor(0, 4);
  mColumns->setStretchFactor(1, 5);
  mColumns->setObjectName("columns");
  setCentralWidget(mColumns);

  mNotice = new QLabel(this);
  mNotice->setObjectName("notice");
  TakeGivenWidth(mNotice);
  statusBar()->addWidget(mNotice, 1);
}

QWidget* PixmoldWindow::BuildSelectionSide(QWidget* parent) {
  auto* side = new QWidget(parent);
  auto* column = new QVBoxLayout(side);
  column->setContentsMargins(0, 0, 0, 0);

  auto* directories = new QGridLayout;
  mSpritesField = new QLineEdit(side);
  mObjectsField = new QLineEdit(side);
  mOpenContent = new QPushButton("Open VRXContent...", side);
  mOpenData = new QPushButton("Open Game Data...", side);
  for (QLineEdit* field : {mSpritesField, mObjectsField}) field->setReadOnly(true);
  directories->addWidget(new QLabel("Sprites", side), 0, 0);
  directories->addWidget(mSpritesField, 0, 1);
  directories->addWidget(mOpenContent, 0, 2);
  directories->addWidget(new QLabel("Objects", side), 1, 0);
  directories->addWidget(mObjectsField, 1, 1);
  directories->addWidget(mOpenData, 1, 2);
  column->addLayout(directories);

  auto* options = new QHBoxLayout;
  mShowAll = new QCheckBox("Show All", side);
  mRemember = new QPushButton("Remember", side);
  mRefresh = new QPushButton("Refresh", side);
  options->addWidget(mShowAll);
  options->addWidget(mRemember);
  options->addWidget(mRefresh);
  options->addStretch();
  column->addLayout(options);

  mRows = new QSplitter(Qt::Vertical, side);
  mRows->setChildrenCollapsible(false);
  auto* lists = new QWidget(mRows);
  auto* listColumns = new QHBoxLayout(lists);
  listColumns->setContentsMargins(0, 0, 0, 0);
  mFiles = new QListWidget(lists);
  mObjects = new QListWidget(lists);
  mIds = new QPlainTextEdit(lists);
  mIds->setReadOnly(true);
  const std::pair<const char*, QWidget*> listParts[] = {{"Files:", mFiles}, {"Objects:", mObjects}, {"IDs:", mIds}};
  for (const auto& [title, widget] : listParts) {
    auto* part = new QVBoxLayout;
    part->addWidget(new QLabel(title, lists));
    part->addWidget(widget);
    widget->setMinimumHeight(60);
    listColumns->addLayout(part, widget == mIds ? 2 : 3);
  }
  mRows->addWidget(lists);
  mRows->addWidget(BuildReportSide(mRows));
  mRows->setStretchFactor(0, 2);
  mRows->setStretchFactor(1, 3);
  mRows->setObjectName("rows");
  column->addWidget(mRows, 1);

  mSpritesField->setObjectName("sprites");
  mObjectsField->setObjectName("objects");
  mOpenContent->setObjectName("openContent");
  mOpenData->setObjectName("openData");
  mShowAll->setObjectName("showAll");
  mRemember->setObjectName("remember");
  mRefresh->setObjectName("refresh");
  mFiles->setObjectName("files");
  mObjects->setObjectName("objectList");
  mIds->setObjectName("ids");
  return side;
}

QWidget* PixmoldWindow::BuildReportSide(QWidget* parent) {
  auto* side = new QWidget(parent);
  auto* column = new QVBoxLayout(side);
  column->setContentsMargins(0, 0, 0, 0);

  auto* building = new QHBoxLayout;
  mBuild = new QPushButton("Go", side);
  mRebuildOnSave = new QCheckBox("Rebuild on save", side);
  mRebuildOnSave->setToolTip(
      "Build the selected object again whenever its markup or a file its last build read is saved");
  mMakePalettes = new QPushButton("Make palettes", side);
  mMakePalettes->setToolTip(
      "Quantize the selected object's truecolour sheets into the palette images the build takes its colours from");
  building->addWidget(mBuild, 1);
  building->addWidget(mMakePalettes);
  building->addWidget(mRebuildOnSave);
  column->addLayout(building);

  auto* status = new QGroupBox("Status", side);
  auto* statusLines = new QVBoxLayout(status);
  statusLines->setSpacing(2);
  for (QLabel*& line : mStatus) {
    line = new QLabel(status);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TakeGivenWidth(line);
    statusLines->addWidget(line);
  }
  mWarningCount = new QLabel(status);
  mWarningCount->hide();
  TakeGivenWidth(mWarningCount);
  statusLines->addWidget(mWarningCount);
  column->addWidget(status);

  mFatal = new QLabel(side);
  mFatal->setStyleSheet("color: #c00000;");
  mFatal->setWordWrap(true);
  mFatal->setTextInteractionFlags(Qt::TextSelectableByMouse);
  mFatal->hide();
  TakeGivenWidth(mFatal);
  column->addWidget(mFatal);

  auto* heading = new QHBoxLayout;
  heading->addWidget(new QLabel("Report", side));
  heading->addStretch();
  mWarningsOnly = new QCheckBox("Warnings only", side);
  heading->addWidget(mWarningsOnly);
  column->addLayout(heading);
  mReport = new QPlainTextEdit(side);
  mReport->setReadOnly(true);
  mReport->setMinimumHeight(80);
  new ReportHighlighter(mReport->document());
  column->addWidget(mReport, 1);

  mBuild->setObjectName("build");
  mRebuildOnSave->setObjectName("rebuildOnSave");
  mMakePalettes->setObjectName("makePalettes");
  for (int line = 0; line < 3; ++line) mStatus[line]->setObjectName(QString("status%1").arg(line));
  mWarningCount->setObjectName("warningCount");
  mFatal->setObjectName("fatal");
  mWarningsOnly->setObjectName("warningsOnly");
  mReport->setObjectName("report");
  return side;
}

void PixmoldWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  connect(file->addAction("Open &Game Data..."), &QAction::triggered, mOpenData, &QPushButton::click);
  connect(file->addAction("Open &VRXContent..."), &QAction::triggered, mOpenContent, &QPushButton::click);
  file->addSeparator();
  QAction* quit = file->addAction("&Quit");
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, &QWidget::close);

  mObjectMenu = menuBar()->addMenu("&Object");
  mBuildAction = mObjectMenu->addAction("&Build");
  mBuildAction->setShortcut(QKeySequence("Ctrl+B"));
  mBuildAction->setEnabled(false);
  connect(mBuildAction, &QAction::triggered, this, [this] { PressBuild(); });
  QAction* exportSheets = mObjectMenu->addAction("Export sheets...");
  connect(exportSheets, &QAction::triggered, this, [this] {
    const QString folder = mPicker("Export sheets into", QString());
    if (!folder.isEmpty()) mLogic.OnExportSheets(folder.toStdString());
  });
  mMakePalettesAction = mObjectMenu->addAction("Make &palettes");
  connect(mMakePalettesAction, &QAction::triggered, mMakePalettes, &QPushButton::click);

  QMenu* view = menuBar()->addMenu("&View");
  const std::tuple<const char*, QKeySequence, void (PreviewPane::*)()> zooms[] = {
      {"Zoom &In", QKeySequence::ZoomIn, &PreviewPane::ZoomIn},
      {"Zoom &Out", QKeySequence::ZoomOut, &PreviewPane::ZoomOut},
      {"&1:1", QKeySequence("Ctrl+1"), &PreviewPane::ShowActualSize},
      {"&Fit", QKeySequence("Ctrl+0"), &PreviewPane::FitToPane},
  };
  for (const auto& [title, keys, slot] : zooms) {
    QAction* action = view->addAction(title);
    action->setShortcut(keys);
    connect(action, &QAction::triggered, mPreview, slot);
  }

  QMenu* help = menuBar()->addMenu("&Help");
  QAction* about = help->addAction("&About Pixmold...");
  connect(about, &QAction::triggered, this, [this] {
    CAboutDlg dialog(this);
    dialog.exec();
  });
}

void PixmoldWindow::Connect() {
  connect(&mTimer, &QTimer::timeout, this, [this] { mLogic.OnTick(); });
  connect(&mWatchTimer, &QTimer::timeout, this, [this] { mLogic.OnWatchTick(); });
  connect(mOpenContent, &QPushButton::clicked, this,
          [this] { mLogic.OnChooseContent(mPicker("Open VRXContent", "Content placeholder (*.scnt)").toStdString()); });
  connect(mOpenData, &QPushButton::clicked, this,
          [this] { mLogic.OnChooseData(mPicker("Open Game Data", "VRX file (*.vrx)").toStdString()); });
  connect(mShowAll, &QCheckBox::toggled, this, [this](bool checked) { mLogic.OnShowAll(checked); });
  connect(mRemember, &QPushButton::clicked, this, [this] { mLogic.OnRemember(); });
  connect(mRefresh, &QPushButton::clicked, this, [this] { mLogic.OnRefresh(); });
  connect(mFiles, &QListWidget::currentRowChanged, this, [this](int row) { mLogic.OnFileSelected(row); });
  connect(mObjects, &QListWidget::currentRowChanged, this, [this](int row) { mLogic.OnObjectSelected(row); });
  connect(mPreview, &PreviewPane::choiceChanged, this,
          [this](int group, int direction, int zoom) { mLogic.OnPreviewChoice(group, direction, zoom); });
  connect(mPreview, &PreviewPane::contactSheetToggled, this, [this](bool on) { mLogic.OnContactSheet(on); });
  connect(mPreview, &PreviewPane::turn, this, [this](int step) { mLogic.OnTurn(step); });
  connect(mRebuildOnSave, &QCheckBox::toggled, this, [this](bool on) { mLogic.OnRebuildOnSave(on); });
  connect(mWarningsOnly, &QCheckBox::toggled, this, [this](bool on) { mLogic.OnWarningsOnly(on); });
  connect(mMakePalettes, &QPushButton::clicked, this, [this] {
    // Quantizing large sheets takes a moment on this thread.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    mLogic.OnMakePalettes();
    QApplication::restoreOverrideCursor();
  });
  connect(mBuild, &QPushButton::clicked, this, [this] {
    mFatal->hide();
    mLogic.OnBuild();
  });
}

void PixmoldWindow::RestoreLayout() {
  const std::optional<WindowLayout> saved = ReadWindowLayout(WindowLayoutPath(mEnvironment));
  const QScreen* screen = QApplication::primaryScreen();
  if (saved && saved->width > 0) {
    // A layout saved on a larger screen is brought within this one.
    QSize size(saved->width, saved->height);
    if (screen) size = size.boundedTo(screen->availableSize().expandedTo(QSize(kDefaultWidth, kDefaultHeight)));
    resize(size);
  } else {
    QSize size(kDefaultWidth, kDefaultHeight);
    if (screen) size = size.boundedTo(screen->availableSize());
    resize(size);
    // The preview gets the larger share: it is what an artist watches.
    mColumns->setSizes({size.width() * 9 / 20, size.width() * 11 / 20});
  }
  if (saved && static_cast<int>(saved->columns.size()) == mColumns->count()) mColumns->setSizes(ToList(saved->columns));
  if (saved && static_cast<int>(saved->rows.size()) == mRows->count()) mRows->setSizes(ToList(saved->rows));
}

void PixmoldWindow::SaveLayout() const {
  WindowLayout layout;
  layout.width = width();
  layout.height = height();
  layout.columns = ToVector(mColumns->sizes());
  layout.rows = ToVector(mRows->sizes());
  WriteWindowLayout(WindowLayoutPath(mEnvironment), layout);
}

void PixmoldWindow::ShowSpritesDirectory(std::string_view directory) { mSpritesField->setText(FromUtf8(directory)); }

void PixmoldWindow::ShowObjectsDirectory(std::string_view directory) { mObjectsField->setText(FromUtf8(directory)); }

void PixmoldWindow::ShowFileNames(const std::vector<std::string>& names) {
  // The logic has already acted on the new list; a selection signal from
  // refilling it would run that again.
  const QSignalBlocker blocker(mFiles);
  mFiles->clear();
  for (const std::string& name : names) mFiles->addItem(FromUtf8(name));
}

void PixmoldWindow::ShowObjectNames(const std::vector<std::string>& names, int selected) {
  const QSignalBlocker blocker(mObjects);
  mObjects->clear();
  for (const std::string& name : names) mObjects->addItem(FromUtf8(name));
  mObjects->setCurrentRow(selected);
}

void PixmoldWindow::ShowIds(std::string_view text) { mIds->setPlainText(WithoutCarriageReturns(text)); }

void PixmoldWindow::SetBuildButton(std::string_view label, bool enabled) {
  mBuild->setText(FromUtf8(label));
  mBuild->setEnabled(enabled);
  mBuildAction->setText("&" + FromUtf8(label));
  mBuildAction->setEnabled(enabled);
}

void PixmoldWindow::EnableLists(bool enabled) {
  mFiles->setEnabled(enabled);
  mObjects->setEnabled(enabled);
  // Palette images rewritten under a running build would mix two palettes.
  mMakePalettes->setEnabled(enabled);
  mMakePalettesAction->setEnabled(enabled);
}

void PixmoldWindow::ShowStatus(int line, std::string_view text) {
  if (line >= 0 && line < 3) mStatus[line]->setText(FromUtf8(text));
}

void PixmoldWindow::ShowReport(std::string_view text) {
  mReport->setPlainText(WithoutCarriageReturns(text));
  mReport->moveCursor(QTextCursor::End);
}

void PixmoldWindow::ShowWarningCount(std::string_view text) {
  mWarningCount->setText("Last build: " + FromUtf8(text));
  mWarningCount->setStyleSheet(text == "no warnings" ? QString() : QString("color: #a05a00; font-weight: bold;"));
  mWarningCount->setVisible(!text.empty());
}

void PixmoldWindow::ShowNotice(std::string_view text) { mNotice->setText(FromUtf8(text)); }

void PixmoldWindow::SetRebuildOnSave(bool on) {
  const QSignalBlocker blocker(mRebuildOnSave);
  mRebuildOnSave->setChecked(on);
}

void PixmoldWindow::StartTimer(int milliseconds) { mTimer.start(milliseconds); }

void PixmoldWindow::StopTimer() { mTimer.stop(); }

void PixmoldWindow::StartWatchTimer(int milliseconds) { mWatchTimer.start(milliseconds); }

void PixmoldWindow::StopWatchTimer() { mWatchTimer.stop(); }

void PixmoldWindow::ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) {
  mPreview->ShowGroups(ids, selected);
}

void PixmoldWindow::ShowPreview(const PreviewPicture& picture) { mPreview->ShowPicture(picture); }

void PixmoldWindow::ShowPreviewDirection(int direction) { mPreview->ShowDirection(direction); }

void PixmoldWindow::BuildFinished(const std::string&, std::string_view fatalLine) {
  mFatal->setText(FromUtf8(fatalLine));
  mFatal->setVisible(!fatalLine.empty());
  Q_EMIT buildDone();
}

bool PixmoldWindow::SelectFile(const QString& baseName) {
  for (int row = 0; row < mFiles->count(); ++row) {
    if (mFiles->item(row)->text().compare(baseName, Qt::CaseInsensitive) == 0) {
      mFiles->setCurrentRow(row);
      return true;
    }
  }
  return false;
}

bool PixmoldWindow::PressBuild() {
  if (!mBuild->isEnabled()) return false;
  mBuild->click();
  return true;
}

bool PixmoldWindow::TurnOnRebuildOnSave() {
  mRebuildOnSave->setChecked(true);
  return mLogic.RebuildsOnSave();
}

void PixmoldWindow::closeEvent(QCloseEvent* event) {
  if (!mLogic.CanClose()) {
    event->ignore();
    return;
  }
  mLogic.OnRebuildOnSave(false);
  SaveLayout();
  event->accept();
}

}  // namespace pixmold
