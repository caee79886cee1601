#!/usr/bin/env bash
# Mutation check of the tests: applies a fixed list of small faults to src/
# one at a time (a flipped comparison, a dropped bounds check, an off-by-one
# size, a swapped byte order, a skipped write), rebuilds the release build,
# runs the test program that owns the code, and restores the file. A fault is
# caught when the build or a test fails. Prints one line per fault and the
# total; exits 1 when a fault's text is no longer found (the list needs
# updating), so a stale list cannot pass unnoticed.
#
#   bash scripts/mutate.sh            every fault
#   bash scripts/mutate.sh imaging    only faults whose test program is test_imaging
#
# Needs a configured release build (bash scripts/build.sh release) and a tree
# whose src/ has no uncommitted changes: each file is restored from git.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/release
only=${1:-}
[ -f "$build/build.ninja" ] || { echo "mutate: configure $build first (bash scripts/build.sh release)" >&2; exit 2; }
if ! git diff --quiet -- src; then
  echo "mutate: src/ has uncommitted changes; commit or stash them first" >&2
  exit 2
fi
export CCACHE_DIR=${CCACHE_DIR:-/root/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=1

# file | test program | text to replace (must occur exactly once) | replacement
mapfile -t faults <<'LIST'
src/imaging/tga_parser.cpp|imaging|if (bitsPerPixel != 24 && bitsPerPixel != 32) return|if (false) return
src/imaging/tga_parser.cpp|imaging|fileSize - pixelOffset < fewestBytes|fileSize - pixelOffset < 0
src/imaging/tga_parser.cpp|imaging|const std::uint32_t pixelOffset = kHeaderSize + idLength;|const std::uint32_t pixelOffset = kHeaderSize + idLength + 1;
src/imaging/tga_parser.cpp|imaging|const int count = (header & 0x7F) + 1;|const int count = (header & 0x7F);
src/imaging/tga_parser.cpp|imaging|if (header & 0x80) {|if (header & 0x40) {
src/imaging/tga_parser.cpp|imaging|if (colourMapType != 0) return tga_error::kColourMapped;|
src/imaging/bmp_parser.cpp|imaging|const std::size_t padding = (4 - rowSize % 4) % 4;|const std::size_t padding = (4 - rowSize % 4);
src/imaging/bmp_parser.cpp|imaging|row = std::max(row - dy, -1);|row = std::max(row + dy, -1);
src/imaging/bmp_parser.cpp|imaging|if (value & 1) in.Skip|if (value & 2) in.Skip
src/imaging/bmp_parser.cpp|imaging|if (fColourCount > kMaxColours) {|if (fColourCount > kMaxColours + 1) {
src/imaging/bmp_format.cpp|imaging|header.fileSize = in.U32();|header.fileSize = in.U16();
src/imaging/bmp_format.cpp|imaging|info.biWidth = in.I32();|info.biWidth = in.I16();
src/imaging/pal_wrap.cpp|imaging|      reader.Skip(1);\n|
src/imaging/palette_resource.cpp|imaging|StoreU32(out, 4, 256, ByteOrder::kLittle);|StoreU32(out, 4, 256, ByteOrder::kBig);
src/imaging/palette_resource.cpp|imaging|if (reader.Failed()) return std::nullopt;|
src/imaging/spr_list.cpp|imaging|return Count(list) <= (list.size() - kSprListHeaderSize) / 4;|return true;
src/imaging/spr_decoder.cpp|imaging|if (n > fOut.width - fColumn) return false;|if (n > fOut.width - fColumn + 1) return false;
src/imaging/spr_decoder.cpp|imaging|if (offset < tableEnd \|\| offset >= list.size()) {|if (offset >= list.size()) {
src/imaging/spr_decoder.cpp|imaging|if (pos & 1) ++pos;|
src/imaging/spr_decoder.cpp|imaging|value = static_cast<std::uint8_t>(value + fSettings.shade1Low);|value = static_cast<std::uint8_t>(value + fSettings.shade2Low);
src/imaging/sprite2_compressor.cpp|imaging|StoreU16(frame, 10, clearColour, ByteOrder::kLittle);|StoreU16(frame, 10, clearColour, ByteOrder::kBig);
src/imaging/sprite2_compressor.cpp|imaging|static_cast<std::uint16_t>(empty ? 0 : rect.top - reference.top)|static_cast<std::uint16_t>(empty ? 0 : rect.top - reference.top + 1)
src/imaging/spr_frame_encoder.cpp|imaging|StoreU16(fOut, 4, static_cast<std::uint16_t>(fBounds.Height()), ByteOrder::kLittle);|StoreU16(fOut, 4, static_cast<std::uint16_t>(fBounds.Width()), ByteOrder::kLittle);
src/resfile/string_set_layouts.cpp|resfile|if (entry.language != previous) index = 1;|
src/resfile/string_set_layouts.cpp|resfile|out[at++] = static_cast<std::uint8_t>(language + 1);|out[at++] = static_cast<std::uint8_t>(language);
src/resfile/string_set_layouts.cpp|resfile|if (cursor.Failed() \|\| count > 0x7FFF) return res_error::kShortRead;|if (cursor.Failed()) return res_error::kShortRead;
src/resfile/string_set_layouts.cpp|resfile|if (static_cast<unsigned char>(c) == 0xA1) c = 'o';|
src/resfile/iff_format.cpp|resfile|StoreU32(all, 4, static_cast<std::uint32_t>(header.size), ByteOrder::kBig);|StoreU32(all, 4, static_cast<std::uint32_t>(header.size), ByteOrder::kLittle);
src/resfile/iff_format.cpp|resfile|header.flags = LoadU16(all, 10, ByteOrder::kBig);|header.flags = LoadU16(all, 8, ByteOrder::kBig);
src/resfile/iff_format.cpp|resfile|StoreU32(bytes, 12, static_cast<std::uint32_t>(header.nameIndex), ByteOrder::kBig);|
src/resfile/iff_blocks.cpp|resfile|StoreU16(flags, 0, static_cast<std::uint16_t>(header.flags \| kInvalid), ByteOrder::kBig);|StoreU16(flags, 0, header.flags, ByteOrder::kBig);
src/resfile/recon_stream.cpp|resfile|return LoadU32(std::span<const std::uint8_t>(fIn + at, 4), 0, fSwap ? ByteOrder::kBig : ByteOrder::kLittle);|return LoadU32(std::span<const std::uint8_t>(fIn + at, 4), 0, ByteOrder::kLittle);
src/resfile/recon_stream.cpp|resfile|if (fMarkAt >= 0) Store32(fMarkAt, static_cast<std::uint32_t>(fPosition));|
src/resfile/flat_file.cpp|resfile|if (file->Size() > kMaxFileSize) {|if (file->Size() > kMaxFileSize * 0 + 8) {
src/filelib/far_format.cpp|filelib|if (static_cast<std::int64_t>(count) * kFARMinEntrySize > room) {|if (false) {
src/filelib/far_format.cpp|filelib|if (count == 0 \|\| count >= kFARMaxEntries) {|if (count >= kFARMaxEntries) {
src/filelib/far_format.cpp|filelib|if (segment == "..") return {};|
src/filelib/memory_file_system.cpp|filelib|    if (ParentKey(file) == key) return false;\n|
src/markup/scan_integer.cpp|markup|if (negative) magnitude = 0u - magnitude;|
src/markup/scan_integer.cpp|markup|bool IsDigit(char c) { return c >= '0' && c <= '9'; }|bool IsDigit(char c) { return c >= '0' && c < '9'; }
src/base/pstring.cpp|base|if (text.size() > kMaxLength) {|if (text.size() > kMaxLength + 1) {
src/base/report.cpp|base|"warning: line: " + std::to_string(*line) + " - "|"warning: line: " + std::to_string(*line + 1) + " - "
src/records/obj_definition.cpp|records|return LoadU16(fBytes, offset, ByteOrder::kLittle);|return LoadU16(fBytes, offset, ByteOrder::kBig);
src/records/draw_group_record.cpp|records|if (version < kFirstNewLayout) {|if (version <= kFirstNewLayout) {
src/builder/attrib_readers.cpp|builder|if (entry->fValue == "true") {|if (entry->fValue == "true" \|\| entry->fValue == "yes") {
src/builder/tag_dispatch.cpp|builder|return state.*Current == nullptr;|return true;
src/builder/run_build.cpp|builder|if (row.checkWritable) CheckWritable(*file);|
src/builder/run_build.cpp|builder|if (!args.SelectsDrawGroup(group->Id())) continue;|
LIST

caught=0
total=0
stale=0
for fault in "${faults[@]}"; do
  IFS='|' read -r file program old new <<<"$(printf '%s' "$fault" | sed 's/\\|/\x01/g')"
  old=${old//$'\x01'/|}
  new=${new//$'\x01'/|}
  [ -n "$only" ] && [ "$program" != "$only" ] && continue
  total=$((total + 1))
  if ! python3 - "$file" "$old" "$new" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
  then
    echo "STALE   $file: $old"
    stale=$((stale + 1))
    continue
  fi
  if ! ninja -C "$build" "test_$program" >/dev/null 2>&1; then
    verdict="caught (build)"
  elif ! timeout 600 "$build/tests/test_$program" >/dev/null 2>&1; then
    verdict="caught"
  else
    verdict="MISSED"
  fi
  git checkout -q -- "$file"
  [ "$verdict" != "MISSED" ] && caught=$((caught + 1))
  printf '%-15s %s: %s\n' "$verdict" "$file" "$old"
done
# Leave the build matching the restored tree.
ninja -C "$build" >/dev/null 2>&1
echo "mutations caught: $caught of $total"
[ "$stale" -eq 0 ]
