#include "viewer/colouring.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

// Worked by hand: half the limit is t = pi (cos t = -1, cos 3t = -1,
// cos 2t = 1); a third is t = 2pi/3 (cos t = cos 2t = -1/2, cos 3t = 1).
TEST(Colouring, KnownColours) {
  struct Row {
    unsigned short n;
    std::uint64_t limit;
    unsigned char r, g, b;
  } rows[] = {
      {0, 100, 0, 0, 0},
      {50, 100, 254, 254, 0},
      {100, 300, 190, 0, 190},
      {0, 0, 0, 0, 0},
      {7, 0, 0, 0, 0},  // a limit of 0 is black, not a division fault
      {32768, 65536, 254, 254, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.n << "/" << row.limit);
    unsigned char rgb[3] = {1, 1, 1};
    count_colour(row.n, row.limit, rgb);
    EXPECT_EQ(row.r, rgb[0]);
    EXPECT_EQ(row.g, rgb[1]);
    EXPECT_EQ(row.b, rgb[2]);
  }
}

TEST(Colouring, LineIsConsecutivePixelsRedFirst) {
  const unsigned short counts[] = {50, 0, 100};
  unsigned char rgb[10];
  std::fill(rgb, rgb + 10, 0xAA);
  colour_line(counts, 3, 300, rgb);
  const unsigned char expected[] = {63, 254, 190, 0, 0, 0, 190, 0, 190, 0xAA};
  // 50/300 is t = pi/3: cos t = 1/2, cos 3t = -1, cos 2t = -1/2.
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i], rgb[i]);
  }
}

}  // namespace
}  // namespace zv
