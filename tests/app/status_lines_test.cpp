#include "app/status_lines.h"

#include <gtest/gtest.h>

namespace pixmold {
namespace {

TEST(StatusLines, SpinnerTurnsOnceEveryFourTicks) {
  const char* expected[] = {"Working /", "Working -", "Working \\", "Working |", "Working /", "Working -"};
  for (std::uint32_t tick = 0; tick < 6; ++tick) EXPECT_EQ(SpinnerText(tick), expected[tick]) << tick;
  EXPECT_EQ(SpinnerText(0xFFFFFFFFu), "Working |");
}

struct ProgressCase {
  const char* name;
  std::string text;
  std::optional<std::string> generating;
  std::optional<std::string> rendering;
};

TEST(StatusLines, NewestProgressLinesOfATick) {
  const std::string padding(1100, 'x');
  const ProgressCase cases[] = {
      {"nothing new", "", std::nullopt, std::nullopt},
      {"no progress words", "warning: line: 3 - unknown tag: sprit\n", std::nullopt, std::nullopt},
      {"one of each", "Generating sprite 100, Chair Seat...\r\nRendering file seat.tga...\r\n",
       "Generating sprite 100, Chair Seat...", "Rendering file seat.tga..."},
      {"the newest generating line", "Generating sprite 100, A...\r\nGenerating sprite 101, B...\r\n",
       "Generating sprite 101, B...", std::nullopt},
      {"compressing after rendering wins",
       "Rendering file a.tga...\r\nCompressing row:0 size:large column:1 into sprite #100\r\n", std::nullopt,
       "Compressing row:0 size:large column:1 into sprite #100"},
      {"rendering after compressing wins",
       "Compressing row:0 size:large column:1 into sprite #100\r\nRendering file b.tga...\r\n", std::nullopt,
       "Rendering file b.tga..."},
      {"any case", "GENERATING sprite 7, X...\r\n", "GENERATING sprite 7, X...", std::nullopt},
      {"a line without its end", "Rendering file c.tga...", std::nullopt, "Rendering file c.tga..."},
      {"the character before a bare line feed goes", "Rendering file d.tga...\n", std::nullopt,
       "Rendering file d.tga.."},
      {"older words beyond the last 1023 characters are not seen", "Generating sprite 1, Old...\r\n" + padding,
       std::nullopt, std::nullopt},
      {"a word cut by the 1023 limit is not seen", "Generating sprite 1, Old...\r\n" + std::string(1023 - 20, 'y'),
       std::nullopt, std::nullopt},
      {"words inside the last 1023 characters are", padding + "\r\nRendering file e.tga...\r\n", std::nullopt,
       "Rendering file e.tga..."},
  };
  for (const ProgressCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgressLines lines = FindProgressLines(c.text);
    EXPECT_EQ(lines.generating, c.generating);
    EXPECT_EQ(lines.rendering, c.rendering);
  }
}

// The report file's lines end in CR LF; other warnings stay in the report.
TEST(StatusLines, PaletteWarningsOfAFinishedBuild) {
  const std::string idWarning = "warning: palette id 200: the palette images a.bmp and b.bmp have different colours";
  const std::string staleWarning = "warning: palette image c.bmp is out of date: 12.0% of the drawn pixels";
  const struct {
    std::string report;
    std::vector<std::string> lines;
  } cases[] = {
      {"Generating sprite 1, A...\r\nwarning: line: 3 - unknown tag: sprit\r\n", {}},
      {"x\r\n" + idWarning + "\r\ny\r\n", {idWarning}},
      {idWarning + "\r\n" + staleWarning, {idWarning, staleWarning}},
      {idWarning + "\n" + staleWarning + "\n" + staleWarning + "\n" + idWarning + "\n",
       {idWarning, staleWarning + " (and 2 more palette warnings in the report)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(PaletteStatusLines(c.report), c.lines) << c.report;
}

}  // namespace
}  // namespace pixmold
