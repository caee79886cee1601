#include "builder/markup_file_names.h"

#include <string>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "markup/tag_list.h"

namespace pixmold {
namespace {

struct FileNameKeys {
  std::string_view tag;
  std::initializer_list<std::string_view> keys;
  std::string_view folder;
};

// The attributes the specs read as file names, by tag kind.
const FileNameKeys kFileNames[] = {
    {"sprite", {"tgafile", "bmpfile", "mask"}, "image folder"},
    {"headline", {"tgafile", "bmpfile", "mask"}, "image folder"},
    {"wall style", {"tgafile", "cutaway tgafile"}, "image folder"},
    {"catalog", {"bmpfile", "thumbnail", "popup bmpfile"}, "thumbnail folder"},
    {"bmpfile", {"filename"}, "thumbnail folder"},
};

}  // namespace

bool NameLeavesFolder(std::string_view name) {
  int depth = 0;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      if (--depth < 0) return true;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return false;
}

std::optional<NameLeavingFolder> FirstNameLeavingFolder(const TagList& tags) {
  for (const auto& tag : tags) {
    const std::string_view kind = TagName(*tag);
    for (const FileNameKeys& names : kFileNames) {
      if (kind != names.tag) continue;
      for (std::string_view key : names.keys) {
        const AttribEntry* entry = tag->FindEntry(key);
        if (entry == nullptr || !NameLeavesFolder(entry->fValue)) continue;
        return NameLeavingFolder{std::string(key) + " \"" + entry->fValue + "\" leaves the " +
                                     std::string(names.folder) +
                                     ": file names in markup are relative to their folder and may not leave it "
                                     "(--allow-outside-names lifts this)",
                                 EntryLine(entry)};
      }
    }
  }
  return std::nullopt;
}

void CheckMarkupFileNames(const TagList& tags) {
  if (const auto leaving = FirstNameLeavingFolder(tags)) FatalError(leaving->text, leaving->line);
}

}  // namespace pixmold
