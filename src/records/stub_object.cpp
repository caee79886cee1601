#include "records/stub_object.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <span>
#include <utility>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "records/obj_definition.h"
#include "records/obj_fn_table.h"
#include "records/object_file.h"
#include "resfile/handle_owner.h"
#include "resfile/res_walk.h"
#include "resfile/string_set.h"

namespace pixmold {
namespace {

constexpr ResType kObjectDefinitionType = MakeResType("OBJD");
constexpr ResType kStringListType = MakeResType("STR#");

// A copy keeps the definition's version and size as the template has them:
// bringing it to the current version here would change bytes the copier
// has no business changing (an old 160-byte record would come out as a
// 216-byte one), so the words are reached only where the record holds them.
std::uint16_t WordAt(std::span<const std::uint8_t> bytes, int index) {
  const auto offset = static_cast<std::size_t>(index) * 2;
  if (offset + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

void PutWord(std::span<std::uint8_t> bytes, int index, std::uint16_t value) {
  const auto offset = static_cast<std::size_t>(index) * 2;
  if (offset + 2 > bytes.size()) return;
  bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint32_t LongAt(std::span<const std::uint8_t> bytes, int index) {
  return static_cast<std::uint32_t>(WordAt(bytes, index)) |
         (static_cast<std::uint32_t>(WordAt(bytes, index + 1)) << 16);
}

void PutLong(std::span<std::uint8_t> bytes, int index, std::uint32_t value) {
  PutWord(bytes, index, static_cast<std::uint16_t>(value & 0xFFFF));
  PutWord(bytes, index + 1, static_cast<std::uint16_t>(value >> 16));
}

// Gives a copied definition its fresh GUID, keeping the old one.
void Regenerate(MHandle definition, bool clearEntryPoints) {
  HandleLock lock(definition);
  const std::span<std::uint8_t> bytes = lock.Bytes();
  PutLong(bytes, ObjDefinition::kTemplateGuidWord, LongAt(bytes, ObjDefinition::kGuidWord));
  PutLong(bytes, ObjDefinition::kGuidWord, StubObject::NewGuid());
  if (clearEntryPoints) {
    for (int word : ObjDefinition::kEntryPointWords) PutWord(bytes, word, 0);
  }
}

bool IsMasterDefinition(MHandle definition) {
  HandleLock lock(definition);
  const auto group = static_cast<std::int16_t>(WordAt(lock.Bytes(), ObjDefinition::kMultiTileGroupWord));
  const auto part = static_cast<std::int16_t>(WordAt(lock.Bytes(), ObjDefinition::kMultiTilePartWord));
  return group == 0 || part == -1;
}

}  // namespace

std::uint32_t StubObject::NewGuid() {
  const auto ticks =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  const auto seconds = static_cast<std::uint32_t>(std::time(nullptr));
  return (static_cast<std::uint32_t>(ticks) << 16) ^ seconds ^ static_cast<std::uint32_t>(std::rand());
}

ResErr StubObject::Copy(std::string_view templatePath, std::string_view destinationPath) {
  fProblems.clear();
  std::unique_ptr<StdResFile> source = NewObjectFile();
  ResErr err = source->OpenFile(CTGString(templatePath));
  fProblems = source->Problems();
  if (err != 0) return err;
  // A template with a part that does not open would be copied in part.
  if (!fProblems.empty()) return res_error::kDamaged;
  std::unique_ptr<StdResFile> destination = NewObjectFile();
  // Anything at the destination, a symbolic link above all, is refused
  // before a file is made: a part made beside a part that was there would
  // be an object no one asked for, and a link would take the copy elsewhere.
  FileSystem& files = CTGFileManager::Get().Files();
  for (const char* extension : {".iff", ".spf"}) {
    if (files.Kind(SeqResFile::ComponentName(destinationPath, extension)) != EntryKind::kMissing) {
      return res_error::kCreateExists;
    }
  }
  err = destination->CreateFile(CTGString(destinationPath));
  if (err != 0) return err;
  err = destination->OpenFile(CTGString(destinationPath));
  if (err == 0) {
    err = ForEachResource(*source, UnreadableResource::kVisit,
                          [&](WalkedResource& resource) { return CopyResource(*source, *destination, resource); });
  }
  const ResErr closed = destination->IsOpen() ? destination->CloseFile() : res_error::kNone;
  if (err == 0) err = closed;
  // A copy that failed goes whole, so that the same command can run again.
  if (err != 0) DeleteCopy(destinationPath);
  return err;
}

void StubObject::DeleteCopy(std::string_view destinationPath) {
  NewObjectFile()->DeleteFile(CTGString(destinationPath));
}

ResErr StubObject::CopyResource(iResFile& source, iResFile& destination, WalkedResource& resource) {
  if (resource.handle == nullptr) {
    XASSERT(source.GetError() != 0, "no error returned");
    return source.GetError();
  }
  const ResType type = resource.type;
  const ResID id = resource.id;
  CTGString name = resource.name;
  const bool native = resource.native;
  source.ReleaseResource(resource.handle);
  OwnedHandle owned(std::exchange(resource.handle, nullptr));

  if (type == kTextListType) {
    StringSet stored;
    stored.LoadSTR(&source, id, true);
    StringSet copy;
    copy.Assign(stored);
    return copy.SaveSTR(&destination, id);
  }

  if (type == kObjectDefinitionType) {
    Regenerate(owned.Get(), fClearEntryPoints);
    if (!fNewName.empty() && IsMasterDefinition(owned.Get())) name = CTGString(fNewName);
  }
  MHandle added = owned.Release();
  ResErr err = destination.AddResource(added, type, id, name, native);
  if (err != 0) {
    DisposeHandle(added);
    return err;
  }
  return destination.WriteResource(added);
}

ResErr StubObject::CloneDefinition(iResFile& file, ResID id, std::string_view newName) {
  if (!file.IsWritable()) return -1;
  MHandle definition = file.GetResource(kObjectDefinitionType, id, nullptr);
  if (definition == nullptr) {
    const ResErr err = file.GetError();
    XASSERT(err != 0, "error not set");
    return err;
  }
  file.ReleaseResource(definition);
  const ResID newId = file.UniqueID(kObjectDefinitionType);
  Regenerate(definition, false);
  ResErr err = file.AddResource(definition, kObjectDefinitionType, newId, CTGString(newName), true);
  if (err != 0) {
    DisposeHandle(definition);
    return err;
  }
  ObjFnTable table;
  if (table.Read(file, id) == 0) return table.Write(file, newId);
  return 0;
}

}  // namespace pixmold
