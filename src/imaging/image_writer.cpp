#include "imaging/image_writer.h"

#include <vector>

#include "filelib/file_system.h"

namespace pixmold {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Collects bytes and hands them to the file a chunk at a time.
class ChunkedFile {
 public:
  ChunkedFile(FileSystem& files, const std::string& path, std::vector<std::uint8_t>& chunk)
      : fFiles(files), fChunk(chunk) {
    fHandle = files.Open(path, OpenMode::kCreate);
    fChunk.clear();
    fChunk.reserve(kChunkBytes);
  }
  ~ChunkedFile() {
    if (fHandle != kNoFile) fFiles.Close(fHandle);
  }
  ChunkedFile(const ChunkedFile&) = delete;
  ChunkedFile& operator=(const ChunkedFile&) = delete;

  bool Opened() const { return fHandle != kNoFile; }
  std::vector<std::uint8_t>& Chunk() { return fChunk; }
  // Sends the chunk to the file once it is nearly full (or always when
  // asked), and empties it.
  bool Drain(bool always) {
    if (fChunk.empty() || (!always && fChunk.size() < kChunkBytes / 2)) return true;
    const std::int64_t written = fFiles.WriteAt(fHandle, fOffset, fChunk.data(), fChunk.size());
    if (written != static_cast<std::int64_t>(fChunk.size())) return false;
    fOffset += written;
    fChunk.clear();
    return true;
  }
  bool Close() {
    const bool flushed = fFiles.Flush(fHandle);
    fFiles.Close(fHandle);
    fHandle = kNoFile;
    return flushed;
  }

 private:
  FileSystem& fFiles;
  std::vector<std::uint8_t>& fChunk;
  FileHandle fHandle = kNoFile;
  std::int64_t fOffset = 0;
};

std::string CheckSize(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxWrittenImageSide || height > kMaxWrittenImageSide) {
    return "image size " + std::to_string(width) + "x" + std::to_string(height) + " cannot be written";
  }
  return {};
}

// Appends the rows in the order given, each row padded to rowBytes.
template <typename RowOrder>
std::string WriteRows(ChunkedFile& file, int height, std::size_t pixelBytes, std::size_t rowBytes,
                      const ImageRowFiller& fill, RowOrder row) {
  for (int i = 0; i < height; ++i) {
    std::vector<std::uint8_t>& chunk = file.Chunk();
    const std::size_t at = chunk.size();
    chunk.resize(at + rowBytes, 0);
    fill(row(i), std::span<std::uint8_t>(chunk.data() + at, pixelBytes));
    if (!file.Drain(false)) return "cannot write";
  }
  if (!file.Drain(true)) return "cannot write";
  return file.Close() ? std::string() : "cannot write";
}

}  // namespace

std::string WriteTgaFile(FileSystem& files, const std::string& path, int width, int height, int bitsPerPixel,
                         const ImageRowFiller& fill, std::vector<std::uint8_t>& scratch) {
  if (std::string refused = CheckSize(width, height); !refused.empty()) return refused;
  if (bitsPerPixel != 24 && bitsPerPixel != 32) return "a TGA is written with 24 or 32 bits per pixel";
  ChunkedFile file(files, path, scratch);
  if (!file.Opened()) return "cannot create";
  // Uncompressed true colour, no colour map, origin at the top left; a
  // 32-bit image declares its 8 alpha bits.
  std::vector<std::uint8_t>& header = file.Chunk();
  header.insert(header.end(), {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  PutLittle(header, static_cast<std::uint32_t>(width), 2);
  PutLittle(header, static_cast<std::uint32_t>(height), 2);
  header.push_back(static_cast<std::uint8_t>(bitsPerPixel));
  header.push_back(bitsPerPixel == 32 ? 0x28 : 0x20);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel / 8);
  return WriteRows(file, height, rowBytes, rowBytes, fill, [](int i) { return i; });
}

std::string WriteBmp8File(FileSystem& files, const std::string& path, int width, int height,
                          std::span<const PaletteEntry, 256> colours, const ImageRowFiller& fill,
                          std::vector<std::uint8_t>& scratch) {
  if (std::string refused = CheckSize(width, height); !refused.empty()) return refused;
  ChunkedFile file(files, path, scratch);
  if (!file.Opened()) return "cannot create";
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3u) & ~3u;
  const std::uint32_t pixelOffset = 14 + 40 + 256 * 4;
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t>& header = file.Chunk();
  header.push_back('B');
  header.push_back('M');
  PutLittle(header, pixelOffset + pixelBytes, 4);
  PutLittle(header, 0, 4);
  PutLittle(header, pixelOffset, 4);
  PutLittle(header, 40, 4);
  PutLittle(header, static_cast<std::uint32_t>(width), 4);
  PutLittle(header, static_cast<std::uint32_t>(height), 4);  // positive: rows stored bottom-up
  PutLittle(header, 1, 2);
  PutLittle(header, 8, 2);
  PutLittle(header, 0, 4);  // uncompressed
  PutLittle(header, pixelBytes, 4);
  PutLittle(header, 2835, 4);  // 72 dots per inch
  PutLittle(header, 2835, 4);
  PutLittle(header, 256, 4);
  PutLittle(header, 0, 4);
  for (const PaletteEntry& colour : colours) {
    header.insert(header.end(), {colour.blue, colour.green, colour.red, 0});
  }
  return WriteRows(file, height, static_cast<std::size_t>(width), stride, fill,
                   [height](int i) { return height - 1 - i; });
}

}  // namespace pixmold
