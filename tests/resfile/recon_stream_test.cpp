#include "resfile/recon_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "resfile/string_hooks.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using Bytes = std::vector<std::uint8_t>;

// Bits one 32-bit value takes in field encoding: eight copies of it take
// exactly that many bytes.
std::int32_t FieldBits32(std::int32_t value) {
  ReconStream sizer;
  sizer.SetFieldEncoding();
  for (int i = 0; i < 8; ++i) sizer.Value(value);
  return sizer.Position();
}

template <typename Fill>
Bytes Write(std::size_t capacity, bool swap, Fill fill) {
  Bytes bytes(capacity, 0xEE);
  ReconStream writer = ReconStream::Writer(bytes, swap);
  fill(writer);
  EXPECT_FALSE(writer.Failed());
  bytes.resize(static_cast<std::size_t>(writer.Position()));
  return bytes;
}

TEST(ReconFieldEncoding, BitsPerThirtyTwoBitValue) {
  const std::pair<std::int32_t, int> cases[] = {
      {0, 1},           {5, 9},           {-1, 9},
      {31, 9},          {-32, 9},         {32, 14},
      {-33, 14},        {100, 14},        {1023, 14},
      {-1024, 14},      {1 << 10, 24},    {(1 << 20) - 1, 24},
      {-(1 << 20), 24}, {1 << 20, 35},    {(1 << 30) - 1, 35},
      {1 << 29, 35},    {0x7FFFFFFF, 35}, {std::numeric_limits<std::int32_t>::min(), 35},
  };
  for (const auto& [value, bits] : cases) EXPECT_EQ(FieldBits32(value), bits) << value;
}

TEST(ReconFieldEncoding, BitExactBytes) {
  struct Case {
    const char* name;
    std::function<void(ReconStream&)> fill;
    Bytes expected;
  };
  const Case cases[] = {
      {"five",
       [](ReconStream& s) {
         std::int32_t v = 5;
         s.Value(v);
       },
       {0x82, 0x80}},
      {"minus one",
       [](ReconStream& s) {
         std::int32_t v = -1;
         s.Value(v);
       },
       {0x9F, 0x80}},
      {"two zeros",
       [](ReconStream& s) {
         std::int32_t v[2] = {0, 0};
         s.Int32(v);
       },
       {0x00}},
      {"hundred",
       [](ReconStream& s) {
         std::int32_t v = 100;
         s.Value(v);
       },
       {0xA1, 0x90}},
      {"largest",
       [](ReconStream& s) {
         std::int32_t v = 0x7FFFFFFF;
         s.Value(v);
       },
       {0xEF, 0xFF, 0xFF, 0xFF, 0xE0}},
      {"byte one",
       [](ReconStream& s) {
         std::uint8_t v = 1;
         s.Value(v);
       },
       {0x88}},
      {"short -16",
       [](ReconStream& s) {
         std::int16_t v = -16;
         s.Value(v);
       },
       {0x90}},
      {"short 0xFFFF unsigned",
       [](ReconStream& s) {
         std::uint16_t v = 0xFFFF;
         s.Value(v);
       },
       {0x9F}},
      {"float one",
       [](ReconStream& s) {
         float v = 1.0f;
         s.Value(v);
       },
       {0xE7, 0xF0, 0x00, 0x00, 0x00}},
      {"bool and zero byte",
       [](ReconStream& s) {
         bool b = true;
         std::int8_t z = 0;
         s.Value(b);
         s.Value(z);
       },
       {0x88}},
      {"swap changes nothing",
       [](ReconStream& s) {
         std::int32_t v = 100;
         s.Value(v);
       },
       {0xA1, 0x90}},
  };
  for (const auto& c : cases) {
    bool swap = std::string(c.name) == "swap changes nothing";
    Bytes written = Write(16, swap, [&c](ReconStream& s) {
      s.SetFieldEncoding();
      c.fill(s);
    });
    EXPECT_EQ(written, c.expected) << c.name;
    ReconStream sizer;
    sizer.SetFieldEncoding();
    c.fill(sizer);
    EXPECT_EQ(sizer.Position(), static_cast<std::int32_t>(c.expected.size())) << c.name;
  }
}

