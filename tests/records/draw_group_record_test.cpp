#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "records/draw_group.h"
#include "resfile/recon_stream.h"
#include "support/assert_capture.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian record bytes written field by field.
struct Out {
  Out& U16(std::uint16_t v) { return Put(v, 2); }
  Out& U32(std::uint32_t v) { return Put(v, 4); }
  Out& F32(float f) {
    std::uint32_t raw;
    std::memcpy(&raw, &f, 4);
    return Put(raw, 4);
  }
  Out& Put(std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes bytes;
};

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
  Out expected;
  expected.U16(20004).U32(1).U32(16).U32(2).U32(1);  // one image (direction 4, zoom 2) of one item
  expected.U32(300).U32(5).U32(static_cast<std::uint32_t>(-12)).U32(34).F32(1.5f).U32(5).F32(-2.25f).F32(8.0f);
  EXPECT_EQ(Encode(group), expected.bytes);
  DrawGroup back = Decode(expected.bytes);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(back.images[0].directionMask, 16u);
  EXPECT_EQ(back.images[0].zoom, 2u);
  EXPECT_EQ(back.images[0].items, group.images[0].items);
}

TEST(DrawGroupRecord, Version20003LoadsWithoutPositionsAndSavesLonger) {
  Out old;
  old.U16(20003).U32(1).U32(1).U32(3).U32(2);
  for (std::uint32_t item = 0; item < 2; ++item) old.U32(100 + item).U32(7).U32(1).U32(2).F32(0.5f).U32(4);
  DrawGroup group = Decode(old.bytes);
  ASSERT_EQ(group.images.size(), 1u);
  ASSERT_EQ(group.images[0].items.size(), 2u);
  const DrawGroupItem& second = group.images[0].items[1];
  EXPECT_EQ(second.spriteId, 101);
  EXPECT_EQ(second.altitude, 0.5f);
  EXPECT_EQ(second.objectX, 0.0f);
  EXPECT_EQ(second.flags, 4u);
  EXPECT_EQ(Encode(group).size(), old.bytes.size() + 2 * 8);
}

// Two images in 16-bit fields: three items of types sprite, other, sprite,
// then one item of another type; from 20001 each item carries an altitude.
Bytes OldRecord(std::uint16_t version) {
  Out old;
  old.U16(version).U16(2).U16(3).Put(0x8105, 2);  // direction mask 5, zoom 0x81
  for (std::uint16_t i = 0; i < 3; ++i) {
    old.U16(i == 1 ? 7 : static_cast<std::uint16_t>(-3)).U16(200 + i).U16(1).U16(0xFFFF).U16(0xFFFD).U16(9);
    if (version >= 20001) old.F32(2.5f);
  }
  old.U16(1).Put(0x0101, 2).U16(4).U16(0).U16(0).U16(0).U16(0).U16(0);
  if (version >= 20001) old.F32(0.0f);
  return old.bytes;
}

TEST(DrawGroupRecord, OldLayoutsKeepOnlySpriteItems) {
  for (std::uint16_t version : {20000, 20001, 20002}) {
    SCOPED_TRACE(version);
    DrawGroup group = Decode(OldRecord(version));
    ASSERT_EQ(group.images.size(), 2u);
    EXPECT_EQ(static_cast<std::int32_t>(group.images[0].zoom), -127);
    EXPECT_EQ(group.images[0].directionMask, 5u);
    ASSERT_EQ(group.images[0].items.size(), 2u);
    const DrawGroupItem& second = group.images[0].items[1];
    EXPECT_EQ(group.images[0].items[0].spriteId, 200);
    EXPECT_EQ(second.spriteId, 202);
    EXPECT_EQ(second.offsetX, -3);
    EXPECT_EQ(static_cast<std::int32_t>(second.flags), -1);
    EXPECT_EQ(second.altitude, version >= 20001 ? 2.5f : 0.0f);
    EXPECT_TRUE(group.images[1].items.empty());
    // Saved again it is a current record.
    EXPECT_EQ(Decode(Encode(group)).images[0].items, group.images[0].items);
  }
}

TEST(DrawGroupRecord, SwappedStreamsSwapIntegersButNotFloats) {
  DrawGroup group = Sample();
  Bytes swapped = Encode(group);
  // Reverse every 16- and 32-bit integer; leave the floats as they lie.
  auto reverse = [&](std::size_t at, std::size_t width) {
    std::reverse(swapped.begin() + at, swapped.begin() + at + width);
  };
  reverse(0, 2);
  for (std::size_t at : {2, 6, 10, 14, 18, 22, 26, 30, 38}) reverse(at, 4);
  DrawGroup back = Decode(swapped, true);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(back.images[0].items, group.images[0].items);
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
  EXPECT_TRUE(Decode(Out().U16(20004).U32(0xFFFFFFFF).bytes).images.empty());
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
  EXPECT_EQ(stored->name, "Chair - facing");
  EXPECT_TRUE(stored->native);
  EXPECT_EQ(stored->bytes, Encode(group));

  DrawGroup loaded;
  ASSERT_EQ(loaded.Load(file, 100), 0);
  EXPECT_EQ(loaded.name, "Chair - facing");
  EXPECT_EQ(loaded.images[0].items, group.images[0].items);
  EXPECT_NE(loaded.Load(file, 101), 0);

  file.FailNext(testing::MemoryResFile::Op::kAdd, res_error::kNotWritable);
  EXPECT_EQ(group.Save(file, 102), res_error::kNotWritable);
  file.FailNext(testing::MemoryResFile::Op::kWrite, res_error::kShortWrite);
  EXPECT_EQ(group.Save(file, 103), res_error::kShortWrite);
}

}  // namespace
}  // namespace pixmold
