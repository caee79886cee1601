// The passes whose generators and record writers are not part of this build
// yet. Each is called at its step so that a request switching it on runs in
// the right order, and says plainly in the report that it wrote nothing, so
// an artist never mistakes a skipped pass for a finished one.
#include "builder/output_passes.h"

#include <string>

#include "base/report.h"

namespace pixmold {
namespace {

void NotGenerated(std::string_view what) {
  std::string text(what);
  text += " not written: this version of pixmold does not generate them yet";
  Warning(text);
}

}  // namespace

void WriteSpriteLists(const BuildArgs&, iResFile&, BuildContext&) { NotGenerated("SPR# sprite lists"); }

}  // namespace pixmold
