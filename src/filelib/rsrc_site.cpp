#include "filelib/rsrc_site.h"

#include "filelib/ctg_file_manager.h"
#include "filelib/debug_assert.h"

namespace pixmold {

RsrcSite::RsrcSite(std::string_view path) : fPath(path) {
  auto add = [this](std::string_view name) {
    if (name.size() >= kMaxSiteNameLength) {
      DEBUG_ASSERT_FAIL("localIndex < kMaxSiteNameLength");
      fNamesFit = false;
      return;
    }
    std::string dir(name);
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    fDirectories.push_back(std::move(dir));
  };
  std::size_t start = 0;
  for (std::size_t semi = path.find(';'); semi != std::string_view::npos; semi = path.find(';', start)) {
    add(path.substr(start, semi - start));
    start = semi + 1;
  }
  if (start < path.size()) add(path.substr(start));
}

bool RsrcSite::IsValid(CTGFileManager& files) const {
  if (!fNamesFit || fDirectories.empty()) return false;
  for (const std::string& dir : fDirectories) {
    if (dir.empty()) continue;
    std::string bare = dir.substr(0, dir.size() - 1);
    if (files.Files().Kind(bare) != EntryKind::kDirectory && !files.IsMapped(bare)) return false;
  }
  return true;
}

}  // namespace pixmold
