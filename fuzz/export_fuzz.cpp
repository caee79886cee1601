// Exports arbitrary bytes opened as an object's container (the second
// version, else the first), entirely in memory. Whatever the bytes, the
// export must end without a fault, and every file it leaves behind must lie
// inside the folder it was given: the sheets' names come from resource ids
// and the object's name, never from the bytes' own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "builder/export/export_object.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "mute_asserts.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"

namespace {

constexpr const char* kInput = "/object/chair.iff";
constexpr const char* kOutput = "/export/";

// Every file under the directory, with its path.
void ListFiles(pixmold::MemoryFileSystem& files, const std::string& directory, std::vector<std::string>& out) {
  std::vector<pixmold::DirEntry> entries;
  if (!files.List(directory, entries)) return;
  for (const pixmold::DirEntry& entry : entries) {
    const std::string path = directory + entry.name;
    if (entry.kind == pixmold::EntryKind::kDirectory) {
      ListFiles(files, path + "/", out);
    } else {
      out.push_back(path);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixmold;
  MuteAssertReports();
  MemoryFileSystem files;
  files.AddFile(kInput, std::span(data, size));
  files.MakeDirectories(kOutput);
  CTGFileManager manager(files);
  std::unique_ptr<iResFile> file = std::make_unique<IFFResFile2>(manager);
  if (file->OpenFile(kInput) != res_error::kNone) {
    file = std::make_unique<IFFResFile>(manager);
    if (file->OpenFile(kInput) != res_error::kNone) return 0;
  }
  ExportRequest request;
  request.directory = kOutput;
  request.baseName = "chair";
  request.source = kInput;
  const ExportResult result = ExportObjectArt(*file, files, request);
  file->CloseFile();

  std::vector<std::string> written;
  ListFiles(files, "/", written);
  for (const std::string& path : written) {
    if (path != kInput && path.rfind(kOutput, 0) != 0) std::abort();
  }
  // What the export says it wrote is what is there.
  for (const std::string& path : result.files) {
    if (!files.Contents(path)) std::abort();
  }
  return 0;
}
