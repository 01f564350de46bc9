#include "colour/antialias.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

// Each of the N x N samples lies in its own cell of the pixel, on the grid
// of 1 / (65536 N), and the sample lines are ordered from the bottom up.
TEST(SampleOffsets, OneSamplePerCell) {
  for (unsigned n = 1; n <= MaxSamples; ++n) {
    SCOPED_TRACE(n);
    for (unsigned j = 0; j < n; ++j) {
      double dy = SampleDy(j, n);
      EXPECT_GE(dy, static_cast<double>(j) / n - 0.5);
      EXPECT_LT(dy, static_cast<double>(j + 1) / n - 0.5);
      double units = dy * 65536 * n;
      EXPECT_NEAR(std::round(units), units, 1e-6);
      for (unsigned i = 0; i < n; ++i) {
        double dx = SampleDx(i, j, n);
        EXPECT_GE(dx, static_cast<double>(i) / n - 0.5);
        EXPECT_LT(dx, static_cast<double>(i + 1) / n - 0.5);
        units = dx * 65536 * n;
        EXPECT_NEAR(std::round(units), units, 1e-6);
      }
    }
  }
  EXPECT_EQ(0.0, SampleDx(0, 0, 1));
  EXPECT_EQ(0.0, SampleDy(0, 1));
}

// The offsets are part of every anti-aliased picture: pinned here so that
// no change of the mixing slips through unnoticed.
TEST(SampleOffsets, FixedForever) {
  struct Row {
    unsigned i, j, n;
    double dx, dy;  // in units of 1 / (65536 n)
  } rows[] = {
      {0, 0, 2, -30410, -20665},    {1, 1, 2, 20949, 9228},
      {2, 1, 3, 85725, 4537},       {3, 3, 4, 116955, 97490},
      {14, 15, 16, 396916, 463092},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.n * 100 + row.j * 10 + row.i);
    EXPECT_EQ(row.dx / (65536.0 * row.n), SampleDx(row.i, row.j, row.n));
    EXPECT_EQ(row.dy / (65536.0 * row.n), SampleDy(row.j, row.n));
  }
}

// Offsets 0 give the engine's own pixel and line; other offsets move by
// the pixel spacing, lenRe / (dotsX - 1).
TEST(SamplePoints, PixelUnits) {
  MandArea a;
  a.minRe = -2;
  a.lenRe = 4;
  a.dotsX = 5;
  a.minIm = -1;
  a.lenIm = 2;
  a.dotsY = 3;
  EXPECT_EQ(-2.0, SampleRe(a, 0, 0));
  EXPECT_EQ(2.0, SampleRe(a, 4, 0));
  EXPECT_EQ(-1.5, SampleRe(a, 0, 0.5));
  EXPECT_EQ(1.75, SampleRe(a, 4, -0.25));
  EXPECT_EQ(-1.0, SampleIm(a, 0, 0));
  EXPECT_EQ(0.5, SampleIm(a, 1, 0.5));
  // A single pixel or line lies in the middle, and its width is the view's.
  a.dotsX = 1;
  a.dotsY = 1;
  EXPECT_EQ(0.0, SampleRe(a, 0, 0));
  EXPECT_EQ(1.0, SampleRe(a, 0, 0.25));
  EXPECT_EQ(0.0, SampleIm(a, 0, 0));
  EXPECT_EQ(-0.5, SampleIm(a, 0, -0.25));
  // The engine divides last: 0.1 * 3 / 7 and 0.1 * (3 / 7) differ.
  a.minRe = 0;
  a.lenRe = 0.1;
  a.dotsX = 8;
  EXPECT_EQ((3 * 0.1) / 7, SampleRe(a, 3, 0));
}

// The line form walks pixels and offsets and divides four samples at a
// time: it must give SampleRe's bits from any starting sample, for any N,
// for a single pixel, and for counts that leave a remainder of the four.
TEST(SamplePoints, LineFormIsSampleRe) {
  struct Row {
    double minRe, lenRe;
    std::uint64_t dots;
    unsigned n;
    std::uint64_t first;
    std::size_t count;
  } rows[] = {
      {-2, 4, 3200, 2, 0, 2048},
      {-2, 4, 3200, 2, 2048, 2048},
      {-0.7454, 0.004, 4000, 3, 7, 1001},
      {0.1, 1e-9, 999, 5, 4990, 5},
      {-2, 4, 1, 3, 0, 3},
      {-2, 4, 2, 4, 1, 7},
      {1e10, 3.3, 1u << 20, 2, 123457, 3},
      // Past 2^53 pixels, where an index is no longer counted in a double.
      {0, 1, std::uint64_t{1} << 54, 2, (std::uint64_t{1} << 53) + 12345, 9},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << r.dots << " pixels, N " << r.n << ", from " << r.first);
    MandArea a;
    a.minRe = r.minRe;
    a.lenRe = r.lenRe;
    a.dotsX = r.dots;
    std::vector<double> dx(r.n);
    for (unsigned i = 0; i < r.n; ++i) dx[i] = SampleDx(i, 1, r.n);
    std::vector<double> out(r.count);
    SampleReLine(a, r.n, dx.data(), r.first, r.count, out.data());
    for (std::size_t k = 0; k < r.count; ++k) {
      const std::uint64_t at = r.first + k;
      const double want = SampleRe(a, at / r.n, dx[at % r.n]);
      ASSERT_EQ(0, std::memcmp(&want, &out[k], sizeof want)) << k;
    }
  }
}