// Writes, sizes and reads back a sequence of values in every combination of
// encoding and byte order.
template <typename T>
void ExpectRoundTrip(const std::vector<T>& values) {
  for (bool field : {false, true}) {
    for (bool swap : {false, true}) {
      std::vector<T> in = values;
      ReconStream sizer;
      if (field) sizer.SetFieldEncoding();
      for (T& v : in) sizer.Value(v);
      Bytes bytes(static_cast<std::size_t>(sizer.Position()));
      ReconStream writer = ReconStream::Writer(bytes, swap);
      if (field) writer.SetFieldEncoding();
      for (T& v : in) writer.Value(v);
      ASSERT_EQ(writer.Position(), sizer.Position());
      ReconStream reader = ReconStream::Reader(bytes, swap);
      if (field) reader.SetFieldEncoding();
      std::vector<T> out(values.size());
      for (T& v : out) reader.Value(v);
      ASSERT_FALSE(reader.Failed());
      for (std::size_t i = 0; i < values.size(); ++i) {
        if constexpr (std::is_same_v<T, float>) {
          ASSERT_EQ(std::bit_cast<std::uint32_t>(out[i]), std::bit_cast<std::uint32_t>(values[i])) << field << swap;
        } else {
          ASSERT_EQ(out[i], values[i]) << i << " field " << field << " swap " << swap;
        }
      }
    }
  }
}

template <typename T>
std::vector<T> EveryValue() {
  std::vector<T> all;
  for (std::int64_t v = std::numeric_limits<T>::min(); v <= std::numeric_limits<T>::max(); ++v) {
    all.push_back(static_cast<T>(v));
  }
  return all;
}

