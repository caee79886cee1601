// Loads arbitrary bytes as one of the object records: the first byte picks
// the tree table, slots, family history or object definition, the rest is
// the record as stored. Whatever reads whole must write back to bytes that
// read and write again to the same bytes, so reading and writing agree.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/xassert.h"
#include "mute_asserts.h"
#include "records/family_history.h"
#include "records/obj_definition.h"
#include "records/obj_fn_table.h"
#include "records/slots.h"
#include "records/tree_table.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_object.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

pixmold::OwnedHandle HandleWith(std::span<const std::uint8_t> bytes) {
  pixmold::OwnedHandle handle = pixmold::OwnedHandle::New(static_cast<std::uint32_t>(bytes.size()));
  if (handle && !bytes.empty()) {
    pixmold::HandleLock lock(handle.Get());
    std::copy(bytes.begin(), bytes.end(), lock.Data());
  }
  return handle;
}

Bytes BytesOf(pixmold::MHandle handle) {
  pixmold::HandleLock lock(handle);
  return Bytes(lock.Data(), lock.Data() + lock.Size());
}

Bytes Encode(pixmold::TreeTable& table) {
  pixmold::ReconStream sizing;
  table.Reconstitute(sizing);
  Bytes bytes(static_cast<std::size_t>(sizing.Position()));
  pixmold::ReconStream writer = pixmold::ReconStream::Writer(bytes, false);
  table.Reconstitute(writer);
  return bytes;
}

void TreeTable(std::span<const std::uint8_t> bytes, bool swap) {
  pixmold::TreeTable table(16);
  if (!table.ReadBytes(bytes, swap)) return;
  const Bytes first = Encode(table);
  pixmold::TreeTable again(16);
  if (!again.ReadBytes(first, false) || Encode(again) != first) std::abort();
}

// Reads a Recon record from the bytes, writes it, reads and writes it again.
template <typename Record>
void ReconRoundTrip(std::span<const std::uint8_t> bytes, Record& record, Record& again, pixmold::ResType type,
                    std::uint32_t version) {
  pixmold::OwnedHandle input = HandleWith(bytes);
  if (!input || !record.FromHandle(input.Get())) return;
  pixmold::SimpleReconObject recon(record, type);
  pixmold::OwnedHandle first(pixmold::MakeReconHandle(recon, version));
  if (!first) return;
  if (!again.FromHandle(first.Get())) std::abort();
  pixmold::SimpleReconObject reconAgain(again, type);
  pixmold::OwnedHandle second(pixmold::MakeReconHandle(reconAgain, version));
  if (!second || BytesOf(first.Get()) != BytesOf(second.Get())) std::abort();
}

void Definition(std::span<const std::uint8_t> bytes) {
  pixmold::OwnedHandle handle = HandleWith(bytes);
  if (!handle) return;
  pixmold::ObjDefinition::Normalise(handle.Get());
  if (pixmold::GetHandleSize(handle.Get()) != static_cast<std::int32_t>(pixmold::ObjDefinition::kSize)) std::abort();
  pixmold::HandleLock lock(handle.Get());
  pixmold::ObjFnTable functions;
  functions.FillFromDefinition(pixmold::ObjDefinition(lock.Bytes()));
  if (functions.Size() != pixmold::ObjDefinition::kEntryPointCount) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();
  if (size == 0) return 0;
  std::span<const std::uint8_t> bytes(data + 1, size - 1);
  switch (data[0] % 5) {
    case 0: TreeTable(bytes, false); break;
    case 1: TreeTable(bytes, true); break;
    case 2: {
      pixmold::SlotList slots, again;
      ReconRoundTrip(bytes, slots, again, pixmold::SlotList::kType, pixmold::SlotList::kVersion);
      break;
    }
    case 3: {
      pixmold::FamilyHistory history, again;
      ReconRoundTrip(bytes, history, again, pixmold::FamilyHistory::kType, pixmold::FamilyHistory::kVersion);
      break;
    }
    default: Definition(bytes); break;
  }
  return 0;
}
