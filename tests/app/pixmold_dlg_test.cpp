#include "app/pixmold_dlg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "builder/build_args.h"
#include "support/demo_object.h"
#include "support/object_file_fixture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;

// Records what the logic asks a window to show.
class RecordingView final : public DialogView {
 public:
  void ShowSpritesDirectory(std::string_view directory) override { sprites = directory; }
  void ShowObjectsDirectory(std::string_view directory) override { objects = directory; }
  void ShowFileNames(const std::vector<std::string>& names) override { fileNames = names; }
  void ShowObjectNames(const std::vector<std::string>& names, int selected) override {
    objectNames = names;
    selectedObject = selected;
  }
  void ShowIds(std::string_view text) override { ids = text; }
  void SetBuildButton(std::string_view label, bool enabled) override {
    buildLabel = label;
    buildEnabled = enabled;
  }
  void EnableLists(bool enabled) override { listsEnabled = enabled; }
  void ShowStatus(int line, std::string_view text) override { status[line] = text; }
  void ShowReport(std::string_view text) override { report = text; }
  void ShowWarningCount(std::string_view text) override { warnings = text; }
  void ShowNotice(std::string_view text) override { notice = text; }
  void SetRebuildOnSave(bool on) override { rebuildOnSave = on; }
  void StartTimer(int milliseconds) override { timer = milliseconds; }
  void StopTimer() override { timer = 0; }
  void StartWatchTimer(int milliseconds) override { watchTimer = milliseconds; }
  void StopWatchTimer() override { watchTimer = 0; }
  void ShowPreviewDirection(int direction) override { previewDirection = direction; }
  void BuildFinished(const std::string& objectFile, std::string_view fatalLine) override {
    finishedFile = objectFile;
    finishedFatal = fatalLine;
    ++finishedCount;
  }
  void ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) override {
    previewGroups = ids;
    previewSelected = selected;
  }
  void ShowPreview(const PreviewPicture& shown) override {
    picture = shown;
    ++pictureCount;
  }

  std::string sprites, objects, ids, buildLabel, report, finishedFile, finishedFatal, warnings, notice;
  bool rebuildOnSave = false;
  int watchTimer = 0;
  int previewDirection = -1;
  std::vector<std::string> fileNames, objectNames;
  int selectedObject = -2;
  bool buildEnabled = false;
  bool listsEnabled = true;
  std::map<int, std::string> status;
  int timer = 0;
  int finishedCount = 0;
  std::vector<std::int16_t> previewGroups;
  int previewSelected = -2;
  PreviewPicture picture;
  int pictureCount = 0;
};

constexpr const char* kTime = "09:41:00, Sunday, December 06, 2026";

// A data tree, a content tree and a temporary folder, with the environment
// that names them.
struct Trees {
  testing::TempDir root;
  std::map<std::string, std::string> environment{{"TEMP", root.File("tmp")},
                                                 {"SCENDIR", root.File("data")},
                                                 {"SPRITEDIR", root.File("content/Sprites")},
                                                 {"XDG_CONFIG_HOME", root.File("config")}};

  Trees() { std::filesystem::create_directories(root.File("tmp")); }

  void AddObject(const std::string& relative, const std::vector<testing::StoredResource>& resources) {
    const std::string base = root.File("data/Objects/" + relative);
    std::filesystem::create_directories(std::filesystem::path(base).parent_path());
    testing::WriteObjectFile(base + ".iff", resources);
    testing::WriteObjectFile(base + ".spf", {});
  }

  DialogServices Services() {
    return DialogServices{[this](const char* name) {
                            auto found = environment.find(name);
                            return found == environment.end() ? std::string() : found->second;
                          },
                          [] { return std::string(kTime); }};
  }
};

std::vector<testing::StoredResource> ChairAndTable() {
  return {
      ObjdResource(128, "Chair", ObjdFields{.guid = 7, .firstDrawGroupId = 100, .drawGroupCount = 2}),
      ObjdResource(129, "Table leg",
                   ObjdFields{.firstDrawGroupId = 230,
                              .drawGroupCount = 1,
                              .multiTileGroup = 3,
                              .multiTilePart = 1,
                              .wallStyleId = 301}),
      ObjdResource(130, "Table",
                   ObjdFields{.guid = 9,
                              .firstDrawGroupId = 200,
                              .drawGroupCount = 1,
                              .multiTileGroup = 3,
                              .multiTilePart = -1,
                              .catalogStringsId = 44}),
      ObjdResource(131, "Rug", ObjdFields{.guid = 11}),
  };
}

