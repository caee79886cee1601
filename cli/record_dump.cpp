#include "record_dump.h"

#include <cstdio>

#include "imaging/palette_resource.h"
#include "imaging/sprite_preview.h"
#include "records/draw_group.h"
#include "records/family_history.h"
#include "records/obj_definition.h"
#include "records/obj_fn_table.h"
#include "records/slots.h"
#include "records/sound_info.h"
#include "records/tree_table.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_stream.h"
#include "resfile/string_set.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

// A copy of the bytes in a handle of our own, for the readers that take one.
OwnedHandle HandleWith(std::span<const std::uint8_t> bytes) {
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(bytes.size()));
  if (handle && !bytes.empty()) {
    HandleLock lock(handle.Get());
    std::copy(bytes.begin(), bytes.end(), lock.Data());
  }
  return handle;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::optional<OrderedJson> DescribeDefinition(std::span<const std::uint8_t> bytes) {
  OwnedHandle handle = HandleWith(bytes);
  if (!handle) return std::nullopt;
  const bool converted = ObjDefinition::Normalise(handle.Get());
  HandleLock lock(handle.Get());
  const ObjDefinition d(lock.Bytes());
  using D = ObjDefinition;
  OrderedJson out;
  out["storedSize"] = bytes.size();
  out["converted"] = converted;
  out["version"] = d.Version();
  out["guid"] = GuidText(d.Guid());
  out["templateGuid"] = GuidText(d.TemplateGuid());
  out["firstDrawGroupId"] = d.FirstDrawGroupId();
  out["drawGroupCount"] = d.DrawGroupCount();
  out["treeTableId"] = d.TreeTableId();
  out["multiTileGroup"] = d.MultiTileGroup();
  out["multiTilePart"] = d.MultiTilePart();
  out["wallStyleId"] = d.WallStyleId();
  out["catalogStringsId"] = d.CatalogStringsId();
  out["popupId"] = d.Word(D::kPopupIdWord);
  out["price"] = d.SignedWord(D::kPriceWord);
  out["initialDepreciation"] = d.SignedWord(D::kInitialDepreciationWord);
  out["dailyDepreciation"] = d.SignedWord(D::kDailyDepreciationWord);
  out["selfDepreciating"] = d.Word(D::kSelfDepreciatingWord);
  out["depreciationLimit"] = d.SignedWord(D::kDepreciationLimitWord);
  out["roomSort"] = d.Word(D::kRoomSortWord);
  out["functionSort"] = d.Word(D::kFunctionSortWord);
  static constexpr const char* kRatings[] = {"ratingHunger", "ratingComfort", "ratingHygiene", "ratingBladder",
                                             "ratingEnergy", "ratingFun",     "ratingRoom"};
  for (int i = 0; i < D::kRatingCount; ++i) out[kRatings[i]] = d.SignedWord(D::kRatingHungerWord + i);
  out["skillFlags"] = d.Word(D::kSkillFlagsWord);
  ObjFnTable functions;
  functions.FillFromDefinition(d);
  OrderedJson table = OrderedJson::array();
  for (int i = 0; i < D::kEntryPointCount; ++i) table.push_back(functions.FirstId(i));
  out["functionTable"] = table;
  return out;
}

std::optional<OrderedJson> DescribeDrawGroup(std::span<const std::uint8_t> bytes, bool native) {
  DrawGroup group;
  ReconStream reader = ReconStream::Reader(bytes, !native);
  group.Reconstitute(reader);
  if (reader.Failed()) return std::nullopt;
  OrderedJson images = OrderedJson::array();
  for (const DrawGroupImage& image : group.images) {
    OrderedJson items = OrderedJson::array();
    for (const DrawGroupItem& item : image.items) {
      items.push_back({{"spriteId", item.spriteId},
                       {"frame", item.frameIndex},
                       {"offsetX", item.offsetX},
                       {"offsetY", item.offsetY},
                       {"altitude", item.altitude},
                       {"objectX", item.objectX},
                       {"objectY", item.objectY},
                       {"flags", item.flags}});
    }
    images.push_back({{"directionMask", image.directionMask}, {"zoom", image.zoom}, {"items", items}});
  }
  return OrderedJson{{"images", images}};
}

