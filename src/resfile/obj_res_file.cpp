#include "resfile/obj_res_file.h"

#include "base/xassert.h"

namespace pixmold {

ObjResFile::ObjResFile() {
  AddComponent(kIFF2Kind, ".iff");
  AddComponent(kIFF2Kind, ".spf");
  AddComponent(kResolveKind, ".dir");
}

void ObjResFile::SetOverride(ResID id, std::optional<std::span<const std::int16_t>> list) {
  if (list) {
    fOverrides[id].assign(list->begin(), list->end());
    return;
  }
  if (fOverrides.erase(id) == 0) XASSERT_FAIL("false", "override not found");
}

const std::vector<std::int16_t>* ObjResFile::GetOverride(ResID id) const {
  auto it = fOverrides.find(id);
  return it == fOverrides.end() ? nullptr : &it->second;
}

const AnimTable* ObjResFile::GetAnimTable(ResID id) {
  auto it = fAnimTables.find(id);
  if (it != fAnimTables.end()) return &it->second;
  AnimTable table;
  if (table.Load(this, id) != res_error::kNone) return nullptr;
  return &fAnimTables.emplace(id, std::move(table)).first->second;
}

ResErr ObjResFile::CloseFile() {
  fAnimTables.clear();
  return StdResFile::CloseFile();
}

}  // namespace pixmold
