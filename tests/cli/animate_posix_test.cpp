// mandel animate under a changed environment: batch engines' task indexes,
// and a PATH without ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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
      {{"JOB_COMPLETION_INDEX=0"},
       {"--tasks", "5"},
       0,
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

  // mandel video, once the frames are there.
  ASSERT_EQ(0, MandelWith(
                   {}, {"animate", dir.File("zoom.txt"), "-o", dir.File("f/z")})
                   .exit);
  const ProgramResult v = MandelWith(
      {"PATH=/nonexistent"},
      {"video", dir.File("f/z"), "-o", dir.File("z.mp4"), "--fps", "24"});
  EXPECT_EQ(1, v.exit);
  EXPECT_NE(std::string::npos, v.err.find("ffmpeg -framerate 24 -i " +
                                          dir.File("f/z") + "-%06d.png"))
      << v.err;
  EXPECT_EQ((std::vector<std::string>{"f", "zoom.txt"}),
            ListDirectory(dir.path()));
}

// An ffmpeg that fails leaves no video, not even a partial one, and the
// frames drawn meanwhile stay for the next attempt.
TEST(AnimatePosix, FailedEncodingLeavesNoVideo) {
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG";
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  std::filesystem::create_directory(dir.File("bin"));
  WriteBytes(dir.File("bin/ffmpeg"),
             "#!/bin/sh\nhead -c 100 >/dev/null\necho broken >&2\nexit 3\n");
  std::filesystem::permissions(dir.File("bin/ffmpeg"),
                               std::filesystem::perms::owner_all);
  const ProgramResult r =
      MandelWith({"PATH=" + dir.File("bin") + ":/usr/bin:/bin"},
                 {"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"),
                  "--video", dir.File("z.mp4")});
  EXPECT_EQ(1, r.exit);
  EXPECT_NE(std::string::npos, r.err.find("mandel: ffmpeg")) << r.err;
  EXPECT_EQ((std::vector<std::string>{"bin", "f", "zoom.txt"}),
            ListDirectory(dir.path()));
  EXPECT_FALSE(ListDirectory(dir.File("f")).empty());
}

// A run killed outright (no chance to tidy up) and started again: the
// frames finished before the kill are not touched, and the sequence ends as
// an uninterrupted run's.
TEST(AnimatePosix, KilledRunResumes) {
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG";
  namespace fs = std::filesystem;
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"),
             "width = 3.5\nsize = 240 160\nlimit = 3000\nframes = 11\n---\n"
             "center = -0.7436 0.1318\nwidth = 0.002\nsize = 240 160\n"
             "limit = 3000\n");
  const std::string exe = MANDEL_EXE;
  const std::string run = "'" + exe + "' animate '" + dir.File("zoom.txt") +
                          "' --threads 1 -o '" + dir.File("cut") + "/z'";
  // Killed once two frames are there; the shell waits for them by polling.
  const ProgramResult killed =
      RunProgram({"/bin/sh", "-c",
                  run + " & pid=$!; while [ \"$(ls '" + dir.File("cut") +
                      "' 2>/dev/null | grep -c '^z-.*png$')\" -lt 2 ]; do "
                      "kill -0 $pid 2>/dev/null || break; sleep 0.01; done; "
                      "kill -9 $pid; wait $pid; exit 0"});
  ASSERT_EQ(0, killed.exit) << killed.err;
  std::vector<std::string> finished;
  for (const std::string& name : ListDirectory(dir.File("cut")))
    if (name[0] != '.') finished.push_back(name);
  ASSERT_GE(finished.size(), 2u);
  ASSERT_LT(finished.size(), 12u) << "the run ended before the kill";
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (const std::string& name : finished)
    fs::last_write_time(dir.File("cut/" + name), old);

  ASSERT_EQ(0, RunProgram({"/bin/sh", "-c", run}).exit);
  ASSERT_EQ(0, RunProgram({"/bin/sh", "-c",
                           "'" + exe + "' animate '" + dir.File("zoom.txt") +
                               "' -o '" + dir.File("whole") + "/z'"})
                   .exit);
  const std::vector<std::string> whole = ListDirectory(dir.File("whole"));
  ASSERT_EQ(12u, whole.size());
  for (const std::string& name : whole) {
    EXPECT_EQ(testutil::ReadBytes(dir.File("whole/" + name)),
              testutil::ReadBytes(dir.File("cut/" + name)))
        << name;
    const bool kept =
        std::find(finished.begin(), finished.end(), name) != finished.end();
    EXPECT_EQ(kept, fs::last_write_time(dir.File("cut/" + name)) == old)
        << name;
  }
}

}  // namespace
#endif  // MANDEL_EXE
