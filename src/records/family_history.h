// The family history of a lot (FAMh): one row of statistics per family that
// lived there, which designers export as a tab-separated table to study in a
// spreadsheet. Rows are kept as plain numbers in column order; the column
// table says each one's title and stored width, so reading, writing and the
// export walk one table instead of thirty named fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/mem_handle.h"
#include "resfile/recon_stream.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

class FamilyHistory {
 public:
  static constexpr ResType kType = MakeResType("FAMh");
  static constexpr std::uint32_t kVersion = 1;
  static constexpr int kColumnCount = 30;

  // kShort: always 16 bits. kMoney: 16 bits in version 0, 32 after.
  // kLong: always 32 bits.
  enum class Width { kShort, kMoney, kLong };
  struct Column {
    std::string_view title;
    Width width;
  };
  static const std::array<Column, kColumnCount>& Columns();

  using Row = std::array<std::int32_t, kColumnCount>;
  std::vector<Row> rows;

  void Reconstitute(ReconStream& stream, std::uint32_t version);

  // The stored record (header and all); false when it does not read whole.
  bool FromHandle(MHandle handle, std::uint32_t* version = nullptr);
  ResErr Save(iResFile& file, ResID id);

  // The tab-separated table: a title row, then one row per family; every
  // value is followed by a tab, every row by a line end.
  std::string ExportText() const;
  // Writes ExportText to a file through the file layer; false when the file
  // cannot be written.
  bool Export(const std::string& path) const;
};

}  // namespace pixmold
