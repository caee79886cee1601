#include "filelib/replace_files.h"

#include <random>

namespace pixmold {
namespace {

// Two writers of one target must not share a temporary; a random suffix
// keeps them apart without asking the platform for a process id.
std::string TemporaryName(const std::string& path) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::random_device random;
  std::string name = path + ".tmp-";
  for (unsigned value = random(), i = 0; i < 8; ++i, value >>= 4) name += kDigits[value & 15];
  return name;
}

bool WriteDurably(FileSystem& files, const std::string& path, const std::vector<std::uint8_t>& bytes,
                  std::string& step) {
  step = "create";
  const FileHandle file = files.Open(path, OpenMode::kCreate);
  if (file == kNoFile) return false;
  step = "write";
  const bool written = files.WriteAt(file, 0, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size()) &&
                       files.Flush(file) && files.Sync(file);
  files.Close(file);
  return written;
}

}  // namespace

ReplaceOutcome ReplaceFiles(FileSystem& files, const std::vector<FileReplacement>& replacements) {
  ReplaceOutcome outcome;
  std::vector<std::string> temporaries;
  for (const FileReplacement& replacement : replacements) {
    temporaries.push_back(TemporaryName(replacement.path));
    if (!WriteDurably(files, temporaries.back(), replacement.bytes, outcome.step)) {
      if (outcome.step != "create") files.Remove(temporaries.back());
      temporaries.pop_back();
      for (const std::string& temporary : temporaries) files.Remove(temporary);
      outcome.ok = false;
      outcome.failedPath = replacement.path;
      return outcome;
    }
  }
  for (std::size_t i = 0; i < replacements.size(); ++i) {
    if (files.Rename(temporaries[i], replacements[i].path)) continue;
    for (std::size_t j = i; j < temporaries.size(); ++j) files.Remove(temporaries[j]);
    outcome = {false, replacements[i].path, "rename"};
    return outcome;
  }
  return outcome;
}

}  // namespace pixmold
