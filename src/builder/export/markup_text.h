// The markup an export writes: a comment saying where it came from, an
// optional "target" tag, then sizes and sprite tags, headline tags and
// drawgroup tags with their items.
//
// The reader folds unquoted text to lower case and ends a tag at the first
// ">" even inside quotes, so names and file names are always quoted and a
// name holding a quote character, a ">" or a zero byte cannot be written.
// Every sprite tag names its row explicitly, so tags may come in any order
// (a pair group's members in the order that group needs) without the
// running position of the build moving a sprite.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "builder/export/art_plan.h"

namespace pixmold {

struct MarkupHeading {
  std::string source;                 // the object file, for the comment
  std::optional<std::string> target;  // the object a "target" tag names
};

// Without geometry the sprite tags carry a placeholder sheet and no sizes:
// enough for a replay that only asks which frames the views show.
std::string MarkupText(const ArtPlan& plan, const MarkupHeading& heading, bool withGeometry);

// Why the text cannot stand as a quoted markup value the build keeps whole
// (at most maxLength bytes), or an empty string.
std::string MarkupValueProblem(std::string_view text, std::size_t maxLength);

}  // namespace pixmold
