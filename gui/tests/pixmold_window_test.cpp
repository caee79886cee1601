// The window driven as a user drives it, on the offscreen platform: pick the
// two trees, choose a file and an object, build, and read what the window
// shows. Every test gets its own configuration folder, so a saved-directories
// file of one test (or of the machine's user) never leaks into another.
#include "pixmold_window.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/preview_render.h"
#include "app/preview_scale.h"
#include "preview_pane.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"

namespace pixmold {

class PixmoldWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init();
  void cleanup();
  void picksTreesAndListsObjects();
  void buildsOnTheWorkerAndShowsTheReport();
  void failedBuildShowsItsFatalLine();
  void buildOfTheDemoObjectFillsThePreview();
  void everyControlFitsA1280By720Screen();
  void remembersItsSizeAndSplitters();
  void previewEnlargesByWholeFactorsAndTurns();
  void contactSheetIsTheOnePreviewDraws();
  void rebuildsOnSaveOncePerBurst();
  void aChangeDuringABuildIsBuiltAfterIt();
  void warningsAreCountedHighlightedAndFiltered();
  void remembersDirectoriesInTheConfigurationFolder();
  void aboutBoxIsInTheHelpMenu();
  void exportsTheSelectedObjectFromTheObjectMenu();
  void makesPalettesAndShowsTheirWarningsInTheStatus();

 private:
  template <typename T>
  T* Find(PixmoldWindow& window, const char* name) {
    T* widget = window.findChild<T*>(name);
    if (widget == nullptr) qFatal("no widget %s", name);
    return widget;
  }
  std::string Path(const char* relative) const { return (fRoot->path() + "/" + relative).toStdString(); }
  void AddObject(const char* relative);
  void WriteText(const char* relative, const char* text);
  std::unique_ptr<PixmoldWindow> OpenWindow();
  // The demo object in the two trees, the window open on it and built once;
  // null (and the test skipped or failed) when that cannot be.
  std::unique_ptr<PixmoldWindow> OpenBuiltDemo();
  QImage Picture(PixmoldWindow& window) { return Find<QLabel>(window, "preview")->pixmap().toImage(); }

  std::unique_ptr<QTemporaryDir> fRoot;
};

void PixmoldWindowTest::init() {
  fRoot = std::make_unique<QTemporaryDir>();
  QVERIFY(fRoot->isValid());
  std::filesystem::create_directories(Path("tmp"));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Path("config")));
  qputenv("TEMP", QByteArray::fromStdString(Path("tmp")));
  qunsetenv("SCENDIR");
  qunsetenv("SPRITEDIR");
}

void PixmoldWindowTest::cleanup() { fRoot.reset(); }

void PixmoldWindowTest::AddObject(const char* relative) {
  const std::string base = Path(relative);
  std::filesystem::create_directories(std::filesystem::path(base).parent_path());
  testing::WriteObjectFile(
      base + ".iff", {testing::ObjdResource(
                         128, "Chair", testing::ObjdFields{.guid = 5, .firstDrawGroupId = 100, .drawGroupCount = 1})});
  testing::WriteObjectFile(base + ".spf", {});
}

