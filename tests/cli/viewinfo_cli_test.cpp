// Saved views with overlong numbers, as setrender meets them from a file or
// a stream.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/testutil.h"

namespace {

using testutil::ProgramResult;
using testutil::RunOptions;
using testutil::RunProgram;

TEST(ViewInfoCli, OverlongNumbersMakeTheInfoInvalid) {
  testutil::ScopedTempDir dir;
  // A 4096-character number is still one; a digit more is not.
  const std::string longest = "-" + std::string(4094, '0') + "2";
  testutil::WriteBytes(dir.File("edge.mni"), longest + " -2 4 4 4 3 10\n");
  testutil::WriteBytes(dir.File("over.mni"),
                       "-0" + longest.substr(1) + " -2 4 4 4 3 10\n");
  testutil::WriteBytes(dir.File("edge.mnd"), std::string(24, '\0'));
  testutil::WriteBytes(dir.File("over.mnd"), std::string(24, '\0'));
  RunOptions in;
  in.cwd = dir.path();

  ProgramResult edge = RunProgram({SETRENDER_EXE, "-f", "edge", "edge"}, in);
  EXPECT_EQ(edge.exit, 0);
  EXPECT_EQ(edge.err, "");

  ProgramResult over = RunProgram({SETRENDER_EXE, "-f", "over", "over"}, in);
  EXPECT_EQ(over.exit, 1);
  EXPECT_EQ(over.err, "over.mni: Invalid view info.\n");
  EXPECT_FALSE(testutil::FileExists(dir.File("over.bmp")));

  // Ten megabytes of one number on the standard input: refused, not kept.
  in.input.assign(10 * 1000 * 1000, '7');
  ProgramResult stream = RunProgram({SETRENDER_EXE, "-f", "-", "o"}, in);
  EXPECT_EQ(stream.exit, 1);
  EXPECT_EQ(stream.out, "");
  EXPECT_EQ(stream.err, "(stdin): Invalid view info.\n");
  EXPECT_FALSE(testutil::FileExists(dir.File("o.bmp")));
}

}  // namespace
