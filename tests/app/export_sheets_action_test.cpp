// The dialog's "Export sheets..." action on the selected object file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "app/pixmold_dlg.h"
#include "builder/export/export_fixture.h"
#include "support/quiet_dialog_view.h"

namespace pixmold {
namespace {

using namespace export_testing;

class ReportView final : public testing::QuietDialogView {
 public:
  void ShowReport(std::string_view text) override { report = text; }

  std::string report;
};

TEST(ExportSheetsAction, ExportsTheSelectedObjectAndSaysWhat) {
  testing::TempDir dir;
  WriteSheet(dir, {"a", Form::kDepth, 28});
  dir.Write("src/obj.omk",
            kSizes + "<sprite id=8 tgafile=a.tga symmetry=radial columns=1 paletteid=7>\n" + Group(21, Item(8)));
  std::filesystem::create_directories(dir.File("data/Objects"));
  std::filesystem::create_directories(dir.File("content/Sprites"));
  testing::WriteObjectFile(dir.File("data/Objects/obj.spf"), {testing::ObjdResource(128, "Thing", {})});
  ASSERT_EQ(Build(dir.File("data/Objects/obj.spf"), dir.File("src/obj.omk"), dir.File("src/"), false), 0);

  const std::map<std::string, std::string> environment = {{"TEMP", dir.File("src")},
                                                          {"SCENDIR", dir.File("data")},
                                                          {"SPRITEDIR", dir.File("content/Sprites")},
                                                          {"XDG_CONFIG_HOME", dir.File("config")}};
  ReportView view;
  CPixmoldDlg dialog(view, DialogServices{[&](const char* name) {
                                            auto found = environment.find(name);
                                            return found == environment.end() ? std::string() : found->second;
                                          },
                                          [] { return std::string("now"); }});
  dialog.OnInitDialog();
  dialog.OnExportSheets(dir.File("out"));
  EXPECT_EQ(view.report, "Export failed: choose an object file first.\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));

  ASSERT_EQ(dialog.ObjectFiles().size(), 1u);
  dialog.OnFileSelected(0);
  dialog.OnExportSheets(dir.File("out"));
  EXPECT_NE(view.report.find("Exported 1 sprite lists, 1 draw groups and 1 palettes of "), std::string::npos)
      << view.report;
  EXPECT_NE(view.report.find(" exactly.\n"), std::string::npos) << view.report;
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/obj.omk")));

  dialog.OnExportSheets(dir.File("out"));
  EXPECT_NE(view.report.find("Export failed: "), std::string::npos) << view.report;
  EXPECT_NE(view.report.find("is not empty"), std::string::npos) << view.report;
}

}  // namespace
}  // namespace pixmold
