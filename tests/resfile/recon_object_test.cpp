#include "resfile/recon_object.h"

#include <gtest/gtest.h>

#include <tuple>

#include "iff_test_util.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using namespace testing;

constexpr ResType kSampleType = MakeResType("SMPL");

struct Slot {
  std::int16_t kind = 0;
  std::int32_t x = 0;
  std::string label;

  void Reconstitute(ReconStream& stream, std::uint32_t version) {
    stream.Value(kind);
    stream.Value(x);
    if (version >= 2) stream.String(label);
  }
  bool operator==(const Slot&) const = default;
};

struct Sample : ReconObject {
  std::uint32_t word = 0;
  std::int16_t pair[2] = {0, 0};
  CTGString name;
  ReconStreamVector<Slot> slots;
  bool fieldEncoded = false;

  void Reconstitute(ReconStream& stream, std::uint32_t version) override {
    stream.Value(word);
    stream.Int16(pair);
    stream.String(name);
    if (fieldEncoded) stream.SetFieldEncoding();
    slots.Reconstitute(stream, version);
  }
  ResType GetType() const override { return kSampleType; }
};

Sample MakeSample() {
  Sample s;
  s.word = 0xA1B2C3D4;
  s.pair[0] = -2;
  s.pair[1] = 300;
  s.name = "chair";
  s.slots = {Slot{1, -70000, "seat"}, Slot{0, 5, ""}};
  return s;
}

bool operator==(const Sample& a, const Sample& b) {
  return a.word == b.word && a.pair[0] == b.pair[0] && a.pair[1] == b.pair[1] && a.name == b.name && a.slots == b.slots;
}

class ReconObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { fLive = CountLiveHandles(); }
  void TearDown() override { EXPECT_EQ(CountLiveHandles(), fLive) << "handles leaked"; }

 private:
  std::size_t fLive = 0;
};

TEST_F(ReconObjectTest, HandleStartsWithTheHeaderInLittleEndianOrder) {
  Sample sample = MakeSample();
  OwnedHandle h(MakeReconHandle(sample, 0x0102));
  ASSERT_TRUE(h);
  Bytes bytes = BytesOf(h.Get());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), (Bytes{0, 0, 0, 0, 0x02, 0x01, 0, 0, 'L', 'P', 'M', 'S'}));
  EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 26),
            (Bytes{0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF, 0x2C, 0x01, 'c', 'h', 'a', 'i', 'r', 0}));
  // word 4 + pair 4 + "chair" 6 + count 4 + two slots of 6 each + "seat" 6 + "" 2
  EXPECT_EQ(bytes.size(), 12u + 4 + 4 + 6 + 4 + 6 + 6 + 6 + 2);
}

TEST_F(ReconObjectTest, HandleRoundTripInBothEncodings) {
  for (bool field : {false, true}) {
    Sample sample = MakeSample();
    sample.fieldEncoded = field;
    OwnedHandle h(MakeReconHandle(sample, 2));
    ASSERT_TRUE(h);
    Sample back;
    back.fieldEncoded = field;
    back.slots.resize(5);
    std::uint32_t version = 0;
    EXPECT_TRUE(ReadReconHandle(back, h.Get(), &version));
    EXPECT_EQ(version, 2u);
    EXPECT_TRUE(back == sample);
    EXPECT_EQ(back.slots.size(), 2u) << "surplus elements are dropped";
    EXPECT_FALSE(IsHandleLocked(h.Get()));
  }
}

TEST_F(ReconObjectTest, TypeMismatchIsReportedAndLeavesTheRecordAlone) {
  struct Other : ReconObject {
    ResType GetType() const override { return MakeResType("OTHR"); }
  } other;
  OwnedHandle h(MakeReconHandle(other, 1));
  Sample sample = MakeSample();
  AssertCapture capture;
  std::uint32_t version = 77;
  EXPECT_FALSE(ReadReconHandle(sample, h.Get(), &version));
  EXPECT_TRUE(capture.Saw("(((Header*)data)->type == recon->GetType()) reconstitution type mismatch"));
  EXPECT_EQ(version, 77u);
  EXPECT_TRUE(sample == MakeSample());
}

