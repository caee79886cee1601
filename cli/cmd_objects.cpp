// pixmold objects FILE: the master objects of an object file, each with the
// ids text the dialog shows for it (resource id, GUID, catalog id, and the
// draw groups and wall styles a build of it writes).
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/object_ids.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "command_registry.h"
#include "res_target.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

// The dialog's text uses "\r\n"; a terminal wants "\n". Its GUID is shown
// as `dump` shows one.
std::string ForTerminal(const ObjectIds& ids) {
  std::string out;
  const std::string& text = ids.text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  constexpr std::string_view kGuid = "\nguid : ";
  if (const std::size_t at = out.find(kGuid); at != std::string::npos) {
    const std::size_t value = at + kGuid.size();
    out.replace(value, out.find('\n', value) - value, GuidText(ids.guid));
  }
  return out;
}

int RunObjects(const std::string& path) {
  // Opened as ls opens it, so a container file, an object base name and a
  // damaged file meet the same rules and messages.
  int status = kExitOk;
  OpenForReadingOnly();
  std::optional<ResTarget> target = OpenTarget("objects", path, false, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  try {
    ScopedWorkerThread worker;
    bool first = true;
    const auto masters = ListMasterObjects(file);
    if (masters.empty()) std::cerr << "pixmold objects: " << EscapeControls(path) << " holds no object definitions\n";
    for (const MasterObject& master : masters) {
      const ObjectIds ids = CollectObjectIds(file, master.id);
      std::cout << (first ? "" : "\n") << master.name << "\n" << ForTerminal(ids);
      first = false;
    }
    file.CloseFile();
  } catch (const Terminate& fatal) {
    std::cerr << "fatal error: " << EscapeControls(WithoutSourceLocation(fatal.Message())) << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

RegisterCommand registerObjects(20, [](CLI::App& app, int* status) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("objects", "List the master objects of an object file with their ids");
  cmd->add_option("file", *path, "The object file (its .iff, .spf and .dir parts are found by base name)")->required();
  cmd->footer(
      "Output, per master object (a single-tile object or the master of a multi-tile group), a blank\n"
      "line between objects:\n"
      "  NAME\n  res id : ID\n  guid : 0xHEX (DECIMAL)\n  catalog id : ID\n  dg ID   (one line per draw group, "
      "ascending)\n"
      "  ws ID   (one line per wall style)\n"
      "A multi-tile master lists the draw groups and wall styles of every part of its group.\n"
      "Exit status: 0 listed, 1 the file cannot be read or a damaged definition ended the listing,\n"
      "2 no such file or object.");
  cmd->callback([path, status] { *status = RunObjects(*path); });
});

}  // namespace
}  // namespace pixmold::cli
