// Writes FAR archives (far_format.h): the header, every member's bytes in the
// order they were added, then the directory. Tools and tests make archives
// with it; the reader never trusts that an archive came from here.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filelib/file_system.h"

namespace pixmold {

class FarWriter {
 public:
  // Adds a member under a relative path (stored as given). False when the
  // path is unusable or 2047 bytes or longer, the archive already holds the
  // most entries allowed, or it would pass 4 GiB.
  bool Add(std::string_view name, std::span<const unsigned char> bytes);
  bool Add(std::string_view name, std::string_view text);

  std::size_t Count() const { return fMembers.size(); }
  // The archive's bytes.
  std::vector<unsigned char> Build() const;
  // Writes the archive to a file (created or truncated).
  bool Save(const std::string& path, FileSystem& files = PosixFileSystem()) const;

 private:
  struct Member {
    std::string name;
    std::vector<unsigned char> bytes;
  };
  std::vector<Member> fMembers;
  std::uint64_t fTotal = 16 + 4;  // header and entry count
};

}  // namespace pixmold
