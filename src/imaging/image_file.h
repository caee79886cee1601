// Reads an image or palette file whole. Image files are small next to the
// offscreens made from them, and decoding from memory lets every reader check
// each field against the bytes that are really there.
//
// Reads go through the process-wide file library, so images inside mapped
// archives are found, and a test or fuzzer that puts the library on a memory
// file system reaches no disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "filelib/file_system.h"

namespace pixmold {

class CTGFile;

// The largest image file we read: a 16384 x 16384 true-colour render with
// alpha and room for headers.
inline constexpr std::size_t kMaxImageFileBytes = (std::size_t{1} << 30) + (std::size_t{1} << 20);

// The file's bytes, or nothing when it cannot be opened or read or is larger
// than maxBytes.
std::optional<std::vector<std::uint8_t>> ReadImageFile(const std::string& path,
                                                       std::size_t maxBytes = kMaxImageFileBytes);

// The same, mapped rather than copied where the file system can (see
// FileView): for files read once from end to end, as pixel data is.
std::optional<FileView> ViewImageFile(const std::string& path, std::size_t maxBytes = kMaxImageFileBytes);

// At most the first count bytes of the file (fewer when it is shorter), or
// nothing when it cannot be opened or read; the file's whole length goes to
// fileSize when one is given.
std::optional<std::vector<std::uint8_t>> ReadImageFilePrefix(const std::string& path, std::size_t count,
                                                             std::int64_t* fileSize = nullptr);

// Reads rows of stride bytes stored one after another from offset on, a
// piece at a time on up to threads threads (row_pieces.h); false when the
// file cannot be opened or holds fewer bytes.
bool ReadImageFileRows(
    const std::string& path, std::int64_t offset, std::size_t stride, int rows, int threads,
    const std::function<void(int firstRow, int rowCount, std::span<const std::uint8_t> bytes, int slot)>& decode);

// The file's length, or nothing when it cannot be opened.
std::optional<std::int64_t> ImageFileSize(const std::string& path);

// An image file held open for positional reads, which several threads may
// make at once: a decoder that wants another image's rows beside each piece
// of its own reads them through one of these.
class ImageFileReader {
 public:
  explicit ImageFileReader(const std::string& path);
  ~ImageFileReader();
  ImageFileReader(const ImageFileReader&) = delete;
  ImageFileReader& operator=(const ImageFileReader&) = delete;

  bool Ok() const { return fFile != nullptr; }
  // Fills bytes from offset on; false on a short read or a failure.
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes) const;

 private:
  std::unique_ptr<CTGFile> fFile;
};

}  // namespace pixmold
