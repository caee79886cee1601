// Up to eight resource files acting as one. Reads search the components in
// order, so an earlier component overrides a later one; a new resource goes
// to the first writable component whose type rule admits it. A rule is a
// list of types and a mode: prohibiting (the listed types may not be added
// here) or exclusive (only they may). That is how an object's sprites land in
// one file and its data in another while callers see a single file.
//
// A handle belongs to the component whose cache holds it, so operations on a
// handle go to the component that knows it. A plain chain refers to
// components its user owns and closes; the sequential files built on it own
// theirs.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "resfile/res_file.h"

namespace pixmold {

class ChainResFile : public iResFile {
 public:
  static constexpr int kMaxFiles = 8;
  static constexpr std::uint16_t kExclusive = 0;
  static constexpr std::uint16_t kProhibiting = 1;
  // Result of an addition whose type no component admits.
  static constexpr ResErr kTypeNotAllowed = -92;

  ChainResFile() = default;
  ~ChainResFile() override = default;

  void AddFile(iResFile* file);
  void RemoveFile(iResFile* file);
  int CountFiles() const;
  // 0-based; null past the end.
  iResFile* GetFile(int index) const;
  void ProhibitType(iResFile* file, ResType type);
  void ExclusiveType(iResFile* file, ResType type);
  // Whether the component at `index` admits the type by its rule.
  bool Allows(int index, ResType type) const;

  // The first component that admits the type and is writable; CountFiles()
  // when there is none.
  virtual int GetTargetFileIndex(ResType type);

  // A plain chain has no file of its own to create, delete or open.
  ResErr CreateFile(const CTGString& name) override;
  ResErr DeleteFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  ResErr SuspendFile() override;
  ResErr ResumeFile() override;
  ResErr CloseFile() override;
  ResErr UpdateFile() override;
  bool IsWritable() override;
  // The first component's name.
  ResErr GetFileName(CTGString& name) override;
  bool IsOpen() override { return CountFiles() > 0; }
  std::int32_t CountTypes() override;
  ResType GetIndType(std::int32_t index) override;
  std::int32_t CountResources(ResType type) override;
  MHandle GetResource(ResType type, ResID id, ResSwizzler swizzler) override;
  MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) override;
  MHandle GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) override;
  MHandle GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler) override;
  bool HoldsResource(ResType type, ResID id, std::uint8_t variant) override;
  void GetResName(MHandle h, CTGString& name) override;
  ResType GetResType(MHandle h) override;
  ResID GetResID(MHandle h, ResID& id) override;
  void GetResAttrs(MHandle h, std::uint16_t& attrs) override;
  std::uint8_t GetResVariant(MHandle h) override;
  void UniqueName(ResType type, CTGString& name) override;
  ResID UniqueID(ResType type) override;
  ResErr ReleaseResource(MHandle h) override;
  ResErr UnsupportedOperation(MHandle h) override;
  bool IsResourceNative(MHandle h) override;
  ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) override;
  ResErr AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                            bool native) override;
  ResErr WriteResource(MHandle h) override;
  // Asks the file the resource would go to, when it is the one holding it.
  bool KeepIfUnchanged(ResType type, ResID id, const CTGString& name, bool native,
                       std::span<const std::span<const std::uint8_t>> pieces) override;
  ResErr RemoveResource(MHandle h) override;
  ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) override;

  // The component whose cache holds the handle; null (and the error state of
  // the last component asked) when none does.
  iResFile* OwnerOf(MHandle h);

  // The components' problems, and those of the parts that could not be
  // opened as components.
  void CollectProblems(std::vector<FileProblem>& problems) override;

 protected:
  // Parts of the file that exist but could not be opened: while there are
  // any, the chain takes no change (-302), since the resources it would
  // replace or place may be in them.
  void SetUnopenedParts(std::vector<FileProblem> problems) { fUnopened = std::move(problems); }
  // Sets the error state to -302 and returns true when a part is unopened.
  bool RefusesChange();

 private:
  struct Slot {
    iResFile* file = nullptr;
    std::vector<ResType> types;
    std::uint16_t mode = kProhibiting;
  };

  Slot* SlotOf(iResFile* file);
  void AddTypeRule(iResFile* file, ResType type, std::uint16_t mode, const char* condition, const char* refusal);
  // Runs a file-level operation on every component: the last non-zero
  // result, or 0.
  template <typename Op>
  ResErr ForEachFile(Op op);
  // The distinct types of all components, in component order.
  std::vector<ResType> AllTypes();
  // The resource of that type, id and exactly that variant, wherever it is.
  MHandle FindExact(ResType type, ResID id, std::uint8_t variant);
  // The index of the first component holding it, or CountFiles().
  int HolderOf(ResType type, ResID id, std::uint8_t variant);

  std::array<Slot, kMaxFiles> fSlots;
  std::vector<FileProblem> fUnopened;
};

}  // namespace pixmold
