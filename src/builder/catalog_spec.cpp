#include "builder/catalog_spec.h"

#include <string_view>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "builder/picture_resource.h"
#include "builder/target_spec.h"

namespace pixmold {
namespace {

struct SortKeyword {
  std::string_view text;
  std::uint16_t bit;
};

// Compared exactly: the catalog tools wrote these with their capitals.
constexpr std::array<SortKeyword, 9> kRoomSorts = {{
    {"Kitchen", 1},
    {"Bedroom", 2},
    {"Bathroom", 4},
    {"Family Room", 8},
    {"Outside", 16},
    {"Dining Room", 32},
    {"Miscellaneous", 64},
    {"Study", 128},
    {"", 0},
}};

constexpr std::array<SortKeyword, 9> kFunctionSorts = {{
    {"Seating", 1},
    {"Surfaces", 2},
    {"Appliances", 4},
    {"Electronics", 8},
    {"Plumbing", 16},
    {"Decorative", 32},
    {"General", 64},
    {"Lighting", 128},
    {"", 0},
}};

constexpr std::array<std::string_view, ObjDefinition::kRatingCount> kRatings = {
    "hunger", "comfort", "hygiene", "bladder", "energy", "fun", "room"};
constexpr std::array<std::string_view, 7> kSkills = {"cook",       "mechanical", "logic", "body",
                                                     "creativity", "charisma",   "study"};

// The definition's word when the key is absent.
void ReadShortWord(AttribTable& tag, std::string_view key, ObjDefinition& values, const ObjDefinition& current,
                   int word) {
  std::int16_t value = current.SignedWord(word);
  ReadShortInteger(tag, key, value);
  values.SetSignedWord(word, value);
}

void ReadSort(AttribTable& tag, std::string_view key, const std::array<SortKeyword, 9>& keywords,
              std::string_view warning, ObjDefinition& values, const ObjDefinition& current, int word) {
  std::string text;
  if (!ReadString(tag, key, text)) {
    values.SetWord(word, current.Word(word));
    return;
  }
  for (const SortKeyword& keyword : keywords) {
    if (keyword.text == text) {
      values.SetWord(word, keyword.bit);
      return;
    }
  }
  TagWarning(tag, warning);
  values.SetWord(word, 0);
}

}  // namespace

CatalogSpec::CatalogSpec() = default;

void CatalogSpec::Read(AttribTable& tag) {
  fValues.fill(0);
  fTarget = HasKey(tag, "guid") ? FindTargetFromTag(tag) : DefaultTarget();
  if (fTarget == nullptr) TagFatal(tag, "could not resolve target for catalog tag");
  if (!ReadString(tag, "bmpfile", fBmpFile) && !ReadString(tag, "thumbnail", fBmpFile)) {
    TagFatal(tag, "bmpfile or thumbnail required for catalog tag");
  }
  ObjDefinition values(fValues);
  values.SetWord(ObjDefinition::kPopupIdWord, 0);
  fPopupBmpFile.clear();
  if (ReadString(tag, "popup bmpfile", fPopupBmpFile)) {
    std::int32_t popupId = 0;
    if (!ReadLenientInteger(tag, "popup id", popupId)) {
      TagFatal(tag, "popup id required for catalog with popup bmp file");
    }
    values.SetWord(ObjDefinition::kPopupIdWord, static_cast<std::uint16_t>(popupId));
  }
  HandleLock lock = fTarget->DefinitionForReading();
  ReadValues(tag, ObjDefinition(lock.Bytes()));
}

void CatalogSpec::ReadValues(AttribTable& tag, const ObjDefinition& current) {
  ObjDefinition values(fValues);
  std::int32_t catalogId = current.CatalogStringsId();
  if (catalogId == 0) catalogId = ObjDefinition::kDefaultCatalogStringsId;
  ReadLenientInteger(tag, "id", catalogId);
  fId = catalogId;
  values.SetWord(ObjDefinition::kCatalogStringsIdWord, static_cast<std::uint16_t>(catalogId));

  ReadShortWord(tag, "cost", values, current, ObjDefinition::kPriceWord);
  ReadShortWord(tag, "initial depreciation", values, current, ObjDefinition::kInitialDepreciationWord);
  ReadShortWord(tag, "daily depreciation", values, current, ObjDefinition::kDailyDepreciationWord);
  ReadShortWord(tag, "depreciation limit", values, current, ObjDefinition::kDepreciationLimitWord);
  std::int32_t standard = current.Word(ObjDefinition::kSelfDepreciatingWord) == 0 ? 1 : 0;
  ReadInteger(tag, "standard depreciation", standard);
  values.SetWord(ObjDefinition::kSelfDepreciatingWord, standard != 0 ? 0 : 1);
  ReadSort(tag, "room sort", kRoomSorts, "no valid room sort value", values, current, ObjDefinition::kRoomSortWord);
  ReadSort(tag, "function sort", kFunctionSorts, "no valid function sort value", values, current,
           ObjDefinition::kFunctionSortWord);

  for (int i = 0; i < ObjDefinition::kRatingCount; ++i) {
    std::int32_t rating = 0;
    ReadInteger(tag, kRatings[static_cast<std::size_t>(i)], rating);
    values.SetSignedWord(ObjDefinition::kRatingHungerWord + i, static_cast<std::int16_t>(rating));
  }
  std::uint16_t skills = 0;
  for (std::size_t i = 0; i < kSkills.size(); ++i) {
    std::int16_t on = 0;
    ReadBoolean(tag, kSkills[i], on);
    if (on != 0) skills |= static_cast<std::uint16_t>(1u << i);
  }
  values.SetWord(ObjDefinition::kSkillFlagsWord, skills);
}

void CatalogSpec::Save(std::string_view pictureDirectory, iResFile& file) {
  iResFile& destination = fTarget->File() != nullptr ? *fTarget->File() : file;
  const ObjDefinition values(fValues);
  AddPictureResource(pictureDirectory, fBmpFile, destination, kPictureType, static_cast<ResID>(fId), 0);
  const std::uint16_t popupId = values.Word(ObjDefinition::kPopupIdWord);
  if (popupId != 0) {
    AddPictureResource(pictureDirectory, fPopupBmpFile, destination, kPictureType, static_cast<ResID>(popupId), 0);
  }
  ObjDefinition definition = fTarget->DefinitionForChange();
  constexpr std::array kCopied = {ObjDefinition::kCatalogStringsIdWord,
                                  ObjDefinition::kPopupIdWord,
                                  ObjDefinition::kPriceWord,
                                  ObjDefinition::kInitialDepreciationWord,
                                  ObjDefinition::kDailyDepreciationWord,
                                  ObjDefinition::kDepreciationLimitWord,
                                  ObjDefinition::kSelfDepreciatingWord,
                                  ObjDefinition::kRoomSortWord,
                                  ObjDefinition::kFunctionSortWord,
                                  ObjDefinition::kSkillFlagsWord};
  for (int word : kCopied) definition.SetWord(word, values.Word(word));
  for (int i = 0; i < ObjDefinition::kRatingCount; ++i) {
    definition.SetWord(ObjDefinition::kRatingHungerWord + i, values.Word(ObjDefinition::kRatingHungerWord + i));
  }
  fTarget->Save();
}

}  // namespace pixmold
