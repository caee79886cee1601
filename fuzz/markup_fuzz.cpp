// Reads arbitrary bytes as a markup file, then walks, queries and dumps every
// tag. Assertion reports (a tag with too many entries) are expected and muted.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <streambuf>

#include "base/xassert.h"
#include "markup/memory_scanner.h"
#include "markup/tag_parser.h"
#include "mute_asserts.h"

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pixmold::MuteAssertReports();

  pixmold::MemoryScanner source(std::span<const std::uint8_t>(data, data == nullptr ? 0 : size));
  pixmold::TagList tags;
  pixmold::ReadTags(source, tags);

  for (const auto& table : tags) {
    // Lookups move the cursor, so the walk goes by index.
    for (std::int32_t i = 0; i < table->Size(); ++i) {
      std::string name = table->EntryAt(i)->fName;
      std::int32_t number = 0;
      table->GetInteger(name, number);
      (void)table->FindValue(name);
    }
    for (table->Rewind(); !table->Done(); table->Next()) {
      (void)table->Name();
      (void)table->Value();
    }
    (void)table->NameAt(0);
  }
  NullBuffer sink;
  std::ostream out(&sink);
  tags.Dump(out);
  tags.Dump(out, true);
  return 0;
}
