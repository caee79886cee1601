#include "builder/tag_dispatch.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/report.h"
#include "base/xassert.h"
#include "builder/attrib_readers.h"
#include "builder/tag_attributes.h"

namespace pixmold {
namespace {

// What one dispatch run carries from tag to tag: the latest parent tag of
// each kind that has children, and the running positions the sprite and
// headline specs advance.
struct DispatchState {
  DGRPSpec* drawGroup = nullptr;
  SlotsSpec* slots = nullptr;
  AttrStringSpec* attributes = nullptr;
  SkillTable* skillTable = nullptr;
  std::int32_t spritePosition = 0;
  std::int32_t headlinePosition = 0;
};

using TagReader = void (*)(BuildContext&, DispatchState&, AttribTable&);

// A nesting rule: the tag is refused with a fatal error (without a line, as
// the rule is about the file's shape rather than one attribute) unless the
// check passes. A rule without a check accepts every tag.
struct Nesting {
  bool (*check)(const BuildContext&, const DispatchState&) = nullptr;
  const char* refusal = nullptr;
};

// One kind of tag: its name, the rule checked before it is read, and the
// reader that makes its spec, files it in its list and lets it read the tag.
// A row without a reader accepts the tag and ignores it.
struct TagRow {
  std::string_view tag;
  Nesting nesting;
  TagReader read;
};

template <typename List>
using ElementOf = std::remove_pointer_t<decltype(std::declval<List&>().First())>;

// The plain case: a new spec of the list's kind reads the tag by itself. When
// `Current` names a slot of the state, the spec becomes the parent of the
// child tags after it (or none, when its list refused it).
template <auto List, auto Current = nullptr>
void FileSpec(BuildContext& context, DispatchState& state, AttribTable& tag) {
  auto& list = context.*List;
  using Spec = ElementOf<std::remove_reference_t<decltype(list)>>;
  Spec* filed = list.Add(std::make_unique<Spec>());
  if constexpr (!std::is_null_pointer_v<decltype(Current)>) state.*Current = filed;
  if (filed) filed->Read(tag);
}

// A child tag read by the latest parent of its kind; the nesting rule has
// made sure there is one.
template <auto Current, auto ReadChild>
void ReadIntoParent(BuildContext&, DispatchState& state, AttribTable& tag) {
  ((state.*Current)->*ReadChild)(tag);
}

template <auto Current>
bool HasParent(const BuildContext&, const DispatchState& state) {
  return state.*Current != nullptr;
}

template <auto Current>
bool HasNoParentYet(const BuildContext&, const DispatchState& state) {
  return state.*Current == nullptr;
}

bool HasTreeTable(const BuildContext& context, const DispatchState&) { return !context.treeTables.Empty(); }

SpriteSpec* ReadSprite(BuildContext& context, DispatchState& state, AttribTable& tag, const RenderSpec& sizes,
                       bool headline) {
  const SpriteSpec* latest = context.sprites.Last();
  auto sprite = std::make_unique<SpriteSpec>();
  sprite->Read(tag, state.spritePosition, sizes, latest ? &latest->FileName() : nullptr, headline);
  return context.sprites.Add(std::move(sprite));
}

void ReadPlainSprite(BuildContext& context, DispatchState& state, AttribTable& tag) {
  ReadSprite(context, state, tag, context.defaultSizes, false);
}

// A headline is both a headline spec and a sprite drawn with the headline
// sizes; the next headline starts where this one's frames end.
void ReadHeadline(BuildContext& context, DispatchState& state, AttribTable& tag) {
  auto headline = std::make_unique<HeadlineSpec>();
  headline->Read(tag, state.headlinePosition);
  state.headlinePosition = static_cast<std::int32_t>(std::int64_t{headline->Position()} + headline->Frames());
  HeadlineSpec* added = context.headlines.Add(std::move(headline));
  const SpriteSpec* sprite = ReadSprite(context, state, tag, context.headlineSizes, true);
  if (added != nullptr && sprite != nullptr) added->SetSheet(sprite->FileName(), sprite->BmpOnly());
}

void ReadSizes(BuildContext& context, DispatchState&, AttribTable& tag) { context.defaultSizes.ReadSizes(tag); }

// A draw group resolves its items' sprites against the sprites read so far.
void ReadDrawGroup(BuildContext& context, DispatchState& state, AttribTable& tag) {
  state.drawGroup = context.drawGroups.Add(std::make_unique<DGRPSpec>());
  if (state.drawGroup) state.drawGroup->Read(tag, context.sprites);
}

// The tree table list holds the newest tag first, so its head is the latest
// "ttab".
void ReadInteraction(BuildContext& context, DispatchState&, AttribTable& tag) {
  context.treeTables.First()->ReadInteraction(tag);
}

void ReadTarget(BuildContext& context, DispatchState&, AttribTable& tag) { FindTargetFromTag(context, tag); }

constexpr Nesting kAnywhere{};

const TagRow kTags[] = {
    {"career", kAnywhere, nullptr},
    {"job", kAnywhere, nullptr},
    {"sprite", kAnywhere, ReadPlainSprite},
    {"headline", kAnywhere, ReadHeadline},
    {"wall style", kAnywhere, FileSpec<&BuildContext::wallStyles>},
    {"sizes", kAnywhere, ReadSizes},
    {"drawgroup", kAnywhere, ReadDrawGroup},
    {"item",
     {HasParent<&DispatchState::drawGroup>, "item tag received before drawgroup tag"},
     ReadIntoParent<&DispatchState::drawGroup, &DGRPSpec::ReadItem>},
    {"catalog", kAnywhere, FileSpec<&BuildContext::catalogs>},
    {"bmpfile", kAnywhere, FileSpec<&BuildContext::bitmaps>},
    {"ttab", kAnywhere, FileSpec<&BuildContext::treeTables>},
    {"interaction", {HasTreeTable, "interaction tag without ttab tag"}, ReadInteraction},
    {"slots", kAnywhere, FileSpec<&BuildContext::slots, &DispatchState::slots>},
    {"slot",
     {HasParent<&DispatchState::slots>, "slot tag received before slots tag"},
     ReadIntoParent<&DispatchState::slots, &SlotsSpec::ReadSlot>},
    {"attributes", kAnywhere, FileSpec<&BuildContext::attrStrings, &DispatchState::attributes>},
    {"attribute",
     {HasParent<&DispatchState::attributes>, "got an attribute tag before attributes tag"},
     ReadIntoParent<&DispatchState::attributes, &AttrStringSpec::ReadAttribute>},
    {"skill table",
     {HasNoParentYet<&DispatchState::skillTable>, "found more than one skill table tag"},
     FileSpec<&BuildContext::skillTables, &DispatchState::skillTable>},
    {"skill",
     {HasParent<&DispatchState::skillTable>, "got a skill tag before \"skill table tag\""},
     ReadIntoParent<&DispatchState::skillTable, &SkillTable::ReadSkill>},
    {"sound", kAnywhere, FileSpec<&BuildContext::sounds>},
    {"target", kAnywhere, ReadTarget},
};

void WarnAboutAttributes(const AttribTable& tag) {
  for (const TagFinding& finding : CheckTagAttributes(tag)) Warning(finding.text, finding.line);
}

// Which tags exist is the table of tag kinds' to say, so a tag this table
// has no row for is a broken invariant, not an unknown tag.
void DispatchOne(BuildContext& context, DispatchState& state, AttribTable& tag) {
  const std::string_view name = TagName(tag);
  if (FindTagKind(name) == nullptr) {
    Warning("unknown tag: " + std::string(name), TagLine(tag));
    WarnAboutAttributes(tag);
    return;
  }
  WarnAboutAttributes(tag);
  const auto row =
      std::find_if(std::begin(kTags), std::end(kTags), [&](const TagRow& candidate) { return candidate.tag == name; });
  if (row == std::end(kTags)) {
    XASSERT_FAIL("row != std::end(kTags)", "tag kind without a reader");
    return;
  }
  if (row->nesting.check && !row->nesting.check(context, state)) FatalError(row->nesting.refusal);
  if (row->read) row->read(context, state, tag);
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
