// Everything one build has read from its markup: one list of specs per tag
// kind, the sizes in force, and the object file the specs write into
// (borrowed from the driver). The context owns every spec; the output passes
// walk the lists after the markup pass.
#pragma once

#include <memory>

#include "builder/bmp_resource_spec.h"
#include "builder/catalog_spec.h"
#include "builder/dgrp_spec.h"
#include "builder/headline_spec.h"
#include "builder/render_spec.h"
#include "builder/skill_table.h"
#include "builder/sound_spec.h"
#include "builder/spec_list.h"
#include "builder/sprite_spec.h"
#include "builder/string_spec.h"
#include "builder/target_spec.h"
#include "builder/tree_table_spec.h"
#include "builder/wall_style_sprite_spec.h"

namespace pixmold {

class iResFile;

class BuildContext {
 public:
  explicit BuildContext(iResFile* file) : fFile(file) {}
  BuildContext(const BuildContext&) = delete;
  BuildContext& operator=(const BuildContext&) = delete;

  iResFile* File() const { return fFile; }

  SpecList<SpriteSpec> sprites{SpecOrder::kFileOrder};
  SpecList<DGRPSpec> drawGroups{SpecOrder::kFileOrder};
  RenderSpec defaultSizes;
  SpecList<SoundSpec> sounds{SpecOrder::kFileOrder};
  SpecList<SlotsSpec> slots{SpecOrder::kFileOrder};
  SpecList<HeadlineSpec> headlines{SpecOrder::kNewestFirst};
  SpecList<AttrStringSpec> attrStrings{SpecOrder::kFileOrder};
  SpecList<SkillTable> skillTables{SpecOrder::kFileOrder};
  SpecList<TargetSpec> targets{SpecOrder::kFileOrder};
  SpecList<CatalogSpec> catalogs{SpecOrder::kNewestFirst};
  SpecList<TreeTableSpec> treeTables{SpecOrder::kNewestFirst};
  SpecList<BMPResourceSpec> bitmaps{SpecOrder::kNewestFirst};
  SpecList<WallStyleSpriteSpec> wallStyles{SpecOrder::kNewestFirst};
  RenderSpec headlineSizes;

 private:
  iResFile* fFile;
};

}  // namespace pixmold
