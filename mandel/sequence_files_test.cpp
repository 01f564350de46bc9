#include "mandel/sequence_files.h"

#include <gtest/gtest.h>

#include "mandel/video.h"
#include "viewspec/viewspec.h"

namespace {

TEST(MandelSequenceFiles, NamesHaveSixDigitsOrAsManyAsTheLastNeeds) {
  const struct {
    std::uint64_t count, index;
    const char* name;
  } rows[] = {
      {1, 0, "d/z-000000.png"},
      {1000000, 999999, "d/z-999999.png"},
      {1000001, 1000000, "d/z-1000000.png"},
      {1000001, 5, "d/z-0000005.png"},
      {20000000000, 3, "d/z-00000000003.png"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(r.name, FrameName("d/z", r.index, FrameDigits(r.count)));
}

// The note rides in the view text and leaves it a view file.
TEST(MandelSequenceFiles, FrameNoteReadsBack) {
  ViewSpec v;
  const std::string text = FormatViewSpec(v) + FrameNote(41, 240);
  std::uint64_t count = 0;
  ASSERT_TRUE(FrameCountOfNote(text, count));
  EXPECT_EQ(240u, count);
  ViewSpec back;
  std::string error;
  ASSERT_TRUE(ParseViewSpec(text, "frame", back, error)) << error;
  EXPECT_EQ(v, back);
  for (const char* bad : {"center = 0 0\n", "x\n# frame 3 of \n",
                          "x\n# frame 3 of 2x\n", "x\n# frame 3\n"})
    EXPECT_FALSE(FrameCountOfNote(bad, count)) << bad;
}

TEST(MandelSequenceFiles, CommandsQuoteNamesForTheShell) {
#ifndef _WIN32
  EXPECT_EQ(
      "ffmpeg -framerate 24 -i 'my frames/z-%06d.png' -c:v libx264 -preset "
      "medium -crf 18 -pix_fmt yuv420p -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2' "
      "'it'\\''s.mp4'",
      SequenceCommand("my frames/z", 6, 0, 0, 24, "it's.mp4"));
#endif
  std::string format, error;
  for (auto [name, want] : {std::pair<const char*, const char*>{"a.MP4", "mp4"},
                            {"a.mov", "mov"},
                            {"a.mkv", "matroska"},
                            {"a.avi", ""},
                            {"mp4", ""}}) {
    format.clear();
    EXPECT_EQ(*want != 0, VideoFormatOf(name, format, error)) << name;
    EXPECT_EQ(want, format) << name;
  }
}

}  // namespace
