// A "bmpfile" tag: one picture file added as a BMP_ resource in the tag's
// language. Filed newest first, so when two tags name one id the earlier
// tag's picture is the one left in the file.
#pragma once

#include <string>

#include "builder/generic_spec.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;

class BMPResourceSpec : public GenericSpec {
 public:
  void Read(AttribTable& tag);
  ResErr Save(std::string_view directory, iResFile& file) const;

  const std::string& FileName() const { return fFileName; }

 private:
  std::string fFileName;
};

}  // namespace pixmold
