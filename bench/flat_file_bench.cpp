// Sequential FlatFile reads as the markup reader (one byte at a time) and the
// containers (large blocks) do them, from a loose file and from an archive
// member, whose reads take the manager's lock.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/far_writer.h"
#include "resfile/flat_file.h"

namespace pixmold {
namespace {

constexpr std::int32_t kFileSize = 4 << 20;

// One loose file and one archive holding the same bytes, made once.
struct Fixture {
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    std::vector<unsigned char> bytes(kFileSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + (i >> 9));
    loose = dir + "/loose.bin";
    FileSystem& files = PosixFileSystem();
    FileHandle handle = files.Open(loose, OpenMode::kCreate);
    files.WriteAt(handle, 0, bytes.data(), bytes.size());
    files.Close(handle);
    FarWriter writer;
    writer.Add("small.txt", "a small member before the big one");
    writer.Add("art/member.bin", bytes);
    if (!writer.Save(dir + "/art.far")) std::abort();
    if (!manager.MapFAR(dir + "/art.far")) std::abort();
    member = dir + "/art/member.bin";
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
  std::string loose;
  std::string member;
  CTGFileManager manager;
};

Fixture& Files() {
  static Fixture fixture;
  return fixture;
}

void ReadSequentially(benchmark::State& state, const std::string& path, std::int32_t block) {
  Fixture& fixture = Files();
  std::vector<unsigned char> buffer(static_cast<std::size_t>(block));
  for (auto _ : state) {
    FlatFile file(fixture.manager);
    if (file.Open(path) != res_error::kNone) std::abort();
    std::int32_t left = kFileSize;
    while (left >= block) {
      if (file.Read(buffer.data(), block) != res_error::kNone) std::abort();
      left -= block;
    }
    benchmark::DoNotOptimize(buffer.data());
    file.Close();
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_LooseFileByteByByte(benchmark::State& state) { ReadSequentially(state, Files().loose, 1); }
void BM_LooseFile64KiBBlocks(benchmark::State& state) { ReadSequentially(state, Files().loose, 64 << 10); }
void BM_ArchiveMemberByteByByte(benchmark::State& state) { ReadSequentially(state, Files().member, 1); }
void BM_ArchiveMember64KiBBlocks(benchmark::State& state) { ReadSequentially(state, Files().member, 64 << 10); }

BENCHMARK(BM_LooseFileByteByByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LooseFile64KiBBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveMemberByteByByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveMember64KiBBlocks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmold
