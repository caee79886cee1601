// Files that are cut short or damaged: every one opens (or fails with a code
// of the layer), shows exactly the resources that are still whole, and never
// makes the reader crash, loop or read out of bounds.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/temp_dir.h"

namespace pixmold {
namespace {

using testing::AppendBlock1;
using testing::AppendBlock2;
using testing::AssertCapture;
using testing::BE32At;
using testing::Bytes;
using testing::FileBytes;
using testing::HandleOf;
using testing::MapEntrySpec;
using testing::MapRecord;
using testing::MapTypeSpec;
using testing::Pattern;
using testing::PutBE32At;
using testing::RawBlocks;
using testing::ResKey;
using testing::ResValue;
using testing::Snapshot;
using testing::TakeSnapshot;
using testing::WriteFileBytes;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kNAME = MakeResType("NAME");

// What a second-version file holds by its block headers alone: every live
// block other than a map that ends at or before `end`.
Snapshot BlocksBefore(const Bytes& file, std::size_t end) {
  Snapshot snapshot;
  for (const auto& block : RawBlocks(file, 76)) {
    if (block.offset + block.size > end) break;
    if ((block.flags & kInvalid) || block.type == kResMapType) continue;
    const auto id = static_cast<ResID>((file[block.offset + 8] << 8) | file[block.offset + 9]);
    const auto* nameField = reinterpret_cast<const char*>(&file[block.offset + 12]);
    std::string name(nameField, strnlen(nameField, 63));
    ResKey key{block.type, id, static_cast<std::uint8_t>(block.flags >> 8)};
    if (snapshot.count(key)) continue;  // the first block of a key is the one found
    snapshot[key] = ResValue{name, Bytes(file.begin() + static_cast<std::ptrdiff_t>(block.offset + 76),
                                         file.begin() + static_cast<std::ptrdiff_t>(block.offset + block.size))};
  }
  return snapshot;
}

class IFFDamagedTest : public ::testing::Test {
 protected:
  // A version 2.5 file with a map; with mapInTheMiddle, the map lands in a
  // hole before the last resources, so a cut can spare the map but not them.
  std::string MappedFile(bool mapInTheMiddle) {
    std::string path = dir.File(mapInTheMiddle ? "middle.iff" : "end.iff");
    IFFResFile2 file;
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 6; ++id) {
      MHandle h = HandleOf(Pattern(id == 3 ? 400 : 30 + id, id));
      EXPECT_EQ(file.AddVariantResource(h, id % 2 ? kSPR2 : kSTR, id, CTGString(id % 3 ? "name" : ""),
                                        id == 4 ? 2 : 0, true),
                res_error::kNone);
      EXPECT_EQ(file.WriteResource(h), res_error::kNone);
    }
    EXPECT_EQ(file.CloseFile(), res_error::kNone);
    if (mapInTheMiddle) {
      EXPECT_EQ(file.OpenFile(path), res_error::kNone);
      MHandle big = file.GetResource(kSPR2, 3, nullptr);
      EXPECT_EQ(file.RemoveResource(big), res_error::kNone);
      EXPECT_EQ(file.CloseFile(), res_error::kNone);
    }
    return path;
  }

