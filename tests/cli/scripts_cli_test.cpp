// End-to-end tests of zoomscript and juliascript: the programs are run in a
// scratch directory and their whole output files compared with golden files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

using testutil::ProgramResult;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

ProgramResult RunIn(const ScopedTempDir& dir, const char* exe,
                    const std::vector<std::string>& args) {
  std::vector<std::string> argv{exe};
  argv.insert(argv.end(), args.begin(), args.end());
  RunOptions options;
  options.cwd = dir.path();
  return RunProgram(argv, options);
}

TEST(ScriptsCli, WritesTheExpectedScript) {
  struct Row {
    const char* exe;
    std::vector<std::string> args;
    const char* output;
    const char* golden;
  } rows[] = {
      {ZOOMSCRIPT_EXE,
       {"-0.75", "0", "3", "100", "0", "-0.75", "0", "0.03", "200", "2", "3",
        "walk"},
       "walk-2.bat",
       "zoomscript/walk-2.bat"},
      // The limit is not rounded: a third of the way is 1333.33333333333325754.
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "1000", "0", "0", "0", "1", "2000", "3", "0", "third"},
       "third-3.bat",
       "zoomscript/third-3.bat"},
      // Frames 5 to 7 at width 4; the limit falls from 1000 to 500.
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "1000", "5", "1", "-0.5", "2", "500", "7", "4", "pad"},
       "pad-7.bat",
       "zoomscript/pad-7.bat"},
      // Frames 8 to 16 and width 3, all given in octal or hexadecimal.
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "010", "8", "0", "1", "100", "0x10", "0x3",
        "hex"},
       "hex-16.bat",
       "zoomscript/hex-16.bat"},
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "5", "1", "1", "2", "200", "3", "2", "back"},
       "back-3.bat",
       "zoomscript/back-3.bat"},
      // The base name keeps its ".bat" and the calls pass it on unchanged.
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "0", "1", "1", "1", "100", "1", "0", "walk.bat"},
       "walk.bat-1.bat",
       "zoomscript/walk.bat-1.bat"},
      {ZOOMSCRIPT_EXE,
       {"-0.5", "0.25", "2", "100", "7", "0.5", "-0.25", "1", "200", "7", "2",
        "still"},
       "still-7.bat",
       "zoomscript/still-7.bat"},
      // Must stop after the largest frame number instead of wrapping to 0.
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "4294967290", "5", "0", "1", "100", "4294967295",
        "0", "top"},
       "top-4294967295.bat",
       "zoomscript/top-4294967295.bat"},
      {JULIASCRIPT_EXE,
       {"0", "0", "1", "1", "0.5", "3", "2", "j"},
       "j-3.bat",
       "juliascript/j-3.bat"},
      {JULIASCRIPT_EXE,
       {"-0.8", "0.156", "010", "-0.7", "0.156", "0xA", "03", "c"},
       "c-10.bat",
       "juliascript/c-10.bat"},
      {JULIASCRIPT_EXE,
       {"0", "0", "9", "1", "1", "2", "0", "back"},
       "back-2.bat",
       "juliascript/back-2.bat"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.golden);
    ScopedTempDir dir;
    ProgramResult r = RunIn(dir, row.exe, row.args);
    EXPECT_EQ(0, r.exit);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(std::vector<std::string>{row.output}, Listing(dir.path()));
    testutil::ExpectSameAsGolden(testutil::ReadBytes(dir.File(row.output)),
                                 row.golden);
  }
}

TEST(ScriptsCli, TooFewArgumentsPrintUsage) {
  struct Row {
    const char* exe;
    int argc;
    std::string usage;
  } rows[] = {
      {ZOOMSCRIPT_EXE, 11,
       " real imag length limit frame real imag length limit frame width "
       "file[.bat]\n"},
      {JULIASCRIPT_EXE, 7,
       " real imag frame real imag frame width file[.bat]\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.exe);
    ScopedTempDir dir;
    ProgramResult r =
        RunIn(dir, row.exe, std::vector<std::string>(row.argc, "1"));
    EXPECT_EQ(0, r.exit);
    EXPECT_EQ("usage: " + std::string(row.exe) + row.usage, testutil::Text(r.out));
    EXPECT_EQ("", r.err);
    EXPECT_TRUE(Listing(dir.path()).empty());
  }
}

TEST(ScriptsCli, WriteErrorsExitWithStatus1) {
  const bool haveFull = testutil::FileExists("/dev/full");
  struct Row {
    const char* exe;
    std::vector<std::string> args;
    bool outputIsFull;  // the output name is made a link to a full device
    const char* err;
  } rows[] = {
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "0", "1", "1", "1", "100", "2", "0", "no/walk"},
       false,
       "no/walk-2.bat: write error.No such file or directory\n"},
      {JULIASCRIPT_EXE,
       {"0", "0", "1", "1", "1", "3", "0", "no/j"},
       false,
       "no/j-3.bat: write error.No such file or directory\n"},
      {ZOOMSCRIPT_EXE,
       {"0", "0", "1", "100", "0", "1", "1", "1", "100", "2", "0", "full"},
       true,
       "full-2.bat: write error.No space left on device\n"},
      {JULIASCRIPT_EXE,
       {"0", "0", "1", "1", "1", "3", "0", "full"},
       true,
       "full-3.bat: write error.No space left on device\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    if (row.outputIsFull && !haveFull) continue;
    ScopedTempDir dir;
    if (row.outputIsFull) {
      std::string name =
          row.args.back() + "-" + row.args[row.args.size() - 3] + ".bat";
      std::filesystem::create_symlink("/dev/full", dir.File(name));
    }
    ProgramResult r = RunIn(dir, row.exe, row.args);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(row.err, r.err);
  }
}

}  // namespace