void PixmoldWindowTest::WriteText(const char* relative, const char* text) {
  const std::filesystem::path path = Path(relative);
  std::filesystem::create_directories(path.parent_path());
  QFile file(QString::fromStdString(path.string()));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

std::unique_ptr<PixmoldWindow> PixmoldWindowTest::OpenWindow() {
  auto window = std::make_unique<PixmoldWindow>();
  window->show();
  return window;
}

void PixmoldWindowTest::picksTreesAndListsObjects() {
  AddObject("data/Objects/chair");
  std::filesystem::create_directories(Path("content/Sprites"));
  auto window = OpenWindow();
  QCOMPARE(window->windowTitle(), QString("Pixmold"));
  QVERIFY(Find<QPlainTextEdit>(*window, "report")->toPlainText().contains("No SCENDIR variable."));

  QString lastFilter;
  window->SetPicker([&](const QString&, const QString& filter) {
    lastFilter = filter;
    return QString::fromStdString(filter.contains("vrx") ? Path("data/game.vrx") : Path("content"));
  });
  QTest::mouseClick(Find<QPushButton>(*window, "openData"), Qt::LeftButton);
  QCOMPARE(lastFilter, QString("VRX file (*.vrx)"));
  QCOMPARE(Find<QLineEdit>(*window, "objects")->text(), QString::fromStdString(Path("data/Objects/")));
  QTest::mouseClick(Find<QPushButton>(*window, "openContent"), Qt::LeftButton);
  QCOMPARE(lastFilter, QString("Content placeholder (*.scnt)"));
  QCOMPARE(Find<QLineEdit>(*window, "sprites")->text(), QString::fromStdString(Path("content/Sprites/")));

  auto* files = Find<QListWidget>(*window, "files");
  QCOMPARE(files->count(), 1);
  QCOMPARE(files->item(0)->text(), QString("chair"));
  auto* build = Find<QPushButton>(*window, "build");
  QVERIFY(!build->isEnabled());
  files->setCurrentRow(0);
  auto* objects = Find<QListWidget>(*window, "objectList");
  QCOMPARE(objects->count(), 1);
  QCOMPARE(objects->currentRow(), 0);
  QCOMPARE(Find<QPlainTextEdit>(*window, "ids")->toPlainText(),
           QString("res id : 128\nguid : 5\ncatalog id : 0\ndg 100\n"));
  QCOMPARE(build->text(), QString("Build Chair"));
  QVERIFY(build->isEnabled());
}

void PixmoldWindowTest::buildsOnTheWorkerAndShowsTheReport() {
  AddObject("data/Objects/chair");
  WriteText("content/Sprites/chair/chair.omk", "<target object=\"Chair\">\n<drawgroup id=100 name=\"Upright\">\n");
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  Find<QListWidget>(*window, "files")->setCurrentRow(0);

  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QVERIFY(!Find<QListWidget>(*window, "files")->isEnabled());
  QVERIFY(!Find<QPushButton>(*window, "build")->isEnabled());
  QVERIFY(Find<QLabel>(*window, "status0")->text().startsWith("Working"));
  QVERIFY(!window->close());
  QVERIFY(window->isVisible());

  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  const QString report = Find<QPlainTextEdit>(*window, "report")->toPlainText();
  // The time reads in English whatever the locale the application took.
  QVERIFY2(QRegularExpression("^Run #1 -- starting at \\d\\d:\\d\\d:\\d\\d, [A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, "
                              "\\d{4}\n")
               .match(report)
               .hasMatch(),
           qPrintable(report));
  QVERIFY2(report.contains("OMK File=" + QString::fromStdString(Path("content/Sprites/chair/chair.omk"))),
           qPrintable(report));
  QVERIFY2(report.contains("Run #1 -- ending at "), qPrintable(report));
  QVERIFY(!Find<QLabel>(*window, "fatal")->isVisible());
  QVERIFY(Find<QListWidget>(*window, "files")->isEnabled());
  QVERIFY(Find<QPushButton>(*window, "build")->isEnabled());
  QVERIFY(window->close());
}

void PixmoldWindowTest::failedBuildShowsItsFatalLine() {
  AddObject("data/Objects/chair");
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  WriteText("content/Sprites/chair.omk", "<item sprite id=1>\n");
  auto window = OpenWindow();
  Find<QListWidget>(*window, "files")->setCurrentRow(0);
  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  auto* fatal = Find<QLabel>(*window, "fatal");
  QVERIFY(fatal->isVisible());
  QCOMPARE(fatal->text(), QString("fatal error: item tag received before drawgroup tag"));
  QVERIFY(Find<QPlainTextEdit>(*window, "report")->toPlainText().contains(fatal->text()));
}

void PixmoldWindowTest::buildOfTheDemoObjectFillsThePreview() {
  if (!testing::DemoGeneratorCanRun()) QSKIP("the generator needs python3-numpy and python3-pil");
  const std::string made = testing::MakeDemoObject(Path("data"), Path("content"));
  QVERIFY2(made.empty(), made.c_str());
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  Find<QListWidget>(*window, "files")->setCurrentRow(0);
  auto* groups = Find<QComboBox>(*window, "previewGroup");
  QCOMPARE(groups->count(), 3);
  QCOMPARE(groups->itemText(0), QString("draw group 100"));
  auto* preview = Find<QLabel>(*window, "preview");
  auto* pane = Find<PreviewPane>(*window, "previewPane");
  QVERIFY(preview->pixmap().isNull());

  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  QVERIFY2(!Find<QLabel>(*window, "fatal")->isVisible(),
           qPrintable(Find<QPlainTextEdit>(*window, "report")->toPlainText()));
  QVERIFY(!preview->pixmap().isNull());
  const QImage large = preview->pixmap().toImage();
  const int largeWidth = pane->Shown().image.width;
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, direction 0, zoom 3"));

  // The zoom selector redraws at once, smaller.
  Find<QComboBox>(*window, "previewZoom")->setCurrentIndex(2);
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, direction 0, zoom 1"));
  QVERIFY(pane->Shown().image.width < largeWidth);
  Find<QComboBox>(*window, "previewZoom")->setCurrentIndex(0);
  QCOMPARE(preview->pixmap().toImage(), large);

  // A failed build shows its fatal line and keeps the picture.
  WriteText("content/Sprites/tableset/tableset.omk", "<item sprite id=1>\n");
  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  QVERIFY(Find<QLabel>(*window, "fatal")->isVisible());
  QCOMPARE(preview->pixmap().toImage(), large);
}

std::unique_ptr<PixmoldWindow> PixmoldWindowTest::OpenBuiltDemo() {
  if (!testing::DemoGeneratorCanRun()) return nullptr;
  const std::string made = testing::MakeDemoObject(Path("data"), Path("content"));
  if (!made.empty()) qFatal("%s", made.c_str());
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  window->resize(PixmoldWindow::kDefaultWidth, PixmoldWindow::kDefaultHeight);
  Find<QListWidget>(*window, "files")->setCurrentRow(0);
  if (!window->PressBuild()) qFatal("the demo object cannot be built");
  if (!QTest::qWaitFor([&] { return !window->Logic().IsBuilding(); }, 60000)) qFatal("the demo build never ended");
  if (Find<QLabel>(*window, "fatal")->isVisible()) qFatal("the demo build failed");
  return window;
}

// Nothing cut off at 1280x720: every visible widget lies inside the window
// and every control gets at least the room it needs to show its text.
void PixmoldWindowTest::everyControlFitsA1280By720Screen() {
  AddObject("data/Objects/chair");
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  // Long paths and long lines are no reason to grow.
  const std::string deep = "config/" + std::string(150, 'c');
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Path(deep.c_str())));
  auto window = std::make_unique<PixmoldWindow>();
  window->resize(1280, 720);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  Find<QListWidget>(*window, "files")->setCurrentRow(0);
  const std::string longLine = "Generating sprite 1, " + std::string(400, 'x') + "...";
  for (int line = 0; line < 3; ++line) window->ShowStatus(line, longLine);
  window->ShowNotice(longLine);
  window->ShowWarningCount(longLine);
  window->BuildFinished("", "fatal error: " + longLine);
  window->ShowPreview(PreviewPicture{{}, "cannot open /" + std::string(300, 'p'), {}, {}, 0});
  QVERIFY(Find<QPushButton>(*window, "remember")->toolTip().endsWith(QString(150, 'c') + "/pixmold"));
  // Let the layouts take in the new texts before looking.
  QTest::qWait(100);
  QCOMPARE(window->size(), QSize(1280, 720));

  const QWidget* picture = Find<QScrollArea>(*window, "previewArea")->viewport();
  int checked = 0;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisible() || widget->isWindow() || picture->isAncestorOf(widget)) continue;
    const QRect placed(widget->mapTo(window.get(), QPoint(0, 0)), widget->size());
    QVERIFY2(window->rect().contains(placed),
             qPrintable(widget->objectName() + " " + widget->metaObject()->className()));
    const bool control =
        qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget);
    if (!control) continue;
    const QSize needed = widget->minimumSizeHint();
    QVERIFY2(widget->width() >= needed.width() && widget->height() >= needed.height(),
             qPrintable(widget->objectName() + " is squeezed"));
    ++checked;
  }
  QVERIFY(checked >= 15);
  for (const char* name :
       {"build", "makePalettes", "rebuildOnSave", "warningsOnly", "contactSheet", "zoomIn", "zoomOut", "actualSize",
        "fit", "previewGroup", "previewDirection", "previewZoom", "report", "preview"}) {
    QVERIFY2(Find<QWidget>(*window, name)->isVisible(), name);
  }
  // The preview and the report each have a good share of the window.
  QVERIFY(Find<QWidget>(*window, "previewArea")->width() >= 1280 / 3);
  QVERIFY(Find<QWidget>(*window, "previewArea")->height() >= 720 / 2);
  QVERIFY(Find<QWidget>(*window, "report")->height() >= 720 / 5);
  QVERIFY(Find<QWidget>(*window, "report")->width() >= 1280 / 3);
}

void PixmoldWindowTest::remembersItsSizeAndSplitters() {
  QList<int> columns, rows;
  {
    auto window = OpenWindow();
    window->resize(1100, 650);
    auto* columnSplitter = Find<QSplitter>(*window, "columns");
    auto* rowSplitter = Find<QSplitter>(*window, "rows");
    columnSplitter->setSizes({420, 660});
    rowSplitter->setSizes({150, 380});
    columns = columnSplitter->sizes();
    rows = rowSplitter->sizes();
    QVERIFY(window->close());
  }
  QFile saved(QString::fromStdString(Path("config/pixmold/Pixmold.layout")));
  QVERIFY2(saved.exists(), "kept beside Pixmold.dirs");
  auto window = OpenWindow();
  QCOMPARE(window->size(), QSize(1100, 650));
  QCOMPARE(Find<QSplitter>(*window, "columns")->sizes(), columns);
  QCOMPARE(Find<QSplitter>(*window, "rows")->sizes(), rows);
  window.reset();

  // A size no screen here holds is brought within the screen.
  WriteText("config/pixmold/Pixmold.layout", "window 60000 50000\n");
  window = OpenWindow();
  const QSize screen = QApplication::primaryScreen()->availableSize().expandedTo(QSize(1280, 720));
  QVERIFY(window->width() <= screen.width() && window->height() <= screen.height());
}

// The picture grows by whole factors and stays crisp; the arrow keys turn
// the object through the directions its draw group has.
void PixmoldWindowTest::previewEnlargesByWholeFactorsAndTurns() {
  auto window = OpenBuiltDemo();
  if (!window) QSKIP("the generator needs python3-numpy and python3-pil");
  auto* pane = Find<PreviewPane>(*window, "previewPane");
  auto* area = Find<QScrollArea>(*window, "previewArea");
  const PreviewPicture& shown = pane->Shown();
  const PixelSize paneSize{area->maximumViewportSize().width(), area->maximumViewportSize().height()};
  const int fit = FitFactor(paneSize, {shown.image.width, shown.image.height});
  QVERIFY2(fit >= 2, "the demo's large view is enlarged to fill the pane");
  QCOMPARE(pane->Factor(), fit);
  QCOMPARE(Find<QLabel>(*window, "previewScale")->text(), QString("%1:1, fit").arg(fit));
  // What is shown is the picture enlarged, with its floor tile outlined.
  QCOMPARE(shown.tiles.size(), std::size_t{1});
  const PreviewImage expected = RenderPreview(shown.image, shown.tiles, fit);
  const QImage image = Picture(*window).convertToFormat(QImage::Format_RGBA8888);
  QCOMPARE(image.size(), QSize(expected.width, expected.height));
  QVERIFY(std::equal(expected.pixels.begin(), expected.pixels.end(), image.constBits()));
  const PreviewImage plain = ScaleByWholeFactor(shown.image, fit);
  QVERIFY2(plain.pixels != expected.pixels, "the tile's outline is drawn");

  const std::pair<const char*, int> steps[] = {
      {"zoomIn", fit + 1}, {"zoomOut", fit}, {"actualSize", 1}, {"zoomOut", 1}, {"fit", fit}};
  for (const auto& [button, factor] : steps) {
    QTest::mouseClick(Find<QPushButton>(*window, button), Qt::LeftButton);
    QCOMPARE(pane->Factor(), factor);
    QCOMPARE(Picture(*window).width(), shown.image.width * factor);
  }
  // Following the pane: a narrower pane gives a smaller factor.
  Find<QSplitter>(*window, "columns")->setSizes({1000, 280});
  QTRY_VERIFY(pane->Factor() < fit);

  // A click on the picture gives it the keys.
  QVERIFY(QTest::qWaitForWindowActive(window.get()));
  QTest::mouseClick(Find<QLabel>(*window, "preview"), Qt::LeftButton);
  QVERIFY(area->hasFocus());
  const std::pair<Qt::Key, const char*> turns[] = {{Qt::Key_Right, "direction 2"},
                                                   {Qt::Key_Right, "direction 4"},
                                                   {Qt::Key_Left, "direction 2"},
                                                   {Qt::Key_Left, "direction 0"},
                                                   {Qt::Key_Left, "direction 6"}};
  for (const auto& [key, direction] : turns) {
    QTest::keyClick(area, key);
    QCOMPARE(Find<QComboBox>(*window, "previewDirection")->currentText(), QString(direction));
    QVERIFY(Find<QLabel>(*window, "previewCaption")->text().startsWith("draw group 100, " + QString(direction)));
  }
}

