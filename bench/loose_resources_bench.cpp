// Listing a folder of loose resources as `pixmold ls` lists an object's
// ".dir" part: every resource by index, loaded, sized and released. The
// folder is listed once per open, however many resources it holds; 5 000 of
// them take well under a second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "filelib/file_system.h"
#include "filelib/rsrc_descriptor.h"
#include "resfile/res_walk.h"
#include "resfile/resolve_res_file.h"

namespace pixmold {
namespace {

// A folder of `count` loose STR# resources, made once per size.
struct LooseFolder {
  explicit LooseFolder(int count) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixmold-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    const std::string bytes = "one loose resource's bytes";
    FileSystem& files = PosixFileSystem();
    const RsrcType type = static_cast<RsrcType>(MakeResType("STR#") & 0xFFFFFF00u);
    for (int id = 0; id < count; ++id) {
      const std::string path = dir + "/" + RsrcFileName(type, 1000 + id, "text " + std::to_string(id));
      const FileHandle handle = files.Open(path, OpenMode::kCreate);
      if (handle == kNoFile) std::abort();
      files.WriteAt(handle, 0, bytes.data(), bytes.size());
      files.Close(handle);
    }
  }
  ~LooseFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
};

void BM_ListLooseResources(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  static std::map<int, std::unique_ptr<LooseFolder>> folders;
  auto& folder = folders[count];
  if (!folder) folder = std::make_unique<LooseFolder>(count);
  for (auto _ : state) {
    ResolveResFile file;
    if (file.OpenFile(CTGString(folder->dir)) != res_error::kNone) std::abort();
    std::int64_t bytes = 0;
    int listed = 0;
    const ResErr err = ForEachResource(file, UnreadableResource::kStop, [&](WalkedResource& resource) {
      bytes += GetHandleSize(resource.handle);
      ++listed;
      return res_error::kNone;
    });
    if (err != res_error::kNone || listed != count) std::abort();
    benchmark::DoNotOptimize(bytes);
    file.CloseFile();
  }
  state.SetItemsProcessed(state.iterations() * count);
}

// Time grows with the count, not with its square.
BENCHMARK(BM_ListLooseResources)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmold
