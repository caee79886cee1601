#include "records/slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resfile/string_set.h"
#include "support/assert_capture.h"
#include "support/handle_bytes.h"
#include "support/object_file_fixture.h"
#include "support/record_bytes.h"

namespace pixmold {
namespace {

using testing::RecordBytes;

SlotList ReadSlots(const std::vector<std::uint8_t>& bytes, std::uint32_t* version = nullptr) {
  SlotList list;
  EXPECT_TRUE(list.FromHandle(testing::HandleOf(bytes).Get(), version));
  return list;
}

// One descriptor of each stored version, with what it must load as.
struct VersionCase {
  const char* name;
  std::uint32_t version;
  RecordBytes descriptor;
  SlotDescriptor expected;
};

SlotDescriptor Converted(SlotDescriptor slot) {
  // Every record older than 10 counts proximities in tiles.
  slot.minProximity *= 16;
  slot.maxProximity *= 16;
  slot.optimalProximity *= 16;
  slot.gradient /= 16.0f;
  return slot;
}

// A routing descriptor of version 8 or later: no position, seating or
// target, all three proximities `tiles`, gradient 1.6, then the words the
// version adds from the height on.
RecordBytes Late(std::uint32_t flags, std::uint32_t tiles, std::vector<std::uint32_t> tail) {
  RecordBytes r;
  r.U16(3).F32(0).F32(0).F32(0).U32(0).U32(0).U32(0).U32(flags);
  r.U32(0).U32(tiles).U32(tiles).U32(tiles).U32(0).U32(0).F32(1.6f);
  for (std::uint32_t word : tail) r.U32(word);
  return r;
}

SlotDescriptor LateSlot(std::uint32_t flags, std::int32_t tiles, std::uint32_t heightCode, std::int32_t facing,
                        std::int32_t resolution = 16) {
  return {.type = 3,
          .heightCode = heightCode,
          .flags = flags,
          .target = 0,
          .minProximity = tiles,
          .maxProximity = tiles,
          .optimalProximity = tiles,
          .gradient = 1.6f,
          .facing = facing,
          .resolution = resolution};
}

TEST(SlotsRecord, EveryStoredVersionLoadsAsVersion10) {
  const std::vector<VersionCase> cases = {
      {"v0 whole-number altitude", 0, RecordBytes().F32(1.5f).F32(-2).U16(3).U16(0),
       Converted({.type = 0, .x = 1.5f, .y = -2, .alt = 3})},
      {"v1 float altitude", 1, RecordBytes().F32(1).F32(2).F32(0.25f).U16(1),
       Converted({.type = 1, .x = 1, .y = 2, .alt = 0.25f})},
      {"v2 drops a word", 2, RecordBytes().F32(1).F32(2).F32(3).U16(3).U16(0xBEEF),
       Converted({.type = 3, .x = 1, .y = 2, .alt = 3})},
      {"v3 routing values", 3, RecordBytes().U16(3).F32(0).F32(0).F32(0).U32(4).U32(5).U32(6).U32(0x11),
       Converted({.type = 3, .standing = 4, .sitting = 5, .ground = 6, .flags = 0x11})},
      {"v5 proximities in tiles", 5,
       RecordBytes().U16(0).F32(0).F32(0).F32(0).U32(0).U32(0).U32(0).U32(0).U32(7).U32(2).U32(3).U32(1).U32(60).U32(1),
       Converted({.type = 0,
                  .maxSize = 60,
                  .surfaceFlags = 1,
                  .target = 7,
                  .minProximity = 2,
                  .maxProximity = 3,
                  .optimalProximity = 1})},
      {"v8 0x200 is facing not required", 8, Late(0x205, 1, {4}),
       Converted(LateSlot(0x5, 1, 4, SlotDescriptor::kFacingNotRequired))},
      {"v8 0x400 is the old facing", 8, Late(0x401, 1, {0}),
       Converted(LateSlot(0x1, 1, 0, SlotDescriptor::kFacingOld))},
      {"v9 keeps 0x200 but still scales", 9, Late(0x200, 2, {0, static_cast<std::uint32_t>(-3)}),
       Converted(LateSlot(0x200, 2, 0, -3))},
      {"v10 as stored", 10, Late(0x200, 2, {0, 4, 8}), LateSlot(0x200, 2, 0, 4, 8)},
  };
  for (const VersionCase& c : cases) {
    RecordBytes record;
    record.Header(c.version, "SLOT").U32(1);
    record.bytes.insert(record.bytes.end(), c.descriptor.bytes.begin(), c.descriptor.bytes.end());
    std::uint32_t version = 0;
    SlotList list = ReadSlots(record.bytes, &version);
    EXPECT_EQ(version, c.version) << c.name;
    ASSERT_EQ(list.slots.size(), 1u) << c.name;
    EXPECT_EQ(list.slots[0], c.expected) << c.name;
  }
}

TEST(SlotsRecord, WritesVersion10ByteForByteAndReadsItBack) {
  testing::MemoryObjectFile object;
  SlotList list;
  list.slots.push_back({.type = SlotDescriptor::kRouting, .x = 0.5f, .flags = 0x81, .gradient = 0.125f});
  ASSERT_EQ(list.Save(object.file, 200), 0);
  RecordBytes expected;
  expected.Header(10, "SLOT").U32(1);
  expected.U16(3).F32(0.5f).F32(0).F32(0).U32(0).U32(0).U32(0).U32(0x81).U32(static_cast<std::uint32_t>(-1));
  expected.U32(16).U32(16).U32(16).U32(0).U32(0).F32(0.125f).U32(0).U32(static_cast<std::uint32_t>(-2)).U32(16);
  const testing::StoredResource* stored = object.Find(SlotList::kType, 200);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->bytes, expected.bytes);

