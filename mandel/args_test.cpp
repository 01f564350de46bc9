#include "mandel/args.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MandelArgs, SizesAreTwoWholeSidesWithinTheFormatLimits) {
  struct Row {
    const char* text;
    bool ok;
    std::uint64_t w, h;
  } rows[] = {
      {"640x480", true, 640, 480},
      {"1X1", true, 1, 1},
      {"2147483647x1", true, 2147483647u, 1},
      {"2147483648x1", false, 0, 0},
      {"0x10", false, 0, 0},
      {"10x0", false, 0, 0},
      {"640", false, 0, 0},
      {"640x", false, 0, 0},
      {"x480", false, 0, 0},
      {"-640x480", false, 0, 0},
      {"640x480x2", false, 0, 0},
      {"64 0x480", false, 0, 0},
      {"99999999999999999999999x1", false, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::uint64_t w = 7, h = 7;
    std::string error;
    EXPECT_EQ(ParseSize(row.text, w, h, error), row.ok);
    if (row.ok) {
      EXPECT_EQ(w, row.w);
      EXPECT_EQ(h, row.h);
    } else {
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(w, 7u);
    }
  }
}

TEST(MandelArgs, WholeNumbersWithinTheirRange) {
  struct Row {
    const char* text;
    std::uint64_t min, max;
    bool ok;
    std::uint64_t value;
  } rows[] = {
      {"0", 0, 4294967295u, true, 0},
      {"4294967295", 0, 4294967295u, true, 4294967295u},
      {"4294967296", 0, 4294967295u, false, 0},
      {"18446744073709551616", 0, UINT64_MAX, false, 0},
      {"16", 1, 16, true, 16},
      {"17", 1, 16, false, 0},
      {"0", 1, 16, false, 0},
      {"+3", 1, 16, false, 0},
      {"3.0", 1, 16, false, 0},
      {"1e2", 0, 1000, false, 0},
      {"0x10", 0, 1000, false, 0},
      {"", 0, 1000, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::uint64_t value = 99;
    std::string error;
    EXPECT_EQ(ParseWhole(row.text, row.min, row.max, value, error), row.ok);
    if (row.ok) {
      EXPECT_EQ(value, row.value);
    } else {
      EXPECT_EQ(error, "must be a whole number from " +
                           std::to_string(row.min) + " to " +
                           std::to_string(row.max));
    }
  }
}

TEST(MandelArgs, OutputKindFollowsTheExtension) {
  struct Row {
    const char* name;
    bool ok;
    OutputKind kind;
  } rows[] = {
      {"a.png", true, OutputKind::Png},
      {"dir.x/A.PNG", true, OutputKind::Png},
      {"-", true, OutputKind::Png},
      {"a.bmp", true, OutputKind::Bmp},
      {"a.Exr", true, OutputKind::CountFile},
      {"a", false, OutputKind::Png},
      {".png", false, OutputKind::Png},
      {"a.png.txt", false, OutputKind::Png},
      {"a.jpg", false, OutputKind::Png},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OutputKind kind = OutputKind::Png;
    std::string error;
    EXPECT_EQ(OutputKindOf(row.name, kind, error), row.ok);
    if (row.ok)
      EXPECT_EQ(kind, row.kind);
    else
      EXPECT_FALSE(error.empty());
  }
}

}  // namespace

TEST(MandelArgs, RangesAreTwoOrderedFrameNumbers) {
  const struct {
    const char* text;
    bool ok;
    std::uint64_t first, last;
  } rows[] = {
      {"0:99", true, 0, 99},     {"7:7", true, 7, 7},
      {"5:2", false, 0, 0},      {"5", false, 0, 0},
      {":5", false, 0, 0},       {"1:", false, 0, 0},
      {"-1:5", false, 0, 0},     {"1:2:3", false, 0, 0},
      {" 1:2", false, 0, 0},     {"18446744073709551616:1", false, 0, 0},
  };
  for (const auto& row : rows) {
    std::uint64_t a = 42, b = 42;
    std::string error;
    EXPECT_EQ(row.ok, ParseRange(row.text, a, b, error)) << row.text;
    if (row.ok) {
      EXPECT_EQ(row.first, a) << row.text;
      EXPECT_EQ(row.last, b) << row.text;
    } else {
      EXPECT_FALSE(error.empty()) << row.text;
      EXPECT_EQ(42u, a) << row.text;
    }
  }
}