// The contact sheet is pixmold preview's, pixel for pixel, with a tile
// under every view.
void PixmoldWindowTest::contactSheetIsTheOnePreviewDraws() {
  auto window = OpenBuiltDemo();
  if (!window) QSKIP("the generator needs python3-numpy and python3-pil");
  QTest::mouseClick(Find<QCheckBox>(*window, "contactSheet"), Qt::LeftButton);
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, contact sheet"));
  QVERIFY(!Find<QComboBox>(*window, "previewDirection")->isEnabled());
  const PreviewPicture& shown = Find<PreviewPane>(*window, "previewPane")->Shown();
  QCOMPARE(shown.tiles.size(), std::size_t{12});  // four directions at three zooms

  QProcess preview;
  preview.start(PIXMOLD_CLI_PATH, {"preview", QString::fromStdString(Path("data/Objects/tableset")), "DGRP", "100",
                                   "-o", QString::fromStdString(Path("previews")), "-q"});
  QVERIFY(preview.waitForFinished(60000));
  QCOMPARE(preview.exitCode(), 0);
  const QImage sheet =
      QImage(QString::fromStdString(Path("previews/DGRP_100_contact.png"))).convertToFormat(QImage::Format_RGBA8888);
  QCOMPARE(sheet.size(), QSize(shown.image.width, shown.image.height));
  QVERIFY(std::equal(shown.image.pixels.begin(), shown.image.pixels.end(), sheet.constBits()));

  QTest::mouseClick(Find<QCheckBox>(*window, "contactSheet"), Qt::LeftButton);
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, direction 0, zoom 3"));
}

// Rewrites the colours of a sheet's palette image, as an artist's
// recolouring would.
void Recolour(const std::string& bmp, int times) {
  QFile file(QString::fromStdString(bmp));
  QVERIFY(file.open(QIODevice::ReadWrite));
  QByteArray bytes = file.readAll();
  for (int at = 54; at < 54 + 256 * 4 && at < bytes.size(); ++at) {
    if (at % 4 != 1) bytes[at] = static_cast<char>(255 - static_cast<unsigned char>(bytes[at]) + times);
  }
  QVERIFY(file.seek(0));
  QCOMPARE(file.write(bytes), bytes.size());
}

