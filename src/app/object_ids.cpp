#include "app/object_ids.h"

#include <algorithm>

#include "records/obj_definition.h"
#include "resfile/handle_owner.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr ResType kObjectDefinitionType = MakeResType("OBJD");

// A normalised copy of a definition's record, so nothing stays locked.
std::vector<std::uint8_t> ReadDefinition(MHandle definition) {
  ObjDefinition::Normalise(definition);
  HandleLock lock(definition);
  if (lock.Data() == nullptr || lock.Size() != ObjDefinition::kSize) return {};
  return std::vector<std::uint8_t>(lock.Data(), lock.Data() + lock.Size());
}

void AddIdsOf(const ObjDefinition& def, ObjectIds& ids) {
  for (std::int16_t i = 0; i < def.DrawGroupCount(); ++i) {
    ids.drawGroupIds.push_back(static_cast<std::int16_t>(def.FirstDrawGroupId() + i));
  }
  if (def.WallStyleId() != 0) ids.wallStyleIds.push_back(def.WallStyleId());
}

}  // namespace

std::vector<MasterObject> ListMasterObjects(iResFile& file) {
  std::vector<MasterObject> masters;
  const std::int32_t count = file.CountResources(kObjectDefinitionType);
  for (std::int32_t index = 1; index <= count; ++index) {
    MHandle handle = file.GetIndResource(kObjectDefinitionType, index, nullptr);
    if (handle == nullptr) continue;
    std::vector<std::uint8_t> bytes = ReadDefinition(handle);
    if (bytes.empty() || !ObjDefinition(bytes).IsMaster()) continue;
    MasterObject master;
    file.GetResID(handle, master.id);
    CTGString name;
    file.GetResName(handle, name);
    master.name = name.Str();
    masters.push_back(std::move(master));
  }
  return masters;
}

ObjectIds CollectObjectIds(iResFile& file, ResID objectId) {
  ObjectIds ids;
  MHandle handle = file.GetResource(kObjectDefinitionType, objectId, nullptr);
  if (handle == nullptr) return ids;
  ids.found = true;
  CTGString name;
  file.GetResName(handle, name);
  ids.name = name.Str();
  std::vector<std::uint8_t> bytes = ReadDefinition(handle);
  if (bytes.empty()) return ids;
  const ObjDefinition def(bytes);

  if (def.IsSingleTile()) {
    if (def.FirstDrawGroupId() != 0) AddIdsOf(def, ids);
  } else if (def.IsMaster()) {
    const std::int32_t count = file.CountResources(kObjectDefinitionType);
    for (std::int32_t index = 1; index <= count; ++index) {
      MHandle part = file.GetIndResource(kObjectDefinitionType, index, nullptr);
      if (part == nullptr) continue;
      std::vector<std::uint8_t> partBytes = ReadDefinition(part);
      if (partBytes.empty()) continue;
      const ObjDefinition partDef(partBytes);
      if (partDef.MultiTileGroup() == def.MultiTileGroup() && partDef.FirstDrawGroupId() != 0) AddIdsOf(partDef, ids);
    }
  }

  ids.text = "res id : " + std::to_string(objectId) + "\r\n";
  if (def.IsMaster()) {
    ids.guid = def.Guid();
    ids.text += "guid : " + std::to_string(static_cast<std::int32_t>(def.Guid()));
    ids.text += "\r\ncatalog id : " + std::to_string(def.CatalogStringsId());
  } else {
    ids.text += "error, not a master object";
  }
  ids.text += "\r\n";
  if (ids.drawGroupIds.size() > 1) std::sort(ids.drawGroupIds.begin(), ids.drawGroupIds.end());
  for (std::int16_t id : ids.drawGroupIds) ids.text += "dg " + std::to_string(id) + "\r\n";
  for (std::int16_t id : ids.wallStyleIds) ids.text += "ws " + std::to_string(id) + "\r\n";
  return ids;
}

}  // namespace pixmold
