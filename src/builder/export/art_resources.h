// The resources an export turns back into markup and sheets: the sprite
// lists (SPR2, SPR#), the palettes (PALT) and the draw groups (DGRP) of one
// variant of an object file.
//
// Lists are large and an export needs each one twice (once to learn its
// frames, once to paint them), so only their ids and names are held; their
// bytes are fetched from the file when wanted and dropped after.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

inline constexpr ResType kExportSprite2Type = MakeResType("SPR2");
inline constexpr ResType kExportSpriteType = MakeResType("SPR#");
inline constexpr ResType kExportPaletteType = MakeResType("PALT");
inline constexpr ResType kExportDrawGroupType = MakeResType("DGRP");

struct ArtResource {
  ResType type = 0;
  ResID id = 0;
  std::string name;
};

// Every resource of the type in the variant, ordered by id.
std::vector<ArtResource> ListArtResources(iResFile& file, ResType type, std::uint8_t variant);

struct ArtBytes {
  std::vector<std::uint8_t> bytes;
  bool native = true;  // stored in the file's own byte order
};

// The resource's bytes; nothing when the file cannot give them.
std::optional<ArtBytes> LoadArtBytes(iResFile& file, ResType type, ResID id, std::uint8_t variant);

// "SPR2 200", as messages and the report name a resource.
std::string ArtLabel(ResType type, ResID id);

}  // namespace pixmold
