#include "colour/basicmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

// The library's functions serve as the yardstick: the series must agree
// with them to near the last bit over the whole range.
TEST(BasicMath, AgreesWithTheLibrary) {
  for (double x = 1e-300; x < 1e300; x *= 1.7) {
    ASSERT_NEAR(std::log(x), basicmath::Ln(x),
                1e-15 * std::fabs(std::log(x)) + 2e-14)
        << x;
  }
  for (double x = 4e-320; x < 1e-300; x *= 3.1) {  // subnormal and tiny
    ASSERT_NEAR(std::log(x), basicmath::Ln(x), 1e-15 * std::fabs(std::log(x)))
        << x;
  }
  for (double x = 0.01; x < 100; x += 0.0731) {
    ASSERT_NEAR(std::log(x), basicmath::Ln(x), 2e-14) << x;
  }
  for (double x = -700; x < 700; x += 0.917) {
    ASSERT_NEAR(1.0, basicmath::Exp(x) / std::exp(x), 4e-15) << x;
  }
  for (double x = 0.001; x <= 1; x += 0.00097) {
    ASSERT_NEAR(std::pow(x, 2.4), basicmath::Pow(x, 2.4), 1e-13) << x;
  }
}

TEST(BasicMath, Edges) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(0.0, basicmath::Ln(1));
  EXPECT_EQ(-inf, basicmath::Ln(0));
  EXPECT_EQ(inf, basicmath::Ln(inf));
  EXPECT_TRUE(std::isnan(basicmath::Ln(-1)));
  EXPECT_TRUE(std::isnan(basicmath::Ln(std::nan(""))));
  EXPECT_EQ(1.0, basicmath::Exp(0));
  EXPECT_EQ(inf, basicmath::Exp(1000));
  EXPECT_EQ(0.0, basicmath::Exp(-1000));
  EXPECT_EQ(0.0, basicmath::Pow(0, 2.4));
  EXPECT_EQ(-inf, basicmath::LnHypot(0, 0));
  EXPECT_EQ(inf, basicmath::LnHypot(inf, 1));
  EXPECT_TRUE(std::isnan(basicmath::LnHypot(std::nan(""), 1)));
}

// Squares that overflow or vanish in double must not reach the logarithm.
TEST(BasicMath, LnHypotAtExtremeScales) {
  struct Row {
    double x, y, ln;
  } rows[] = {
      {3, 4, std::log(5.0)},
      {-3e200, 4e200, std::log(5.0) + 200 * std::log(10.0)},
      {3e-200, -4e-200, std::log(5.0) - 200 * std::log(10.0)},
      {1e308, 1e308, std::log(1e308) + 0.5 * std::log(2.0)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.x);
    EXPECT_NEAR(row.ln, basicmath::LnHypot(row.x, row.y),
                1e-14 * std::fabs(row.ln));
  }
}

// The bits themselves, as this build computes them: every build (other
// compilers, other C libraries, Windows) must give exactly these, or
// pictures would differ between them.
TEST(BasicMath, SameBitsOnEveryBuild) {
  struct Row {
    double x, ln;
  } lns[] = {
      {0x1.999999999999ap-4, -0x1.26bb1bbb55515p+1},
      {0x1.8p+0, 0x1.9f323ecbf984cp-2},
      {0x1.8p+1, 0x1.193ea7aad030ap+0},
      {0x1.7e43c8800759cp+996, 0x1.5963447f87fb5p+9},
      {0x0.05c0ab9347ed7p-1022, -0x1.6418918519e41p+9},
      {0x1.5bf0a8b145769p+1, 0x1.fffffffffffffp-1},
  };
  for (const Row& row : lns) EXPECT_EQ(row.ln, basicmath::Ln(row.x)) << row.x;
  Row exps[] = {
      {-0x1.cp+1, 0x1.eec1018e4ff66p-6},
      {0x1p-2, 0x1.48b5e3c3e8186p+0},
      {0x1.5ep+9, 0x1.d945df4f8ec8ep+1009},
  };
  for (const Row& row : exps) EXPECT_EQ(row.ln, basicmath::Exp(row.x)) << row.x;
}

