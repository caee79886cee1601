// pixmold rm FILE TYPE ID: removes one resource from a resource file or an
// object, from whichever component holds it.
#include <iostream>
#include <memory>
#include <string>

#include "command_registry.h"
#include "res_target.h"
#include "resource_address.h"

namespace pixmold::cli {
namespace {

int RunRm(const ResourceAddress& options) {
  auto type = options.ParsedType("rm");
  if (!type) return kExitUsage;
  int status = kExitOk;
  auto target = OpenTarget("rm", options.file, false, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  std::string what = options.Describe(*type);
  MHandle h = GetExactResource(file, *type, static_cast<ResID>(options.id), static_cast<std::uint8_t>(options.variant));
  return CloseTarget("rm", *target, what, h ? file.RemoveResource(h) : file.GetError());
}

RegisterCommand registerRm(43, [](CLI::App& app, int* status) {
  auto options = std::make_shared<ResourceAddress>();
  CLI::App* cmd = app.add_subcommand("rm", "Remove a resource from a resource file or object");
  AddResourceAddressOptions(*cmd, *options, "A resource file or an object base name");
  cmd->footer(
      "Exit status: 0 removed, 1 no such resource or the file refused (the resource layer's error code\n"
      "and message on standard error), 2 usage error or no such file or object.");
  cmd->callback([options, status] { *status = RunRm(*options); });
});

}  // namespace
}  // namespace pixmold::cli
