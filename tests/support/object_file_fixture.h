// Object files for the driver and command-line tests: object definitions
// (OBJD records) made from code, an IFF file holding them, read back after a
// build; and a file-system decorator that makes chosen files open read-only,
// as a checked-in file would (tests run as root, where permission bits do not
// stop a writer).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filelib/ctg_file_manager.h"
#include "filelib/file_system.h"
#include "memory_res_file.h"
#include "resfile/iff_res_file2.h"

namespace pixmold::testing {

// A zeroed record of the chosen version and size with the fields a test cares about.
struct ObjdFields {
  std::uint16_t version = 138;
  std::size_t size = 216;
  std::uint32_t guid = 0;
  std::int16_t firstDrawGroupId = 0;
  std::int16_t drawGroupCount = 0;
  std::int16_t multiTileGroup = 0;
  std::int16_t multiTilePart = 0;
  std::int16_t wallStyleId = 0;
  std::uint16_t catalogStringsId = 0;
  std::uint16_t treeTableId = 0;
  std::int16_t price = 0;
  std::uint16_t selfDepreciating = 0;
  std::uint16_t roomSort = 0;
  std::int16_t ratingHunger = 0;
  std::uint16_t skillFlags = 0;
};

StoredResource ObjdResource(ResID id, std::string name, const ObjdFields& fields);

// An object file kept in memory as "chair.iff", open for reading and writing.
struct MemoryObjectFile {
  explicit MemoryObjectFile(std::vector<StoredResource> resources = {});
  const StoredResource* Find(ResType type, ResID id) const { return disk.Find("chair.iff", type, id); }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

// Writes the resources into a new IFF object file at path (replacing one there).
void WriteObjectFile(const std::string& path, const std::vector<StoredResource>& resources);

// The resources of an object file (its ".iff" and ".spf" parts), read back
// as the build opens it.
std::vector<StoredResource> ReadObjectFile(const std::string& path);

const StoredResource* FindResource(const std::vector<StoredResource>& resources, ResType type, ResID id);

// "TYPE id" of every resource, in the order given.
std::vector<std::string> ResourceKeys(const std::vector<StoredResource>& resources);
// The same keys joined by ", ": "OBJD 128, SPR2 100".
std::string ResourceList(const std::vector<StoredResource>& resources);

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
