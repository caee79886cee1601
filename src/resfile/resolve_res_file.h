// A resolve site of the resource manager presented as a resource file: the
// loose resources of one or more directories ("#id#name.EXT" files), read
// only. An object's ".dir" component is one, so resources can be dropped
// into a directory beside the object's containers and be found by the same
// reads.
//
// A file name keeps only three characters of the type, so a type is matched
// by those three (without regard to case), and listing a site names each
// type by the first resource type of the system that begins with them.
// Only resources with an id in 0..32766 are listed: the others cannot be
// addressed as resources.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "filelib/rsrc_manager.h"
#include "resfile/res_file.h"

namespace pixmold {

class ResolveResFile : public iResFile {
 public:
  explicit ResolveResFile(RsrcManager& manager = RsrcManager::Get());
  ~ResolveResFile() override;

  // True when the site holds resources of the type.
  virtual bool HasResType(ResType type);

  // Makes the directory; deletes it only when it holds nothing.
  ResErr CreateFile(const CTGString& name) override;
  ResErr DeleteFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  ResErr SuspendFile() override;
  ResErr ResumeFile() override;
  ResErr CloseFile() override;
  ResErr UpdateFile() override;
  bool IsWritable() override { return false; }
  ResErr GetFileName(CTGString& name) override;
  bool IsOpen() override { return fSite != nullptr; }
  std::int32_t CountTypes() override;
  ResType GetIndType(std::int32_t index) override;
  std::int32_t CountResources(ResType type) override;
  MHandle GetResource(ResType type, ResID id, ResSwizzler swizzler) override;
  MHandle GetNamedResource(ResType type, const CTGString& name, ResSwizzler swizzler) override;
  MHandle GetIndResource(ResType type, std::int32_t index, ResSwizzler swizzler) override;
  void GetResName(MHandle h, CTGString& name) override;
  ResType GetResType(MHandle h) override;
  ResID GetResID(MHandle h, ResID& id) override;
  void UniqueName(ResType type, CTGString& name) override;
  ResID UniqueID(ResType type) override;
  ResErr ReleaseResource(MHandle h) override;
  bool IsResourceNative(MHandle h) override;
  // A site is read only: these give -45.
  ResErr AddResource(MHandle h, ResType type, ResID id, const CTGString& name, bool native) override;
  ResErr WriteResource(MHandle h) override;
  ResErr RemoveResource(MHandle h) override;
  ResErr SetResInfo(MHandle h, ResID id, const CTGString& name, std::uint8_t variant) override;

  // The normalised form of a site path: "\\" becomes "/", leading "./" go.
  static std::string NormalisePath(std::string_view name);
  // The full type a three-character file type stands for.
  static ResType TypeOfExtension(RsrcType extension);

 private:
  struct Cached {
    MHandle handle;
    ResType type;
    ResID id;
    std::string name;
  };

  // Thunks need a site; its absence is reported and gives -49.
  bool HasSite();
  // The site's listing, read once per open (enumeration by index asks for
  // it once per resource, and a site may hold thousands): one resource per
  // type and id, the types in order of first appearance, and where each
  // type's resources are in it.
  struct Listing {
    std::vector<RsrcEntry> entries;
    std::vector<ResType> types;
    std::unordered_map<RsrcType, std::vector<std::size_t>> byKey;
  };
  const Listing& Listed();
  // Positions in the listing of the resources of the type (matched by its
  // three characters).
  const std::vector<std::size_t>& EntriesOf(ResType type);
  Cached* FindCached(MHandle h);
  MHandle FromPacket(RsrcPkt& pkt, int result, ResType type, ResErr notFound);
  void DropCache();

  RsrcManager& fManager;
  std::unique_ptr<RsrcSite> fSite;
  std::string fPath;
  std::string fSuspended;
  std::vector<Cached> fCache;
  std::optional<Listing> fListing;
};

}  // namespace pixmold
