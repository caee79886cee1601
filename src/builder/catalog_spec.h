// A "catalog" tag: the shop-window values of the target object and its
// thumbnail. Prices, depreciation and sorts the tag leaves out keep the
// definition's values; ratings and skills are taken from the tag alone, so a
// tag that drops one clears it. The values are gathered in a buffer of the
// definition's own layout and copied into the definition when the catalog
// pass saves, after the thumbnail has gone into the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "builder/generic_spec.h"
#include "records/obj_definition.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
class TargetSpec;

class CatalogSpec : public GenericSpec {
 public:
  CatalogSpec();

  // Finds the target (by "guid", else the build's default target) and reads
  // every attribute against the target's current definition.
  void Read(AttribTable& tag);
  // The thumbnail and popup as BMP_, then the values into the definition,
  // which is written back.
  void Save(std::string_view pictureDirectory, iResFile& file);

  const TargetSpec* Target() const { return fTarget; }
  const std::string& BmpFile() const { return fBmpFile; }
  const std::string& PopupBmpFile() const { return fPopupBmpFile; }
  // The gathered values, in the definition's layout.
  ObjDefinition Values() { return ObjDefinition(fValues); }

 private:
  void ReadValues(AttribTable& tag, const ObjDefinition& current);

  TargetSpec* fTarget = nullptr;
  std::string fBmpFile;
  std::string fPopupBmpFile;
  std::array<std::uint8_t, ObjDefinition::kSize> fValues{};
};

}  // namespace pixmold
