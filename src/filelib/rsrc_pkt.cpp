#include "filelib/rsrc_pkt.h"

#include <limits>

#include "filelib/debug_assert.h"

namespace pixmold {

void RsrcPkt::Clear() {
  mStream.reset();
  mFile.reset();
  mSize = 0;
}

bool RsrcPkt::SetStream(std::unique_ptr<std::istream> stream) {
  Clear();
  if (!stream) return false;
  stream->seekg(0, std::ios::end);
  std::streamoff end = stream->tellg();
  stream->seekg(0, std::ios::beg);
  bool fits = end >= 0 && end <= std::numeric_limits<std::int32_t>::max();
  if (!fits) DEBUG_ASSERT_FAIL("end == streampos(Int32(end))");
  if (!fits || !*stream) return false;
  mStreamType = kCPPStream;
  mStream = std::move(stream);
  mSize = static_cast<std::uint32_t>(end);
  return true;
}

bool RsrcPkt::SetFile(std::unique_ptr<CTGFile> file) {
  Clear();
  if (!file) return false;
  std::int64_t end = file->Size();
  bool fits = end >= 0 && end <= std::numeric_limits<std::int32_t>::max();
  if (!fits) DEBUG_ASSERT_FAIL("end == streampos(Int32(end))");
  if (!fits) return false;
  mStreamType = kCTGFile;
  mFile = std::move(file);
  mSize = static_cast<std::uint32_t>(end);
  return true;
}

std::istream* RsrcPkt::GetStream() {
  DEBUG_ASSERT(mStreamType == kCPPStream);
  DEBUG_ASSERT(mStream != 0);
  return mStreamType == kCPPStream ? mStream.get() : nullptr;
}

CTGFile* RsrcPkt::GetFile() {
  DEBUG_ASSERT(mStreamType == kCTGFile);
  DEBUG_ASSERT(mFile != 0);
  return mStreamType == kCTGFile ? mFile.get() : nullptr;
}

bool RsrcPkt::ReadAll(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (mSize > kMaxSize || Empty()) return false;
  bytes.resize(mSize);
  if (mStreamType == kCTGFile) {
    if (!mFile->Seek(0)) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      std::int64_t got = mFile->Read(bytes.data() + done, bytes.size() - done);
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }
  mStream->clear();
  mStream->seekg(0, std::ios::beg);
  mStream->read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<std::size_t>(mStream->gcount()) == bytes.size();
}

}  // namespace pixmold
