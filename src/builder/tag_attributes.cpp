#include "builder/tag_attributes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace pixmold {
namespace {

using Names = std::string_view;

// "sprite" and "headline" are read by the same sprite reader; a headline
// refuses the layout keys it fixes itself, with its own message.
constexpr std::array<Names, 15> kSprite = {"id",      "name",      "language", "tgafile", "bmpfile",
                                           "mask",    "position",  "frames",   "columns", "shrink",
                                           "reverse", "paletteid", "symmetry", "pairing", "rotation"};
constexpr std::array<Names, 6> kWallStyle = {"id", "name", "language", "tgafile", "cutaway tgafile", "global"};
constexpr std::array<Names, 15> kSizes = {
    "slopwidth", "uniform slopwidth", "border",   "lwidth", "lheight", "lxorigin", "lyorigin", "mwidth",
    "mheight",   "mxorigin",          "myorigin", "swidth", "sheight", "sxorigin", "syorigin"};
constexpr std::array<Names, 4> kDrawGroup = {"id", "name", "language", "ordering"};
// The item's first attribute is its type, a name without a value.
constexpr std::array<Names, 9> kItem = {"sprite", "object",           "slot",    "alt", "x", "y",
                                        "id",     "direction offset", "luminous"};
// The target's guid, the pictures, the catalog values, the ratings and the
// skills.
constexpr std::array<Names, 27> kCatalog = {"guid",
                                            "bmpfile",
                                            "thumbnail",
                                            "popup bmpfile",
                                            "popup id",
                                            "id",
                                            "cost",
                                            "initial depreciation",
                                            "daily depreciation",
                                            "depreciation limit",
                                            "standard depreciation",
                                            "room sort",
                                            "function sort",
                                            "hunger",
                                            "comfort",
                                            "hygiene",
                                            "bladder",
                                            "energy",
                                            "fun",
                                            "room",
                                            "cook",
                                            "mechanical",
                                            "logic",
                                            "body",
                                            "creativity",
                                            "charisma",
                                            "study"};
constexpr std::array<Names, 4> kBitmap = {"id", "name", "language", "filename"};
constexpr std::array<Names, 2> kTreeTable = {"guid", "name"};
constexpr std::array<Names, 2> kInteraction = {"index", "name"};
constexpr std::array<Names, 3> kCommon = {"id", "name", "language"};
// Routing directions and options are switched on by naming them.
constexpr std::array<Names, 34> kSlot = {"x",
                                         "y",
                                         "alt",
                                         "type",
                                         "name",
                                         "maximum size",
                                         "surface",
                                         "height",
                                         "standing",
                                         "sitting",
                                         "ground",
                                         "target",
                                         "min",
                                         "max",
                                         "optimal",
                                         "gradient",
                                         "resolution",
                                         "north",
                                         "northeast",
                                         "east",
                                         "southeast",
                                         "south",
                                         "southwest",
                                         "west",
                                         "northwest",
                                         "no rotation snap",
                                         "absolute",
                                         "ignore rooms",
                                         "snap to direction",
                                         "random",
                                         "alt not required",
                                         "average object location",
                                         "facing not required",
                                         "opposite facing"};
constexpr std::array<Names, 2> kAttribute = {"index", "label"};
// Read only to warn that the skill table ignores them.
constexpr std::array<Names, 2> kSkillTable = {"name", "id"};
constexpr std::array<Names, 3> kSkill = {"index", "name", "type"};
constexpr std::array<Names, 2> kTarget = {"guid", "object"};

const TagKind kKinds[] = {
    {"career", {}, true},         {"job", {}, true},    {"sprite", kSprite},       {"headline", kSprite},
    {"wall style", kWallStyle},   {"sizes", kSizes},    {"drawgroup", kDrawGroup}, {"item", kItem},
    {"catalog", kCatalog},        {"bmpfile", kBitmap}, {"ttab", kTreeTable},      {"interaction", kInteraction},
    {"slots", kCommon},           {"slot", kSlot},      {"attributes", kCommon},   {"attribute", kAttribute},
    {"skill table", kSkillTable}, {"skill", kSkill},    {"sound", kCommon},        {"target", kTarget},
};

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted += '"';
  return quoted;
}

std::optional<int> LineOf(const AttribEntry& entry) {
  if (entry.fLine < 0) return std::nullopt;
  return entry.fLine;
}

}  // namespace

const TagKind* FindTagKind(std::string_view tag) {
  const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                 [&](const TagKind& candidate) { return candidate.tag == tag; });
  return kind == std::end(kKinds) ? nullptr : &*kind;
}

bool Reads(const TagKind& kind, std::string_view attribute) {
  return kind.takesAny || std::find(kind.attributes.begin(), kind.attributes.end(), attribute) != kind.attributes.end();
}

std::vector<TagFinding> CheckTagAttributes(const AttribTable& tag) {
  std::vector<TagFinding> findings;
  const AttribEntry* head = tag.EntryAt(0);
  if (head == nullptr) return findings;
  const TagKind* kind = FindTagKind(head->fName);
  bool swallowed = false;
  for (std::int32_t i = 1; i < tag.Size(); ++i) {
    const AttribEntry* entry = tag.EntryAt(i);
    if (entry == nullptr || entry->fName.empty()) continue;
    if (entry->fName.front() == '<') {
      std::string text = "the ";
      text.append(Quoted(head->fName)).append(" tag seems to be missing its \">\": ").append(Quoted(entry->fName));
      if (const auto line = LineOf(*entry)) text.append(" on line ").append(std::to_string(*line));
      text.append(" was read as one of its attributes");
      findings.push_back({LineOf(*head), std::move(text)});
      swallowed = true;
    } else if (!swallowed && kind != nullptr && !Reads(*kind, entry->fName)) {
      std::string text = "the ";
      text.append(Quoted(head->fName)).append(" tag does not read ").append(Quoted(entry->fName)).append("; ignored");
      findings.push_back({LineOf(*entry), std::move(text)});
    }
  }
  return findings;
}

}  // namespace pixmold
