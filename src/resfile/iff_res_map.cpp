#include "resfile/iff_res_map.h"

#include <algorithm>

#include "resfile/iff_format.h"
#include "resfile/recon.h"

namespace pixmold {
namespace {

constexpr std::uint32_t kResMapVersion = 0;
// Bytes a listed type takes at least (type, count), and a listed resource
// (offset, id, flags, an empty name padded to an even length).
constexpr std::int32_t kMinTypeBytes = 8;
constexpr std::int32_t kMinEntryBytes = 10;

std::int32_t Remaining(const ReconStream& stream) { return std::max(0, stream.Size() - stream.Position()); }

}  // namespace

void IFFResMap::Reconstitute(ReconStream& stream, std::uint32_t) {
  const bool reading = stream.IsReading();
  // A reader only trusts what it reached the end of.
  if (reading) damaged = true;
  stream.Int32(&freeTotal);
  auto typeCount = static_cast<std::int32_t>(types.size());
  stream.Int32(&typeCount);
  if (reading) {
    if (typeCount < 0 || typeCount > Remaining(stream) / kMinTypeBytes) return;
    types.resize(static_cast<std::size_t>(typeCount));
  }
  for (IFFResMapType& type : types) {
    if (reading && Remaining(stream) < kMinTypeBytes) return;
    stream.Int32(&type.type);
    auto count = static_cast<std::int32_t>(type.entries.size());
    stream.Int32(&count);
    if (reading) {
      if (count < 0 || count > Remaining(stream) / kMinEntryBytes) return;
      type.entries.resize(static_cast<std::size_t>(count));
    }
    for (IFFResMapEntry& entry : type.entries) {
      if (reading && Remaining(stream) < kMinEntryBytes) return;
      stream.Int32(&entry.offset);
      stream.Int16(&entry.id);
      stream.Int16(&entry.flags);
      stream.String(entry.name);
    }
  }
  if (reading && stream.Position() <= stream.Size()) damaged = false;
}

IFFResMap::Verdict IFFResMap::Check(std::int32_t fileSize, std::int32_t mapOffset, std::int32_t mapSize,
                                    std::int32_t headerSize, std::int32_t& lastBlock) {
  struct Listed {
    std::int32_t offset;
    IFFResMapEntry* entry;  // null for the map's own block
  };
  std::vector<Listed> listed;
  for (IFFResMapType& type : types) {
    if (type.type == kResMapType && !type.entries.empty()) return Verdict::kHoldsMap;
    for (IFFResMapEntry& entry : type.entries) {
      if (entry.flags & kInvalid) return Verdict::kCorrupt;
      if (entry.offset < kIFFFileHeaderSize || static_cast<std::int64_t>(entry.offset) + headerSize > fileSize) {
        return Verdict::kCorrupt;
      }
      if (entry.name.Length() > kIFFMaxNameLength) return Verdict::kCorrupt;
      listed.push_back({entry.offset, &entry});
    }
  }
  listed.push_back({mapOffset, nullptr});
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.offset < b.offset; });
  // Blocks do not overlap: each one ends at or before the next one starts.
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const std::int32_t next = i + 1 < listed.size() ? listed[i + 1].offset : fileSize;
    const std::int32_t room = next - listed[i].offset;
    if (room < (listed[i].entry ? headerSize : mapSize)) return Verdict::kCorrupt;
    if (listed[i].entry) listed[i].entry->blockLimit = room;
  }
  lastBlock = listed.back().entry ? listed.back().offset : -1;
  return Verdict::kGood;
}

MHandle MakeResMapHandle(IFFResMap& map) {
  SimpleReconObject<IFFResMap> recon(&map, kResMapType);
  return MakeReconHandle(recon, kResMapVersion);
}

bool ReadResMapHandle(MHandle handle, IFFResMap& map) {
  SimpleReconObject<IFFResMap> recon(&map, kResMapType);
  map.damaged = true;
  ReadReconHandle(recon, handle, nullptr);
  return !map.damaged;
}

}  // namespace pixmold
