#include "object_file_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "records/object_file.h"
#include "resfile/handle_owner.h"
#include "resfile/res_walk.h"
#include "support/handle_bytes.h"

namespace pixmold::testing {

StoredResource ObjdResource(ResID id, std::string name, const ObjdFields& fields) {
  std::vector<std::uint8_t> bytes(fields.size, 0);
  auto put = [&bytes](int word, int value) {
    const auto offset = static_cast<std::size_t>(word) * 2;
    if (offset + 2 > bytes.size()) return;
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
  };
  put(0, fields.version);
  put(3, fields.firstDrawGroupId);
  put(4, fields.drawGroupCount);
  put(10, fields.multiTileGroup);
  put(11, fields.multiTilePart);
  put(14, static_cast<int>(fields.guid & 0xFFFF));
  put(15, static_cast<int>(fields.guid >> 16));
  put(41, fields.catalogStringsId);
  put(81, fields.wallStyleId);
  put(7, fields.treeTableId);
  put(18, fields.price);
  put(37, fields.selfDepreciating);
  put(39, fields.roomSort);
  put(82, fields.ratingHunger);
  put(89, fields.skillFlags);
  return StoredResource{MakeResType("OBJD"), id, std::move(name), 0, true, std::move(bytes)};
}

MemoryObjectFile::MemoryObjectFile(std::vector<StoredResource> resources) {
  disk.files["chair.iff"] = std::move(resources);
  EXPECT_EQ(file.OpenFile("chair.iff"), 0);
}

void WriteObjectFile(const std::string& path, const std::vector<StoredResource>& resources) {
  std::filesystem::remove(path);
  IFFResFile2 file;
  ASSERT_EQ(file.CreateFile(CTGString(path)), 0) << path;
  ASSERT_EQ(file.OpenFile(CTGString(path)), 0) << path;
  for (const StoredResource& resource : resources) {
    MHandle handle = HandleOf(resource.bytes).Release();
    ASSERT_EQ(file.AddResource(handle, resource.type, resource.id, CTGString(resource.name), true), 0);
    ASSERT_EQ(file.WriteResource(handle), 0);
  }
  ASSERT_EQ(file.CloseFile(), 0);
}

std::vector<StoredResource> ReadObjectFile(const std::string& path) {
  std::vector<StoredResource> resources;
  // Both parts, as the build opens them: draw groups land in the ".spf" part.
  std::unique_ptr<StdResFile> object = NewObjectFile();
  iResFile& file = *object;
  if (file.OpenFile(CTGString(path)) != 0) return resources;
  ForEachResource(file, UnreadableResource::kSkip, [&resources](const WalkedResource& walked) {
    StoredResource resource;
    resource.type = walked.type;
    resource.id = walked.id;
    resource.name = walked.name.Str();
    resource.native = walked.native;
    HandleLock lock(walked.handle);
    resource.bytes.assign(lock.Data(), lock.Data() + lock.Size());
    resources.push_back(std::move(resource));
    return res_error::kNone;
  });
  file.CloseFile();
  return resources;
}

const StoredResource* FindResource(const std::vector<StoredResource>& resources, ResType type, ResID id) {
  for (const StoredResource& resource : resources) {
    if (resource.type == type && resource.id == id) return &resource;
  }
  return nullptr;
}

std::vector<std::string> ResourceKeys(const std::vector<StoredResource>& resources) {
  std::vector<std::string> keys;
  for (const StoredResource& resource : resources)
    keys.push_back(ResTypeName(resource.type) + " " + std::to_string(resource.id));
  return keys;
}

std::string ResourceList(const std::vector<StoredResource>& resources) {
  std::string list;
  for (const std::string& key : ResourceKeys(resources)) list += (list.empty() ? "" : ", ") + key;
  return list;
}

ReadOnlyFiles::ReadOnlyFiles(std::string leaf)
    : FileSystemDecorator(CTGFileManager::Get().Files()), fLeaf(std::move(leaf)) {
  fPrevious = &CTGFileManager::Get().SetFileSystem(*this);
}

ReadOnlyFiles::~ReadOnlyFiles() { CTGFileManager::Get().SetFileSystem(*fPrevious); }

FileHandle ReadOnlyFiles::Open(const std::string& path, OpenMode mode) {
  const bool matches =
      path.size() >= fLeaf.size() && path.compare(path.size() - fLeaf.size(), fLeaf.size(), fLeaf) == 0;
  if (matches && mode != OpenMode::kRead) return kNoFile;
  return FileSystemDecorator::Open(path, mode);
}

}  // namespace pixmold::testing
