// The animation chain as the Windows command processor runs it: a driver
// script of the viewer's export format runs zoomscript once per step, then
// each frame script, whose calls render every frame with setrender through
// the shipped zoomstep.bat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunOptions;
using testutil::RunProgram;

// Three views, two frames per step: frames 0 to 4, numbers one digit wide.
const char* Driver =
    "if %1.==. goto usage\r\n"
    "if exist %1\\con goto direxist\r\n"
    "if exist %1 goto fileexist\r\n"
    "mkdir %1\r\n"
    "zoomscript.exe -2 -2 4 50 0 -1 -1 2 100 2 1 %1\r\n"
    "call %1-2.bat\r\n"
    "zoomscript.exe -1 -1 2 100 2 -0.8 -0.2 0.4 200 4 1 %1\r\n"
    "call %1-4.bat\r\n"
    "goto exit\r\n"
    "\r\n"
    ":fileexist\r\n"
    "echo file %1 is exist.\r\n"
    "goto exit\r\n"
    "\r\n"
    ":direxist\r\n"
    "echo directory %1 is exist.\r\n"
    "goto exit\r\n"
    "\r\n"
    ":usage\r\n"
    "echo usage: %0 dirname\r\n"
    "\r\n"
    ":exit\r\n";

TEST(AnimationChain, DriverRendersEveryFrameThroughZoomstep) {
  const char* comspec = std::getenv("ComSpec");
  if (!comspec) GTEST_SKIP() << "needs the Windows command processor";
  testutil::ScopedTempDir dir;
  fs::copy_file(SETRENDER_EXE, dir.File("setrender.exe"));
  fs::copy_file(ZOOMSCRIPT_EXE, dir.File("zoomscript.exe"));
  fs::copy_file(std::string(SOURCE_DIR) + "/zoomscript/zoomstep.bat",
                dir.File("zoomstep.bat"));
  testutil::WriteBytes(dir.File("driver.bat"), Driver);
  RunOptions in;
  in.cwd = dir.path();

  ProgramResult r = RunProgram({comspec, "/c", "driver.bat", "anim"}, in);
  ASSERT_TRUE(testutil::FileExists(dir.File("anim-2.bat"))) << r.out << r.err;
  ASSERT_TRUE(testutil::FileExists(dir.File("anim-4.bat")));
  std::string step2 = ReadBytes(dir.File("anim-4.bat"));
  // The last frame is the formula's value at t = 1, which may differ from
  // the last view in the final digits.
  EXPECT_NE(step2.find("call zoomstep.bat -0.800000000000000044409 "
                       "-0.199999999999999955591 0.399999999999999911182 200 "
                       "4 anim\r\n"),
            std::string::npos);

  // Every frame is what setrender makes of that frame's call.
  ProgramResult first = RunProgram(
      {SETRENDER_EXE, "-2", "-2", "4", "640", "480", "50", "first"}, in);
  ASSERT_EQ(first.exit, 0);
  ProgramResult last = RunProgram(
      {SETRENDER_EXE, "-0.800000000000000044409", "-0.199999999999999955591",
       "0.399999999999999911182", "640", "480", "200", "last"}, in);
  ASSERT_EQ(last.exit, 0);
  for (int frame = 0; frame <= 4; ++frame) {
    SCOPED_TRACE(frame);
    std::string bmp = ReadBytes(dir.File("anim/" + std::to_string(frame) + ".bmp"));
    EXPECT_EQ(bmp.size(), 640u * 480 * 3 + 54);
  }
  EXPECT_EQ(ReadBytes(dir.File("anim/0.bmp")), ReadBytes(dir.File("first.bmp")));
  EXPECT_EQ(ReadBytes(dir.File("anim/4.bmp")), ReadBytes(dir.File("last.bmp")));

  // A second run finds the directory and leaves it alone.
  std::string before = ReadBytes(dir.File("anim/4.bmp"));
  r = RunProgram({comspec, "/c", "driver.bat", "anim"}, in);
  EXPECT_NE(testutil::Text(r.out).find("is exist."), std::string::npos)
      << r.out;
  EXPECT_EQ(ReadBytes(dir.File("anim/4.bmp")), before);

  r = RunProgram({comspec, "/c", "driver.bat"}, in);
  EXPECT_NE(testutil::Text(r.out).find("usage: driver.bat dirname"),
            std::string::npos)
      << r.out;
}

}  // namespace