// The trees, a view that records what it is asked to show, and the dialog
// over them.
class PixmoldDlg : public ::testing::Test {
 protected:
  // Adds the object file, opens the dialog on the trees and selects the file.
  void OpenOn(const std::string& object) {
    trees.AddObject(object, ChairAndTable());
    dialog.OnInitDialog();
    dialog.OnFileSelected(0);
  }

  // Ticks the dialog (with the build timer's tick, or the watch timer's)
  // until the condition holds or a minute has passed.
  template <typename Done>
  void TickUntil(Done done, bool watchTicks = false) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      watchTicks ? dialog.OnWatchTick() : dialog.OnTick();
    }
  }
  void WaitForBuild(bool watchTicks = false) {
    TickUntil([this] { return !dialog.IsBuilding(); }, watchTicks);
    ASSERT_FALSE(dialog.IsBuilding());
  }

  // The objects list, its selection and the build button, in one line.
  std::string Selection() const {
    std::string text;
    for (const std::string& name : view.objectNames) text += name + ",";
    return text + " #" + std::to_string(view.selectedObject) + ", " + view.buildLabel +
           (view.buildEnabled ? " on" : " off");
  }
  // What the window shows of a build, in one line.
  std::string State() {
    return std::string(dialog.IsBuilding() ? "building" : "idle") + (dialog.CanClose() ? ", can close" : "") +
           (view.listsEnabled ? ", lists" : "") + (view.buildEnabled ? ", build" : "") + ", timer " +
           std::to_string(view.timer) + ", status " + view.status[0] + "|" + view.status[1] + ", " +
           std::to_string(view.finishedCount) + " finished" + view.finishedFatal;
  }

  Trees trees;
  RecordingView view;
  CPixmoldDlg dialog{view, trees.Services()};
};

TEST_F(PixmoldDlg, OpensOnTheTreesAndListsMasterObjects) {
  trees.AddObject("seating/chairs", ChairAndTable());
  trees.AddObject("Empty", {ObjdResource(140, "Leg only", ObjdFields{.multiTileGroup = 2, .multiTilePart = 0})});
  dialog.OnInitDialog();

  const std::string root = trees.root.Path().string();
  EXPECT_EQ(view.objects + " " + view.sprites + " " + dialog.ReportPath(),
            root + "/data/Objects/ " + root + "/content/Sprites/ " + root + "/tmp/PixmoldReport.txt");
  EXPECT_EQ(view.fileNames, (std::vector<std::string>{"Empty", "chairs"}));
  EXPECT_EQ(view.status[0], "Idle");
  EXPECT_NE(view.report.find("Using variable SCENDIR for game data, "), std::string::npos);

  // A file with no master object leaves the objects list empty.
  dialog.OnFileSelected(0);
  EXPECT_EQ(Selection(), " #-1, Go off");
  dialog.OnFileSelected(1);
  EXPECT_EQ(Selection(), "Chair,Table,Rug, #0, Build Chair on");
  EXPECT_EQ(dialog.ObjectIds(), (std::vector<ResID>{128, 130, 131}));
  EXPECT_EQ(view.ids, "res id : 128\r\nguid : 7\r\ncatalog id : 0\r\ndg 100\r\ndg 101\r\n");
  dialog.OnObjectSelected(1);
  EXPECT_EQ(dialog.DrawGroupIds(), (std::vector<std::int16_t>{200, 230}));
  EXPECT_EQ(dialog.WallStyleIds(), (std::vector<std::int16_t>{301}));
  // No draw groups: nothing can be built.
  dialog.OnObjectSelected(2);
  EXPECT_EQ(Selection(), "Chair,Table,Rug, #0, Build Rug off");
}

