// The abstract resource file. Every container of resources (the IFF files,
// and the composite files that chain, resolve or combine others) implements
// this interface, and callers hold an iResFile without caring which kind it
// is. Resources are identified by type and id, optionally named, and their
// bytes travel as memory handles:
//  - a handle obtained from a file belongs to the file's cache until
//    ReleaseResource detaches it (readers end with ReleaseAndDispose);
//  - a handle passed to AddResource belongs to the file.
//
// Every operation leaves its result in the file's error state, which is the
// only failure report of operations that return a handle or a count; most
// operations set it to 0 when the file is open and to -49 when it is not.
//
// Every object is kept in one process-wide list, newest first, for
// diagnosis. Objects are neither copied nor moved: their address is their
// identity in that list.
//
// A base destructor cannot call the derived CloseFile, so each concrete file
// closes an open file in its own destructor.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "base/ctg_string.h"
#include "resfile/file_problem.h"
#include "resfile/mem_handle.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile {
 public:
  static constexpr int kOpenCreate = 1;
  static constexpr int kOpenReplace = 2;
  // Ids below this are left to hand-made resources.
  static constexpr ResID kFirstUniqueID = 129;

  iResFile();
  virtual ~iResFile();
  iResFile(const iResFile&) = delete;
  iResFile& operator=(const iResFile&) = delete;

  virtual ResErr CreateFile(const CTGString& name) = 0;
  virtual ResErr DeleteFile(const CTGString& name) = 0;
  virtual ResErr OpenFile(const CTGString& name) = 0;
  virtual ResErr SuspendFile() = 0;
  virtual ResErr ResumeFile() = 0;
  virtual ResErr CloseFile() = 0;
  virtual ResErr UpdateFile() = 0;
  virtual bool IsWritable() = 0;
  virtual ResErr GetFileName(CTGString& name) = 0;
  virtual bool IsOpen() = 0;
  virtual std::int32_t CountTypes() = 0;
  // 1-based; 0 and -100 when out of range.
  virtual ResType GetIndType(std::int32_t index) = 0;
  virtual std::int32_t CountResources(ResType type) = 0;
  virtual MHandle GetResource(ResType type, ResID id, ResSwizzler swizzler) = 0;
  virtual MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) = 0;
  // 1-based index within the type.
  virtual MHandle GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) = 0;
  // Files without variants: GetResource for variant 0, -91 for any other.
  virtual MHandle GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler);
  // Whether the file holds a resource of exactly this type, id and variant.
  // Files that keep an index answer without loading the bytes; the default
  // loads them (and leaves them cached) to find out.
  virtual bool HoldsResource(ResType type, ResID id, std::uint8_t variant);
  virtual void GetResName(MHandle h, CTGString& name) = 0;
  // 0 and -98 when the handle is unknown.
  virtual ResType GetResType(MHandle h) = 0;
  virtual ResID GetResID(MHandle h, ResID& id) = 0;
  // Files without attributes set the value to 0 and the error to -95.
  virtual void GetResAttrs(MHandle h, std::uint16_t& attrs);
  // Files without variants look the handle up (GetResType) and answer 0.
  virtual std::uint8_t GetResVariant(MHandle h);
  // Appends a number to the name until no resource of the type bears it.
  virtual void UniqueName(ResType type, CTGString& name) = 0;
  // One more than the largest id of the type, never less than 129.
  virtual ResID UniqueID(ResType type) = 0;
  // Writes the resource if it is only in memory, then hands the handle to
  // the caller.
  virtual ResErr ReleaseResource(MHandle h) = 0;
  // An operation no file of this system supports: -94.
  virtual ResErr UnsupportedOperation(MHandle h);
  virtual bool IsResourceNative(MHandle h) = 0;
  // Keeps name and variant: GetResName, GetResVariant, then SetResInfo.
  virtual ResErr SetResID(MHandle h, ResID id);
  virtual ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) = 0;
  // Files without variants add with an empty name, ignoring name and variant.
  virtual ResErr AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                                    bool native);
  virtual ResErr WriteResource(MHandle h) = 0;
  // A rebuild's shortcut: true when the file already holds a resource of
  // this type and id (variant 0) whose bytes, in these pieces one after
  // another, name and flags are these, and keeps it as it is; then nothing
  // need be added or written. False, changing nothing, whenever it cannot
  // tell (the default): the caller adds the resource as usual.
  virtual bool KeepIfUnchanged(ResType type, ResID id, const CTGString& name, bool native,
                               std::span<const std::span<const std::uint8_t>> pieces);
  virtual ResErr RemoveResource(MHandle h) = 0;
  virtual ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) = 0;
  // String `index` (1-based) of the STR# set `id`; empty when the index is
  // outside the set or the set cannot be loaded.
  virtual void GetIndString(CTGString& out, ResID id, std::int32_t index);

  // What keeps the file from being used whole (file_problem.h), including
  // the parts of a composite file that could not be opened; such a file
  // refuses every change. Kept after a failed open, to say why it failed.
  virtual void CollectProblems(std::vector<FileProblem>& problems);
  std::vector<FileProblem> Problems();

  ResErr GetError() const { return fError; }
  void SetError(ResErr err) { fError = err; }

  // Releases the handle and, when that worked, disposes of it; a memory
  // error becomes the file's error. Every reader of a resource ends here.
  void ReleaseAndDispose(MHandle h);

  // Opens, creating the file when kOpenCreate is given and it does not
  // exist, or replacing it with a fresh empty one when kOpenReplace is given.
  ResErr OpenWithFlags(const CTGString& name, int flags);

  // The live resource-file objects, newest first.
  static std::vector<iResFile*> AllResFiles();

 protected:
  // The UniqueID rule over the ids present: the largest plus one, at least
  // 129 (so 129 again once 32767 is taken).
  static ResID UniqueIDAmong(std::span<const ResID> ids);
  // The UniqueName rule: the name unchanged when free, otherwise the name
  // with the lowest number from 0 up appended that no resource bears.
  static void UniqueNameAmong(CTGString& name, const std::function<bool(std::string_view)>& taken);
  // Sets and returns -49 when no file is open, 0 otherwise.
  ResErr CheckOpen();

 private:
  iResFile* fNext = nullptr;
  ResErr fError = res_error::kNone;
};

}  // namespace pixmold
