// mandel animate and mandel video as a user runs them: frame sequences on
// disk, resumed runs, shares that add up to the whole, videos, refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imageio/imagesink.h"
#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

using testutil::FileExists;
using testutil::ListDirectory;
using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunProgram;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

#define NEED_PNG() \
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG"

ProgramResult Mandel(std::vector<std::string> args) {
  args.insert(args.begin(), MANDEL_EXE);
  return RunProgram(args);
}

void Ok(const std::vector<std::string>& args) {
  const ProgramResult r = Mandel(args);
  std::string line;
  for (const std::string& a : args) line += " " + a;
  ASSERT_EQ(0, r.exit) << line << "\n" << r.err;
  EXPECT_EQ("", r.err) << line;
}

// A zoom with a Julia twin, small enough to draw many times.
const char* const Zoom =
    "center = -0.75 0\nwidth = 3.5\nsize = 48 30\nlimit = 100\n"
    "frames = 4\nease = inout\n---\n"
    "center = -0.7436 0.1318\nwidth = 0.01\nsize = 48 30\nlimit = 800\n"
    "frames = 3\n---\n"
    "center = -0.7436 0.1318\nwidth = 0.001\nsize = 48 30\nlimit = 800\n";
constexpr int ZoomFrames = 8;

std::string Frame(const ScopedTempDir& dir, const std::string& name, int i) {
  std::string n = std::to_string(i);
  return dir.File(name + "-" + std::string(6 - n.size(), '0') + n + ".png");
}

// The whole sequence, drawn in one run into dir/whole.
std::vector<std::string> WholeRun(const ScopedTempDir& dir) {
  WriteBytes(dir.File("zoom.txt"), Zoom);
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("whole/z")});
  std::vector<std::string> frames;
  for (int i = 0; i < ZoomFrames; ++i)
    frames.push_back(ReadBytes(Frame(dir, "whole/z", i)));
  return frames;
}

TEST(AnimateCli, KeyframesAreTheirFramesAndTheFramesRedraw) {
  NEED_PNG();
  ScopedTempDir dir;
  const std::vector<std::string> frames = WholeRun(dir);
  EXPECT_EQ(ZoomFrames, int(ListDirectory(dir.File("whole")).size()));
  EXPECT_FALSE(FileExists(Frame(dir, "whole/z", ZoomFrames)));
  for (const std::string& f : frames) EXPECT_GT(f.size(), 100u);
  // A frame's embedded view draws it again, and the keyframes' frames show
  // the keyframes' views: mandel render gives the same pictures.
  WriteBytes(dir.File("k1.view"),
             "center = -0.7436 0.1318\nwidth = 0.01\nsize = 48 30\n"
             "limit = 800\n");
  const struct {
    int frame;
    std::string view;
  } cases[] = {{4, dir.File("k1.view")}, {2, Frame(dir, "whole/z", 2)}};
  for (const auto& c : cases) {
    Ok({"render", "--view", c.view, "-o", dir.File("a.png")});
    Ok({"render", "--view", Frame(dir, "whole/z", c.frame), "-o",
        dir.File("b.png")});
    EXPECT_EQ(ReadBytes(dir.File("a.png")), ReadBytes(dir.File("b.png")))
        << c.frame;
  }
  // --from/--to/--frames is the two-keyframe file with frames - 1.
  WriteBytes(dir.File("k2.view"),
             "center = -0.7436 0.1318\nwidth = 0.001\nsize = 48 30\n"
             "limit = 800\n");
  Ok({"animate", "--from", dir.File("k1.view"), "--to", dir.File("k2.view"),
      "--frames", "4", "-o", dir.File("two/z")});
  for (int i = 0; i < 4; ++i) {
    Ok({"render", "--view", Frame(dir, "two/z", i), "-o", dir.File("a.png")});
    Ok({"render", "--view", Frame(dir, "whole/z", 4 + i), "-o",
        dir.File("b.png")});
    EXPECT_EQ(ReadBytes(dir.File("a.png")), ReadBytes(dir.File("b.png"))) << i;
  }
}

