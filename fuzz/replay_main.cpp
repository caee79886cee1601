// Replays saved fuzz inputs without libFuzzer: every file named on the
// command line, or every file inside a named directory, is fed to the target
// once. A missing directory is not an error: a target may have no corpus yet.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunOne(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 0;
  // An empty input always runs, so every target is exercised at least once.
  LLVMFuzzerTestOneInput(nullptr, 0);
  ++runs;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
        if (entry.is_regular_file()) {
          RunOne(entry.path());
          ++runs;
        }
      }
    } else if (std::filesystem::is_regular_file(arg, ec)) {
      RunOne(arg);
      ++runs;
    }
  }
  std::printf("replayed %d inputs\n", runs);
  return 0;
}
