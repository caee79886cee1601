#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "records/draw_group.h"
#include "resfile/recon_stream.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutFloat(Bytes& out, float f) {
  std::uint8_t raw[4];
  std::memcpy(raw, &f, 4);
  out.insert(out.end(), raw, raw + 4);
}

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
  DrawGroupItem item;
  item.spriteId = 300;
  item.frameIndex = 5;
  item.offsetX = -12;
  item.offsetY = 34;
  item.altitude = 1.5f;
  item.objectX = -2.25f;
  item.objectY = 8.0f;
  item.flags = DrawGroupItem::kFlagMirrored | DrawGroupItem::kFlagLuminous;
  image.InsertItem(item, -1);
  return group;
}

TEST(DrawGroupRecord, EmptyGroupIsSixBytes) {
  DrawGroup group;
  EXPECT_EQ(Encode(group), (Bytes{0x24, 0x4E, 0, 0, 0, 0}));
}

TEST(DrawGroupRecord, CurrentLayoutByteForByte) {
  DrawGroup group = Sample();
  Bytes expected;
  Put16(expected, 20004);
  Put32(expected, 1);
  Put32(expected, 16);
  Put32(expected, 2);
  Put32(expected, 1);
  Put32(expected, 300);
  Put32(expected, 5);
  Put32(expected, static_cast<std::uint32_t>(-12));
  Put32(expected, 34);
  PutFloat(expected, 1.5f);
  Put32(expected, 5);
  PutFloat(expected, -2.25f);
  PutFloat(expected, 8.0f);
  const Bytes bytes = Encode(group);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.size(), 6u + 12u + 32u);

  DrawGroup back = Decode(bytes);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(back.images[0].directionMask, 16u);
  EXPECT_EQ(back.images[0].zoom, 2u);
  EXPECT_EQ(back.images[0].items, group.images[0].items);
}

TEST(DrawGroupRecord, Version20003LoadsWithoutPositionsAndSavesLonger) {
  Bytes old;
  Put16(old, 20003);
  Put32(old, 1);
  Put32(old, 1);
  Put32(old, 3);
  Put32(old, 2);
  for (int item = 0; item < 2; ++item) {
    Put32(old, 100 + item);
    Put32(old, 7);
    Put32(old, 1);
    Put32(old, 2);
    PutFloat(old, 0.5f);
    Put32(old, 4);
  }
  DrawGroup group = Decode(old);
  ASSERT_EQ(group.images.size(), 1u);
  ASSERT_EQ(group.images[0].items.size(), 2u);
  EXPECT_EQ(group.images[0].items[1].spriteId, 101);
  EXPECT_EQ(group.images[0].items[1].altitude, 0.5f);
  EXPECT_EQ(group.images[0].items[1].objectX, 0.0f);
  EXPECT_EQ(group.images[0].items[1].flags, 4u);
  EXPECT_EQ(Encode(group).size(), old.size() + 2 * 8);
}

Bytes OldRecord(std::uint16_t version, std::int8_t zoom) {
  Bytes old;
  Put16(old, version);
  Put16(old, 2);  // images
  Put16(old, 3);  // items of image 0
  old.push_back(0x05);
  old.push_back(static_cast<std::uint8_t>(zoom));
  const std::int16_t types[] = {-3, 7, -3};
  for (int i = 0; i < 3; ++i) {
    Put16(old, static_cast<std::uint16_t>(types[i]));
    Put16(old, static_cast<std::uint16_t>(200 + i));
    Put16(old, 1);
    Put16(old, 0xFFFF);  // flags -1
    Put16(old, static_cast<std::uint16_t>(-3));
    Put16(old, 9);
    if (version >= 20001) PutFloat(old, 2.5f);
  }
  Put16(old, 1);  // image 1: one item, dropped
  old.push_back(0x01);
  old.push_back(1);
  Put16(old, 4);
  for (int i = 0; i < 5; ++i) Put16(old, 0);
  if (version >= 20001) PutFloat(old, 0.0f);
  return old;
}

TEST(DrawGroupRecord, OldLayoutKeepsOnlySpriteItems) {
  for (std::uint16_t version : {std::uint16_t{20000}, std::uint16_t{20001}, std::uint16_t{20002}}) {
    DrawGroup group = Decode(OldRecord(version, static_cast<std::int8_t>(0x81)));
    ASSERT_EQ(group.images.size(), 2u) << version;
    EXPECT_EQ(static_cast<std::int32_t>(group.images[0].zoom), -127);
    EXPECT_EQ(group.images[0].directionMask, 5u);
    ASSERT_EQ(group.images[0].items.size(), 2u);
    EXPECT_EQ(group.images[0].items[0].spriteId, 200);
    EXPECT_EQ(group.images[0].items[1].spriteId, 202);
    EXPECT_EQ(group.images[0].items[1].offsetX, -3);
    EXPECT_EQ(static_cast<std::int32_t>(group.images[0].items[1].flags), -1);
    EXPECT_EQ(group.images[0].items[1].altitude, version >= 20001 ? 2.5f : 0.0f);
    EXPECT_TRUE(group.images[1].items.empty());
    // Saved again it is a current record.
    EXPECT_EQ(Decode(Encode(group)).images[0].items, group.images[0].items);
  }
}

TEST(DrawGroupRecord, SwappedStreamsSwapIntegersButNotFloats) {
  DrawGroup group = Sample();
  Bytes bytes = Encode(group);
  // Reverse every 16- and 32-bit integer; leave the floats as they lie.
  Bytes swapped = bytes;
  auto reverse = [&](std::size_t at, std::size_t width) { std::reverse(swapped.begin() + at, swapped.begin() + at + width); };
  reverse(0, 2);
  for (std::size_t at : {2, 6, 10, 14, 18, 22, 26, 30}) reverse(at, 4);
  reverse(38, 4);  // flags
  DrawGroup back = Decode(swapped, true);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(back.images[0].items, group.images[0].items);
}

TEST(DrawGroupRecord, EveryTruncationLoadsWhatWasIntact) {
  DrawGroup group = Sample();
  group.images[0].InsertItem(group.images[0].items[0], -1);
  const Bytes bytes = Encode(group);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    testing::AssertCapture asserts;
    Bytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    DrawGroup back = Decode(part);
    EXPECT_GE(asserts.Count(), 1u) << cut;
    for (const auto& image : back.images) EXPECT_LE(image.items.size(), 2u);
  }
}

TEST(DrawGroupRecord, HugeCountsAreRefused) {
  testing::AssertCapture asserts;
  Bytes bytes;
  Put16(bytes, 20004);
  Put32(bytes, 0xFFFFFFFF);
  DrawGroup group = Decode(bytes);
  EXPECT_TRUE(group.images.empty());
  EXPECT_GE(asserts.Count(), 1u);
}

TEST(DrawGroupRecord, SaveAndLoadThroughAFile) {
  testing::MemoryDisk disk;
  disk.files["chair.spf"];
  testing::MemoryResFile file(disk);
  ASSERT_EQ(file.OpenFile("chair.spf"), 0);
  DrawGroup group = Sample();
  group.name = "Chair - facing";
  ASSERT_EQ(group.Save(file, 100), 0);
  const testing::StoredResource* stored = disk.Find("chair.spf", MakeResType("DGRP"), 100);
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
