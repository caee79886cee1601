#include "resfile/recon_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/assert_capture.h"

namespace pixmold {
namespace {

using testing::AssertCapture;
using Bytes = std::vector<std::uint8_t>;
using Fill = std::function<void(ReconStream&)>;

// Writes the values in order (a fill for writer, reader or sizer).
template <typename... T>
Fill Put(T... values) {
  return [=](ReconStream& s) mutable { (s.Value(values), ...); };
}

Bytes Write(std::size_t capacity, bool swap, const Fill& fill) {
  Bytes bytes(capacity, 0xEE);
  ReconStream writer = ReconStream::Writer(bytes, swap);
  fill(writer);
  EXPECT_FALSE(writer.Failed());
  bytes.resize(static_cast<std::size_t>(writer.Position()));
  return bytes;
}

std::int32_t SizeOf(const Fill& fill, bool field = false) {
  ReconStream sizer;
  if (field) sizer.SetFieldEncoding();
  fill(sizer);
  return sizer.Position();
}

Fill Field(Fill fill) {
  return [fill](ReconStream& s) {
    s.SetFieldEncoding();
    fill(s);
  };
}

TEST(ReconFieldEncoding, BitsPerThirtyTwoBitValue) {
  // Eight copies of a value take exactly as many bytes as it takes bits.
  const std::int32_t values[] = {
      0, 5, -1, 31, -32, 32, -33, 1023, -1024, 1 << 10, (1 << 20) - 1, -(1 << 20), 1 << 20, 0x7FFFFFFF, INT32_MIN};
  const int bits[] = {1, 9, 9, 9, 9, 14, 14, 14, 14, 24, 24, 24, 35, 35, 35};
  for (int i = 0; i < 15; ++i) {
    const std::int32_t v = values[i];
    EXPECT_EQ(SizeOf(Put(v, v, v, v, v, v, v, v), true), bits[i]) << v;
  }
}

TEST(ReconFieldEncoding, BitExactBytes) {
  struct Case {
    const char* name;
    Fill fill;
    Bytes expected;
  };
  const Case cases[] = {{"five", Put(std::int32_t{5}), {0x82, 0x80}},
                        {"minus one", Put(std::int32_t{-1}), {0x9F, 0x80}},
                        {"two zeros", Put(std::int32_t{0}, std::int32_t{0}), {0x00}},
                        {"hundred", Put(std::int32_t{100}), {0xA1, 0x90}},
                        {"largest", Put(std::int32_t{0x7FFFFFFF}), {0xEF, 0xFF, 0xFF, 0xFF, 0xE0}},
                        {"byte one", Put(std::uint8_t{1}), {0x88}},
                        {"short -16", Put(std::int16_t{-16}), {0x90}},
                        {"short 0xFFFF unsigned", Put(std::uint16_t{0xFFFF}), {0x9F}},
                        {"float one", Put(1.0f), {0xE7, 0xF0, 0x00, 0x00, 0x00}},
                        {"bool and zero byte", Put(true, std::int8_t{0}), {0x88}}};
  for (const auto& c : cases) {
    for (bool swap : {false, true}) EXPECT_EQ(Write(16, swap, Field(c.fill)), c.expected) << c.name << swap;
    EXPECT_EQ(SizeOf(c.fill, true), static_cast<std::int32_t>(c.expected.size())) << c.name;
  }
}

// Writes, sizes and reads back values in every encoding and byte order.
template <typename T>
void ExpectRoundTrip(const std::vector<T>& values) {
  for (bool field : {false, true}) {
    for (bool swap : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "field " << field << " swap " << swap);
      Fill fill = [values = values](ReconStream& s) mutable {
        for (T& v : values) s.Value(v);
      };
      const std::int32_t size = SizeOf(fill, field);
      Bytes bytes = Write(static_cast<std::size_t>(size), swap, field ? Field(fill) : fill);
      ASSERT_EQ(static_cast<std::int32_t>(bytes.size()), size);
      ReconStream reader = ReconStream::Reader(bytes, swap);
      if (field) reader.SetFieldEncoding();
      std::vector<T> out(values.size());
      for (T& v : out) reader.Value(v);
      ASSERT_FALSE(reader.Failed());
      for (std::size_t i = 0; i < values.size(); ++i) {
        if constexpr (std::is_same_v<T, float>) {
          ASSERT_EQ(std::bit_cast<std::uint32_t>(out[i]), std::bit_cast<std::uint32_t>(values[i]));
        } else {
          ASSERT_EQ(out[i], values[i]) << i;
        }
      }
    }
  }
}

template <typename T>
std::vector<T> Values(bool every) {
  std::vector<T> all;
  if (every) {
    for (std::int64_t v = std::numeric_limits<T>::min(); v <= std::numeric_limits<T>::max(); ++v) {
      all.push_back(static_cast<T>(v));
    }
    return all;
  }
  all = {0, 1, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
  for (int k = 0; k < 32; ++k) {
    const std::int64_t p = std::int64_t{1} << k;
    for (std::int64_t v : {p - 1, p, p + 1, -p - 1, -p, -p + 1}) all.push_back(static_cast<T>(v));
  }
  std::mt19937 random(1234);
  for (int i = 0; i < 20000; ++i) all.push_back(static_cast<T>(random()));
  return all;
}

TEST(ReconRoundTrip, EverySmallValueThirtyTwoBitEdgesAndFloatsBitForBit) {
  ExpectRoundTrip(Values<std::int8_t>(true));
  ExpectRoundTrip(Values<std::uint8_t>(true));
  ExpectRoundTrip(Values<std::int16_t>(true));
  ExpectRoundTrip(Values<std::uint16_t>(true));
  ExpectRoundTrip(Values<std::int32_t>(false));
  ExpectRoundTrip(Values<std::uint32_t>(false));
  ExpectRoundTrip(std::vector<float>{0.0f, -0.0f, 1.0f, -2.5f, std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::denorm_min(), std::bit_cast<float>(0x7FC00001u),
                                     std::bit_cast<float>(0xFFFFFFFFu)});
}

TEST(ReconFixedWidth, LittleEndianUnlessSwappedFloatsNever) {
  const Fill fill = Put(std::int16_t{0x1234}, std::uint32_t{0x11223344}, 1.0f, std::uint8_t{0xAB});
  EXPECT_EQ(Write(16, false, fill), (Bytes{0x34, 0x12, 0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0x80, 0x3F, 0xAB}));
  EXPECT_EQ(Write(16, true, fill), (Bytes{0x12, 0x34, 0x11, 0x22, 0x33, 0x44, 0x00, 0x00, 0x80, 0x3F, 0xAB}));
  // A stored flag is true when its signed byte is positive.
  for (const auto& [byte, expected] :
       {std::pair{0x00, false}, {0x01, true}, {0x7F, true}, {0x80, false}, {0xFF, false}}) {
    Bytes data = {static_cast<std::uint8_t>(byte)};
    ReconStream reader = ReconStream::Reader(data, false);
    bool flag = !expected;
    reader.Value(flag);
    EXPECT_EQ(flag, expected) << byte;
  }
}

TEST(ReconStrings, EndOnAnEvenPositionAndStopAtAZeroByte) {
  struct Case {
    std::string text;
    int start;  // bytes written before the string
    std::int32_t end;
  };
  const Case cases[] = {{"abc", 0, 4}, {"abcd", 0, 6}, {"", 0, 2}, {"a", 0, 2}, {"abc", 1, 6}, {"ab", 1, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Fill fill = [c = c](ReconStream& s) mutable {
      for (int i = 0; i < c.start; ++i) Put(std::uint8_t{0x11})(s);
      s.String(c.text);
    };
    Bytes bytes = Write(16, false, fill);
    Bytes expected(static_cast<std::size_t>(c.start), 0x11);
    expected.insert(expected.end(), c.text.begin(), c.text.end());
    expected.resize(static_cast<std::size_t>(c.end), 0);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(SizeOf(fill), c.end);
    ReconStream reader = ReconStream::Reader(bytes, false);
    std::vector<std::uint8_t> skip(static_cast<std::size_t>(c.start));
    reader.Bytes(skip);
    CTGString out = "x";
    reader.String(out);
    EXPECT_EQ(out.Str(), c.text);
    EXPECT_EQ(reader.Position(), c.end);
  }
  EXPECT_EQ(Write(16, false, Put(std::string("ab\0cd", 5))), (Bytes{'a', 'b', 0, 0}));
}

TEST(ReconStrings, StartOnAWholeByteInFieldEncoding) {
  Bytes bytes = Write(16, false, Field(Put(std::int32_t{5}, std::string("hi"), std::int32_t{1})));
  EXPECT_EQ(bytes, (Bytes{0x82, 0x80, 'h', 'i', 0, 0, 0x80, 0x80}));
  ReconStream reader = ReconStream::Reader(bytes, false);
  reader.SetFieldEncoding();
  std::int32_t a = 0, c = 0;
  std::string b;
  reader.Value(a);
  reader.Value(b);
  reader.Value(c);
  EXPECT_EQ(std::tie(a, b, c), std::make_tuple(5, std::string("hi"), 1));
}

template <typename T>
Fill ReadsZero() {
  return [](ReconStream& s) {
    T v{};
    if constexpr (std::is_same_v<T, std::string>)
      v = "x";
    else
      v = T(9);
    s.Value(v);
    EXPECT_EQ(v, T{});
  };
}

void ReadsTwoZeroBytes(ReconStream& s) {
  std::uint8_t v[2] = {9, 9};
  s.Bytes(v);
  EXPECT_EQ(v[0] + v[1], 0);
}

// A record shorter than its fields: each read that does not fit is
// reported once, yields zero and stops the stream.
TEST(ReconOverflow, ShortDataStopsTheStream) {
  struct Case {
    const char* name;
    Bytes data;
    bool field;
    Fill read;
    const char* report;
  };
  const Case cases[] = {
      {"bytes", {1}, false, ReadsTwoZeroBytes, "(fPosition + numelems <= fSize) overflow"},
      {"short", {1}, false, ReadsZero<std::int16_t>(), "(fPosition + numelems*2 <= fSize) overflow"},
      {"long", {1, 2, 3}, false, ReadsZero<std::int32_t>(), "(fPosition + numelems*4 <= fSize) overflow"},
      {"float", {1, 2}, false, ReadsZero<float>(), "(fPosition + numelems*4 <= fSize) overflow"},
      {"field", {0x82}, true, ReadsZero<std::int32_t>(), "(fPosition + 1 <= fSize) overflow"},
      {"field empty", {}, true, ReadsZero<std::int16_t>(), "(fPosition + 1 <= fSize) overflow"},
      {"unterminated", {'a', 'b'}, false, ReadsZero<std::string>(), "(fPosition + length + 1 <= fSize) overflow"},
      {"mark", {0, 0, 0}, false, [](ReconStream& s) { s.PutMark(); }, "(fPosition + 4 <= fSize) overflow"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    if (c.field) reader.SetFieldEncoding();
    c.read(reader);
    EXPECT_TRUE(reader.Failed());
    EXPECT_TRUE(capture.Saw(c.report)) << (capture.Count() ? capture.Reports()[0] : "");
    const std::int32_t position = reader.Position();
    ReadsZero<std::uint8_t>()(reader);
    ReadsZero<std::string>()(reader);
    EXPECT_EQ(reader.Position(), position);
    EXPECT_EQ(capture.Count(), 1u) << "one report per stream";
  }
}

TEST(ReconOverflow, WritingPastTheBufferOrInABrokenModeIsRefused) {
  AssertCapture capture;
  for (const auto& [size, fill] : {std::pair{3, Put(std::int32_t{0x01020304})}, {4, Put(std::string("abcd"))}}) {
    Bytes bytes(static_cast<std::size_t>(size), 0xEE);
    ReconStream writer = ReconStream::Writer(bytes, false);
    fill(writer);
    EXPECT_TRUE(writer.Failed()) << size;
    EXPECT_EQ(bytes, Bytes(static_cast<std::size_t>(size), 0xEE)) << "nothing written";
  }
  EXPECT_TRUE(capture.Saw("overflow"));
  Bytes bytes(4);
  ReconStream sizingWithBuffer(bytes.data(), 4, ReconStream::kSizing, false);
  EXPECT_TRUE(capture.Saw("(mode==kReading || mode==kWriting) wrong mode in constructor"));
  ReconStream broken(bytes.data(), 4, static_cast<ReconStream::Mode>(7), false);
  Put(std::int16_t{1})(broken);
  EXPECT_TRUE(capture.Saw("(fMode==kReading || fMode==kWriting) mode switched"));
  EXPECT_TRUE(broken.Failed());
}

TEST(ReconMarks, EachMarkHoldsThePositionOfTheNext) {
  const Fill record = [](ReconStream& s) {
    s.PutMark();
    Put(std::int32_t{1}, std::int32_t{2}, std::int32_t{3})(s);
    s.PutMark();
    Put(std::int32_t{4})(s);
    s.PutMark();
  };
  for (bool swap : {false, true}) {
    Bytes bytes = Write(64, swap, record);
    Bytes expected = {16, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 24, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    for (auto at = expected.begin(); swap && at != expected.end(); at += 4) std::reverse(at, at + 4);
    EXPECT_EQ(bytes, expected) << "a mark at position 0 is linked too";
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
    EXPECT_EQ(std::tie(a, b, d), std::make_tuple(1, 2, 4));
    EXPECT_FALSE(reader.Failed());
  }
  const Fill field = Field([](ReconStream& s) {
    Put(std::int32_t{5})(s);
    s.PutMark();
    Put(std::int32_t{5})(s);
    s.PutMark();
  });
  EXPECT_EQ(Write(32, false, field), (Bytes{0x82, 0x80, 8, 0, 0, 0, 0x82, 0x80, 0, 0, 0, 0}));
  EXPECT_EQ(SizeOf(field), 12);
}

TEST(ReconMarks, BadMarksAreReported) {
  struct Case {
    Bytes data;
    int skipBefore;  // bytes read before the mark
    const char* report;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 1, 2}, 0, "(fMarkPos!=0) no mark"},
      {{9, 0, 0, 0, 1, 2}, 0, "(fPosition<=fSize) bad mark"},
      {{1, 2, 4, 0, 0, 0}, 2, "bad mark"},  // backwards
      {{1, 2, 2, 0, 0, 0}, 2, "bad mark"},  // onto itself
  };
  for (const auto& c : cases) {
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    std::vector<std::uint8_t> skip(static_cast<std::size_t>(c.skipBefore));
    reader.Bytes(skip);
    reader.PutMark();
    const std::int32_t position = reader.Position();
    reader.SkipToMark();
    EXPECT_TRUE(capture.Saw(c.report)) << c.report;
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Position(), position);
  }
  AssertCapture capture;
  Bytes bytes(8);
  ReconStream writer = ReconStream::Writer(bytes, false);
  writer.PutMark();
  writer.PutMark();
  writer.SkipToMark();
  EXPECT_TRUE(capture.Saw("(fMode==kReading) can't skip to next"));
}

TEST(ReconCount, RefusesCountsTheDataCannotHold) {
  struct Case {
    Bytes data;
    bool field;
    std::uint32_t expected;
    const char* report;
  };
  const Case cases[] = {{{3, 0, 0, 0, 1, 2, 3}, false, 3, nullptr},
                        {{24, 0, 0, 0, 1, 2, 3}, false, 24, nullptr},
                        {{25, 0, 0, 0, 1, 2, 3}, false, 0, "(count <= bits left) element count larger than the data"},
                        {{0xFF, 0xFF, 0xFF, 0xFF}, false, 0, "element count"},
                        {{0x00, 0x00, 0x20, 0x00}, false, 0, "(count <= kMaxElements) element count over the limit"},
                        // Field-encoded 7 (1 00 000111) leaves seven bits in its second byte.
                        {{0x83, 0x80}, true, 7, nullptr},
                        {{0x84, 0x00}, true, 0, "element count larger than the data"}};
  for (const auto& c : cases) {
    AssertCapture capture;
    ReconStream reader = ReconStream::Reader(c.data, false);
    if (c.field) reader.SetFieldEncoding();
    std::uint32_t count = 99;
    reader.Count(count);
    EXPECT_EQ(count, c.expected);
    EXPECT_EQ(reader.Failed(), c.report != nullptr);
    EXPECT_TRUE(!c.report || capture.Saw(c.report));
  }
}

}  // namespace
}  // namespace pixmold
