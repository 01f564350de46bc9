// ScaledCx against FloatExp: values kept exactly through re-normalisation,
// at and beyond the edges of double's range, and sums of far apart scales.
#include "deep/scaled.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

using deep::FloatExp;
using deep::ScaledCx;

namespace {

bool Same(FloatExp a, FloatExp b) {
  return a.IsZero() ? b.IsZero() : (a.m == b.m && a.e == b.e);
}

// Powers of two by the bits and by ldexp agree, in and past the normal
// range, and exponents read from the bits agree with frexp, subnormals too.
TEST(ScaledCx, PowersAndExponentsAgreeWithTheLibrary) {
  const std::int64_t ks[] = {-5000, -1100, -1074, -1023, -1022, -1,  0,
                             1,     511,   1023,  1024,  1100,  5000};
  const double xs[] = {1.0, -0.75, 0x1.fffffffffffffp-1, 3e-310, 5e-324};
  for (double x : xs) {
    int want;
    std::frexp(x, &want);
    EXPECT_EQ(want, deep::FrexpExponent(x)) << x;
    for (std::int64_t k : ks) {
      EXPECT_EQ(std::ldexp(x, static_cast<int>(k)), deep::TimesPow2(x, k))
          << x << " " << k;
    }
  }
  EXPECT_EQ(0x1p-1022, deep::Pow2OrZero(-1022));
  EXPECT_EQ(0.0, deep::Pow2OrZero(-1023));
  EXPECT_EQ(HUGE_VAL, deep::Pow2OrZero(1024));
  EXPECT_EQ(0.0, deep::NormalOrZero(FloatExp(0.5, -1022)));
  EXPECT_EQ(0x1p-1022, deep::NormalOrZero(FloatExp(0.5, -1021)));
}

// Of and Renormalise keep the value exactly and put the larger part of w in
// [0.5, 1), or stop the exponent at the cap.
TEST(ScaledCx, RenormalisingKeepsTheValue) {
  struct Row {
    double re, im;
    std::int64_t e;  // both parts times 2^e
    std::int64_t cap;
  } rows[] = {
      {1.0, 0.0, -3000, 0},
      {-0.375, 0.75, -1022, 0},
      {3.0, -5.0, -990, 0},
      {0x1p60, 1.0, -1100, 0},
      {0x1p-70, -0x1p-60, -900, 0},
      {2.0, 1.0, 0, 0},
      {2.0, 1.0, 40, 0},
      {2.0, 1.0, 40, 100},
      {0.0, -7.0, 6000, ScaledCx::NoCap},
      {0.0, 0.0, -50, 0},
      {1.5, 1e-200, -2000, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.re << " " << row.im << " 2^" << row.e
                                    << " cap " << row.cap);
    FloatExp re = Ldexp(FloatExp(row.re), row.e);
    FloatExp im = Ldexp(FloatExp(row.im), row.e);
    ScaledCx z = ScaledCx::Of(re, im, row.cap);
    EXPECT_TRUE(Same(re, z.Re()));
    EXPECT_TRUE(Same(im, z.Im()));
    EXPECT_LE(z.s, row.cap);
    double big = std::fmax(std::fabs(z.re), std::fabs(z.im));
    // Zero at exponent 0 (or the cap below it): sums of exponents stay far
    // from overflow.
    if (big == 0) {
      EXPECT_EQ(std::min<std::int64_t>(row.cap, 0), z.s);
    }
    if (big != 0 && z.s < row.cap) {
      EXPECT_GE(big, 0.5);
      EXPECT_LT(big, 1.0);
    }
    // Off by 2^k, as a step leaves it, and back.
    for (int k : {-200, -65, 65, 300}) {
      ScaledCx moved = z;
      moved.re = std::ldexp(z.re, k);
      moved.im = std::ldexp(z.im, k);
      moved.s -= k;
      moved.Renormalise(row.cap);
      EXPECT_TRUE(Same(re, moved.Re())) << k;
      EXPECT_TRUE(Same(im, moved.Im())) << k;
      EXPECT_LE(moved.s, row.cap);
    }
  }
  // Zero takes exponent 0 (or the cap below it), whatever it had.
  ScaledCx zero{0, 0, 5000};
  zero.Renormalise(0);
  EXPECT_EQ(0, zero.s);
}

// Products and sums round as FloatExp's where nothing is subnormal; a term
// below 2^-1022 of the other is dropped, unless the other is 0.
TEST(ScaledCx, ArithmeticAgreesWithFloatExp) {
  struct Row {
    double ar, ai;
    std::int64_t ae;
    double br, bi;
    std::int64_t be;
  } rows[] = {
      {0.7, -0.3, -1500, 0.9, 0.1, -1500},
      {0.7, -0.3, 2000, -0.6, 0.55, -3000},
      {0.1, 0.2, -5, 0.3, -0.4, -60},
      {0.5, 0.5, 0, -0.5, -0.5, 0},     // cancels to 0
      {0.6, 0.0, 0, 0.6, 0.0, -1500},   // far apart
      {0.0, 0.0, 0, 0.6, -0.2, -7000},  // a zero
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.ar << " 2^" << row.ae << ", "
                                    << row.br << " 2^" << row.be);
    FloatExp ar = Ldexp(FloatExp(row.ar), row.ae);
    FloatExp ai = Ldexp(FloatExp(row.ai), row.ae);
    FloatExp br = Ldexp(FloatExp(row.br), row.be);
    FloatExp bi = Ldexp(FloatExp(row.bi), row.be);
    ScaledCx a = ScaledCx::Of(ar, ai), b = ScaledCx::Of(br, bi);
    ScaledCx sum = a + b;
    EXPECT_TRUE(Same(ar + br, sum.Re()));
    EXPECT_TRUE(Same(ai + bi, sum.Im()));
    ScaledCx product = a * b;
    EXPECT_TRUE(Same(ar * br - ai * bi, product.Re()));
    EXPECT_TRUE(Same(ar * bi + ai * br, product.Im()));
  }
}

}  // namespace