// Known points of the sRGB curve: 0.5 is 0.2140411 linear, and the linear
// segment ends at 0.04045.
TEST(LinearLight, KnownValues) {
  EXPECT_EQ(0u, ToLinear(0));
  EXPECT_EQ(16777216u, ToLinear(65535));
  // 32768 / 65535 is a hair above one half: 0.2140482 linear.
  EXPECT_NEAR(0.2140482 * 16777216, ToLinear(32768), 1);
  // 2651 / 65535 = 0.040452..., just past the joint of the two pieces.
  EXPECT_NEAR((2651 / 65535.0) / 12.92 * 16777216, ToLinear(2651), 3);
  EXPECT_NEAR((2650 / 65535.0) / 12.92 * 16777216, ToLinear(2650), 1);
}

// Levels of this build's table, which every build must share.
TEST(LinearLight, SameLevelsOnEveryBuild) {
  EXPECT_EQ(20u, ToLinear(1));
  EXPECT_EQ(52528u, ToLinear(2651));
  EXPECT_EQ(3591133u, ToLinear(32768));
  EXPECT_EQ(16776634u, ToLinear(65534));
}

TEST(LinearLight, StrictlyIncreasingAndInvertible) {
  for (unsigned c = 1; c < 65536; ++c)
    ASSERT_LT(ToLinear(static_cast<std::uint16_t>(c - 1)),
              ToLinear(static_cast<std::uint16_t>(c)))
        << c;
  for (unsigned c = 0; c < 65536; ++c) {
    std::uint16_t code = static_cast<std::uint16_t>(c);
    ASSERT_EQ(code, FromLinear(ToLinear(code)));
  }
  // Between two codes the nearer wins, the lower on a tie.
  std::uint32_t lo = ToLinear(40000), hi = ToLinear(40001);
  EXPECT_EQ(40000, FromLinear(lo + (hi - lo) / 2));
  EXPECT_EQ(40001, FromLinear(lo + (hi - lo) / 2 + 1));
  EXPECT_EQ(65535, FromLinear(0xFFFFFFFFu));
}

TEST(Average, InLinearLight) {
  // Equal samples give their own colour back, however many there are.
  for (Rgb16 c : {Rgb16{0, 0, 0}, Rgb16{1, 2, 3}, Rgb16{12345, 54321, 65535}}) {
    for (std::size_t n : {1, 4, 9, 256}) {
      std::vector<Rgb16> same(n, c);
      ASSERT_EQ(c, Average(same.data(), n)) << n;
    }
  }
  // Half black and half white is half the light: sRGB 0.7353569, not 0.5.
  Rgb16 bw[] = {{0, 0, 0}, {65535, 65535, 65535}};
  Rgb16 mean = Average(bw, 2);
  EXPECT_NEAR(0.7353569 * 65535, mean.r, 1.5);
  EXPECT_EQ(mean.r, mean.g);
  EXPECT_EQ(mean.r, mean.b);
  // The order of the samples does not matter.
  Rgb16 mix[] = {{100, 30000, 65535}, {50000, 7, 0}, {0, 65535, 3}};
  Rgb16 rev[] = {mix[2], mix[1], mix[0]};
  EXPECT_EQ(Average(mix, 3), Average(rev, 3));
  EXPECT_EQ(Rgb16(), LinearSum().Mean());
}

TEST(Average, BandOfSampleLines) {
  const unsigned n = 3;
  const std::uint64_t width = 4;
  std::vector<std::vector<Rgb16>> lines(n);
  for (unsigned j = 0; j < n; ++j)
    for (std::uint64_t k = 0; k < width * n; ++k)
      lines[j].push_back(Rgb16{static_cast<std::uint16_t>(k * 5000 + j * 77),
                               static_cast<std::uint16_t>(j * 20000),
                               static_cast<std::uint16_t>(65535 - k * 3000)});
  std::vector<LinearSum> sums(width);
  for (unsigned j = 0; j < n; ++j)
    AddSampleLine(lines[j].data(), width, n, sums.data());
  std::vector<Rgb16> row(width);
  TakeMeans(sums.data(), width, row.data());
  for (std::uint64_t m = 0; m < width; ++m) {
    std::vector<Rgb16> pixel;
    for (unsigned j = 0; j < n; ++j)
      for (unsigned i = 0; i < n; ++i) pixel.push_back(lines[j][m * n + i]);
    EXPECT_EQ(Average(pixel.data(), pixel.size()), row[m]) << m;
    EXPECT_EQ(0u, sums[m].count);  // ready for the next row
  }
}