void PixmoldWindowTest::rebuildsOnSaveOncePerBurst() {
  auto window = OpenBuiltDemo();
  if (!window) QSKIP("the generator needs python3-numpy and python3-pil");
  CPixmoldDlg& logic = window->Logic();
  auto* notice = Find<QLabel>(*window, "notice");
  auto* fatal = Find<QLabel>(*window, "fatal");
  QTest::mouseClick(Find<QCheckBox>(*window, "rebuildOnSave"), Qt::LeftButton);
  QVERIFY(logic.RebuildsOnSave());
  QVERIFY2(notice->text().startsWith("Rebuild on save: watching "), qPrintable(notice->text()));
  const std::uint32_t runs = logic.RunNumber();
  const QImage before = Picture(*window);

  // Three saves in quick succession are one build, after them.
  QElapsedTimer clock;
  clock.start();
  for (int save = 0; save < 3; ++save) {
    Recolour(Path("content/Sprites/tableset/tableset_rug.bmp"), save);
    QTest::qWait(60);
  }
  QTRY_VERIFY_WITH_TIMEOUT(logic.RunNumber() == runs + 1 && !logic.IsBuilding(), 10000);
  QVERIFY2(clock.elapsed() >= 120 + 300, "not before the files were quiet for 0.3 s");
  // A palette image recoloured after its sheet is the artist's intent, not
  // a leftover: the rebuild gives no warning, and the notice says so.
  QVERIFY2(QRegularExpression("^Rebuilt after tableset/tableset_rug.bmp changed, \\d+\\.\\d\\d s after the save, no "
                              "warnings; watching \\d+ files$")
               .match(notice->text())
               .hasMatch(),
           qPrintable(notice->text()));
  QVERIFY(Picture(*window) != before);
  const QImage rebuilt = Picture(*window);
  QTest::qWait(600);
  QCOMPARE(logic.RunNumber(), runs + 1);

  // A broken sheet: the build fails, says why in red, keeps the last picture.
  WriteText("content/Sprites/tableset/tableset_rug.tga", "not an image");
  QTRY_VERIFY_WITH_TIMEOUT(logic.RunNumber() == runs + 2 && !logic.IsBuilding(), 10000);
  QVERIFY(fatal->isVisible());
  QVERIFY2(fatal->text().startsWith("fatal error: "), qPrintable(fatal->text()));
  QCOMPARE(fatal->palette().color(QPalette::WindowText), QColor(0xc0, 0, 0));
  QVERIFY2(notice->text().contains("failed"), qPrintable(notice->text()));
  QCOMPARE(Picture(*window), rebuilt);
  // That build stopped at the rug; a sheet it never reached still counts.
  Recolour(Path("content/Sprites/tableset/tableset_books.bmp"), 1);
  QTRY_VERIFY_WITH_TIMEOUT(logic.RunNumber() == runs + 3 && !logic.IsBuilding(), 10000);
  QVERIFY(fatal->isVisible());

  // Another selection stops the watch: saving builds nothing.
  Find<QListWidget>(*window, "files")->setCurrentRow(-1);
  QVERIFY(!logic.RebuildsOnSave());
  QVERIFY(!Find<QCheckBox>(*window, "rebuildOnSave")->isChecked());
  Recolour(Path("content/Sprites/tableset/tableset_rug.bmp"), 7);
  WriteText("content/Sprites/tableset/tableset.omk", "<item sprite id=1>\n");
  QTest::qWait(800);
  QCOMPARE(logic.RunNumber(), runs + 3);
}

// A save while a build runs (here one waiting for a file another process
// holds) is built once that build has finished.
void PixmoldWindowTest::aChangeDuringABuildIsBuiltAfterIt() {
  auto window = OpenBuiltDemo();
  if (!window) QSKIP("the generator needs python3-numpy and python3-pil");
  CPixmoldDlg& logic = window->Logic();
  QTest::mouseClick(Find<QCheckBox>(*window, "rebuildOnSave"), Qt::LeftButton);
  const std::uint32_t runs = logic.RunNumber();
  const int holder = open(Path("data/Objects/tableset.iff").c_str(), O_RDWR);
  QVERIFY(holder >= 0);
  QCOMPARE(flock(holder, LOCK_EX), 0);
  QVERIFY(window->PressBuild());
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text().startsWith("Waiting for tableset.iff"), true,
                            10000);
  Recolour(Path("content/Sprites/tableset/tableset_rug.bmp"), 3);
  QTRY_VERIFY2_WITH_TIMEOUT(Find<QLabel>(*window, "notice")->text().contains("rebuilding once this build ends"),
                            qPrintable(Find<QLabel>(*window, "notice")->text()), 5000);
  QTest::qWait(400);
  QCOMPARE(logic.RunNumber(), runs + 1);
  close(holder);
  QTRY_VERIFY_WITH_TIMEOUT(logic.RunNumber() == runs + 2 && !logic.IsBuilding(), 10000);
  QTest::qWait(600);
  QCOMPARE(logic.RunNumber(), runs + 2);
  QVERIFY(!Find<QLabel>(*window, "fatal")->isVisible());

  // Closing the window stops the watch.
  QVERIFY(window->close());
  QVERIFY(!logic.RebuildsOnSave());
  Recolour(Path("content/Sprites/tableset/tableset_rug.bmp"), 4);
  QTest::qWait(600);
  QCOMPARE(logic.RunNumber(), runs + 2);
}

