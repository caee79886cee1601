// pixmold ls FILE: lists every resource of a resource file, an object (by
// its base name) or a directory of loose resources: type, id, variant,
// size, the component it lives in, and name. Resources appear component by
// component in each file's own order; a resource that an earlier component
// also holds is listed in both, and reads take the earlier one.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "json_text.h"
#include "res_target.h"
#include "resfile/mem_handle.h"
#include "resfile/res_walk.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

struct LsOptions {
  std::string file;
  bool json = false;
};

struct Row {
  ResType type;
  ResID id;
  unsigned variant;
  std::int32_t size;
  std::string component;
  std::string name;
};

// The resources of one component; false (with the error) when it fails.
ResErr Collect(iResFile& file, const std::string& label, std::vector<Row>& rows) {
  return ForEachResource(file, UnreadableResource::kStop, [&](const WalkedResource& resource) {
    rows.push_back(
        Row{resource.type, resource.id, resource.variant, GetHandleSize(resource.handle), label, resource.name.Str()});
    return res_error::kNone;
  });
}

// Control bytes as in FormatType, and the backslash doubled so that the
// escaped form reads back unambiguously.
std::string EscapeName(std::string_view name) {
  std::string doubled;
  for (char c : name) doubled += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return EscapeControls(doubled);
}

int RunLs(const LsOptions& options) {
  int status = kExitOk;
  OpenForReadingOnly();
  auto target = OpenTarget("ls", options.file, false, &status);
  if (!target) return status;
  std::vector<Row> rows;
  for (auto& [file, label] : target->Components()) {
    ResErr err = Collect(*file, label, rows);
    if (err != res_error::kNone) {
      const int failed = ReportFileErr("ls", *file, "cannot list " + label, err);
      target->file->CloseFile();
      return failed;
    }
  }
  if (options.json) {
    Json listing = Json::object();
    PutText(listing, "file", options.file);
    Json resources = Json::array();
    for (const Row& r : rows) {
      Json resource = Json::object();
      resource["type"] = FormatType(r.type);
      resource["id"] = r.id;
      resource["variant"] = r.variant;
      PutText(resource, "name", r.name);
      resource["size"] = r.size;
      PutText(resource, "component", r.component);
      resources.push_back(std::move(resource));
    }
    listing["resources"] = std::move(resources);
    std::cout << JsonLine(listing);
  } else {
    for (const Row& r : rows) {
      // Tabs and line ends in a name would break the columns.
      std::cout << FormatType(r.type) << '\t' << r.id << '\t' << r.variant << '\t' << r.size << '\t' << r.component
                << '\t' << EscapeName(r.name) << '\n';
    }
  }
  if (rows.empty() && target->kind == TargetKind::kLooseDirectory) {
    std::cerr << "pixmold ls: " << EscapeControls(options.file) << " holds no resources (\"#ID#NAME.EXT\" files)\n";
  }
  return CloseTarget("ls", *target);
}

RegisterCommand registerLs(40, [](CLI::App& app, int* status) {
  auto options = std::make_shared<LsOptions>();
  CLI::App* cmd = app.add_subcommand("ls", "List the resources of a resource file or object");
  cmd->add_option("file", options->file,
                  "A resource file (either container version), a directory of loose resources, or an\n"
                  "object's base name (NAME.iff, NAME.spf and NAME.dir together)")
      ->required();
  cmd->add_flag("--json", options->json, "Write one JSON object: {\"file\":..., \"resources\":[...]}");
  cmd->footer(
      "Output: one line per resource, tab-separated: TYPE ID VARIANT SIZE COMPONENT NAME.\n"
      "Types print as four characters, a byte outside printable ASCII as \\xHH. In names a backslash\n"
      "prints as \\\\ and a control byte as \\t, \\n, \\r or \\xHH. With --json each resource is\n"
      "{\"type\",\"id\",\"variant\",\"name\",\"size\",\"component\"}; a name or path that is not UTF-8\n"
      "shows U+FFFD for each stray byte and comes with its exact bytes in hexadecimal beside it\n"
      "(\"nameBytes\", \"fileBytes\", \"componentBytes\").\n"
      "A part that does not open, and damage that ends a part's listing, are named as warnings on\n"
      "standard error; the rest is listed.\n"
      "Exit status: 0 listed, 1 the file could not be opened or read, or a part is in use by another\n"
      "process (the part and what is wrong on standard error), 2 usage error or no such file or object.");
  cmd->callback([options, status] { *status = RunLs(*options); });
});

}  // namespace
}  // namespace pixmold::cli
