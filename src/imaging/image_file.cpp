#include "imaging/image_file.h"

#include <algorithm>
#include <memory>

#include "filelib/ctg_file_manager.h"
#include "imaging/row_pieces.h"

namespace pixmold {
namespace {

class OpenImage {
 public:
  explicit OpenImage(const std::string& path) : fFile(CTGFileManager::Get().Open(path, false)) {}
  ~OpenImage() {
    if (fFile) CTGFileManager::Get().Close(std::move(fFile));
  }
  OpenImage(const OpenImage&) = delete;
  OpenImage& operator=(const OpenImage&) = delete;

  CTGFile* operator->() const { return fFile.get(); }
  explicit operator bool() const { return fFile != nullptr; }

 private:
  std::unique_ptr<CTGFile> fFile;
};

std::optional<std::vector<std::uint8_t>> ReadFrom(OpenImage& file, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  if (!bytes.empty() && !file->ReadBytes(std::span<unsigned char>(bytes.data(), bytes.size()))) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadImageFile(const std::string& path, std::size_t maxBytes) {
  OpenImage file(path);
  if (!file) return std::nullopt;
  const std::int64_t size = file->Size();
  if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes) return std::nullopt;
  return ReadFrom(file, static_cast<std::size_t>(size));
}

std::optional<FileView> ViewImageFile(const std::string& path, std::size_t maxBytes) {
  OpenImage file(path);
  if (!file) return std::nullopt;
  const std::int64_t size = file->Size();
  if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes) return std::nullopt;
  return file->View(static_cast<std::size_t>(size));
}

std::optional<std::vector<std::uint8_t>> ReadImageFilePrefix(const std::string& path, std::size_t count,
                                                             std::int64_t* fileSize) {
  OpenImage file(path);
  if (!file) return std::nullopt;
  const std::int64_t size = file->Size();
  if (size < 0) return std::nullopt;
  if (fileSize) *fileSize = size;
  return ReadFrom(file, static_cast<std::size_t>(std::min<std::uint64_t>(count, static_cast<std::uint64_t>(size))));
}

bool ReadImageFileRows(
    const std::string& path, std::int64_t offset, std::size_t stride, int rows, int threads,
    const std::function<void(int firstRow, int rowCount, std::span<const std::uint8_t> bytes, int slot)>& decode) {
  OpenImage file(path);
  if (!file) return false;
  const CTGFile& reader = *file.operator->();
  return ReadRowPieces(
      [&](std::int64_t at, std::span<std::uint8_t> bytes) {
        return reader.ReadAt(at, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
      },
      offset, stride, rows, threads, decode);
}

ImageFileReader::ImageFileReader(const std::string& path) : fFile(CTGFileManager::Get().Open(path, false)) {}

ImageFileReader::~ImageFileReader() {
  if (fFile) CTGFileManager::Get().Close(std::move(fFile));
}

bool ImageFileReader::ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes) const {
  return fFile && fFile->ReadAt(offset, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
}

std::optional<std::int64_t> ImageFileSize(const std::string& path) {
  OpenImage file(path);
  if (!file) return std::nullopt;
  const std::int64_t size = file->Size();
  if (size < 0) return std::nullopt;
  return size;
}

}  // namespace pixmold
