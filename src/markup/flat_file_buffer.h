// The character source over a markup file. It reads one byte per call
// through the file layer, with no buffer of its own, so what it delivers is
// exactly the file's bytes up to the first zero byte, read error or end.
#pragma once

#include <cstdint>

#include "markup/char_scanner.h"

namespace pixmold {

class FlatFile;

class FlatFileBuffer : public CharScanner {
 public:
  // The file is borrowed and may be null (then nothing is read). Reading
  // starts at the beginning of the file.
  explicit FlatFileBuffer(FlatFile* file);

 protected:
  std::uint8_t ReadRawChar() override;

 private:
  FlatFile* fFile;
};

}  // namespace pixmold
