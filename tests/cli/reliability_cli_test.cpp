// The programs refuse what would lose a user's data, and a failed output
// leaves the previous file as it was: names too long to hold, an output
// that is an input, names the command processor would interpret, and a
// stream that ends early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

ProgramResult RunIn(const ScopedTempDir& dir, std::vector<std::string> args,
                    const std::string& input = "") {
  RunOptions options;
  options.cwd = dir.path();
  options.input = input;
  return RunProgram(args, options);
}

// A saved view of 2 x 1 pixels with the counts 5 and 258.
void SaveTinyView(const ScopedTempDir& dir, const std::string& name) {
  WriteBytes(dir.File(name + ".mni"), "-2 -2 4 4 2 1 10\n");
  WriteBytes(dir.File(name + ".mnd"), std::string("\x05\x00\x02\x01", 4));
}

TEST(ReliabilityCli, NamesTooLongToHoldAreRefused) {
  const std::string name300(300, 'n');
  // 255 characters and "-2.bat" make 261.
  const std::string base255(255, 'b');
  struct Row {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{SETRENDER_EXE, "-2", "-2", "4", "10", "10", "100", name300},
       name300 + ": File name too long.\n"},
      // 256 characters fit only without the extension that is added.
      {{SETRENDER_EXE, "-2", "-2", "4", "10", "10", "100", name300.substr(0, 256)},
       name300.substr(0, 256) + ": File name too long.\n"},
      {{SETRENDER_EXE, "-f", name300, "out"}, name300 + ": File name too long.\n"},
      {{DIBPEEK_EXE, name300}, name300 + ": File name too long.\n"},
      {{ZOOMSCRIPT_EXE, "0", "0", "1", "1", "0", "0", "0", "1", "1", "2", "1",
        base255},
       base255 + "-2.bat: File name too long.\n"},
      {{JULIASCRIPT_EXE, "0", "0", "0", "1", "1", "2", "1", base255},
       base255 + "-2.bat: File name too long.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back().substr(0, 8));
    ScopedTempDir dir;
    ProgramResult r = RunIn(dir, row.args);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(row.err, r.err);
    EXPECT_TRUE(testutil::ListDirectory(dir.path()).empty());
  }
  // The refusal comes first: the view file's name fits, but the output's
  // does not, and no picture is begun.
  ScopedTempDir dir;
  SaveTinyView(dir, "v");
  ProgramResult r = RunIn(dir, {SETRENDER_EXE, "-f", "v", name300});
  EXPECT_EQ(1, r.exit);
  EXPECT_EQ(name300 + ": File name too long.\n", r.err);
  EXPECT_EQ((std::vector<std::string>{"v.mnd", "v.mni"}), testutil::ListDirectory(dir.path()));
}

