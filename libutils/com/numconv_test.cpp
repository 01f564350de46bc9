#include "libutils/com/numconv.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(NumConv, IntegersTakeTheirBaseFromTheText) {
  struct Row {
    const char* text;
    std::int32_t i32;
    std::uint32_t u32;
  } rows[] = {
      {"400", 400, 400},
      {"0x10", 16, 16},
      {"010", 8, 8},
      {"  -5", -5, 4294967291u},
      {"12abc", 12, 12},
      {"abc", 0, 0},
      {"", 0, 0},
      {"4294967295", INT32_MAX, 4294967295u},
      {"4294967296", INT32_MAX, 4294967295u},
      {"-2147483649", INT32_MIN, 2147483647u},
      {"99999999999999999999999", INT32_MAX, 4294967295u},
      {"-4294967295", INT32_MIN, 1u},
      {"--5", 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(libutils::to_i32(r.text), r.i32);
    EXPECT_EQ(libutils::to_u32(r.text), r.u32);
  }
  EXPECT_EQ(libutils::to_i32(nullptr), 0);
  EXPECT_EQ(libutils::to_u32(nullptr), 0u);
}

TEST(NumConv, DoublesAcceptEveryCForm) {
  EXPECT_EQ(libutils::to_double("-0.75"), -0.75);
  EXPECT_EQ(libutils::to_double("0x1p-2"), 0.25);
  EXPECT_EQ(libutils::to_double("1e-7x"), 1e-7);
  EXPECT_EQ(libutils::to_double("x"), 0.0);
  EXPECT_TRUE(std::isnan(libutils::to_double("nan")));
  EXPECT_TRUE(std::isinf(libutils::to_double("-inf")));
  EXPECT_EQ(libutils::to_double(nullptr), 0.0);
}

}  // namespace
