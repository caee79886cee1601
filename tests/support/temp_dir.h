// A fresh directory under the system's temporary directory, removed with
// everything in it when the test ends.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  std::string File(std::string_view name) const { return (fPath / name).string(); }
  // Writes bytes to a file under the directory (creating parents) and returns its path.
  std::string Write(std::string_view name, std::span<const unsigned char> bytes) const;
  std::string Write(std::string_view name, std::string_view text) const;

 private:
  std::filesystem::path fPath;
};

std::vector<unsigned char> ReadAll(const std::filesystem::path& path);

}  // namespace pixmold::testing
