// pixmold dump FILE TYPE ID: prints one record readably, or as JSON for
// scripts, so pipeline engineers can check and diff what a build wrote
// without reading bytes. The file opens as the other resource commands open
// theirs, and only for reading: a dump never changes it.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "json_text.h"
#include "record_dump.h"
#include "res_target.h"
#include "resfile/handle_owner.h"
#include "resource_address.h"

namespace pixmold::cli {
namespace {

struct DumpOptions {
  ResourceAddress address;
  bool json = false;
};

int RunDump(const DumpOptions& options) {
  auto type = options.address.ParsedType("dump");
  if (!type) return kExitUsage;
  int status = kExitOk;
  OpenForReadingOnly();
  auto target = OpenTarget("dump", options.address.file, false, &status);
  if (!target) return status;
  iResFile& file = *target->file;
  const auto id = static_cast<ResID>(options.address.id);
  MHandle h = GetExactResource(file, *type, id, static_cast<std::uint8_t>(options.address.variant));
  if (!h) {
    const ResErr err = file.GetError();
    const int failed = ReportFileErr("dump", file, options.address.Describe(*type), err);
    file.CloseFile();
    return failed;
  }
  std::vector<std::uint8_t> bytes;
  {
    HandleLock lock(h);
    if (lock.Data() != nullptr) bytes.assign(lock.Data(), lock.Data() + lock.Size());
  }
  const bool native = file.IsResourceNative(h);
  CTGString name;
  file.GetResName(h, name);
  file.ReleaseAndDispose(h);

  std::string error;
  std::optional<OrderedJson> record = DescribeRecord(file, *type, id, bytes, native, &error);
  file.CloseFile();
  if (!record) {
    std::cerr << "pixmold dump: " << options.address.Describe(*type) << ": " << error << '\n';
    return kExitFailed;
  }
  OrderedJson out{{"type", FormatType(*type)}, {"id", id}};
  PutText(out, "name", name.Str());
  out["size"] = bytes.size();
  for (auto& [key, value] : record->items()) out[key] = value;
  if (options.json) {
    // The name is kept exactly by PutText; record strings that are not
    // UTF-8 show U+FFFD rather than fail.
    std::cout << out.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else {
    PrintReadable(std::cout, out);
  }
  std::cout.flush();
  return std::cout ? kExitOk : kExitFailed;
}

RegisterCommand registerDump(44, [](CLI::App& app, int* status) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* cmd = app.add_subcommand("dump", "Print one record of a resource file readably (or as JSON)");
  AddResourceAddressOptions(*cmd, options->address,
                            "A resource file, a directory of loose resources, or an object base name");
  cmd->add_flag("--json", options->json, "Print the record as one JSON object");
  cmd->footer(
      "Types with a reader: OBJD (fields and function table), DGRP (every view and item), SLOT,\n"
      "TTAB (with its menu texts from TTAs), STR#, CTSS, TTAs and \\x00CST (every stored language),\n"
      "FWAV, FAMh, PALT, SPR# and SPR2 (header and frame sizes).\n"
      "Exit status: 0 printed, 1 the resource is missing, has no reader or does not read,\n"
      "2 usage error or no such file or object.");
  cmd->callback([options, status] { *status = RunDump(*options); });
});

}  // namespace
}  // namespace pixmold::cli
