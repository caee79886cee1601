// The stream a dialog build writes its report to. It goes through the file
// layer like every other file of the build, so a test can watch or fail it,
// and it writes each report line as it comes: if the build dies, the report
// file still holds everything up to the failure.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "filelib/file_system.h"

namespace pixmold {

class ReportFileStream : public std::ostream {
 public:
  // Creates or truncates the file; IsOpen() says whether that worked.
  // On the file library's file system, which tests may replace.
  explicit ReportFileStream(const std::string& path);
  ReportFileStream(const std::string& path, FileSystem& files);
  ~ReportFileStream() override;
  ReportFileStream(const ReportFileStream&) = delete;
  ReportFileStream& operator=(const ReportFileStream&) = delete;

  bool IsOpen() const;
  // Flushes and closes; later writes fail the stream.
  void Close();

 private:
  class Buffer;
  std::unique_ptr<Buffer> fBuffer;
};

}  // namespace pixmold
