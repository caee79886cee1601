#include "resfile/seq_res_file.h"

#include <set>

#include "base/ascii.h"
#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "resfile/resolve_res_file.h"

namespace pixmold {

using namespace res_error;

SeqResFile::~SeqResFile() {
  while (!fComponents.empty()) {
    iResFile* del = fComponents.back().file.get();
    XASSERT(del, "no indexed file");
    RemoveFile(del);
    fComponents.pop_back();
  }
}

void SeqResFile::AddComponent(int kind, std::string_view extension) {
  if (kind < kEndKind || kind > kResolveKind) {
    XASSERT_FAIL("kind >= 0 && kind <= 3", "bad file type");
    return;
  }
  if (kind == kEndKind) return;
  if (fSpecs.size() >= static_cast<std::size_t>(kMaxComponents)) {
    XASSERT_FAIL("count < kMaxComponents", "not enough space for types");
    return;
  }
  fSpecs.push_back(Spec{kind, std::string(extension)});
}

std::string SeqResFile::ComponentName(std::string_view name, std::string_view extension) {
  // The extension is whatever follows the last dot of the last path
  // segment; a dot that starts the segment names a hidden file, not an
  // extension.
  const std::size_t slash = name.find_last_of("/\\");
  const std::size_t segment = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = name.rfind('.');
  std::string base(name);
  if (dot != std::string_view::npos && dot > segment) base.resize(dot);
  base.append(extension);
  return base;
}

std::string SeqResFile::ComponentExtension(int index) const {
  iResFile* file = GetFile(index);
  for (const Component& component : fComponents) {
    if (component.file.get() == file && file) return component.extension;
  }
  return std::string();
}

std::unique_ptr<iResFile> SeqResFile::MakeComponent(int kind) {
  switch (kind) {
    case kIFFKind: return std::make_unique<IFFResFile>();
    case kIFF2Kind: return std::make_unique<IFFResFile2>();
    case kResolveKind: return std::make_unique<ResolveResFile>();
    default: return nullptr;
  }
}

ResErr SeqResFile::OpenFile(const CTGString& name) {
  if (IsOpen()) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  ResErr err = kNoComponents;
  bool opened = false;
  std::vector<FileProblem> unopened;
  for (const Spec& spec : fSpecs) {
    std::unique_ptr<iResFile> temFile = MakeComponent(spec.kind);
    if (!temFile) continue;
    const std::string componentName = ComponentName(name.View(), spec.extension);
    ResErr temErr = temFile->OpenFile(CTGString(componentName));
    bool valid = temFile->IsOpen();
    XASSERT((temErr && !valid) || (!temErr && valid), "no error but file invalid");
    if (temErr == kNone && valid) {
      AddFile(temFile.get());
      fComponents.push_back(Component{std::move(temFile), spec.extension});
      opened = true;
      continue;
    }
    err = temErr != kNone ? temErr : kOpenFailed;
    // A part the object does not have is no problem; one it has but that
    // does not open is: skipping it would show half an object, and a
    // write would put its resources into another part.
    if (CTGFileManager::Get().Files().Kind(componentName) == EntryKind::kMissing) continue;
    std::vector<FileProblem> problems = temFile->Problems();
    if (problems.empty()) {
      problems.push_back(
          FileProblem{FileProblem::Kind::kUnreadable, componentName, -1,
                      spec.kind == kResolveKind ? "not a folder of loose resources" : std::string(ResErrText(err))});
    }
    unopened.insert(unopened.end(), problems.begin(), problems.end());
    // A part another process holds makes the whole file unavailable:
    // nothing of it is read or written.
    if (err == kInUse) {
      DropComponents();
      SetUnopenedParts(std::move(unopened));
      SetError(kInUse);
      return kInUse;
    }
  }
  SetUnopenedParts(std::move(unopened));
  if (opened) {
    fName = name.Str();
    err = kNone;
  }
  SetError(err);
  return err;
}

ResErr SeqResFile::CreateFile(const CTGString& name) {
  if (IsOpen()) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  ResErr err = kNoComponents;
  int createCnt = 0;
  int existCnt = 0;
  std::set<std::string> made;
  for (const Spec& spec : fSpecs) {
    std::string componentName = ComponentName(name.View(), spec.extension);
    if (!made.insert(componentName).second) continue;
    std::unique_ptr<iResFile> component = MakeComponent(spec.kind);
    if (!component) continue;
    ResErr result = component->CreateFile(CTGString(componentName));
    if (result == kNone) ++createCnt;
    if (result == kCreateExists) ++existCnt;
    err = result;
  }
  if (existCnt > 0 && createCnt > 0) {
    XASSERT_FAIL("!createCnt", "oh no. created a file where some components already exist.");
  }
  if (createCnt > 0) err = kNone;
  SetError(err);
  return err;
}

ResErr SeqResFile::DeleteFile(const CTGString& name) {
  if (IsOpen()) {
    SetError(kAlreadyOpen);
    return kAlreadyOpen;
  }
  int deleted = 0;
  ResErr failure = kNone;
  std::set<std::string> done;
  for (const Spec& spec : fSpecs) {
    std::string componentName = ComponentName(name.View(), spec.extension);
    if (!done.insert(componentName).second) continue;
    std::unique_ptr<iResFile> component = MakeComponent(spec.kind);
    if (!component) continue;
    ResErr result = component->DeleteFile(CTGString(componentName));
    if (result == kNone) {
      ++deleted;
    } else if (result != kDeleteMissing) {
      failure = result;
    }
  }
  // A component that was never there is not a failure to delete it.
  bool success = failure == kNone;
  if (deleted > 0 && !success) XASSERT_FAIL("!success", "oh no. pratially deleted a file group.");
  ResErr err = !success ? failure : (deleted > 0 ? kNone : kDeleteMissing);
  SetError(err);
  return err;
}

void SeqResFile::DropComponents() {
  while (CountFiles() > 0) {
    iResFile* del = GetFile(0);
    RemoveFile(del);
    del->CloseFile();
    std::erase_if(fComponents, [del](const Component& c) { return c.file.get() == del; });
  }
  fComponents.clear();
}

ResErr SeqResFile::CloseFile() {
  if (CheckOpen() != kNone) return GetError();
  ResErr result = kNone;
  while (CountFiles() > 0) {
    iResFile* del = GetFile(0);
    XASSERT(del, "no file");
    RemoveFile(del);
    ResErr err = del->CloseFile();
    if (err != kNone) result = err;
    std::erase_if(fComponents, [del](const Component& c) { return c.file.get() == del; });
  }
  fComponents.clear();
  fName.clear();
  SetError(result);
  return result;
}

ResErr SeqResFile::GetFileName(CTGString& name) {
  name.Clear();
  if (CheckOpen() != kNone) return GetError();
  name = fName;
  return kNone;
}

}  // namespace pixmold