TEST_F(PixmoldDlg, ShowAllAndRefreshRescanTheObjects) {
  trees.AddObject("chair", ChairAndTable());
  trees.AddObject("locked", ChairAndTable());
  std::filesystem::permissions(trees.root.File("data/Objects/locked.spf"), std::filesystem::perms::owner_read);
  dialog.OnInitDialog();
  EXPECT_EQ(view.fileNames, (std::vector<std::string>{"chair"}));
  dialog.OnShowAll(true);
  EXPECT_EQ(view.fileNames, (std::vector<std::string>{"chair", "locked"}));
  trees.AddObject("Bench", ChairAndTable());
  dialog.OnRefresh();
  EXPECT_EQ(view.fileNames, (std::vector<std::string>{"Bench", "chair", "locked"}));
  EXPECT_TRUE(view.objectNames.empty());

  // A picked placeholder names its folder; a picked folder names itself.
  trees.root.Write("elsewhere/Objects/sofa.spf", "");
  dialog.OnChooseData(trees.root.Write("elsewhere/game.vrx", ""));
  EXPECT_EQ(dialog.DataDirectory(), trees.root.File("elsewhere") + "/");
  EXPECT_EQ(view.fileNames, (std::vector<std::string>{"sofa"}));
  trees.root.Write("art/Sprites/x/sofa.omk", "");
  dialog.OnChooseContent(trees.root.File("art"));
  EXPECT_EQ(view.sprites, trees.root.File("art") + "/Sprites/");
  EXPECT_EQ(dialog.OmkFiles(), (std::vector<std::string>{trees.root.File("art") + "/Sprites/x/sofa.omk"}));
}

TEST_F(PixmoldDlg, RememberSavesBothDirectoriesForTheNextStart) {
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.RememberLabel(), "Remember in " + trees.root.File("config") + "/pixmold");
  dialog.OnRemember();
  trees.environment.erase("SCENDIR");
  RecordingView next;
  CPixmoldDlg again(next, trees.Services());
  again.OnInitDialog();
  EXPECT_NE(next.report.find("Using saved directories\r\nData directory: " + trees.root.File("data") + "/\r\n"),
            std::string::npos)
      << next.report;
  EXPECT_EQ(again.DataDirectory(), trees.root.File("data") + "/");

  trees.root.Write("blocked", "");
  trees.environment["XDG_CONFIG_HOME"] = trees.root.File("blocked");
  CPixmoldDlg blocked(next, trees.Services());
  blocked.OnRemember();
  EXPECT_EQ(next.report, "There was an error saving the directories");
}

TEST_F(PixmoldDlg, BuildRunsOnTheWorkerAndShowsTheReport) {
  // The match ignores case; the first in scan order wins.
  trees.root.Write("content/Sprites/a/CHAIR.omk", "<target object=\"Chair\">\n<drawgroup id=100 name=\"Up\">\n");
  trees.root.Write("content/Sprites/b/chair.omk", "");
  OpenOn("seating/Chair");
  dialog.OnBuild();

  ASSERT_NE(dialog.Args(), nullptr);
  EXPECT_EQ(dialog.Args()->fOmkFile.View(), trees.root.File("content") + "/Sprites/a/CHAIR.omk");
  EXPECT_EQ(dialog.Args()->fTgaDirectory.View(), trees.root.File("content") + "/Sprites/a/");
  EXPECT_EQ(dialog.Args()->drawGroupIds, (std::vector<std::int16_t>{100, 101}));
  EXPECT_EQ(dialog.Args()->fMakeSprites, 1);
  EXPECT_EQ(State(),
            "building, timer " + std::to_string(CPixmoldDlg::kTickMilliseconds) + ", status Working...|, 0 finished");
  EXPECT_EQ(view.report, "");

  WaitForBuild();
  EXPECT_EQ(dialog.Args(), nullptr);
  EXPECT_EQ(State(), "idle, can close, lists, build, timer 0, status Idle|, 1 finished");
  const std::string objectFile = trees.root.File("data") + "/Objects/seating/Chair";
  EXPECT_EQ(view.report.rfind(
                "Run #1 -- starting at " + std::string(kTime) + "\n***\nArguments:\nObject file = " + objectFile +
                    "\nOMK File=" + trees.root.File("content") +
                    "/Sprites/a/CHAIR.omk\nTGA directory=" + trees.root.File("content") + "/Sprites/a/\n***\n",
                0),
            0u)
      << view.report;
  EXPECT_TRUE(view.report.ends_with("Run #1 -- ending at " + std::string(kTime) + "\n")) << view.report;
  EXPECT_EQ(view.finishedFile, objectFile);
  EXPECT_FALSE(std::filesystem::exists(dialog.ReportPath()));

  // The next run counts on; a markup error ends it with the fatal line the
  // view is given.
  trees.root.Write("content/Sprites/a/CHAIR.omk", "<item sprite id=1>\n");
  dialog.OnBuild();
  WaitForBuild();
  EXPECT_EQ(view.report.rfind("Run #2 -- starting at ", 0), 0u) << view.report;
  EXPECT_EQ(State(),
            "idle, can close, lists, build, timer 0, status Idle|, 2 finished"
            "fatal error: item tag received before drawgroup tag");
  EXPECT_NE(view.report.find(view.finishedFatal), std::string::npos) << view.report;
}

