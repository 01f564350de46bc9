#include "animate/sequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "animate/juliapath.h"
#include "viewspec/decimal.h"

namespace {

std::vector<Keyframe> Keys(const std::string& text) {
  std::vector<Keyframe> keys;
  std::string error;
  EXPECT_TRUE(ParseKeyframes(text, "k.txt", keys, error)) << error;
  return keys;
}

struct Place {
  double re, im, width;
};

Place At(const std::vector<Keyframe>& keys, std::uint64_t i) {
  ViewSpec v;
  std::string error;
  EXPECT_TRUE(FrameView(keys, i, v, error)) << error;
  Place p{};
  DecimalToDouble(CenterRe(v), p.re);
  DecimalToDouble(CenterIm(v), p.im);
  DecimalToDouble(v.width, p.width);
  return p;
}

// Widths are geometric, and the point the two views show at the same place
// on the screen (found here from the ends alone) keeps that place in every
// frame between.
TEST(Sequence, ZoomIsGeometricAboutTheSharedPoint) {
  const struct {
    const char* text;
    std::vector<double> widths;
  } cases[] = {
      {"center = -0.75 0\nwidth = 3\nframes = 4\n---\n"
       "center = -1.2 0.3\nwidth = 3e-4\n",
       {3, 0.3, 0.03, 0.003, 3e-4}},
      {"center = 0.25 -0.1\nwidth = 0.003\nframes = 8\n---\n"
       "center = 0.251 -0.1\nwidth = 0.00003\n",
       {}},
      // Zooming out is the same map backwards.
      {"center = 1 1\nwidth = 1e-6\nframes = 3\n---\n"
       "center = 0 0\nwidth = 1\n",
       {1e-6, 1e-4, 1e-2, 1}},
      {"corner = -2 -1.5\nwidth = 4\nframes = 5\n---\n"
       "center = -0.5 0.2\nwidth = 0.5\n",
       {}},
  };
  for (const auto& c : cases) {
    const std::vector<Keyframe> keys = Keys(c.text);
    const std::uint64_t n = FrameCount(keys);
    const Place a = At(keys, 0), b = At(keys, n - 1);
    // p = a.c + a.w x = b.c + b.w x: the screen offset x, in widths.
    const double xr = (a.re - b.re) / (b.width - a.width);
    const double xi = (a.im - b.im) / (b.width - a.width);
    const double pr = a.re + a.width * xr, pi = a.im + a.width * xi;
    const double ratio = std::pow(b.width / a.width, 1.0 / double(n - 1));
    for (std::uint64_t i = 0; i < n; ++i) {
      const Place f = At(keys, i);
      const double w = a.width * std::pow(ratio, double(i));
      EXPECT_NEAR(1, f.width / w, 1e-12) << c.text << " frame " << i;
      if (!c.widths.empty()) {
        EXPECT_NEAR(1, f.width / c.widths[i], 1e-12) << i;
      }
      EXPECT_NEAR(xr, (pr - f.re) / f.width, 1e-9) << c.text << " frame " << i;
      EXPECT_NEAR(xi, (pi - f.im) / f.width, 1e-9) << c.text << " frame " << i;
    }
  }
}

TEST(Sequence, KeyframesShownAsWrittenAndEqualWidthsMoveStraight) {
  const std::vector<Keyframe> keys = Keys(
      "corner = -2 -1.5\nwidth = 4\nframes = 2\n---\n"
      "center = 1 1\nwidth = 4\nframes = 4\nease = in\n---\n"
      "center = 3 -1\nwidth = 4\n");
  ASSERT_EQ(7u, FrameCount(keys));
  ViewSpec v;
  std::string error;
  for (auto [frame, key] : {std::pair<int, int>{0, 0}, {2, 1}, {6, 2}}) {
    ASSERT_TRUE(FrameView(keys, frame, v, error)) << error;
    EXPECT_EQ(keys[key].view, v) << frame;
  }
  // Equal widths: a straight move, eased: s = (i/4)^2 from (1,1) to (3,-1).
  for (int i = 1; i < 4; ++i) {
    const Place p = At(keys, 2 + i);
    const double s = (i / 4.0) * (i / 4.0);
    EXPECT_NEAR(1 + 2 * s, p.re, 1e-15) << i;
    EXPECT_NEAR(1 - 2 * s, p.im, 1e-15) << i;
    EXPECT_EQ(4, p.width);
  }
}

TEST(Sequence, LimitsRoundedAndPeriodsHeldOrGeometric) {
  const std::vector<Keyframe> keys = Keys(
      "limit = 100\nperiod = 50\nframes = 4\n---\n"
      "limit = 10000\nperiod = 50\nframes = 2\n---\n"
      "limit = 3\nperiod = 200\n");
  const std::uint32_t limits[] = {100, 316, 1000, 3162, 10000, 173, 3};
  const double periods[] = {50, 50, 50, 50, 50, 100, 200};
  for (std::uint64_t i = 0; i < 7; ++i) {
    ViewSpec v;
    std::string error;
    ASSERT_TRUE(FrameView(keys, i, v, error)) << error;
    EXPECT_EQ(limits[i], v.limit) << i;
    if (periods[i] == 50)
      EXPECT_EQ(50, v.colouring.period) << i;  // exactly: no colour drift
    else
      EXPECT_NEAR(periods[i], v.colouring.period, 1e-9) << i;
  }
  EXPECT_EQ(1u, InterpolateLimit(1, 1, 0.5));
  EXPECT_EQ(4294967295u, InterpolateLimit(4294967295u, 4294967295u, 0.3));
  EXPECT_EQ(2u, InterpolateLimit(1, 4, 0.5));
}

#ifdef ANIMATE_DEEP
// Past doubles the centre keeps the digits of the deep keyframe's.
TEST(Sequence, DeepFramesCarryTheDigitsTheirPixelsNeed) {
  const std::string deepRe = "-0.743643887037158704752191506114774";
  const std::vector<Keyframe> keys = Keys(
      "center = -0.75 0\nwidth = 3.5\nsize = 64 36\nframes = 10\n---\n"
      "center = " +
      deepRe +
      " 0.131825904205311970493132056385139\n"
      "width = 4e-30\nsize = 64 36\n");
  ViewSpec v;
  std::string error;
  ASSERT_TRUE(FrameView(keys, 9, v, error)) << error;
  // Frame 9 is 3.5 (4e-30 / 3.5)^0.9, about 3.5e-27 wide; the shared point
  // is within a width of B's centre, so some 26 digits agree.
  ASSERT_EQ(0u, v.re.find("-7.")) << v.re;
  EXPECT_EQ(deepRe.substr(4, 24), v.re.substr(3, 24)) << v.re;
  EXPECT_GT(v.re.size(), 33u) << v.re;
}
#else
// Without MPFR a zoom past what doubles place is refused, not drawn blurred:
// the frames between such keyframes, all of them, before any is drawn.
TEST(Sequence, DoublesRefuseZoomsTheyCannotPlace) {
  const std::vector<Keyframe> keys = Keys(
      "center = -0.75 0\nwidth = 3.5\nsize = 64 36\nframes = 10\n---\n"
      "center = -0.7436438870371587 0.1318259042053119\n"
      "width = 4e-30\nsize = 64 36\n");
  ViewSpec v;
  std::string error;
  EXPECT_TRUE(FrameView(keys, 0, v, error)) << error;
  EXPECT_FALSE(FrameView(keys, 1, v, error));
  EXPECT_NE(std::string::npos, error.find("frame 1: the keyframes zoom deeper"))
      << error;
}
#endif

TEST(JuliaPath, PositionsAtArcLengths) {
  const std::vector<Complex2> poly = {{0, 0}, {3, 0}, {3, 4}};
  const struct {
    double u, re, im;
  } along[] = {{0, 0, 0},
               {1.5 / 7, 1.5, 0},
               {3.0 / 7, 3, 0},
               {5.0 / 7, 3, 2},
               {1, 3, 4}};
  for (const auto& a : along) {
    const Complex2 c = AlongPolyline(poly, a.u);
    EXPECT_NEAR(a.re, c.re, 1e-15) << a.u;
    EXPECT_NEAR(a.im, c.im, 1e-15) << a.u;
  }
  const struct {
    Complex2 a, b;
    bool clockwise;
    double u, re, im;
  } circles[] = {
      {{1, 0}, {1, 0}, false, 0.25, 0, 1},  // a whole turn
      {{1, 0}, {1, 0}, true, 0.25, 0, -1},
      {{1, 0}, {0, 1}, false, 0.5, std::sqrt(0.5), std::sqrt(0.5)},
      {{1, 0}, {0, 1}, true, 1.0 / 3, 0, -1},  // three quarters clockwise
      {{0, 0}, {0, 0}, false, 0.5, 0, 0},
  };
  for (const auto& c : circles) {
    const Complex2 p = AlongCircle({0, 0}, c.a, c.b, c.clockwise, c.u);
    EXPECT_NEAR(c.re, p.re, 1e-12) << c.u;
    EXPECT_NEAR(c.im, p.im, 1e-12) << c.u;
  }
}

// A spiral's points at equal steps of arc length, measured independently
// by summing many short chords.
TEST(JuliaPath, SpiralAtConstantSpeed) {
  const Complex2 centre{-0.5, 0.25};
  for (bool clockwise : {false, true}) {
    const Complex2 a{0.5, 0.25}, b{-0.5, 2.25};  // radius 1 to 2
    const double pi = 3.14159265358979323846;  // no M_PI in MinGW's <cmath>
    const double turn = clockwise ? -1.5 * pi : 0.5 * pi;
    const int steps = 200000;
    std::vector<double> length(steps + 1, 0);
    auto point = [&](int j) {
      const double f = double(j) / steps;
      const double r = 1 + f, angle = turn * f;
      return Complex2{centre.re + r * std::cos(angle),
                      centre.im + r * std::sin(angle)};
    };
    for (int j = 1; j <= steps; ++j) {
      const Complex2 p = point(j - 1), q = point(j);
      length[j] = length[j - 1] + std::hypot(q.re - p.re, q.im - p.im);
    }
    for (double u : {0.1, 0.5, 0.9}) {
      int j = 0;
      while (length[j] < u * length[steps]) ++j;
      const Complex2 want = point(j);
      const Complex2 got = AlongCircle(centre, a, b, clockwise, u);
      EXPECT_NEAR(want.re, got.re, 1e-4) << clockwise << " " << u;
      EXPECT_NEAR(want.im, got.im, 1e-4) << clockwise << " " << u;
      // Shrinking is the same path backwards.
      const Complex2 back = AlongCircle(centre, b, a, !clockwise, 1 - u);
      EXPECT_NEAR(got.re, back.re, 1e-9);
      EXPECT_NEAR(got.im, back.im, 1e-9);
    }
  }
}

TEST(Sequence, JuliaConstantFollowsItsPath) {
  const std::vector<Keyframe> keys = Keys(
      "julia = 0 0\npath = polyline\nframes = 2\n---\n"
      "julia = 3 0\npath = polyline\nframes = 5\n---\n"
      "julia = 3 4\nframes = 2\n---\n"
      "julia = 3 4\n");
  const double want[][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1},
                            {3, 2}, {3, 3}, {3, 4}, {3, 4}, {3, 4}};
  ASSERT_EQ(10u, FrameCount(keys));
  for (std::uint64_t i = 0; i < 10; ++i) {
    ViewSpec v;
    std::string error;
    ASSERT_TRUE(FrameView(keys, i, v, error)) << error;
    double re = 0, im = 0;
    DecimalToDouble(v.juliaRe, re);
    DecimalToDouble(v.juliaIm, im);
    EXPECT_NEAR(want[i][0], re, 1e-12) << i;
    EXPECT_NEAR(want[i][1], im, 1e-12) << i;
  }
  ViewSpec v;
  std::string error;
  ASSERT_TRUE(FrameView(keys, 8, v, error));
  EXPECT_EQ("3", v.juliaRe);  // a constant that does not move keeps its text
}

}  // namespace
