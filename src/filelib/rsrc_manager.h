// The resource manager finds loose resources (one file each, named as in
// rsrc_descriptor.h) by type and id or by type and name across the
// directories of a resolve site. It knows major types, each standing for an
// ordered list of minor types: a lookup of a major type tries its minor
// types in turn, so one request can be served by several file kinds. The
// system registers no major types of its own; callers may.
//
// Results: 0 found, 4 an error that ends the search, 5 not found, 6 out of
// memory. A found resource comes back in a packet with an open stream.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "filelib/rsrc_collection.h"
#include "filelib/rsrc_descriptor.h"
#include "filelib/rsrc_pkt.h"
#include "filelib/rsrc_site.h"

namespace pixmold {

class CTGFileManager;

class RsrcManager {
 public:
  static constexpr int kFound = 0;
  static constexpr int kError = 4;
  static constexpr int kNotFound = 5;
  static constexpr int kOutOfMemory = 6;

  explicit RsrcManager(CTGFileManager& files);
  // The process-wide manager over the process-wide file library.
  static RsrcManager& Get();

  int FindByID(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::int32_t id);
  int FindByName(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::string_view name);
  // One directory (ending in a separator, or empty for the working
  // directory); a name, an id (kNoID for none), or both.
  int LookInDirectory(RsrcPkt* outRsrc, RsrcType type, std::string_view dir, std::optional<std::string_view> name,
                      std::int32_t id);

  void AddMajorType(RsrcType major);
  // Appends a minor type to a major type's list; a major type cannot be one.
  void AddMinorType(RsrcType major, RsrcType minor);
  bool IsMajorType(RsrcType type) const;
  // Reported, and empty, for a type that is not major.
  std::vector<RsrcType> MinorTypes(RsrcType major) const;

  // Every loose resource of the site; where directories hold the same file
  // name, the first directory's.
  std::vector<RsrcEntry> List(const RsrcSite& site);
  // Opens an entry of List without searching for it again (a site of
  // thousands would be listed once per resource): kFound, or kNotFound
  // when its file is gone.
  int OpenListed(RsrcPkt* outRsrc, const RsrcEntry& entry);

  CTGFileManager& Files() const { return *mFiles; }

 private:
  // The type itself, or a major type's minor types.
  std::vector<RsrcType> LookupTypes(RsrcType type) const;
  int Find(RsrcPkt* outRsrc, const RsrcSite& site, RsrcType type, std::optional<std::string_view> name,
           std::int32_t id);
  bool Open(RsrcPkt* outRsrc, const std::string& path);

  CTGFileManager* mFiles;
  std::map<RsrcType, std::vector<RsrcType>> mMajorTypes;
};

}  // namespace pixmold
