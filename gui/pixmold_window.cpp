#include "pixmold_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

#include "about_dialog.h"
#include "placeholder_picker.h"

namespace pixmold {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The logic keeps the report's "\r\n" line ends; a text field wants "\n".
QString WithoutCarriageReturns(std::string_view text) {
  QString shown = FromUtf8(text);
  shown.remove(QChar('\r'));
  return shown;
}

}  // namespace

PixmoldWindow::PixmoldWindow(DialogServices services, QWidget* parent)
    : QMainWindow(parent), mLogic(*this, std::move(services)) {
  setWindowTitle("Pixmold");
  mPicker = [this](const QString& caption, const QString& filter) {
    return PlaceholderPicker::Choose(this, caption, filter);
  };
  BuildLayout();
  BuildMenu();
  Connect();
  mLogic.OnInitDialog();
  mRemember->setText(FromUtf8(mLogic.RememberLabel()));
}

PixmoldWindow::~PixmoldWindow() { mTimer.stop(); }

void PixmoldWindow::BuildLayout() {
  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);

  auto* left = new QVBoxLayout;
  auto* directories = new QGridLayout;
  mSpritesField = new QLineEdit(central);
  mObjectsField = new QLineEdit(central);
  mOpenContent = new QPushButton("Open VRXContent...", central);
  mOpenData = new QPushButton("Open Game Data...", central);
  for (QLineEdit* field : {mSpritesField, mObjectsField}) field->setReadOnly(true);
  directories->addWidget(new QLabel("Sprites", central), 0, 0);
  directories->addWidget(mSpritesField, 0, 1);
  directories->addWidget(mOpenContent, 0, 2);
  directories->addWidget(new QLabel("Objects", central), 1, 0);
  directories->addWidget(mObjectsField, 1, 1);
  directories->addWidget(mOpenData, 1, 2);
  left->addLayout(directories);

  auto* options = new QHBoxLayout;
  mShowAll = new QCheckBox("Show All", central);
  mRemember = new QPushButton("Remember", central);
  mRefresh = new QPushButton("Refresh", central);
  options->addWidget(mShowAll);
  options->addWidget(mRemember);
  options->addWidget(mRefresh);
  options->addStretch();
  left->addLayout(options);

  auto* lists = new QHBoxLayout;
  auto* filesColumn = new QVBoxLayout;
  mFiles = new QListWidget(central);
  filesColumn->addWidget(new QLabel("Files:", central));
  filesColumn->addWidget(mFiles);
  auto* objectsColumn = new QVBoxLayout;
  mObjects = new QListWidget(central);
  objectsColumn->addWidget(new QLabel("Objects:", central));
  objectsColumn->addWidget(mObjects);
  auto* idsColumn = new QVBoxLayout;
  mIds = new QPlainTextEdit(central);
  mIds->setReadOnly(true);
  idsColumn->addWidget(new QLabel("IDs:", central));
  idsColumn->addWidget(mIds);
  lists->addLayout(filesColumn, 2);
  lists->addLayout(objectsColumn, 2);
  lists->addLayout(idsColumn, 1);
  left->addLayout(lists, 2);

  mBuild = new QPushButton("Go", central);
  left->addWidget(mBuild);
  auto* status = new QGroupBox("Status", central);
  auto* statusLines = new QVBoxLayout(status);
  for (QLabel*& line : mStatus) {
    line = new QLabel(status);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLines->addWidget(line);
  }
  left->addWidget(status);
  mFatal = new QLabel(central);
  mFatal->setStyleSheet("color: #c00000;");
  mFatal->setWordWrap(true);
  mFatal->hide();
  left->addWidget(mFatal);
  left->addWidget(new QLabel("Report", central));
  mReport = new QPlainTextEdit(central);
  mReport->setReadOnly(true);
  left->addWidget(mReport, 3);
  columns->addLayout(left, 3);
  columns->addLayout(BuildPreviewPane(central), 2);

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
  mBuild->setObjectName("build");
  for (int line = 0; line < 3; ++line) mStatus[line]->setObjectName(QString("status%1").arg(line));
  mFatal->setObjectName("fatal");
  mReport->setObjectName("report");

  setCentralWidget(central);
  resize(1400, 760);
}

