#include "colour/basicmath.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

// The library's functions serve as the yardstick: the series must agree
// with them to near the last bit over the whole range.
TEST(BasicMath, AgreesWithTheLibrary) {
  for (double x = 1e-300; x < 1e300; x *= 1.7) {
    ASSERT_NEAR(std::log(x), basicmath::Ln(x), 1e-15 * std::fabs(std::log(x)) + 2e-14)
        << x;
  }
  for (double x = 4e-320; x < 1e-300; x *= 3.1) {  // subnormal and tiny
    ASSERT_NEAR(std::log(x), basicmath::Ln(x), 1e-15 * std::fabs(std::log(x))) << x;
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
