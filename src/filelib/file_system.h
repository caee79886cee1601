// The one layer through which the file library touches files. Everything
// above it (CTGFile, the manager, FlatFile and every resource file) reaches
// the disk only through a FileSystem, so a test can swap in a memory-backed
// one (no disk I/O, as the archive fuzzer does) or a decorator that fails a
// chosen call (see io_faults.h).
//
// All reads and writes are positional: a file object keeps its own position
// and says where each transfer goes. That lets the members of one archive
// share a single descriptor without their positions fighting, and it makes
// `Seek` free for the real file system: it only checks the handle, but it is
// still a call a test can fail, because callers treat a refused position as
// an ordinary error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pixmold {

using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;

enum class OpenMode {
  kRead,       // existing file, reading only
  kReadWrite,  // existing file, reading and writing
  kCreate,     // create or truncate, reading and writing
  // create a file where no directory entry is (not even a link, dangling
  // or not), reading and writing; fails with EEXIST otherwise
  kCreateNew,
};

enum class EntryKind { kMissing, kFile, kDirectory, kOther };

struct DirEntry {
  std::string name;  // the entry's own name, without its directory
  EntryKind kind = EntryKind::kOther;
  std::int64_t size = 0;  // bytes, for files
  // No write permission for anyone, as a checked-in file is kept. Root may
  // still write it, so this is the file's mark, not what access() answers.
  bool readOnly = false;
};

// Bytes of a file in memory, read-only: the file's own pages mapped into the
// process where the file system can map them, otherwise a copy read from
// it. Decoding from a mapping costs no copy and no zeroed buffer; readers
// see the same bytes either way. Move-only; the bytes last as long as it.
class FileView {
 public:
  using Unmap = void (*)(void* start, std::size_t length);

  FileView() = default;
  // A copy of size bytes, owned by the view.
  FileView(std::unique_ptr<std::uint8_t[]> copy, std::size_t size);
  // size bytes from skip bytes into a mapping of length bytes at start,
  // released with unmap when the view ends.
  FileView(void* start, std::size_t length, std::size_t skip, std::size_t size, Unmap unmap);
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  std::span<const std::uint8_t> Bytes() const { return fBytes; }
  bool IsMapped() const { return fMapping != nullptr; }

 private:
  void Release();

  std::unique_ptr<std::uint8_t[]> fCopy;
  void* fMapping = nullptr;
  std::size_t fMappingLength = 0;
  Unmap fUnmap = nullptr;
  std::span<const std::uint8_t> fBytes;
};

class FileSystem;

// A view made by reading count bytes at offset through files.ReadAt into a
// buffer of its own: what every file system that cannot map does.
std::optional<FileView> ReadView(FileSystem& files, FileHandle file, std::int64_t offset, std::size_t count);

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // kNoFile when the file cannot be opened; only regular files open.
  virtual FileHandle Open(const std::string& path, OpenMode mode) = 0;
  virtual void Close(FileHandle file) = 0;
  // Bytes transferred (fewer only at the end of the file for reads), or -1.
  virtual std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) = 0;
  virtual std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) = 0;
  // Accepts (or refuses) a new position for the file object using the handle.
  virtual bool Seek(FileHandle file, std::int64_t offset) = 0;
  // Current length in bytes, or -1.
  virtual std::int64_t Size(FileHandle file) = 0;
  virtual bool Truncate(FileHandle file, std::int64_t size) = 0;
  // Exactly count bytes at offset, or nothing when fewer are there or they
  // cannot be read. The bytes are those of the moment of the call; a file
  // changed later may or may not show through a mapping, as with any reader
  // that races a writer.
  virtual std::optional<FileView> View(FileHandle file, std::int64_t offset, std::size_t count) {
    return ReadView(*this, file, offset, count);
  }
  // Hands buffered writes to the operating system.
  virtual bool Flush(FileHandle file) = 0;
  // Makes written bytes durable on the storage device.
  virtual bool Sync(FileHandle file) = 0;
  // Gives the file a new modification time without changing its bytes.
  // File systems that keep no times have nothing to do.
  virtual bool MarkModified(FileHandle /*file*/) { return true; }
  // Starts writing these bytes to the storage device and returns at once,
  // so that a later Sync has less left to wait for. Only a hint.
  virtual void StartWriteback(FileHandle /*file*/, std::int64_t /*offset*/, std::int64_t /*count*/) {}

  // Removes a file, or a directory that is empty.
  virtual bool Remove(const std::string& path) = 0;
  // Gives a file another name, replacing a file of that name in one step:
  // readers see the old file or the new one, never a part of either. Both
  // names must lie on one file system (in practice, in one directory).
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Symbolic links to directories read as kOther, so a walk never loops.
  virtual EntryKind Kind(const std::string& path) = 0;
  // The entries of a directory, "." and ".." left out; false when unreadable.
  virtual bool List(const std::string& directory, std::vector<DirEntry>& entries) = 0;
  virtual bool MakeDirectories(const std::string& path) = 0;
  // When the file's contents last changed, in nanoseconds of the file
  // system's own clock: only to tell which of two files was saved later.
  // Nothing when the file system cannot tell.
  virtual std::optional<std::int64_t> ModifiedTime(const std::string& /*path*/) { return std::nullopt; }
};

// Passes every call to another file system; decorators override the calls
// they change.
class FileSystemDecorator : public FileSystem {
 public:
  explicit FileSystemDecorator(FileSystem& inner) : fInner(&inner) {}

  FileHandle Open(const std::string& path, OpenMode mode) override { return fInner->Open(path, mode); }
  void Close(FileHandle file) override { fInner->Close(file); }
  std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) override {
    return fInner->ReadAt(file, offset, buffer, count);
  }
  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    return fInner->WriteAt(file, offset, buffer, count);
  }
  bool Seek(FileHandle file, std::int64_t offset) override { return fInner->Seek(file, offset); }
  std::optional<FileView> View(FileHandle file, std::int64_t offset, std::size_t count) override {
    return fInner->View(file, offset, count);
  }
  std::int64_t Size(FileHandle file) override { return fInner->Size(file); }
  bool Truncate(FileHandle file, std::int64_t size) override { return fInner->Truncate(file, size); }
  bool Flush(FileHandle file) override { return fInner->Flush(file); }
  bool Sync(FileHandle file) override { return fInner->Sync(file); }
  bool MarkModified(FileHandle file) override { return fInner->MarkModified(file); }
  void StartWriteback(FileHandle file, std::int64_t offset, std::int64_t count) override {
    fInner->StartWriteback(file, offset, count);
  }
  bool Remove(const std::string& path) override { return fInner->Remove(path); }
  bool Rename(const std::string& from, const std::string& to) override { return fInner->Rename(from, to); }
  EntryKind Kind(const std::string& path) override { return fInner->Kind(path); }
  bool List(const std::string& directory, std::vector<DirEntry>& entries) override {
    return fInner->List(directory, entries);
  }
  bool MakeDirectories(const std::string& path) override { return fInner->MakeDirectories(path); }
  std::optional<std::int64_t> ModifiedTime(const std::string& path) override { return fInner->ModifiedTime(path); }

 protected:
  FileSystem& Inner() const { return *fInner; }

 private:
  FileSystem* fInner;
};

// The operating system's files through POSIX calls. One process-wide object.
FileSystem& PosixFileSystem();

// Makes the file anew with exactly these bytes; false when it cannot be
// created or not every byte was written.
bool WriteWholeFile(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace pixmold
