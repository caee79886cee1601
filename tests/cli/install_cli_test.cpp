// The program as it reaches a user's machine, and the tools beside it: an
// install under a prefix, with a manual page and shell completion that
// follow the commands the program has, and generators that show their help
// instead of treating a stray word as a path to write to.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace pixmold {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::Text;

struct Shell {
  int status = -1;
  std::string out;
  std::string err;
};

Shell RunShell(const testing::TempDir& dir, const std::string& line) {
  const std::string out = dir.File("shell.out");
  const std::string err = dir.File("shell.err");
  const int raw = std::system(("timeout -k 5 " + std::to_string(testing::kCommandDeadlineSeconds) + " sh -c " +
                               Quote(line) + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null")
                                  .c_str());
  return Shell{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), Text(out), Text(err)};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

TEST(CliInstall, PutsTheProgramsManualAndCompletionUnderThePrefix) {
  testing::TempDir dir;
  const std::string prefix = dir.File("prefix");
  const Shell install =
      RunShell(dir, "cmake --install " + Quote(PIXMOLD_BUILD_DIR) + " --prefix " + Quote(prefix) + " >/dev/null");
  ASSERT_EQ(install.status, 0) << install.err;
  const std::string pixmold = prefix + "/bin/pixmold";
  EXPECT_TRUE(fs::exists(pixmold));
  EXPECT_EQ(fs::exists(prefix + "/bin/pixmold-gui"), bool(PIXMOLD_GUI_BUILT));

  // Every command the program has is in the manual, with its help text.
  const Shell listed = RunShell(dir, Quote(pixmold) + " --complete");
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::vector<std::string> commands;
  for (const std::string& word : Lines(listed.out)) {
    if (!word.starts_with("-") && word != "help") commands.push_back(word);
  }
  EXPECT_GE(commands.size(), 13u) << listed.out;
  const std::string manual = Text(prefix + "/share/man/man1/pixmold.1");
  EXPECT_TRUE(manual.starts_with(".TH PIXMOLD 1 ")) << manual.substr(0, 200);
  const auto roff = [](const std::string& text) {
    std::string escaped;
    for (char c : text) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
    return escaped;
  };
  for (const std::string& command : commands) {
    EXPECT_NE(manual.find("\n.SS " + roff(command) + "\n.nf\n"), std::string::npos) << command;
    const std::string usage = roff("Usage: pixmold " + command + " [OPTIONS]");
    EXPECT_NE(manual.find(usage), std::string::npos) << usage;
  }
  EXPECT_NE(manual.find("  \\-\\-dry\\-run"), std::string::npos) << "hyphens stay hyphens, not dashes";

  // The completion asks the installed program for its words.
  const std::string completion = prefix + "/share/bash-completion/completions/pixmold";
  const auto complete = [&](const std::string& words) {
    const Shell shell = RunShell(dir, "bash -c " + Quote("PATH=" + Quote(prefix + "/bin") + ":$PATH; source " +
                                                         Quote(completion) + "; COMP_WORDS=(" + words +
                                                         "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pixmold; "
                                                         "printf '%s\\n' \"${COMPREPLY[@]}\""));
    EXPECT_EQ(shell.status, 0) << shell.err;
    return shell.out;
  };
  EXPECT_EQ(complete("pixmold bu"), "build\n");
  EXPECT_EQ(complete("pixmold --no-wait help pre"), "preview\n");
  EXPECT_EQ(complete("pixmold --no"), "--no-wait\n");
  EXPECT_EQ(complete("pixmold build chair.iff --dry"), "--dry-run\n");
  EXPECT_EQ(complete("pixmold all --data d -k"), "-k\n");
  EXPECT_EQ(complete("pixmold build chair"), "\n") << "a path is left to the shell's file names";
}

// Each tool is copied into a folder of its own, so anything it would write
// where it lives or where it runs shows up there.
TEST(CliTools, ShowTheirHelpAndWriteNothing) {
  const struct {
    const char* tool;
    const char* run;  // how the tool is started
    const char* usage;
  } tools[] = {
      {"make_demo_object.py", "/usr/bin/python3", "usage: make_demo_object.py [-h]"},
      {"make_architecture_sheets.py", "/usr/bin/python3", "usage: make_architecture_sheets.py [-h] OUTDIR"},
      {"make_image_corpus.py", "/usr/bin/python3", "usage: make_image_corpus.py [-h]"},
      {"make_man_page.py", "/usr/bin/python3", "usage: make_man_page.py [-h] program output"},
      {"gui_screenshot.sh", "bash", "usage: tools/gui_screenshot.sh [OUT.png]"},
      {"make_icon.py", "/usr/bin/python3", "usage: make_icon.py [-h] OUTDIR"},
      {"blender/make_addon_zip.py", "/usr/bin/python3", "usage: make_addon_zip.py [-h] OUT.zip"},
  };
  for (const auto& tool : tools) {
    SCOPED_TRACE(tool.tool);
    testing::TempDir dir;
    fs::create_directories((dir.Path() / "tools" / tool.tool).parent_path());
    fs::copy_file(std::string(PIXMOLD_SOURCE_DIR) + "/tools/" + tool.tool, dir.Path() / "tools" / tool.tool);
    // The demo generator shares its projection with the Blender add-on.
    fs::create_directories(dir.Path() / "tools/blender");
    fs::copy(std::string(PIXMOLD_SOURCE_DIR) + "/tools/blender/pixmold_sheets",
             dir.Path() / "tools/blender/pixmold_sheets", fs::copy_options::recursive);
    const std::set<std::string> before = FilesUnder(dir.Path());
    const std::string program = std::string(tool.run) + " tools/" + tool.tool;

    const Shell help = RunShell(dir, "cd " + Quote(dir.Path().string()) + " && " + program + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_TRUE(help.out.starts_with(tool.usage)) << help.out;
    EXPECT_EQ(help.err, "");

    // A word that is no option of the tool is refused, not taken for a path.
    const Shell wrong = RunShell(dir, "cd " + Quote(dir.Path().string()) + " && " + program + " --bogus a b c");
    EXPECT_EQ(wrong.status, 2) << wrong.out;
    EXPECT_NE(wrong.err.find("usage:"), std::string::npos) << wrong.err;

    std::set<std::string> after = FilesUnder(dir.Path());
    after.erase("shell.out");
    after.erase("shell.err");
    EXPECT_EQ(after, before);
  }
}

}  // namespace
}  // namespace pixmold
