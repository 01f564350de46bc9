// dibpeek as a user runs it: failing streams, hostile headers, short input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

using testutil::ProgramResult;
using testutil::RunOptions;
using testutil::RunProgram;

// Runs dibpeek through a POSIX shell, for the redirections a test cannot
// set up otherwise (closed descriptors, a directory as input). The script
// sees dibpeek as $0 and the names as $1, $2.
ProgramResult Shell(const std::string& script,
                    const std::vector<std::string>& names) {
  std::vector<std::string> args = {"/bin/sh", "-c", script, DIBPEEK_EXE};
  args.insert(args.end(), names.begin(), names.end());
  return RunProgram(args);
}

bool NeedsPosixShell() {
  return std::getenv("ComSpec") || !testutil::FileExists("/bin/sh");
}

TEST(DibPeekCli, FailedStreamsEndWithAMessageAndStatusOne) {
  if (NeedsPosixShell()) GTEST_SKIP() << "needs a POSIX shell";
  testutil::ScopedTempDir dir;
  const std::string pic = testutil::DataFile("setrender/small.bmp");
  const std::string small =
      "\nFileName : " + pic +
      "\nbfType   : BM\nbfSize   : 630\nbfRsvd1  : 0\nbfRsvd2  : 0\n"
      "bfOffBits: 54\nbiSize   : 40\nbiWidth  : 16\nbiHeight : 12\n"
      "biPlanes : 1\nbiBitCnt : 24\nbiCmprss : 0\nbiSizeImg: 576\n"
      "biXPelPm : 144000\nbiYPelPm : 144000\nbiClrUsed: 0\nbiClrImpt: 0\n";
  struct Row {
    const char* script;
    std::string out, err;  // out is not looked at when it went nowhere
  } rows[] = {
      {"exec \"$0\" \"$1\" >/dev/full", "", "dibpeek: write error.\n"},
      {"exec \"$0\" \"$1\" >&-", "", "dibpeek: write error.\n"},
      {"exec \"$0\" - <&-", "\n", "(stdin): read error.\n"},
      {"exec \"$0\" - <\"$2\"", "\n", "(stdin): read error.\n"},
      // The first file's block stays; the failed read ends the run.
      {"exec \"$0\" \"$1\" - \"$1\" <\"$2\"", small + "\n",
       "(stdin): read error.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    ProgramResult r = Shell(row.script, {pic, dir.path()});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, row.err);
    if (!row.out.empty()) {
      EXPECT_EQ(testutil::Text(r.out), row.out);
    }
  }
}

TEST(DibPeekCli, HostileSignatureCannotReachTheTerminal) {
  RunOptions o;
  o.input = "\x1b]";  // the start of a terminal command, and a short file
  ProgramResult r = RunProgram({DIBPEEK_EXE, "-"}, o);
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testutil::Text(r.out),
            "\nFileName : (stdin)\nbfType   : \\x1b]\nbfSize   : 54\n"
            "bfRsvd1  : 0\nbfRsvd2  : 0\nbfOffBits: 54\nbiSize   : 40\n"
            "biWidth  : 0\nbiHeight : 0\nbiPlanes : 1\nbiBitCnt : 0\n"
            "biCmprss : 0\nbiSizeImg: 0\nbiXPelPm : 0\nbiYPelPm : 0\n"
            "biClrUsed: 0\nbiClrImpt: 0\n");
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

}  // namespace
