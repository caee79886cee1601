#include "resfile/res_file.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <mutex>
#include <string>

#include "base/terminate.h"
#include "base/xassert.h"
#include "resfile/string_hooks.h"

namespace pixmold {
namespace {

std::mutex gFilesMutex;
iResFile* gNewestFile = nullptr;

}  // namespace

iResFile::iResFile() {
  std::lock_guard lock(gFilesMutex);
  fNext = gNewestFile;
  gNewestFile = this;
}

iResFile::~iResFile() {
  bool found = false;
  {
    std::lock_guard lock(gFilesMutex);
    for (iResFile** link = &gNewestFile; *link != nullptr; link = &(*link)->fNext) {
      if (*link == this) {
        *link = fNext;
        found = true;
        break;
      }
    }
  }
  if (found) return;
  // A destructor cannot end the build by throwing; the worker thread's
  // report goes to standard error instead.
  try {
    XASSERT_FAIL("false", "could not unlink res file");
  } catch (const Terminate& t) {
    std::fprintf(stderr, "%s\n", t.what());
  }
}

std::vector<iResFile*> iResFile::AllResFiles() {
  std::lock_guard lock(gFilesMutex);
  std::vector<iResFile*> files;
  for (iResFile* file = gNewestFile; file != nullptr; file = file->fNext) files.push_back(file);
  return files;
}

void iResFile::CollectProblems(std::vector<FileProblem>&) {}

std::vector<FileProblem> iResFile::Problems() {
  std::vector<FileProblem> problems;
  CollectProblems(problems);
  return problems;
}

ResErr iResFile::CheckOpen() {
  fError = IsOpen() ? res_error::kNone : res_error::kNotOpen;
  return fError;
}

MHandle iResFile::GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler) {
  if (variant == 0) return GetResource(type, id, swizzler);
  if (CheckOpen() == res_error::kNone) fError = res_error::kVariantUnsupported;
  return nullptr;
}

bool iResFile::HoldsResource(ResType type, ResID id, std::uint8_t variant) {
  MHandle h = GetVariantResource(type, id, variant, nullptr);
  // A file with variants answers a missing variant with variant 0.
  return h && GetResVariant(h) == variant && fError == res_error::kNone;
}

void iResFile::GetResAttrs(MHandle, std::uint16_t& attrs) {
  attrs = 0;
  if (CheckOpen() == res_error::kNone) fError = res_error::kAttrsUnsupported;
}

std::uint8_t iResFile::GetResVariant(MHandle h) {
  GetResType(h);
  return 0;
}

bool iResFile::KeepIfUnchanged(ResType, ResID, const CTGString&, bool, std::span<const std::span<const std::uint8_t>>) {
  return false;
}

ResErr iResFile::UnsupportedOperation(MHandle) {
  if (CheckOpen() == res_error::kNone) fError = res_error::kUnsupported;
  return fError;
}

ResErr iResFile::SetResID(MHandle h, ResID id) {
  CTGString name;
  GetResName(h, name);
  if (fError != res_error::kNone) return fError;
  std::uint8_t variant = GetResVariant(h);
  if (fError != res_error::kNone) return fError;
  return SetResInfo(h, id, name, variant);
}

ResErr iResFile::AddVariantResource(MHandle h, ResType type, ResID id, const CTGString&, std::uint8_t, bool native) {
  return AddResource(h, type, id, CTGString(), native);
}

void iResFile::GetIndString(CTGString& out, ResID id, std::int32_t index) {
  out.Clear();
  if (CheckOpen() != res_error::kNone) return;
  // Without string sets there is nothing to load, and the string stays empty.
  StringListLoader loader = CurrentStringListLoader();
  if (!loader) return;
  std::vector<std::string> values;
  fError = loader(*this, id, values);
  if (fError != res_error::kNone) return;
  if (index >= 1 && static_cast<std::size_t>(index) <= values.size()) out = values[static_cast<std::size_t>(index) - 1];
}

void iResFile::ReleaseAndDispose(MHandle h) {
  ReleaseResource(h);
  if (fError != res_error::kNone) return;
  DisposeHandle(h);
  if (MemError() != 0) fError = MemError();
}

ResErr iResFile::OpenWithFlags(const CTGString& name, int flags) {
  if (flags & kOpenReplace) {
    ResErr err = DeleteFile(name);
    if (err != res_error::kNone && err != res_error::kDeleteMissing) return err;
    err = CreateFile(name);
    if (err != res_error::kNone) return err;
  }
  ResErr err = OpenFile(name);
  if (err == res_error::kNone || !(flags & kOpenCreate)) return err;
  err = CreateFile(name);
  if (err == res_error::kNone) err = OpenFile(name);
  return err;
}

ResID iResFile::UniqueIDAmong(std::span<const ResID> ids) {
  int largest = kFirstUniqueID - 1;
  for (ResID id : ids) largest = std::max<int>(largest, id);
  // Ids are 16 bits: one past 32767 wraps below 129 and so becomes 129.
  const auto next = static_cast<ResID>(static_cast<std::uint16_t>(largest + 1));
  return next < kFirstUniqueID ? kFirstUniqueID : next;
}

void iResFile::UniqueNameAmong(CTGString& name, const std::function<bool(std::string_view)>& taken) {
  const std::string base = name.Str();
  for (long number = 0; taken(name.View()); ++number) name = CTGString(base + std::to_string(number));
}

}  // namespace pixmold
