#include "app/report_file_stream.h"

#include <array>

#include "filelib/ctg_file_manager.h"

namespace pixmold {

class ReportFileStream::Buffer final : public std::streambuf {
 public:
  Buffer(const std::string& path, FileSystem& files) : fFiles(files), fFile(files.Open(path, OpenMode::kCreate)) {
    setp(fPending.data(), fPending.data() + fPending.size());
  }
  ~Buffer() override { Close(); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  bool IsOpen() const { return fFile != kNoFile; }

  void Close() {
    if (fFile == kNoFile) return;
    sync();
    fFiles.Close(fFile);
    fFile = kNoFile;
  }

 protected:
  int_type overflow(int_type ch) override {
    if (!WritePending()) return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
  }

  // Every line of the report ends in a flush (std::endl or the explicit one
  // the report writer does), so the file keeps up with the build.
  int sync() override { return WritePending() && fFiles.Flush(fFile) ? 0 : -1; }

 private:
  bool WritePending() {
    if (fFile == kNoFile) return false;
    const std::size_t count = static_cast<std::size_t>(pptr() - pbase());
    if (count > 0 && fFiles.WriteAt(fFile, fOffset, pbase(), count) != static_cast<std::int64_t>(count)) {
      return false;
    }
    fOffset += static_cast<std::int64_t>(count);
    setp(fPending.data(), fPending.data() + fPending.size());
    return true;
  }

  FileSystem& fFiles;
  FileHandle fFile;
  std::int64_t fOffset = 0;
  std::array<char, 4096> fPending{};
};

ReportFileStream::ReportFileStream(const std::string& path) : ReportFileStream(path, CTGFileManager::Get().Files()) {}

ReportFileStream::ReportFileStream(const std::string& path, FileSystem& files)
    : std::ostream(nullptr), fBuffer(std::make_unique<Buffer>(path, files)) {
  rdbuf(fBuffer.get());
  if (!fBuffer->IsOpen()) setstate(std::ios::badbit);
}

ReportFileStream::~ReportFileStream() { Close(); }

bool ReportFileStream::IsOpen() const { return fBuffer->IsOpen(); }

void ReportFileStream::Close() {
  fBuffer->Close();
  setstate(std::ios::badbit);
}

}  // namespace pixmold
