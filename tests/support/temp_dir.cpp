#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pixmold::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
  fPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fPath, ec);
}

std::string TempDir::Write(std::string_view name, std::span<const unsigned char> bytes) const {
  std::filesystem::path path = fPath / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::string TempDir::Write(std::string_view name, std::string_view text) const {
  return Write(name, std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
}

std::vector<unsigned char> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace pixmold::testing
