// Object files on disk for the driver and command-line tests: an IFF file
// with chosen object definitions, read back after a build; and a file-system
// decorator that makes chosen files open read-only, as a checked-in file
// would (tests run as root, where permission bits do not stop a writer).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "resfile/iff_res_file2.h"
#include "object_definition_fixture.h"

namespace pixmold::testing {

// Writes the resources into a new IFF object file at path (replacing one there).
void WriteObjectFile(const std::string& path, const std::vector<StoredResource>& resources);

// The resources of an object file (its ".iff" and ".spf" parts), read back
// as the build opens it.
std::vector<StoredResource> ReadObjectFile(const std::string& path);

const StoredResource* FindResource(const std::vector<StoredResource>& resources, ResType type, ResID id);

// While it lives, files whose path ends in `leaf` refuse to open for writing.
class ReadOnlyFiles final : public FileSystemDecorator {
 public:
  explicit ReadOnlyFiles(std::string leaf);
  ~ReadOnlyFiles() override;
  ReadOnlyFiles(const ReadOnlyFiles&) = delete;
  ReadOnlyFiles& operator=(const ReadOnlyFiles&) = delete;

  FileHandle Open(const std::string& path, OpenMode mode) override;

 private:
  std::string fLeaf;
  FileSystem* fPrevious;
};

}  // namespace pixmold::testing
