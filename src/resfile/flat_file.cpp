#include "resfile/flat_file.h"

#include <cerrno>
#include <limits>

#include "base/xassert.h"
#include "filelib/ctg_file.h"
#include "filelib/ctg_file_manager.h"

namespace pixmold {
namespace {

constexpr std::int64_t kMaxFileSize = std::numeric_limits<std::int32_t>::max();

}  // namespace

FlatFile::FlatFile() : FlatFile(CTGFileManager::Get()) {}

FlatFile::FlatFile(CTGFileManager& manager) : fManager(&manager) {}

FlatFile::~FlatFile() {
  if (fFile) fManager->Close(std::move(fFile));
}

ResErr FlatFile::Open(std::string_view name) {
  if (fFile) return res_error::kAlreadyOpen;
  fOpenFailure = 0;
  std::unique_ptr<CTGFile> file = fManager->Open(name, true, &fOpenFailure);
  bool writable = file != nullptr;
  if (!file && fOpenFailure != EWOULDBLOCK) file = fManager->Open(name, false, &fOpenFailure);
  if (!file) return fOpenFailure == EWOULDBLOCK ? res_error::kInUse : res_error::kOpenFailed;
  if (file->Size() > kMaxFileSize) {
    fManager->Close(std::move(file));
    fOpenFailure = EFBIG;
    return res_error::kOpenFailed;
  }
  fOpenFailure = 0;
  fFile = std::move(file);
  fWritable = writable;
  return res_error::kNone;
}

ResErr FlatFile::Close() {
  if (!ValidFile()) {
    XASSERT_FAIL("ValidFile()", "closing an unopened file");
    return res_error::kNotOpen;
  }
  fManager->Close(std::move(fFile));
  fWritable = false;
  return res_error::kNone;
}

ResErr FlatFile::Read(void* buffer, std::int32_t count) {
  if (!fFile) {
    XASSERT_FAIL("fFile", "No CTGFile present");
    return res_error::kNotOpen;
  }
  if (count < 0) return res_error::kShortRead;
  if (count == 0) return res_error::kNone;
  std::int64_t n = fFile->Read(buffer, static_cast<std::size_t>(count));
  return n == count ? res_error::kNone : res_error::kShortRead;
}

ResErr FlatFile::Read(std::span<unsigned char> bytes) {
  if (bytes.size() > static_cast<std::size_t>(kMaxFileSize)) return res_error::kShortRead;
  return Read(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

ResErr FlatFile::View(std::int32_t count, FileView& view) {
  if (!fFile) {
    XASSERT_FAIL("fFile", "No CTGFile present");
    return res_error::kNotOpen;
  }
  if (count < 0) return res_error::kShortRead;
  std::optional<FileView> bytes = fFile->View(static_cast<std::size_t>(count));
  if (!bytes) return res_error::kShortRead;
  view = std::move(*bytes);
  return res_error::kNone;
}

ResErr FlatFile::ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes) const {
  if (!fFile) {
    XASSERT_FAIL("fFile", "No CTGFile present");
    return res_error::kNotOpen;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::int64_t n =
        fFile->ReadAt(offset + static_cast<std::int64_t>(done), bytes.data() + done, bytes.size() - done);
    if (n <= 0) return res_error::kShortRead;
    done += static_cast<std::size_t>(n);
  }
  return res_error::kNone;
}

ResErr FlatFile::Write(const void* buffer, std::int32_t count) {
  if (!fFile) return res_error::kNotOpen;
  if (count < 0) return res_error::kShortWrite;
  if (count == 0) return res_error::kNone;
  if (fFile->Tell() + count > kMaxFileSize) return res_error::kShortWrite;
  errno = 0;
  std::int64_t n = fFile->Write(buffer, static_cast<std::size_t>(count));
  // A write that stops short without a reason ran out of room.
  fWriteFailure = n == count ? 0 : errno != 0 ? errno : ENOSPC;
  return n == count ? res_error::kNone : res_error::kShortWrite;
}

ResErr FlatFile::Write(std::span<const unsigned char> bytes) {
  if (bytes.size() > static_cast<std::size_t>(kMaxFileSize)) return res_error::kShortWrite;
  return Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

ResErr FlatFile::Seek(std::int32_t position) {
  if (!fFile) {
    XASSERT_FAIL("fFile", "No CTGFile present");
    return res_error::kNotOpen;
  }
  return fFile->Seek(position) ? res_error::kNone : res_error::kShortRead;
}

ResErr FlatFile::GetPosition(std::int32_t& position) const {
  if (!fFile) return res_error::kNotOpen;
  position = static_cast<std::int32_t>(fFile->Tell());
  return res_error::kNone;
}

ResErr FlatFile::GetSize(std::int32_t& size) const {
  if (!fFile) return res_error::kNotOpen;
  // Another writer can grow the file past what we can count.
  std::int64_t bytes = fFile->Size();
  size = static_cast<std::int32_t>(bytes > kMaxFileSize ? kMaxFileSize : bytes);
  return res_error::kNone;
}

ResErr FlatFile::SetSize(std::int32_t size) {
  if (!fFile) return res_error::kNotOpen;
  errno = 0;
  if (fFile->SetSize(size)) return res_error::kNone;
  fWriteFailure = errno != 0 ? errno : EIO;
  return res_error::kOpenFailed;
}

ResErr FlatFile::Flush() {
  if (!fFile) return res_error::kNotOpen;
  return fFile->Flush() ? res_error::kNone : res_error::kOpenFailed;
}

ResErr FlatFile::Sync() {
  if (!fFile) return res_error::kNotOpen;
  errno = 0;
  if (fFile->Sync()) return res_error::kNone;
  fWriteFailure = errno != 0 ? errno : EIO;
  return res_error::kOpenFailed;
}

void FlatFile::StartWriteback(std::int64_t offset, std::int64_t count) {
  if (fFile) fFile->StartWriteback(offset, count);
}

ResErr FlatFile::MarkModified() {
  if (!fFile) return res_error::kNotOpen;
  return fFile->MarkModified() ? res_error::kNone : res_error::kOpenFailed;
}

ResErr FlatFile::GetName(CTGString& name) const {
  if (!fFile) return res_error::kNotOpen;
  name = fFile->Name();
  return res_error::kNone;
}

ResErr FlatFile::Create(std::string_view name) {
  if (fFile) return res_error::kAlreadyOpen;
  if (fManager->Exists(name)) return res_error::kCreateExists;
  int failure = 0;
  if (fManager->Create(name, &failure)) return res_error::kNone;
  // Any entry there, a dangling link included, is an existing file.
  return failure == EEXIST ? res_error::kCreateExists : res_error::kCannotCreate;
}

ResErr FlatFile::Delete(std::string_view name) {
  if (fFile) return res_error::kAlreadyOpen;
  if (!fManager->Exists(name)) return res_error::kDeleteMissing;
  return fManager->Delete(name) ? res_error::kNone : res_error::kCannotDelete;
}

}  // namespace pixmold
