// What the two IFF resource containers share: the byte file they live in,
// the block layer, the index, and every operation that works the same way in
// both (lookups, loading bytes on demand, writing a resource into a block,
// releasing and removing). IFFResFile and IFFResFile2 add their headers,
// names, variants and, in the second version, the resource map.
//
// A resource's bytes are written into a fresh or reused block and its header
// lands last; a resource that replaces another keeps the old block live until
// the new one is whole, and only then frees it, so an interrupted write never
// leaves a resource missing. A rewrite of the same size goes in place, as the
// format has always done, and only that resource can be torn by a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/ctg_string.h"
#include "resfile/file_problem.h"
#include "resfile/flat_file.h"
#include "resfile/handle_owner.h"
#include "resfile/iff_blocks.h"
#include "resfile/iff_index.h"
#include "resfile/mem_handle.h"
#include "resfile/res_file.h"

namespace pixmold {

class CTGFileManager;

class IFFContainer : public iResFile, public FlatFile {
 public:
  ~IFFContainer() override;

  ResErr DeleteFile(const CTGString& name) override;
  bool IsWritable() override;
  ResErr GetFileName(CTGString& name) override;
  bool IsOpen() override;
  std::int32_t CountTypes() override;
  ResType GetIndType(std::int32_t index) override;
  std::int32_t CountResources(ResType type) override;
  MHandle GetResource(ResType type, ResID id, ResSwizzler swizzler) override;
  MHandle GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) override;
  bool HoldsResource(ResType type, ResID id, std::uint8_t variant) override;
  ResType GetResType(MHandle h) override;
  ResID GetResID(MHandle h, ResID& id) override;
  ResID UniqueID(ResType type) override;
  ResErr ReleaseResource(MHandle h) override;
  bool IsResourceNative(MHandle h) override;
  ResErr WriteResource(MHandle h) override;
  bool KeepIfUnchanged(ResType type, ResID id, const CTGString& name, bool native,
                       std::span<const std::span<const std::uint8_t>> pieces) override;
  ResErr RemoveResource(MHandle h) override;

  // Total of the free blocks (for tests and tools).
  std::int32_t FreeBytes() const { return fBlocks.FreeTotal(); }

  // The damage the walk or a load met, or why the last open failed.
  void CollectProblems(std::vector<FileProblem>& problems) override;

 protected:
  // The second version adds the file's name to its reports and checks that
  // a block it loads is a live block of the entry's type.
  enum class Version { kFirst, kSecond };
  IFFContainer(CTGFileManager& manager, Version version);

  // Sets the error state to 0 when a file is open and to -49 when not;
  // true when open.
  bool BeginOperation();
  // Sets the error state and returns it.
  ResErr Fail(ResErr err);

  // Begins an open: whatever the last file had is forgotten.
  void ForgetProblems();
  // A block met while loading is not what the index says. Named when the
  // file's problems are asked for; the first one found is kept.
  void NoteDamage(std::int32_t offset, std::string what);
  // Why the open of `name` failed with err, while the file is still open
  // when it got that far.
  void NoteOpenFailure(const CTGString& name, ResErr err);
  // What a walk that ended short of the end of the file means: a bad
  // header is damage at the offset it names, and the file takes no change
  // from then on (a write would go where the blocks after the damage may
  // be whole); a torn tail is no damage (the next write cuts it away).
  void NoteWalkEnd(IFFBlocks::WalkEnd end, const IFFBlocks::WalkStop& stop);
  // Sets the error state to -302 and returns true when the walk met damage:
  // every operation that would change the file asks first.
  bool RefusesChange();
  bool WalkMetDamage() const { return fWalkMetDamage; }

  CTGFileManager& Manager() const { return fManager; }
  IFFBlocks& Blocks() { return fBlocks; }
  IFFIndex& Index() const { return *fIndex; }
  void SetActiveIndex(IFFIndex& index) { fIndex = &index; }

