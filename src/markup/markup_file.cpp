#include "markup/markup_file.h"

#include "markup/flat_file_buffer.h"
#include "markup/tag_parser.h"

namespace pixmold {

ResErr ReadMarkupFile(FlatFile& file, TagList& tags) {
  FlatFileBuffer buffer(&file);
  ReadTags(buffer, tags);
  return res_error::kNone;
}

}  // namespace pixmold
