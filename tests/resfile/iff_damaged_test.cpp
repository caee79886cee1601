// Files that are cut short or damaged: every one opens (or fails with a code
// of the layer), shows exactly the resources that are still whole, and never
// makes the reader crash, loop or read out of bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "iff_test_util.h"
#include "resfile/iff_format.h"
#include "resfile/iff_res_file.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

// What a file holds by its block headers alone: every live block other than
// a map or a name list that ends at or before `end`. First-version blocks
// (16-byte headers) keep their names elsewhere: their names are left empty.
Snapshot BlocksBefore(const Bytes& file, std::size_t end, std::size_t header = 76) {
  Snapshot snapshot;
  for (const auto& block : RawBlocks(file, header)) {
    if (block.offset + block.size > end) break;
    if ((block.flags & kInvalid) || block.type == kResMapType || block.type == kNameListType) continue;
    const auto* nameField = reinterpret_cast<const char*>(&file[block.offset + 12]);
    std::string name = header == 76 ? std::string(nameField, strnlen(nameField, 63)) : "";
    ResKey key{block.type, block.id, static_cast<std::uint8_t>(block.flags >> 8)};
    if (snapshot.count(key)) continue;  // the first block of a key is the one found
    snapshot[key] = ResValue{name, Bytes(file.begin() + static_cast<std::ptrdiff_t>(block.offset + header),
                                         file.begin() + static_cast<std::ptrdiff_t>(block.offset + block.size))};
  }
  return snapshot;
}

// A resource map's bytes as a Recon record (12-byte header, then
// little-endian fields; strings end with a zero byte and an even length),
// built by hand so that tests can damage any field.
struct MapEntrySpec {
  std::uint32_t offset;
  ResID id;
  std::uint16_t flags;
  std::string name;
};
struct MapTypeSpec {
  ResType type;
  std::vector<MapEntrySpec> entries;
  std::int64_t countOverride = -1;  // a count that lies, when not -1
};

Bytes MapRecord(std::int32_t freeTotal, const std::vector<MapTypeSpec>& types, std::int64_t typeCountOverride = -1) {
  Bytes bytes(8, 0);
  AppendLE(bytes, MakeResType("rsmp"), 4);
  AppendLE(bytes, static_cast<std::uint32_t>(freeTotal), 4);
  AppendLE(bytes, static_cast<std::uint32_t>(typeCountOverride >= 0 ? typeCountOverride : types.size()), 4);
  for (const auto& type : types) {
    AppendLE(bytes, type.type, 4);
    AppendLE(bytes, static_cast<std::uint32_t>(type.countOverride >= 0 ? type.countOverride : type.entries.size()), 4);
    for (const auto& entry : type.entries) {
      AppendLE(bytes, entry.offset, 4);
      AppendLE(bytes, static_cast<std::uint16_t>(entry.id), 2);
      AppendLE(bytes, entry.flags, 2);
      bytes.insert(bytes.end(), entry.name.begin(), entry.name.end());
      bytes.resize(bytes.size() + 2 - entry.name.size() % 2, 0);
    }
  }
  return bytes;
}

