// The markup grammar, which is purely lexical. A tag is whatever stands
// between "<" and the next ">"; text outside tags is skipped (there is no
// other comment syntax). Inside a tag there are names, optional "=value"
// parts, whitespace and quotes:
//
//   <sprite name=chair "file"="Chair A.tga" flag>
//
// Unquoted letters are folded to lower case, so names and values must be
// quoted to keep capitals or to hold whitespace; quoted text is stored without
// its quotes. The byte 0x22 and the typographic double quotes 0xD2 and 0xD3
// (files edited on older desktop systems carry them) all open and close a
// quote, any one closing a quote opened by another. Reading never fails: the
// end of the input, or a zero byte, ends the text, and a tag cut short is
// still delivered with what it holds.
#pragma once

#include "markup/attrib_table.h"
#include "markup/char_scanner.h"
#include "markup/markup_scanner.h"
#include "markup/tag_list.h"

namespace pixmold {

// Parses the tag the scanner stands in (after SkipToNextTag) into the table,
// up to the 0 that ends it.
void ParseTag(MarkupScanner& scanner, AttribTable& table);

// Reads every tag of the source, each into a new table appended to the list.
void ReadTags(CharScanner& source, TagList& tags);

}  // namespace pixmold