void PixmoldWindowTest::warningsAreCountedHighlightedAndFiltered() {
  AddObject("data/Objects/chair");
  WriteText("content/Sprites/chair/chair.omk",
            "<target object=\"Chair\">\n<sprit id=1>\n<drawgroup id=100 name=\"Upright\">\n<chaise>\n");
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  Find<QListWidget>(*window, "files")->setCurrentRow(0);
  auto* count = Find<QLabel>(*window, "warningCount");
  QVERIFY(!count->isVisible());
  QVERIFY(window->PressBuild());
  QTRY_VERIFY_WITH_TIMEOUT(!window->Logic().IsBuilding(), 60000);
  auto* report = Find<QPlainTextEdit>(*window, "report");
  QVERIFY(count->isVisible());
  QCOMPARE(count->text(), QString("Last build: 2 warnings"));

  // Warning lines stand out from the rest.
  int marked = 0, plain = 0;
  for (QTextBlock block = report->document()->begin(); block.isValid(); block = block.next()) {
    const bool warning = block.text().startsWith("warning: ");
    const bool formatted = !block.layout()->formats().isEmpty();
    QCOMPARE(formatted, warning);
    (warning ? marked : plain) += 1;
  }
  QCOMPARE(marked, 2);
  QVERIFY(plain > 3);

  const QString full = report->toPlainText();
  auto* filter = Find<QCheckBox>(*window, "warningsOnly");
  QTest::mouseClick(filter, Qt::LeftButton);
  QCOMPARE(report->toPlainText(),
           QString("warning: line: 2 - unknown tag: sprit\nwarning: line: 4 - unknown tag: chaise\n"));
  QTest::mouseClick(filter, Qt::LeftButton);
  QCOMPARE(report->toPlainText(), full);
}

void PixmoldWindowTest::remembersDirectoriesInTheConfigurationFolder() {
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites/")));
  auto window = OpenWindow();
  auto* remember = Find<QPushButton>(*window, "remember");
  QCOMPARE(remember->text(), "Remember in " + QString::fromStdString(Path("config/pixmold")));
  QTest::mouseClick(remember, Qt::LeftButton);
  QFile saved(QString::fromStdString(Path("config/pixmold/Pixmold.dirs")));
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(saved.readAll()), QString::fromStdString(Path("data") + "/\n" + Path("content") + "/\n"));
}

void PixmoldWindowTest::aboutBoxIsInTheHelpMenu() {
  auto window = OpenWindow();
  QAction* about = nullptr;
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->text() == "&About Pixmold...") about = action;
  }
  QVERIFY(about != nullptr);
  QString title;
  QString text;
  // The box is modal: read and close it from inside its own event loop.
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    title = box->windowTitle();
    for (QLabel* label : box->findChildren<QLabel*>()) text += label->text();
    static_cast<QDialog*>(box)->accept();
  });
  about->trigger();
  QCOMPARE(title, QString("About Pixmold"));
  QCOMPARE(text, QString("Pixmold Version 1.0"));
}

void PixmoldWindowTest::exportsTheSelectedObjectFromTheObjectMenu() {
  AddObject("data/Objects/chair");
  std::filesystem::create_directories(Path("content/Sprites"));
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  QVERIFY(window->SelectFile("chair"));
  QString caption;
  window->SetPicker([&](const QString& asked, const QString&) {
    caption = asked;
    return QString::fromStdString(Path("sheets"));
  });
  QAction* exportSheets = nullptr;
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->text() == "Export sheets...") exportSheets = action;
  }
  QVERIFY(exportSheets != nullptr);
  exportSheets->trigger();
  QCOMPARE(caption, QString("Export sheets into"));
  QVERIFY(Find<QPlainTextEdit>(*window, "report")->toPlainText().startsWith("Exported 0 sprite lists"));
  QVERIFY(std::filesystem::exists(Path("sheets/chair.omk")));
}

