// pixmold tags FILE.omk: lists a markup file's tags as a build reads them
// (through the file layer and the markup reader), in the attribute table's
// dump format, so an artist can see what the build will see: folded case,
// dropped quotes, merged values and the line of every entry.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "base/report.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "builder/tag_attributes.h"
#include "command_registry.h"
#include "markup/markup_file.h"
#include "markup/tag_list.h"
#include "resfile/flat_file.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct TagsOptions {
  std::string file;
  bool lines = false;
};

// The warnings a build gives about the tags' attributes (a tag whose ">"
// seems to be missing, a key its kind does not read), in the build's words,
// so a slip shows before anything is built.
void WarnAboutAttributes(const TagList& tags) {
  std::ostringstream warnings;
  {
    ScopedReportTarget report(ReportTarget{&warnings, nullptr, nullptr, nullptr});
    for (const auto& tag : tags) {
      for (const TagFinding& finding : CheckTagAttributes(*tag)) Warning(finding.text, finding.line);
    }
  }
  std::cerr << EscapeControls(warnings.str(), "\n");
}

int RunTags(const TagsOptions& options) {
  FlatFile file;
  ResErr err = file.Open(options.file);
  if (err != res_error::kNone) {
    std::string reason = PathReason(options.file);
    if (reason.empty()) reason = std::string(ResErrText(err));
    std::cerr << "pixmold tags: " << EscapeControls(options.file) << ": " << reason << "\n";
    return kExitUsage;
  }
  TagList tags;
  try {
    // As on a build's worker thread, a broken invariant ends the read.
    ScopedWorkerThread worker;
    ReadMarkupFile(file, tags);
  } catch (const Terminate& fatal) {
    std::cerr << "fatal error: " << EscapeControls(WithoutSourceLocation(fatal.Message())) << "\n";
    return kExitFailed;
  }
  WarnAboutAttributes(tags);
  if (isatty(STDOUT_FILENO) == 0) {
    tags.Dump(std::cout, options.lines);
    return kExitOk;
  }
  // Markup may hold any byte; on a terminal an escape sequence would act
  // instead of showing. Line ends stay: the listing is made of them.
  std::ostringstream listing;
  tags.Dump(listing, options.lines);
  std::cout << EscapeControls(listing.str(), "\n\t");
  return kExitOk;
}

RegisterCommand reg(30, [](CLI::App& app, int* status) {
  auto options = std::make_shared<TagsOptions>();
  CLI::App* cmd = app.add_subcommand("tags", "List the tags of a markup (.omk) file as a build reads them");
  cmd->add_option("file", options->file, "The markup file")->required();
  cmd->add_flag("--lines", options->lines, "Start each entry line with its source line number, as \"NN: \"");
  cmd->footer(
      "Output: each tag as a line \"<\", one line per entry, and a line \">\". Entry 0 is the tag name;\n"
      "an attribute prints as name=value, or name=\"value\" when the value holds a space, tab or line\n"
      "end, or the name alone when it has no value. Unquoted text arrives in lower case, quotes are\n"
      "removed. With --lines: \"12: name=value\" (the line the entry starts on).\n"
      "On a terminal, control bytes other than tab and line end print as \\xHH (\\r for a carriage return).\n"
      "Standard error warns, as a build does, of a tag whose \">\" seems to be missing (an attribute\n"
      "name starting with \"<\") and of every attribute a tag does not read (colums=2), with its line.\n"
      "Exit status: 0 listed, 1 the read hit an internal error, 2 the file cannot be read (its path\n"
      "and the system's reason on standard error).");
  cmd->callback([options, status] { *status = RunTags(*options); });
});

}  // namespace
}  // namespace pixmold::cli