// A run stopped after some frames and started again draws only the rest:
// finished frames are not rewritten, and the sequence is the same as one
// drawn without a stop.
TEST(AnimateCli, ResumedRunsDrawOnlyMissingFrames) {
  NEED_PNG();
  namespace fs = std::filesystem;
  ScopedTempDir dir;
  const std::vector<std::string> whole = WholeRun(dir);
  // The stop: the first frames finished, frame 3 never renamed into place,
  // its temporary file left behind.
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("cut/z"), "--range",
      "0:2"});
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("cut/z"), "--range",
      "4:5"});
  WriteBytes(dir.File("cut/.z-000003.png.1234.0.tmp"), "half a frame");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (int i : {0, 1, 2, 4, 5})
    fs::last_write_time(Frame(dir, "cut/z", i), old);
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("cut/z")});
  for (int i = 0; i < ZoomFrames; ++i) {
    EXPECT_EQ(whole[i], ReadBytes(Frame(dir, "cut/z", i))) << i;
    const bool kept = i <= 2 || i == 4 || i == 5;
    EXPECT_EQ(kept, fs::last_write_time(Frame(dir, "cut/z", i)) == old) << i;
  }
}

// Shares of the range, in any order, give the frames one process gives.
TEST(AnimateCli, SharesAddUpToTheWholeSequence) {
  NEED_PNG();
  ScopedTempDir dir;
  const std::vector<std::string> whole = WholeRun(dir);
  for (const char* tasks : {"3", "5", "11"}) {
    const std::string out = std::string("share") + tasks + "/z";
    for (int k = std::stoi(tasks) - 1; k >= 0; --k)
      Ok({"animate", dir.File("zoom.txt"), "-o", dir.File(out), "--task",
          std::to_string(k), "--tasks", tasks});
    for (int i = 0; i < ZoomFrames; ++i)
      EXPECT_EQ(whole[i], ReadBytes(Frame(dir, out, i))) << tasks << " " << i;
  }
  // Task 1 of 3 of frames 2..7 is frames 4 and 5 alone.
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("part/z"), "--range",
      "2:7", "--task", "1", "--tasks", "3"});
  EXPECT_EQ((std::vector<std::string>{"z-000004.png", "z-000005.png"}),
            ListDirectory(dir.File("part")));
}

