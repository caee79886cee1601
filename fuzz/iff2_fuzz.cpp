// Opens arbitrary bytes as a version 2 IFF file, entirely in memory: reads
// every resource by index, by id and by name, and closes. When the last
// input byte asks for it, it also adds, replaces and removes resources and
// closes (which writes a map and may compact); the file must then open again
// and hold what was added.
#include <cstddef>
#include <cstdint>

#include "iff_fuzz_common.h"
#include "resfile/iff_res_file2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return pixmold::fuzz::OpenReadAndChange<pixmold::IFFResFile2>(data, size);
}
