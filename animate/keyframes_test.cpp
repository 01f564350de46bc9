#include "animate/keyframes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* Two =
    "center = -0.75 0\nwidth = 3.5\nsize = 64 36\nlimit = 100\n"
    "frames = 8\nease = inout\n---\n"
    "center = -0.7436 0.1318\nwidth = 4e-9\nsize = 64 36\nlimit = 2000\n";

TEST(Keyframes, ReadsViewsAndWhatLeadsToTheNext) {
  std::vector<Keyframe> keys;
  std::string error;
  ASSERT_TRUE(ParseKeyframes(Two, "z.txt", keys, error)) << error;
  ASSERT_EQ(2u, keys.size());
  EXPECT_EQ(8u, keys[0].frames);
  EXPECT_EQ(Ease::InOut, keys[0].ease);
  EXPECT_EQ("4e-9", keys[1].view.width);
  EXPECT_EQ(2000u, keys[1].view.limit);
  EXPECT_EQ(0u, keys[1].frames);
  EXPECT_EQ(8u, keys[1].line);

  const std::string julia =
      "julia = 0 0.7\npath = circle 0 0 clockwise\nframes = 3\n---\n"
      "julia = 0.3 0\npath = polyline\nframes = 2\n---\njulia = 0 -0.7\n";
  ASSERT_TRUE(ParseKeyframes(julia, "j.txt", keys, error)) << error;
  ASSERT_EQ(3u, keys.size());
  EXPECT_EQ(PathKind::Circle, keys[0].path.kind);
  EXPECT_TRUE(keys[0].path.clockwise);
  EXPECT_EQ(PathKind::Polyline, keys[1].path.kind);
}

// Every refusal names the file and the line to look at, and leaves the
// output alone.
TEST(Keyframes, RefusalsNameTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"width = 1\nframes = 2\n", "z.txt: a keyframe file needs at least two"},
      {"width = 1\nframes = 0\n---\nwidth = 2\n",
       "z.txt:2: frames: expected a whole number from 1 to 1000000, not \"0\""},
      {"width = 1\nframes = 1000001\n---\nwidth = 2\n",
       "z.txt:2: frames: expected"},
      {"width = 1\nframes = x\n---\nwidth = 2\n", "z.txt:2: frames: expected"},
      {"width = 1\n---\nwidth = 2\n", "z.txt:1: frames: missing"},
      {"frames = 1\n---\nwidth = 2\n\nframes = 3\n",
       "z.txt:5: frames: the last keyframe has no next one"},
      {"frames = 1\n---\nease = in\n",
       "z.txt:3: ease: the last keyframe has no next one"},
      {"frames = 1\nframes = 2\n---\nwidth = 2\n",
       "z.txt:2: frames: given twice"},
      {"frames = 1\nease = fast\n---\nwidth = 2\n",
       "z.txt:2: ease: expected none"},
      {"frames = 1\npath = line\n---\nwidth = 2\n",
       "z.txt:2: path: only a Julia set"},
      {"julia = 0 0\nframes = 1\npath = circle 0\n---\njulia = 1 0\n",
       "z.txt:3: path: expected line"},
      {"julia = 0 0\nframes = 1\npath = circle 0 0 left\n---\njulia = 1 0\n",
       "z.txt:3: path: expected line"},
      {"size = 640 360\nframes = 1\n---\n\nsize = 800 600\n",
       "z.txt:5: size: 800 600 differs from the first keyframe's 640 360"},
      {"frames = 1\n---\njulia = 0 0\n", "z.txt:3: julia: every keyframe"},
      {"frames = 1\n---\n# a comment\nzoom = 2\n", "z.txt:4: unknown key"},
      {"frames = 1\n---\nlimit = 0\n", "z.txt:3: limit: must be at least 1"},
      {"frames = 1\n---\nwidth = 2\n---\n# nothing\n",
       "z.txt:4: an empty keyframe"},
      {"\n---\nwidth = 2\n", "z.txt:1: an empty keyframe"},
      {"frames = 1\n---\nwidth = -1\n", "z.txt:3: "},
  };
  for (const auto& c : cases) {
    std::vector<Keyframe> keys(1);
    keys[0].frames = 77;
    std::string error;
    EXPECT_FALSE(ParseKeyframes(c.text, "z.txt", keys, error)) << c.text;
    EXPECT_EQ(0u, error.find(c.error)) << c.text << "\ngot: " << error;
    ASSERT_EQ(1u, keys.size());
    EXPECT_EQ(77u, keys[0].frames);
  }
}

TEST(Keyframes, EasesMeetTheirEnds) {
  for (Ease e : {Ease::None, Ease::In, Ease::Out, Ease::InOut}) {
    EXPECT_EQ(0.0, ApplyEase(e, 0));
    EXPECT_EQ(1.0, ApplyEase(e, 1));
  }
  EXPECT_DOUBLE_EQ(0.25, ApplyEase(Ease::In, 0.5));
  EXPECT_DOUBLE_EQ(0.75, ApplyEase(Ease::Out, 0.5));
  EXPECT_DOUBLE_EQ(0.5, ApplyEase(Ease::InOut, 0.5));
  EXPECT_DOUBLE_EQ(0.104, ApplyEase(Ease::InOut, 0.2));
}

}  // namespace