TEST(AnimateCli, BadInputIsRefusedAndNothingWritten) {
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  WriteBytes(dir.File("bad.txt"), "width = 1\nframes = 0\n---\nwidth = 2\n");
  WriteBytes(dir.File("one.txt"), "width = 1\n");
  WriteBytes(dir.File("a.view"), "width = 1\nsize = 40 30\n");
  WriteBytes(dir.File("b.view"), "width = 2\nsize = 40 20\n");
  const std::string out = dir.File("out/z");
  const struct {
    std::vector<std::string> args;
    int exit;
    const char* message;
  } cases[] = {
      {{"bad.txt", "-o", out},
       1,
       "bad.txt:2: frames: expected a whole number from 1 to 1000000"},
      {{"one.txt", "-o", out}, 1, "needs at least two keyframes"},
      {{"missing.txt", "-o", out}, 1, "missing.txt"},
      {{"zoom.txt", "-o", out, "--range", "5:8"},
       2,
       "--range 5:8: the sequence has frames 0 to 7"},
      {{"zoom.txt", "-o", out, "--range", "5:2"}, 2, "--range 5:2:"},
      {{"zoom.txt", "-o", out, "--task", "3", "--tasks", "3"},
       2,
       "--task 3: the task index must be below the number of tasks, 3"},
      {{"zoom.txt", "-o", out, "--task", "0"}, 2, "--task needs --tasks"},
      {{"zoom.txt", "-o", out, "--tasks", "2", "--task", "0", "--video",
        "v.mp4"},
       2,
       "--video with 2 tasks"},
      {{"zoom.txt", "-o", out, "--video", "v.avi"}, 2, "--video v.avi"},
      {{"zoom.txt", "-o", out, "--fps", "25"}, 2, "--fps is for --video"},
      {{"zoom.txt", "-o", dir.File("out/z.png")}, 2, "without an extension"},
      {{"zoom.txt"}, 2, "give -o DIR/NAME"},
      {{"zoom.txt", "-o", out, "--limit", "0"},
       2,
       "--limit: must be at least 1"},
      {{"zoom.txt", "-o", out, "--from", "a.view"}, 2, "not both"},
      {{"-o", out, "--from", "a.view", "--to", "b.view", "--frames", "1"},
       2,
       "--frames: must be a whole number from 2"},
      {{"-o", out, "--from", "a.view", "--to", "b.view", "--frames", "3"},
       1,
       "differ in size; give --size"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {MANDEL_EXE, "animate"};
    std::string line;
    for (const std::string& a : c.args) {
      const bool local = a.find('.') != std::string::npos && a[0] != '/';
      args.push_back(local && a != "v.mp4" && a != "v.avi" ? dir.File(a) : a);
      line += " " + a;
    }
    const ProgramResult r = RunProgram(args);
    EXPECT_EQ(c.exit, r.exit) << line << "\n" << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << line << "\n"
                                                        << r.err;
    EXPECT_FALSE(FileExists(dir.File("out"))) << line;
  }
}

bool HaveProgram(const char* name) {
  return RunProgram({"/bin/sh", "-c", std::string("command -v ") + name})
             .exit == 0;
}

struct Probe {
  std::string frames, width, height, codec;
};

Probe ProbeVideo(const std::string& path) {
  const ProgramResult r = RunProgram(
      {"/bin/sh", "-c",
       "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
       "stream=nb_read_frames,width,height,codec_name -of "
       "default=noprint_wrappers=1 '" +
           path + "'"});
  Probe p;
  std::size_t from = 0;
  while (from < r.out.size()) {
    std::size_t end = r.out.find('\n', from);
    if (end == std::string::npos) end = r.out.size();
    const std::string line = r.out.substr(from, end - from);
    from = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "nb_read_frames") p.frames = value;
    if (key == "width") p.width = value;
    if (key == "height") p.height = value;
    if (key == "codec_name") p.codec = value;
  }
  return p;
}

TEST(AnimateCli, VideoHasEveryFrameAtTheFrameSize) {
  NEED_PNG();
  if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg and ffprobe are not both installed";
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"), "--video",
      dir.File("zoom.mp4"), "--fps", "12"});
  const Probe piped = ProbeVideo(dir.File("zoom.mp4"));
  EXPECT_EQ(std::to_string(ZoomFrames), piped.frames);
  EXPECT_EQ("48", piped.width);
  EXPECT_EQ("30", piped.height);
  EXPECT_EQ("h264", piped.codec);
  EXPECT_EQ((std::vector<std::string>{"f", "zoom.mp4", "zoom.txt"}),
            ListDirectory(dir.path()));

  // The same frames assembled afterwards, and the range of a run alone.
  Ok({"video", dir.File("f/z"), "-o", dir.File("again.mkv")});
  EXPECT_EQ(std::to_string(ZoomFrames),
            ProbeVideo(dir.File("again.mkv")).frames);
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"), "--range", "2:4",
      "--video", dir.File("part.mp4")});
  EXPECT_EQ("3", ProbeVideo(dir.File("part.mp4")).frames);
}

TEST(AnimateCli, VideoOfAnIncompleteSequenceIsRefused) {
  NEED_PNG();
  ScopedTempDir dir;
  WriteBytes(dir.File("zoom.txt"), Zoom);
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"), "--range",
      "0:2"});
  Ok({"animate", dir.File("zoom.txt"), "-o", dir.File("f/z"), "--range",
      "4:5"});
  const struct {
    std::string sequence, message;
  } cases[] = {
      // Frames 6 and 7 are known missing from the frames' own note.
      {dir.File("f/z"),
       "3 of 8 frames missing, the first " + Frame(dir, "f/z", 3)},
      {dir.File("f/none"), "no frames"},
  };
  for (const auto& c : cases) {
    const ProgramResult r =
        Mandel({"video", c.sequence, "-o", dir.File("v.mp4")});
    EXPECT_EQ(1, r.exit) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
    EXPECT_FALSE(FileExists(dir.File("v.mp4")));
  }
}

}  // namespace
#endif  // MANDEL_EXE
