// The in-memory index of an IFF container: every resource the file holds,
// grouped by type, with where its block lies and the handle that caches its
// bytes.
//
// Files hold thousands of resources and every add, write and release looks an
// entry up, so lookups go through hash maps (type, (id, variant), handle)
// while the per-type vectors keep the order that enumeration by index shows.
// The first version enumerates newest first, the second in order of arrival;
// when a damaged file holds two blocks with one type, id and variant, a
// lookup finds the one enumeration shows first, as a list search would.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/ctg_string.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

struct IFFEntry {
  ResType type = 0;
  ResID id = 0;
  std::uint16_t flags = 0;      // current flags; the second version keeps the variant in the high byte
  std::uint16_t diskFlags = 0;  // the flags as stored in the block (second version)
  std::int32_t offset = -1;     // the block, or -1 while the resource is only in memory
  // The most bytes the block may span: its size when we wrote or walked it,
  // the distance to the next listed block when it came from a map.
  std::int32_t blockLimit = 0;
  // A replaced resource's block stays live until the new bytes are on disk,
  // so a failure in between leaves the old resource rather than none.
  std::int32_t replacedOffset = -1;
  // The block at offset is written but still flagged free, until the
  // replaced block is freed.
  bool pending = false;
  std::int32_t nameIndex = -1;  // first version: index into the name list
  CTGString name;               // second version: the name itself
  MHandle handle = nullptr;     // cached bytes, owned by the file

  std::uint8_t Variant() const { return static_cast<std::uint8_t>(flags >> 8); }
};

class IFFIndex {
 public:
  enum class Order { kNewestFirst, kOldestFirst };

  // Without variants every entry is keyed by its id alone.
  IFFIndex(Order order, bool variants) : fOrder(order), fVariants(variants) {}
  IFFIndex(const IFFIndex&) = delete;
  IFFIndex& operator=(const IFFIndex&) = delete;

  // Types that hold at least one entry.
  std::int32_t CountTypes() const { return static_cast<std::int32_t>(fTypes.size()); }
  // 1-based, in enumeration order; 0 when out of range.
  ResType TypeAt(std::int32_t index) const;
  std::int32_t Count(ResType type) const;
  // 1-based, in enumeration order; null when out of range.
  IFFEntry* At(ResType type, std::int32_t index) const;

  IFFEntry* Find(ResType type, ResID id, std::uint8_t variant = 0) const;
  IFFEntry* FindHandle(MHandle handle) const;

  // Appends a new entry of the type, id and flags (the variant is the flags'
  // high byte) to its type, creating the type, and returns it for the caller
  // to fill in the rest.
  IFFEntry& Emplace(ResType type, ResID id, std::uint16_t flags);
  // Makes room for count more entries of a type, before adding many.
  void Reserve(ResType type, std::size_t count);
  // Forgets the entry (its handle is not disposed of).
  void Remove(IFFEntry* entry);
  // Changes the entry's id and variant, keeping it findable.
  void Rekey(IFFEntry& entry, ResID id, std::uint8_t variant);
  // Caches a handle in the entry (null forgets it).
  void SetHandle(IFFEntry& entry, MHandle handle);
  // Forgets every entry; handles are not disposed of.
  void Clear();
  bool Empty() const { return fTypes.empty(); }

  // Every entry in enumeration order of types and of entries within a type.
  void ForEach(const std::function<void(IFFEntry&)>& visit) const;
  // The entries of one type, in order of arrival (enumeration order reversed
  // for the first version).
  const std::vector<IFFEntry*>* Entries(ResType type) const;
  // The types in order of arrival.
  std::vector<ResType> Types() const;

 private:
  struct TypeNode {
    ResType type = 0;
    std::vector<IFFEntry*> entries;  // order of arrival
    std::unordered_map<std::uint32_t, IFFEntry*> byKey;
  };
  // Entries live in chunks that never move, so pointers to them stay valid
  // while a file holds thousands; a removed entry's place is taken again.
  static constexpr std::size_t kChunkSize = 256;
  IFFEntry* Allocate();

  std::uint32_t Key(ResID id, std::uint8_t variant) const;
  std::uint32_t KeyOf(const IFFEntry& entry) const { return Key(entry.id, entry.Variant()); }
  TypeNode* FindNode(ResType type) const;
  TypeNode& NodeFor(ResType type);
  // Points the key at the entry enumeration shows first, or drops it.
  void ReindexKey(TypeNode& node, std::uint32_t key);
  void RemoveNode(TypeNode* node);

  Order fOrder;
  bool fVariants;
  std::vector<std::unique_ptr<TypeNode>> fTypes;  // order of arrival
  std::unordered_map<ResType, TypeNode*> fTypeMap;
  TypeNode* fLastNode = nullptr;  // entries come in runs of one type
  std::unordered_map<MHandle, IFFEntry*> fHandles;
  std::vector<std::unique_ptr<IFFEntry[]>> fChunks;
  std::size_t fUsedInLastChunk = kChunkSize;
  std::vector<IFFEntry*> fFreeSlots;
};

}  // namespace pixmold