  testing::MemoryScratchDir dir;
};

TEST_F(IFFDamagedTest, MapInTheMiddleIsSetUpAsIntended) {
  Bytes bytes = FileBytes(MappedFile(true));
  const std::uint32_t map = BE32At(bytes, 60);
  auto blocks = RawBlocks(bytes, 76);
  ASSERT_FALSE(blocks.empty());
  EXPECT_LT(map + BE32At(bytes, map + 4), bytes.size()) << "resources follow the map";
}

TEST_F(IFFDamagedTest, EveryCutOfASecondVersionFileShowsTheWholeBlocksBeforeIt) {
  for (bool middle : {false, true}) {
    const Bytes full = FileBytes(MappedFile(middle));
    // The map serves as long as every block it lists is whole; free blocks
    // after them may go.
    std::size_t listedEnd = 0;
    for (const auto& block : RawBlocks(full, 76)) {
      if (!(block.flags & kInvalid)) listedEnd = block.offset + block.size;
    }
    EXPECT_EQ(listedEnd < full.size(), middle);
    const std::string cutPath = dir.File("cut.iff");
    AssertCapture reports;
    for (std::size_t length = 0; length <= full.size(); ++length) {
      WriteFileBytes(cutPath, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
      IFFResFile2 file;
      const ResErr err = file.OpenFile(cutPath);
      if (length < 64) {
        EXPECT_EQ(err, res_error::kShortRead) << length;
        continue;
      }
      ASSERT_EQ(err, res_error::kNone) << length;
      EXPECT_EQ(TakeSnapshot(file), BlocksBefore(full, length)) << "cut at " << length << (middle ? " (map in the middle)" : "");
      EXPECT_EQ(file.OpenedByMap(), length >= listedEnd) << length;
    }
  }
}

TEST_F(IFFDamagedTest, EveryCutOfAFirstVersionFileShowsTheWholeBlocksBeforeIt) {
  std::string path = dir.File("first.iff");
  {
    IFFResFile file;
    ASSERT_EQ(file.CreateFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 5; ++id) {
      MHandle h = HandleOf(Pattern(20 + id * 3, id));
      ASSERT_EQ(file.AddResource(h, kSTR, id, CTGString(id % 2 ? "odd" : ""), true), res_error::kNone);
      ASSERT_EQ(file.WriteResource(h), res_error::kNone);
    }
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  const Bytes full = FileBytes(path);
  const std::string cutPath = dir.File("cut.iff");
  AssertCapture reports;
  for (std::size_t length = 0; length <= full.size(); ++length) {
    WriteFileBytes(cutPath, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
    IFFResFile file;
    const ResErr err = file.OpenFile(cutPath);
    if (length < 64) {
      EXPECT_EQ(err, res_error::kShortRead) << length;
      continue;
    }
    ASSERT_EQ(err, res_error::kNone) << length;
    std::set<ResID> expected;
    for (const auto& block : RawBlocks(full, 16)) {
      if (block.offset + block.size > length) break;
      if (block.type == kSTR) expected.insert(static_cast<ResID>((full[block.offset + 8] << 8) | full[block.offset + 9]));
    }
    std::set<ResID> found;
    for (std::int32_t i = 1; i <= file.CountResources(kSTR); ++i) {
      MHandle h = file.GetIndResource(kSTR, i, nullptr);
      ASSERT_NE(h, nullptr);
      ResID id = 0;
      file.GetResID(h, id);
      EXPECT_EQ(testing::BytesOf(h), Pattern(20 + static_cast<std::size_t>(id) * 3, static_cast<std::uint32_t>(id)));
      found.insert(id);
      file.ReleaseAndDispose(h);
    }
    EXPECT_EQ(found, expected) << "cut at " << length;
  }
}

// A hand-made file: header, blocks, and a map block listing them.
struct Crafted {
  Bytes bytes = testing::Header2('5', 0);
  std::vector<MapEntrySpec> strs;

  std::uint32_t Add(ResID id, const Bytes& data, std::string_view name = "") {
    const auto offset = static_cast<std::uint32_t>(bytes.size());
    AppendBlock2(bytes, kSTR, id, kNativeFlag, name, data);
    strs.push_back({offset, id, kNativeFlag, std::string(name)});
    return offset;
  }
  void AddMap(const Bytes& record) {
    PutBE32At(bytes, 60, static_cast<std::uint32_t>(bytes.size()));
    AppendBlock2(bytes, kResMapType, 0, kNativeFlag, "", record);
  }
};

struct DamageCase {
  const char* what;
  std::function<void(Crafted&)> damage;
  const char* report;  // a report the open must make, or ""
  bool byMap;
};

// Keeps test listings short: the case's description instead of its bytes.
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class IFFDamagedMapTest : public IFFDamagedTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(IFFDamagedMapTest, OpenFallsBackToTheBlocks) {
  const DamageCase& c = GetParam();
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.Add(2, {2, 2, 2}, "two");
  c.damage(crafted);
  std::string path = dir.File("damaged.iff");
  WriteFileBytes(path, crafted.bytes);

  AssertCapture reports;
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  if (*c.report) {
    EXPECT_TRUE(reports.Saw(c.report)) << c.what;
  }
  EXPECT_EQ(file.OpenedByMap(), c.byMap) << c.what;
  EXPECT_EQ(TakeSnapshot(file), BlocksBefore(crafted.bytes, crafted.bytes.size())) << c.what;
  // The file stays usable: a resource added now is there after closing.
  MHandle h = HandleOf(Bytes{9});
  ASSERT_EQ(file.AddResource(h, kSPR2, 9, "", true), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  IFFResFile2 reopened;
  ASSERT_EQ(reopened.OpenFile(path), res_error::kNone);
  Snapshot after = TakeSnapshot(reopened);
  EXPECT_EQ(after.count({kSPR2, 9, 0}), 1u) << c.what;
  EXPECT_EQ(after.count({kSTR, 1, 0}), 1u) << c.what;
}

MapTypeSpec StrType(const Crafted& c) { return {kSTR, c.strs}; }

const DamageCase kDamageCases[] = {
    {"good map", [](Crafted& c) { c.AddMap(MapRecord(0, {StrType(c)})); }, "", true},
    {"map offset past the end", [](Crafted& c) { PutBE32At(c.bytes, 60, 1u << 20); }, "corrupt map found.", false},
    {"map offset into a block's data",
     [](Crafted& c) {
       c.AddMap(MapRecord(0, {StrType(c)}));
       PutBE32At(c.bytes, 60, 64 + 76);
     },
     "corrupt map found.", false},
    {"map offset inside the header", [](Crafted& c) { PutBE32At(c.bytes, 60, 10); }, "corrupt map found.", false},
    {"type count far beyond the bytes", [](Crafted& c) { c.AddMap(MapRecord(0, {StrType(c)}, 0x7FFFFFFF)); },
     "couldn't load map", false},
    {"negative entry count",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.countOverride = 0xFFFFFFFF;
       c.AddMap(MapRecord(0, {type}));
     },
     "couldn't load map", false},
    {"entry count one too many",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.countOverride = 3;
       c.AddMap(MapRecord(0, {type}));
     },
     "couldn't load map", false},
    {"cut-off record",
     [](Crafted& c) {
       Bytes record = MapRecord(0, {StrType(c)});
       record.resize(record.size() - 5);
       c.AddMap(record);
     },
     "couldn't load map", false},
    {"record of another type",
     [](Crafted& c) {
       Bytes record = MapRecord(0, {StrType(c)});
       record[8] = 'X';
       c.AddMap(record);
     },
     "", false},
    {"entries overlapping",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.entries[1].offset = type.entries[0].offset + 10;
       c.AddMap(MapRecord(0, {type}));
     },
     "corrupt map found.", false},
    {"two entries at one offset",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.entries[1].offset = type.entries[0].offset;
       c.AddMap(MapRecord(0, {type}));
     },
     "corrupt map found.", false},
    {"entry past the end",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.entries[1].offset = 0x7FFFFFF0;
       c.AddMap(MapRecord(0, {type}));
     },
     "corrupt map found.", false},
    {"entry inside the map block",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.entries[1].offset = static_cast<std::uint32_t>(c.bytes.size() + 80);
       c.AddMap(MapRecord(0, {type}));
     },
     "corrupt map found.", false},
    {"entry marked free",
     [](Crafted& c) {
       MapTypeSpec type = StrType(c);
       type.entries[0].flags |= kInvalid;
       c.AddMap(MapRecord(0, {type}));
     },
     "corrupt map found.", false},
    {"map listing a map",
     [](Crafted& c) {
       c.AddMap(MapRecord(0, {StrType(c), MapTypeSpec{kResMapType, {{64, 0, kNativeFlag, ""}}}}));
     },
     "got saved map wihtin map", false},
    {"block after the map cut short",
     [](Crafted& c) {
       c.AddMap(MapRecord(0, {StrType(c)}));
       const auto offset = static_cast<std::uint32_t>(c.bytes.size());
       AppendBlock2(c.bytes, kSTR, 3, kNativeFlag, "", Bytes(50, 3));
       c.strs.push_back({offset, 3, kNativeFlag, ""});
       Bytes record = MapRecord(0, {StrType(c)});
       // Rewrite the map in place with the third entry, then cut the block.
       const std::uint32_t map = BE32At(c.bytes, 60);
       c.bytes.resize(map);
       c.AddMap(record);
       AppendBlock2(c.bytes, kSTR, 3, kNativeFlag, "", Bytes(50, 3));
       PutBE32At(c.bytes, 60, map);
       c.bytes.resize(c.bytes.size() - 20);
     },
     "corrupt map found.", false},
    {"block size zero in the middle",
     [](Crafted& c) {
       c.AddMap(MapRecord(0, {StrType(c)}));
       PutBE32At(c.bytes, 60, 0);
       PutBE32At(c.bytes, c.strs[1].offset + 4, 0);
     },
     "bad header found", false},
    {"block size below a header",
     [](Crafted& c) { PutBE32At(c.bytes, c.strs[1].offset + 4, 75); }, "bad header found", false},
    {"block size past the end",
     [](Crafted& c) { PutBE32At(c.bytes, c.strs[1].offset + 4, 0x40000000); }, "bad header found", false},
    {"garbage after the blocks",
     [](Crafted& c) { c.bytes.insert(c.bytes.end(), {'j', 'u', 'n', 'k'}); }, "bad header found", false},
    {"name without its zero byte",
     [](Crafted& c) {
       std::fill(c.bytes.begin() + c.strs[0].offset + 12, c.bytes.begin() + c.strs[0].offset + 76, 'z');
     },
     "", false},
};