template <typename T>
std::vector<T> EdgesAndRandom() {
  std::vector<T> values = {0, 1, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
  for (int k = 0; k < 32; ++k) {
    std::int64_t p = std::int64_t{1} << k;
    for (std::int64_t v : {p - 1, p, p + 1, -p - 1, -p, -p + 1}) values.push_back(static_cast<T>(v));
  }
  std::mt19937 random(1234);
  for (int i = 0; i < 20000; ++i) values.push_back(static_cast<T>(random()));
  return values;
}

TEST(ReconRoundTrip, EveryEightAndSixteenBitValue) {
  ExpectRoundTrip(EveryValue<std::int8_t>());
  ExpectRoundTrip(EveryValue<std::uint8_t>());
  ExpectRoundTrip(EveryValue<std::int16_t>());
  ExpectRoundTrip(EveryValue<std::uint16_t>());
}

TEST(ReconRoundTrip, ThirtyTwoBitEdgesAndRandomValues) {
  ExpectRoundTrip(EdgesAndRandom<std::int32_t>());
  ExpectRoundTrip(EdgesAndRandom<std::uint32_t>());
}

TEST(ReconRoundTrip, FloatsBitForBit) {
  std::vector<float> floats = {0.0f,
                               -0.0f,
                               1.0f,
                               -2.5f,
                               std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::denorm_min(),
                               std::bit_cast<float>(0x7FC00001u),
                               std::bit_cast<float>(0xFFFFFFFFu)};
  ExpectRoundTrip(floats);
}

TEST(ReconFixedWidth, LittleEndianUnlessSwappedFloatsNever) {
  auto fill = [](ReconStream& s) {
    std::int16_t a = 0x1234;
    std::uint32_t b = 0x11223344;
    float f = 1.0f;
    std::uint8_t c = 0xAB;
    s.Value(a);
    s.Value(b);
    s.Value(f);
    s.Value(c);
  };
  EXPECT_EQ(Write(16, false, fill), (Bytes{0x34, 0x12, 0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0x80, 0x3F, 0xAB}));
  EXPECT_EQ(Write(16, true, fill), (Bytes{0x12, 0x34, 0x11, 0x22, 0x33, 0x44, 0x00, 0x00, 0x80, 0x3F, 0xAB}));
}

TEST(ReconFixedWidth, StoredFlagIsTrueWhenItsSignedByteIsPositive) {
  const std::pair<std::uint8_t, bool> cases[] = {
      {0x00, false}, {0x01, true}, {0x7F, true}, {0x80, false}, {0xFF, false}};
  for (const auto& [byte, expected] : cases) {
    Bytes data = {byte};
    ReconStream reader = ReconStream::Reader(data, false);
    bool flag = !expected;
    reader.Value(flag);
    EXPECT_EQ(flag, expected) << int{byte};
  }
}

TEST(ReconStrings, EndOnAnEvenPosition) {
  struct Case {
    std::string text;
    int start;  // bytes written before the string
    std::int32_t end;
  };
  const Case cases[] = {{"abc", 0, 4}, {"abcd", 0, 6}, {"", 0, 2}, {"a", 0, 2}, {"abc", 1, 6}, {"ab", 1, 4}};
  for (const auto& c : cases) {
    std::string text = c.text;
    Bytes bytes = Write(16, false, [&](ReconStream& s) {
      for (int i = 0; i < c.start; ++i) {
        std::uint8_t b = 0x11;
        s.Value(b);
      }
      s.String(text);
    });
    ASSERT_EQ(static_cast<std::int32_t>(bytes.size()), c.end) << c.text;
    Bytes expected(static_cast<std::size_t>(c.start), 0x11);
    expected.insert(expected.end(), c.text.begin(), c.text.end());
    expected.resize(static_cast<std::size_t>(c.end), 0);
    EXPECT_EQ(bytes, expected) << c.text;

    ReconStream sizer;
    for (int i = 0; i < c.start; ++i) {
      std::uint8_t b = 0;
      sizer.Value(b);
    }
    sizer.String(text);
    EXPECT_EQ(sizer.Position(), c.end);

    ReconStream reader = ReconStream::Reader(bytes, false);
    std::vector<std::uint8_t> skip(static_cast<std::size_t>(c.start));
    reader.Bytes(skip);
    CTGString out = "x";
    reader.String(out);
    EXPECT_EQ(out.Str(), c.text);
    EXPECT_EQ(reader.Position(), c.end);
  }
}

TEST(ReconStrings, StartOnAWholeByteInFieldEncoding) {
  std::int32_t five = 5;
  std::string text = "hi";
  std::int32_t one = 1;
  Bytes bytes = Write(16, false, [&](ReconStream& s) {
    s.SetFieldEncoding();
    s.Value(five);
    s.String(text);
    s.Value(one);
  });
  EXPECT_EQ(bytes, (Bytes{0x82, 0x80, 'h', 'i', 0, 0, 0x80, 0x80}));
  ReconStream reader = ReconStream::Reader(bytes, false);
  reader.SetFieldEncoding();
  std::int32_t a = 0, c = 0;
  std::string b;
  reader.Value(a);
  reader.Value(b);
  reader.Value(c);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, "hi");
  EXPECT_EQ(c, 1);
}

TEST(ReconStrings, TextStopsAtItsFirstZeroByte) {
  std::string text("ab\0cd", 5);
  Bytes bytes = Write(16, false, [&](ReconStream& s) { s.String(text); });
  EXPECT_EQ(bytes, (Bytes{'a', 'b', 0, 0}));
}

