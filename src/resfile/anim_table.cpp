#include "resfile/anim_table.h"

#include "base/ascii.h"

namespace pixmold {

ResErr AnimTable::Load(iResFile* file, ResID id) {
  StringSet loaded;
  ResErr err = loaded.LoadSTR(file, id, false);
  if (err != res_error::kNone) return err;
  Absorb(loaded);
  return res_error::kNone;
}

void AnimTable::Absorb(const StringSet& loaded) {
  int count = loaded.Count();
  for (int index = 1; index <= count; ++index) {
    auto kept = Value(index);
    if (kept && !kept->empty()) continue;
    while (Count() < index - 1) SetValue(Count() + 1, "");
    SetValue(index, LowerAscii(loaded.Value(index).value_or("")));
  }
}

}  // namespace pixmold
