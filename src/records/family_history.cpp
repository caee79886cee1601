#include "records/family_history.h"

#include "resfile/flat_file.h"
#include "resfile/recon_object.h"

namespace pixmold {

const std::array<FamilyHistory::Column, FamilyHistory::kColumnCount>& FamilyHistory::Columns() {
  using enum Width;
  static const std::array<Column, kColumnCount> columns = {{
      {"Lot#", kShort},
      {"#Members", kShort},
      {"#Adult Males", kShort},
      {"#Adult Females", kShort},
      {"#Kid Males", kShort},
      {"#Kid Females", kShort},
      {"#Workers", kShort},
      {"#Objects", kShort},
      {"Objects Value", kMoney},
      {"Architecture Value", kMoney},
      {"House Square Feet", kShort},
      {"House Size", kShort},
      {"Furnishings Rating", kShort},
      {"Size Rating", kShort},
      {"Yard Rating", kShort},
      {"Upkeep Rating", kShort},
      {"Layout Rating", kShort},
      {"$Income", kMoney},
      {"$Bills", kMoney},
      {"$Food", kMoney},
      {"$Maintenance", kMoney},
      {"$Objects", kMoney},
      {"$Misc", kMoney},
      {"$Arch", kLong},
      {"$Funds", kLong},
      {"Romances Out", kShort},
      {"Romances In", kShort},
      {"Friends Out", kShort},
      {"Friends In", kShort},
      {"#Friends", kShort},
  }};
  return columns;
}

void FamilyHistory::Reconstitute(ReconStream& stream, std::uint32_t version) {
  if (!stream.IsReading()) version = kVersion;
  std::uint8_t fieldEncoded = 1;
  stream.Value(fieldEncoded);
  if (fieldEncoded != 0) stream.SetFieldEncoding();
  auto count = static_cast<std::uint32_t>(rows.size());
  stream.Count(count);
  if (stream.IsReading()) rows.assign(count, Row{});
  for (Row& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      const Width width = Columns()[column].width;
      if (width == Width::kLong || (width == Width::kMoney && version >= 1)) {
        stream.Value(row[column]);
      } else {
        // Version 0 money is widened with its sign, as every other 16-bit
        // column is.
        auto narrow = static_cast<std::int16_t>(row[column]);
        stream.Value(narrow);
        row[column] = narrow;
      }
    }
    if (stream.Failed()) break;
  }
}

bool FamilyHistory::FromHandle(MHandle handle, std::uint32_t* version) {
  rows.clear();
  SimpleReconObject recon(*this, kType);
  return ReadReconHandle(recon, handle, version);
}

ResErr FamilyHistory::Save(iResFile& file, ResID id) {
  SimpleReconObject recon(*this, kType);
  return WriteReconResource(recon, kVersion, file, id);
}

std::string FamilyHistory::ExportText() const {
  std::string text;
  for (const Column& column : Columns()) {
    text += column.title;
    text += '\t';
  }
  text += '\n';
  for (const Row& row : rows) {
    for (std::int32_t value : row) {
      text += std::to_string(value);
      text += '\t';
    }
    text += '\n';
  }
  return text;
}

bool FamilyHistory::Export(const std::string& path) const {
  FlatFile out;
  // Create refuses a file that exists; an old export is simply overwritten.
  out.Create(path);
  if (out.Open(path) != 0) return false;
  const std::string text = ExportText();
  const bool written = out.SetSize(0) == 0 && out.Write(text.data(), static_cast<std::int32_t>(text.size())) == 0;
  return out.Close() == 0 && written;
}

}  // namespace pixmold
