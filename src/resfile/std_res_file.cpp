#include "resfile/std_res_file.h"

#include "base/ascii.h"

namespace pixmold {

ResErr StdResFile::OpenFile(const CTGString& name) {
  ResErr err = SeqResFile::OpenFile(name);
  if (err != res_error::kNone) return err;
  iResFile* spf = nullptr;
  iResFile* iff = nullptr;
  for (int i = 0; i < CountFiles(); ++i) {
    std::string extension = ComponentExtension(i);
    if (EqualIgnoringCase(extension, ".spf")) spf = GetFile(i);
    if (EqualIgnoringCase(extension, ".iff")) iff = GetFile(i);
  }
  if (spf && iff) {
    for (ResType type : kGraphicsTypes) {
      ProhibitType(iff, type);
      ExclusiveType(spf, type);
    }
  }
  return err;
}

}  // namespace pixmold