std::string CaseName(const ::testing::TestParamInfo<DamageCase>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IFFDamagedMapTest, ::testing::ValuesIn(kDamageCases), CaseName);

TEST_F(IFFDamagedTest, BlockLargerThanTheMapAllowsIsNotRead) {
  Crafted crafted;
  crafted.Add(1, Bytes(10, 1));
  crafted.Add(2, Bytes(10, 2));
  // The first block claims to run over the second.
  PutBE32At(crafted.bytes, crafted.strs[0].offset + 4, 76 + 20);
  crafted.AddMap(MapRecord(0, {MapTypeSpec{kSTR, crafted.strs}}));
  std::string path = dir.File("overlap.iff");
  WriteFileBytes(path, crafted.bytes);
  AssertCapture reports;
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_TRUE(file.OpenedByMap());
  EXPECT_EQ(file.GetResource(kSTR, 1, nullptr), nullptr);
  EXPECT_EQ(file.GetError(), -1);
  EXPECT_TRUE(reports.Saw("bad size"));
  EXPECT_NE(file.GetResource(kSTR, 2, nullptr), nullptr);
}

TEST_F(IFFDamagedTest, CutOffAppendIsReusedByTheNextWrite) {
  std::string path = MappedFile(false);
  Bytes bytes = FileBytes(path);
  PutBE32At(bytes, 60, 0);
  // A free header announcing a block whose bytes never arrived.
  const std::size_t tail = bytes.size();
  AppendBlock2(bytes, kFreeBlockType, 0, kInvalid, "", Bytes(500, 0));
  bytes.resize(tail + 100);
  WriteFileBytes(path, bytes);
  const Snapshot before = BlocksBefore(bytes, tail);

  AssertCapture reports;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    EXPECT_EQ(TakeSnapshot(file), before);
    MHandle h = HandleOf(Bytes{4, 2});
    ASSERT_EQ(file.AddResource(h, kSTR, 42, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Snapshot expected = before;
  expected[{kSTR, 42, 0}] = {"", Bytes{4, 2}};
  EXPECT_EQ(TakeSnapshot(file), expected) << "the walk reaches the new block";
}

TEST_F(IFFDamagedTest, FirstVersionJunkNameListAndBadBlocks) {
  struct Case {
    const char* what;
    Bytes names;
  };
  Bytes emptyList = {0, 0, 0, 0, 0, 0, 0, 0, 'E', 'M', 'A', 'N', 0, 0, 0, 0};
  Bytes hugeCount = emptyList;
  hugeCount[12] = 0xFF;
  hugeCount[13] = 0xFF;
  hugeCount[14] = 0xFF;
  hugeCount[15] = 0x7F;
  Bytes cutString = {0, 0, 0, 0, 0, 0, 0, 0, 'E', 'M', 'A', 'N', 1, 0, 0, 0, 1, 0, 0, 0, 'a', 'b', 'c'};
  const Case cases[] = {
      {"random bytes", Pattern(64, 5)},
      {"too short for a header", Bytes{1, 2, 3}},
      {"count beyond the bytes", hugeCount},
      {"string without its end", cutString},
      {"empty", Bytes{}},
  };
  for (const Case& c : cases) {
    Bytes bytes = testing::Header1();
    AppendBlock1(bytes, kNAME, 1, kInternalFlag | kNativeFlag, -1, c.names);
    AppendBlock1(bytes, kSTR, 1, kNativeFlag, 1, {1});
    AppendBlock1(bytes, kSTR, 2, kNativeFlag, -1, {2});
    std::string path = dir.File("junk.iff");
    WriteFileBytes(path, bytes);
    AssertCapture reports;
    IFFResFile file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone) << c.what;
    EXPECT_EQ(file.CountResources(kSTR), 2) << c.what;
    MHandle h = file.GetResource(kSTR, 1, nullptr);
    ASSERT_NE(h, nullptr) << c.what;
    CTGString name;
    file.GetResName(h, name);
    file.ReleaseAndDispose(h);
    EXPECT_EQ(file.CloseFile(), res_error::kNone) << c.what;
  }
  // A block whose size is zero ends the walk instead of repeating it forever.
  Bytes bytes = testing::Header1();
  AppendBlock1(bytes, kSTR, 1, kNativeFlag, -1, {1});
  const std::size_t bad = bytes.size();
  AppendBlock1(bytes, kSTR, 2, kNativeFlag, -1, {2});
  PutBE32At(bytes, bad + 4, 0);
  std::string path = dir.File("zero.iff");
  WriteFileBytes(path, bytes);
  AssertCapture reports;
  IFFResFile file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_EQ(file.CountResources(kSTR), 1);
}

TEST_F(IFFDamagedTest, MapThatMislabelsABlockNeverFreesIt) {
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.Add(2, {2, 2}, "two");
  MapTypeSpec wrong = {MakeResType("OBJD"), {crafted.strs[0]}};
  crafted.AddMap(MapRecord(0, {wrong, MapTypeSpec{kSTR, {crafted.strs[1]}}}));
  std::string path = dir.File("mislabelled.iff");
  WriteFileBytes(path, crafted.bytes);
  AssertCapture reports;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_TRUE(file.OpenedByMap());
    EXPECT_EQ(file.GetResource(MakeResType("OBJD"), 1, nullptr), nullptr);
    EXPECT_TRUE(reports.Saw("got different type in header"));
    // Replacing what the map calls OBJD 1 must not free the STR# block.
    MHandle h = HandleOf(Bytes{7});
    ASSERT_EQ(file.AddResource(h, MakeResType("OBJD"), 1, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSTR, 1, 0}), 1u);
  EXPECT_EQ(found.count({kSTR, 2, 0}), 1u);
  EXPECT_EQ(found.count({MakeResType("OBJD"), 1, 0}), 1u);
}

