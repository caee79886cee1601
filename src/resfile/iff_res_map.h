// The resource map of the second IFF version: an 'rsmp' resource, written at
// close, that lists every resource (type, block offset, id, flags, name) and
// the free total, so that opening reads one block instead of walking them
// all. It is stored as a Recon record.
//
// A map is read from a file we do not trust. Reading checks every count
// against the bytes left before it allocates; Check then holds the entries
// against the file: each inside it, none overlapping another or the map's
// own block, none free, none itself a map. A map that fails is ignored and
// the file is walked instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ctg_string.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

class ReconStream;

struct IFFResMapEntry {
  std::int32_t offset = 0;
  ResID id = 0;
  std::uint16_t flags = 0;
  CTGString name;
  // Not stored: the distance to the next block the map lists (or to the end
  // of the file), which bounds the block's size. Set by Check.
  std::int32_t blockLimit = 0;
};

struct IFFResMapType {
  ResType type = 0;
  std::vector<IFFResMapEntry> entries;
};

struct IFFResMap {
  std::int32_t freeTotal = 0;
  std::vector<IFFResMapType> types;
  // Set while reading when the bytes ran out or a count could not be true.
  bool damaged = false;

  // The map's fields through a Recon stream, in either direction.
  void Reconstitute(ReconStream& stream, std::uint32_t version);

  enum class Verdict { kGood, kCorrupt, kHoldsMap };
  // Holds the entries against a file of fileSize bytes whose map block lies
  // at mapOffset and spans mapSize bytes; sets each entry's block limit.
  // lastBlock gets the offset of the listed block that ends the file's
  // listed blocks (-1 when that is the map itself), whose header the caller
  // reads to prove the file was not cut short.
  Verdict Check(std::int32_t fileSize, std::int32_t mapOffset, std::int32_t mapSize, std::int32_t headerSize,
                std::int32_t& lastBlock);
};

// The map as a Recon handle (header and data), or null when out of memory.
MHandle MakeResMapHandle(IFFResMap& map);
// Reads a map from a Recon handle; false when the record is not a whole map.
bool ReadResMapHandle(MHandle handle, IFFResMap& map);

}  // namespace pixmold
