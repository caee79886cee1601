#include "resfile/anim_table.h"

#include "base/ascii.h"

namespace pixmold {

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
