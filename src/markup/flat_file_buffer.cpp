#include "markup/flat_file_buffer.h"

#include "resfile/flat_file.h"

namespace pixmold {

FlatFileBuffer::FlatFileBuffer(FlatFile* file) : fFile(file) {
  if (fFile != nullptr) fFile->Seek(0);
}

std::uint8_t FlatFileBuffer::ReadRawChar() {
  if (fFile == nullptr) return 0;
  std::uint8_t byte = 0;
  if (fFile->Read(&byte, 1) != res_error::kNone) return 0;
  return byte;
}

}  // namespace pixmold
