// pixmold-gui: the dialog for artists. It opens on the directories saved by
// its Remember button, or on those SPRITEDIR and SCENDIR name. The options
// let a script show a chosen object, build it and keep a picture of the
// window (README's screenshot, tools/gui_screenshot.sh), or keep it
// rebuilding the object whenever one of its inputs is saved.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "pixmold_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("pixmold-gui");
  // The name of the installed menu entry, which desktops match the window to.
  QGuiApplication::setDesktopFileName("pixmold-gui");
  QIcon icon;
  for (const char* picture : {":/icons/pixmold-gui-48.png", ":/icons/pixmold-gui-256.png"}) icon.addFile(picture);
  QApplication::setWindowIcon(icon);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The Pixmold dialog: pick an object file under DATA/Objects and one of its master objects, press\n"
      "Build; the markup of the same base name under CONTENT/Sprites is built into it on a worker\n"
      "thread. DATA and CONTENT come from the saved directories file\n"
      "($XDG_CONFIG_HOME/pixmold/Pixmold.dirs), else from SCENDIR and SPRITEDIR (CONTENT/Sprites).");
  parser.addHelpOption();
  const QCommandLineOption select("select", "Select the object file with this base name.", "NAME");
  const QCommandLineOption build("build", "Build the selected object once the window is open.");
  const QCommandLineOption screenshot(
      "screenshot", "Save a picture of the window to FILE (after the build with --build) and quit.", "FILE");
  const QCommandLineOption rebuildOnSave(
      "rebuild-on-save", "Turn on Rebuild on save for the selected object (after the build with --build).");
  parser.addOptions({select, build, screenshot, rebuildOnSave});
  parser.process(application);

  pixmold::PixmoldWindow window;
  window.show();
  if (parser.isSet(select) && !window.SelectFile(parser.value(select))) {
    std::fprintf(stderr, "pixmold-gui: no object file named %s\n", qPrintable(parser.value(select)));
    return 2;
  }
  const QString picture = parser.value(screenshot);
  if (parser.isSet(rebuildOnSave)) {
    auto turnOn = [&window] {
      if (!window.TurnOnRebuildOnSave()) std::fprintf(stderr, "pixmold-gui: rebuild on save cannot start\n");
    };
    if (parser.isSet(build)) {
      QObject::connect(&window, &pixmold::PixmoldWindow::buildDone, &window, turnOn, Qt::SingleShotConnection);
    } else {
      QTimer::singleShot(0, &window, turnOn);
    }
  }
  auto saveAndQuit = [&window, picture] {
    // One more turn of the event loop, so the last texts are painted.
    QTimer::singleShot(200, &window, [&window, picture] {
      const bool saved = window.grab().save(picture);
      if (!saved) std::fprintf(stderr, "pixmold-gui: cannot write %s\n", qPrintable(picture));
      QApplication::exit(saved ? 0 : 1);
    });
  };
  if (parser.isSet(build)) {
    if (!picture.isEmpty()) QObject::connect(&window, &pixmold::PixmoldWindow::buildDone, &window, saveAndQuit);
    QTimer::singleShot(0, &window, [&window, picture, saveAndQuit] {
      if (window.PressBuild()) return;
      std::fprintf(stderr, "pixmold-gui: nothing to build for the selection\n");
      if (!picture.isEmpty()) saveAndQuit();
    });
  } else if (!picture.isEmpty()) {
    saveAndQuit();
  }
  return application.exec();
}
