#include "viewer/keyframes.h"

#include <gtest/gtest.h>

#include "animate/keyframes.h"

#include <vector>

namespace {

ViewSpec view(const char* re, const char* im, const char* width,
              std::uint32_t limit) {
  ViewSpec v;
  v.anchor = Anchor::Corner;
  v.re = re;
  v.im = im;
  v.width = width;
  v.sizeX = 640;
  v.sizeY = 480;
  v.limit = limit;
  v.bailout = 2;
  return v;
}

// The point of the export: views far below double precision come back
// with every digit, the frames key between them and not after the last.
TEST(Keyframes, DeepViewsRoundTrip) {
  const std::vector<ViewSpec> views = {
      view("-2", "-2", "4", 100),
      view("-0.7499999999949999999999999", "0.0000000000012345678901234",
           "2.5e-12", 1000),
      view("-0.749999999994999999999999912345678901234567890123",
           "0.000000000001234567890123400000000000000000000001", "1e-40",
           5000)};
  std::string text, error;
  ASSERT_TRUE(zv::keyframe_text(views, 48, &text, &error)) << error;
  // Read back as mandel animate reads it.
  std::vector<Keyframe> back;
  ASSERT_TRUE(ParseKeyframes(text, "export", back, error)) << error;
  ASSERT_EQ(views.size(), back.size());
  for (std::size_t i = 0; i < views.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(views[i], back[i].view);
    EXPECT_EQ(i + 1 < views.size() ? 48u : 0u, back[i].frames);
  }
  EXPECT_EQ('\n', text.back());
  EXPECT_EQ(std::string::npos, text.find('\r'));
  EXPECT_EQ(97u, zv::keyframe_frame_count(3, 48));
}

TEST(Keyframes, RefusesWhatAnimateWould) {
  std::string text = "kept", error;
  const std::vector<ViewSpec> one = {view("-2", "-2", "4", 100)};
  EXPECT_FALSE(zv::keyframe_text(one, 10, &text, &error));
  EXPECT_NE(std::string::npos, error.find("two views"));
  const std::vector<ViewSpec> two = {view("-2", "-2", "4", 100),
                                     view("-1", "-1", "1", 100)};
  for (std::uint32_t frames : {0u, zv::MaxKeyframeStep + 1}) {
    SCOPED_TRACE(frames);
    EXPECT_FALSE(zv::keyframe_text(two, frames, &text, &error));
    EXPECT_NE(std::string::npos, error.find("frames"));
  }
  EXPECT_EQ("kept", text);
  EXPECT_TRUE(zv::keyframe_text(two, zv::MaxKeyframeStep, &text, &error));
}

TEST(Keyframes, AnimationViewsFitTogether) {
  ViewSpec small = view("-2", "-2", "4", 0);  // before a resize, limit 0
  small.sizeX = 400;
  small.sizeY = 400;
  ViewSpec julia = view("-1", "-1", "2", 100);
  julia.julia = true;
  julia.juliaRe = "-0.8";
  julia.juliaIm = "0.156";
  const ViewSpec a = view("-1", "-1", "2", 100);
  const ViewSpec b = view("-0.5", "-0.25", "0.5", 200);
  const std::vector<ViewSpec> got =
      zv::animation_views({small, julia, a, a, b, julia, b});
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ("4", got[0].width);  // the same view, at the last one's size
  EXPECT_EQ(640u, got[0].sizeX);
  EXPECT_EQ(480u, got[0].sizeY);
  EXPECT_EQ(1u, got[0].limit);
  EXPECT_EQ(a, got[1]);
  EXPECT_EQ(b, got[2]);  // the repeat of b after the Julia view is dropped
  // The Julia views kept when the last view is one.
  ViewSpec deeper = julia;
  deeper.width = "0.5";
  const std::vector<ViewSpec> sets = zv::animation_views({a, julia, b, deeper});
  ASSERT_EQ(2u, sets.size());
  EXPECT_EQ(julia, sets[0]);
  EXPECT_EQ(deeper, sets[1]);
  EXPECT_TRUE(zv::animation_views({}).empty());
}

}  // namespace
