#include "core/cosinepalette.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CosinePalette, EntriesForLimit100AndDefaultRates) {
  CosinePalette p;
  p.Build(100, 100, 3, 2, 1);
  struct Row {
    std::uint32_t i;
    int r, g, b;
  } rows[] = {
      {0, 0, 0, 0},       {1, 2, 1, 0},     {10, 166, 88, 24},
      {25, 127, 255, 127}, {50, 255, 0, 255}, {99, 2, 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.i);
    PaletteColour c = p.Colour(row.i, 0);
    EXPECT_EQ(c.red, row.r);
    EXPECT_EQ(c.green, row.g);
    EXPECT_EQ(c.blue, row.b);
  }
}

TEST(CosinePalette, ReLimitStretchesThePeriodAndBlackensAbove) {
  CosinePalette plain;
  plain.Build(100, 100, 3, 2, 1);
  CosinePalette relimited;
  relimited.Build(100, 50, 3, 2, 1);
  PaletteColour c25 = relimited.Colour(25, 50);
  PaletteColour c50 = plain.Colour(50, 0);
  EXPECT_EQ(c25.red, c50.red);
  EXPECT_EQ(c25.green, c50.green);
  EXPECT_EQ(c25.blue, c50.blue);
  for (std::uint32_t i = 51; i < 100; ++i) {
    PaletteColour c = relimited.Colour(i, 50);
    EXPECT_EQ(c.red + c.green + c.blue, 0) << i;
  }
  // A re-limit above the limit only lengthens the period.
  CosinePalette longer;
  longer.Build(100, 400, 3, 2, 1);
  PaletteColour c99 = longer.Colour(99, 400);
  EXPECT_GT(c99.red + c99.green + c99.blue, 0);
}

TEST(CosinePalette, CountsWithoutAnEntryAreBlack) {
  struct Row {
    const char* name;
    std::uint64_t n;
    std::uint32_t count;
  } rows[] = {
      {"count at the limit", 100, 100},
      {"count far above", 100, 65535},
      {"limit 0", 0, 0},
      {"limit 0, any count", 0, 17},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    CosinePalette p;
    p.Build(r.n, r.n, 3, 2, 1);
    PaletteColour c = p.Colour(r.count, 0);
    EXPECT_EQ(c.red + c.green + c.blue, 0);
  }
}

TEST(CosinePalette, HugeLimitsNeedNoHugeTable) {
  struct Row {
    std::uint64_t limit, entries;
  } rows[] = {
      {0, 0}, {100, 100}, {65536, 65536}, {65537, 65536}, {4000000000u, 65536},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.limit);
    CosinePalette p;
    p.Build(row.limit, 4000000000u, 3, 2, 1);
    EXPECT_EQ(p.Entries(), row.entries);
  }
  // The capped table still holds the colours of the long period.
  CosinePalette p;
  p.Build(4000000000u, 4000000000u, 3, 2, 1);
  CosinePalette small;
  small.Build(65536, 4000000000u, 3, 2, 1);
  EXPECT_EQ(p.Colour(65535, 0).red, small.Colour(65535, 0).red);
  EXPECT_EQ(p.Colour(65535, 0).green, small.Colour(65535, 0).green);
}

TEST(CosinePalette, DegenerateRatesGiveDefinedColours) {
  CosinePalette zero;
  zero.Build(100, 100, 0, 0, 0);
  for (std::uint32_t i = 0; i < 100; ++i) {
    PaletteColour c = zero.Colour(i, 0);
    EXPECT_EQ(c.red + c.green + c.blue, 0) << i;
  }
  CosinePalette odd;
  odd.Build(100, 100, NAN, INFINITY, 1e300);
  PaletteColour c = odd.Colour(10, 0);
  EXPECT_EQ(c.red, 0);
  EXPECT_EQ(c.green, 0);
}

}  // namespace
