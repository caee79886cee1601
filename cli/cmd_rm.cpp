// pixmold rm FILE TYPE ID: removes one resource from a resource file or an
// object, from whichever component holds it.
#include <iostream>
#include <memory>
#include <string>

#include "command_registry.h"
#include "res_target.h"

namespace pixmold::cli {
namespace {

struct RmOptions {
  std::string file;
  std::string type;
  int id = 0;
  int variant = 0;
};

int RunRm(const RmOptions& options) {
  auto type = ParseTypeArgument(options.type);
  if (!type) {
    std::cerr << "pixmold rm: a type is four characters (\\xHH for any byte): " << options.type << "\n";
    return kExitUsage;
  }
  int status = kExitOk;
  auto target = OpenTarget("rm", options.file, false, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  std::string what = FormatType(*type) + " " + std::to_string(options.id);
  MHandle h = GetExactResource(file, *type, static_cast<ResID>(options.id), static_cast<std::uint8_t>(options.variant));
  ResErr err = h ? file.RemoveResource(h) : file.GetError();
  if (err != res_error::kNone) {
    file.CloseFile();
    return ReportResErr("rm", what, err);
  }
  return CloseTarget("rm", *target);
}

RegisterCommand reg(43, [](CLI::App& app, int* status) {
  auto options = std::make_shared<RmOptions>();
  CLI::App* cmd = app.add_subcommand("rm", "Remove a resource from a resource file or object");
  cmd->add_option("file", options->file, "A resource file or an object base name")->required();
  cmd->add_option("type", options->type, "Four-character type, e.g. SPR2, STR#, BMP_ (\\xHH for any byte)")
      ->required();
  cmd->add_option("id", options->id, "Resource id")->required()->check(CLI::Range(-32768, 32767));
  cmd->add_option("--variant", options->variant, "Variant byte (files of the second container version)")
      ->check(CLI::Range(0, 255));
  cmd->footer(
      "Exit status: 0 removed, 1 no such resource or the file refused (the resource layer's error code\n"
      "and message on standard error), 2 usage error or no such file or object.");
  cmd->callback([options, status] { *status = RunRm(*options); });
});

}  // namespace
}  // namespace pixmold::cli
