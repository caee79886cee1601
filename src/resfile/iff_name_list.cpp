#include "resfile/iff_name_list.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/byte_cursor.h"
#include "resfile/recon_stream.h"

namespace pixmold {
namespace {

// An index and a string of one character at least (with its zero byte).
constexpr std::int32_t kMinEntryBytes = 6;
// An older record: index, length byte.
constexpr std::size_t kOlderRecordHeader = 5;

}  // namespace

std::int32_t IFFNameList::NewIndex() const {
  if (fPositions.empty()) return 1;
  const std::int32_t largest = fPositions.rbegin()->first;
  return largest == std::numeric_limits<std::int32_t>::max() ? -1 : std::max(largest, 0) + 1;
}

void IFFNameList::Set(std::int32_t index, const CTGString& name) {
  fDirty = true;
  auto it = fPositions.find(index);
  if (it != fPositions.end()) {
    fEntries.erase(it->second);
    fPositions.erase(it);
  }
  if (name.Empty()) return;
  fPositions[index] = fEntries.insert(fEntries.end(), {index, name});
}

const CTGString* IFFNameList::Find(std::int32_t index) const {
  auto it = fPositions.find(index);
  return it == fPositions.end() ? nullptr : &it->second->name;
}

std::vector<std::int32_t> IFFNameList::IndexesOf(std::string_view name) const {
  std::vector<std::int32_t> indexes;
  for (const Entry& entry : fEntries) {
    if (entry.name == name) indexes.push_back(entry.index);
  }
  return indexes;
}

void IFFNameList::Reconstitute(ReconStream& stream, std::uint32_t) {
  auto count = static_cast<std::uint32_t>(fEntries.size());
  stream.Count(count);
  if (!stream.IsReading()) {
    for (Entry& entry : fEntries) {
      stream.Value(entry.index);
      stream.String(entry.name);
    }
    return;
  }
  fEntries.clear();
  fPositions.clear();
  for (std::uint32_t i = 0; i < count && !stream.Failed(); ++i) {
    if (stream.Size() - stream.Position() < kMinEntryBytes) break;
    std::int32_t index = 0;
    CTGString name;
    stream.Value(index);
    stream.String(name);
    if (!stream.Failed()) Set(index, name);
  }
  fDirty = false;
}

void IFFNameList::ReadOlderForm(std::span<const std::uint8_t> bytes) {
  fEntries.clear();
  fPositions.clear();
  std::size_t position = 0;
  while (bytes.size() - position >= kOlderRecordHeader) {
    const auto record = bytes.subspan(position);
    // Only lists stored in this machine's order can be read: little-endian.
    const auto index = static_cast<std::int32_t>(LoadU32(record, 0, ByteOrder::kLittle));
    const std::size_t length = record[4];
    if (record.size() - kOlderRecordHeader < length) break;
    Set(index, CTGString(std::string(reinterpret_cast<const char*>(record.data() + kOlderRecordHeader), length)));
    position += kOlderRecordHeader + length;
  }
  fDirty = false;
}

}  // namespace pixmold