// Another process (a script's add) has the object file: the build waits for
// it, says so on the status line, and goes on once the file is free.
TEST_F(PixmoldDlg, ABuildWaitsForAFileInUseAndShowsTheWait) {
  OpenOn("lamp");
  const int holder = open(trees.root.File("data/Objects/lamp.iff").c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  dialog.OnBuild();
  TickUntil([this] { return view.status[0] == "Waiting for lamp.iff, in use by another process"; });
  EXPECT_EQ(State(), "building, timer " + std::to_string(CPixmoldDlg::kTickMilliseconds) +
                         ", status Waiting for lamp.iff, in use by another process|, 0 finished");
  close(holder);
  WaitForBuild();
  EXPECT_EQ(State(), "idle, can close, lists, build, timer 0, status Idle|, 1 finished");

  // The window's own read does not wait: it says so and lists nothing.
  const std::vector<std::string> names = view.objectNames;
  const int again = open(trees.root.File("data/Objects/lamp.iff").c_str(), O_RDWR);
  ASSERT_EQ(flock(again, LOCK_EX), 0);
  dialog.OnFileSelected(0);
  EXPECT_TRUE(view.objectNames.empty());
  EXPECT_EQ(view.report, "lamp.iff is in use by another process; select it again once that is done.");
  close(again);
  dialog.OnFileSelected(0);
  EXPECT_EQ(view.objectNames, names);
}

TEST_F(PixmoldDlg, WithoutAMarkupOrAReportFileTheBuildStillEnds) {
  trees.environment["TEMP"] = trees.root.File("no/such/folder");
  OpenOn("lamp");
  EXPECT_NE(view.report.find("Error writing to temporary file"), std::string::npos);
  dialog.OnBuild();
  ASSERT_NE(dialog.Args(), nullptr);
  EXPECT_EQ(std::string(dialog.Args()->fOmkFile.View()) + "|" + std::string(dialog.Args()->fTgaDirectory.View()), "|");
  EXPECT_EQ(dialog.Args()->fReportStream, nullptr);
  WaitForBuild();
  EXPECT_EQ(view.report + "|" + State(), "|idle, can close, lists, build, timer 0, status Idle|, 1 finished");
  EXPECT_EQ(dialog.Args(), nullptr);

  // A build that fails with no report to read it from still ends as failed.
  for (const char* part : {".iff", ".spf"})
    std::filesystem::remove(trees.root.File(std::string("data/Objects/lamp") + part));
  dialog.OnBuild();
  WaitForBuild();
  EXPECT_EQ(view.report + "|" + State(), "|idle, can close, lists, timer 0, status Idle|, 2 finishedfatal error");

  // Nothing selected: the build button does nothing.
  dialog.OnFileSelected(-1);
  dialog.OnBuild();
  EXPECT_EQ(dialog.Args(), nullptr);
  EXPECT_EQ(dialog.RunNumber(), 2u);
}

TEST_F(PixmoldDlg, PreviewOffersTheSelectedObjectsDrawGroups) {
  OpenOn("chairs");
  struct Case {
    int object;
    std::vector<std::int16_t> groups;
    int selected;
  };
  const Case cases[] = {
      {0, {100, 101}, 0},  // Chair
      {1, {200, 230}, 0},  // Table, with its leg's draw group
      {2, {}, -1},         // Rug: nothing to offer
      {0, {100, 101}, 0},
  };
  for (const Case& test : cases) {
    const int before = view.pictureCount;
    dialog.OnObjectSelected(test.object);
    EXPECT_EQ(view.previewGroups, test.groups) << test.object;
    EXPECT_EQ(view.previewSelected, test.selected) << test.object;
    // Every selection redraws; these files hold no draw group, so nothing shows.
    EXPECT_EQ(view.pictureCount, before + 1) << test.object;
    EXPECT_EQ(view.picture.image.width, 0) << test.object;
  }
  // A choice outside the offered groups clears the picture instead of reading past them.
  dialog.OnPreviewChoice(5, 0, 3);
  EXPECT_EQ(view.picture.image.width, 0);
  EXPECT_TRUE(view.picture.caption.empty());
}

// Turning rebuild on save on: refused without an object to build or a
// markup to watch; with one never built, it builds once to learn what the
// object reads, then watches that.
TEST_F(PixmoldDlg, RebuildOnSaveStartsFromWhatItKnows) {
  trees.AddObject("chair", ChairAndTable());
  dialog.OnInitDialog();
  dialog.OnRebuildOnSave(true);
  EXPECT_EQ(view.notice, "Rebuild on save: select an object with draw groups first");
  EXPECT_FALSE(dialog.RebuildsOnSave());
  dialog.OnFileSelected(0);
  view.rebuildOnSave = true;
  dialog.OnRebuildOnSave(true);
  EXPECT_EQ(view.notice,
            "Rebuild on save: no markup named chair.omk under " + trees.root.File("content") + "/Sprites/");
  EXPECT_FALSE(view.rebuildOnSave);

  const std::string markup = trees.root.Write("content/Sprites/chair/chair.omk",
                                              "<target object=\"Chair\">\n<drawgroup id=100 name=\"Up\">\n");
  dialog.OnRebuildOnSave(true);
  EXPECT_TRUE(dialog.RebuildsOnSave());
  EXPECT_EQ(view.watchTimer, CPixmoldDlg::kWatchMilliseconds);
  EXPECT_EQ(view.notice, "Rebuild on save: building once to learn which files the object reads");
  EXPECT_EQ(dialog.WatchedInputs(), (std::vector<std::string>{markup}));
  dialog.OnWatchTick();
  EXPECT_TRUE(dialog.IsBuilding());
  WaitForBuild(true);
  EXPECT_EQ(view.finishedFatal, "") << view.report;
  // The markup, and not the object file the build read too.
  EXPECT_EQ(dialog.WatchedInputs(), (std::vector<std::string>{markup}));
  EXPECT_EQ(view.notice, "Built, no warnings; watching 1 file");
  EXPECT_EQ(dialog.RunNumber(), 1u);

  dialog.OnRebuildOnSave(false);
  EXPECT_EQ(view.notice, "Rebuild on save is off");
  EXPECT_EQ(view.watchTimer, 0);
  // Built before: turned on again, it watches at once, without building.
  dialog.OnRebuildOnSave(true);
  EXPECT_EQ(view.notice, "Rebuild on save: watching 1 file");
  dialog.OnWatchTick();
  EXPECT_FALSE(dialog.IsBuilding());
  dialog.OnObjectSelected(1);
  EXPECT_EQ(view.notice, "Rebuild on save stopped: another object was selected");
  EXPECT_FALSE(dialog.RebuildsOnSave());
}

int OpaquePixels(const PreviewImage& image) {
  int opaque = 0;
  for (std::size_t index = 3; index < image.pixels.size(); index += 4) opaque += image.pixels[index] != 0;
  return opaque;
}

TEST_F(PixmoldDlg, PreviewRedrawsAfterABuildAndKeepsItsPictureWhenOneFails) {
  if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "the generator needs python3-numpy and python3-pil";
  ASSERT_EQ(testing::MakeDemoObject(trees.root.File("data"), trees.root.File("content")), "");
  dialog.OnInitDialog();
  ASSERT_EQ(view.fileNames, (std::vector<std::string>{"tableset"}));
  dialog.OnFileSelected(0);
  EXPECT_EQ(view.previewGroups, (std::vector<std::int16_t>{100, 101, 102}));
  // Before the first build the object has no draw groups to draw.
  EXPECT_EQ(view.picture.image.width, 0);
  EXPECT_FALSE(view.picture.caption.empty());

  dialog.OnBuild();
  // Choices made while building wait for its end.
  const int before = view.pictureCount;
  dialog.OnPreviewChoice(0, 0, 3);
  EXPECT_EQ(view.pictureCount, before);
  WaitForBuild();
  ASSERT_EQ(view.finishedFatal, "") << view.report;
  EXPECT_EQ(view.pictureCount, before + 1);
  EXPECT_EQ(view.picture.image.channels, 4);
  EXPECT_GT(OpaquePixels(view.picture.image), 100) << view.picture.caption;
  EXPECT_EQ(view.picture.caption, "draw group 100, direction 0, zoom 3");
  const PreviewPicture large = view.picture;

  // Another zoom and direction redraw at once; the small view is a quarter as wide.
  dialog.OnPreviewChoice(1, 2, 1);
  EXPECT_EQ(view.picture.caption, "draw group 101, direction 2, zoom 1");
  EXPECT_GT(OpaquePixels(view.picture.image), 0);
  EXPECT_LT(view.picture.image.width, large.image.width / 2);
  dialog.OnPreviewChoice(0, 0, 3);
  EXPECT_EQ(view.picture.image.pixels, large.image.pixels);

  // A failed build leaves the last good picture in place.
  trees.root.Write("content/Sprites/tableset/tableset.omk", "<item sprite id=1>\n");
  const int beforeFailure = view.pictureCount;
  dialog.OnBuild();
  WaitForBuild();
  EXPECT_FALSE(view.finishedFatal.empty());
  EXPECT_EQ(view.pictureCount, beforeFailure);
  EXPECT_EQ(view.picture.image.pixels, large.image.pixels);
  EXPECT_EQ(view.previewGroups, (std::vector<std::int16_t>{100, 101, 102}));
}

TEST_F(PixmoldDlg, MakePalettesHandsOverTheSelectedObjectsMarkupAndShowsTheOutcome) {
  std::vector<std::string> asked;
  CPixmoldDlg withMaker(view, [&] {
    DialogServices services = trees.Services();
    services.makePalettes = [&](const std::string& omk, const std::string& images) {
      asked = {omk, images};
      return PaletteAction{true, "Wrote 2 palette images with 1 palette", {"a.tga: 5 drawn pixels", "palette 200"}};
    };
    return services;
  }());
  trees.AddObject("chair", ChairAndTable());
  trees.root.Write("content/Sprites/seating/Chair.omk", "<sprite id=1 tgafile=a.tga paletteid=200>");
  trees.AddObject("table", ChairAndTable());
  withMaker.OnInitDialog();
  withMaker.OnFileSelected(0);
  withMaker.OnMakePalettes();
  const std::string sprites = trees.root.File("content/Sprites/seating/");
  EXPECT_EQ(asked, (std::vector<std::string>{sprites + "Chair.omk", sprites}));
  EXPECT_EQ(view.status[0] + "|" + view.status[1] + "|" + view.status[2],
            "Palettes made|Wrote 2 palette images with 1 palette|");
  EXPECT_EQ(view.report, "a.tga: 5 drawn pixels\npalette 200\n");

  // An object without markup has no sheets to ask for; a dialog without a
  // maker says so.
  asked.clear();
  withMaker.OnFileSelected(1);
  withMaker.OnMakePalettes();
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(view.status[0] + "|" + view.status[1], "Palettes not made|No markup for table: its sheets are not known");
  OpenOn("chair");
  dialog.OnMakePalettes();
  EXPECT_EQ(view.status[1], "Making palettes is not available here");
}

}  // namespace
}  // namespace pixmold