TEST(ReliabilityCli, OutputOntoAnInputIsRefused) {
  struct Row {
    std::vector<std::string> args;
    const char* err;
  } rows[] = {
      {{"-f", "s", "s.mnd"}, "s.mnd: Output would overwrite an input.\n"},
      {{"-f", "s", "s.mni"}, "s.mni: Output would overwrite an input.\n"},
      {{"-f", "s.mni", "-l", "5", "s.mni"},
       "s.mni: Output would overwrite an input.\n"},
      // Without an extension the existing info file is the one resolved.
      {{"-f", "s", "1", "2", "3", "s.mni"},
       "s.mni: Output would overwrite an input.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    ScopedTempDir dir;
    SaveTinyView(dir, "s");
    std::vector<std::string> args{SETRENDER_EXE};
    args.insert(args.end(), row.args.begin(), row.args.end());
    ProgramResult r = RunIn(dir, args);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(row.err, r.err);
    EXPECT_EQ("-2 -2 4 4 2 1 10\n", ReadBytes(dir.File("s.mni")));
    EXPECT_EQ(std::string("\x05\x00\x02\x01", 4), ReadBytes(dir.File("s.mnd")));
    EXPECT_EQ((std::vector<std::string>{"s.mnd", "s.mni"}), testutil::ListDirectory(dir.path()));
  }
  // Another output beside the inputs is fine.
  ScopedTempDir dir;
  SaveTinyView(dir, "s");
  EXPECT_EQ(0, RunIn(dir, {SETRENDER_EXE, "-f", "s", "pic"}).exit);
  EXPECT_EQ(62u, ReadBytes(dir.File("pic.bmp")).size());
}

TEST(ReliabilityCli, UnsafeBatchNamesAreRefused) {
  const std::vector<std::string> unsafe = {
      "w&calc", "a|b",  "a<b",  "a>b",   "a^b",    "%PATH%", "a!b",
      "a\"b",   "(a",   "a)",   "a b",   "a\tb",   "a\nb",   "a\rb",
      "a\x1b",  "a\x7f"};
  for (const std::string& base : unsafe) {
    SCOPED_TRACE(base);
    ScopedTempDir dir;
    ProgramResult zoom = RunIn(dir, {ZOOMSCRIPT_EXE, "0", "0", "1", "1", "0",
                                     "0", "0", "1", "1", "1", "1", base});
    EXPECT_EQ(1, zoom.exit);
    EXPECT_EQ(base + ": Unsafe name for a batch file.\n", zoom.err);
    ProgramResult julia = RunIn(
        dir, {JULIASCRIPT_EXE, "0", "0", "0", "1", "1", "1", "1", base});
    EXPECT_EQ(1, julia.exit);
    EXPECT_EQ(base + ": Unsafe name for a batch file.\n", julia.err);
    EXPECT_TRUE(testutil::ListDirectory(dir.path()).empty());
  }
  // What a command processor leaves alone is still accepted.
  ScopedTempDir dir;
  for (const char* base : {"walk", "dir.d-x_y+z", "a=b,c;d", "x@y~#"}) {
    SCOPED_TRACE(base);
    EXPECT_EQ(0, RunIn(dir, {JULIASCRIPT_EXE, "0", "0", "0", "1", "1", "1",
                             "1", base}).exit);
  }
  EXPECT_EQ(4u, testutil::ListDirectory(dir.path()).size());
}

// A stream that ends early, and a data file shorter than its view, end the
// run with the previous picture untouched and no temporary file left.
TEST(ReliabilityCli, FailedRenderKeepsThePreviousPicture) {
  struct Row {
    const char* what;
    std::vector<std::string> args;
    std::string input;
    const char* err;
  } rows[] = {
      {"short stream", {"-f", "-", "pic"}, "-2 -2 4 4 2 1 10 #\x05",
       "(stdin): Data file too short.\n"},
      {"short file", {"-f", "short", "pic"}, "",
       "short.mnd: Data file too short.\n"},
      {"missing data", {"-f", "noinfo", "pic"}, "", "noinfo: File can't open.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScopedTempDir dir;
    WriteBytes(dir.File("pic.bmp"), "previous picture");
    WriteBytes(dir.File("short.mni"), "-2 -2 4 4 2 1 10\n");
    WriteBytes(dir.File("short.mnd"), "\x05");
    WriteBytes(dir.File("noinfo.mni"), "-2 -2 4 4 2 1 10\n");
    std::vector<std::string> args{SETRENDER_EXE};
    args.insert(args.end(), row.args.begin(), row.args.end());
    ProgramResult r = RunIn(dir, args, row.input);
    EXPECT_EQ(1, r.exit);
    EXPECT_EQ(row.err, r.err);
    EXPECT_EQ("previous picture", ReadBytes(dir.File("pic.bmp")));
    EXPECT_EQ((std::vector<std::string>{"noinfo.mni", "pic.bmp", "short.mnd",
                                        "short.mni"}),
              testutil::ListDirectory(dir.path()));
  }
}

}  // namespace
