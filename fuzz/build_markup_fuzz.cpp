// The whole markup pass of a build (tags read into specs, the nesting rules,
// target lookups, pair groups) on arbitrary ".omk" bytes, against a small
// object file kept in memory. It runs as a build's worker thread does, so a
// broken invariant ends the pass with a fatal error, as it would end a build.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "base/report.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "builder/build_context.h"
#include "builder/tag_dispatch.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"
#include "resfile/iff_res_file2.h"

namespace {

using namespace pixmold;

void AddDefinition(iResFile& file, ResID id, const char* name, std::uint16_t version, std::size_t size,
                   std::uint32_t guid) {
  MHandle handle = NewHandle(static_cast<std::uint32_t>(size));
  std::uint8_t* bytes = HLock(handle);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
  bytes[0] = static_cast<std::uint8_t>(version & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(version >> 8);
  for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<std::uint8_t>(guid >> (8 * i));
  HUnlock(handle);
  file.AddResource(handle, MakeResType("OBJD"), id, CTGString(name), true);
  file.WriteResource(handle);
}

// Three objects: two current definitions and one of an older version.
struct ObjectFile {
  ObjectFile() : manager(files), file(manager) {
    files.MakeDirectories("/objects");
    file.CreateFile("/objects/chair.iff");
    file.OpenFile("/objects/chair.iff");
    AddDefinition(file, 128, "chair", 138, 216, 1);
    AddDefinition(file, 129, "chair - red", 138, 216, 2);
    AddDefinition(file, 130, "lamp", 137, 160, 3);
  }
  MemoryFileSystem files;
  CTGFileManager manager;
  IFFResFile2 file;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ObjectFile object;
  static std::ostream nowhere(nullptr);
  ScopedReportTarget report(ReportTarget{&nowhere, nullptr, nullptr, nullptr});
  ScopedWorkerThread worker;

  TagList tags;
  MemoryScanner source(std::span<const std::uint8_t>(data, size));
  ReadTags(source, tags);
  BuildContext context(&object.file);
  try {
    DispatchTags(context, tags);
  } catch (const Terminate&) {
    // A fatal error ends the pass, as it ends a build.
  }
  return 0;
}
