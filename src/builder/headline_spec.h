// A "headline" tag makes two specs: this one, which remembers where the
// headline's rows start on the shared headline sheet, and a sprite spec with
// the fixed headline sizes. Headlines are stacked one after the other, so
// each starts where the previous one's frames end.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "builder/generic_spec.h"

namespace pixmold {

class HeadlineSpec : public GenericSpec {
 public:
  // "position" (else the running headline position) and "frames" (else 1).
  void Read(AttribTable& tag, std::int32_t runningPosition);

  std::int32_t Position() const { return fPosition; }
  std::int32_t Frames() const { return fFrames; }

  // The sheet the headline's list is cut from: the file its tag names, as
  // the sprite half of the tag read it ("tgafile", else "bmpfile").
  void SetSheet(std::string fileName, bool bmpOnly) {
    fSheetName = std::move(fileName);
    fBmpOnly = bmpOnly;
  }
  const std::string& SheetName() const { return fSheetName; }
  bool BmpOnly() const { return fBmpOnly; }

 private:
  std::int32_t fPosition = 0;
  std::int32_t fFrames = 1;
  std::string fSheetName;
  bool fBmpOnly = false;
};

}  // namespace pixmold