// A record shorter than its fields: each read that does not fit is
// reported, yields zero and stops the stream.
TEST(ReconOverflow, ShortDataStopsTheStream) {
  struct Case {
    const char* name;
    Bytes data;
    bool field;
    std::function<void(ReconStream&)> read;
    const char* report;
  };
  const Case cases[] = {
      {"bytes",
       {1},
       false,
       [](ReconStream& s) {
         std::uint8_t v[2] = {9, 9};
         s.Bytes(v);
         EXPECT_EQ(v[0] + v[1], 0);
       },
       "(fPosition + numelems <= fSize) overflow"},
      {"short",
       {1},
       false,
       [](ReconStream& s) {
         std::int16_t v = 9;
         s.Value(v);
         EXPECT_EQ(v, 0);
       },
       "(fPosition + numelems*2 <= fSize) overflow"},
      {"long",
       {1, 2, 3},
       false,
       [](ReconStream& s) {
         std::int32_t v = 9;
         s.Value(v);
         EXPECT_EQ(v, 0);
       },
       "(fPosition + numelems*4 <= fSize) overflow"},
      {"float",
       {1, 2},
       false,
       [](ReconStream& s) {
         float v = 9;
         s.Value(v);
         EXPECT_EQ(v, 0);
       },
       "(fPosition + numelems*4 <= fSize) overflow"},
      {"field",
       {0x82},
       true,
       [](ReconStream& s) {
         std::int32_t v = 9;
         s.Value(v);
         EXPECT_EQ(v, 0);
       },
       "(fPosition + 1 <= fSize) overflow"},
      {"field empty",
       {},
       true,
       [](ReconStream& s) {
         std::int16_t v = 9;
         s.Value(v);
         EXPECT_EQ(v, 0);
       },
       "(fPosition + 1 <= fSize) overflow"},
      {"unterminated",
       {'a', 'b'},
       false,
       [](ReconStream& s) {
         std::string t = "x";
         s.String(t);
         EXPECT_EQ(t, "");
       },
       "(fPosition + length + 1 <= fSize) overflow"},
      {"mark", {0, 0, 0}, false, [](ReconStream& s) { s.PutMark(); }, "(fPosition + 4 <= fSize) overflow"},
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    if (c.field) reader.SetFieldEncoding();
    c.read(reader);
    EXPECT_TRUE(reader.Failed()) << c.name;
    EXPECT_TRUE(capture.Saw(c.report)) << c.name << ": " << (capture.Count() ? capture.Reports()[0] : "");
    std::int32_t position = reader.Position();
    std::uint8_t later = 7;
    reader.Value(later);
    std::string text = "x";
    reader.String(text);
    EXPECT_EQ(later, 0) << c.name;
    EXPECT_EQ(text, "") << c.name;
    EXPECT_EQ(reader.Position(), position) << c.name;
    EXPECT_EQ(capture.Count(), 1u) << c.name << ": one report per stream";
  }
}

TEST(ReconOverflow, WritingPastTheBufferIsRefused) {
  AssertCapture capture;
  Bytes bytes(3, 0xEE);
  ReconStream writer = ReconStream::Writer(bytes, false);
  std::int32_t v = 0x01020304;
  writer.Value(v);
  EXPECT_TRUE(writer.Failed());
  EXPECT_EQ(bytes, (Bytes{0xEE, 0xEE, 0xEE}));
  EXPECT_TRUE(capture.Saw("overflow"));

  Bytes odd(4, 0xEE);
  ReconStream strings = ReconStream::Writer(odd, false);
  std::string text = "abcd";
  strings.String(text);
  EXPECT_TRUE(strings.Failed()) << "the string and its pad need six bytes";
  EXPECT_EQ(odd, (Bytes{0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(ReconModes, ConstructorAndModeChecks) {
  AssertCapture capture;
  Bytes bytes(4);
  ReconStream sizingWithBuffer(bytes.data(), 4, ReconStream::kSizing, false);
  EXPECT_TRUE(capture.Saw("(mode==kReading || mode==kWriting) wrong mode in constructor"));
  ReconStream broken(bytes.data(), 4, static_cast<ReconStream::Mode>(7), false);
  std::int16_t v = 1;
  broken.Value(v);
  EXPECT_TRUE(capture.Saw("(fMode==kReading || fMode==kWriting) mode switched"));
  EXPECT_TRUE(broken.Failed());

  ReconStream sizer;
  EXPECT_TRUE(sizer.IsSizing());
  EXPECT_FALSE(sizer.IsReading());
  EXPECT_FALSE(sizer.IsWriting());
  EXPECT_EQ(sizer.Size(), 0);
}

TEST(ReconMarks, EachMarkHoldsThePositionOfTheNext) {
  auto writeRecord = [](ReconStream& s) {
    std::int32_t a = 1, b = 2, c = 3, d = 4;
    s.PutMark();
    s.Value(a);
    s.Value(b);
    s.Value(c);
    s.PutMark();
    s.Value(d);
    s.PutMark();
  };
  for (bool swap : {false, true}) {
    Bytes bytes = Write(64, swap, writeRecord);
    ASSERT_EQ(bytes.size(), 28u);
    Bytes firstMark = swap ? Bytes{0, 0, 0, 16} : Bytes{16, 0, 0, 0};
    Bytes secondMark = swap ? Bytes{0, 0, 0, 24} : Bytes{24, 0, 0, 0};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), firstMark) << "a mark at position 0 is linked too";
    EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 20), secondMark);
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.end()), (Bytes{0, 0, 0, 0}));

    // A reader that knows two of the three fields skips the third.
    ReconStream reader = ReconStream::Reader(bytes, swap);
    std::int32_t a = 0, b = 0, d = 0;
    reader.PutMark();
    reader.Value(a);
    reader.Value(b);
    reader.SkipToMark();
    EXPECT_EQ(reader.Position(), 16);
    reader.PutMark();
    reader.Value(d);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(d, 4);
    EXPECT_FALSE(reader.Failed());
  }
}

