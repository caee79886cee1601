// What a user meets first at the command line, as one session of commands:
// each line is a command, the exit status it must give, and what standard
// error (or the terminal) and standard output must show.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/child_process.h"
#include "support/object_file_fixture.h"
#include "support/sheet_images.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;
using testing::Quote;

// Where the command's standard streams go.
enum class Streams {
  kFiles,       // standard output and error into files
  kFullOutput,  // standard output into a device that is always full
  kTerminal,    // a pseudo-terminal for all three; its screen is checked
  kClosedPipe,  // standard output into a pipe nobody reads, with SIGPIPE ignored
};

// "$" in any text stands for the session's directory. An expected text is
// a fragment that must appear, or, after "=", the whole of the stream.
struct Case {
  std::string args;
  int status;
  std::vector<std::string> err;
  std::string out = {};
  Streams streams = Streams::kFiles;
  std::string input = {};
  // An object file the command must leave byte for byte as it was, every
  // part of it.
  std::string unchanged = {};
};

// The bytes of each part of an object file (".iff" and ".spf" beside each
// other), each behind its name.
std::string ObjectBytes(const std::string& path) {
  const std::string base = path.ends_with(".iff") ? path.substr(0, path.size() - 4) : path;
  std::string bytes;
  for (const char* part : {".iff", ".spf"}) {
    if (std::filesystem::exists(base + part)) bytes += std::string(part) + "\n" + testing::Text(base + part);
  }
  return bytes;
}

testing::CliRun RunStep(const testing::TempDir& dir, const Case& step) {
  const std::string args = testing::Expand(step.args, dir);
  if (step.streams == Streams::kFiles) return testing::RunCli(dir, args, step.input);
  const std::string in = dir.Write("stdin.bin", step.input);
  const std::string out = dir.File("stdout.bin");
  const std::string err = dir.File("stderr.txt");
  // The deadline outside script(1), whose command must lead the terminal's
  // foreground group.
  const std::string deadline = "timeout -k 5 " + std::to_string(testing::kCommandDeadlineSeconds) + " ";
  std::string command = Quote(PIXMOLD_CLI_PATH) + " " + args;
  if (step.streams == Streams::kFullOutput) {
    command = "TERM=dumb " + deadline + command + " <" + Quote(in) + " >/dev/full 2>" + Quote(err);
  } else if (step.streams == Streams::kTerminal) {
    // script(1) runs the command on a pseudo-terminal and copies the
    // screen to its own standard output.
    command = deadline + "script -qec " + Quote("TERM=xterm COLUMNS=200 " + command) + " /dev/null <" + Quote(in) +
              " >" + Quote(out) + " 2>" + Quote(err);
  }
  int raw = 0;
  if (step.streams == Streams::kClosedPipe) {
    // The reader is gone before the command starts, so every write fails;
    // an ignored SIGPIPE (as some job runners leave it) makes that a write
    // error instead of the signal.
    command = "TERM=dumb " + deadline + command + " <" + Quote(in) + " 2>" + Quote(err);
    const pid_t child = fork();
    if (child == 0) {
      int ends[2];
      if (pipe(ends) != 0 || close(ends[0]) != 0 || dup2(ends[1], STDOUT_FILENO) < 0) _exit(99);
      signal(SIGPIPE, SIG_IGN);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(98);
    }
    raw = testing::WaitForChild(child).value_or(-1);
  } else {
    raw = std::system(command.c_str());
  }
  testing::CliRun result{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), {}, testing::Text(err)};
  if (step.streams == Streams::kTerminal) {
    for (char c : testing::Text(out)) {
      if (c != '\r') result.err += c;  // the terminal's own line ends
    }
  }
  return result;
}

const char kSizesTag[] = "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n";

const char kChairMarkup[] =
    "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
    "<sprite id=100 tgafile=\"chair.tga\">\n"
    "<drawgroup id=100 name=\"Chair\"><item sprite id=100>\n"
    "<drawgroup id=101 name=\"Chair 2\"><item sprite id=100>\n";

