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
  ResTarget target;
  target.path = path;
  ResErr err = res_error::kNone;
  EntryKind kind = files.Kind(path);
  if (kind == EntryKind::kFile) {
    auto second = std::make_unique<IFFResFile2>();
    err = second->OpenFile(CTGString(path));
    if (err == res_error::kNone) {
      target.file = std::move(second);
    } else if (err == res_error::kNotIFF) {
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

int CloseTarget(std::string_view command, ResTarget& target) {
  ResErr err = target.file->CloseFile();
  if (err != res_error::kNone) return ReportResErr(command, "cannot close " + target.path, err);
  return kExitOk;
}

int CloseTarget(std::string_view command, ResTarget& target, std::string_view what, ResErr err) {
  if (err == res_error::kNone) return CloseTarget(command, target);
  target.file->CloseFile();
  return ReportResErr(command, what, err);
}

}  // namespace pixmold::cli
