// pixmold cat FILE TYPE ID: writes one resource's bytes, exactly as stored,
// to standard output, so a pipeline can pull a sprite list or a string table
// out of an object file.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "command_registry.h"
#include "res_target.h"
#include "resfile/handle_owner.h"
#include "resource_address.h"

namespace pixmold::cli {
namespace {

int RunCat(const ResourceAddress& options) {
  auto type = options.ParsedType("cat");
  if (!type) return kExitUsage;
  int status = kExitOk;
  OpenForReadingOnly();
  auto target = OpenTarget("cat", options.file, false, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  auto id = static_cast<ResID>(options.id);
  MHandle h = GetExactResource(file, *type, id, static_cast<std::uint8_t>(options.variant));
  if (!h) {
    ResErr err = file.GetError();
    const int failed = ReportFileErr("cat", file, options.Describe(*type), err);
    file.CloseFile();
    return failed;
  }
  {
    HandleLock lock(h);
    if (lock.Size() > 0 && std::fwrite(lock.Data(), 1, lock.Size(), stdout) != lock.Size()) status = kExitFailed;
  }
  file.ReleaseAndDispose(h);
  if (std::fflush(stdout) != 0 || status != kExitOk) {
    // The error stays on standard output, where main reports it once.
    file.CloseFile();
    return kExitFailed;
  }
  return CloseTarget("cat", *target);
}

RegisterCommand registerCat(41, [](CLI::App& app, int* status) {
  auto options = std::make_shared<ResourceAddress>();
  CLI::App* cmd = app.add_subcommand("cat", "Write a resource's bytes to standard output");
  AddResourceAddressOptions(*cmd, *options, "A resource file, a directory of loose resources, or an object base name");
  cmd->footer(
      "Exit status: 0 written, 1 the resource is missing or the file cannot be read (the resource\n"
      "layer's error code and message on standard error), 2 usage error or no such file or object.");
  cmd->callback([options, status] { *status = RunCat(*options); });
});

}  // namespace
}  // namespace pixmold::cli