QLayout* PixmoldWindow::BuildPreviewPane(QWidget* parent) {
  auto* pane = new QVBoxLayout;
  pane->addWidget(new QLabel("Preview", parent));
  auto* choices = new QHBoxLayout;
  mPreviewGroup = new QComboBox(parent);
  mPreviewDirection = new QComboBox(parent);
  mPreviewZoom = new QComboBox(parent);
  for (int direction = 0; direction < 8; ++direction) {
    mPreviewDirection->addItem(QString("direction %1").arg(direction), direction);
  }
  mPreviewZoom->addItem("large", 3);
  mPreviewZoom->addItem("medium", 2);
  mPreviewZoom->addItem("small", 1);
  choices->addWidget(mPreviewGroup);
  choices->addWidget(mPreviewDirection);
  choices->addWidget(mPreviewZoom);
  pane->addLayout(choices);
  mPreview = new QLabel(parent);
  mPreview->setAlignment(Qt::AlignCenter);
  mPreview->setMinimumSize(320, 320);
  // Mid grey, so both dark and light sprites stand out from the empty parts.
  mPreview->setStyleSheet("background-color: #808080;");
  auto* scroll = new QScrollArea(parent);
  scroll->setWidget(mPreview);
  scroll->setWidgetResizable(true);
  pane->addWidget(scroll, 1);
  mPreviewCaption = new QLabel(parent);
  mPreviewCaption->setWordWrap(true);
  pane->addWidget(mPreviewCaption);

  mPreviewGroup->setObjectName("previewGroup");
  mPreviewDirection->setObjectName("previewDirection");
  mPreviewZoom->setObjectName("previewZoom");
  mPreview->setObjectName("preview");
  mPreviewCaption->setObjectName("previewCaption");
  return pane;
}

void PixmoldWindow::ForwardPreviewChoice() {
  mLogic.OnPreviewChoice(mPreviewGroup->currentIndex(), mPreviewDirection->currentData().toInt(),
                         mPreviewZoom->currentData().toInt());
}

void PixmoldWindow::BuildMenu() {
  QMenu* object = menuBar()->addMenu("&Object");
  QAction* exportSheets = object->addAction("Export sheets...");
  connect(exportSheets, &QAction::triggered, this, [this] {
    const QString folder = mPicker("Export sheets into", QString());
    if (!folder.isEmpty()) mLogic.OnExportSheets(folder.toStdString());
  });
  QMenu* help = menuBar()->addMenu("&Help");
  QAction* about = help->addAction("&About Pixmold...");
  connect(about, &QAction::triggered, this, [this] {
    CAboutDlg dialog(this);
    dialog.exec();
  });
}

void PixmoldWindow::Connect() {
  connect(&mTimer, &QTimer::timeout, this, [this] { mLogic.OnTick(); });
  connect(mOpenContent, &QPushButton::clicked, this,
          [this] { mLogic.OnChooseContent(mPicker("Open VRXContent", "Content placeholder (*.scnt)").toStdString()); });
  connect(mOpenData, &QPushButton::clicked, this,
          [this] { mLogic.OnChooseData(mPicker("Open Game Data", "VRX file (*.vrx)").toStdString()); });
  connect(mShowAll, &QCheckBox::toggled, this, [this](bool checked) { mLogic.OnShowAll(checked); });
  connect(mRemember, &QPushButton::clicked, this, [this] { mLogic.OnRemember(); });
  connect(mRefresh, &QPushButton::clicked, this, [this] { mLogic.OnRefresh(); });
  connect(mFiles, &QListWidget::currentRowChanged, this, [this](int row) { mLogic.OnFileSelected(row); });
  connect(mObjects, &QListWidget::currentRowChanged, this, [this](int row) { mLogic.OnObjectSelected(row); });
  for (QComboBox* choice : {mPreviewGroup, mPreviewDirection, mPreviewZoom}) {
    connect(choice, &QComboBox::currentIndexChanged, this, [this] { ForwardPreviewChoice(); });
  }
  connect(mBuild, &QPushButton::clicked, this, [this] {
    mFatal->hide();
    mLogic.OnBuild();
  });
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
}

void PixmoldWindow::EnableLists(bool enabled) {
  mFiles->setEnabled(enabled);
  mObjects->setEnabled(enabled);
}

void PixmoldWindow::ShowStatus(int line, std::string_view text) {
  if (line >= 0 && line < 3) mStatus[line]->setText(FromUtf8(text));
}

void PixmoldWindow::ShowReport(std::string_view text) {
  mReport->setPlainText(WithoutCarriageReturns(text));
  mReport->moveCursor(QTextCursor::End);
}

void PixmoldWindow::StartTimer(int milliseconds) { mTimer.start(milliseconds); }

void PixmoldWindow::StopTimer() { mTimer.stop(); }

void PixmoldWindow::ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) {
  const QSignalBlocker blocker(mPreviewGroup);
  mPreviewGroup->clear();
  for (std::int16_t id : ids) mPreviewGroup->addItem(QString("draw group %1").arg(id));
  mPreviewGroup->setCurrentIndex(selected);
}

void PixmoldWindow::ShowPreview(const PreviewPicture& picture) {
  const PreviewImage& image = picture.image;
  QString caption = FromUtf8(picture.caption);
  for (const std::string& note : picture.notes) caption += "\n" + FromUtf8(note);
  mPreviewCaption->setText(caption);
  if (image.width <= 0 || image.height <= 0 || image.channels != 4 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4) {
    mPreview->setPixmap(QPixmap());
    return;
  }
  const QImage view(image.pixels.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
  mPreview->setPixmap(QPixmap::fromImage(view.copy()));
}

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

void PixmoldWindow::closeEvent(QCloseEvent* event) {
  if (mLogic.CanClose()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace pixmold
