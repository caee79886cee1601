// The first version of the IFF resource container: a 64-byte file header,
// then blocks with 16-byte headers (type, size, id, flags, name index). Names
// are kept apart from the blocks, in a name list stored as an internal
// resource ('NAME'); internal resources carry kInternalFlag and live in an
// index of their own, which internal mode swaps in so that the ordinary
// operations reach them. There is no map: opening walks every block.
//
// Enumeration runs newest first, the way the format's lists always have:
// index 1 is the resource read last from the file or added last.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/ctg_string.h"
#include "resfile/iff_container.h"
#include "resfile/iff_index.h"
#include "resfile/iff_name_list.h"

namespace pixmold {

class CTGFileManager;

class IFFResFile : public IFFContainer {
 public:
  IFFResFile();
  explicit IFFResFile(CTGFileManager& manager);
  ~IFFResFile() override;

  ResErr CreateFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  ResErr SuspendFile() override;
  ResErr ResumeFile() override;
  ResErr CloseFile() override;
  ResErr UpdateFile() override;
  MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) override;
  void GetResName(MHandle h, CTGString& name) override;
  void UniqueName(ResType type, CTGString& name) override;
  ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) override;
  ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) override;

  // While on, every operation works on the internal resources, and added
  // resources become internal.
  void EnterInternalMode();
  void ExitInternalMode();

 protected:
  IFFBlockHeader MakeBlockHeader(const IFFEntry& entry, std::int32_t dataSize) const override;
  void ForgetName(IFFEntry& entry) override;

 private:
  void WalkBlocks(ResErr& err);
  void LoadNames();
  ResErr WriteNames();
  // The entry of the type whose name index is given, or null.
  IFFEntry* EntryWithName(ResType type, std::int32_t nameIndex) const;

  // Set while a new file is being created, when it has no name list yet.
  static std::atomic<bool> sCreatingNewFile;

  IFFIndex fNormal{IFFIndex::Order::kNewestFirst, false};
  IFFIndex fInternal{IFFIndex::Order::kNewestFirst, false};
  std::unique_ptr<IFFNameList> fNameList;
  bool fInternalMode = false;
  bool fWrote = false;  // a block header was written since the open
};

}  // namespace pixmold
