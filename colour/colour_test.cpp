#include "colour/colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

// The five programs store trunc((1 - cos) * 127.5); the 16-bit code must
// come back to exactly that byte, including just below each whole level.
TEST(CosineCode, EightBitsAreTheTruncatedLevel) {
  struct Row {
    double level;
    unsigned byte;
  } rows[] = {
      {0, 0},
      {0.999999999, 0},
      {1, 1},
      {127.5, 127},
      {128, 128},
      {200.99999999999997, 200},
      {254.99999999999997, 254},
      {254.5, 254},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.level);
    EXPECT_EQ(row.byte, To8(CosineCode(row.level)));
  }
  // And for a dense sweep, against the truncation itself.
  for (double x = 0; x < 255; x += 0.0137) {
    ASSERT_EQ(static_cast<unsigned>(x), To8(CosineCode(x))) << x;
  }
}

TEST(CosineCode, EdgesAndOrder) {
  EXPECT_EQ(0, CosineCode(std::nan("")));
  EXPECT_EQ(0, CosineCode(-3));
  EXPECT_EQ(65535, CosineCode(255));
  EXPECT_EQ(65535, CosineCode(1e300));
  // Half a level above a whole one lies half way to the next code group.
  EXPECT_EQ(10 * 257 + 128, CosineCode(10.5));
  std::uint16_t last = 0;
  for (double x = 0; x <= 255; x += 0.001) {
    std::uint16_t c = CosineCode(x);
    ASSERT_GE(c, last) << x;
    last = c;
  }
}
