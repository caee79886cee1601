#include "app/palette_groups.h"

#include <map>

#include "base/ascii.h"
#include "builder/markup_file_names.h"
#include "filelib/ctg_file_manager.h"
#include "markup/markup_file.h"
#include "markup/tag_list.h"
#include "resfile/flat_file.h"

namespace pixmold {
namespace {

struct SheetUse {
  std::string sheet;
  std::optional<std::int32_t> paletteId;
};

std::vector<SheetUse> SheetUses(TagList& tags) {
  std::vector<SheetUse> uses;
  for (const auto& tag : tags) {
    const auto name = tag->NameAt(0);
    if (!name || (*name != "sprite" && *name != "headline")) continue;
    const auto file = tag->FindValue("tgafile");
    if (!file || file->empty()) continue;
    SheetUse use{std::string(*file), std::nullopt};
    std::int32_t id = 0;
    if (tag->GetInteger("paletteid", id) && id >= 0) use.paletteId = id;
    uses.push_back(std::move(use));
  }
  return uses;
}

// Unquoted markup arrives in lower case, so "Chair.TGA" may be named
// chair.tga: the build then takes the one file whose name differs only in
// case, and so do we (quietly: the build warns about it).
std::string SheetPath(std::string_view directory, const std::string& sheet) {
  const std::string exact = std::string(directory) + sheet;
  FileSystem& files = CTGFileManager::Get().Files();
  if (files.Kind(exact) == EntryKind::kFile || sheet.find('/') != std::string::npos) return exact;
  std::vector<DirEntry> entries;
  if (!files.List(directory.empty() ? "." : std::string(directory), entries)) return exact;
  std::string match;
  for (const DirEntry& entry : entries) {
    if (entry.kind != EntryKind::kFile || !EqualIgnoringCase(entry.name, sheet)) continue;
    if (!match.empty()) return exact;  // ambiguous: the build stops there too
    match = entry.name;
  }
  return match.empty() ? exact : std::string(directory) + match;
}

// Union-find over sheets: two sheets join when a palette id names both.
class Groups {
 public:
  std::size_t Add(const std::string& sheet) {
    const auto [it, added] = fIndex.emplace(sheet, fSheets.size());
    if (added) {
      fSheets.push_back(sheet);
      fParent.push_back(fParent.size());
    }
    return it->second;
  }
  void Join(std::size_t a, std::size_t b) { fParent[Root(a)] = Root(b); }
  std::size_t Root(std::size_t a) {
    while (fParent[a] != a) a = fParent[a] = fParent[fParent[a]];
    return a;
  }
  const std::vector<std::string>& Sheets() const { return fSheets; }

 private:
  std::map<std::string, std::size_t> fIndex;
  std::vector<std::string> fSheets;
  std::vector<std::size_t> fParent;
};

}  // namespace

std::optional<std::vector<SheetGroup>> PaletteGroupsOf(const std::string& omkPath, std::string_view imageDirectory,
                                                       std::string* leavingFolder) {
  FlatFile file;
  if (file.Open(omkPath) != 0) return std::nullopt;
  TagList tags;
  ReadMarkupFile(file, tags);
  if (leavingFolder != nullptr) {
    if (const auto leaving = FirstNameLeavingFolder(tags)) {
      *leavingFolder =
          omkPath + ": " + (leaving->line ? "line " + std::to_string(*leaving->line) + ": " : "") + leaving->text;
      return std::vector<SheetGroup>{};
    }
  }
  const std::vector<SheetUse> uses = SheetUses(tags);

  Groups groups;
  std::map<std::int32_t, std::size_t> firstWithId;
  for (const SheetUse& use : uses) {
    const std::size_t sheet = groups.Add(use.sheet);
    if (!use.paletteId) continue;
    const auto [it, added] = firstWithId.emplace(*use.paletteId, sheet);
    if (!added) groups.Join(sheet, it->second);
  }

  std::vector<SheetGroup> result;
  std::map<std::size_t, std::size_t> groupOfRoot;
  for (std::size_t i = 0; i < groups.Sheets().size(); ++i) {
    const auto [it, added] = groupOfRoot.emplace(groups.Root(i), result.size());
    if (added) result.emplace_back();
    result[it->second].sheets.push_back(SheetPath(imageDirectory, groups.Sheets()[i]));
  }
  for (const auto& [id, sheet] : firstWithId) {
    result[groupOfRoot.at(groups.Root(sheet))].paletteIds.push_back(id);
  }
  return result;
}

}  // namespace pixmold
