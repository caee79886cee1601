// Loads arbitrary bytes as a string set. The last input byte picks the mode
// (text form, loadAll, fallback, current language), so one target covers
// every layout and load path; whatever loads must survive an encode and
// reload unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/xassert.h"
#include "mute_asserts.h"
#include "resfile/string_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();
  std::span<const std::uint8_t> bytes(data, size);
  std::uint8_t mode = 0;
  if (!bytes.empty()) {
    mode = bytes.back();
    bytes = bytes.first(bytes.size() - 1);
  }
  const bool textForm = (mode & 1) != 0;
  const bool loadAll = (mode & 2) != 0;
  const bool fallback = (mode & 4) != 0;
  const int language = (mode >> 3) % pixmold::StringSet::kMaxLanguages;

  pixmold::StringSet set;
  set.Init(nullptr, 128, pixmold::MakeResType("STR#"), textForm, language);
  set.LoadBytes(bytes, loadAll, fallback);

  auto encoded = set.EncodeAllLanguages();
  if (!encoded) return 0;
  pixmold::StringSet back;
  back.Init(nullptr, 128, pixmold::MakeResType("STR#"), false, 0);
  if (back.LoadBytes(*encoded, true, false) != 0) std::abort();
  for (int l = 0; l < pixmold::StringSet::kMaxLanguages; ++l) {
    int count = set.Count(l);
    // A language the record leaves out comes back as English copies.
    if (count == 0) continue;
    if (back.Count(l) != count) std::abort();
    for (int i = 1; i <= count; ++i) {
      if (set.Value(i, l).value_or("") != back.Value(i, l).value_or("")) std::abort();
      if (set.Comment(i, l).value_or("") != back.Comment(i, l).value_or("")) std::abort();
    }
  }
  return 0;
}
