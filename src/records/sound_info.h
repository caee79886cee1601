// A sound of an object (FWAV): only the name of a sound file, stored as a
// zero-terminated string with nothing after it, so the game finds the file
// beside its own sound archive.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

struct SoundInfo {
  static constexpr ResType kType = MakeResType("FWAV");

  ResID id = 0;
  std::string fileName;

  // False when the file has no FWAV with that id.
  bool Load(iResFile& file, ResID id);
  // Adds the name as FWAV `id` with an empty resource name; false on any
  // file error.
  bool Save(iResFile& file) const;

  // The name up to the first zero byte (all of it when there is none).
  static std::string NameFromBytes(std::span<const std::uint8_t> bytes);
};

}  // namespace pixmold
