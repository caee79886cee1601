#include "builder/markup_file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "markup_fixture.h"
#include "support/assert_capture.h"

namespace pixmold {
namespace {

TEST(MarkupFileNames, ANameMayNotLeaveItsFolder) {
  // The name and whether it reaches outside the folder it is relative to.
  const std::pair<const char*, bool> cases[] = {
      {"chair.tga", false},
      {"sub/chair.tga", false},
      {"sub/../chair.tga", false},
      {"./chair.tga", false},
      {"...tga", false},
      {"..chair.tga", false},
      {"sub//..//chair.tga", false},
      {"../chair.tga", true},
      {"./../chair.tga", true},
      {"sub/../../chair.tga", true},
      {"..\\chair.tga", true},
      {"sub\\..\\..\\chair.tga", true},
      {"..", true},
      {"a/b/../../..", true},
      {"", false},
  };
  for (const auto& [name, leaves] : cases) EXPECT_EQ(NameLeavesFolder(name), leaves) << name;
}

TEST(MarkupFileNames, TheFirstNameThatLeavesEndsTheBuildAtItsLine) {
  // Markup, and the message it ends with ("" when every name stays inside).
  const std::pair<const char*, const char*> cases[] = {
      {"<sprite id=1 tgafile=a.tga mask=m/../m.bmp>\n<bmpfile id=2 filename=p.bmp>\n<catalog thumbnail=t.bmp>", ""},
      // A key that is no file name of its tag is left alone.
      {"<sprite id=1 tgafile=a.tga name=../x>\n<drawgroup id=1 name=\"../x\">", ""},
      {"<sprite id=1\ntgafile=a.tga\nmask=../m.bmp>",
       "line: 3 - mask \"../m.bmp\" leaves the image folder: file names in markup are relative to their folder and "
       "may not leave it (--allow-outside-names lifts this)"},
      {"<sprite id=1 tgafile=a.tga>\n<headline id=2 bmpfile=../h.bmp>", "line: 2 - bmpfile \"../h.bmp\" leaves"},
      {"<\"wall style\" id=1 tgafile=w.tga\n\"cutaway tgafile\"=../c.tga>", "line: 2 - cutaway tgafile \"../c.tga\""},
      {"<catalog bmpfile=ok.bmp\n\"popup bmpfile\"=../p.bmp>",
       "line: 2 - popup bmpfile \"../p.bmp\" leaves the "
       "thumbnail folder"},
      {"<bmpfile id=5 filename=a/../../p.bmp>", "line: 1 - filename \"a/../../p.bmp\" leaves the thumbnail folder"},
  };
  for (const auto& [markup, message] : cases) {
    const auto tags = testing::ReadMarkup(markup);
    const std::string fatal = testing::FatalOf([&] { CheckMarkupFileNames(*tags); });
    EXPECT_EQ(fatal.substr(0, std::string(message).size()), message) << markup;
    EXPECT_EQ(fatal.empty(), *message == '\0') << markup << "\n" << fatal;
  }
}

}  // namespace
}  // namespace pixmold
