#include "user_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "filelib/file_system.h"

namespace pixmold::cli {

std::string PathReason(const std::string& path, bool forWriting) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (forWriting) {
    if (fs::exists(status)) return std::strerror(EEXIST);
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty() || fs::is_directory(parent, error)) return "";
    return std::strerror(fs::exists(parent, error) ? ENOTDIR : ENOENT);
  }
  if (error) return error.message();
  if (fs::is_directory(status)) return std::strerror(EISDIR);
  errno = 0;
  const FileHandle file = PosixFileSystem().Open(path, OpenMode::kRead);
  if (file == kNoFile) return errno != 0 ? std::strerror(errno) : "not a regular file";
  PosixFileSystem().Close(file);
  return "";
}

std::string EscapeControls(std::string_view text, std::string_view keep) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x20 && byte != 0x7F) || keep.find(c) != std::string_view::npos) {
      out += c;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    }
  }
  return out;
}

std::string Plural(std::size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string GuidText(std::uint32_t guid) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08X (%d)", guid, static_cast<int>(static_cast<std::int32_t>(guid)));
  return text;
}

std::string WithoutSourceLocation(std::string_view text) {
  constexpr std::string_view kPrefix = "XASSERT failure in file ";
  const std::size_t detail = text.find(" : (");
  if (text.substr(0, kPrefix.size()) != kPrefix || detail == std::string_view::npos) return std::string(text);
  return "internal check failed: " + std::string(text.substr(detail + 3));
}

}  // namespace pixmold::cli
