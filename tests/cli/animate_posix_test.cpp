// mandel animate under a changed environment: batch engines' task indexes,
// and a PATH without ffmpeg.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imageio/imagesink.h"
#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

using testutil::ListDirectory;
using testutil::ProgramResult;
using testutil::RunProgram;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

const char* const Zoom =
    "width = 3.5\nsize = 16 10\nlimit = 50\nframes = 9\n---\n"
    "width = 0.5\nsize = 16 10\nlimit = 50\n";

// Runs mandel with the environment cleared but for the given settings.
ProgramResult MandelWith(const std::vector<std::string>& env,
                         const std::vector<std::string>& args) {
  std::vector<std::string> all = {"/usr/bin/env", "-i"};
  all.insert(all.end(), env.begin(), env.end());
  all.push_back(MANDEL_EXE);
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

TEST(AnimatePosix, TaskIndexFromTheBatchEngine) {
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG";
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  const struct {
    std::vector<std::string> env, extra;
    int exit;
    std::vector<std::string> frames;
  } cases[] = {
      {{"SLURM_ARRAY_TASK_ID=1", "SLURM_ARRAY_TASK_COUNT=3"},
       {},
       0,
       {"z-000004.png", "z-000005.png", "z-000006.png"}},
      {{"SLURM_ARRAY_TASK_ID=3", "SLURM_ARRAY_TASK_MIN=1",
        "SLURM_ARRAY_TASK_COUNT=3"},
       {},
       0,
       {"z-000007.png", "z-000008.png", "z-000009.png"}},
      {{"JOB_COMPLETION_INDEX=0"}, {"--tasks", "5"}, 0,
       {"z-000000.png", "z-000001.png"}},
      // The flags win over the environment.
      {{"SLURM_ARRAY_TASK_ID=0", "SLURM_ARRAY_TASK_COUNT=3"},
       {"--task", "4", "--tasks", "5"},
       0,
       {"z-000008.png", "z-000009.png"}},
      {{"SLURM_ARRAY_TASK_ID=3", "SLURM_ARRAY_TASK_COUNT=3"}, {}, 2, {}},
      {{"JOB_COMPLETION_INDEX=2"}, {}, 2, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string out = dir.File("run" + std::to_string(n++));
    std::vector<std::string> args = {"animate", dir.File("zoom.txt"), "-o",
                                     out + "/z"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProgramResult r = MandelWith(c.env, args);
    EXPECT_EQ(c.exit, r.exit) << r.err;
    if (c.frames.empty())
      EXPECT_FALSE(testutil::FileExists(out)) << c.env[0];
    else
      EXPECT_EQ(c.frames, ListDirectory(out)) << c.env[0];
  }
}

TEST(AnimatePosix, WithoutFfmpegTheCommandIsGiven) {
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  const ProgramResult r =
      MandelWith({"PATH=/nonexistent"},
                 {"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"),
                  "--video", dir.File("z.mp4"), "--range", "2:5"});
  EXPECT_EQ(1, r.exit);
  EXPECT_NE(std::string::npos, r.err.find("ffmpeg is not on the PATH"))
      << r.err;
  EXPECT_NE(std::string::npos,
            r.err.find("ffmpeg -framerate 30 -start_number 2 -i " +
                       dir.File("f/z") + "-%06d.png"))
      << r.err;
  EXPECT_NE(std::string::npos, r.err.find("-frames:v 4 " + dir.File("z.mp4")))
      << r.err;
  EXPECT_EQ(std::vector<std::string>{"zoom.txt"}, ListDirectory(dir.path()));
}

}  // namespace
#endif  // MANDEL_EXE
