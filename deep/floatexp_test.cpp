// FloatExp against double where double is exact, and past double's range
// against values worked out by hand.
#include "deep/floatexp.h"

#include <gtest/gtest.h>

#include <cmath>

using deep::FloatExp;

namespace {

// Exact in double, so FloatExp must agree bit for bit.
TEST(FloatExp, AgreesWithDoubleInItsRange) {
  struct Row {
    double a, b;
  } rows[] = {
      {1.5, 2.25},   {-3.0, 0.125},      {1e300, 1e-300},
      {0.1, 0.2},    {1.0, -1.0},        {1.0, -0.9999999999999999},
      {5e-324, 1.0}, {2.5e-310, 3e-310}, {-7.25, 1e-30},
      {0.0, 4.0},    {1e200, 1e200},     {3.0, 0x1p-70},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.a << " " << row.b);
    FloatExp a(row.a), b(row.b);
    double product = row.a * row.b;
    if (std::isfinite(product) &&
        (product == 0 || std::fabs(product) >= 0x1p-1022)) {
      EXPECT_EQ(product, (a * b).ToDouble());
    }
    EXPECT_EQ(row.a + row.b, (a + b).ToDouble());
    EXPECT_EQ(row.a - row.b, (a - b).ToDouble());
    if (row.b != 0 && std::fabs(row.a / row.b) < 1e300 &&
        std::fabs(row.a / row.b) >= 0x1p-1022) {
      EXPECT_EQ(row.a / row.b, (a / b).ToDouble());
    }
    EXPECT_EQ(row.a < row.b, a < b);
    EXPECT_EQ(row.b < row.a, b < a);
    EXPECT_EQ(row.a, a.ToDouble());
    if (row.a >= 0) {
      EXPECT_EQ(std::sqrt(row.a), Sqrt(a).ToDouble());
    }
  }
}

TEST(FloatExp, KeepsValuesFarBeyondDouble) {
  FloatExp tiny(0.75, -3000);  // 1.5 * 2^-3001
  FloatExp square = tiny * tiny;
  EXPECT_EQ(0.5625, square.m);
  EXPECT_EQ(-6000, square.e);
  EXPECT_EQ(0.0, square.ToDouble());
  // 2^-3000 plus 2^-3001 is 1.5 * 2^-3000; a term 2^-70 times smaller
  // cannot change it.
  FloatExp sum = FloatExp(0.5, -2999) + FloatExp(0.5, -3000);
  EXPECT_EQ(0.75, sum.m);
  EXPECT_EQ(-2999, sum.e);
  EXPECT_EQ(sum.m, (sum + FloatExp(0.5, -3070)).m);
  // Cancellation renormalises: (1 + 2^-40) - 1 = 2^-40, at any exponent.
  FloatExp diff = FloatExp(1 + 0x1p-40, -5000) - FloatExp(1.0, -5000);
  EXPECT_EQ(0.5, diff.m);
  EXPECT_EQ(-5039, diff.e);
  EXPECT_TRUE((FloatExp(3.0, -7000) - FloatExp(3.0, -7000)).IsZero());
  // Square root with an odd exponent: sqrt(2^-4001) = 2^-2000.5.
  EXPECT_DOUBLE_EQ(std::sqrt(0.5), Sqrt(FloatExp(1.0, -4001)).m);
  EXPECT_EQ(-2000, Sqrt(FloatExp(1.0, -4001)).e);
  EXPECT_EQ(HUGE_VAL, FloatExp(1.0, 5000).ToDouble());
}

TEST(FloatExp, OrdersAcrossSignsZeroAndExponents) {
  const FloatExp ordered[] = {
      FloatExp(-1.0, 4000),  FloatExp(-1.0, 0), FloatExp(-0.75, -4000),
      FloatExp(-0.5, -4000), FloatExp(),        FloatExp(0.5, -4000),
      FloatExp(0.75, -4000), FloatExp(1.0, -1), FloatExp(1.0, 4000),
  };
  const int n = sizeof ordered / sizeof ordered[0];
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      SCOPED_TRACE(testing::Message() << i << " " << j);
      EXPECT_EQ(i < j, ordered[i] < ordered[j]);
    }
  }
}

}  // namespace
