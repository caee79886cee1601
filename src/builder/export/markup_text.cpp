#include "builder/export/markup_text.h"

#include <algorithm>
#include <numeric>

#include "builder/sprite_spec.h"

namespace pixmold {
namespace {

bool IsQuote(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == '"' || byte == 0xD2 || byte == 0xD3;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

// Text between tags is skipped by the reader; only a "<" would start a tag.
std::string CommentText(std::string_view text) {
  std::string out;
  for (char c : text) out.push_back(c == '<' || c == '>' || c == '\0' ? '_' : c);
  return out;
}

void Attribute(std::string& line, std::string_view key, const std::string& value) {
  line += ' ';
  line += key.find(' ') == std::string_view::npos ? std::string(key) : Quoted(key);
  line += '=';
  line += value;
}

std::string SizesTag(const RenderSpec& sizes) {
  std::string tag = "<sizes";
  static constexpr const char* kLetters[] = {"l", "m", "s"};
  for (int s = 0; s < kSizeCount; ++s) {
    const auto i = static_cast<std::size_t>(s);
    const std::string_view letter = kLetters[s];
    Attribute(tag, std::string(letter).append("width"), std::to_string(sizes.width[i]));
    Attribute(tag, std::string(letter).append("height"), std::to_string(sizes.height[i]));
    Attribute(tag, std::string(letter).append("xorigin"), std::to_string(sizes.xOrigin[i]));
    Attribute(tag, std::string(letter).append("yorigin"), std::to_string(sizes.yOrigin[i]));
  }
  Attribute(tag, "border", std::to_string(sizes.border[0]));
  return tag + ">";
}

bool SameSizes(const RenderSpec& a, const RenderSpec& b) {
  return a.width == b.width && a.height == b.height && a.xOrigin == b.xOrigin && a.yOrigin == b.yOrigin &&
         a.border == b.border;
}

std::string SheetName(const ArtPlan& plan, const SpriteTagPlan& sprite, bool withGeometry) {
  if (!withGeometry || sprite.sheet < 0) return "sheet.tga";
  return plan.sheets[static_cast<std::size_t>(sprite.sheet)].fileName;
}

std::string SpriteTag(const ArtPlan& plan, const SpriteTagPlan& sprite, bool withGeometry) {
  std::string tag = sprite.IsHeadline() ? "<headline" : "<sprite";
  Attribute(tag, "id", std::to_string(sprite.id));
  if (!sprite.name.empty()) Attribute(tag, "name", Quoted(sprite.name));
  Attribute(tag, "tgafile", Quoted(SheetName(plan, sprite, withGeometry)));
  if (!sprite.IsHeadline()) {
    Attribute(tag, "symmetry", SymmetryWord(sprite.shape.symmetry));
    Attribute(tag, "columns", std::to_string(sprite.shape.columns));
  }
  Attribute(tag, "frames", std::to_string(sprite.shape.frames));
  if (withGeometry) Attribute(tag, "position", std::to_string(sprite.position));
  if (sprite.paletteId != SpriteSpec::kNoPalette) Attribute(tag, "paletteid", std::to_string(sprite.paletteId));
  if (sprite.pairing != 0) Attribute(tag, "pairing", std::to_string(sprite.pairing));
  if (!sprite.IsHeadline() && sprite.shrink != SpriteSpec::kShrinkAll)
    Attribute(tag, "shrink", sprite.shrink == SpriteSpec::kShrinkTop ? "top" : "false");
  if (sprite.rotation != 0) Attribute(tag, "rotation", std::to_string(sprite.rotation));
  if (sprite.reverse) Attribute(tag, "reverse", "true");
  return tag + ">";
}

std::string ItemTag(const ItemTagPlan& item) {
  std::string tag = "<item sprite";
  Attribute(tag, "id", std::to_string(item.spriteId));
  if (!item.alt.empty()) Attribute(tag, "alt", item.alt);
  if (!item.x.empty()) Attribute(tag, "x", item.x);
  if (!item.y.empty()) Attribute(tag, "y", item.y);
  if (item.directionOffset != 0) Attribute(tag, "direction offset", std::to_string(item.directionOffset));
  if (item.luminous) Attribute(tag, "luminous", "true");
  return tag + ">";
}

// Sheet by sheet, row by row; then each radial pair group's members are put
// in the order the group turns in, in the places its members took.
std::vector<std::size_t> SpriteTagOrder(const ArtPlan& plan) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < plan.sprites.size(); ++i) {
    if (!plan.sprites[i].leftOut) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const SpriteTagPlan& x = plan.sprites[a];
    const SpriteTagPlan& y = plan.sprites[b];
    return std::tie(x.sheet, x.position, x.id) < std::tie(y.sheet, y.position, y.id);
  });
  for (const std::vector<std::int32_t>& cycle : plan.radialCycles) {
    std::vector<std::size_t> places;
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (std::find(cycle.begin(), cycle.end(), plan.sprites[order[k]].id) != cycle.end()) places.push_back(k);
    }
    if (places.size() != cycle.size()) continue;
    for (std::size_t k = 0; k < places.size(); ++k) {
      for (std::size_t i = 0; i < plan.sprites.size(); ++i) {
        if (plan.sprites[i].id == cycle[k] && !plan.sprites[i].leftOut) order[places[k]] = i;
      }
    }
  }
  return order;
}

}  // namespace

std::string MarkupValueProblem(std::string_view text, std::size_t maxLength) {
  if (text.size() > maxLength) return "longer than the " + std::to_string(maxLength) + " bytes a tag keeps";
  for (char c : text) {
    if (IsQuote(c)) return "it holds a quote character, which markup cannot quote";
    if (c == '>') return "it holds \">\", which ends a markup tag";
    if (c == '\0') return "it holds a zero byte, which ends a markup file";
  }
  return {};
}

std::string MarkupText(const ArtPlan& plan, const MarkupHeading& heading, bool withGeometry) {
  std::string text = "Exported by pixmold export from ";
  text.append(CommentText(heading.source));
  text.append(
      ".\nOnly sprites, palettes and draw groups are here; the object's other data stays in its object "
      "file.\n\n");
  if (heading.target) text.append("<target object=").append(Quoted(*heading.target)).append(">\n\n");

  const RenderSpec* current = nullptr;
  for (std::size_t i : SpriteTagOrder(plan)) {
    const SpriteTagPlan& sprite = plan.sprites[i];
    if (withGeometry && !sprite.IsHeadline() && (current == nullptr || !SameSizes(*current, sprite.sizes))) {
      text += SizesTag(sprite.sizes) + "\n";
      current = &sprite.sizes;
    }
    text += SpriteTag(plan, sprite, withGeometry) + "\n";
  }
  for (const DrawGroupTagPlan& group : plan.drawGroups) {
    if (group.leftOut) continue;
    text += "\n<drawgroup id=" + std::to_string(group.resource.id);
    if (!group.resource.name.empty()) text += " name=" + Quoted(group.resource.name);
    if (group.obscured) text += " ordering=obscured";
    text += ">\n";
    for (const ItemTagPlan& item : group.items) text += ItemTag(item) + "\n";
  }
  return text;
}

}  // namespace pixmold