class IFFDamagedTest : public ::testing::Test {
 protected:
  // A version 2.5 file with a map; with mapInTheMiddle, the map lands in a
  // hole before the last resources, so a cut can spare the map but not them.
  std::string MappedFile(bool mapInTheMiddle) {
    std::string path = dir.File(mapInTheMiddle ? "middle.iff" : "end.iff");
    IFFResFile2 file;
    file.DeleteFile(path);  // made anew for each case of a test
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 6; ++id) {
      MHandle h = HandleOf(Pattern(id == 3 ? 400 : 30 + id, id));
      EXPECT_EQ(
          file.AddVariantResource(h, id % 2 ? kSPR2 : kSTR, id, CTGString(id % 3 ? "name" : ""), id == 4 ? 2 : 0, true),
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
  std::string FirstVersionFile() {
    std::string path = dir.File("first.iff");
    IFFResFile file;
    EXPECT_EQ(file.CreateFile(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    for (ResID id = 1; id <= 5; ++id) {
      MHandle h = HandleOf(Pattern(20 + id * 3, id));
      EXPECT_EQ(file.AddResource(h, kSTR, id, CTGString(id % 2 ? "odd" : ""), true), res_error::kNone);
    }
    EXPECT_EQ(file.CloseFile(), res_error::kNone);
    return path;
  }

  testing::MemoryScratchDir dir;
};

TEST_F(IFFDamagedTest, EveryCutShowsTheWholeBlocksBeforeIt) {
  // Second-version files with the map at the end and in the middle; a
  // first-version file.
  for (int kind : {0, 1, 2}) {
    const bool first = kind == 2;
    const Bytes full = ReadAll(first ? FirstVersionFile() : MappedFile(kind == 1));
    const std::size_t header = first ? 16 : 76;
    // The map serves as long as every block it lists is whole; free blocks
    // after them may go.
    std::size_t listedEnd = 0;
    for (const auto& block : RawBlocks(full, header)) {
      if (!(block.flags & kInvalid)) listedEnd = block.offset + block.size;
    }
    EXPECT_EQ(listedEnd < full.size(), kind == 1);
    const std::string cutPath = dir.File("cut.iff");
    AssertCapture reports;
    for (std::size_t length = 0; length <= full.size(); ++length) {
      WriteFileBytes(cutPath, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
      IFFResFile2 second;
      IFFResFile firstFile;
      IFFContainer& file = first ? static_cast<IFFContainer&>(firstFile) : second;
      const ResErr err = file.OpenFile(cutPath);
      if (length < 64) {
        EXPECT_EQ(err, res_error::kShortRead) << length;
        continue;
      }
      ASSERT_EQ(err, res_error::kNone) << length;
      Snapshot found = TakeSnapshot(file);
      for (auto& [key, value] : found) value.name = first ? "" : value.name;
      EXPECT_EQ(found, BlocksBefore(full, length, header)) << "file " << kind << " cut at " << length;
      EXPECT_EQ(second.OpenedByMap(), !first && length >= listedEnd) << length;
    }
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
  // A fragment of the damage the walk names, after which the file takes no
  // change; "" for a file that stays usable.
  const char* walkDamage = "";
  std::size_t damagedBlock = 1;  // which STR# block the damage is named at
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
  const std::vector<FileProblem> problems = file.Problems();
  MHandle h = HandleOf(Bytes{9});
  if (*c.walkDamage) {
    // Damage the walk cannot see past: the blocks after it may be whole, so
    // nothing is written, not even at close.
    ASSERT_EQ(problems.size(), 1u) << c.what;
    EXPECT_NE(problems[0].Text().find(c.walkDamage), std::string::npos) << problems[0].Text();
    EXPECT_EQ(problems[0].offset, crafted.strs[c.damagedBlock].offset) << c.what;
    EXPECT_EQ(file.AddResource(h, kSPR2, 9, "", true), res_error::kDamaged) << c.what;
    DisposeHandle(h);
    EXPECT_EQ(file.RemoveResource(file.GetResource(kSTR, 1, nullptr)), res_error::kDamaged) << c.what;
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    EXPECT_EQ(ReadAll(path), crafted.bytes) << c.what;
    return;
  }
  EXPECT_TRUE(problems.empty()) << c.what << ": " << ProblemsText(problems);
  // The file stays usable: a resource added now is there after closing.
  ASSERT_EQ(file.AddResource(h, kSPR2, 9, "", true), res_error::kNone);
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  IFFResFile2 reopened;
  ASSERT_EQ(reopened.OpenFile(path), res_error::kNone);
  Snapshot after = TakeSnapshot(reopened);
  EXPECT_EQ(after.count({kSPR2, 9, 0}) + after.count({kSTR, 1, 0}), 2u) << c.what;
}

MapTypeSpec StrType(const Crafted& c) { return {kSTR, c.strs}; }

// A map listing the blocks, with its STR# entries changed by `change`.
std::function<void(Crafted&)> MapWith(std::function<void(MapTypeSpec&, Crafted&)> change) {
  return [change](Crafted& c) {
    MapTypeSpec type = StrType(c);
    change(type, c);
    c.AddMap(MapRecord(0, {type}));
  };
}

// A map record changed by `change` before it is stored.
std::function<void(Crafted&)> RecordWith(std::function<void(Bytes&)> change) {
  return [change](Crafted& c) {
    Bytes record = MapRecord(0, {StrType(c)});
    change(record);
    c.AddMap(record);
  };
}

// A good map, then `change`.
std::function<void(Crafted&)> MapThen(std::function<void(Crafted&)> change) {
  return [change](Crafted& c) {
    c.AddMap(MapRecord(0, {StrType(c)}));
    change(c);
  };
}

void AddMapAndCutTheBlockAfterIt(Crafted& c) {
  c.strs.push_back({0, 3, kNativeFlag, ""});
  const std::size_t mapSize = 76 + MapRecord(0, {StrType(c)}).size();
  c.strs.back().offset = static_cast<std::uint32_t>(c.bytes.size() + mapSize);
  c.AddMap(MapRecord(0, {StrType(c)}));
  AppendBlock2(c.bytes, kSTR, 3, kNativeFlag, "", Bytes(50, 3));
  c.bytes.erase(c.bytes.end() - 20, c.bytes.end());
}

void ZeroTheMiddleBlockSize(Crafted& c) {
  PutBE32At(c.bytes, 60, 0);
  PutBE32At(c.bytes, c.strs[1].offset + 4, 0);
}

const char* const kCorrupt = "corrupt map found.";

const DamageCase kDamageCases[] = {
    {"good map", MapWith([](MapTypeSpec&, Crafted&) {}), "", true},
    {"map offset past the end", [](Crafted& c) { PutBE32At(c.bytes, 60, 1u << 20); }, kCorrupt, false},
    {"map offset into a block's data", MapThen([](Crafted& c) { PutBE32At(c.bytes, 60, 64 + 76); }), kCorrupt, false},
    {"map offset to a resource block", MapThen([](Crafted& c) { PutBE32At(c.bytes, 60, 64); }), kCorrupt, false},
    {"map offset to a free block", MapThen([](Crafted& c) {
       PutBE32At(c.bytes, 60, static_cast<std::uint32_t>(c.bytes.size()));
       AppendBlock2(c.bytes, kFreeBlockType, 0, kInvalid, "", {0, 0, 0});
     }),
     kCorrupt, false},
    {"map offset inside the header", [](Crafted& c) { PutBE32At(c.bytes, 60, 10); }, kCorrupt, false},
    {"type count far beyond the bytes", [](Crafted& c) { c.AddMap(MapRecord(0, {StrType(c)}, 0x7FFFFFFF)); },
     "couldn't load map", false},
    {"negative entry count", MapWith([](MapTypeSpec& t, Crafted&) { t.countOverride = 0xFFFFFFFF; }),
     "couldn't load map", false},
    {"entry count one too many", MapWith([](MapTypeSpec& t, Crafted&) { t.countOverride = 3; }), "couldn't load map",
     false},
    {"cut-off record", RecordWith([](Bytes& r) { r.erase(r.end() - 5, r.end()); }), "couldn't load map", false},
    {"record of another type", RecordWith([](Bytes& r) { r[8] = 'X'; }), "", false},
    {"entries overlapping", MapWith([](MapTypeSpec& t, Crafted&) { t.entries[1].offset = t.entries[0].offset + 10; }),
     kCorrupt, false},
    {"two entries at one offset", MapWith([](MapTypeSpec& t, Crafted&) { t.entries[1].offset = t.entries[0].offset; }),
     kCorrupt, false},
    {"entry past the end", MapWith([](MapTypeSpec& t, Crafted&) { t.entries[1].offset = 0x7FFFFFF0; }), kCorrupt,
     false},
    {"entry inside the map block",
     MapWith([](MapTypeSpec& t, Crafted& c) { t.entries[1].offset = static_cast<std::uint32_t>(c.bytes.size() + 80); }),
     kCorrupt, false},
    {"entry marked free", MapWith([](MapTypeSpec& t, Crafted&) { t.entries[0].flags |= kInvalid; }), kCorrupt, false},
    {"map listing a map",
     [](Crafted& c) {
       c.AddMap(MapRecord(0, {StrType(c), MapTypeSpec{kResMapType, {{64, 0, kNativeFlag, ""}}}}));
     },
     "got saved map wihtin map", false},
    {"block after the map cut short", AddMapAndCutTheBlockAfterIt, kCorrupt, false, "runs 20 bytes past the end", 2},
    {"block size zero in the middle", MapThen(ZeroTheMiddleBlockSize), "", false,
     "bad header found: damaged block header (type STR#, id 2, size 0): a block is at least its 76-byte header"},
    {"block size below a header", [](Crafted& c) { PutBE32At(c.bytes, c.strs[1].offset + 4, 75); }, "", false,
     "size 75): a block is at least"},
    {"block size past the end", [](Crafted& c) { PutBE32At(c.bytes, c.strs[1].offset + 4, 0x40000000); }, "", false,
     "past the end of the file"},
    // Free and running past the end, as a torn append is, but with a whole
    // block after it: its size was damaged in place.
    {"free block size past the end, a block after it",
     [](Crafted& c) {
       std::copy_n("XXXX", 4, c.bytes.begin() + c.strs[0].offset);
       c.bytes[c.strs[0].offset + 11] |= kInvalid;
       PutBE32At(c.bytes, c.strs[0].offset + 4, 0x00100000);
     },
     "", false, "past the end of the file", 0},
    // Fewer bytes than a header: what an append cut short leaves, and
    // nothing can follow it.
    {"garbage after the blocks",
     [](Crafted& c) {
       c.bytes.insert(c.bytes.end(), {'j', 'u', 'n', 'k'});
     },
     "", false},
    {"name without its zero byte", [](Crafted& c) { std::fill_n(c.bytes.begin() + c.strs[0].offset + 12, 64, 'z'); },
     "", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, IFFDamagedMapTest, ::testing::ValuesIn(kDamageCases), CaseName<DamageCase>);

// Opens a hand-made file; `byMap` says whether its map must serve.
class IFFCraftedTest : public IFFDamagedTest {
 protected:
  void Open(const Bytes& bytes, bool byMap = true) {
    WriteFileBytes(path, bytes);
    ASSERT_EQ(file.OpenFile(path), res_error::kNone);
    ASSERT_EQ(file.OpenedByMap(), byMap);
  }
  void Add(ResType type, ResID id, const Bytes& bytes) {
    MHandle h = HandleOf(bytes);
    ASSERT_EQ(file.AddResource(h, type, id, "", true), res_error::kNone);
    ASSERT_EQ(file.WriteResource(h), res_error::kNone);
  }
  // What the file holds by its blocks alone, whatever its map says.
  Snapshot ByWalk() {
    EXPECT_TRUE(!file.IsOpen() || file.CloseFile() == res_error::kNone);
    EXPECT_EQ(file.ClearMap(path), res_error::kNone);
    EXPECT_EQ(file.OpenFile(path), res_error::kNone);
    return TakeSnapshot(file);
  }
  static std::vector<ResKey> Keys(const Snapshot& snapshot) {
    std::vector<ResKey> keys;
    for (const auto& [key, value] : snapshot) keys.push_back(key);
    return keys;
  }

  std::string path = dir.File("crafted.iff");
  IFFResFile2 file;
  AssertCapture reports;
};

TEST_F(IFFCraftedTest, BlockLargerThanTheMapAllowsIsNotRead) {
  Crafted crafted;
  crafted.Add(1, Bytes(10, 1));
  crafted.Add(2, Bytes(10, 2));
  PutBE32At(crafted.bytes, crafted.strs[0].offset + 4, 76 + 20);  // runs over the second
  crafted.AddMap(MapRecord(0, {StrType(crafted)}));
  Open(crafted.bytes);
  EXPECT_EQ(Miss(file, file.GetResource(kSTR, 1, nullptr)), -1);
  EXPECT_TRUE(reports.Saw("bad size"));
  EXPECT_NE(file.GetResource(kSTR, 2, nullptr), nullptr);
}

// What a full disk, a file-size limit or a kill leaves after an append: the
// file opens whole up to the tail without a word (on a build's worker, a
// report would end the build), and the next write cuts the tail away.
TEST_F(IFFCraftedTest, TornAppendIsCutByTheNextWriteWithoutAReport) {
  struct TornCase {
    const char* what;
    std::size_t kept;  // bytes of the announced block that arrived
  };
  const TornCase cases[] = {
      {"bytes never all arrived", 100}, {"header cut inside its size", 6}, {"header cut inside its name", 40}};
  for (const TornCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = ReadAll(MappedFile(false));
    PutBE32At(bytes, 60, 0);
    const std::size_t tail = bytes.size();
    AppendBlock2(bytes, kFreeBlockType, 0, kInvalid, "", Bytes(500, 0));
    bytes.resize(tail + c.kept);
    Snapshot expected = BlocksBefore(bytes, tail);
    const std::string fatal = testing::FatalOf([&] {
      ScopedWorkerThread worker;
      Open(bytes, false);
      EXPECT_EQ(TakeSnapshot(file), expected);
      EXPECT_TRUE(file.Problems().empty()) << ProblemsText(file.Problems());
      Add(kSTR, 42, Bytes{4, 2});
      ASSERT_EQ(file.CloseFile(), res_error::kNone);
    });
    EXPECT_EQ(fatal, "");
    EXPECT_EQ(reports.Count(), 0u) << reports.Reports().front();
    expected[{kSTR, 42, 0}] = {"", Bytes{4, 2}};
    EXPECT_EQ(ByWalk(), expected) << "the walk reaches the new block";
    EXPECT_TRUE(file.CloseFile() == res_error::kNone);
  }
}

// The first version walks the same way: a torn tail is cut by the next
// write, and damage that a whole block follows stops every write.
TEST_F(IFFCraftedTest, FirstVersionCutsOnlyATornTail) {
  for (const bool torn : {true, false}) {
    SCOPED_TRACE(torn ? "torn tail" : "damaged size");
    Bytes bytes = testing::Header1();
    AppendBlock1(bytes, kNAME, 1, kInternalFlag | kNativeFlag, -1,
                 {0, 0, 0, 0, 0, 0, 0, 0, 'E', 'M', 'A', 'N', 0, 0, 0, 0});
    AppendBlock1(bytes, kSTR, 1, kNativeFlag, -1, {1});
    const std::size_t second = bytes.size();
    AppendBlock1(bytes, kSTR, 2, kNativeFlag, -1, {2});
    AppendBlock1(bytes, kSTR, 3, kNativeFlag, -1, {3});
    if (torn) {
      AppendBlock1(bytes, kFreeBlockType, 0, kInvalid, -1, Bytes(300, 0));
      bytes.erase(bytes.end() - 250, bytes.end());
    } else {
      PutBE32At(bytes, second + 4, 0);
    }
    WriteFileBytes(path, bytes);
    IFFResFile first;
    ASSERT_EQ(first.OpenFile(path), res_error::kNone);
    EXPECT_EQ(first.CountResources(kSTR), torn ? 3 : 1);
    MHandle h = HandleOf(Bytes{4});
    const ResErr added = first.AddResource(h, kSTR, 4, "", true);
    if (added != res_error::kNone) DisposeHandle(h);
    ASSERT_EQ(first.CloseFile(), res_error::kNone);
    if (torn) {
      EXPECT_EQ(added, res_error::kNone);
      ASSERT_EQ(first.OpenFile(path), res_error::kNone);
      EXPECT_EQ(first.CountResources(kSTR), 4) << "the new block was put behind the tail";
      EXPECT_EQ(first.CloseFile(), res_error::kNone);
    } else {
      EXPECT_EQ(added, res_error::kDamaged);
      EXPECT_EQ(ReadAll(path), bytes) << "a damaged file is left as it is";
    }
  }
}

TEST_F(IFFCraftedTest, FirstVersionJunkNameListAndBadBlocks) {
  Bytes emptyList = {0, 0, 0, 0, 0, 0, 0, 0, 'E', 'M', 'A', 'N', 0, 0, 0, 0};
  Bytes hugeCount = emptyList;
  std::fill_n(hugeCount.begin() + 12, 3, 0xFF);
  hugeCount[15] = 0x7F;
  const Bytes cases[] = {Pattern(64, 5), Bytes{1, 2, 3}, hugeCount, Bytes{},
                         Bytes{0, 0, 0, 0, 0, 0, 0, 0, 'E', 'M', 'A', 'N', 1, 0, 0, 0, 1, 0, 0, 0, 'a', 'b', 'c'}};
  // One more round with an empty list, in which a block whose size is zero
  // ends the walk instead of repeating it forever.
  for (std::size_t round = 0; round <= std::size(cases); ++round) {
    const bool zeroSize = round == std::size(cases);
    const Bytes names = zeroSize ? Bytes{} : cases[round];
    Bytes bytes = testing::Header1();
    AppendBlock1(bytes, kNAME, 1, kInternalFlag | kNativeFlag, -1, names);
    AppendBlock1(bytes, kSTR, 1, kNativeFlag, 1, {1});
    AppendBlock1(bytes, kSTR, 2, kNativeFlag, -1, {2});
    if (zeroSize) PutBE32At(bytes, 64 + 16 + 17 + 4, 0);
    WriteFileBytes(path, bytes);
    IFFResFile first;
    ASSERT_EQ(first.OpenFile(path), res_error::kNone) << round;
    EXPECT_EQ(first.CountResources(kSTR), zeroSize ? 1 : 2);
    CTGString name;
    first.GetResName(first.GetResource(kSTR, 1, nullptr), name);
    EXPECT_EQ(first.CloseFile(), res_error::kNone);
  }
}

TEST_F(IFFCraftedTest, MapThatMislabelsABlockNeverFreesIt) {
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.Add(2, {2, 2}, "two");
  crafted.AddMap(MapRecord(0, {{MakeResType("OBJD"), {crafted.strs[0]}}, {kSTR, {crafted.strs[1]}}}));
  Open(crafted.bytes);
  EXPECT_EQ(file.GetResource(MakeResType("OBJD"), 1, nullptr), nullptr);
  EXPECT_TRUE(reports.Saw("got different type in header"));
  // Replacing what the map calls OBJD 1 must not free the STR# block.
  Add(MakeResType("OBJD"), 1, Bytes{7});
  EXPECT_EQ(Keys(ByWalk()), (std::vector<ResKey>{{MakeResType("OBJD"), 1, 0}, {kSTR, 1, 0}, {kSTR, 2, 0}}));
}

TEST_F(IFFCraftedTest, DamageBeforeTheMapIsNotCutAway) {
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.Add(2, {2, 2, 2}, "two");
  // Free space on record, so that a new block is looked for by walking.
  crafted.AddMap(MapRecord(100, {StrType(crafted)}));
  // The second block's size now ends one byte early: a walk stops there.
  PutBE32At(crafted.bytes, crafted.strs[1].offset + 4, 76 + 2);
  Open(crafted.bytes);
  Add(kSPR2, 9, Bytes{9, 9});
  EXPECT_TRUE(reports.Saw("corrupt map found.")) << "the blocks disagree with the map";
  EXPECT_FALSE(reports.Saw("error occurred invalidating map header")) << "the old map was cut away";
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  EXPECT_TRUE(file.OpenedByMap());
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSTR, 1, 0}) + found.count({kSPR2, 9, 0}), 2u);
}

TEST_F(IFFCraftedTest, CutOffTailBehindAMappedFileIsCutBeforeTheNextBlock) {
  // Lay out: STR 1, map, STR 2, and a cut-off block a crash left behind.
  Crafted crafted;
  crafted.Add(1, {1, 1}, "one");
  crafted.strs.push_back({0, 2, kNativeFlag, ""});
  crafted.strs[1].offset =
      static_cast<std::uint32_t>(crafted.bytes.size() + 76 + MapRecord(0, {StrType(crafted)}).size());
  crafted.AddMap(MapRecord(0, {StrType(crafted)}));
  AppendBlock2(crafted.bytes, kSTR, 2, kNativeFlag, "", {2, 2});
  const std::size_t tail = crafted.bytes.size();
  AppendBlock2(crafted.bytes, kFreeBlockType, 0, kInvalid, "", Bytes(300, 0));
  crafted.bytes.resize(tail + 120);
  Open(crafted.bytes);
  Add(kSPR2, 5, Bytes{5, 5, 5});
  // Whether or not a map is written, the blocks alone hold everything.
  EXPECT_EQ(Keys(ByWalk()), (std::vector<ResKey>{{kSPR2, 5, 0}, {kSTR, 1, 0}, {kSTR, 2, 0}}))
      << "the new block went behind the debris";
}

TEST_F(IFFCraftedTest, ListedResourceWhoseHeaderSaysFreeIsNeverReused) {
  Crafted crafted;
  for (ResID id = 1; id <= 3; ++id) crafted.Add(id, Bytes(40, static_cast<std::uint8_t>(id)));
  crafted.AddMap(MapRecord(500, {StrType(crafted)}));
  crafted.bytes[crafted.strs[1].offset + 11] |= kInvalid;  // listed, but its header calls it free
  Open(crafted.bytes);
  ASSERT_EQ(file.RemoveResource(file.GetResource(kSTR, 1, nullptr)), res_error::kNone);
  Add(kSPR2, 9, Bytes(100, 9));
  ASSERT_EQ(file.CloseFile(), res_error::kNone);
  EXPECT_TRUE(reports.Saw("corrupt map found."));
  ASSERT_EQ(file.OpenFile(path), res_error::kNone);
  ASSERT_TRUE(file.OpenedByMap());
  Snapshot found = TakeSnapshot(file);
  EXPECT_EQ(found.count({kSPR2, 9, 0}) + found.count({kSTR, 3, 0}), 2u);
}

TEST_F(IFFCraftedTest, TypeZeroIsAType) {
  Bytes bytes = testing::Header2('5', 0);
  AppendBlock2(bytes, 0, 1, kNativeFlag, "", {1});
  Open(bytes, false);
  EXPECT_EQ((std::tuple{file.CountTypes(), file.GetIndType(1), file.GetError(), file.CountResources(0)}),
            std::tuple(1, 0u, res_error::kNone, 1));
}

// A version 2.5 file without a map whose next block starts at `start`
// (past 64 + 2 * 76): a live STR# 1 fills the space before it.
Bytes FileUpTo(std::size_t start) {
  Bytes bytes = testing::Header2('5', 0);
  AppendBlock2(bytes, kSTR, 1, kNativeFlag, "", Bytes(start - 64 - 76, 1));
  return bytes;
}

// Blocks flagged free whose type a page boundary splits: a walk takes the
// ones a cut write can leave for free space, and nothing else.
TEST_F(IFFCraftedTest, TypeSplitByAPageBoundaryIsReadExactly) {
  struct Case {
    const char* what;
    std::size_t start;
    const char* type;
    std::uint16_t flags;
    bool kept;
  };
  const Case cases[] = {
      {"freeing cut after one byte", 4095, "XTR#", kInvalid, false},
      {"freeing cut after two bytes", 4094, "XXR#", kInvalid, false},
      {"freeing cut after three bytes", 4093, "XXX#", kInvalid, false},
      {"header written at once, cut after one byte", 4095, "SXXX", kInvalid, false},
      {"header written at once, cut after two bytes", 4094, "STXX", kInvalid, false},
      {"header written at once, cut after three bytes", 4093, "STRX", kInvalid, false},
      {"a block being written, whole", 4094, "DGRP", kInvalid, true},
      {"free bytes away from the boundary", 4094, "SXR#", kInvalid, true},
      {"no boundary inside the type", 4092, "XXR#", kInvalid, true},
      {"a live block is never taken for free", 4094, "XXR#", 0, true},
  };
  for (const Case& c : cases) {
    Bytes bytes = FileUpTo(c.start);
    const ResType type = BE32At(Bytes(c.type, c.type + 4), 0);
    AppendBlock2(bytes, type, 7, static_cast<std::uint16_t>(c.flags | kNativeFlag), "seven", Bytes(30, 7));
    AppendBlock2(bytes, kSTR, 2, kNativeFlag, "", Bytes(20, 2));
    Open(bytes, false);
    std::vector<ResKey> expected = {{kSTR, 1, 0}, {kSTR, 2, 0}};
    if (c.kept) expected.push_back({type, 7, 0});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Keys(TakeSnapshot(file)), expected) << c.what;
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
}

// Where a page boundary would split a header's type or size, no block is
// written and no free block shrinks or grows: an append moves past it, and
// a free block there stays as it is.
TEST_F(IFFCraftedTest, NoHeaderChangesWhereAPageBoundarySplitsIt) {
  struct Case {
    const char* what;
    std::size_t start;
    bool freeBlockThere;
  };
  const Case cases[] = {
      {"append just before the type is split", 4092, false}, {"append with its size split", 4090, false},
      {"append with its type split", 4094, false},           {"append on the boundary", 4096, false},
      {"free block with its size split", 4089, true},        {"free block with its type split", 4093, true},
      {"free block with nothing split", 4088, true},
  };
  for (const Case& c : cases) {
    Bytes bytes = FileUpTo(c.start);
    if (c.freeBlockThere) {
      AppendBlock2(bytes, kFreeBlockType, 0, kInvalid, "", Bytes(900, 0));
      AppendBlock2(bytes, kSTR, 2, kNativeFlag, "", Bytes(20, 2));
    }
    Open(bytes, false);
    Add(kSPR2, 9, Bytes(100, 9));
    Add(kSPR2, 10, Bytes(1000, 10));
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
    const Bytes written = ReadAll(path);
    for (const auto& block : RawBlocks(written, 76)) {
      if (block.type == kFreeBlockType) continue;
      EXPECT_TRUE(HeaderChangesWhole(static_cast<std::int64_t>(block.offset)))
          << c.what << ": block at " << block.offset;
    }
    if (c.freeBlockThere) {
      const bool untouched = HeaderChangesWhole(static_cast<std::int64_t>(c.start)) ||
                             std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(c.start),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(c.start + 76),
                                        written.begin() + static_cast<std::ptrdiff_t>(c.start));
      EXPECT_TRUE(untouched) << c.what;
    }
    Snapshot found = ByWalk();
    EXPECT_EQ(found.count({kSPR2, 9, 0}) + found.count({kSPR2, 10, 0}) + found.count({kSTR, 1, 0}), 3u) << c.what;
    ASSERT_EQ(file.CloseFile(), res_error::kNone);
  }
}

}  // namespace
}  // namespace pixmold
