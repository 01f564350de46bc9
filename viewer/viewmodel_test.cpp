// The viewer's decimal view arithmetic, and its runs against the plain
// engine.
#include "viewer/viewmodel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "core/escape.h"
#include "core/mandelbrot.h"
#include "viewer/runner.h"
#include "viewspec/decimal.h"

namespace zv {
namespace {

void ExpectDecimal(const char* expected, const std::string& actual) {
  EXPECT_TRUE(IsDecimal(actual)) << actual;
  EXPECT_TRUE(IsDecimal(actual) && DecimalEqual(expected, actual))
      << actual << " for " << expected;
}

TEST(ViewModel, DecimalArithmetic) {
  // 1 - 7.5e-201
  const std::string nines_then_25 = "0." + std::string(200, '9') + "25";
  struct Row {
    const char* what;
    std::string got;
    const char* expected;
  } rows[] = {
      {"half a width at 1e-11", offset_by("-0.75", "1e-11", 0.5),
       "-0.749999999995"},
      {"no offset keeps every digit",
       offset_by("-1.2345678901234567890123456789", "1e-25", 0),
       "-1.2345678901234567890123456789"},
      {"at 1e-200", offset_by("1", "3e-200", -0.25), nines_then_25.c_str()},
      {"halved", scaled("4", 0.5), "2"},
      {"a quarter of 1e-11", scaled("1e-11", 0.25), "2.5e-12"},
      {"negative drag", scaled("4", -0.125), "-0.5"},
      {"zero", scaled("0", 2), "0"},
      {"above the range", clamped("2.5", -2, 2), "2"},
      {"below the range", clamped("-3e5", -2, 2), "-2"},
      {"inside keeps its digits", clamped("0.100000000000000000000001", -2, 2),
       "0.100000000000000000000001"},
      {"shortest double", decimal_of(0.1), "0.1"},
      {"small double", decimal_of(1e-11), "1e-11"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ExpectDecimal(row.expected, row.got);
  }
  EXPECT_EQ(0.5, to_double("5e-1"));
  EXPECT_EQ(0, to_double("not a number"));
  preciseview a, b;
  b.re = "-2.000";
  EXPECT_TRUE(same_precise(a, b));
  b.width = "4.0000000000000000000001";
  EXPECT_FALSE(same_precise(a, b));
}

TEST(ViewModel, DeepOnlyWhereDoublesRunOut) {
  struct Row {
    const char *re, *width;
    std::uint64_t dots;
    bool deep;
  } rows[] = {
      {"-2", "4", 800, false},
      {"-0.75", "1e-9", 800, false},
      {"-0.75", "1e-11", 800, true},
      {"-0.75", "1e-11", 10, false},  // wide pixels at the same width
      {"-0.75", "0", 800, false},     // no width: every pixel the corner
      {"-2", "1e-100", 800, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.width << " over " << row.dots);
    preciseview v;
    v.re = row.re;
    v.width = row.width;
    EXPECT_EQ(row.deep, needs_deep(v, row.dots));
  }
}

// Mapping widget pixels through a picture of 800 by 400 showing the corner
// (-2, -1) and width 4: 1/200 of the plane per pixel, rows from the top.
TEST(ViewModel, PointerMapping) {
  pictureframe f;
  f.view.re = "-2";
  f.view.im = "-1";
  f.view.width = "4";
  f.width = 800;
  f.height = 400;
  f.aspect = 0.5;
  std::string re, im;
  corner_at(f, 400, 199, re, im);  // the origin: flipped row 200
  ExpectDecimal("0", re);
  ExpectDecimal("0", im);
  ExpectDecimal("1", drag_width(f, 400, 600));
  ExpectDecimal("-0.5", drag_width(f, 400, 300));

  struct Row {
    const char* what;
    preciseview v;
    const char *re, *im, *width;
  } rows[] = {
      // (0, 0) stays under the pointer.
      {"in about the origin", zoomed_about(f, f.view, 400, 199, 2), "-1",
       "-0.5", "2"},
      {"out about the origin", zoomed_about(f, f.view, 400, 199, 0.5), "-4",
       "-2", "8"},
      // The corner's own pixel keeps the corner.
      {"in about the corner", zoomed_about(f, f.view, 0, 399, 2), "-2", "-1",
       "2"},
      {"pan left and down", panned(f, f.view, 400, 200, 300, 300), "-1.5",
       "-0.5", "4"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ExpectDecimal(row.re, row.v.re);
    ExpectDecimal(row.im, row.v.im);
    ExpectDecimal(row.width, row.v.width);
  }
  centre_of(f.view, 800, 400, re, im);
  ExpectDecimal("0", re);
  ExpectDecimal("0", im);
}

// At depth the outline's corners are taken relative to the computed one, so
// their difference survives in doubles.
TEST(ViewModel, RelativeAreasAtDepth) {
  preciseview pending, computed;
  pending.re = "-0.749999999995";
  pending.im = "0.1000000000025";
  computed.re = "-0.75";
  computed.im = "0.1";
  computed.width = pending.width = "1e-11";
  const MandArea pa = to_area(pending, 800, 800),
                 ca = to_area(computed, 800, 800);
  MandArea pr, cr;
  relative_areas(pending, pa, computed, ca, pr, cr);
  EXPECT_EQ(0, cr.minRe);
  EXPECT_EQ(0, cr.minIm);
  EXPECT_NEAR(5e-12, pr.minRe, 1e-26);
  EXPECT_NEAR(2.5e-12, pr.minIm, 1e-26);
  EXPECT_EQ(1e-11, pr.lenRe);
}

// A run's counts give, through the banded count, the plain engine's counts
// of the same view.
TEST(Runner, DoubleRunsCountAsThePlainEngine) {
  preciseview v;
  v.re = "-1.5";
  v.im = "-0.25";
  v.width = "0.5";
  v.limit = 300;
  for (bool julia : {false, true}) {
    SCOPED_TRACE(julia);
    v.julia = julia;
    const MandArea area = to_area(v, 64, 48);
    countpicture counts;
    {
      runner run(v, area, counts, 2);
      EXPECT_EQ(engine_kind::doubles, run.engine());
      for (std::uint64_t l = 0; l < area.dotsY; ++l)
        ASSERT_TRUE(run.wait_line(l, std::chrono::seconds(10)));
    }
    Mandelbrot engine(Mandelbrot::ReducedBuffer);
    engine.SetArea(area);
    int wrong = 0;
    for (std::uint64_t l = 0; l < area.dotsY; ++l) {
      engine.SetLine(l);
      engine.Calculation();
      for (std::uint64_t m = 0; m < area.dotsX; ++m)
        wrong += engine.GetBuf()[m] != banded_count(counts.n[l * 64 + m]);
    }
    EXPECT_EQ(0, wrong);
  }
}

// Deep Julia runs keep the viewer's own escape radius, |z0| + 2: at a
// width doubles still nearly resolve, they count as the double definition.
TEST(Runner, DeepJuliaRunsEscapeAsTheViewersJuliaSets) {
  struct Row {
    const char *re, *im;
  } rows[] = {
      {"0.3", "0.52"},  // near the set: counts of all sizes
      // |z0| = 2.1: a radius of 2 would count 0 steps, the viewer's 1.
      {"1.5", "1.5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.re);
    preciseview v;
    v.julia = true;
    v.re = row.re;
    v.im = row.im;
    v.width = "5e-13";
    v.limit = 1000;
    const MandArea area = to_area(v, 16, 8);
    ASSERT_TRUE(needs_deep(v, 16));
    countpicture counts;
    {
      runner run(v, area, counts, 2);
      EXPECT_EQ(engine_kind::deep, run.engine());
      for (std::uint64_t l = 0; l < area.dotsY; ++l)
        ASSERT_TRUE(run.wait_line(l, std::chrono::seconds(20))) << run.error();
    }
    int same = 0, escaped = 0;
    for (std::uint64_t l = 0; l < area.dotsY; ++l)
      for (std::uint64_t m = 0; m < area.dotsX; ++m) {
        const double re = area.minRe + area.lenRe * static_cast<double>(m) / 16;
        const double im = area.minIm + area.lenIm * static_cast<double>(l) / 8;
        const EscapeResult e = Escape(re, im, v.julia_re, v.julia_im,
                                      std::hypot(re, im) + 2, 1000);
        const std::uint32_t got = counts.n[l * 16 + m];
        escaped += got != NeverEscaped;
        same += got != NeverEscaped && got == e.count + 1;
      }
    EXPECT_GT(escaped, 0);
    EXPECT_GE(same, escaped * 9 / 10);
  }
}

// Cancelling stops the workers taking lines: a heavy run cancelled at once
// computes at most the lines already under way, one per worker.
TEST(Runner, CancelledRunTakesNoNewLines) {
  preciseview v;
  // Just right of the cusp at 1/4: outside the set, but every point takes
  // some 200000 steps to escape, so each one runs to the limit and no
  // shortcut for points inside the set applies.
  v.re = "0.2500000001";
  v.im = "-0.00000000005";
  v.width = "0.0000000001";
  v.limit = 65535;
  const MandArea area = to_area(v, 800, 600);
  countpicture counts;
  {
    runner run(v, area, counts, 2);
    run.cancel();
    // A second for workers that ignored the cancel to run on (a line is
    // some 50 million steps), before the destructor stops them anyway.
    EXPECT_FALSE(
        run.wait_line(area.dotsY - 1, std::chrono::milliseconds(1000)));
  }
  // Each worker may finish the line it holds, and one it took before the
  // cancel. A loaded machine can hold this thread back for a line or two
  // more, so the bound leaves room; ignored, the cancel lets them finish
  // dozens of lines in that second.
  std::uint64_t done = 0;
  for (std::uint64_t l = 0; l < area.dotsY; ++l)
    done += counts.n[l * area.dotsX] != 0;
  EXPECT_LE(done, 8u);
}

}  // namespace
}  // namespace zv
