// The number an export writes for a stored position must read back, scaled,
// as exactly the stored bits; where no number does, it must say so rather
// than write a near miss.
#include "builder/export/markup_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "builder/dgrp_spec.h"
#include "builder/export/sheet_layout.h"
#include "builder/number_scan.h"

namespace pixmold {
namespace {

bool Lands(const std::string& text, float stored, MarkupScale scale) {
  const std::optional<float> read = ScanFloat(text);
  return read && std::bit_cast<std::uint32_t>(scale(*read)) == std::bit_cast<std::uint32_t>(stored);
}

// Whether any single-precision value near the quotient lands on stored.
bool AnyLands(float stored, MarkupScale scale) {
  float value = static_cast<float>(static_cast<double>(stored) / static_cast<double>(scale(1.0f)));
  for (int i = 0; i < 200; ++i) value = std::nextafter(value, -INFINITY);
  for (int i = 0; i < 400; ++i, value = std::nextafter(value, INFINITY)) {
    if (std::bit_cast<std::uint32_t>(scale(value)) == std::bit_cast<std::uint32_t>(stored)) return true;
  }
  return false;
}

TEST(MarkupFloat, WritesTheShortestNumberThatGivesTheStoredBitsBack) {
  struct Case {
    float markup;
    MarkupScale scale;
    const char* text;
  };
  const Case cases[] = {
      {0.5f, &DGRPSpec::StoredAltitude, "0.5"},       {1.7f, &DGRPSpec::StoredAltitude, "1.7"},
      {-0.25f, &DGRPSpec::StoredCoordinate, "-0.25"}, {3.0f, &DGRPSpec::StoredCoordinate, "3"},
      {1e-7f, &DGRPSpec::StoredCoordinate, "1e-07"},  {-0.0f, &DGRPSpec::StoredAltitude, "-0"},
  };
  for (const Case& c : cases) {
    const float stored = c.scale(c.markup);
    const std::optional<std::string> text = MarkupFloatFor(stored, c.scale);
    ASSERT_TRUE(text.has_value()) << c.markup;
    EXPECT_EQ(*text, c.text);
    EXPECT_TRUE(Lands(*text, stored, c.scale)) << *text;
  }
}

// Scaling by more than one skips stored values; each of those must be
// refused, and every other one written so that it lands.
TEST(MarkupFloat, RefusesExactlyTheStoredValuesNoNumberGives) {
  int refused = 0;
  float stored = DGRPSpec::StoredCoordinate(2.5f);
  for (int i = 0; i < 64; ++i, stored = std::nextafter(stored, INFINITY)) {
    const std::optional<std::string> text = MarkupFloatFor(stored, &DGRPSpec::StoredCoordinate);
    EXPECT_EQ(text.has_value(), AnyLands(stored, &DGRPSpec::StoredCoordinate)) << i;
    if (text) {
      EXPECT_TRUE(Lands(*text, stored, &DGRPSpec::StoredCoordinate)) << *text;
    }
    refused += text ? 0 : 1;
  }
  EXPECT_GT(refused, 0);
}

TEST(SheetStem, KeepsFileNamesInsideTheFolder) {
  EXPECT_EQ(SheetStem("tableset"), "tableset");
  EXPECT_EQ(SheetStem("Oak Table-2.v1"), "Oak_Table-2.v1");
  EXPECT_EQ(SheetStem("../up"), ".._up");
  EXPECT_EQ(SheetStem(".."), "object..");
  EXPECT_EQ(SheetStem(""), "object");
  EXPECT_EQ(SheetStem(std::string(300, 'a')).size(), 200u);
}

}  // namespace
}  // namespace pixmold
