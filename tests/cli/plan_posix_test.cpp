// mandel plan animate: job files whose every share is mandel animate with
// the options given and the files named absolutely, and refusals that write
// no job file. POSIX only, as the job files are for POSIX shells; the
// engines themselves run the files in tests/scale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

using testutil::ProgramResult;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;

struct Plan {
  ScopedTempDir dir;
  RunOptions in;
  Plan() {
    in.cwd = dir.path();
    testutil::WriteBytes(dir.File("a.view"), "size = 32 18\n");
    testutil::WriteBytes(dir.File("it's b.view"),
                         "center = -0.7 0.3\nwidth = 0.1\nsize = 32 18\n");
  }
  ProgramResult Run(std::vector<std::string> args) const {
    std::vector<std::string> all = {MANDEL_EXE, "plan", "animate",    "--from",
                                    "a.view",   "--to", "it's b.view"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(all, in);
  }
};

// The shares' command: relative names made absolute, values kept as given,
// quoted for the shell.
TEST(PlanCli, SharesRepeatTheOptionsWithAbsoluteNames) {
  Plan p;
  const std::string d = p.dir.path();
  ProgramResult r = p.Run({"--frames", "9", "-o", "out/z", "--size", "16x9",
                           "--bands", "--center-is-not-an-option-here", "--for",
                           "parallel", "--tasks", "2"});
  EXPECT_EQ(r.exit, 2);  // an unknown option is refused like animate's
  EXPECT_EQ(r.out, "");

  r = p.Run({"--frames", "9", "-o", "out/z", "--size", "16x9", "--bands",
             "--inside", "#102030", "--for", "parallel", "--tasks", "2",
             "--mandel", "/opt/my mandel"});
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // Options come in the order animate defines them.
  const std::string line = "'/opt/my mandel' animate --from=" + d +
                           "/a.view '--to=" + d +
                           "/it'\\''s b.view' --frames=9 --output=" + d +
                           "/out/z --size=16x9 --bands '--inside=#102030'";
  EXPECT_EQ(r.out,
            line + " --task 0 --tasks 2\n" + line + " --task 1 --tasks 2\n");
}

TEST(PlanCli, TheVideoIsMadeOnceAfterEveryShare) {
  Plan p;
  const std::string d = p.dir.path();
  const std::vector<std::string> args = {
      "--frames", "9",        "-o",     "z",       "--video", "z.mp4", "--fps",
      "24",       "--mandel", "mandel", "--tasks", "3",       "--for"};
  auto with = [&](const char* engine) {
    std::vector<std::string> a = args;
    a.push_back(engine);
    return a;
  };
  const std::string video =
      "mandel video " + d + "/z --output=" + d + "/z.mp4 --fps=24";
  ProgramResult r = p.Run(with("make"));
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("\nvideo: all\n\t" + video + "\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("--video"), std::string::npos) << r.out;
  r = p.Run(with("slurm"));
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("#SBATCH --array=0-2\n"), std::string::npos);
  EXPECT_NE(r.out.find("# Once every task has ended:\n# " + video + "\n"),
            std::string::npos)
      << r.out;
  r = p.Run(with("parallel"));
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(r.err,
            "mandel: the task list holds the shares only; once they have "
            "all ended, make the video with\n  " +
                video + "\n");
}

TEST(PlanCli, RefusalsWriteNoJobFile) {
  Plan p;
  const std::string d = p.dir.path();
  const std::string planHelp =
      "\nTry 'mandel plan animate --help' for more information.\n";
  struct Row {
    std::vector<std::string> args;
    int exit;
    std::string err;
  } rows[] = {
      {{"--frames", "9", "-o", "z", "--tasks", "2"},
       2,
       "mandel: --for is required" + planHelp},
      {{"--frames", "9", "-o", "z", "--tasks", "2", "--for", "condor"},
       2,
       "mandel: --for condor: must be make, parallel or slurm" + planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make"},
       2,
       "mandel: give --tasks T, the number of shares" + planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "0"},
       2,
       "mandel: --tasks: must be a whole number from 1 to 1000000" + planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "2", "--task",
        "1"},
       2,
       "mandel: --task is the engine's to choose for each share; leave it "
       "out" +
           planHelp},
      {{"--frames", "9", "--for", "make", "--tasks", "2"},
       2,
       "mandel: give -o DIR/NAME: frames are written as DIR/NAME-000000.png "
       "onward" +
           planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "2", "--range",
        "4:9"},
       2,
       "mandel: --range 4:9: the sequence has frames 0 to 8" + planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "2", "--fps",
        "10"},
       2,
       "mandel: --fps is for --video" + planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "2", "--video",
        "z.avi"},
       2,
       "mandel: --video z.avi: the name must end in .mp4, .mov or .mkv" +
           planHelp},
      {{"--frames", "9", "-o", "z", "--for", "make", "--tasks", "2", "--video",
        "z.mp4", "--range", "0:4"},
       2,
       "mandel: --video with --range: mandel video, run after the shares, "
       "assembles whole sequences only" +
           planHelp},
      {{"--frames", "9", "-o", "z", "--for", "slurm", "--tasks", "2",
        "--mandel", "mandel\nrm"},
       1,
       "mandel: a word of the command holds a line break or a NUL byte, "
       "which a job file cannot carry\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    ProgramResult r = p.Run(row.args);
    EXPECT_EQ(r.exit, row.exit);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.out, "");
  }
  // A view that cannot be read is the animation's failure, found now.
  ProgramResult r = RunProgram(
      {MANDEL_EXE, "plan", "animate", "--from", "a.view", "--to", "none.view",
       "--frames", "9", "-o", "z", "--for", "make", "--tasks", "2"},
      p.in);
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("none.view"), std::string::npos) << r.err;
  EXPECT_EQ(testutil::ListDirectory(d),
            (std::vector<std::string>{"a.view", "it's b.view"}));
}

}  // namespace
#endif
