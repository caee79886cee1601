// Maps arbitrary bytes as an archive, entirely in memory, then reads every
// member it mapped in small and large pieces and extracts them all. A member
// must read back exactly its mapped size and never more.
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <span>

#include "base/report.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixmold;
  std::ostream discard(nullptr);
  ScopedReportTarget quiet(ReportTarget{&discard, nullptr, nullptr, nullptr});
  MemoryFileSystem files;
  files.AddFile("/fuzz/input.far", std::span(data, size));
  CTGFileManager manager(files);
  if (!manager.MapFAR("/fuzz/input.far")) return 0;
  unsigned char buffer[5000];
  for (const CTGFileManager::MappedFile& mapped : manager.MappedFiles()) {
    if (mapped.offset < 0 || mapped.offset + mapped.size > static_cast<std::int64_t>(size)) std::abort();
    std::unique_ptr<CTGFile> file = manager.Open(mapped.path, false);
    if (!file || file->Size() != mapped.size) std::abort();
    std::int64_t total = 0;
    for (std::size_t step = 1;; step = step * 7 % 4999 + 1) {
      std::int64_t n = file->Read(buffer, step);
      if (n < 0) std::abort();
      if (n == 0) break;
      total += n;
    }
    if (total != mapped.size || file->Seek(mapped.size + 1)) std::abort();
  }
  manager.Extracting("/fuzz/input.far", "/out", discard);
  return 0;
}
