#include "filelib/ctg_file_manager.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <utility>

#include "base/ascii.h"
#include "base/report.h"
#include "filelib/far_format.h"
#include "filelib/file_locks.h"
#include "filelib/file_path.h"

namespace pixmold {
namespace {

// Deep enough for any real tree, shallow enough that a pathological one ends.
constexpr int kMaxDirectoryDepth = 64;

}  // namespace

CTGFileManager::CTGFileManager(FileSystem& files) : mFiles(&files) {}

CTGFileManager::~CTGFileManager() {
  for (auto& [name, handle] : mFARHandles) Files().Close(handle);
}

CTGFileManager& CTGFileManager::Get() {
  // Never destroyed: files held by other static objects may still be closed
  // through it during exit. The system closes the archives' descriptors.
  union Holder {
    Holder() : manager() {}
    ~Holder() {}
    CTGFileManager manager;
  };
  static Holder holder;
  return holder.manager;
}

FileSystem& CTGFileManager::SetFileSystem(FileSystem& files) {
  return *mFiles.exchange(&files, std::memory_order_acq_rel);
}

std::unique_ptr<CTGFile> CTGFileManager::Open(std::string_view path, bool writable, int* failure) {
  int ignored = 0;
  int& reason = failure ? *failure : ignored;
  reason = 0;
  std::string key = PathKey(path);
  {
    std::lock_guard lock(mLock);
    auto it = mPathToDirMap.find(key);
    if (it != mPathToDirMap.end()) {
      const FileDesc& desc = it->second;
      if (desc.mbDirectory) {
        reason = EISDIR;
        return nullptr;
      }
      if (desc.mbFAR) {
        if (writable) {
          reason = EROFS;
          return nullptr;
        }
        CTGFile::Slice slice{desc.mhFile, desc.mnOffset, desc.mnSize, true, false};
        return std::make_unique<CTGFile>(CTGFile::Passkey(), *this, CTGString(path), std::move(key), slice);
      }
    }
  }
  if (writable && CurrentLockPolicy().readOnly) {
    reason = EPERM;
    return nullptr;
  }
  FileSystem& files = Files();
  errno = 0;
  FileHandle handle = files.Open(ToSlashes(path), writable ? OpenMode::kReadWrite : OpenMode::kRead);
  if (handle == kNoFile) {
    reason = errno != 0 ? errno : EIO;
    return nullptr;
  }
  if (!LockOpenedFile(files, handle, this, key, path, writable)) {
    reason = errno;
    files.Close(handle);
    return nullptr;
  }
  // Sized once the lock is held: a writer may have changed it meanwhile.
  std::int64_t size = files.Size(handle);
  if (size < 0) {
    reason = errno != 0 ? errno : EIO;
    ForgetOpenedFile(handle);
    files.Close(handle);
    return nullptr;
  }
  CTGFile::Slice slice{handle, 0, size, false, writable};
  return std::make_unique<CTGFile>(CTGFile::Passkey(), *this, CTGString(path), std::move(key), slice);
}

void CTGFileManager::Close(std::unique_ptr<CTGFile> file) { file.reset(); }

bool CTGFileManager::Create(std::string_view path, int* failure) {
  int ignored = 0;
  int& reason = failure ? *failure : ignored;
  reason = 0;
  std::string key = PathKey(path);
  {
    std::lock_guard lock(mLock);
    auto it = mPathToDirMap.find(key);
    if (it != mPathToDirMap.end() && (it->second.mbFAR || it->second.mbDirectory)) {
      reason = EEXIST;
      return false;
    }
  }
  FileSystem& files = Files();
  errno = 0;
  FileHandle handle = files.Open(ToSlashes(path), OpenMode::kCreateNew);
  if (handle == kNoFile) {
    reason = errno != 0 ? errno : EIO;
    return false;
  }
  files.Close(handle);
  std::lock_guard lock(mLock);
  auto it = mPathToDirMap.find(key);
  if (it != mPathToDirMap.end() && !it->second.mbFAR && !it->second.mbDirectory) {
    it->second.mbWritable = true;
    it->second.mnSize = 0;
  }
  return true;
}

bool CTGFileManager::Delete(std::string_view path) {
  std::string key = PathKey(path);
  {
    std::lock_guard lock(mLock);
    auto it = mPathToDirMap.find(key);
    if (it != mPathToDirMap.end() && (it->second.mbFAR || it->second.mbDirectory)) return false;
  }
  if (!Files().Remove(ToSlashes(path))) return false;
  std::lock_guard lock(mLock);
  mPathToDirMap.erase(key);
  return true;
}

bool CTGFileManager::Exists(std::string_view path) {
  {
    std::lock_guard lock(mLock);
    auto it = mPathToDirMap.find(PathKey(path));
    if (it != mPathToDirMap.end()) return !it->second.mbDirectory;
  }
  // A file we may not read exists all the same: Create must not truncate it.
  return Files().Kind(ToSlashes(path)) == EntryKind::kFile;
}

std::int64_t CTGFileManager::ReadShared(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) {
  std::lock_guard lock(mLock);
  return Files().ReadAt(file, offset, buffer, count);
}

std::optional<FileView> CTGFileManager::ViewShared(FileHandle file, std::int64_t offset, std::size_t count) {
  std::lock_guard lock(mLock);
  return Files().View(file, offset, count);
}

void CTGFileManager::NoteSize(const std::string& key, std::int64_t size) {
  std::lock_guard lock(mLock);
  auto it = mPathToDirMap.find(key);
  if (it != mPathToDirMap.end() && !it->second.mbFAR && !it->second.mbDirectory) it->second.mnSize = size;
}

void CTGFileManager::RegisterDirectories(std::string key, std::string_view stop, const std::string& source) {
  while (!key.empty()) {
    if (mPathToDirMap.count(key) != 0) return;
    FileDesc desc;
    desc.mName = key;
    desc.mbDirectory = true;
    desc.mSource = source;
    mPathToDirMap.emplace(key, std::move(desc));
    if (key == stop) return;
    key = ParentKey(key);
  }
}

bool CTGFileManager::MapFAR(std::string_view archivePath, std::string* error) {
  std::string reason;
  bool mapped = MapFARKey(PathKey(archivePath), archivePath, &reason);
  if (!mapped && error) *error = reason;
  return mapped;
}

bool CTGFileManager::MapFARKey(const std::string& key, std::string_view archivePath, std::string* error) {
  {
    std::lock_guard lock(mLock);
    if (mFARHandles.count(key) != 0) {
      *error = "archive is mapped already";
      return false;
    }
  }
  FileSystem& files = Files();
  FileHandle handle = files.Open(ToSlashes(archivePath), OpenMode::kRead);
  std::int64_t size = handle == kNoFile ? -1 : files.Size(handle);
  if (size < 0) {
    if (handle != kNoFile) files.Close(handle);
    *error = "cannot open the archive";
    FileWarning(archivePath, *error);
    return false;
  }
  // Reads are positioned, so the descriptor may be shared from the moment
  // it is recorded while this call goes on reading the directory.
  CTGFile whole(CTGFile::Passkey(), *this, CTGString(archivePath), key, CTGFile::Slice{handle, 0, size, true, false});
  std::uint32_t count = 0;
  if (!ReadFarHeader(whole, count, *error)) {
    files.Close(handle);
    FileWarning(archivePath, *error);
    return false;
  }
  {
    std::lock_guard lock(mLock);
    if (mFARHandles.count(key) != 0) {
      files.Close(handle);
      *error = "archive is mapped already";
      return false;
    }
    mFARHandles.emplace(key, handle);
  }
  // Each member is mapped as soon as its entry is read: damage further on
  // ends the mapping but keeps what came before it, and the archive stays
  // recorded, so it is not mapped a second time.
  const std::string directory = ParentKey(key);
  for (std::uint32_t index = 0; index < count; ++index) {
    FarEntry entry;
    std::string reason;
    const FarEntryResult result = ReadFarEntry(whole, index, entry, reason);
    if (result != FarEntryResult::kMember) {
      FileWarning(archivePath, reason);
      if (result == FarEntryResult::kSkipped) continue;
      *error = reason;
      return false;
    }
    std::string memberKey = JoinKey(directory, entry.name);
    std::lock_guard lock(mLock);
    if (mPathToDirMap.count(memberKey) != 0) continue;  // the first mapping of a path wins
    FileDesc desc;
    desc.mName = memberKey;
    desc.mhFile = handle;
    desc.mnOffset = entry.offset;
    desc.mnSize = entry.size;
    desc.mbFAR = true;
    desc.mSource = key;
    mPathToDirMap.emplace(memberKey, std::move(desc));
    RegisterDirectories(ParentKey(memberKey), directory, key);
  }
  return true;
}

bool CTGFileManager::MapDirectory(std::string_view directory) {
  FileSystem& files = Files();
  std::string root = PathKey(directory);
  if (files.Kind(root) != EntryKind::kDirectory) return false;
  std::vector<std::string> archives;
  std::vector<std::pair<std::string, int>> pending{{root, 0}};
  bool listed = true;
  // Every loose file of the tree first, so loose files shadow members.
  while (!pending.empty()) {
    auto [dir, depth] = std::move(pending.back());
    pending.pop_back();
    std::vector<DirEntry> entries;
    if (!files.List(dir, entries)) {
      listed = false;
      continue;
    }
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    std::lock_guard lock(mLock);
    RegisterDirectories(dir, dir, std::string());
    for (const DirEntry& entry : entries) {
      std::string key = JoinKey(dir, entry.name);
      if (entry.kind == EntryKind::kDirectory) {
        if (depth < kMaxDirectoryDepth) pending.emplace_back(key, depth + 1);
        continue;
      }
      if (entry.kind != EntryKind::kFile) continue;
      if (EndsWithIgnoringCase(entry.name, ".far")) archives.push_back(key);
      if (mPathToDirMap.count(key) != 0) continue;
      FileDesc desc;
      desc.mName = key;
      desc.mnSize = entry.size;
      desc.mbWritable = true;
      mPathToDirMap.emplace(key, std::move(desc));
    }
  }
  std::sort(archives.begin(), archives.end());
  for (const std::string& archive : archives) {
    {
      std::lock_guard lock(mLock);
      if (mFARHandles.count(archive) != 0) continue;
    }
    std::string error;
    MapFARKey(archive, archive, &error);
  }
  return listed;
}

std::vector<CTGFileManager::MappedFile> CTGFileManager::MappedFiles() {
  std::vector<MappedFile> list;
  std::lock_guard lock(mLock);
  for (const auto& [key, desc] : mPathToDirMap) {
    if (desc.mbDirectory) continue;
    list.push_back(MappedFile{key, desc.mSource, desc.mnOffset, desc.mnSize});
  }
  return list;
}

bool CTGFileManager::IsMapped(std::string_view path) {
  std::lock_guard lock(mLock);
  return mPathToDirMap.count(PathKey(path)) != 0;
}

bool CTGFileManager::IsArchiveMember(std::string_view path) {
  std::lock_guard lock(mLock);
  auto it = mPathToDirMap.find(PathKey(path));
  return it != mPathToDirMap.end() && it->second.mbFAR;
}

void CTGFileManager::DumpMapping(std::ostream& out) {
  out << "CTGFileManager::DumpMapping--------------------------------------------\n";
  std::lock_guard lock(mLock);
  long index = 0;
  char line[4096];
  for (const auto& [key, desc] : mPathToDirMap) {
    const std::string& where = desc.mSource.empty() ? key : desc.mSource;
    std::snprintf(line, sizeof line, "%ld:%s [%s] is at:%s size:%ld offset:%ld\n", index++,
                  desc.mbDirectory ? "Dir" : "File", key.c_str(), where.c_str(), static_cast<long>(desc.mnSize),
                  static_cast<long>(desc.mnOffset));
    out << line;
  }
}

bool CTGFileManager::Extracting(std::string_view archivePath, std::string_view destination, std::ostream& log) {
  log << "CTGFileManager::Extracting--------------------------------------------\n";
  std::string archive = PathKey(archivePath);
  std::string archiveDir = ParentKey(archive);
  std::string target = PathKey(destination);
  std::vector<std::string> members;
  {
    std::lock_guard lock(mLock);
    if (mFARHandles.count(archive) == 0) {
      log << "not a mapped archive: " << archive << '\n';
      return false;
    }
    for (const auto& [key, desc] : mPathToDirMap) {
      if (desc.mbFAR && desc.mSource == archive) members.push_back(key);
    }
  }
  FileSystem& files = Files();
  bool all = true;
  std::vector<unsigned char> buffer(1 << 16);
  for (const std::string& member : members) {
    std::string out = JoinKey(target, RelativeTo(member, archiveDir));
    // Never write over the archive being read.
    if (out == archive || !files.MakeDirectories(ParentKey(out))) {
      log << "cannot extract " << member << '\n';
      all = false;
      continue;
    }
    std::unique_ptr<CTGFile> in = Open(member, false);
    FileHandle handle = in ? files.Open(out, OpenMode::kCreate) : kNoFile;
    bool ok = handle != kNoFile;
    std::int64_t written = 0;
    while (ok) {
      std::int64_t n = in->Read(buffer.data(), buffer.size());
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      ok = files.WriteAt(handle, written, buffer.data(), static_cast<std::size_t>(n)) == n;
      written += n;
    }
    if (handle != kNoFile) files.Close(handle);
    if (!ok) {
      log << "cannot extract " << member << '\n';
      all = false;
      continue;
    }
    log << member << " -> " << out << " (" << written << " bytes)\n";
  }
  return all;
}

}  // namespace pixmold
