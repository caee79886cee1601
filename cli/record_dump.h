// Readable views of the records an object file holds, for people and for
// pipeline scripts that diff what a build wrote. Each record is described
// once, as a JSON value whose keys keep the record's field order; the text
// form is printed from the same value, so the two never disagree.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "resfile/res_file.h"

namespace pixmold::cli {

using OrderedJson = nlohmann::ordered_json;

// The record of that type held in `bytes` (the resource exactly as stored;
// `native` false when the file keeps it in the other byte order). `file` and
// `id` let a tree table find its menu texts. Nothing, with the reason in
// *error, for a type without a reader or a record that does not read.
std::optional<OrderedJson> DescribeRecord(iResFile& file, ResType type, ResID id, std::span<const std::uint8_t> bytes,
                                          bool native, std::string* error);

// The text form: one "key: value" line per field, nested values indented by
// two spaces, lists of plain values on one line.
void PrintReadable(std::ostream& out, const OrderedJson& value);

}  // namespace pixmold::cli
