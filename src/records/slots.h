// The slots of an object (SLOT): where other objects sit on it, where its
// headline sprites hang, and where a person stands to use it, with the
// approach rules of each routing slot. The labels are not stored here but in
// the STR# set 257 of the same file, one label per slot position.
//
// The record has grown field by field over ten versions; every version still
// loads, and loading converts the units of older records (proximities were
// whole tiles before version 10, facing rules were flag bits before 9) so the
// rest of the system only ever sees version 10.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resfile/recon_object.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

struct SlotDescriptor {
  static constexpr std::uint16_t kContainment = 0;
  static constexpr std::uint16_t kSprite = 1;
  static constexpr std::uint16_t kHandle = 2;
  static constexpr std::uint16_t kRouting = 3;
  static constexpr std::uint16_t kNoType = 0xFFFF;

  static constexpr std::uint32_t kSurface = 1;
  static constexpr std::int32_t kFacingDefault = -2;
  static constexpr std::int32_t kFacingNotRequired = -3;
  static constexpr std::int32_t kFacingOpposite = 4;
  static constexpr std::int32_t kFacingOld = -1;

  std::uint16_t type = kNoType;
  float x = 0.0f;
  float y = 0.0f;
  float alt = 0.0f;
  std::int32_t maxSize = 0;
  std::uint32_t surfaceFlags = 0;
  std::uint32_t heightCode = 0;
  std::int32_t standing = 0;
  std::int32_t sitting = 0;
  std::int32_t ground = 0;
  std::uint32_t flags = 0;
  std::int32_t target = -1;
  std::int32_t minProximity = 16;
  std::int32_t maxProximity = 16;
  std::int32_t optimalProximity = 16;
  float gradient = 0.1875f;
  std::int32_t facing = kFacingDefault;
  std::int32_t resolution = 16;

  // Reads any stored version (converting it to version 10 units) or writes
  // version 10.
  void Reconstitute(ReconStream& stream, std::uint32_t version);

  friend bool operator==(const SlotDescriptor&, const SlotDescriptor&) = default;
};

// A slot with its 1-based position in the record, which is also the index
// of its label in STR# 257.
struct PlacedSlot {
  SlotDescriptor slot;
  int position = 0;
};

// The slots a running object uses, by kind; handles have no use at run time.
struct SplitSlots {
  std::vector<PlacedSlot> containment;
  std::vector<PlacedSlot> routing;
  std::vector<PlacedSlot> sprites;
};

class SlotList {
 public:
  static constexpr std::uint32_t kVersion = 10;
  static constexpr ResType kType = MakeResType("SLOT");
  static constexpr ResID kLabelSetId = 257;

  ReconStreamVector<SlotDescriptor> slots;

  void Reconstitute(ReconStream& stream, std::uint32_t version) { slots.Reconstitute(stream, version); }

  // Missing SLOT: an empty list and the file's error.
  ResErr Load(iResFile& file, ResID id, std::uint32_t* version = nullptr);
  ResErr Save(iResFile& file, ResID id);

  // The stored record (header and all) and back; for the dump and the fuzzer.
  bool FromHandle(MHandle handle, std::uint32_t* version = nullptr);

  // Reads SLOT `id` and hands each slot to the list of its kind; any other
  // kind is reported ("Unexpected slot type found - may ignore") and left
  // out. False when the file has no such SLOT.
  static bool LoadSplit(iResFile& file, ResID id, SplitSlots& out);
  // The label of the slot at a 1-based position; empty when there is none.
  static std::string Label(iResFile& file, int position);
};

}  // namespace pixmold
