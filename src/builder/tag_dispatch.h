// Gives the tags of a markup file their meaning: walks them in file order,
// makes one spec per tag, lets it read its attributes, and files it in the
// context. It also enforces the nesting of the child tags: "item" belongs to
// the latest "drawgroup", "slot" to the latest "slots", "attribute" to the
// latest "attributes", "skill" to the one "skill table", "interaction" to the
// latest "ttab". Fatal errors end the build (the specs filed so far stay in
// the context); an unknown tag is only a warning.
#pragma once

#include "builder/build_context.h"
#include "markup/tag_list.h"

namespace pixmold {

void DispatchTags(BuildContext& context, const TagList& tags);

}  // namespace pixmold
