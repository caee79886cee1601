#include "object_definition_fixture.h"

#include "resfile/res_types.h"

namespace pixmold::testing {
namespace {

void PutWord(std::vector<std::uint8_t>& bytes, int word, std::uint16_t value) {
  const auto offset = static_cast<std::size_t>(word) * 2;
  if (offset + 2 > bytes.size()) return;
  bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::vector<std::uint8_t> MakeObjdBytes(const ObjdFields& fields) {
  std::vector<std::uint8_t> bytes(fields.size, 0);
  PutWord(bytes, 0, fields.version);
  PutWord(bytes, 3, static_cast<std::uint16_t>(fields.firstDrawGroupId));
  PutWord(bytes, 4, static_cast<std::uint16_t>(fields.drawGroupCount));
  PutWord(bytes, 7, fields.treeTableId);
  PutWord(bytes, 10, static_cast<std::uint16_t>(fields.multiTileGroup));
  PutWord(bytes, 11, static_cast<std::uint16_t>(fields.multiTilePart));
  PutWord(bytes, 14, static_cast<std::uint16_t>(fields.guid & 0xFFFF));
  PutWord(bytes, 15, static_cast<std::uint16_t>(fields.guid >> 16));
  PutWord(bytes, 41, fields.catalogStringsId);
  PutWord(bytes, 81, static_cast<std::uint16_t>(fields.wallStyleId));
  return bytes;
}

StoredResource ObjdResource(ResID id, std::string name, const ObjdFields& fields) {
  StoredResource resource;
  resource.type = MakeResType("OBJD");
  resource.id = id;
  resource.name = std::move(name);
  resource.bytes = MakeObjdBytes(fields);
  return resource;
}

}  // namespace pixmold::testing
