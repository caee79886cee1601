// The "slots" and "slot" tags. Units follow the markup's habits: distances
// are written in tiles and stored in sixteenths, the gradient per tile and
// stored per sixteenth; routing directions and options are switched on by
// merely naming them.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "builder/string_spec.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

struct Keyword {
  std::string_view text;
  std::uint32_t value;
};

constexpr std::array<Keyword, 5> kTypes = {{
    {"contained object", SlotDescriptor::kContainment},
    {"headline", SlotDescriptor::kSprite},
    {"sprite", SlotDescriptor::kSprite},
    {"handle", SlotDescriptor::kHandle},
    {"routing", SlotDescriptor::kRouting},
}};

constexpr std::array<Keyword, 7> kHeights = {{
    {"ground", 1},
    {"low table", 2},
    {"table", 3},
    {"counter", 4},
    {"non-standard", 5},
    {"sitting", 7},
    {"end table", 8},
}};

constexpr std::array<Keyword, 15> kRoutingFlags = {{
    {"north", 0x1},
    {"northeast", 0x2},
    {"east", 0x4},
    {"southeast", 0x8},
    {"south", 0x10},
    {"southwest", 0x20},
    {"west", 0x40},
    {"northwest", 0x80},
    {"no rotation snap", 0x100},
    {"absolute", 0x200},
    {"ignore rooms", 0x800},
    {"snap to direction", 0x1000},
    {"random", 0x2000},
    {"alt not required", 0x8000},
    {"average object location", 0x10000},
}};

template <std::size_t N>
std::optional<std::uint32_t> Lookup(const std::array<Keyword, N>& table, std::string_view text) {
  for (const Keyword& keyword : table) {
    if (keyword.text == text) return keyword.value;
  }
  return std::nullopt;
}

float ReadFloatOr(AttribTable& tag, std::string_view key, float fallback) {
  float value = fallback;
  ReadFloat(tag, key, value);
  return value;
}

// Sixteenths, truncated toward zero; values beyond 32 bits saturate rather
// than overflow.
std::int32_t Sixteenths(float tiles) {
  const double scaled = std::trunc(static_cast<double>(tiles) * 16.0);
  using Limits = std::numeric_limits<std::int32_t>;
  if (!(scaled > Limits::min())) return Limits::min();
  if (scaled > Limits::max()) return Limits::max();
  return static_cast<std::int32_t>(scaled);
}

void ReadContainment(AttribTable& tag, SlotDescriptor& slot) {
  slot.maxSize = 100;
  ReadLenientInteger(tag, "maximum size", slot.maxSize);
  if (slot.maxSize < 0) KeyWarning(tag, "maximum size", "negative size value in slot tag");
  if (slot.maxSize > 100) KeyWarning(tag, "maximum size", "size value in slot tag grater than maximum value");
  std::int16_t surface = 0;
  ReadBoolean(tag, "surface", surface);
  if (surface != 0) slot.surfaceFlags |= SlotDescriptor::kSurface;
  std::string height;
  if (ReadString(tag, "height", height)) {
    if (auto code = Lookup(kHeights, height)) {
      slot.heightCode = *code;
    } else {
      KeyWarning(tag, "height", "unknown slot height found");
    }
  }
}

void ReadRouting(AttribTable& tag, SlotDescriptor& slot) {
  ReadLenientInteger(tag, "standing", slot.standing);
  ReadLenientInteger(tag, "sitting", slot.sitting);
  ReadLenientInteger(tag, "ground", slot.ground);
  ReadLenientInteger(tag, "target", slot.target);
  slot.minProximity = Sixteenths(ReadFloatOr(tag, "min", 1.0f));
  slot.maxProximity = Sixteenths(ReadFloatOr(tag, "max", 1.0f));
  slot.optimalProximity = Sixteenths(ReadFloatOr(tag, "optimal", 1.0f));
  slot.gradient = ReadFloatOr(tag, "gradient", 3.0f) / 16.0f;
  slot.resolution = Sixteenths(ReadFloatOr(tag, "resolution", 1.0f));
  for (const Keyword& flag : kRoutingFlags) {
    if (HasKey(tag, flag.text)) slot.flags |= flag.value;
  }
  if (HasKey(tag, "facing not required")) slot.facing = SlotDescriptor::kFacingNotRequired;
  if (HasKey(tag, "opposite facing")) slot.facing = SlotDescriptor::kFacingOpposite;
}

}  // namespace

void SlotsSpec::Read(AttribTable& tag) {
  ReadCommon(tag);
  // The labels are rewritten whole; the merge on save keeps the stored
  // set's other languages.
  fStrings.ClearAll();
  fStrings.SetName(std::string(Name()) + " labels");
}

int SlotsSpec::ReadSlot(AttribTable& tag) {
  SlotDescriptor slot;
  ReadFloat(tag, "x", slot.x);
  ReadFloat(tag, "y", slot.y);
  ReadFloat(tag, "alt", slot.alt);
  std::string type;
  if (!ReadString(tag, "type", type)) type = "contained object";
  slot.type = static_cast<std::uint16_t>(Lookup(kTypes, type).value_or(SlotDescriptor::kNoType));
  if (slot.type == SlotDescriptor::kContainment) ReadContainment(tag, slot);
  if (slot.type == SlotDescriptor::kRouting) ReadRouting(tag, slot);

  const int position = static_cast<int>(fSlots.slots.size());
  std::string label;
  // A slot's position is a count of the tags before it, always in range.
  if (ReadString(tag, "name", label)) static_cast<void>(PlaceString(fStrings, position, label));
  int sameType = 0;
  for (const SlotDescriptor& earlier : fSlots.slots) sameType += earlier.type == slot.type ? 1 : 0;
  fSlots.slots.push_back(slot);
  return sameType;
}

void SlotsSpec::Save(iResFile& file) {
  fStrings.SaveSTR(&file, SlotList::kLabelSetId);
  if (fSlots.Save(file, static_cast<ResID>(fId)) != res_error::kNone) FatalError("could not save slots");
}

}  // namespace pixmold
