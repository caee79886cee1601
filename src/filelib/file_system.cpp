#include "filelib/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "filelib/file_locks.h"

namespace pixmold {
namespace {

// Repeats a positioned transfer until count bytes have moved, the file ends
// (a step moves nothing) or a step fails for a reason other than a signal.
// What moved before a failure is reported as moved; -1 only when nothing did.
template <typename Step>
std::int64_t Transfer(std::size_t count, Step step) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t moved = step(done);
    if (moved < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    if (moved == 0) break;
    done += static_cast<std::size_t>(moved);
  }
  return static_cast<std::int64_t>(done);
}

class PosixFiles final : public FileSystem, public FileLocking {
 public:
  FileHandle Open(const std::string& path, OpenMode mode) override {
    // Non-blocking only for the open itself: opening a FIFO must not wait for
    // a writer before we can see that it is no file.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
      case OpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return kNoFile;
    // Opening a directory for reading succeeds on Linux, and devices and
    // FIFOs open too; none of them is a file we can size and position.
    struct stat st;
    int status = ::fcntl(fd, F_GETFL);
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode) || status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
      const int reason = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? errno : 0;
      ::close(fd);
      errno = reason;
      return kNoFile;
    }
    // A file no one may write is kept that way on purpose (checked in, or
    // shipped): not even root changes it, as a user who can would not.
    if (mode == OpenMode::kReadWrite && (st.st_mode & 0222) == 0) {
      ::close(fd);
      errno = EACCES;
      return kNoFile;
    }
    return fd;
  }

  void Close(FileHandle file) override {
    if (file >= 0) ::close(file);
  }

  std::int64_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::size_t count) override {
    return Transfer(count, [&](std::size_t done) {
      return ::pread(file, static_cast<unsigned char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    });
  }

  std::int64_t WriteAt(FileHandle file, std::int64_t offset, const void* buffer, std::size_t count) override {
    return Transfer(count, [&](std::size_t done) {
      return ::pwrite(file, static_cast<const unsigned char*>(buffer) + done, count - done,
                      static_cast<off_t>(offset + done));
    });
  }

  bool Seek(FileHandle file, std::int64_t offset) override { return file >= 0 && offset >= 0; }

  // Read, not mapped: a renderer that rewrites a sheet while a build reads
  // it would cut the pages from under a mapping and kill the process with
  // SIGBUS; a copy only ever holds the bytes that were there.
  std::optional<FileView> View(FileHandle file, std::int64_t offset, std::size_t count) override {
    struct stat st;
    if (file < 0 || offset < 0 || ::fstat(file, &st) != 0) return std::nullopt;
    if (static_cast<std::uint64_t>(st.st_size) < static_cast<std::uint64_t>(offset) ||
        static_cast<std::uint64_t>(st.st_size) - static_cast<std::uint64_t>(offset) < count) {
      return std::nullopt;
    }
    return ReadView(*this, file, offset, count);
  }

  std::int64_t Size(FileHandle file) override {
    struct stat st;
    if (::fstat(file, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
  }

  bool Truncate(FileHandle file, std::int64_t size) override {
    int rc;
    do {
      rc = ::ftruncate(file, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }

  // Writes go straight to the kernel; there is no buffer of our own.
  bool Flush(FileHandle file) override { return file >= 0; }

  bool Sync(FileHandle file) override {
    int rc;
    do {
      rc = ::fsync(file);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }

  bool MarkModified(FileHandle file) override { return ::futimens(file, nullptr) == 0; }

  void StartWriteback(FileHandle file, std::int64_t offset, std::int64_t count) override {
#ifdef __linux__
    ::sync_file_range(file, static_cast<off_t>(offset), static_cast<off_t>(count), SYNC_FILE_RANGE_WRITE);
#else
    (void)file, (void)offset, (void)count;
#endif
  }

  bool Remove(const std::string& path) override { return std::remove(path.c_str()) == 0; }

  bool Rename(const std::string& from, const std::string& to) override {
    return std::rename(from.c_str(), to.c_str()) == 0;
  }

  // flock locks belong to the open file description, so two handles of one
  // process conflict as two processes do, and closing one handle never
  // drops another's lock (as fcntl record locks would).
  LockResult Lock(FileHandle file, LockKind kind, bool wait) override {
    const int operation = (kind == LockKind::kShared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB);
    for (;;) {
      if (::flock(file, operation) == 0) return LockResult::kLocked;
      if (errno == EINTR) continue;
      return errno == EWOULDBLOCK ? LockResult::kBusy : LockResult::kFailed;
    }
  }

  void Unlock(FileHandle file) override { ::flock(file, LOCK_UN); }

  std::optional<std::int64_t> ModifiedTime(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  }

  EntryKind Kind(const std::string& path) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return EntryKind::kMissing;
    if (S_ISLNK(st.st_mode)) {
      if (::stat(path.c_str(), &st) != 0) return EntryKind::kOther;
      return S_ISREG(st.st_mode) ? EntryKind::kFile : EntryKind::kOther;
    }
    if (S_ISREG(st.st_mode)) return EntryKind::kFile;
    if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
    return EntryKind::kOther;
  }

  bool List(const std::string& directory, std::vector<DirEntry>& entries) override {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) return false;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
      if (ec) return false;
      DirEntry entry;
      entry.name = it->path().filename().string();
      // One status per entry, as Kind() classifies it: a tree build lists
      // every folder of both trees before it starts, and a stat for the
      // kind, another for the size and a third for the mode made that
      // listing most of its planning time.
      struct stat st;
      const char* path = it->path().c_str();
      if (::lstat(path, &st) != 0) {
        entry.kind = EntryKind::kMissing;
      } else if (S_ISLNK(st.st_mode)) {
        entry.kind = ::stat(path, &st) == 0 && S_ISREG(st.st_mode) ? EntryKind::kFile : EntryKind::kOther;
      } else {
        entry.kind =
            S_ISREG(st.st_mode) ? EntryKind::kFile : (S_ISDIR(st.st_mode) ? EntryKind::kDirectory : EntryKind::kOther);
      }
      if (entry.kind == EntryKind::kFile) {
        entry.size = static_cast<std::int64_t>(st.st_size);
        entry.readOnly = (st.st_mode & 0222) == 0;
      }
      entries.push_back(std::move(entry));
    }
    return !ec;
  }

  bool MakeDirectories(const std::string& path) override {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec && Kind(path) == EntryKind::kDirectory;
  }
};

}  // namespace

FileView::FileView(std::unique_ptr<std::uint8_t[]> copy, std::size_t size)
    : fCopy(std::move(copy)), fBytes(fCopy.get(), size) {}

FileView::FileView(void* start, std::size_t length, std::size_t skip, std::size_t size, Unmap unmap)
    : fMapping(start), fMappingLength(length), fUnmap(unmap), fBytes(static_cast<std::uint8_t*>(start) + skip, size) {}

FileView::~FileView() { Release(); }

FileView::FileView(FileView&& other) noexcept { *this = std::move(other); }

FileView& FileView::operator=(FileView&& other) noexcept {
  if (this == &other) return *this;
  Release();
  fCopy = std::move(other.fCopy);
  fMapping = std::exchange(other.fMapping, nullptr);
  fMappingLength = std::exchange(other.fMappingLength, 0);
  fUnmap = std::exchange(other.fUnmap, nullptr);
  fBytes = std::exchange(other.fBytes, {});
  return *this;
}

void FileView::Release() {
  if (fMapping != nullptr && fUnmap != nullptr) fUnmap(fMapping, fMappingLength);
  fMapping = nullptr;
  fCopy.reset();
  fBytes = {};
}

std::optional<FileView> ReadView(FileSystem& files, FileHandle file, std::int64_t offset, std::size_t count) {
  const std::int64_t size = files.Size(file);
  if (size < 0 || offset < 0 || offset > size || static_cast<std::uint64_t>(size - offset) < count) {
    return std::nullopt;
  }
  // Every byte is read over before anyone sees it, so the buffer is not
  // zeroed first.
  auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(count);
  if (count != 0 && files.ReadAt(file, offset, copy.get(), count) != static_cast<std::int64_t>(count)) {
    return std::nullopt;
  }
  return FileView(std::move(copy), count);
}

FileSystem& PosixFileSystem() {
  static PosixFiles files;
  return files;
}

bool WriteWholeFile(FileSystem& files, const std::string& path, std::span<const std::uint8_t> bytes) {
  const FileHandle file = files.Open(path, OpenMode::kCreate);
  if (file == kNoFile) return false;
  const bool written = files.WriteAt(file, 0, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
  files.Close(file);
  return written;
}

}  // namespace pixmold
