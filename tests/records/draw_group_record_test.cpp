#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "records/draw_group.h"
#include "resfile/recon_stream.h"
#include "support/assert_capture.h"
#include "support/object_file_fixture.h"
#include "support/record_bytes.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RecordBytes;

Bytes Encode(DrawGroup& group) {
  ReconStream sizing;
  group.Reconstitute(sizing);
  Bytes bytes(static_cast<std::size_t>(sizing.Position()));
  ReconStream writer = ReconStream::Writer(bytes, false);
  group.Reconstitute(writer);
  EXPECT_EQ(writer.Position(), sizing.Position());
  return bytes;
}

DrawGroup Decode(const Bytes& bytes, bool swap = false) {
  DrawGroup group;
  ReconStream reader = ReconStream::Reader(bytes, swap);
  group.Reconstitute(reader);
  return group;
}

// One line per image: "mask zoom:", then each item as
// "sprite/frame x,y altitude object-x,object-y flags".
std::string Summary(const DrawGroup& group) {
  std::ostringstream out;
  for (const DrawGroupImage& image : group.images) {
    out << image.directionMask << " " << static_cast<std::int32_t>(image.zoom) << ":";
    for (const DrawGroupItem& item : image.items) {
      out << " " << item.spriteId << "/" << item.frameIndex << " " << item.offsetX << "," << item.offsetY << " "
          << item.altitude << " " << item.objectX << "," << item.objectY << " "
          << static_cast<std::int32_t>(item.flags);
    }
    out << "\n";
  }
  return out.str();
}

DrawGroup Sample() {
  DrawGroup group;
  DrawGroupImage& image = group.AddImage();
  image.directionMask = 1u << 4;
  image.zoom = 2;
  image.InsertItem(DrawGroupItem{.spriteId = 300,
                                 .frameIndex = 5,
                                 .offsetX = -12,
                                 .offsetY = 34,
                                 .altitude = 1.5f,
                                 .objectX = -2.25f,
                                 .objectY = 8.0f,
                                 .flags = DrawGroupItem::kFlagMirrored | DrawGroupItem::kFlagLuminous},
                   -1);
  return group;
}

TEST(DrawGroupRecord, CurrentLayoutByteForByte) {
  DrawGroup empty;
  EXPECT_EQ(Encode(empty), (Bytes{0x24, 0x4E, 0, 0, 0, 0}));
  DrawGroup group = Sample();
  RecordBytes expected;
  expected.U16(20004).U32(1).U32(16).U32(2).U32(1);  // one image (direction 4, zoom 2) of one item
  expected.U32(300).U32(5).U32(static_cast<std::uint32_t>(-12)).U32(34).F32(1.5f).U32(5).F32(-2.25f).F32(8.0f);
  EXPECT_EQ(Encode(group), expected.bytes);
}

// Two images in 16-bit fields: three items of types sprite, other, sprite,
// then one item of another type; from 20001 each item carries an altitude.
Bytes OldRecord(std::uint16_t version) {
  RecordBytes old;
  old.U16(version).U16(2).U16(3).U16(0x8105);  // direction mask 5, zoom 0x81
  for (std::uint16_t i = 0; i < 3; ++i) {
    old.U16(i == 1 ? 7 : static_cast<std::uint16_t>(-3)).U16(200 + i).U16(1).U16(0xFFFF).U16(0xFFFD).U16(9);
    if (version >= 20001) old.F32(2.5f);
  }
  old.U16(1).U16(0x0101).U16(4).U16(0).U16(0).U16(0).U16(0).U16(0);
  if (version >= 20001) old.F32(0.0f);
  return old.bytes;
}

// Every stored layout reads to its items (old ones keep only sprite items),
// and saved again reads back the same.
TEST(DrawGroupRecord, EveryLayoutReadsAndSavesAgain) {
  DrawGroup sample = Sample();
  Bytes swapped = Encode(sample);
  // Every 16- and 32-bit integer reversed; the floats left as they lie.
  auto reverse = [&](std::size_t at, std::size_t width) {
    std::reverse(swapped.begin() + at, swapped.begin() + at + width);
  };
  reverse(0, 2);
  for (std::size_t at : {2, 6, 10, 14, 18, 22, 26, 30, 38}) reverse(at, 4);
  RecordBytes v20003;
  v20003.U16(20003).U32(1).U32(1).U32(3).U32(2);
  for (std::uint32_t item = 0; item < 2; ++item) v20003.U32(100 + item).U32(7).U32(1).U32(2).F32(0.5f).U32(4);
  const std::string oldWith = "5 -127: 200/1 -3,9 2.5 0,0 -1 202/1 -3,9 2.5 0,0 -1\n1 1:\n";
  const std::string oldWithout = "5 -127: 200/1 -3,9 0 0,0 -1 202/1 -3,9 0 0,0 -1\n1 1:\n";
  const struct {
    const char* name;
    Bytes bytes;
    bool swap;
    std::string summary;
  } cases[] = {
      {"20004", Encode(sample), false, "16 2: 300/5 -12,34 1.5 -2.25,8 5\n"},
      {"20004 swapped", swapped, true, "16 2: 300/5 -12,34 1.5 -2.25,8 5\n"},
      {"20003 has no object position", v20003.bytes, false, "1 3: 100/7 1,2 0.5 0,0 4 101/7 1,2 0.5 0,0 4\n"},
      {"20002", OldRecord(20002), false, oldWith},
      {"20001", OldRecord(20001), false, oldWith},
      {"20000 has no altitude", OldRecord(20000), false, oldWithout},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DrawGroup group = Decode(c.bytes, c.swap);
    EXPECT_EQ(Summary(group), c.summary);
    EXPECT_EQ(Summary(Decode(Encode(group))), c.summary);
  }
}

TEST(DrawGroupRecord, TruncatedRecordsAndHugeCountsAreRefused) {
  DrawGroup group = Sample();
  group.images[0].InsertItem(group.images[0].items[0], -1);
  const Bytes bytes = Encode(group);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    testing::AssertCapture asserts;
    DrawGroup back = Decode(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_GE(asserts.Count(), 1u) << cut;
    for (const auto& image : back.images) EXPECT_LE(image.items.size(), 2u);
  }
  testing::AssertCapture asserts;
  EXPECT_TRUE(Decode(RecordBytes().U16(20004).U32(0xFFFFFFFF).bytes).images.empty());
  EXPECT_GE(asserts.Count(), 1u);
}

TEST(DrawGroupRecord, SaveAndLoadThroughAFile) {
  testing::MemoryObjectFile object;
  testing::MemoryResFile& file = object.file;
  DrawGroup group = Sample();
  group.name = "Chair - facing";
  ASSERT_EQ(group.Save(file, 100), 0);
  const testing::StoredResource* stored = object.Find(MakeResType("DGRP"), 100);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->name + (stored->native ? " native" : ""), "Chair - facing native");
  EXPECT_EQ(stored->bytes, Encode(group));

  DrawGroup loaded;
  ASSERT_EQ(loaded.Load(file, 100), 0);
  EXPECT_EQ(loaded.name, "Chair - facing");
  EXPECT_EQ(Summary(loaded), Summary(group));
  EXPECT_NE(loaded.Load(file, 101), 0);

  file.FailNext(testing::MemoryResFile::Op::kAdd, res_error::kNotWritable);
  EXPECT_EQ(group.Save(file, 102), res_error::kNotWritable);
  file.FailNext(testing::MemoryResFile::Op::kWrite, res_error::kShortWrite);
  EXPECT_EQ(group.Save(file, 103), res_error::kShortWrite);
}

}  // namespace
}  // namespace pixmold
