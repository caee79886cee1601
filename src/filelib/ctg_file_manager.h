// The file library's registry of files. Mapping a directory registers its
// loose files and, for every archive (extension "far") in it, each member
// under the archive's directory joined with the member's relative path; from
// then on a path the map knows as a member opens as a read-only slice of its
// archive, and any other path opens on disk. The first registration of a path
// wins: a later archive member with the same path is ignored, and loose files
// are registered before any archive of the same walk, so a loose file always
// shadows a member of the same name.
//
// Members of one archive share one descriptor, recorded per archive (an
// archive is mapped at most once). Reads on it hold the manager's lock from
// start to end, as do all changes to the map, so directory scans and member
// reads may come from different threads.
//
// Archive bytes are untrusted: a bad header or count is reported (as a file
// warning naming the archive) and maps nothing; a member whose name or range
// cannot be used is reported by name and passed over; an entry that cannot
// be read ends the mapping there, keeping the members read before it.
//
// There is one process-wide manager (Get); tests and tools may make their own,
// on any FileSystem. A manager must outlive the files it opened.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/ctg_string.h"
#include "filelib/ctg_file.h"
#include "filelib/file_system.h"

namespace pixmold {

class CTGFileManager {
 public:
  explicit CTGFileManager(FileSystem& files = PosixFileSystem());
  ~CTGFileManager();
  CTGFileManager(const CTGFileManager&) = delete;
  CTGFileManager& operator=(const CTGFileManager&) = delete;

  // The process-wide manager, on the real file system.
  static CTGFileManager& Get();

  // A mapped member opens read-only (null when writable is asked); any other
  // path opens on disk for reading and writing, or reading only. Null when
  // the file cannot be opened, with the system's reason in *failure when
  // asked: EWOULDBLOCK when another process holds the file, EPERM when the
  // lock policy allows reading only, EACCES for a file marked read-only.
  std::unique_ptr<CTGFile> Open(std::string_view path, bool writable, int* failure = nullptr);
  // Closes the file; an archive's shared descriptor stays open.
  void Close(std::unique_ptr<CTGFile> file);
  // Creates a file on disk where no directory entry is, a symbolic link
  // included (a link would take the writes elsewhere), and closes it; false
  // for a member (or mapped directory) and for any existing entry, with
  // the system's reason in *failure when asked (EEXIST for an entry).
  bool Create(std::string_view path, int* failure = nullptr);
  // Deletes a loose file from disk and from the map; false for a member.
  bool Delete(std::string_view path);
  // A mapped file, or a regular file on disk (readable or not).
  bool Exists(std::string_view path);

  // Maps the members of one archive; false (with the reason in error) when
  // the archive cannot be read, is not one, was mapped before, or its
  // directory could not be read to the end (the members read before the
  // damage stay mapped).
  bool MapFAR(std::string_view archivePath, std::string* error = nullptr);
  // Registers the loose files of a directory tree and maps its archives.
  // Symbolic links to directories are not followed. False when the
  // directory cannot be listed; bad archives are reported and skipped.
  bool MapDirectory(std::string_view directory);

  // Diagnostic listing of every record of the map.
  void DumpMapping(std::ostream& out);
  // Writes every member of a mapped archive below destination, one loose file
  // each, logging each one; false when any member could not be written.
  bool Extracting(std::string_view archivePath, std::string_view destination, std::ostream& log);

  struct MappedFile {
    std::string path;     // the key
    std::string archive;  // the archive's key for members, empty otherwise
    std::int64_t offset = 0;
    std::int64_t size = 0;
  };
  // Every mapped file (directories left out), sorted by path.
  std::vector<MappedFile> MappedFiles();
  bool IsMapped(std::string_view path);
  bool IsArchiveMember(std::string_view path);

  FileSystem& Files() const { return *mFiles.load(std::memory_order_acquire); }
  // Swaps the file system under the manager and returns the previous one.
  // Only decorators of the current one (io_faults.h) may be swapped in while
  // files are open, since open handles must stay valid.
  FileSystem& SetFileSystem(FileSystem& files);

 private:
  friend class CTGFile;

  struct FileDesc {
    CTGString mName;              // the key
    FileHandle mhFile = kNoFile;  // an archive's shared descriptor, for members
    std::int64_t mnOffset = 0;
    std::int64_t mnSize = 0;
    bool mbFAR = false;
    bool mbWritable = false;
    bool mbDirectory = false;
    std::string mSource;  // the archive that registered it, or empty for the disk
  };

  // A positioned read on an archive's shared descriptor, under the lock.
  std::int64_t ReadShared(FileHandle file, std::int64_t offset, void* buffer, std::size_t count);
  // The same for a view of the bytes.
  std::optional<FileView> ViewShared(FileHandle file, std::int64_t offset, std::size_t count);
  // A loose file's new size, after SetSize.
  void NoteSize(const std::string& key, std::int64_t size);
  // Registers the directory key and its parents up to (and including) stop,
  // until one is already registered. Caller holds the lock.
  void RegisterDirectories(std::string key, std::string_view stop, const std::string& source);
  bool MapFARKey(const std::string& key, std::string_view archivePath, std::string* error);

  std::atomic<FileSystem*> mFiles;
  std::mutex mLock;
  std::map<std::string, FileDesc, std::less<>> mPathToDirMap;
  std::map<std::string, FileHandle, std::less<>> mFARHandles;
};

}  // namespace pixmold
