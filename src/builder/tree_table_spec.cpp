#include "builder/tree_table_spec.h"

#include <algorithm>
#include <string>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "builder/target_spec.h"
#include "resfile/string_set.h"

namespace pixmold {

TreeTableSpec::TreeTableSpec() = default;

void TreeTableSpec::Read(AttribTable& tag) {
  if (!HasKey(tag, "guid")) TagFatal(tag, "guid required for tree table");
  fTarget = FindTargetFromTag(tag);
  if (fTarget == nullptr || fTarget->File() == nullptr) TagFatal(tag, "could not resolve target for tree table tag");
  std::uint16_t tableId = 0;
  {
    HandleLock lock = fTarget->DefinitionForReading();
    tableId = ObjDefinition(lock.Bytes()).TreeTableId();
  }
  if (fTable.Load(*fTarget->File(), static_cast<ResID>(tableId)) != 0) Warning("Could not load existing tree table");
  std::string name;
  SetName(ReadString(tag, "name", name) ? std::string_view(name) : std::string_view());
}

void TreeTableSpec::ReadInteraction(AttribTable& tag) {
  std::int32_t index = 0;
  if (!ReadInteger(tag, "index", index)) TagFatal(tag, "index required for tree table interaction");
  fMentioned.push_back(index);
  std::string name;
  if (!ReadString(tag, "name", name)) TagFatal(tag, "name required for tree table interactions");
  if (TreeTableEntry* entry = fTable.FindByStringIndex(static_cast<std::uint32_t>(index))) {
    entry->menuText = name;
  } else {
    TagWarning(tag, "interaction #" + std::to_string(index) + " not found in existing tree table");
  }
}

void TreeTableSpec::Save() {
  // A table that was never loaded has nowhere to go back to.
  if (fTable.File() == nullptr || fTable.SaveAgain(Name()) != 0) FatalError("couldn't save tree table");
  StringSet strings;
  strings.Init(fTable.File(), fTable.Id(), TreeTable::kStringsType, false, StringSet::kCurrentLanguage);
  if (strings.Load(false, true) != 0) FatalError("couldn't load tree table strings after saving tree table");
  std::sort(fMentioned.begin(), fMentioned.end());
  for (const TreeTableEntry& entry : fTable.Entries()) {
    if (entry.stringIndex >= StringSet::kMaxStrings) continue;
    const int index = static_cast<int>(entry.stringIndex) + 1;
    std::string comment(strings.Comment(index).value_or(""));
    const auto stringIndex = static_cast<std::int32_t>(entry.stringIndex);
    if (!std::binary_search(fMentioned.begin(), fMentioned.end(), stringIndex)) {
      Warning("Interaction \"" + entry.menuText + "\", #" + std::to_string(stringIndex) +
              " not found in OMK, marking menu text as debug");
      if (comment.empty() || comment.front() != '!') comment = std::string("!").append(comment);
    } else {
      comment.erase(0, std::min(comment.find_first_not_of('!'), comment.size()));
    }
    strings.SetComment(index, comment);
  }
  if (strings.Save() != 0) FatalError("couldn't save strings after saving tree table");
}

}  // namespace pixmold