std::optional<OrderedJson> DescribeSlots(std::span<const std::uint8_t> bytes) {
  OwnedHandle handle = HandleWith(bytes);
  SlotList list;
  std::uint32_t version = 0;
  if (!handle || !list.FromHandle(handle.Get(), &version)) return std::nullopt;
  OrderedJson slots = OrderedJson::array();
  for (const SlotDescriptor& s : list.slots) {
    slots.push_back({{"type", s.type},
                     {"x", s.x},
                     {"y", s.y},
                     {"alt", s.alt},
                     {"maxSize", s.maxSize},
                     {"surfaceFlags", s.surfaceFlags},
                     {"heightCode", s.heightCode},
                     {"standing", s.standing},
                     {"sitting", s.sitting},
                     {"ground", s.ground},
                     {"flags", Hex(s.flags)},
                     {"target", s.target},
                     {"minProximity", s.minProximity},
                     {"maxProximity", s.maxProximity},
                     {"optimalProximity", s.optimalProximity},
                     {"gradient", s.gradient},
                     {"facing", s.facing},
                     {"resolution", s.resolution}});
  }
  return OrderedJson{{"storedVersion", version}, {"slots", slots}};
}

std::optional<OrderedJson> DescribeTreeTable(iResFile& file, ResID id, std::span<const std::uint8_t> bytes,
                                             bool native) {
  TreeTable table(0);
  if (!table.ReadBytes(bytes, !native)) return std::nullopt;
  StringSet texts;
  texts.Init(&file, id, TreeTable::kStringsType, false, StringSet::kCurrentLanguage);
  texts.Load(false, true);
  OrderedJson entries = OrderedJson::array();
  for (const TreeTableEntry& e : table.Entries()) {
    OrderedJson ads = OrderedJson::array();
    for (const MotiveAd& ad : e.ads) ads.push_back({ad.adBase, ad.adRange, ad.adModifier});
    const int index = static_cast<int>(std::min<std::uint32_t>(e.stringIndex, StringSet::kMaxStrings)) + 1;
    entries.push_back({{"actionTreeId", e.actionTreeId},
                       {"guardTreeId", e.guardTreeId},
                       {"stringIndex", e.stringIndex},
                       {"menuText", std::string(texts.Value(index).value_or(""))},
                       {"comment", std::string(texts.Comment(index).value_or(""))},
                       {"flags", Hex(e.flags)},
                       {"debug", e.IsDebug()},
                       {"attenuationCode", e.attenuationCode},
                       {"attenuationValue", e.attenuationValue},
                       {"extraA", e.extraA},
                       {"extraB", e.extraB},
                       {"ads", ads}});
  }
  return OrderedJson{{"storedVersion", table.StoredVersion()}, {"entries", entries}};
}

std::optional<OrderedJson> DescribeStrings(ResType type, ResID id, std::span<const std::uint8_t> bytes,
                                           std::string* error) {
  StringSet set;
  set.Init(nullptr, id, type, type == StringSet::kTextFormType, StringSet::kLanguageEnglish);
  if (set.LoadBytes(bytes, true, false) != 0) {
    *error = "the string set is damaged";
    return std::nullopt;
  }
  OrderedJson languages = OrderedJson::array();
  for (int language = 0; language < StringSet::kMaxLanguages; ++language) {
    OrderedJson strings = OrderedJson::array();
    bool stored = language == StringSet::kLanguageEnglish;
    for (int index = 1; index <= set.Count(language); ++index) {
      stored = stored || set.Mark(index, language).value_or(0) == language;
      strings.push_back({{"value", std::string(set.Value(index, language).value_or(""))},
                         {"comment", std::string(set.Comment(index, language).value_or(""))}});
    }
    // Languages the record does not hold were filled with copies of English.
    if (stored) languages.push_back({{"language", language}, {"strings", strings}});
  }
  return OrderedJson{{"languages", languages}};
}

std::optional<OrderedJson> DescribeHistory(std::span<const std::uint8_t> bytes) {
  OwnedHandle handle = HandleWith(bytes);
  FamilyHistory history;
  std::uint32_t version = 0;
  if (!handle || !history.FromHandle(handle.Get(), &version)) return std::nullopt;
  OrderedJson rows = OrderedJson::array();
  for (const FamilyHistory::Row& row : history.rows) {
    OrderedJson fields;
    for (int c = 0; c < FamilyHistory::kColumnCount; ++c) {
      fields[std::string(FamilyHistory::Columns()[static_cast<std::size_t>(c)].title)] =
          row[static_cast<std::size_t>(c)];
    }
    rows.push_back(fields);
  }
  return OrderedJson{{"storedVersion", version}, {"families", rows}};
}

