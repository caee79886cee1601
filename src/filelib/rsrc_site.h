// A resolve site: the ordered list of directories in which loose resources
// are looked up. It is written as one path string with ';' between the
// directories (a leading ';' stands for the working directory first), and
// directories are searched in the order given, so an earlier directory
// overrides a later one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

class CTGFileManager;

class RsrcSite {
 public:
  static constexpr std::size_t kMaxSiteNameLength = 255;

  explicit RsrcSite(std::string_view path);

  // Every directory name fits, and every directory exists on disk or in the
  // file library's map.
  bool IsValid(CTGFileManager& files) const;
  // Each ends in a separator, except the empty one (the working directory).
  const std::vector<std::string>& Directories() const { return fDirectories; }
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
  std::vector<std::string> fDirectories;
  bool fNamesFit = true;
};

}  // namespace pixmold
