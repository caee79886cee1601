// The output passes a build request can switch on, called by the driver at
// their step. Each works from the specs the markup pass filed in the context
// and writes into the open object file; fatal errors end the build.
#pragma once

#include <ostream>

#include "builder/build_args.h"
#include "builder/build_context.h"
#include "builder/wall_style_sprite_spec.h"

namespace pixmold {

class iResFile;

// Renders and compresses the sprite specs from the request's TGA directory
// (only the sprites of selected draw groups when a selection is given), and
// lets the draw groups take their screen offsets.
void GenerateSprites(const BuildArgs& args, iResFile& file, BuildContext& context);

// One wall style spec's sprites, from its images in the TGA directory.
void GenerateWallStyle(BuildArgs& args, iResFile& file, const WallStyleSpriteSpec& spec);

// The architecture passes that run before the markup pass. Each adds what
// it stores to the request's list of written resources.
void MakeWalls(BuildArgs& args, iResFile& file);
void MakeRequestedWallStyle(BuildArgs& args, iResFile& file);
void MakeWallPattern(BuildArgs& args, iResFile& file);
void MakeFloors(BuildArgs& args, iResFile& file);
void MakeWater(BuildArgs& args, iResFile& file);
void MakePaletteImages(BuildArgs& args, iResFile& file, int which);

// The passes that run after the wall styles, each over its list of specs.
void WriteSounds(iResFile& file, BuildContext& context);
void WriteSlots(iResFile& file, BuildContext& context);
// Each headline's SPR# list, from its sheet in the TGA directory.
void WriteSpriteLists(const BuildArgs& args, iResFile& file, BuildContext& context);
void WriteAttributeStrings(iResFile& file, BuildContext& context);
void WriteSkillTables(iResFile& file, BuildContext& context);
void WriteCatalogs(const BuildArgs& args, iResFile& file, BuildContext& context);
void WriteTreeTables(iResFile& file, BuildContext& context);
void WriteBitmaps(const BuildArgs& args, iResFile& file, BuildContext& context);

}  // namespace pixmold
