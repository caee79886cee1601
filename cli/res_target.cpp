#include "res_target.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/ascii.h"
#include "command_registry.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/file_locks.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "resfile/obj_res_file.h"
#include "resfile/resolve_res_file.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

std::string FileNameOf(std::string_view path) { return std::filesystem::path(path).filename().string(); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ToLowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A reader names what it cannot read and goes on; a writer refuses.
void PrintProblem(std::string_view command, const FileProblem& problem, std::string_view after) {
  if (problem.kind == FileProblem::Kind::kInUse) {
    std::cerr << "pixmold " << command << ": " << EscapeControls(problem.path) << " is in use by another process\n";
    return;
  }
  std::cerr << "pixmold " << command << ": " << EscapeControls(problem.Text()) << after << "\n";
}

// Whether an opened target may be used by the command: a reader is warned
// of what it cannot read; a writer refuses an object with a part it cannot
// read or write, before anything changes, so that no resource is placed in
// the wrong part or written past damage.
bool CheckOpenedTarget(std::string_view command, ResTarget& target) {
  const bool writer = !CurrentLockPolicy().readOnly;
  const std::vector<FileProblem> problems = target.file->Problems();
  for (const FileProblem& problem : problems) {
    if (writer) {
      PrintProblem(command, problem, "; nothing was changed");
    } else {
      std::cerr << "pixmold " << command << ": warning: " << EscapeControls(problem.Text()) << "\n";
    }
  }
  if (!writer) return true;
  bool readOnly = false;
  for (auto& [file, label] : target.Components()) {
    if (dynamic_cast<ResolveResFile*>(file) != nullptr || file->IsWritable()) continue;
    CTGString name;
    file->GetFileName(name);
    std::cerr << "pixmold " << command << ": " << EscapeControls(name.View())
              << " is read-only (no write permission); nothing was changed\n";
    readOnly = true;
  }
  return problems.empty() && !readOnly;
}

}  // namespace

int ReportResErr(std::string_view command, std::string_view what, ResErr err) {
  std::cerr << "pixmold " << command << ": " << what << ": " << ResErrText(err) << " (" << err << ")\n";
  return kExitFailed;
}

std::optional<ResType> ParseTypeArgument(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      bytes += '\\';
      ++i;
    } else if (i + 3 < text.size() && ToLowerAscii(text[i + 1]) == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return ParseResType(bytes);
}

