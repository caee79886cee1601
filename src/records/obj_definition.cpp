#include "records/obj_definition.h"

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "resfile/handle_owner.h"

namespace pixmold {

namespace {

// Zeroes the bytes from `from` to the end of the handle.
void ZeroFrom(MHandle definition, std::size_t from) {
  HandleLock lock(definition);
  if (lock.Data() == nullptr) return;
  for (std::size_t i = from; i < lock.Size(); ++i) lock.Data()[i] = 0;
}

// Resizes the (unlocked) handle; false when the heap refused.
bool Resize(MHandle definition, std::size_t size) {
  return SetHandleSize(definition, static_cast<std::uint32_t>(size)) == 0;
}

}  // namespace

bool ObjDefinition::Normalise(MHandle definition) {
  std::uint16_t version = 0;
  const auto size = static_cast<std::size_t>(GetHandleSize(definition));
  {
    HandleLock lock(definition);
    if (lock.Data() == nullptr) return false;
    if (lock.Size() >= 2) version = static_cast<std::uint16_t>(lock.Data()[0] | (lock.Data()[1] << 8));
  }

  if (version == kOldVersion) {
    if (size == kSize) XASSERT_FAIL("false", "correctly sized def found.");
    if (size == kShortOldSize) version = kOldestVersion;
  }

  bool converted = false;
  if (version == kOldestVersion || version == kOldVersion) {
    if (size < kSize) {
      if (!Resize(definition, kSize)) return false;
      // Every word from the old record's end on (its last odd byte included) is new.
      ZeroFrom(definition, (size / 2) * 2);
    }
    HandleLock lock(definition);
    lock.Data()[0] = static_cast<std::uint8_t>(kCurrentVersion & 0xFF);
    lock.Data()[1] = static_cast<std::uint8_t>(kCurrentVersion >> 8);
    version = kCurrentVersion;
    converted = true;
  }

  if (version != kCurrentVersion) XASSERT_FAIL("false", "bad version");

  const auto current = static_cast<std::size_t>(GetHandleSize(definition));
  if (current < kSize) {
    XASSERT_FAIL("false", "filling in defn with zeroes.");
    if (!Resize(definition, kSize)) return converted;
    ZeroFrom(definition, current);
  } else if (current > kSize) {
    XASSERT_FAIL("false", "truncating defn.");
    Resize(definition, kSize);
  }
  return converted;
}

int ObjDefinition::Swizzle(std::span<std::uint8_t> /*bytes*/) {
  XASSERT_FAIL("false", "swizzle disabled for now");
  return 0;
}

ObjDefinition::ObjDefinition(std::span<std::uint8_t> bytes) : fBytes(bytes) {
  XASSERT(bytes.size() == kSize, "definition not normalised");
}

std::uint16_t ObjDefinition::Word(int index) const {
  const auto offset = static_cast<std::size_t>(index) * 2;
  if (index < 0 || offset + 2 > fBytes.size()) return 0;
  return LoadU16(fBytes, offset, ByteOrder::kLittle);
}

void ObjDefinition::SetWord(int index, std::uint16_t value) {
  const auto offset = static_cast<std::size_t>(index) * 2;
  if (index < 0 || offset + 2 > fBytes.size()) {
    XASSERT_FAIL("index < kWordCount", "definition word out of range");
    return;
  }
  fBytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  fBytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint32_t ObjDefinition::Long(int index) const {
  return static_cast<std::uint32_t>(Word(index)) | (static_cast<std::uint32_t>(Word(index + 1)) << 16);
}

void ObjDefinition::SetLong(int index, std::uint32_t value) {
  SetWord(index, static_cast<std::uint16_t>(value & 0xFFFF));
  SetWord(index + 1, static_cast<std::uint16_t>(value >> 16));
}

std::pair<std::uint8_t, std::uint8_t> ObjDefinition::PartBytes() const {
  const std::uint16_t word = Word(kMultiTilePartWord);
  return {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)};
}

void ObjDefinition::SetPartBytes(std::uint8_t high, std::uint8_t low) {
  SetWord(kMultiTilePartWord, static_cast<std::uint16_t>((high << 8) | low));
}

void ObjDefinition::ClearEntryPoints() {
  for (int word : kEntryPointWords) SetWord(word, 0);
}

}  // namespace pixmold
