// Every kind of markup tag and the attributes it reads, in one table. The
// attribute readers check each key they look up against it, and the build
// and `pixmold tags` warn about every attribute it does not list, so what is
// read and what is warned about cannot drift apart: a reader that looks up a
// key missing here fails at once, on every build that reaches it.
//
// The warnings exist because the markup reader knows no quotes or nesting: a
// tag that lost its ">" runs on to the next ">", swallowing the following
// tag as attributes ("<item" becomes an attribute name), and a misspelt key
// (colums=2) is simply never looked up. Both used to pass without a word.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "markup/attrib_table.h"

namespace pixmold {

struct TagKind {
  std::string_view tag;
  std::span<const std::string_view> attributes;
  // Tags accepted and ignored ("career", "job") read nothing, so any
  // attribute is as good as another.
  bool takesAny = false;
};

// The kind of tag with that name, or null for a tag no kind has.
const TagKind* FindTagKind(std::string_view tag);

// Whether the kind reads the attribute.
bool Reads(const TagKind& kind, std::string_view attribute);

// One warning about a tag's attributes, with the line it belongs to.
struct TagFinding {
  std::optional<int> line;
  std::string text;
};

// What is wrong with one tag's attributes: an attribute whose name starts
// with "<" (a tag swallowed because this one's ">" seems to be missing,
// reported at this tag's line), and every attribute its kind does not read
// (at that attribute's line). Attributes after a swallowed tag belong to it
// and are not judged. A tag of no kind gets only the first check, as it is
// reported as unknown anyway.
std::vector<TagFinding> CheckTagAttributes(const AttribTable& tag);

}  // namespace pixmold
