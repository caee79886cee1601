#include "builder/tag_dispatch.h"

#include <string>

#include "base/report.h"
#include "builder/attrib_readers.h"

namespace pixmold {
namespace {

// What one dispatch run carries from tag to tag.
struct DispatchState {
  DGRPSpec* drawGroup = nullptr;
  SlotsSpec* slots = nullptr;
  AttrStringSpec* attributes = nullptr;
  SkillTable* skillTable = nullptr;
  std::int32_t spritePosition = 0;
  std::int32_t headlinePosition = 0;
};

void ReadSprite(BuildContext& context, DispatchState& state, AttribTable& tag, const RenderSpec& sizes,
                bool headline) {
  const SpriteSpec* latest = context.sprites.Last();
  auto sprite = std::make_unique<SpriteSpec>();
  sprite->Read(tag, state.spritePosition, sizes, latest ? &latest->FileName() : nullptr, headline);
  context.sprites.Add(std::move(sprite));
}

void ReadHeadline(BuildContext& context, DispatchState& state, AttribTable& tag) {
  auto headline = std::make_unique<HeadlineSpec>();
  headline->Read(tag, state.headlinePosition);
  state.headlinePosition = static_cast<std::int32_t>(std::int64_t{headline->Position()} + headline->Frames());
  context.headlines.Add(std::move(headline));
  ReadSprite(context, state, tag, context.headlineSizes, true);
}

void DispatchOne(BuildContext& context, DispatchState& state, AttribTable& tag) {
  const std::string name(TagName(tag));
  if (name == "career" || name == "job") return;

  if (name == "sprite") {
    ReadSprite(context, state, tag, context.defaultSizes, false);
  } else if (name == "headline") {
    ReadHeadline(context, state, tag);
  } else if (name == "wall style") {
    WallStyleSpriteSpec* filed = context.wallStyles.Add(std::make_unique<WallStyleSpriteSpec>());
    if (filed) filed->Read(tag);
  } else if (name == "sizes") {
    context.defaultSizes.ReadSizes(tag);
  } else if (name == "drawgroup") {
    state.drawGroup = context.drawGroups.Add(std::make_unique<DGRPSpec>());
    if (state.drawGroup) state.drawGroup->Read(tag, context.sprites);
  } else if (name == "item") {
    if (state.drawGroup == nullptr) FatalError("item tag received before drawgroup tag");
    state.drawGroup->ReadItem(tag);
  } else if (name == "catalog") {
    CatalogSpec* filed = context.catalogs.Add(std::make_unique<CatalogSpec>());
    if (filed) filed->Read(tag);
  } else if (name == "bmpfile") {
    BMPResourceSpec* filed = context.bitmaps.Add(std::make_unique<BMPResourceSpec>());
    if (filed) filed->Read(tag);
  } else if (name == "ttab") {
    TreeTableSpec* filed = context.treeTables.Add(std::make_unique<TreeTableSpec>());
    if (filed) filed->Read(tag);
  } else if (name == "interaction") {
    if (context.treeTables.Empty()) FatalError("interaction tag without ttab tag");
    context.treeTables.First()->ReadInteraction(tag);
  } else if (name == "slots") {
    state.slots = context.slots.Add(std::make_unique<SlotsSpec>());
    if (state.slots) state.slots->Read(tag);
  } else if (name == "slot") {
    if (state.slots == nullptr) FatalError("slot tag received before slots tag");
    state.slots->ReadSlot(tag);
  } else if (name == "attributes") {
    state.attributes = context.attrStrings.Add(std::make_unique<AttrStringSpec>());
    if (state.attributes) state.attributes->Read(tag);
  } else if (name == "attribute") {
    if (state.attributes == nullptr) FatalError("got an attribute tag before attributes tag");
    state.attributes->ReadAttribute(tag);
  } else if (name == "skill table") {
    if (state.skillTable != nullptr) FatalError("found more than one skill table tag");
    state.skillTable = context.skillTables.Add(std::make_unique<SkillTable>());
    if (state.skillTable) state.skillTable->Read(tag);
  } else if (name == "skill") {
    if (state.skillTable == nullptr) FatalError("got a skill tag before \"skill table tag\"");
    state.skillTable->ReadSkill(tag);
  } else if (name == "sound") {
    SoundSpec* filed = context.sounds.Add(std::make_unique<SoundSpec>());
    if (filed) filed->Read(tag);
  } else if (name == "target") {
    FindTargetFromTag(context, tag);
  } else {
    Warning("unknown tag: " + name, TagLine(tag));
  }
}

}  // namespace

void DispatchTags(BuildContext& context, const TagList& tags) {
  context.headlineSizes.ResetHeadlineSizes();
  DefaultTarget(context);

  DispatchState state;
  for (const auto& tag : tags) DispatchOne(context, state, *tag);

  DGRPSpec::ApplyPairGroups(context.sprites, context.drawGroups);
}

}  // namespace pixmold
