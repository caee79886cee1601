#include "records/obj_fn_table.h"

#include "base/xassert.h"
#include "records/obj_definition.h"
#include "resfile/recon_object.h"
#include "resfile/recon_stream.h"

namespace pixmold {

ObjFnEntry* ObjFnTable::Entry(int index) {
  if (index < 0) return nullptr;
  if (index >= kMaxEntries) {
    XASSERT_FAIL("i<size()", "bad size");
    return nullptr;
  }
  const auto wanted = static_cast<std::size_t>(index);
  if (wanted >= fEntries.size()) fEntries.resize(wanted + 1);
  return &fEntries[wanted];
}

std::uint16_t ObjFnTable::FirstId(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= fEntries.size()) return 0;
  return fEntries[static_cast<std::size_t>(index)].firstId;
}

std::uint16_t ObjFnTable::SecondId(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= fEntries.size()) return 0;
  return fEntries[static_cast<std::size_t>(index)].secondId;
}

void ObjFnTable::FillFromDefinition(const ObjDefinition& definition) {
  for (int k = 0; k < ObjDefinition::kEntryPointCount; ++k) {
    Entry(k)->firstId = definition.Word(ObjDefinition::kEntryPointWords[static_cast<std::size_t>(k)]);
  }
}

void ObjFnTable::Reconstitute(ReconStream& stream, std::uint32_t /*version*/) {
  auto count = static_cast<std::uint32_t>(fEntries.size());
  stream.Count(count);
  if (stream.IsReading()) fEntries.resize(count);
  for (ObjFnEntry& entry : fEntries) {
    stream.Value(entry.secondId);
    stream.Value(entry.firstId);
  }
}

ResErr ObjFnTable::Read(iResFile& file, ResID id) {
  SimpleReconObject<ObjFnTable> recon(*this, kType);
  return ReadReconResource(recon, file, id, nullptr);
}

ResErr ObjFnTable::Write(iResFile& file, ResID id) {
  SimpleReconObject<ObjFnTable> recon(*this, kType);
  return WriteReconResource(recon, kVersion, file, id);
}

}  // namespace pixmold
