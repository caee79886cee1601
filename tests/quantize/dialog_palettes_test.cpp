// The dialog's "Make palettes" with the real palette maker, on the demo
// object as a renderer leaves it: the palettes are made for the selected
// object, its build then passes without a palette warning, and once two
// sheets of one palette id disagree the warning shows in the status lines.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "app/pixmold_dlg.h"
#include "filelib/ctg_file_manager.h"
#include "quantize/markup_palettes.h"
#include "support/demo_object.h"
#include "support/quiet_dialog_view.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

class StatusView final : public testing::QuietDialogView {
 public:
  void ShowFileNames(const std::vector<std::string>& names) override { files = names; }
  void ShowStatus(int line, std::string_view text) override { status[line] = text; }
  void ShowReport(std::string_view text) override { report = text; }
  void BuildFinished(const std::string&, std::string_view fatalLine) override { fatal = fatalLine; }

  std::vector<std::string> files;
  std::map<int, std::string> status;
  std::string report, fatal;
};

TEST(DialogPalettes, MakePalettesThenBuildShowsPaletteWarningsInTheStatus) {
  if (!testing::DemoGeneratorCanRun()) GTEST_SKIP() << "needs /usr/bin/python3 with numpy and PIL";
  testing::TempDir root;
  ASSERT_EQ(testing::MakeDemoObject(root.File("data"), root.File("content"), "tableset",
                                    "--lwidth 64 --lheight 80 --truecolour"),
            "");
  const std::map<std::string, std::string> environment = {
      {"TEMP", root.File("tmp")}, {"SCENDIR", root.File("data")}, {"SPRITEDIR", root.File("content/Sprites")}};
  std::filesystem::create_directories(root.File("tmp"));
  StatusView view;
  DialogServices services;
  services.environment = [&](const char* name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
  };
  services.makePalettes = MakePalettesForDialog;
  CPixmoldDlg dialog(view, services);
  dialog.OnInitDialog();
  ASSERT_EQ(view.files, std::vector<std::string>{"tableset"});
  dialog.OnFileSelected(0);
  dialog.OnObjectSelected(0);

  dialog.OnMakePalettes();
  EXPECT_EQ(view.status[0] + "|" + view.status[1], "Palettes made|Wrote 6 palette images with 3 palettes");
  EXPECT_NE(view.report.find("palette 200: "), std::string::npos) << view.report;
  const std::string art = root.File("content/Sprites/tableset/");
  EXPECT_TRUE(std::filesystem::exists(art + "tableset_chair.bmp"));

  const auto build = [&] {
    dialog.OnBuild();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (dialog.IsBuilding() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      dialog.OnTick();
    }
    ASSERT_FALSE(dialog.IsBuilding());
    ASSERT_EQ(view.fatal, "") << view.report;
  };
  build();
  EXPECT_EQ(view.status[1] + view.status[2], "");

  // The books alone get palettes of their own: the PALT they share keeps
  // the chair's colours.
  PaletteRun books = MakePalettes({art + "tableset_books.tga"}, {});
  ASSERT_TRUE(WritePaletteImages({&books, 1}, CTGFileManager::Get().Files()).ok);
  build();
  EXPECT_TRUE(view.status[1].starts_with("warning: palette id 200: the palette images " + art +
                                         "tableset_books.bmp and " + art + "tableset_chair.bmp"))
      << view.status[1];
  EXPECT_EQ(view.status[2], "");
}

}  // namespace
}  // namespace pixmold
