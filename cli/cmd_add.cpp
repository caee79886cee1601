// pixmold add FILE TYPE ID < bytes: adds a resource, or replaces the one of
// that type, id and variant, with the bytes read from standard input, and
// writes it to the file. In an object the usual rules place it: sprites,
// draw groups, palettes and bitmaps in NAME.spf, all else in NAME.iff.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "res_target.h"
#include "resfile/handle_owner.h"
#include "resource_address.h"

namespace pixmold::cli {
namespace {

// The longest name the containers keep (a longer one would be cut).
constexpr std::size_t kMaxNameLength = 63;

// Far above any resource of the pipeline; a larger input is a mistake.
constexpr std::size_t kMaxInput = 256u << 20;

struct AddOptions : ResourceAddress {
  std::string name;
  bool create = false;
};

bool ReadInput(std::vector<std::uint8_t>& bytes) {
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    if (bytes.size() + n > kMaxInput) return false;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return !std::ferror(stdin);
}

int RunAdd(const AddOptions& options) {
  auto type = options.ParsedType("add");
  if (!type) return kExitUsage;
  if (options.name.size() > kMaxNameLength) {
    std::cerr << "pixmold add: --name: at most " << kMaxNameLength << " characters\n";
    return kExitUsage;
  }
  // Waiting for typed bytes would look like a hang.
  if (isatty(STDIN_FILENO) != 0) {
    std::cerr << "pixmold add: reading the resource from standard input; pipe a file in\n";
    return kExitUsage;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadInput(bytes)) {
    std::cerr << "pixmold add: cannot read standard input, or it holds more than " << (kMaxInput >> 20) << " MiB\n";
    return kExitUsage;
  }
  int status = kExitOk;
  auto target = OpenTarget("add", options.file, options.create, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  std::string what = options.Describe(*type);
  auto variant = static_cast<std::uint8_t>(options.variant);
  if (variant != 0 && !target->HasVariants()) {
    file.CloseFile();
    return ReportResErr("add", what, res_error::kVariantUnsupported);
  }
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(bytes.size()));
  if (!handle) {
    file.CloseFile();
    return ReportResErr("add", what, res_error::kOutOfMemory);
  }
  if (!bytes.empty()) {
    HandleLock lock(handle.Get());
    std::memcpy(lock.Data(), bytes.data(), bytes.size());
  }
  auto id = static_cast<ResID>(options.id);
  CTGString name(options.name);
  // Variant 0 goes through AddResource, which every file takes with a name.
  ResErr err = variant == 0 ? file.AddResource(handle.Get(), *type, id, name, true)
                            : file.AddVariantResource(handle.Get(), *type, id, name, variant, true);
  if (err != res_error::kNone) return CloseTarget("add", *target, what, err);
  MHandle h = handle.Release();
  err = file.WriteResource(h);
  if (err == res_error::kNone) {
    file.ReleaseAndDispose(h);
    err = file.GetError();
  }
  return CloseTarget("add", *target, what, err);
}

RegisterCommand registerAdd(42, [](CLI::App& app, int* status) {
  auto options = std::make_shared<AddOptions>();
  CLI::App* cmd = app.add_subcommand("add", "Add or replace a resource with the bytes on standard input");
  AddResourceAddressOptions(*cmd, *options, "A resource file or an object base name");
  cmd->add_option("--name", options->name, "Resource name, at most 63 characters");
  cmd->add_flag("--create", options->create,
                "Create FILE when it does not exist: a container when it ends in .iff or .spf,\n"
                "otherwise an object (FILE.iff, FILE.spf and FILE.dir)");
  cmd->footer(
      "A resource of the same type, id and variant is replaced. In an object, SPR#, SPR2, DGRP, PALT\n"
      "and BMP_ resources go to NAME.spf and all others to NAME.iff; the NAME.dir directory is read only.\n"
      "Standard input must be a file or a pipe, not a terminal. A damaged or read-only object, or one\n"
      "with a part that does not open, is refused and left as it is; --create makes no file through a\n"
      "symbolic link.\n"
      "Exit status: 0 added, 1 the file cannot be opened or refused the resource (the path and the\n"
      "system's reason, or the resource layer's error code and message, on standard error), 2 usage\n"
      "error, unreadable input, or no such file or object without --create.");
  cmd->callback([options, status] { *status = RunAdd(*options); });
});

}  // namespace
}  // namespace pixmold::cli