TEST_F(IFFDamagedTest, DamageBeforeTheMapIsNotCutAway) {
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.Add(2, {2, 2, 2}, "two");
  // Free space on record, so that a new block is looked for by walking.
  crafted.AddMap(MapRecord(100, {MapTypeSpec{kSTR, crafted.strs}}));
  // The second block's size now ends one byte early: a walk stops there.
  PutBE32At(crafted.bytes, crafted.strs[1].offset + 4, 76 + 2);
  std::string path = dir.File("early.iff");
  WriteFileBytes(path, crafted.bytes);
  AssertCapture reports;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_TRUE(file.OpenedByMap());
    MHandle h = HandleOf(Bytes{9, 9});
    ASSERT_EQ(file.AddResource(h, kSPR2, 9, "", true), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
    EXPECT_TRUE(reports.Saw("corrupt map found.")) << "the blocks disagree with the map";
    EXPECT_FALSE(reports.Saw("error occurred invalidating map header")) << "the old map was cut away";
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(file.OpenedByMap());
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSTR, 1, 0}), 1u);
  EXPECT_EQ(found.count({kSPR2, 9, 0}), 1u);
}

TEST_F(IFFDamagedTest, CutOffTailBehindAMappedFileIsCutBeforeTheNextBlock) {
  // The map sits before the last resource, and a crash left a cut-off
  // block behind everything the map lists.
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  const std::size_t mapAt = crafted.bytes.size();
  // Lay out: STR 1, map, STR 2, cut-off block.
  const std::uint32_t second = static_cast<std::uint32_t>(
      mapAt + 76 + MapRecord(0, {MapTypeSpec{kSTR, {crafted.strs[0], {0, 2, kNativeFlag, ""}}}}).size());
  crafted.strs.push_back({second, 2, kNativeFlag, ""});
  crafted.AddMap(MapRecord(0, {MapTypeSpec{kSTR, crafted.strs}}));
  ASSERT_EQ(crafted.bytes.size(), second);
  AppendBlock2(crafted.bytes, kSTR, 2, kNativeFlag, "", {2, 2});
  const std::size_t tail = crafted.bytes.size();
  AppendBlock2(crafted.bytes, kFreeBlockType, 0, kInvalid, "", Bytes(300, 0));
  crafted.bytes.resize(tail + 120);
  std::string path = dir.File("tail.iff");
  WriteFileBytes(path, crafted.bytes);

  AssertCapture reports;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_TRUE(file.OpenedByMap());
    MHandle h = HandleOf(Bytes{5, 5, 5});
    ASSERT_EQ(file.AddResource(h, kSPR2, 5, "", true), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  }
  // Whether or not a map is written, the blocks alone hold everything.
  ASSERT_EQ(IFFResFile2().ClearMap(path), res_error::kNone);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSTR, 1, 0}), 1u);
  EXPECT_EQ(found.count({kSTR, 2, 0}), 1u);
  EXPECT_EQ(found.count({kSPR2, 5, 0}), 1u) << "the new block went behind the debris";
}