std::optional<OrderedJson> DescribePalette(std::span<const std::uint8_t> bytes) {
  auto palette = DecodePaletteResource(bytes);
  if (!palette) return std::nullopt;
  OrderedJson colours = OrderedJson::array();
  for (std::uint32_t i = 0; i < std::min<std::uint32_t>(palette->mCount, 256); ++i) {
    const auto& c = palette->mColours[i];
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c[0], c[1], c[2]);
    colours.push_back(text);
  }
  return OrderedJson{{"version", palette->mVersion}, {"count", palette->mCount}, {"colours", colours}};
}

std::optional<OrderedJson> DescribeSprites(ResType type, std::span<const std::uint8_t> bytes, std::string* error) {
  PreviewList list;
  SpriteDecodeStatus status = DecodePreviewList(type, bytes, list);
  if (!status.Ok()) {
    *error = status.error;
    return std::nullopt;
  }
  OrderedJson frames = OrderedJson::array();
  for (const PreviewFrame& frame : list.frames) {
    frames.push_back({{"width", frame.pixels.width},
                      {"height", frame.pixels.height},
                      {"depth", frame.hasDepth},
                      {"alpha", frame.hasAlpha}});
  }
  return OrderedJson{{"version", list.version}, {"paletteId", list.paletteId}, {"frames", frames}};
}

bool IsStringSetType(ResType type) {
  return type == MakeResType("STR#") || type == MakeResType("CTSS") || type == TreeTable::kStringsType ||
         type == StringSet::kTextFormType;
}

void PrintScalar(std::ostream& out, const OrderedJson& value) {
  if (value.is_string()) {
    out << value.get<std::string>();
  } else {
    out << value.dump();
  }
}

bool IsFlat(const OrderedJson& value) {
  if (!value.is_array()) return !value.is_object();
  for (const auto& element : value) {
    if (element.is_structured()) return false;
  }
  return true;
}

void PrintFlat(std::ostream& out, const OrderedJson& value) {
  if (!value.is_array()) {
    PrintScalar(out, value);
    return;
  }
  out << '[';
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (i) out << ", ";
    PrintScalar(out, value[i]);
  }
  out << ']';
}

void PrintNested(std::ostream& out, const OrderedJson& value, int indent) {
  const std::string pad(static_cast<std::size_t>(indent), ' ');
  if (value.is_object()) {
    for (const auto& [key, field] : value.items()) {
      out << pad << key << ':';
      if (IsFlat(field)) {
        out << ' ';
        PrintFlat(out, field);
        out << '\n';
      } else {
        out << '\n';
        PrintNested(out, field, indent + 2);
      }
    }
    return;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    const OrderedJson& element = value[i];
    out << pad << '#' << i << ':';
    if (IsFlat(element)) {
      out << ' ';
      PrintFlat(out, element);
      out << '\n';
    } else {
      out << '\n';
      PrintNested(out, element, indent + 2);
    }
  }
}

}  // namespace

std::optional<OrderedJson> DescribeRecord(iResFile& file, ResType type, ResID id, std::span<const std::uint8_t> bytes,
                                          bool native, std::string* error) {
  std::optional<OrderedJson> described;
  if (type == MakeResType("OBJD")) {
    described = DescribeDefinition(bytes);
  } else if (type == MakeResType("DGRP")) {
    described = DescribeDrawGroup(bytes, native);
  } else if (type == SlotList::kType) {
    described = DescribeSlots(bytes);
  } else if (type == TreeTable::kType) {
    described = DescribeTreeTable(file, id, bytes, native);
  } else if (IsStringSetType(type)) {
    described = DescribeStrings(type, id, bytes, error);
  } else if (type == SoundInfo::kType) {
    described = OrderedJson{{"fileName", SoundInfo::NameFromBytes(bytes)}};
  } else if (type == FamilyHistory::kType) {
    described = DescribeHistory(bytes);
  } else if (type == kPaletteResourceType) {
    described = DescribePalette(bytes);
  } else if (type == kSpriteType || type == kSprite2Type) {
    described = DescribeSprites(type, bytes, error);
  } else {
    *error = "no reader for this type";
    return std::nullopt;
  }
  if (!described && error->empty()) *error = "the record does not read";
  return described;
}

void PrintReadable(std::ostream& out, const OrderedJson& value) { PrintNested(out, value, 0); }

}  // namespace pixmold::cli
