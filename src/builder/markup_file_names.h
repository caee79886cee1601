// File names in markup ("tgafile", "bmpfile", "mask", thumbnails) name
// files in the image folder, or for pictures the thumbnail folder. One rule
// for all of them: a name is relative to its folder and may not leave it, so
// a markup file handed around with its images reads nothing beside them.
// The check is lexical: "sub/../chair.tga" stays inside, "../chair.tga" and
// "sub/../../chair.tga" leave. A build option lifts the rule for trees whose
// markup shares images across folders on purpose.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pixmold {

class TagList;

// Whether the name, taken relative to a folder, reaches outside it ("/" and
// "\" both separate).
bool NameLeavesFolder(std::string_view name);

struct NameLeavingFolder {
  std::string text;  // the attribute, its value and the rule
  std::optional<int> line;
};

// The first file name of the markup that leaves its folder, if any.
std::optional<NameLeavingFolder> FirstNameLeavingFolder(const TagList& tags);

// Ends the build at the first file name of the markup that leaves its
// folder, with the line of the attribute that holds it.
void CheckMarkupFileNames(const TagList& tags);

}  // namespace pixmold
