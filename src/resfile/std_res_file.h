// A sequential file that keeps an object's graphics apart from its data:
// when both its ".spf" and its ".iff" components are open, sprites (SPR#,
// SPR2), draw groups, palettes and bitmaps may only be added to the ".spf"
// file and everything else only to the ".iff" file. Reads still see both.
#pragma once

#include "resfile/seq_res_file.h"

namespace pixmold {

class StdResFile : public SeqResFile {
 public:
  // The types that live in the ".spf" component, in the order the rules
  // are set.
  static constexpr ResType kGraphicsTypes[] = {MakeResType("SPR#"), MakeResType("DGRP"), MakeResType("PALT"),
                                               MakeResType("BMP_"), MakeResType("SPR2")};

  ResErr OpenFile(const CTGString& name) override;
};

}  // namespace pixmold