TEST(ReconMarks, SizingAndFieldEncodingAgree) {
  auto fill = [](ReconStream& s) {
    s.SetFieldEncoding();
    std::int32_t a = 5;
    s.Value(a);
    s.PutMark();
    s.Value(a);
    s.PutMark();
  };
  ReconStream sizer;
  fill(sizer);
  Bytes bytes = Write(32, false, fill);
  EXPECT_EQ(sizer.Position(), static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(bytes, (Bytes{0x82, 0x80, 8, 0, 0, 0, 0x82, 0x80, 0, 0, 0, 0}));
}

TEST(ReconMarks, BadMarksAreReported) {
  struct Case {
    const char* name;
    Bytes data;
    int skipBefore;  // bytes read before the mark
    const char* report;
  };
  const Case cases[] = {
      {"no next mark", {0, 0, 0, 0, 1, 2}, 0, "(fMarkPos!=0) no mark"},
      {"past the end", {9, 0, 0, 0, 1, 2}, 0, "(fPosition<=fSize) bad mark"},
      {"backwards", {1, 2, 4, 0, 0, 0}, 2, "bad mark"},
      {"onto itself", {1, 2, 2, 0, 0, 0}, 2, "bad mark"},
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    std::vector<std::uint8_t> skip(static_cast<std::size_t>(c.skipBefore));
    reader.Bytes(skip);
    reader.PutMark();
    std::int32_t position = reader.Position();
    reader.SkipToMark();
    EXPECT_TRUE(capture.Saw(c.report)) << c.name;
    EXPECT_TRUE(reader.Failed()) << c.name;
    EXPECT_EQ(reader.Position(), position) << c.name;
  }
  AssertCapture capture;
  Bytes bytes(8);
  ReconStream writer = ReconStream::Writer(bytes, false);
  writer.PutMark();
  writer.PutMark();
  writer.SkipToMark();
  EXPECT_TRUE(capture.Saw("(fMode==kReading) can't skip to next"));
}

// An in-memory string table that records what the stream does with it.
struct TableLog {
  std::map<int, std::string> stored = {{1, "first"}, {2, "second"}};
  int saves = 0;
  int clears = 0;
  ResType type = 0;
  ResID id = 0;
};

class FakeTable : public ReconStringTable {
 public:
  explicit FakeTable(TableLog& log) : fLog(log) {}
  std::string Get(int index) const override {
    auto it = fLog.stored.find(index);
    return it == fLog.stored.end() ? std::string() : it->second;
  }
  void Set(int index, std::string_view text) override { fLog.stored[index] = std::string(text); }
  void Clear() override {
    ++fLog.clears;
    fLog.stored.clear();
  }
  ResErr Save() override {
    ++fLog.saves;
    return res_error::kNone;
  }

 private:
  TableLog& fLog;
};

class ReconStringTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fPrevious = SetReconStringTableFactory([this](iResFile&, ResType type, ResID id) {
      log.type = type;
      log.id = id;
      return std::make_unique<FakeTable>(log);
    });
  }
  void TearDown() override { SetReconStringTableFactory(std::move(fPrevious)); }

  TableLog log;
  testing::MemoryDisk disk;
  testing::MemoryResFile file{disk};

 private:
  ReconStringTableFactory fPrevious;
};

