#include "base/byte_cursor.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace pixmold {
namespace {

constexpr std::array<std::uint8_t, 6> kBytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};

TEST(ByteCursor, FieldsDecodeInTheOrderAsked) {
  struct Case {
    ByteOrder order;
    std::uint16_t u16;
    std::uint32_t u32;
  };
  const Case cases[] = {
      {ByteOrder::kLittle, 0x3412, 0xBC9A7856},
      {ByteOrder::kBig, 0x1234, 0x56789ABC},
  };
  for (const Case& c : cases) {
    ByteCursor cursor(kBytes, c.order);
    EXPECT_EQ(cursor.U16(), c.u16);
    EXPECT_EQ(cursor.U32(), c.u32);
    EXPECT_TRUE(cursor.AtEnd());
    EXPECT_EQ(LoadU16(kBytes, 0, c.order), c.u16);
    EXPECT_EQ(LoadU32(kBytes, 2, c.order), c.u32);
    std::array<std::uint8_t, 6> stored{};
    StoreU16(stored, 0, c.u16, c.order);
    StoreU32(stored, 2, c.u32, c.order);
    EXPECT_EQ(stored, kBytes);
  }
  ByteCursor cursor(kBytes, ByteOrder::kBig);
  EXPECT_EQ(cursor.I16(), 0x1234);
  EXPECT_EQ(cursor.U8(), 0x56);
  cursor.Skip(1);
  EXPECT_EQ(cursor.I16(), static_cast<std::int16_t>(0x9ABC));
}

// A read that does not fit returns nothing, leaves the position, and fails
// every read after it, however small.
TEST(ByteCursor, AReadPastTheEndFailsForGood) {
  struct Case {
    const char* name;
    std::size_t start;
    void (*read)(ByteCursor&);
  };
  const Case cases[] = {
      {"u8 at the end", 6, [](ByteCursor& c) { EXPECT_EQ(c.U8(), 0); }},
      {"u16 with one byte left", 5, [](ByteCursor& c) { EXPECT_EQ(c.U16(), 0); }},
      {"u32 with three left", 3, [](ByteCursor& c) { EXPECT_EQ(c.U32(), 0u); }},
      {"bytes one too many", 2, [](ByteCursor& c) { EXPECT_TRUE(c.Bytes(5).empty()); }},
      {"skip one too many", 4, [](ByteCursor& c) { EXPECT_FALSE(c.Skip(3)); }},
      {"seek past the end", 0, [](ByteCursor& c) { EXPECT_FALSE(c.Seek(7)); }},
      {"string without its zero", 0, [](ByteCursor& c) { EXPECT_EQ(c.CString(), ""); }},
  };
  for (const Case& c : cases) {
    ByteCursor cursor(kBytes, ByteOrder::kLittle);
    ASSERT_TRUE(cursor.Seek(c.start)) << c.name;
    EXPECT_TRUE(cursor.Has(kBytes.size() - c.start)) << c.name;
    c.read(cursor);
    EXPECT_TRUE(cursor.Failed()) << c.name;
    EXPECT_EQ(cursor.Position(), c.start) << c.name;
    EXPECT_FALSE(cursor.Has(0)) << c.name;
    EXPECT_FALSE(cursor.Seek(0)) << c.name;
    EXPECT_TRUE(cursor.Rest().empty()) << c.name;
  }
}

TEST(ByteCursor, SpansAndStringsAreTakenInPlace) {
  const std::vector<std::uint8_t> bytes = {'a', 'b', 0, 0, 7, 8, 9};
  ByteCursor cursor(bytes, ByteOrder::kLittle);
  EXPECT_EQ(cursor.CString(), "ab");
  EXPECT_EQ(cursor.CString(), "");
  const auto run = cursor.Bytes(2);
  ASSERT_EQ(run.size(), 2u);
  EXPECT_EQ(run.data(), bytes.data() + 4);
  EXPECT_EQ(cursor.Remaining(), 1u);
  EXPECT_EQ(cursor.Rest().size(), 1u);
  EXPECT_TRUE(cursor.AtEnd());
  EXPECT_FALSE(cursor.Failed());
}

}  // namespace
}  // namespace pixmold
