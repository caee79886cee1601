#include "records/slots.h"

#include <cstdint>

#include "base/xassert.h"
#include "resfile/recon_stream.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr std::uint32_t kOldFacingNotRequired = 0x200;
constexpr std::uint32_t kOldFacingFlag = 0x400;

// Versions 0 to 2 kept only the position and the type.
void ReconstituteEarly(SlotDescriptor& slot, ReconStream& stream, std::uint32_t version) {
  stream.Value(slot.x);
  stream.Value(slot.y);
  if (version == 0) {
    std::int16_t wholeAlt = 0;
    stream.Value(wholeAlt);
    slot.alt = static_cast<float>(wholeAlt);
  } else {
    stream.Value(slot.alt);
  }
  stream.Value(slot.type);
  if (version == 2) {
    std::uint16_t dropped = 0;
    stream.Value(dropped);
  }
}

// Older records counted proximities in whole tiles and kept two facing rules
// as flag bits.
void ConvertFromOldVersion(SlotDescriptor& slot, std::uint32_t version) {
  if (version < 9) {
    if (slot.flags & kOldFacingNotRequired) {
      slot.facing = SlotDescriptor::kFacingNotRequired;
      slot.flags &= ~kOldFacingNotRequired;
    } else if (slot.flags & kOldFacingFlag) {
      slot.facing = SlotDescriptor::kFacingOld;
      slot.flags &= ~kOldFacingFlag;
    }
  }
  if (version < 10) {
    // Unsigned arithmetic: a hostile record's huge value wraps instead of
    // overflowing.
    auto times16 = [](std::int32_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 16u); };
    slot.minProximity = times16(slot.minProximity);
    slot.maxProximity = times16(slot.maxProximity);
    slot.optimalProximity = times16(slot.optimalProximity);
    slot.gradient /= 16.0f;
  }
}

}  // namespace

void SlotDescriptor::Reconstitute(ReconStream& stream, std::uint32_t version) {
  if (!stream.IsReading()) version = SlotList::kVersion;
  if (version < 3) {
    ReconstituteEarly(*this, stream, version);
    if (stream.IsReading()) ConvertFromOldVersion(*this, version);
    return;
  }
  stream.Value(type);
  stream.Value(x);
  stream.Value(y);
  stream.Value(alt);
  stream.Value(standing);
  stream.Value(sitting);
  stream.Value(ground);
  stream.Value(flags);
  if (version >= 4) stream.Value(target);
  if (version >= 5) {
    stream.Value(minProximity);
    stream.Value(maxProximity);
    stream.Value(optimalProximity);
    stream.Value(maxSize);
    stream.Value(surfaceFlags);
  }
  if (version >= 7) stream.Value(gradient);
  if (version >= 8) stream.Value(heightCode);
  if (version >= 9) stream.Value(facing);
  if (version >= 10) stream.Value(resolution);
  if (stream.IsReading()) ConvertFromOldVersion(*this, version);
}

ResErr SlotList::Load(iResFile& file, ResID id, std::uint32_t* version) {
  slots.clear();
  SimpleReconObject recon(*this, kType);
  return ReadReconResource(recon, file, id, version);
}

ResErr SlotList::Save(iResFile& file, ResID id) {
  SimpleReconObject recon(*this, kType);
  return WriteReconResource(recon, kVersion, file, id);
}

bool SlotList::FromHandle(MHandle handle, std::uint32_t* version) {
  slots.clear();
  SimpleReconObject recon(*this, kType);
  return ReadReconHandle(recon, handle, version);
}

bool SlotList::LoadSplit(iResFile& file, ResID id, SplitSlots& out) {
  SlotList list;
  if (list.Load(file, id) != res_error::kNone) return false;
  int position = 0;
  for (const SlotDescriptor& slot : list.slots) {
    ++position;
    switch (slot.type) {
      case SlotDescriptor::kContainment: out.containment.push_back({slot, position}); break;
      case SlotDescriptor::kRouting: out.routing.push_back({slot, position}); break;
      case SlotDescriptor::kSprite: out.sprites.push_back({slot, position}); break;
      default: XASSERT_FAIL("type is containment, routing or sprite", "Unexpected slot type found - may ignore"); break;
    }
  }
  return true;
}

std::string SlotList::Label(iResFile& file, int position) {
  CTGString label;
  file.GetIndString(label, kLabelSetId, position);
  return label.Str();
}

}  // namespace pixmold
