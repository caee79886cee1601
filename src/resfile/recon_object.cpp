#include "resfile/recon_object.h"

#include <algorithm>

#include "base/byte_cursor.h"
#include "base/xassert.h"
#include "resfile/handle_owner.h"

namespace pixmold {
namespace {}  // namespace

void ReconObject::Reconstitute(ReconStream&, std::uint32_t) {}

ResType ReconObject::GetType() const { return kReconType; }

bool ReconHeader::Read(std::span<const std::uint8_t> bytes, ReconHeader& header) {
  if (bytes.size() < static_cast<std::size_t>(kSize)) return false;
  header.swapFlag = bytes[0];
  header.version = LoadU32(bytes, 4, ByteOrder::kLittle);
  header.type = LoadU32(bytes, 8, ByteOrder::kLittle);
  return true;
}

void ReconHeader::Write(std::span<std::uint8_t, kSize> bytes) const {
  bytes[0] = swapFlag;
  bytes[1] = bytes[2] = bytes[3] = 0;
  StoreU32(bytes, 4, version, ByteOrder::kLittle);
  StoreU32(bytes, 8, type, ByteOrder::kLittle);
}

MHandle MakeReconHandle(ReconObject& recon, std::uint32_t version) {
  ReconStream sizer;
  recon.Reconstitute(sizer, version);
  if (sizer.Failed()) return nullptr;
  const std::int32_t size = sizer.Position();
  if (static_cast<std::uint32_t>(size) > kMaxHandleSize - ReconHeader::kSize) {
    XASSERT_FAIL("size <= kMaxHandleSize - 12", "record too large for a handle");
    return nullptr;
  }
  OwnedHandle handle = OwnedHandle::New(static_cast<std::uint32_t>(size + ReconHeader::kSize));
  if (!handle) return nullptr;
  bool complete = false;
  {
    HandleLock lock(handle.Get());
    ReconHeader header{0, version, recon.GetType()};
    header.Write(lock.Bytes().first<ReconHeader::kSize>());
    ReconStream writer = ReconStream::Writer(lock.Bytes().subspan(ReconHeader::kSize), false);
    recon.Reconstitute(writer, version);
    complete = !writer.Failed() && writer.Position() == size;
    writer.Close();
  }
  if (!complete) {
    XASSERT_FAIL("stream.Position() == size", "sizing and writing passes differ");
    return nullptr;
  }
  return handle.Release();
}

bool ReadReconHandle(ReconObject& recon, MHandle h, std::uint32_t* version) {
  HandleLock lock(h);
  if (lock.Data() == nullptr) return false;
  ReconHeader header;
  if (!ReconHeader::Read(lock.Bytes(), header)) {
    XASSERT_FAIL("size >= sizeof(Header)", "recon data shorter than its header");
    return false;
  }
  if (header.type != recon.GetType()) {
    XASSERT_FAIL("((Header*)data)->type == recon->GetType()", "reconstitution type mismatch");
    return false;
  }
  ReconStream reader = ReconStream::Reader(lock.Bytes().subspan(ReconHeader::kSize), header.swapFlag != 0);
  if (version != nullptr) *version = header.version;
  recon.Reconstitute(reader, header.version);
  bool complete = !reader.Failed();
  reader.Close();
  return complete;
}

void ReconHeaderSwizzler(void* bytes, std::int32_t size) {
  if (bytes == nullptr || size < ReconHeader::kSize) return;
  auto* p = static_cast<std::uint8_t*>(bytes);
  p[0] = 1;
  std::reverse(p + 4, p + 8);
  std::reverse(p + 8, p + 12);
}

ResErr ReadReconResource(ReconObject& recon, iResFile& file, ResID id, std::uint32_t* version) {
  MHandle h = file.GetResource(recon.GetType(), id, ReconHeaderSwizzler);
  if (h == nullptr) return file.GetError() != res_error::kNone ? file.GetError() : res_error::kNotFound;
  ReadReconHandle(recon, h, version);
  file.ReleaseAndDispose(h);
  return res_error::kNone;
}

ResErr WriteReconResource(ReconObject& recon, std::uint32_t version, iResFile& file, ResID id) {
  MHandle h = MakeReconHandle(recon, version);
  if (h == nullptr) return -1;
  ResErr err = file.AddResource(h, recon.GetType(), id, CTGString(), true);
  if (err != res_error::kNone) {
    DisposeHandle(h);
    return err;
  }
  err = file.WriteResource(h);
  if (err != res_error::kNone) {
    file.RemoveResource(h);
    return err;
  }
  file.ReleaseAndDispose(h);
  return file.GetError();
}

}  // namespace pixmold