TEST_F(ReconStringTableTest, StringsGoToTheTableNotTheData) {
  Bytes bytes(16, 0xEE);
  {
    ReconStream writer = ReconStream::Writer(bytes, false);
    writer.SetStringTable(file, MakeResType("TTAs"), 300);
    EXPECT_EQ(log.clears, 1);
    std::string a = "alpha", b = "beta";
    std::int16_t n = 7;
    writer.String(a);
    writer.Value(n);
    writer.String(b);
    EXPECT_EQ(writer.Position(), 2);
    EXPECT_EQ(log.saves, 0);
  }
  EXPECT_EQ(log.saves, 1) << "a writing stream stores its table when released";
  EXPECT_EQ(log.type, MakeResType("TTAs"));
  EXPECT_EQ(log.id, 300);
  EXPECT_EQ(log.stored, (std::map<int, std::string>{{1, "alpha"}, {2, "beta"}}));

  log.stored = {{1, "uno"}};
  ReconStream reader = ReconStream::Reader(bytes, false);
  reader.SetStringTable(file, MakeResType("TTAs"), 300);
  std::string a, b;
  std::int16_t n = 0;
  reader.String(a);
  reader.Value(n);
  reader.String(b);
  EXPECT_EQ(a, "uno");
  EXPECT_EQ(n, 7);
  EXPECT_EQ(b, "") << "a string the table lacks is empty";
  EXPECT_EQ(reader.Close(), res_error::kNone);
  EXPECT_EQ(log.saves, 1) << "a reading stream stores nothing";
  EXPECT_EQ(log.clears, 1);
}

TEST_F(ReconStringTableTest, SizingCountsNoStringBytesAndMakesNoTable) {
  AssertCapture capture;
  ReconStream sizer;
  sizer.SetStringTable(file, MakeResType("TTAs"), 1);
  std::string text = "long enough to matter";
  sizer.String(text);
  EXPECT_EQ(sizer.Position(), 0);
  EXPECT_EQ(log.id, 0);
  sizer.SetStringTable(file, MakeResType("TTAs"), 1);
  EXPECT_TRUE(capture.Saw("(!fUsesStringTable) string table set twice"));
}

TEST(ReconStringTableHook, WithoutStringSetsStringsAreEmpty) {
  ReconStringTableFactory previous = SetReconStringTableFactory(nullptr);
  testing::MemoryDisk disk;
  testing::MemoryResFile file{disk};
  Bytes bytes(4, 'z');
  ReconStream reader = ReconStream::Reader(bytes, false);
  reader.SetStringTable(file, MakeResType("TTAs"), 1);
  EXPECT_TRUE(reader.UsesStringTable());
  std::string text = "x";
  reader.String(text);
  EXPECT_EQ(text, "");
  EXPECT_EQ(reader.Position(), 0);
  SetReconStringTableFactory(std::move(previous));
}

TEST(ReconCount, RefusesCountsTheDataCannotHold) {
  struct Case {
    Bytes data;
    bool field;
    std::uint32_t expected;
    const char* report;
  };
  const Case cases[] = {
      {{3, 0, 0, 0, 1, 2, 3}, false, 3, nullptr},
      {{24, 0, 0, 0, 1, 2, 3}, false, 24, nullptr},
      {{25, 0, 0, 0, 1, 2, 3}, false, 0, "(count <= bits left) element count larger than the data"},
      {{0xFF, 0xFF, 0xFF, 0xFF}, false, 0, "element count"},
      {{0x00, 0x00, 0x20, 0x00}, false, 0, "(count <= kMaxElements) element count over the limit"},
      // Field-encoded 7 (1 00 000111) leaves seven bits in its second byte.
      {{0x83, 0x80}, true, 7, nullptr},
      {{0x84, 0x00}, true, 0, "element count larger than the data"},
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    if (c.field) reader.SetFieldEncoding();
    std::uint32_t count = 99;
    reader.Count(count);
    EXPECT_EQ(count, c.expected);
    EXPECT_EQ(reader.Failed(), c.report != nullptr);
    if (c.report) {
      EXPECT_TRUE(capture.Saw(c.report)) << c.report;
    }
  }
}

}  // namespace
}  // namespace pixmold
