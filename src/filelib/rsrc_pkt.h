// A found loose resource: its type, id, name and size, and an open stream on
// its bytes. The stream is either a standard stream (one the caller opened) or a file of the
// file library (which can also be an archive member); the packet owns it and
// closes it when it is given another or dies.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "filelib/ctg_file.h"
#include "filelib/rsrc_descriptor.h"

namespace pixmold {

class RsrcPkt {
 public:
  enum StreamKind { kCPPStream = 0, kCTGFile = 1 };
  // A loose resource is read into memory whole; nothing the pipeline stores
  // comes near this.
  static constexpr std::uint32_t kMaxSize = 256u << 20;

  RsrcPkt() = default;
  RsrcPkt(const RsrcPkt&) = delete;
  RsrcPkt& operator=(const RsrcPkt&) = delete;

  // Each releases a stream held before. The size becomes the stream's
  // length; false (and no stream) when it does not fit 32 bits.
  bool SetStream(std::unique_ptr<std::istream> stream);
  bool SetFile(std::unique_ptr<CTGFile> file);
  void Clear();

  // The stream of the asked kind; null (reported) when the packet holds the
  // other kind or none.
  std::istream* GetStream();
  CTGFile* GetFile();
  StreamKind Kind() const { return mStreamType; }
  bool Empty() const { return !mStream && !mFile; }

  // All of the resource's bytes from its start; false when the stream fails,
  // ends early, or the size passes kMaxSize.
  bool ReadAll(std::vector<std::uint8_t>& bytes);

  RsrcType mType = 0;
  std::string mName;
  std::int32_t mID = RsrcDescriptor::kNoID;
  std::uint32_t mSize = 0;

 private:
  StreamKind mStreamType = kCPPStream;
  std::unique_ptr<std::istream> mStream;
  std::unique_ptr<CTGFile> mFile;
};

}  // namespace pixmold