TEST(CliTable, EveryCommandSaysWhatHappened) {
  testing::TempDir dir;
  testing::WriteObjectFile(dir.File("chair.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
  dir.Write("chair.omk", kChairMarkup);
  testing::WriteSheetImages(dir, "chair", 112, 24);
  dir.Write("lint.omk", std::string(kChairMarkup) + "<drawgroup id=101 name=\"Again\">\n\n<sprite id=7\n");
  dir.Write("control.omk", "<sprit\x1B[31m>");
  dir.Write("dump.omk", "note <sprite id=3 name=\"Seat A\">\r\n<Item sprite\r\nX=1 =5>");
  dir.Write("empty.omk", "");
  // Slips that once built wrong art without a word.
  testing::WriteObjectFile(dir.File("kind.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 42}),
                                                  {MakeResType("SPR2"), 100, "Chair", 0, true, {1, 2, 3, 4}}});
  dir.Write("kind.omk", std::string(kSizesTag) + "<sprite id=100 bmpfile=\"chair.bmp\">\n");
  dir.Write("swallow.omk", std::string(kSizesTag) +
                               "<sprite id=100 tgafile=\"chair.tga\" colums=2>\n"
                               "<drawgroup id=100 name=\"Chair\"\n<item sprite id=100>\n");
  dir.Write("ids.omk", std::string(kSizesTag) +
                           "<sprite id=70000 tgafile=\"chair.tga\" paletteid=70000>\n"
                           "<drawgroup id=65536 name=\"Chair\"><item sprite id=70000>\n");
  testing::WriteObjectFile(dir.File("ids.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 42})});
  testing::WriteObjectFile(dir.File("sounds.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 42}),
                                                    {MakeResType("FWAV"), 1, "", 0, true, {'a', 0}}});
  testing::WriteObjectFile(dir.File("walls.iff"), {});
  testing::WriteObjectFile(dir.File("arch.iff"), {ObjdResource(128, "Arch", ObjdFields{.guid = 43})});
  // An object file nobody may write.
  testing::WriteObjectFile(dir.File("locked.iff"), {ObjdResource(128, "Chair", ObjdFields{.guid = 44})});
  std::filesystem::permissions(dir.File("locked.iff"), std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::group_read |
                                                           std::filesystem::perms::others_read);
  testing::WriteSheetImages(dir, "pattern", 700, 300);
  std::filesystem::create_directories(dir.Path() / "data/Objects/seating");
  testing::WriteObjectFile(dir.File("data/Objects/seating/chair.iff"), {ObjdResource(128, "Chair", ObjdFields{})});
  testing::WriteObjectFile(dir.File("data/Objects/seating/chair.spf"), {});
  std::filesystem::create_directories(dir.Path() / "empty");
  dir.Write("content/Sprites/chairs/chair.omk",
            "<sizes lwidth=8 lheight=8 mwidth=4 mheight=4 swidth=2 sheight=2>"
            "<sprite id=1 tgafile=a.tga><drawgroup id=300><item sprite id=1>");
  testing::WriteSheetImages(dir, "content/Sprites/chairs/a", 56, 8);
  dir.Write("junk.iff", "not a resource file");
  std::filesystem::create_symlink(dir.File("elsewhere.iff"), dir.File("linked.iff"));
  std::string many = "\n<sprite";
  for (int i = 0; i < 100000; ++i) many += (i % 1000 == 999 ? "\na" : " a") + std::to_string(i) + "=1";
  dir.Write("many.omk", many + ">\n");
  // A sheet whose palette image has 24 bits: an internal check of the
  // image reader stops the build, named by its file in the repository.
  dir.Write("p24.omk",
            "<sizes lwidth=16 lheight=24 mwidth=8 mheight=12 swidth=4 sheight=6>\n"
            "<sprite id=100 tgafile=\"p24.tga\"><drawgroup id=100><item sprite id=100>\n");
  testing::WriteSheetImages(dir, "p24", 112, 24);
  testing::WriteFile(dir, "p24.bmp",
                     testing::BmpHeaders({.width = 112, .height = 24, .bitCount = 24, .paletteEntries = 0}, 0));
  testing::WriteObjectFile(
      dir.File("things.iff"),
      {ObjdResource(
           128, "Chair",
           {.guid = 5, .firstDrawGroupId = 100, .drawGroupCount = 2, .wallStyleId = 9, .catalogStringsId = 2000}),
       ObjdResource(129, "Part",
                    {.firstDrawGroupId = 210, .drawGroupCount = 1, .multiTileGroup = 3, .multiTilePart = 1}),
       ObjdResource(130, "Table",
                    {.guid = 0xFFFFFFFE,
                     .firstDrawGroupId = 200,
                     .drawGroupCount = 1,
                     .multiTileGroup = 3,
                     .multiTilePart = -1})});

  const Case cases[] = {
      // Commands the parser does not know, and help.
      {"buld x",
       2,
       {"=pixmold: unknown command 'buld' (did you mean 'build'?)\n"
        "Run 'pixmold --help' for the list of commands.\n"}},
      {"help buld",
       2,
       {"=pixmold: unknown command 'buld' (did you mean 'build'?)\n"
        "Run 'pixmold --help' for the list of commands.\n"}},
      {"help nosuch", 2, {"=pixmold: unknown command 'nosuch'\nRun 'pixmold --help' for the list of commands.\n"}},
      {"help build", 0, {"="}, "Usage: pixmold build [OPTIONS] object\n"},
      {"help", 0, {"="}, "Usage: pixmold [OPTIONS] "},
      {"help", 0, {"="}, "new-object"},
      {"build $chair.iff --dry_run", 2, {"not expected: --dry_run (did you mean '--dry-run'?)\n"}},
      {"build $chair.iff --dry_run --bogus -x",
       2,
       {"not expected: -x --bogus --dry_run ('--dry_run': did you mean '--dry-run'?)\n"}},
      {"--no_wait ls $chair.iff", 2, {"(did you mean '--no-wait'?)"}},
      {"build $chair.iff --bogus", 2, {"pixmold: The following argument was not expected: --bogus"}},
      {"build --help", 0, {"="}, "  --no-sprites "},
      {"tags --help", 0, {"="}, "NN: "},
      {"preview --help", 0, {"="}, "SPR2_100_frame003.png"},
      {"ls --help", 0, {"="}, "Exit status"},
      {"cat --help", 0, {"="}, "Exit status"},
      {"add --help", 0, {"="}, "Exit status"},
      {"rm --help", 0, {"="}, "Exit status"},

      // The tags of a markup file, one key or value a line, optionally with its line number.
      {"tags $dump.omk", 0, {"="}, "=<\nsprite\nid=3\nname=\"Seat A\"\n>\n<\nitem\nsprite\nx=15\n>\n"},
      {"tags --lines $dump.omk",
       0,
       {"="},
       "=<\n1: sprite\n1: id=3\n1: name=\"Seat A\"\n>\n<\n2: item\n2: sprite\n3: x=15\n>\n"},
      {"tags $empty.omk", 0, {"="}, "="},
      {"tags", 2, {}},
      {"build", 2, {}},
      {"build $chair.iff --draw-groups 40000", 2, {}},
      {"build $chair.iff --draw-groups 100,x", 2, {"--draw-groups: \"x\" is not a resource id"}},
      {"build $chair.iff --walls 1 --wall-style 3", 2, {}},
      {"build " + std::string(300, 'a'), 2, {}},
      {"build $chair.iff --report $no/such/dir/report.txt",
       2,
       {"=pixmold build: $no/such/dir/report.txt: cannot write the report file: No such file or directory\n"}},
      {"build --data $ sofa", 2, {}},
      {"objects $none.iff", 2, {}},
      {"objects $junk.iff",
       1,
       {"=pixmold objects: $junk.iff: not a resource file: 19 bytes, less than the 64-byte file header\n"}},

      // The master objects, each with its ids, one blank line between them.
      {"objects $things.iff",
       0,
       {"="},
       "=Chair\nres id : 128\nguid : 0x00000005 (5)\ncatalog id : 2000\ndg 100\ndg 101\nws 9\n"
       "\nTable\nres id : 130\nguid : 0xFFFFFFFE (-2)\ncatalog id : 0\ndg 200\ndg 210\n"},
      // dump shows a GUID as objects does.
      {"dump $things.iff OBJD 130", 0, {"="}, "\nguid: 0xFFFFFFFE (-2)\ntemplateGuid: 0x00000000 (0)\n"},

      // Builds that fail name the path and the system's reason beside the
      // report's own line.
      {"build $nosuch.iff", 1, {"fatal error: could not open object file", "pixmold build: $nosuch.iff: No such file"}},
      {"build $chair.iff --omk $nosuch.omk",
       1,
       {"fatal error: could not open attributes file", "pixmold build: $nosuch.omk: No such file or directory"}},
      {"build $chair.iff --omk $", 1, {"pixmold build: $: Is a directory"}},
      {"build --data $data chair", 2, {"pixmold build: no markup for chair: name the content tree with --content"}},
      {"build --data $data chair --content $empty", 2, {"no markup named chair.omk under $empty/Sprites/"}},
      {"build --data $data --content $content chair -q", 0, {"="}},
      {"ls $data/Objects/seating/chair", 0, {}, "DGRP\t300\t0\t"},
      {"build $chair.iff --omk $p24.omk -q",
       1,
       {"fatal error: XASSERT failure in file src/imaging/bmp_format.cpp, line "}},
      // An ordinary sheet given to an architecture pass: the compressor's
      // own words, then the sheet and the size its pieces need.
      {.args = "build $arch.iff --omk $empty.omk --wall-style 3 --wall-images $chair.tga -q",
       .status = 1,
       .err = {"fatal error: XASSERT failure in file src/imaging/spr_compressor.cpp, line ",
               ": (false) this is suspicious\npixmold build: $chair.tga: the sheet is 112 x 24 but the wall style "
               "pieces reach to 652 x 319; lay it out as README's sheet layouts show"},
       .unchanged = "$arch.iff"},
      {.args = "build $arch.iff --omk $empty.omk --floors 1 --floor-images $chair.tga -q",
       .status = 1,
       .err = {"smaller than expected...\npixmold build: $chair.tga: the sheet is 112 x 24 but the floor pieces reach "
               "to 226 x 65;"},
       .unchanged = "$arch.iff"},
      // A pass without its sheet is named before anything is read.
      {.args = "build $arch.iff --floors 1",
       .status = 2,
       .err = {"--floors needs its sheet: name it with --floor-images SHEET.tga"},
       .unchanged = "$arch.iff"},
      {.args = "build $arch.iff --wall-pattern 1 --floor-images $chair.tga",
       .status = 2,
       .err = {"--wall-pattern needs its sheet: name it with --wall-images SHEET.tga"},
       .unchanged = "$arch.iff"},
      // A read-only object file is named by the build; a dry run writes only
      // its scratch copy, so it works.
      {.args = "build $locked.iff --omk $chair.omk -q",
       .status = 1,
       .err = {"pixmold build: $locked.iff: read-only (no write permission)"},
       .unchanged = "$locked.iff"},
      {.args = "build $locked.iff --omk $chair.omk --dry-run -q",
       .status = 0,
       .err = {"is read-only (no write permission): a build that writes would stop"},
       .unchanged = "$locked.iff"},
      {"tags $nosuch.omk", 2, {"=pixmold tags: $nosuch.omk: No such file or directory\n"}},
      {"new-object $nosuch.iff $made.iff", 1, {"=pixmold new-object: $nosuch.iff: No such file or directory\n"}},
      {"add --create $nodir/x.iff STR# 1", 1, {"=pixmold add: $nodir/x.iff: No such file or directory\n"}, "", {}, "x"},

      // The lint: what a build accepts silently but a dry run points out,
      // whether or not the build then fails.
      {"build $chair.iff --omk $lint.omk --dry-run --draw-groups 100,105 --images $nodir --name Oak "
       "--clear-entry-points",
       1,
       {"fatal error: BMP file $nodir/chair.bmp required.", "warning: --name has no effect without --new-from",
        "warning: --clear-entry-points has no effect without --new-from", "warning: --images: no such directory",
        "warning: line: 7 - the markup ends inside a tag",
        "warning: draw group id 101 is used by 2 drawgroup tags; the last one written wins",
        "warning: --draw-groups: no drawgroup tag has id 105"}},
      {"build $chair.iff --dry-run --json -q",
       0,
       {"="},
       "\"dryRun\":true,\"written\":{\"DGRP\":[100,101],\"SPR2\":[100]}"},
      {"ls $chair.iff", 0, {}, "=OBJD\t128\t0\t216\tchair.iff\tChair\n"},

      // Slips that once built wrong art and exited 0. A sheet that changed
      // kind removes the old list of the other type (in the scratch copy
      // only, on a dry run).
      {.args = "build $kind.iff --omk $kind.omk --dry-run",
       .status = 0,
       .err = {"warning: sprite 100 is now an SPR# list: removed the SPR2 100 left by an earlier build"},
       .unchanged = "$kind.iff"},
      // A tag that lost its ">" and a key no tag reads, shown before a build
      // and by every build.
      {.args = "tags $swallow.omk",
       .status = 0,
       .err = {"=warning: line: 2 - the \"sprite\" tag does not read \"colums\"; ignored\n"
               "warning: line: 3 - the \"drawgroup\" tag seems to be missing its \">\": \"<item\" on line 4 was "
               "read as one of its attributes\n"}},
      {.args = "build $chair.iff --omk $swallow.omk --dry-run -q",
       .status = 0,
       .err = {"warning: line: 2 - the \"sprite\" tag does not read \"colums\"; ignored",
               "warning: line: 3 - the \"drawgroup\" tag seems to be missing its \">\""},
       .unchanged = "$chair.iff"},
      // The lint speaks in a writing build too.
      {.args = "build $chair.iff --draw-groups 150 --name Oak -q",
       .status = 0,
       .err = {"warning: --draw-groups: no drawgroup tag has id 150",
               "warning: --name has no effect without --new-from"},
       .unchanged = "$chair.iff"},
      // The draw group is known by the id it is stored under: a spec that
      // kept the wide id would leave the selection matching nothing.
      {.args = "build $ids.iff --omk $ids.omk --draw-groups 0 -q",
       .status = 0,
       .err = {"=warning: line: 2 - id 70000 does not fit in 16 bits; it is stored as 4464\n"
               "warning: line: 2 - paletteid 70000 does not fit in 16 bits; it is stored as 4464\n"
               "warning: line: 3 - id 65536 does not fit in 16 bits; it is stored as 0\n"
               "warning: line: 3 - id 70000 does not fit in 16 bits; it is stored as 4464\n"}},
      {"ls $ids.iff", 0, {"="}, "SPR2\t4464\t"},
      // Sounds are replaced only by a markup that has some.
      {.args = "build $sounds.iff --omk $chair.omk --sounds --no-sprites",
       .status = 0,
       .err = {"The markup holds no sound tag; the object's sounds are left as they are."},
       .unchanged = "$sounds.iff"},
      // Lists the build writes read back: wall patterns are version 504.
      {.args = "build $walls.iff --omk $empty.omk --wall-pattern 252 --wall-images $pattern.tga -q",
       .status = 0,
       .err = {"=Doing transition left pattern\nDoing transition left pattern\nDoing transition left pattern\n"}},
      {"dump $walls.iff SPR# 1788", 0, {"="}, "version: 504\n"},
      {"preview $walls.iff SPR# 2044 -o $previews", 0, {"colours from PALT 1788"}, "SPR#_2044_frame003.png"},

      // With --json standard output holds the JSON alone.
      {"build $chair.iff --json --draw-group-report -q", 0, {}, "\"drawGroupReport\":\"DGroupNum\\tName"},

      // A copy from a template is exact: old definitions keep their version
      // and size, and a destination left from an earlier run is named.
      {"new-object $old.iff $made.iff", 0, {"="}},
      {"ls $made.iff", 0, {"="}, "OBJD\t128\t0\t160\tmade.iff\tOld\n"},
      {"cat $made.iff OBJD 128", 0, {"="}, std::string("\x88\x00", 2)},
      {"new-object $old.iff $named.iff --name Made", 0, {"="}},
      {"ls $named.iff", 0, {"="}, "=OBJD\t128\t0\t160\tnamed.iff\tMade\n"},
      {"new-object $sized.iff $made137.iff", 0, {"="}},
      {"ls $made137.iff", 0, {"="}, "OBJD\t128\t0\t216\tmade137.iff\tSized\n"},
      {"new-object $old.iff $made.iff",
       1,
       {"=pixmold new-object: $made.iff already exists (perhaps from an earlier run); remove it or choose another "
        "name\npixmold new-object: $made.spf already exists (perhaps from an earlier run); remove it or choose "
        "another name\n"}},
      {"build $made.iff --new-from $old.iff -q",
       1,
       {"fatal error: could not make new object", "pixmold build: $made.iff: already exists"}},
      // A copy with sprites has its markup beside it too; run again, the
      // command names the object file that is there, not the markup.
      {"new-object $chair.iff $sprites.iff", 0, {}},
      {"new-object $chair.iff $sprites.iff",
       1,
       {"=pixmold new-object: $sprites.iff already exists (perhaps from an earlier run); remove it or choose another "
        "name\npixmold new-object: $sprites.spf already exists (perhaps from an earlier run); remove it or choose "
        "another name\n"}},
      {"new-object $old $nodir/copy", 1, {"=pixmold new-object: $nodir: no such folder for copy\n"}},
      {"new-object $nosuch $copy", 1, {"=pixmold new-object: $nosuch: No such file or directory\n"}},
      // A build that made its object and then failed takes it away again,
      // so that the same command can run once the markup is there.
      {"build $fresh.iff --new-from $old.iff --omk $nosuch.omk -q", 1, {"could not open attributes file"}},
      {"ls $fresh", 2, {"no resource file or object named"}},
      {"build $fresh.iff --new-from $old.iff --omk $nosuch.omk -q", 1, {"could not open attributes file"}},

      // Links where a command makes a file: refused, and nothing made where
      // they point.
      {"new-object $old.iff $linked.iff",
       1,
       {"=pixmold new-object: $linked.iff already exists (a symbolic link, which is never written through); remove "
        "it or choose another name\n"}},
      {"build $linked.iff --new-from $old.iff -q", 1, {"could not make new object"}},
      {"add --create $linked.iff STR# 1",
       1,
       {"=pixmold add: $linked.iff is a symbolic link to $elsewhere.iff, which does not exist; --create makes no file "
        "through a link\n"},
       "",
       {},
       "x"},
      {"ls $elsewhere.iff", 2, {"no resource file or object named"}},

      // A tag of more entries than a tag may hold: the limit and its line.
      {"tags $many.omk", 1, {"bad new: a tag holds at most 32767 entries, and the tag on line 2 has more"}},
      {"build $chair.iff --omk $many.omk", 1, {"bad new: a tag holds at most 32767 entries, and the tag on line 2"}},

      // Names and paths: limits, escapes and UTF-8.
      {"add $chair.iff STR# 1 --name " + std::string(64, 'n'), 2, {"=pixmold add: --name: at most 63 characters\n"}},
      {"add --create '$St\xC3\xBChl 1.iff' STR# 1 --name 'St\xC3\xBChl'", 0, {"="}, "", {}, "s"},
      {"add '$St\xC3\xBChl 1.iff' STR# 2 --name 'caf\xE9'", 0, {"="}, "", {}, "s"},
      {"add '$St\xC3\xBChl 1.iff' STR# 3 --name 'tab\there\\'", 0, {"="}, "", {}, "s"},
      {"ls --json '$St\xC3\xBChl 1.iff'",
       0,
       {"="},
       "\"component\":\"St\xC3\xBChl 1.iff\"},{\"type\":\"STR#\",\"id\":2,\"variant\":0,\"name\":\"caf\xEF\xBF\xBD\","
       "\"nameBytes\":\"636166e9\""},
      {"ls '$St\xC3\xBChl 1.iff'", 0, {"="}, "STR#\t3\t0\t1\tSt\xC3\xBChl 1.iff\ttab\\there\\\\\n"},
      {"ls $empty", 0, {"pixmold ls: $empty holds no resources"}},
      {"objects $empty", 0, {"pixmold objects: $empty holds no object definitions"}},

      // Data that cannot be written is an error.
      {"ls $chair.iff", 1, {"=pixmold: cannot write to standard output\n"}, "", Streams::kFullOutput},
      {"tags $chair.omk", 1, {"=pixmold: cannot write to standard output\n"}, "", Streams::kFullOutput},
      {"cat $chair.iff OBJD 128", 1, {"=pixmold: cannot write to standard output\n"}, "", Streams::kFullOutput},
      {"--help", 1, {"=pixmold: cannot write to standard output\n"}, "", Streams::kFullOutput},
      // A reader that went away ends the command as it ends cat: quietly, by SIGPIPE.
      {"cat $chair.iff OBJD 128", 128 + SIGPIPE, {"="}, "", Streams::kClosedPipe},
      {"--help", 128 + SIGPIPE, {"="}, "", Streams::kClosedPipe},

      // On a terminal: markup bytes cannot drive it, add does not wait for
      // typing, and a build ends with one line of totals.
      {"tags $control.omk", 0, {"sprit\\x1B[31m"}, "", Streams::kTerminal},
      {"build $chair.iff --omk $control.omk --no-sprites", 0, {"unknown tag: sprit\\x1B[31m"}, "", Streams::kTerminal},
      {"add $chair.iff STR# 9",
       2,
       {"pixmold add: reading the resource from standard input; pipe a file in"},
       "",
       Streams::kTerminal},
      {"build $chair.iff", 0, {"pixmold: built $chair.iff: 3 resources written, 0 warnings, "}, "", Streams::kTerminal},
      // Progress counts end at their totals, and the status line is cleared
      // before the draw group report, which goes to standard output.
      {"build $chair.iff --draw-group-report",
       0,
       {"pixmold: sprites 1/1\x1B[K", "pixmold: draw groups 2/2\x1B[K", "\x1B[KDGroupNum\tName"},
       "",
       Streams::kTerminal},
  };

  testing::WriteObjectFile(dir.File("old.iff"), {ObjdResource(128, "Old", ObjdFields{.version = 136, .size = 160})});
  testing::WriteObjectFile(dir.File("sized.iff"),
                           {ObjdResource(128, "Sized", ObjdFields{.version = 137, .size = 216})});
  for (const Case& step : cases) {
    const std::string object = testing::Expand(step.unchanged, dir);
    const std::string before = object.empty() ? "" : ObjectBytes(object);
    const testing::CliRun result = RunStep(dir, step);
    const std::string what = testing::Expand(step.args, dir);
    if (!object.empty()) {
      EXPECT_FALSE(before.empty()) << what << ": no object file " << object;
      EXPECT_TRUE(ObjectBytes(object) == before) << what << " changed " << object;
    }
    EXPECT_EQ(result.status, step.status) << what << "\n" << result.err;
    for (const std::string& fragment : step.err)
      testing::ExpectShows(result.err, testing::Expand(fragment, dir), what + " (error)");
    if (!step.out.empty()) testing::ExpectShows(result.out, testing::Expand(step.out, dir), what + " (output)");
    if (step.args.find("--json") != std::string::npos) {
      // One JSON object on one line, and nothing else.
      EXPECT_TRUE(result.out.starts_with("{") && result.out.ends_with("}\n")) << what << "\n" << result.out;
      EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << what;
    }
  }
}

}  // namespace
}  // namespace pixmold