  SlotList back;
  std::uint32_t version = 0;
  ASSERT_EQ(back.Load(object.file, 200, &version), 0);
  EXPECT_EQ(version, 10u);
  EXPECT_EQ(back.slots, list.slots);
  EXPECT_NE(back.Load(object.file, 201), 0);
  EXPECT_TRUE(back.slots.empty());
}

TEST(SlotsRecord, SplitByKindWithPositionsAndLabels) {
  testing::MemoryObjectFile object;
  SlotList list;
  for (std::uint16_t type : {SlotDescriptor::kRouting, SlotDescriptor::kContainment, SlotDescriptor::kHandle,
                             SlotDescriptor::kSprite, SlotDescriptor::kRouting}) {
    list.slots.push_back({.type = type});
  }
  ASSERT_EQ(list.Save(object.file, 128), 0);
  StringSet labels;
  labels.SetValue(1, "front");
  ASSERT_EQ(labels.SaveSTR(&object.file, SlotList::kLabelSetId), 0);

  SplitSlots split;
  testing::AssertCapture asserts;
  ASSERT_TRUE(SlotList::LoadSplit(object.file, 128, split));
  EXPECT_TRUE(asserts.Saw("Unexpected slot type found - may ignore"));
  auto positions = [](const std::vector<PlacedSlot>& placed) {
    std::vector<int> out;
    for (const PlacedSlot& p : placed) out.push_back(p.position);
    return out;
  };
  EXPECT_EQ(positions(split.routing), (std::vector<int>{1, 5}));
  EXPECT_EQ(positions(split.containment), (std::vector<int>{2}));
  EXPECT_EQ(positions(split.sprites), (std::vector<int>{4}));
  EXPECT_EQ(SlotList::Label(object.file, 1), "front");
  EXPECT_EQ(SlotList::Label(object.file, 2), "");
  EXPECT_FALSE(SlotList::LoadSplit(object.file, 129, split));
}

}  // namespace
}  // namespace pixmold
