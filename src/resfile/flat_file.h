// The plain byte file of the resource layer: the markup reader, the image
// readers and the IFF containers all keep their bytes in one. Every operation
// returns a code of the layer's one table (res_types.h). It works through the
// file library, so a path the library maps to an archive member opens too,
// read-only.
//
// Positions and sizes are signed 32-bit byte counts, so a file opens only
// when it is shorter than 2 GiB, and a write that would pass that fails.
// An object holds at most one open file; the destructor closes it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "base/ctg_string.h"
#include "resfile/res_types.h"

namespace pixmold {

class CTGFile;
class CTGFileManager;
class FileView;

class FlatFile {
 public:
  // On the process-wide file library.
  FlatFile();
  // On a given manager (tests, tools), which must outlive the object.
  explicit FlatFile(CTGFileManager& manager);
  virtual ~FlatFile();
  FlatFile(const FlatFile&) = delete;
  FlatFile& operator=(const FlatFile&) = delete;

  // Opens for reading and writing, or failing that for reading only.
  // -47 when a file is open, -50 when neither works, -301 when another
  // process holds it: a file in use is never opened read-only instead, or
  // a writer would get past a reader's lock and fail later for no clear
  // reason.
  ResErr Open(std::string_view name);
  // -49 (reported "closing an unopened file") when none is open.
  ResErr Close();
  // count bytes at the position; -48 when fewer arrive (those are read).
  ResErr Read(void* buffer, std::int32_t count);
  ResErr Read(std::span<unsigned char> bytes);
  // count bytes at the position without copying them where the file can be
  // mapped (see FileView); -48 when fewer remain or they cannot be read.
  ResErr View(std::int32_t count, FileView& view);
  // bytes.size() bytes at offset, leaving the position as it is; threads
  // may read one file at once. -48 when fewer arrive.
  ResErr ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes) const;
  // count bytes at the position, extending the file; -46 when fewer go out.
  ResErr Write(const void* buffer, std::int32_t count);
  ResErr Write(std::span<const unsigned char> bytes);
  // Absolute position; -48 beyond the end or when refused.
  ResErr Seek(std::int32_t position);
  ResErr GetPosition(std::int32_t& position) const;
  ResErr GetSize(std::int32_t& size) const;
  // Truncates or extends; the position moves to the new end. -50 on failure.
  ResErr SetSize(std::int32_t size);
  // Hands buffered writes to the system; -50 on failure.
  ResErr Flush();
  // Makes the written bytes durable on disk (fsync); -50 on failure.
  ResErr Sync();
  // Tells build tools the file is up to date: a new modification time, the
  // bytes as they are. -50 on failure.
  ResErr MarkModified();
  // Starts the bytes on their way to the disk (see FileSystem).
  void StartWriteback(std::int64_t offset, std::int64_t count);
  ResErr GetName(CTGString& name) const;
  // The system's reason (an errno value) for the last write, truncation or
  // sync that failed, until a write succeeds; 0 when none did.
  int WriteFailure() const { return fWriteFailure; }
  // The system's reason (an errno value) the last open failed, or 0.
  int OpenFailure() const { return fOpenFailure; }
  bool ValidFile() const { return fFile != nullptr; }
  bool IsWritable() const { return fWritable; }

  // Creates an empty file, which stays closed: -47, -43 when anything is
  // there (a symbolic link too, even one to nowhere), -42. Never writes
  // through a link.
  ResErr Create(std::string_view name);
  // Removes a file: -47, -40 when it does not exist, -39 when it cannot go.
  ResErr Delete(std::string_view name);

 private:
  CTGFileManager* fManager;
  std::unique_ptr<CTGFile> fFile;
  bool fWritable = false;
  int fWriteFailure = 0;
  int fOpenFailure = 0;
};

}  // namespace pixmold
