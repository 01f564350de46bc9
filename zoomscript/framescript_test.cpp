// Unit tests of the frame-script generator's parts that the end-to-end
// golden scripts do not reach: number formats, padding, argument reading.
#include "zoomscript/framescript.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace framescript {
namespace {

TEST(FrameScript, FormatsValuesWith21SignificantDigits) {
  struct Row {
    double value;
    const char* text;
  } rows[] = {
      {-0.75, "-0.75"},
      {0, "0"},
      {1000, "1000"},
      {0.1, "0.100000000000000005551"},
      {1e-7, "9.99999999999999954748e-08"},
      {1e-4, "0.000100000000000000004792"},
      {1e-5, "1.0000000000000000818e-05"},
      {1e20, "100000000000000000000"},
      {1e21, "1e+21"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.text, FormatValue(row.value));
  }
}

TEST(FrameScript, PadsFrameNumbersToWidth) {
  struct Row {
    std::uint32_t n;
    std::int32_t width;
    std::string text;
  } rows[] = {
      {5, 4, "0005"},
      {12345, 3, "12345"},
      {7, 0, "7"},
      {7, -1, "7"},
      {4294967295u, 12, "004294967295"},
      // Longer than one slice of zeros.
      {3, 150, std::string(149, '0') + "3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.width);
    std::ostringstream os;
    WriteFrameNumber(os, row.n, row.width);
    EXPECT_EQ(row.text, os.str());
  }
}

TEST(FrameScript, ReadsArgumentsAsTheCLibraryDoes) {
  const ScriptLayout layout{
      "s.bat", {{"x", ColumnType::Double}, {"n", ColumnType::Unsigned}}};
  struct Row {
    std::vector<const char*> args;
    std::vector<double> start, end;
    std::uint32_t first, last;
    std::int32_t width;
  } rows[] = {
      {{"-1.5", "0x10", "010", "0x1p-2", "10", "0x10", "3", "b"},
       {-1.5, 16},
       {0.25, 10},
       8,
       16,
       3},
      {{"abc", "2.9", "7junk", "1e3", "-1", "5", "-1", "b", "extra"},
       {0, 2},
       {1000, 4294967295.0},
       7,
       5,
       -1},
      {{"0", "0", "0", "0", "0", "0", "4294967295", "b"},
       {0, 0},
       {0, 0},
       0,
       0,
       -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0]);
    std::vector<const char*> argv{"prog"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    FrameScript script;
    ASSERT_TRUE(ParseArguments(layout, static_cast<int>(argv.size()),
                               argv.data(), &script));
    EXPECT_EQ(row.start, script.start);
    EXPECT_EQ(row.end, script.end);
    EXPECT_EQ(row.first, script.first);
    EXPECT_EQ(row.last, script.last);
    EXPECT_EQ(row.width, script.width);
    EXPECT_EQ("b", script.base);
    EXPECT_EQ("b-" + std::to_string(row.last) + ".bat", OutputName(script));
  }
}

// A program may be started with no argument vector at all.
TEST(FrameScript, EmptyArgumentVectorGivesUsage) {
  const ScriptLayout julia{
      "juliastep.bat",
      {{"real", ColumnType::Double}, {"imag", ColumnType::Double}}};
  const char* none[] = {nullptr};
  std::ostringstream out, err;
  EXPECT_EQ(0, ScriptMain(julia, 0, none, out, err));
  EXPECT_EQ("usage:  real imag frame real imag frame width file[.bat]\n",
            out.str());
  EXPECT_EQ("", err.str());
}

}  // namespace
}  // namespace framescript