std::string FormatType(ResType type) {
  std::string out;
  for (unsigned char c : ResTypeName(type)) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

MHandle GetExactResource(iResFile& file, ResType type, ResID id, std::uint8_t variant) {
  MHandle h = file.GetVariantResource(type, id, variant, nullptr);
  if (!h) return nullptr;
  // A file with variants answers a missing variant with variant 0.
  if (variant != 0 && file.GetResVariant(h) != variant) {
    file.SetError(res_error::kNotFound);
    return nullptr;
  }
  file.SetError(res_error::kNone);
  return h;
}

std::vector<std::pair<iResFile*, std::string>> ResTarget::Components() const {
  std::vector<std::pair<iResFile*, std::string>> components;
  if (kind != TargetKind::kObject) {
    components.emplace_back(file.get(), FileNameOf(path));
    return components;
  }
  auto& object = static_cast<ObjResFile&>(*file);
  for (int i = 0; i < object.CountFiles(); ++i) {
    components.emplace_back(object.GetFile(i), FileNameOf(object.ComponentName(path, object.ComponentExtension(i))));
  }
  return components;
}

void OpenForReadingOnly() {
  LockPolicy policy = CurrentLockPolicy();
  policy.readOnly = true;
  SetLockPolicy(policy);
}

std::optional<ResTarget> OpenTarget(std::string_view command, const std::string& path, bool create, int* status) {
  FileSystem& files = CTGFileManager::Get().Files();
  if (create) {
    // A file is never made through a link: it would land wherever the link
    // points, outside the folder named.
    for (const std::string& candidate :
         {path, SeqResFile::ComponentName(path, ".iff"), SeqResFile::ComponentName(path, ".spf")}) {
      std::error_code error;
      if (!std::filesystem::is_symlink(candidate, error) || std::filesystem::exists(candidate, error)) continue;
      std::cerr << "pixmold " << command << ": " << EscapeControls(candidate) << " is a symbolic link to "
                << EscapeControls(std::filesystem::read_symlink(candidate, error).string())
                << ", which does not exist; --create makes no file through a link\n";
      *status = kExitFailed;
      return std::nullopt;
    }
  }
  ResTarget target;
  target.path = path;
  ResErr err = res_error::kNone;
  EntryKind kind = files.Kind(path);
  if (kind == EntryKind::kFile) {
    auto second = std::make_unique<IFFResFile2>();
    err = second->OpenFile(CTGString(path));
    if (err != res_error::kNotIFF) {
      target.file = std::move(second);
    } else {
      auto first = std::make_unique<IFFResFile>();
      err = first->OpenFile(CTGString(path));
      target.file = std::move(first);
      target.kind = TargetKind::kContainer1;
    }
  } else if (kind == EntryKind::kDirectory) {
    target.file = std::make_unique<ResolveResFile>();
    target.kind = TargetKind::kLooseDirectory;
    err = target.file->OpenFile(CTGString(path));
  } else {
    auto object = std::make_unique<ObjResFile>();
    bool exists = false;
    for (const char* extension : {".iff", ".spf", ".dir"}) {
      exists = exists || files.Kind(object->ComponentName(path, extension)) != EntryKind::kMissing;
    }
    bool container = EndsWithIgnoringCase(path, ".iff") || EndsWithIgnoringCase(path, ".spf");
    if (!exists && !create) {
      std::cerr << "pixmold " << command << ": no resource file or object named " << path
                << (command == "add" ? " (--create makes one)\n" : "\n");
      *status = kExitUsage;
      return std::nullopt;
    }
    if (!exists && container) {
      target.file = std::make_unique<IFFResFile2>();
      err = target.file->OpenWithFlags(CTGString(path), iResFile::kOpenCreate);
    } else {
      if (!exists) err = object->CreateFile(CTGString(path));
      if (err == res_error::kNone) err = object->OpenFile(CTGString(path));
      target.file = std::move(object);
      target.kind = TargetKind::kObject;
    }
  }
  if (err != res_error::kNone && target.file && !target.file->Problems().empty()) {
    // A part in use, or every part that exists unusable: each is named.
    for (const FileProblem& problem : target.file->Problems()) PrintProblem(command, problem, "");
    *status = kExitFailed;
    return std::nullopt;
  }
  if (err != res_error::kNone) {
    // The layer's "open failed" hides the system's reason; name it.
    std::string reason;
    if (err == res_error::kOpenFailed) reason = PathReason(path);
    if (err == res_error::kCannotCreate) reason = PathReason(path, true);
    if (reason.empty()) {
      *status = ReportResErr(command, "cannot open " + EscapeControls(path), err);
    } else {
      std::cerr << "pixmold " << command << ": " << EscapeControls(path) << ": " << reason << "\n";
      *status = kExitFailed;
    }
    return std::nullopt;
  }
  if (!CheckOpenedTarget(command, target)) {
    target.file->CloseFile();
    *status = kExitFailed;
    return std::nullopt;
  }
  return target;
}

bool ObjectFileExists(const std::string& path) {
  FileSystem& files = CTGFileManager::Get().Files();
  if (files.Kind(path) != EntryKind::kMissing) return true;
  ObjResFile names;
  for (const char* extension : {".iff", ".spf", ".dir"}) {
    if (files.Kind(names.ComponentName(path, extension)) != EntryKind::kMissing) return true;
  }
  return false;
}

std::vector<std::string> ExistingParts(const std::string& path) {
  FileSystem& files = CTGFileManager::Get().Files();
  std::vector<std::string> parts;
  for (const char* extension : {".iff", ".spf"}) {
    std::string part = SeqResFile::ComponentName(path, extension);
    if (files.Kind(part) != EntryKind::kMissing) parts.push_back(std::move(part));
  }
  return parts;
}

int CloseTarget(std::string_view command, ResTarget& target) {
  ResErr err = target.file->CloseFile();
  if (err != res_error::kNone) return ReportResErr(command, "cannot close " + target.path, err);
  return kExitOk;
}

int CloseTarget(std::string_view command, ResTarget& target, std::string_view what, ResErr err) {
  if (err == res_error::kNone) return CloseTarget(command, target);
  const int status = ReportFileErr(command, *target.file, what, err);
  target.file->CloseFile();
  return status;
}

int ReportFileErr(std::string_view command, iResFile& file, std::string_view what, ResErr err) {
  // A resource that is not there is not the damage's doing.
  const std::vector<FileProblem> problems = file.Problems();
  if (problems.empty() || err == res_error::kNotFound) return ReportResErr(command, what, err);
  for (const FileProblem& problem : problems) PrintProblem(command, problem, "");
  return kExitFailed;
}

}  // namespace pixmold::cli