// The real palette maker behind the window's action, on the demo object as a
// renderer leaves it (no palette images): the palettes it makes build
// without a warning, and a sheet repainted afterwards is named in the status
// lines, where an artist looks, not only in the report.
void PixmoldWindowTest::makesPalettesAndShowsTheirWarningsInTheStatus() {
  if (!testing::DemoGeneratorCanRun()) QSKIP("the generator needs python3-numpy and python3-pil");
  const std::string made =
      testing::MakeDemoObject(Path("data"), Path("content"), "tableset", "--lwidth 64 --lheight 80 --truecolour");
  QVERIFY2(made.empty(), made.c_str());
  qputenv("SCENDIR", QByteArray::fromStdString(Path("data")));
  qputenv("SPRITEDIR", QByteArray::fromStdString(Path("content/Sprites")));
  auto window = OpenWindow();
  QAction* makePalettes = nullptr;
  for (QAction* action : window->ObjectMenu()->actions()) {
    if (action->text() == "Make &palettes") makePalettes = action;
  }
  QVERIFY(makePalettes != nullptr);
  auto status = [&](int line) { return Find<QLabel>(*window, qPrintable(QString("status%1").arg(line)))->text(); };

  makePalettes->trigger();
  QCOMPARE(status(0), QString("Palettes not made"));
  QCOMPARE(status(1), QString("Select an object file first"));

  QVERIFY(window->SelectFile("tableset"));
  const std::string art = Path("content/Sprites/tableset/");
  QVERIFY(!std::filesystem::exists(art + "tableset_table.bmp"));
  makePalettes->trigger();
  QCOMPARE(status(0), QString("Palettes made"));
  QCOMPARE(status(1), QString("Wrote 6 palette images with 3 palettes"));
  QVERIFY(std::filesystem::exists(art + "tableset_table.bmp"));
  QVERIFY(Find<QPlainTextEdit>(*window, "report")->toPlainText().contains("palette 200: "));

  auto build = [&] {
    QVERIFY(window->PressBuild());
    // Nothing may rewrite the palette images under a running build.
    QVERIFY(!Find<QPushButton>(*window, "makePalettes")->isEnabled());
    QVERIFY(!makePalettes->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return !window->Logic().IsBuilding(); }, 60000));
    QVERIFY2(!Find<QLabel>(*window, "fatal")->isVisible(),
             qPrintable(Find<QPlainTextEdit>(*window, "report")->toPlainText()));
    QVERIFY(makePalettes->isEnabled());
  };
  build();
  QCOMPARE(status(1) + status(2), QString());
  QCOMPARE(Find<QLabel>(*window, "warningCount")->text(), QString("Last build: no warnings"));

  // The table repainted in other colours, its palette image left as it was.
  QFile sheet(QString::fromStdString(art + "tableset_table.tga"));
  QVERIFY(sheet.open(QIODevice::ReadWrite));
  QByteArray bytes = sheet.readAll();
  const int bytesPerPixel = static_cast<unsigned char>(bytes[16]) / 8;
  for (qsizetype at = 18 + static_cast<unsigned char>(bytes[0]); at + bytesPerPixel <= bytes.size();
       at += bytesPerPixel) {
    for (int channel = 0; channel < 3; ++channel) bytes[at + channel] = static_cast<char>(~bytes[at + channel]);
  }
  QVERIFY(sheet.seek(0));
  QCOMPARE(sheet.write(bytes), bytes.size());
  sheet.close();
  build();
  QVERIFY2(status(1).startsWith(
               QString::fromStdString("warning: palette image " + art + "tableset_table.bmp is out of date")),
           qPrintable(status(1)));
  QVERIFY(status(1).endsWith(QString::fromStdString("pixmold palette " + art + "tableset_table.tga")));

  // Making them again settles it.
  makePalettes->trigger();
  QCOMPARE(status(0), QString("Palettes made"));
  build();
  QCOMPARE(status(1) + status(2), QString());
}

}  // namespace pixmold

QTEST_MAIN(pixmold::PixmoldWindowTest)
#include "pixmold_window_test.moc"
