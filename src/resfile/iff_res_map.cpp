#include "resfile/iff_res_map.h"

#include <algorithm>

#include "resfile/iff_format.h"
#include "resfile/recon_object.h"
#include "resfile/recon_stream.h"

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
  stream.Value(freeTotal);
  auto typeCount = static_cast<std::uint32_t>(types.size());
  stream.Count(typeCount);
  if (reading) {
    if (stream.Failed() || typeCount > static_cast<std::uint32_t>(Remaining(stream) / kMinTypeBytes)) return;
    types.resize(typeCount);
  }
  for (IFFResMapType& type : types) {
    if (reading && Remaining(stream) < kMinTypeBytes) return;
    stream.Value(type.type);
    auto count = static_cast<std::uint32_t>(type.entries.size());
    stream.Count(count);
    if (reading) {
      if (stream.Failed() || count > static_cast<std::uint32_t>(Remaining(stream) / kMinEntryBytes)) return;
      type.entries.resize(count);
    }
    for (IFFResMapEntry& entry : type.entries) {
      if (reading && Remaining(stream) < kMinEntryBytes) return;
      stream.Value(entry.offset);
      stream.Value(entry.id);
      stream.Value(entry.flags);
      stream.String(entry.name);
    }
  }
  if (reading && !stream.Failed()) damaged = false;
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
  SimpleReconObject<IFFResMap> recon(map, kResMapType);
  return MakeReconHandle(recon, kResMapVersion);
}

bool ReadResMapHandle(MHandle handle, IFFResMap& map) {
  SimpleReconObject<IFFResMap> recon(map, kResMapType);
  map.damaged = true;
  return ReadReconHandle(recon, handle, nullptr) && !map.damaged;
}

}  // namespace pixmold
