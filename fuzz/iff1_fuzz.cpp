// Opens arbitrary bytes as a first-version IFF file, entirely in memory:
// reads every resource by index, by id and by name, and closes. When the
// last input byte asks for it, it also adds, replaces and removes resources
// and closes (which rewrites the name list and may compact); the file must
// then open again and hold what was added.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "iff_fuzz_common.h"
#include "resfile/iff_res_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixmold;
  static const AssertSink quiet = SetAssertSink([](const std::string&) {});
  (void)quiet;
  const std::uint8_t options = size > 0 ? data[size - 1] : 0;
  MemoryFileSystem files;
  files.AddFile(fuzz::kPath, std::span(data, size));
  CTGFileManager manager(files);
  IFFResFile file(manager);
  if (file.OpenFile(fuzz::kPath) != res_error::kNone) return 0;
  fuzz::ReadEverything(file);
  if (options & fuzz::kWrite) {
    const bool added = fuzz::ChangeSomething(file, options);
    if (file.CloseFile() != res_error::kNone) return 0;
    if (file.OpenFile(fuzz::kPath) != res_error::kNone) std::abort();
    if (added) fuzz::CheckAdded(file);
    fuzz::ReadEverything(file);
  }
  file.CloseFile();
  return 0;
}
