// The object definition (OBJD): a fixed record of 108 little-endian 16-bit
// words, 216 bytes in the current version 138. Only the words this system
// reads or writes have names here; every other word is carried through as it
// was, which is why the record is handled as bytes rather than as a struct.
//
// ObjDefinition is a view over the bytes of a definition that has been
// normalised (see Normalise): it never owns them and never resizes them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>

#include "resfile/mem_handle.h"

namespace pixmold {

class ObjDefinition {
 public:
  static constexpr std::size_t kSize = 216;
  static constexpr int kWordCount = 108;
  static constexpr std::uint16_t kCurrentVersion = 138;
  static constexpr std::uint16_t kOldVersion = 137;
  static constexpr std::uint16_t kOldestVersion = 136;
  static constexpr std::size_t kShortOldSize = 160;
  static constexpr int kEntryPointCount = 30;
  static constexpr std::uint16_t kDefaultCatalogStringsId = 2000;

  // The word that fills function-table entry k.
  static constexpr std::array<int, kEntryPointCount> kEntryPointWords = {43, 5,  47, 52, 60, 21, 62, 50, 78, 44,
                                                                         74, 48, 45, 53, 55, 17, 6,  12, 24, 25,
                                                                         26, 27, 28, 29, 30, 31, 32, 33, 59, 80};

  // Word numbers of the named fields.
  enum Word : int {
    kVersionWord = 0,
    kFirstDrawGroupIdWord = 3,
    kDrawGroupCountWord = 4,
    kTreeTableIdWord = 7,
    kMultiTileGroupWord = 10,
    kMultiTilePartWord = 11,
    kGuidWord = 14,
    kPriceWord = 18,
    kInitialDepreciationWord = 35,
    kDailyDepreciationWord = 36,
    kSelfDepreciatingWord = 37,
    kDepreciationLimitWord = 38,
    kRoomSortWord = 39,
    kFunctionSortWord = 40,
    kCatalogStringsIdWord = 41,
    kPopupIdWord = 54,
    kTemplateGuidWord = 70,
    kWallStyleIdWord = 81,
    kRatingHungerWord = 82,  // then comfort, hygiene, bladder, energy, fun, room
    kSkillFlagsWord = 89,
  };
  static constexpr int kRatingCount = 7;

  // Brings a loaded definition to version 138 and 216 bytes: versions 136
  // and 137 are converted (their missing words become 0); other sizes are
  // filled with zeroes or cut, and other versions reported and kept. Returns
  // whether the record was converted. The handle must not be locked.
  static bool Normalise(MHandle definition);

  // Byte-order swapping of definitions is disabled: it reports "swizzle
  // disabled for now" and changes nothing.
  static int Swizzle(std::span<std::uint8_t> bytes);

  // The bytes must be a whole current-size record.
  explicit ObjDefinition(std::span<std::uint8_t> bytes);

  std::uint16_t Word(int index) const;
  void SetWord(int index, std::uint16_t value);
  std::int16_t SignedWord(int index) const { return static_cast<std::int16_t>(Word(index)); }
  void SetSignedWord(int index, std::int16_t value) { SetWord(index, static_cast<std::uint16_t>(value)); }
  // A 32-bit field: two words, low word first.
  std::uint32_t Long(int index) const;
  void SetLong(int index, std::uint32_t value);

  std::uint16_t Version() const { return Word(kVersionWord); }
  std::int16_t FirstDrawGroupId() const { return SignedWord(kFirstDrawGroupIdWord); }
  std::int16_t DrawGroupCount() const { return SignedWord(kDrawGroupCountWord); }
  std::uint16_t TreeTableId() const { return Word(kTreeTableIdWord); }
  std::int16_t MultiTileGroup() const { return SignedWord(kMultiTileGroupWord); }
  std::int16_t MultiTilePart() const { return SignedWord(kMultiTilePartWord); }
  std::uint32_t Guid() const { return Long(kGuidWord); }
  void SetGuid(std::uint32_t guid) { SetLong(kGuidWord, guid); }
  std::uint32_t TemplateGuid() const { return Long(kTemplateGuidWord); }
  void SetTemplateGuid(std::uint32_t guid) { SetLong(kTemplateGuidWord, guid); }
  std::uint16_t CatalogStringsId() const { return Word(kCatalogStringsIdWord); }
  std::int16_t WallStyleId() const { return SignedWord(kWallStyleIdWord); }

  // Word 11 read as two bytes (high, low), and joined back as high << 8 | low.
  std::pair<std::uint8_t, std::uint8_t> PartBytes() const;
  void SetPartBytes(std::uint8_t high, std::uint8_t low);

  // A single-tile object, or the master part (-1) of a multi-tile group.
  bool IsMaster() const { return MultiTileGroup() == 0 || MultiTilePart() == -1; }
  bool IsSingleTile() const { return MultiTileGroup() == 0; }

  // Sets all thirty entry-point words to 0.
  void ClearEntryPoints();

  std::span<const std::uint8_t> Bytes() const { return fBytes; }

 private:
  std::span<std::uint8_t> fBytes;
};

}  // namespace pixmold
