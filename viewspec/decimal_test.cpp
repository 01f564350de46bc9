#include "viewspec/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

TEST(Decimal, Grammar) {
  for (const char* good :
       {"0", "-0", "+1", "1.", ".5", "-.5", "12.345", "1e5", "1E-5",
        "-1.5e+300", "00012", "1e9999", "1.25e-0009"}) {
    EXPECT_TRUE(IsDecimal(good)) << good;
  }
  for (const char* bad :
       {"", "+", "-", ".", "e5", "1e", "1e+", "1e99999", "1.2.3", "--1", "1 ",
        " 1", "0x10", "inf", "nan", "1,5", "1e5.5", "١"}) {
    EXPECT_FALSE(IsDecimal(bad)) << bad;
  }
  EXPECT_TRUE(IsDecimal(std::string(MaxDecimalChars, '7')));
  EXPECT_FALSE(IsDecimal(std::string(MaxDecimalChars + 1, '7')));
}

// Hand-worked: corner + width / 2, the centre of a view given by its
// corner, without a digit lost.
TEST(Decimal, AddHalfIsExact) {
  struct Row {
    const char* a;
    const char* b;
    const char* sum;
  } rows[] = {
      {"-2", "4", "0"},
      {"-0.75", "0.5", "-0.5"},
      {"0.1", "0.3", "0.25"},
      {"1", "1", "1.5"},
      {"-1", "1", "-0.5"},
      {"-0.5", "1", "0"},
      {"1e-300", "2e-300", "2e-300"},
      {"+1.50", "-3.0", "0"},
      {"-0.743643887037158704752191506114774", "1e-20",
       "-0.743643887037158704747191506114774"},
      {"0.131825904205311970493132056385139", "3.3e-30",
       "0.131825904205311970493132056386789"},
      {"123456789012345678901234", "0", "1.23456789012345678901234e23"},
      {"5", "1e30", "5.00000000000000000000000000005e29"},
      {"0", "0.000003", "0.0000015"},
      {"0", "0.0000002", "1e-7"},
      {"9.99", "0.02", "10"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " + " + row.b + " / 2");
    EXPECT_EQ(row.sum, DecimalAddHalf(row.a, row.b));
    EXPECT_TRUE(IsDecimal(DecimalAddHalf(row.a, row.b)));
  }
}

TEST(Decimal, EqualityAndSign) {
  struct Row {
    const char* a;
    const char* b;
    bool equal;
  } rows[] = {
      {"0.50", "+5e-1", true},
      {"-0", "0.000", true},
      {"100", "1e2", true},
      {"1", "-1", false},
      {"0.1", "0.10000000000000001", false},
      {"12e-3", "0.012", true},
      {"1", "10e-1", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " " + row.b);
    EXPECT_EQ(row.equal, DecimalEqual(row.a, row.b));
    EXPECT_EQ(row.equal, DecimalEqual(row.b, row.a));
  }
  EXPECT_EQ(0, DecimalSign("-0.0e5"));
  EXPECT_EQ(-1, DecimalSign("-1e-9999"));
  EXPECT_EQ(1, DecimalSign("0.0001"));
}

TEST(Decimal, ToDouble) {
  struct Row {
    const char* text;
    bool ok;
    double value;
  } rows[] = {
      {"0.1", true, 0.1},
      {"+2.5", true, 2.5},
      {"-1.5e-300", true, -1.5e-300},
      {"1e-400", true, 0.0},
      {"4.9e-324", true, 4.9e-324},
      {"1.7976931348623157e308", true, 1.7976931348623157e308},
      {"1e309", false, 0},
      {"-1e400", false, 0},
      {"x", false, 0},
      // 0.1 to 40 digits still rounds to the double nearest 0.1.
      {"0.1000000000000000000000000000000000000001", true, 0.1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    double v = 123;
    EXPECT_EQ(row.ok, DecimalToDouble(row.text, v));
    if (row.ok) {
      EXPECT_EQ(row.value, v);
    }
  }
  double v;
  ASSERT_TRUE(DecimalToDouble("-1e-400", v));
  EXPECT_TRUE(std::signbit(v));
}
