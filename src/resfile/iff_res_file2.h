// The IFF container with a resource map: the object file of a build. Blocks
// carry 76-byte headers that hold the resource's name (63 characters at most)
// and, in the high byte of the flags, a variant, so several resources may
// share a type and id. At close the file gets a resource map ('rsmp') that
// lists every resource, and the file header (version 2.5) points to it, so
// the next open reads one block instead of walking every block.
//
// The map is only a shortcut, never the only record: every block still
// carries its full header. The first change to a file that has a map sets
// the header's map offset to 0 before anything else is written, so a file
// changed since its map can never be read through that stale map; the new
// map is written at close, after every resource, and the header that points
// to it last. A missing or damaged map makes the open walk the blocks.
//
// Opening through a map costs one block read for the map and one header read
// for the block the map lists last (the proof that the file was not cut short
// since), whatever the number of resources.
#pragma once

#include <cstdint>

#include "base/ctg_string.h"
#include "resfile/iff_container.h"
#include "resfile/iff_index.h"

namespace pixmold {

class CTGFileManager;
struct IFFResMap;

class IFFResFile2 : public IFFContainer {
 public:
  IFFResFile2();
  explicit IFFResFile2(CTGFileManager& manager);
  ~IFFResFile2() override;

  ResErr CreateFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  ResErr SuspendFile() override;
  ResErr ResumeFile() override;
  ResErr CloseFile() override;
  ResErr UpdateFile() override;
  MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) override;
  MHandle GetVariantResource(ResType type, ResID id, std::uint8_t variant, ResSwizzler swizzler) override;
  void GetResName(MHandle h, CTGString& name) override;
  std::uint8_t GetResVariant(MHandle h) override;
  void UniqueName(ResType type, CTGString& name) override;
  ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) override;
  ResErr AddVariantResource(MHandle h, ResType type, ResID id, const CTGString& name, std::uint8_t variant,
                            bool native) override;
  ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) override;

  // Writes a version 2.5 header with no map into the named file, so that its
  // next open walks the blocks.
  ResErr ClearMap(const CTGString& name);

  // Closing a file with 10240 free bytes or more compacts it unless this is
  // set: blocks move only when the holes between them outgrow three of the
  // largest block and half the live data (a rebuild's replacements fill
  // smaller ones); otherwise the free tail is cut away.
  void SetNoCompaction(bool off) { fNoCompaction = off; }
  // The map offset held from the header or last written (for tests).
  std::int32_t MapOffset() const { return fMapOffset; }
  // Whether the last open read the map rather than walking the blocks.
  bool OpenedByMap() const { return fOpenedByMap; }

 protected:
  IFFBlockHeader MakeBlockHeader(const IFFEntry& entry, std::int32_t dataSize) const override;
  void ForgetName(IFFEntry&) override {}
  // Only where the map written at close, or the one the file has, will
  // list a kept block: a file opened by walking its blocks writes once
  // before it keeps any, so that it leaves with a map.
  bool KeepsUnchangedBlocks() override {
    return fDirty || (fMapOffset != 0 && (!fOpenedByMap || BlocksAgreeWithMap()));
  }

 private:
  // Writes a 2.5 header with the map offset into a file (this object's own or
  // a temporary one). In this object's own file, a map the header pointed to
  // is freed once the header no longer points to it.
  ResErr WriteFileHeader(FlatFile& file, std::int32_t mapOffset);
  bool LoadMap();
  bool BuildIndexFromMap(IFFResMap& map, std::int32_t mapSize);
  void WalkBlocks(ResErr& err);
  void RemoveMapEntries(bool report);
  ResErr WriteMap();
  ResErr Compact();
  // Whether the blocks agree with an index that came from the map: checked
  // once per open, the first time free space could be reused.
  bool BlocksAgreeWithMap();
  // Cuts a name to 63 characters, reporting a longer one.
  CTGString FitName(const CTGString& name);

  IFFIndex fMap{IFFIndex::Order::kOldestFirst, true};
  std::int32_t fMapOffset = 0;
  // The block at fMapOffset is a map this object read (of fMapBlockSize
  // bytes), so it may be freed.
  bool fMapIsOurs = false;
  std::int32_t fMapBlockSize = 0;
  bool fDirty = false;
  bool fNoCompaction = false;
  bool fOpenedByMap = false;
  enum class Agreement { kUnknown, kAgrees, kDisagrees } fAgreement = Agreement::kUnknown;
  CTGString fSuspendedName;
};

}  // namespace pixmold