TEST_F(ReconObjectTest, ShortHandlesAndShortRecords) {
  AssertCapture capture;
  Sample sample;
  OwnedHandle tiny(HandleOf({0, 0, 0, 0, 1}));
  EXPECT_FALSE(ReadReconHandle(sample, tiny.Get(), nullptr));
  EXPECT_TRUE(capture.Saw("recon data shorter than its header"));

  capture.Clear();
  // Header, then a word and half of the pair.
  OwnedHandle shortRecord(HandleOf({0, 0, 0, 0, 1, 0, 0, 0, 'L', 'P', 'M', 'S', 1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(ReadReconHandle(sample, shortRecord.Get(), nullptr));
  EXPECT_TRUE(capture.Saw("(fPosition + numelems*2 <= fSize) overflow"));
  EXPECT_EQ(std::tuple(sample.word, sample.pair[0], sample.slots.size()), std::tuple(0x04030201u, 0, 0u))
      << "a read that does not fit yields zero";
  EXPECT_EQ(capture.Count(), 1u);
}

TEST_F(ReconObjectTest, BaseAndSimpleObjects) {
  ReconObject base;
  EXPECT_EQ(base.GetType(), MakeResType("Rcon"));
  OwnedHandle h(MakeReconHandle(base, 3));
  EXPECT_EQ(BytesOf(h.Get()), (Bytes{0, 0, 0, 0, 3, 0, 0, 0, 'n', 'o', 'c', 'R'}));

  ReconStreamVector<std::int32_t> numbers = {1, -1, 1 << 20};
  SimpleReconObject<ReconStreamVector<std::int32_t>> simple(numbers, MakeResType("NUMS"));
  EXPECT_EQ(simple.GetType(), MakeResType("NUMS"));
  OwnedHandle nh(MakeReconHandle(simple, 1));
  ASSERT_TRUE(nh);
  EXPECT_EQ(GetHandleSize(nh.Get()), 12 + 4 + 12);
  ReconStreamVector<std::int32_t> back;
  SimpleReconObject<ReconStreamVector<std::int32_t>> reader(back, MakeResType("NUMS"));
  EXPECT_TRUE(ReadReconHandle(reader, nh.Get(), nullptr));
  EXPECT_EQ(back, numbers);
}

TEST_F(ReconObjectTest, PassesThatDisagreeGiveNoHandle) {
  struct Greedy : ReconObject {
    void Reconstitute(ReconStream& stream, std::uint32_t) override {
      std::int32_t v = 1;
      stream.Value(v);
      if (stream.IsWriting()) stream.Value(v);
    }
  } greedy;
  AssertCapture capture;
  EXPECT_EQ(MakeReconHandle(greedy, 0), nullptr);
  EXPECT_TRUE(capture.Saw("overflow"));
  EXPECT_TRUE(capture.Saw("(stream.Position() == size) sizing and writing passes differ"));
}

TEST_F(ReconObjectTest, SwizzlerOnlyTouchesAWholeHeader) {
  Bytes header = {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ReconHeaderSwizzler(header.data(), 13);
  EXPECT_EQ(header, (Bytes{1, 0, 0, 0, 4, 3, 2, 1, 8, 7, 6, 5, 9}));
  Bytes shortHeader = {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7};
  ReconHeaderSwizzler(shortHeader.data(), 11);
  EXPECT_EQ(shortHeader, (Bytes{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
  ReconHeaderSwizzler(nullptr, 12);
}

class ReconResourceTest : public ReconObjectTest {
 protected:
  void SetUp() override {
    ReconObjectTest::SetUp();
    disk.files["obj.iff"] = {};
    ASSERT_EQ(file.OpenFile("obj.iff"), res_error::kNone);
  }
  void TearDown() override {
    file.CloseFile();
    ReconObjectTest::TearDown();
  }
  MemoryDisk disk;
  MemoryResFile file{disk};
};

TEST_F(ReconResourceTest, WriteThenReadThroughTheFile) {
  Sample sample = MakeSample();
  ASSERT_EQ(WriteReconResource(sample, 2, file, 200), res_error::kNone);
  const StoredResource* stored = disk.Find("obj.iff", kSampleType, 200);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(std::tuple(stored->native, stored->name, Bytes(stored->bytes.begin(), stored->bytes.begin() + 4)),
            std::tuple(true, "", Bytes{0, 0, 0, 0}));
  EXPECT_EQ(file.CachedHandles(), 0u);

  Sample back;
  std::uint32_t version = 0;
  EXPECT_EQ(ReadReconResource(back, file, 200, &version), res_error::kNone);
  EXPECT_EQ(version, 2u);
  EXPECT_TRUE(back == sample);
  EXPECT_EQ(file.CachedHandles(), 0u);
  EXPECT_EQ(ReadReconResource(back, file, 201, &version), res_error::kNotFound);
}

TEST_F(ReconResourceTest, ResourceFromAMachineOfTheOtherByteOrder) {
  // Version 2, type SMPL, word, pair, "chair", one slot: every 16- and 32-bit
  // value big-endian, and the flag 0 the other machine wrote.
  Bytes foreign = {0,   0,   0,   0,   0,   0, 0, 2, 'S', 'M', 'P', 'L', 0xA1, 0xB2, 0xC3, 0xD4, 0xFF, 0xFE, 0x01, 0x2C,
                   'c', 'h', 'a', 'i', 'r', 0, 0, 0, 0,   1,   0,   3,   0xFF, 0xFE, 0xEE, 0x90, 'o',  'k',  0,    0};
  disk.files["obj.iff"].push_back(StoredResource{kSampleType, 300, "", 0, false, foreign});
  file.CloseFile();
  ASSERT_EQ(file.OpenFile("obj.iff"), res_error::kNone);
  Sample back;
  std::uint32_t version = 0;
  ASSERT_EQ(ReadReconResource(back, file, 300, &version), res_error::kNone);
  EXPECT_EQ(version, 2u);
  Sample expected = MakeSample();
  expected.slots = {Slot{3, -70000, "ok"}};
  EXPECT_TRUE(back == expected);
}

TEST_F(ReconResourceTest, FailuresGiveTheFileErrorAndLeakNothing) {
  Sample sample = MakeSample();
  file.FailNext(MemoryResFile::Op::kAdd, res_error::kNotWritable);
  EXPECT_EQ(WriteReconResource(sample, 1, file, 200), res_error::kNotWritable);

  file.FailNext(MemoryResFile::Op::kWrite, res_error::kShortWrite);
  EXPECT_EQ(WriteReconResource(sample, 1, file, 200), res_error::kShortWrite);
  EXPECT_EQ(file.CountResources(kSampleType), 0) << "a resource that could not be written is removed";
  EXPECT_EQ(disk.Find("obj.iff", kSampleType, 200), nullptr);

  AssertCapture capture;
  FailHandleAllocationAfter(1);
  EXPECT_EQ(WriteReconResource(sample, 1, file, 200), -1);
  EXPECT_TRUE(capture.Saw("Handle allocation failed"));
  EXPECT_EQ(disk.Find("obj.iff", kSampleType, 200), nullptr);
}

}  // namespace
}  // namespace pixmold
