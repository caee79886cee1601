#include "imaging/row_pieces.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "base/work_threads.h"

namespace pixmold {

bool ReadRowPieces(
    const std::function<bool(std::int64_t offset, std::span<std::uint8_t> bytes)>& readAt, std::int64_t offset,
    std::size_t stride, int rows, int threads,
    const std::function<void(int firstRow, int rowCount, std::span<const std::uint8_t> bytes, int slot)>& decode) {
  if (stride == 0 || rows <= 0) return true;
  const int rowsPerPiece = static_cast<int>(std::clamp<std::size_t>(kRowPieceBytes / stride, 1, std::size_t(rows)));
  const std::size_t pieces =
      (static_cast<std::size_t>(rows) + std::size_t(rowsPerPiece) - 1) / std::size_t(rowsPerPiece);
  const int used = std::clamp<int>(threads, 1, static_cast<int>(std::min<std::size_t>(pieces, 256)));
  std::vector<std::unique_ptr<std::uint8_t[]>> buffers(static_cast<std::size_t>(used));
  std::atomic<bool> failed = false;
  RunOnThreads(used, pieces, [&](std::size_t piece, int slot) {
    if (failed.load(std::memory_order_relaxed)) return;
    std::unique_ptr<std::uint8_t[]>& buffer = buffers[static_cast<std::size_t>(slot)];
    if (!buffer) buffer = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(rowsPerPiece) * stride);
    const int first = static_cast<int>(piece) * rowsPerPiece;
    const int count = std::min(rowsPerPiece, rows - first);
    const std::span<std::uint8_t> bytes(buffer.get(), static_cast<std::size_t>(count) * stride);
    if (!readAt(offset + static_cast<std::int64_t>(first) * static_cast<std::int64_t>(stride), bytes)) {
      failed = true;
      return;
    }
    decode(first, count, bytes, slot);
  });
  return !failed;
}

}  // namespace pixmold
