// The window driven as a user drives it, on the offscreen platform: pick the
// two trees, choose a file and an object, build, and read what the window
// shows. Every test gets its own configuration folder, so a saved-directories
// file of one test (or of the machine's user) never leaks into another.
#include "pixmold_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>

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
  void remembersDirectoriesInTheConfigurationFolder();
  void aboutBoxIsInTheHelpMenu();
  void exportsTheSelectedObjectFromTheObjectMenu();

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
  QVERIFY(preview->pixmap().isNull());

  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  QVERIFY2(!Find<QLabel>(*window, "fatal")->isVisible(),
           qPrintable(Find<QPlainTextEdit>(*window, "report")->toPlainText()));
  QVERIFY(!preview->pixmap().isNull());
  const QImage large = preview->pixmap().toImage();
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, direction 0, zoom 3"));

  // The zoom selector redraws at once, smaller.
  Find<QComboBox>(*window, "previewZoom")->setCurrentIndex(2);
  QCOMPARE(Find<QLabel>(*window, "previewCaption")->text(), QString("draw group 100, direction 0, zoom 1"));
  QVERIFY(preview->pixmap().width() < large.width());
  Find<QComboBox>(*window, "previewZoom")->setCurrentIndex(0);
  QCOMPARE(preview->pixmap().toImage(), large);

  // A failed build shows its fatal line and keeps the picture.
  WriteText("content/Sprites/tableset/tableset.omk", "<item sprite id=1>\n");
  QTest::mouseClick(Find<QPushButton>(*window, "build"), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Find<QLabel>(*window, "status0")->text(), QString("Idle"), 60000);
  QVERIFY(Find<QLabel>(*window, "fatal")->isVisible());
  QCOMPARE(preview->pixmap().toImage(), large);
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

}  // namespace pixmold

QTEST_MAIN(pixmold::PixmoldWindowTest)
#include "pixmold_window_test.moc"
