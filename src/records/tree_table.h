// The tree table of an object (TTAB): the interactions it offers. Each entry
// pairs the behaviour trees that run an interaction, carries its motive
// advertisements, an attenuation, flags and the index of its menu text. The
// menu texts live beside it in the TTAs string set of the same id, whose
// comments carry a leading "!" on debug interactions, so load and save keep
// the two resources in step.
//
// Ten stored versions exist. Every one loads; this system writes only
// version 9, whose values are field-encoded, and a table older than version 8
// is written again as 9 as soon as it is loaded from a writable file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
class ReconStream;

struct MotiveAd {
  std::int16_t adModifier = 0;
  std::int16_t adBase = 0;
  std::int16_t adRange = 0;
  friend bool operator==(const MotiveAd&, const MotiveAd&) = default;
};

struct TreeTableEntry {
  static constexpr std::uint32_t kDebugFlag = 0x80;

  std::uint16_t guardTreeId = 0;
  std::uint16_t actionTreeId = 0;
  std::vector<MotiveAd> ads;
  std::uint32_t attenuationCode = 3;
  float attenuationValue = 0.0f;
  std::uint32_t flags = 0;
  std::uint32_t stringIndex = 0;
  std::uint32_t extraA = 50;
  std::uint32_t extraB = 0xFFFFFFFF;
  std::string menuText{};  // kept in TTAs, not in the record, from version 8 on

  bool IsDebug() const { return (flags & kDebugFlag) != 0; }
  // The attenuation the code stands for; an unknown code is reported and
  // taken as the default.
  float Attenuation() const;

  friend bool operator==(const TreeTableEntry&, const TreeTableEntry&) = default;
};

class TreeTable {
 public:
  static constexpr std::uint16_t kVersion = 9;
  static constexpr ResType kType = MakeResType("TTAB");
  static constexpr ResType kStringsType = MakeResType("TTAs");

  explicit TreeTable(std::int32_t adsPerEntry);

  std::vector<TreeTableEntry>& Entries() { return fEntries; }
  const std::vector<TreeTableEntry>& Entries() const { return fEntries; }
  std::int32_t AdsPerEntry() const { return fNumAds; }
  // The version of the record last read; kVersion for a table never loaded.
  std::uint16_t StoredVersion() const { return fStoredVersion; }
  iResFile* File() const { return fFile; }
  ResID Id() const { return fId; }

  // False (reported "adding existent tree to table") when the pair is there.
  bool Add(std::uint16_t guardTreeId, std::uint16_t actionTreeId);
  TreeTableEntry* Find(std::uint16_t guardTreeId, std::uint16_t actionTreeId);
  TreeTableEntry* FindByStringIndex(std::uint32_t stringIndex);
  bool Remove(const TreeTableEntry* entry);

  // Loads TTAB `id` and its menu texts; 0 or the file's error.
  ResErr Load(iResFile& file, ResID id);
  // Writes version 9 as TTAB `id` named `name`, then the menu texts and debug
  // marks into TTAs `id`; 0 or the file's error.
  ResErr Save(iResFile& file, ResID id, std::string_view name);
  // Saves to the file and id it was loaded from; -1 when never loaded.
  ResErr SaveAgain(std::string_view name);

  // Reads any stored version, or writes version 9. A version 7 record takes
  // its menu texts from the TTAs set of `stringsFile` and `stringsId`.
  void Reconstitute(ReconStream& stream, iResFile* stringsFile = nullptr, ResID stringsId = 0);
  // The record over bytes already in memory (the dump and the fuzzer).
  bool ReadBytes(std::span<const std::uint8_t> bytes, bool swap);

 private:
  void ReconstituteEntry(ReconStream& stream, TreeTableEntry& entry, std::uint16_t version, std::size_t position);
  void ReadOldAds(ReconStream& stream, TreeTableEntry& entry, std::uint16_t version);
  std::uint32_t NextStringIndex() const;
  void LoadMenuTexts();
  ResErr SaveMenuTexts();

  std::int32_t fNumAds;
  std::vector<TreeTableEntry> fEntries;
  iResFile* fFile = nullptr;
  ResID fId = 0;
  std::uint16_t fStoredVersion = kVersion;
};

}  // namespace pixmold
