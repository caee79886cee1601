// Reads the rows of an uncompressed image from its file a piece at a time.
//
// Reading a whole sheet into fresh memory before decoding it costs a page
// fault for every page and a trip to main memory for every byte, twice: the
// kernel's copy and the decoder's read. A piece of rows small enough to stay
// in a core's cache is copied and decoded while it is still there, and the
// buffer serves every piece. Pieces are independent, so threads take them
// as they come, each with its own buffer; the file must allow reads from
// several threads at once (positional reads do).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace pixmold {

// Rows first .. first + count - 1 of a decoded image are final.
using RowsDone = std::function<void(int first, int count)>;

// Bytes of rows read at once: well inside a core's second-level cache.
inline constexpr std::size_t kRowPieceBytes = std::size_t{128} << 10;

// Reads rows 0 .. rows - 1, each stride bytes, stored one after another from
// offset on, and hands each piece to decode(firstRow, rowCount, bytes,
// slot), bytes holding rowCount x stride bytes and slot naming the thread
// (0 .. threads - 1). readAt(offset, bytes) fills bytes or returns false.
// Returns false when a read fails (the pieces read before it may have been
// decoded).
bool ReadRowPieces(
    const std::function<bool(std::int64_t offset, std::span<std::uint8_t> bytes)>& readAt, std::int64_t offset,
    std::size_t stride, int rows, int threads,
    const std::function<void(int firstRow, int rowCount, std::span<const std::uint8_t> bytes, int slot)>& decode);

}  // namespace pixmold