  // The block header that stores this entry with this many data bytes.
  virtual IFFBlockHeader MakeBlockHeader(const IFFEntry& entry, std::int32_t dataSize) const = 0;
  // The entry's name goes away with it (first version: its name-list entry).
  virtual void ForgetName(IFFEntry& entry) = 0;
  // A rebuild of unchanged art hands over the very bytes a block already
  // holds. Where the file answers yes, a replacement equal to its old block
  // keeps that block: no write, no disk work, nothing for a sync to wait
  // on. The file must then still end up with an index that lists the block.
  virtual bool KeepsUnchangedBlocks() { return false; }
  // True when some replacement kept its old block since the last call.
  bool TakeKeptUnchanged() { return std::exchange(fKeptUnchanged, false); }

  // Reads the data of the block at offset, which must be a live block of
  // the type spanning at most limit bytes; a block that is not reports and
  // gives -1.
  ResErr ReadBlock(std::int32_t offset, ResType type, std::int32_t limit, OwnedHandle& bytes);
  // The cached bytes of an entry, loaded from its block on first use; null
  // with the error state set when they cannot be had.
  MHandle LoadEntry(IFFEntry& entry, ResSwizzler swizzler);
  // Before a handle is cached under a new resource, any other entry caching
  // it lets go (written first if it lives only in memory).
  ResErr DetachFromOtherEntry(MHandle h, const IFFEntry* keeper);
  // Turns an existing entry into the slot for a replacement: its cached
  // handle is disposed of (unless it is `keep`) and its block is kept as the
  // replaced block until the new bytes are written.
  ResErr PrepareReplacement(IFFEntry& entry, MHandle keep);
  // Frees the entry's replaced block, if any.
  ResErr FreeReplacedBlock(IFFEntry& entry);
  // Frees the replaced block and makes the entry's pending block live.
  ResErr FinishReplacement(IFFEntry& entry);
  // Writes every entry that lives only in memory, then frees replaced
  // blocks a failed write left behind.
  ResErr WritePending(IFFIndex& index);
  // Disposes of every cached handle and forgets every entry.
  static void DiscardIndex(IFFIndex& index);
  // True when some entry of the index has a block that reaches past offset
  // (a block it is replacing counts too).
  static bool HasBlockFrom(const IFFIndex& index, std::int32_t offset);
  // Every block the index places, by offset and type, and how many: what a
  // compaction checks the walk against.
  static void CollectBlocks(const IFFIndex& index, std::unordered_map<std::int32_t, ResType>& blocks);
  // Makes the file's bytes durable and closes it; the first error wins.
  ResErr SyncAndClose(ResErr err, bool wrote);

  // Adds an entry for a live block found by walking. Every live block is a
  // resource of its own, even when another has the same type, id and
  // variant: a lookup finds the one enumeration shows first.
  IFFEntry* AddWalkedEntry(IFFIndex& index, std::int32_t offset, const IFFBlockHeader& header);
  // Notes a pending block found by walking, for the index given.
  void NoteWalkedPending(IFFIndex& index, std::int32_t offset, const IFFBlockHeader& header);
  // After the walk: a pending block whose type, id and variant no live
  // block has is the resource (describe names its new entry); any other is
  // a copy to free. Neither is written until SettleWalkedBlocks.
  void SettlePendingAfterWalk(const std::function<void(IFFEntry&, const IFFBlockHeader&)>& describe);
  // Makes the kept pending blocks live and frees the others; runs before
  // anything else in the file changes.
  ResErr SettleWalkedBlocks();
  void ForgetWalkedBlocks();

 private:
  ResErr WriteEntry(IFFEntry& entry, MHandle h);
  // True when the live block at offset has exactly this header and data;
  // false too when it cannot be read.
  bool BlockHolds(std::int32_t offset, const IFFBlockHeader& header,
                  std::span<const std::span<const std::uint8_t>> pieces);

  CTGFileManager& fManager;
  Version fVersion;
  std::optional<FileProblem> fProblem;
  bool fWalkMetDamage = false;
  bool fKeptUnchanged = false;
  IFFBlocks fBlocks;
  IFFIndex* fIndex = nullptr;
  struct WalkedPending {
    IFFIndex* index;
    std::int32_t offset;
    IFFBlockHeader header;
  };
  std::vector<WalkedPending> fWalkedPending;
  // Offset and type of the pending blocks to free, and to make live.
  std::vector<std::pair<std::int32_t, ResType>> fToFree;
  std::vector<std::pair<std::int32_t, ResType>> fToCommit;
};

}  // namespace pixmold
