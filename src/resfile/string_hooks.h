// Where the resource layer meets string sets. Resource files and Recon
// streams need string sets (GetIndString reads a STR# set; a Recon stream may
// keep its strings in a set of their own), but string sets are themselves
// read and written through resource files. Both go through replaceable
// hooks that start out as the string-set implementations below (tests put
// their own in); an empty hook makes GetIndString yield empty strings and a
// Recon stream's string table hold nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

// Loads the values of the STR# set `id` of `file` in the current language
// into `values` (index 0 holds string 1) and returns 0 or the file's error.
using StringListLoader = std::function<ResErr(iResFile& file, ResID id, std::vector<std::string>& values)>;

// Installs the loader and returns the previous one (empty: none).
// The default is LoadStringSetValues.
StringListLoader SetStringListLoader(StringListLoader loader);
StringListLoader CurrentStringListLoader();

// The strings of one Recon stream, kept as their own resource and numbered
// from 1 in the order the record names them.
class ReconStringTable {
 public:
  virtual ~ReconStringTable() = default;
  // String `index`; empty when the table has none.
  virtual std::string Get(int index) const = 0;
  virtual void Set(int index, std::string_view text) = 0;
  // Empties the table (a writing stream starts from nothing).
  virtual void Clear() = 0;
  // Stores the table as its own resource; 0 or the file's error.
  virtual ResErr Save() = 0;
};

// Makes the table bound to that file, type and id, loaded from the file when
// the resource exists; null when no table can be made.
using ReconStringTableFactory =
    std::function<std::unique_ptr<ReconStringTable>(iResFile& file, ResType type, ResID id)>;

// The default is MakeStringSetTable.
ReconStringTableFactory SetReconStringTableFactory(ReconStringTableFactory factory);
std::unique_ptr<ReconStringTable> MakeReconStringTable(iResFile& file, ResType type, ResID id);

// The string-set implementations (in string_set_file.cpp).
ResErr LoadStringSetValues(iResFile& file, ResID id, std::vector<std::string>& values);
std::unique_ptr<ReconStringTable> MakeStringSetTable(iResFile& file, ResType type, ResID id);

}  // namespace pixmold