TEST_F(IFFDamagedTest, ListedResourceWhoseHeaderSaysFreeIsNeverReused) {
  Crafted crafted;
  crafted.Add(1, Bytes(40, 1), "one");
  crafted.Add(2, Bytes(40, 2), "two");
  crafted.Add(3, Bytes(40, 3), "three");
  crafted.AddMap(MapRecord(500, {MapTypeSpec{kSTR, crafted.strs}}));
  // The map lists STR# 2, but its header calls it free space.
  crafted.bytes[crafted.strs[1].offset + 11] |= kInvalid;
  std::string path = dir.File("contradicted.iff");
  WriteFileBytes(path, crafted.bytes);
  AssertCapture reports;
  {
    IFFResFile2 file;
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_TRUE(file.OpenedByMap());
    MHandle first = file.GetResource(kSTR, 1, nullptr);
    ASSERT_EQ(file.RemoveResource(first), res_error::kNone);
    MHandle h = HandleOf(Bytes(100, 9));
    ASSERT_EQ(file.AddResource(h, kSPR2, 9, "", true), res_error::kNone);
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
  EXPECT_TRUE(reports.Saw("corrupt map found."));
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_TRUE(file.OpenedByMap());
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSPR2, 9, 0}), 1u);
  EXPECT_EQ(found.count({kSTR, 3, 0}), 1u);
}

TEST_F(IFFDamagedTest, TypeZeroIsAType) {
  Bytes bytes = testing::Header2('5', 0);
  AppendBlock2(bytes, 0, 1, kNativeFlag, "", {1});
  std::string path = dir.File("zero.iff");
  WriteFileBytes(path, bytes);
  IFFResFile2 file;
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_EQ(file.CountTypes(), 1);
  EXPECT_EQ(file.GetIndType(1), 0u);
  EXPECT_EQ(file.GetError(), res_error::kNone);
  EXPECT_EQ(file.CountResources(0), 1);
}

}  // namespace
}  // namespace pixmold
