// The resource types the tests name most, defined once: a test program is
// compiled several files to a unit, where two files' own definitions of
// one name would meet.
#pragma once

#include "resfile/res_types.h"

namespace pixmold {

inline constexpr ResType kBMP = MakeResType("BMP_");
inline constexpr ResType kDGRP = MakeResType("DGRP");
inline constexpr ResType kNAME = MakeResType("NAME");
inline constexpr ResType kOBJD = MakeResType("OBJD");
inline constexpr ResType kPALT = MakeResType("PALT");
inline constexpr ResType kSPR = MakeResType("SPR#");
inline constexpr ResType kSPR2 = MakeResType("SPR2");
inline constexpr ResType kSTR = MakeResType("STR#");
inline constexpr ResType kTTAs = MakeResType("TTAs");

}  // namespace pixmold
