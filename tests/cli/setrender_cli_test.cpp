// setrender and dibpeek as a user runs them: files, streams, exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/testutil.h"

namespace {

using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;

RunOptions In(const std::string& cwd) {
  RunOptions o;
  o.cwd = cwd;
  return o;
}

TEST(SetRenderCli, DefaultViewAndItsHeaderListing) {
  ScopedTempDir dir;
  ProgramResult r = RunProgram(
      {SETRENDER_EXE, "-2", "-2", "4", "400", "400", "100", "out"}, In(dir.path()));
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");  // no progress line when stderr is not a terminal
  EXPECT_EQ(ReadBytes(dir.File("out.bmp")).size(), 480054u);

  ProgramResult peek = RunProgram({DIBPEEK_EXE, "out"}, In(dir.path()));
  EXPECT_EQ(peek.exit, 0);
  EXPECT_EQ(peek.err, "");
  EXPECT_EQ(testutil::Text(peek.out),
            ReadBytes(testutil::DataFile("dibpeek/default.txt")));
}

TEST(SetRenderCli, DashWritesTheSameImageToStandardOutput) {
  ScopedTempDir dir;
  std::vector<std::string> view = {"-0.75", "-0.5", "1", "64", "48", "300"};
  std::vector<std::string> toFile = {SETRENDER_EXE};
  toFile.insert(toFile.end(), view.begin(), view.end());
  std::vector<std::string> toStdout = toFile;
  toFile.push_back("pic");
  toStdout.push_back("-");
  ASSERT_EQ(RunProgram(toFile, In(dir.path())).exit, 0);
  ProgramResult r = RunProgram(toStdout, In(dir.path()));
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, ReadBytes(dir.File("pic.bmp")));
  EXPECT_FALSE(testutil::FileExists(dir.File("-.bmp")));
}

TEST(SetRenderCli, SavedViewFromStandardInput) {
  ScopedTempDir dir;
  // Info text, then the one character that follows it, then the counts of a
  // 2 x 1 view: 5 and 258.
  std::string input = "-2 -2 4 4 2 1 10 #";
  input += std::string("\x05\x00\x02\x01", 4);
  RunOptions o = In(dir.path());
  o.input = input;
  ProgramResult r = RunProgram({SETRENDER_EXE, "-f", "-", "pic"}, o);
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  std::string bmp = ReadBytes(dir.File("pic.bmp"));
  ASSERT_EQ(bmp.size(), 62u);
  // Count 5 of limit 10 is half a period: (255, 0, 255) in blue-green-red;
  // 258 has no entry and is black.
  EXPECT_EQ(bmp.substr(54, 8), std::string("\xff\x00\xff\x00\x00\x00\x00\x00", 8));

  o.input = "-2 -2 4 4 2 1 10 #\x05";
  r = RunProgram({SETRENDER_EXE, "-f", "-", "short"}, o);
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err, "(stdin): Data file too short.\n");
}

TEST(SetRenderCli, FailedWritesAreReported) {
  ProgramResult full = RunProgram(
      {SETRENDER_EXE, "-2", "-2", "4", "100", "100", "50", "/dev/full"});
  EXPECT_EQ(full.exit, 1);
  EXPECT_EQ(full.err, "/dev/full: write error.\n");

  RunOptions closed;
  closed.close_stdout_early = true;
  ProgramResult pipe = RunProgram(
      {SETRENDER_EXE, "-2", "-2", "4", "400", "400", "50", "-"}, closed);
  EXPECT_EQ(pipe.exit, 1);
  EXPECT_EQ(pipe.err, "(stdout): write error.\n");
}

TEST(SetRenderCli, RefusalsGoToStandardErrorOnly) {
  ScopedTempDir dir;
  const std::string usage =
      "Mandelbrot BMP output.\n"
      "1) setrender real imag length dots limit [RGB-rate] file[.bmp]\n"
      "2) setrender -f file[.mni|.mnd] [-l re-limit] [R G B-rate] file[.bmp]\n";
  struct Row {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{}, usage},
      {{"-f", "view", "-l"}, "Too many arguments.\n" + usage},
      {{"-f", "view", "out"}, "view: File can't open.\n"},
      {{"-2", "-2", "4", "-5", "400", "100", "out"}, "-5: Invalid pixel count.\n"},
      {{"-2", "-2", "4", "100000000", "100000000", "100", "out"},
       "100000000x100000000: Image too large for BMP.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    std::vector<std::string> args = {SETRENDER_EXE};
    args.insert(args.end(), row.args.begin(), row.args.end());
    ProgramResult r = RunProgram(args, In(dir.path()));
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, row.err);
    EXPECT_FALSE(testutil::FileExists(dir.File("out.bmp")));
  }
}

TEST(DibPeekCli, ReadsStandardInputForDash) {
  RunOptions o;
  o.input = ReadBytes(testutil::DataFile("setrender/small.bmp"));
  ProgramResult r = RunProgram({DIBPEEK_EXE, "-"}, o);
  EXPECT_EQ(r.exit, 0);
  std::string out = testutil::Text(r.out);
  EXPECT_EQ(out.substr(0, 36), "\nFileName : (stdin)\nbfType   : BM\nbf");
  EXPECT_NE(out.find("biWidth  : 16\nbiHeight : 12\n"), std::string::npos);
}

}  // namespace
