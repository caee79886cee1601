// The IFF containers at scale:
//  - adding and writing N resources of 4 KiB must cost the same per resource
//    for N = 100, 1 000 and 10 000 (lookups are hashed, a file that only
//    grows never walks its blocks): compare the ns_per_resource counters;
//  - opening a 10 000-resource file through its map reads one block (the
//    reads counter counts read calls reaching the file system) and must beat
//    opening it by walking every block at least twentyfold;
//  - a rebuild that replaces every resource of a file with bytes of the same
//    size writes each once and reads none back: written_per_data_byte is 1
//    plus the headers and the map, read_bytes only headers; so does one of
//    a file whose blocks lie in the opposite order, from its second rebuild.
// Files live in /dev/shm when there is one, so the figures are the code's
// and the system calls', not the disk's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "filelib/io_faults.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "support/transfer_counter.h"

namespace pixmold {
namespace {

constexpr std::uint32_t kResourceSize = 4096;
constexpr std::int32_t kLargeFile = 10000;
constexpr ResType kSPR2 = MakeResType("SPR2");

class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    std::filesystem::path root = "/dev/shm";
    if (!std::filesystem::is_directory(root, ec)) root = std::filesystem::temp_directory_path();
    std::string pattern = (root / "pixmold-iff-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    fPath = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(fPath, ec);
  }
  std::string File(std::string_view name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

ScratchDir& Scratch() {
  static ScratchDir dir;
  return dir;
}

MHandle ResourceBytes(std::int32_t seed) {
  MHandle h = NewHandle(kResourceSize);
  HandleLock lock(h);
  for (std::uint32_t i = 0; i < kResourceSize; ++i) lock.Data()[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return h;
}

// Adds and writes count resources to an open file, handing each back.
void AddAndWrite(iResFile& file, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    MHandle h = ResourceBytes(i);
    if (file.AddResource(h, kSPR2, static_cast<ResID>(i - 16000), "", true)) std::abort();
    if (file.WriteResource(h)) std::abort();
    file.ReleaseAndDispose(h);
  }
}

template <typename File>
void BM_AddAndWrite(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const std::string path = Scratch().File("add.iff");
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(path);
    File file;
    if (file.CreateFile(path) || file.OpenFile(path)) std::abort();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    AddAndWrite(file, count);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    file.CloseFile();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_resource"] = seconds * 1e9 / static_cast<double>(state.iterations() * count);
}

BENCHMARK(BM_AddAndWrite<IFFResFile2>)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddAndWrite<IFFResFile>)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A 10 000-resource file with its map, and the same file without one.
struct LargeFiles {
  LargeFiles() : mapped(Scratch().File("mapped.iff")), walked(Scratch().File("walked.iff")) {
    IFFResFile2 file;
    if (file.CreateFile(mapped) || file.OpenFile(mapped)) std::abort();
    AddAndWrite(file, kLargeFile);
    if (file.CloseFile()) std::abort();
    std::filesystem::copy_file(mapped, walked);
    if (file.ClearMap(walked)) std::abort();
  }
  std::string mapped;
  std::string walked;
};

LargeFiles& Large() {
  static LargeFiles files;
  return files;
}

void OpenLarge(benchmark::State& state, const std::string& path, bool byMap) {
  CTGFileManager manager;
  IoFaults counter(manager);
  std::int64_t reads = 0;
  for (auto _ : state) {
    IFFResFile2 file(manager);
    const std::int64_t before = counter.Calls(IoOp::kRead);
    if (file.OpenFile(path) != res_error::kNone || file.OpenedByMap() != byMap) std::abort();
    reads += counter.Calls(IoOp::kRead) - before;
    if (file.CountResources(kSPR2) != kLargeFile) std::abort();
    state.PauseTiming();
    file.CloseFile();
    state.ResumeTiming();
  }
  state.counters["reads"] = static_cast<double>(reads) / static_cast<double>(state.iterations());
}

void BM_Open10000ByMap(benchmark::State& state) { OpenLarge(state, Large().mapped, true); }
void BM_Open10000ByWalk(benchmark::State& state) { OpenLarge(state, Large().walked, false); }

BENCHMARK(BM_Open10000ByMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Open10000ByWalk)->Unit(benchmark::kMicrosecond);

// An object's art: a large sprite list and a small palette, sixteen times,
// in the order a build writes them.
constexpr int kRebuildPairs = 16;
constexpr std::uint32_t kRebuildSprite = 256 * 1024;
constexpr std::uint32_t kRebuildPalette = 860;
constexpr ResType kPALT = MakeResType("PALT");

// Adds or replaces one resource of size bytes, all of them fill.
std::int64_t WriteFilled(IFFResFile2& file, ResType type, ResID id, std::uint32_t size, int fill) {
  MHandle h = NewHandle(size);
  {
    HandleLock lock(h);
    std::memset(lock.Data(), fill, size);
  }
  if (file.AddResource(h, type, id, "", true)) std::abort();
  if (file.WriteResource(h)) std::abort();
  file.ReleaseAndDispose(h);
  return size;
}

// A new empty container in the scratch folder, for a run of rebuilds.
std::string EmptyRebuildFile(CTGFileManager& manager, const char* name) {
  const std::string path = Scratch().File(name);
  std::filesystem::remove(path);
  IFFResFile2 file(manager);
  if (file.CreateFile(path)) std::abort();
  return path;
}

std::int64_t RebuildSession(CTGFileManager& manager, const std::string& path, std::uint8_t seed,
                            bool reversed = false) {
  IFFResFile2 file(manager);
  if (file.OpenFile(path)) std::abort();
  std::int64_t data = 0;
  for (int step = 0; step < 2 * kRebuildPairs; ++step) {
    const int i = reversed ? 2 * kRebuildPairs - 1 - step : step;
    const bool sprite = i % 2 == 0;
    const std::uint32_t size = sprite ? kRebuildSprite : kRebuildPalette;
    data += WriteFilled(file, sprite ? kSPR2 : kPALT, static_cast<ResID>(1000 + i / 2), size, seed + i);
  }
  if (file.CloseFile()) std::abort();
  return data;
}

void BM_RebuildSameSizes(benchmark::State& state) {
  CTGFileManager manager;
  const std::string path = EmptyRebuildFile(manager, "rebuild.iff");
  // A first build, then a rebuild: the file as a pipeline keeps it.
  RebuildSession(manager, path, 1);
  RebuildSession(manager, path, 2);
  std::int64_t data = 0;
  testing::TransferCounter transfers(manager);
  std::uint8_t seed = 3;
  for (auto _ : state) data += RebuildSession(manager, path, seed++);
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["written_per_data_byte"] = static_cast<double>(transfers.written) / static_cast<double>(data);
  state.counters["read_bytes"] = static_cast<double>(transfers.read) / iterations;
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

BENCHMARK(BM_RebuildSameSizes)->Unit(benchmark::kMillisecond);

// Rebuilds that hand over the bytes the file already holds: each is read
// back and compared, and nothing is written (written_per_data_byte 0).
void BM_RebuildUnchanged(benchmark::State& state) {
  CTGFileManager manager;
  const std::string path = EmptyRebuildFile(manager, "unchanged.iff");
  RebuildSession(manager, path, 1);
  std::int64_t data = 0;
  testing::TransferCounter transfers(manager);
  for (auto _ : state) data += RebuildSession(manager, path, 1);
  state.counters["written_per_data_byte"] = static_cast<double>(transfers.written) / static_cast<double>(data);
  state.counters["read_per_data_byte"] = static_cast<double>(transfers.read) / static_cast<double>(data);
}

BENCHMARK(BM_RebuildUnchanged)->Unit(benchmark::kMillisecond);

// The same rebuilds of a file whose blocks lie in the opposite order, as a
// compaction or an older writer may leave them: first_written_per_data_byte
// is the first rebuild's, written_per_data_byte the later ones', each close
// to 1 (nothing moved); file_per_data_byte stays under 1.5.
void BM_RebuildFromReversedLayout(benchmark::State& state) {
  CTGFileManager manager;
  const std::string path = EmptyRebuildFile(manager, "reversed.iff");
  RebuildSession(manager, path, 1, true);
  double first = 0;
  {
    testing::TransferCounter transfers(manager);
    const std::int64_t firstData = RebuildSession(manager, path, 2);
    first = static_cast<double>(transfers.written) / static_cast<double>(firstData);
  }
  std::int64_t data = 0;
  std::int64_t live = 0;
  testing::TransferCounter transfers(manager);
  std::uint8_t seed = 3;
  for (auto _ : state) live = RebuildSession(manager, path, seed++), data += live;
  state.counters["first_written_per_data_byte"] = first;
  state.counters["written_per_data_byte"] = static_cast<double>(transfers.written) / static_cast<double>(data);
  state.counters["file_per_data_byte"] =
      static_cast<double>(std::filesystem::file_size(path)) / static_cast<double>(live);
}

BENCHMARK(BM_RebuildFromReversedLayout)->Unit(benchmark::kMillisecond);

// Lists of sixteen different sizes, as sheets of different art give, and
// with range(0) = 1 sizes that drift by up to 1% from one rebuild to the
// next: the free space a replacement leaves seldom fits the next one
// exactly. written_per_data_byte above 1 is what compactions at close cost;
// file_per_data_byte stays under 1.5.
std::int64_t DistinctSizesSession(CTGFileManager& manager, const std::string& path, std::uint32_t round, bool drift) {
  IFFResFile2 file(manager);
  if (file.OpenFile(path)) std::abort();
  std::int64_t data = 0;
  for (std::uint32_t i = 0; i < 2 * kRebuildPairs; ++i) {
    const bool sprite = i % 2 == 0;
    std::uint32_t size = sprite ? kRebuildSprite / 2 + i * 7919 : kRebuildPalette;
    if (sprite && drift) size += (round * 2654435761u + i * 40503u) % (size / 100);
    data +=
        WriteFilled(file, sprite ? kSPR2 : kPALT, static_cast<ResID>(1000 + i / 2), size, static_cast<int>(round + i));
  }
  if (file.CloseFile()) std::abort();
  return data;
}

void BM_RebuildDistinctSizes(benchmark::State& state) {
  const bool drift = state.range(0) != 0;
  CTGFileManager manager;
  const std::string path = EmptyRebuildFile(manager, "distinct.iff");
  std::uint32_t round = 0;
  DistinctSizesSession(manager, path, round++, drift);
  DistinctSizesSession(manager, path, round++, drift);
  std::int64_t data = 0;
  std::int64_t live = 0;
  testing::TransferCounter transfers(manager);
  for (auto _ : state) live = DistinctSizesSession(manager, path, round++, drift), data += live;
  state.counters["written_per_data_byte"] = static_cast<double>(transfers.written) / static_cast<double>(data);
  state.counters["file_per_data_byte"] =
      static_cast<double>(std::filesystem::file_size(path)) / static_cast<double>(live);
}

BENCHMARK(BM_RebuildDistinctSizes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmold
