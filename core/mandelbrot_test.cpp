#include "core/mandelbrot.h"
#include "core/testviews.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

// A deliberately plain formulation of the escape-time count, written from
// the definition rather than from the engine: count steps k from z0, stop
// when |z| is not below the radius, give 0 when k reaches the limit.
unsigned short PlainCount(std::complex<double> z, std::complex<double> c,
                          double radius, std::uint64_t limit) {
  for (std::uint64_t k = 0; k < limit; ++k) {
    if (!(std::abs(z) < radius)) return static_cast<unsigned short>(k % 65536);
    z = z * z + c;
  }
  return 0;
}

std::vector<unsigned short> PlainView(const MandArea& a) {
  std::vector<unsigned short> counts;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    double im = a.dotsY < 2 ? a.minIm + a.lenIm * 0.5
                            : a.minIm + (double(l) * a.lenIm) / double(a.dotsY - 1);
    for (std::uint64_t m = 0; m < a.dotsX; ++m) {
      double re = a.dotsX < 2 ? a.minRe + a.lenRe * 0.5
                              : a.minRe + (double(m) * a.lenRe) / double(a.dotsX - 1);
      std::complex<double> z(re, im);
      if (a.julia) {
        counts.push_back(PlainCount(z, {a.juliaRe, a.juliaIm},
                                    std::abs(z) + 2, a.limit));
      } else {
        counts.push_back(PlainCount(z, z, 2, a.limit));
      }
    }
  }
  return counts;
}

std::vector<unsigned short> EngineView(const MandArea& a,
                                       Mandelbrot::BufferModes mode) {
  Mandelbrot engine(mode);
  engine.SetArea(a);
  std::vector<unsigned short> counts;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.Calculation();
    const unsigned short* row = engine.GetBuf();
    counts.insert(counts.end(), row, row + a.dotsX);
  }
  return counts;
}

TEST(Mandelbrot, EveryPixelMatchesThePlainDefinition) {
  struct Row {
    const char* name;
    MandArea area;
  } rows[] = {
      {"whole set", View(-2, -2, 4, 4, 120, 120, 200)},
      {"boundary zoom", View(-0.7454, 0.1130, 0.0005, 0.0005, 60, 60, 3000)},
      {"julia", View(-2, -2, 4, 4, 90, 90, 300, true)},
      {"julia, dendrite", View(-1.5, -1.5, 3, 3, 50, 50, 500, true, 0, 1)},
      {"real axis through the escape circle",
       View(-2.5, 0, 5, 0, 41, 1, 100)},
      {"imaginary axis through the escape circle",
       View(0, -2.5, 0, 5, 1, 41, 100)},
      {"near the escape circle", View(1.9999999, -0.001, 2e-7, 0.002, 9, 9, 50)},
      {"julia, overflowing start points",
       View(1e300, -1e300, 1e300, 1e300, 8, 8, 50, true)},
      {"julia, start points near the overflow of the square",
       View(1e154, 1e154, 1e154, 1e154, 6, 6, 20, true, 0.5, 0.5)},
      {"huge corner", View(-1e308, -1e308, 1.5e308, 1.5e308, 5, 5, 20)},
      {"limit 0", View(-2, -2, 4, 4, 16, 16, 0)},
      {"limit 1", View(-2, -2, 4, 4, 16, 16, 1)},
      {"single pixel", View(-1, 0, 2, 2, 1, 1, 100)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<unsigned short> expected = PlainView(r.area);
    EXPECT_EQ(EngineView(r.area, Mandelbrot::ReducedBuffer), expected);
    EXPECT_EQ(EngineView(r.area, Mandelbrot::NormalBuffer), expected);
  }
}

TEST(Mandelbrot, CountsOfSinglePoints) {
  struct Row {
    const char* name;
    double re, im;
    std::uint64_t limit;
    unsigned short count;
  } rows[] = {
      {"outside the circle", -2, -2, 100, 0},
      {"on the circle", -2, 0, 100, 0},
      {"origin never escapes", 0, 0, 100000, 0},
      {"limit 0", 1, 1, 0, 0},
      {"escapes after one step", 1, 1, 100, 1},
      {"just inside the circle", std::nextafter(2.0, 0.0), 0, 100, 1},
      {"just inside, limit 1 is too short", std::nextafter(2.0, 0.0), 0, 1, 0},
      {"NaN corner", NAN, 0, 100, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(EscapeCount(r.re, r.im, r.re, r.im, 2, r.limit), r.count);
  }
}

TEST(Mandelbrot, CountsWrapModulo65536) {
  // Just right of the cusp at 1/4 the orbit creeps past the parabolic point
  // for a long time before escaping.
  double c = 0.25 + 1e-9;
  std::uint64_t steps = 0;
  std::complex<double> z(c, 0);
  while (std::abs(z) < 2) {
    z = z * z + c;
    ++steps;
  }
  ASSERT_GT(steps, 65536u);
  EXPECT_EQ(EscapeCount(c, 0, c, 0, 2, 1000000), steps % 65536);
  // Escaping on the very last step stores 0, like never escaping.
  EXPECT_EQ(EscapeCount(c, 0, c, 0, 2, steps), 0);
  EXPECT_EQ(EscapeCount(c, 0, c, 0, 2, steps + 1), steps % 65536);
}

TEST(Mandelbrot, JuliaRadiusGrowsWithTheStartingPoint) {
  // |3| + 2 = 5, so 3 + 0i is iterated once: 9 - 0.8 + 0.156i lies outside.
  EXPECT_EQ(EscapeCount(3, 0, -0.8, 0.156, std::hypot(3, 0) + 2, 100), 1);
  EXPECT_EQ(EscapeCount(3, 0, 3, 0, 2, 100), 0);
}

TEST(Mandelbrot, PixelsAndLinesSpanTheViewEdgeToEdge) {
  EXPECT_EQ(PixelPosition(-2, 4, 0, 400), -2);
  EXPECT_EQ(PixelPosition(-2, 4, 399, 400), 2);
  EXPECT_EQ(PixelPosition(-2, 4, 0, 1), 0);
  EXPECT_EQ(PixelPosition(-2, 4, 0, 0), 0);
  EXPECT_EQ(PixelPosition(0, 1, 1, 3), 0.5);
}

TEST(Mandelbrot, SetLinePastTheEndIsReportedAndClamped) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  std::ostringstream err;
  std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
  engine.SetLine(400);  // a fresh engine takes the default 400-line view
  std::cerr.rdbuf(old);
  EXPECT_EQ(err.str(), "SetLine OVER! (400/400)\n");
  EXPECT_EQ(engine.GetLine(), 399u);
  EXPECT_EQ(engine.GetArea().dotsX, 400u);
  EXPECT_EQ(engine.GetArea().limit, 100u);
}

// Gives the test a way to raise the limit of the installed view without
// SetArea, which would drop the counts.
class RaisableEngine : public Mandelbrot {
 public:
  RaisableEngine() : Mandelbrot(NormalBuffer) {}
  void SetLimit(std::uint64_t l) { area.limit = l; }
};

TEST(Mandelbrot, ReCalcOnlyRevisitsZeroCounts) {
  MandArea a = View(-2, -1.5, 3, 3, 40, 30, 20);
  MandArea high = a;
  high.limit = 200;
  std::vector<unsigned short> expected = PlainView(high);

  RaisableEngine engine;
  engine.SetArea(a);
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.ReCalc();  // not yet computed: a full Calculation
    std::vector<unsigned short> before(engine.GetBuf(),
                                       engine.GetBuf() + a.dotsX);
    engine.ReCalc();  // computed, same limit: nothing changes
    EXPECT_EQ(std::vector<unsigned short>(engine.GetBuf(),
                                          engine.GetBuf() + a.dotsX),
              before);
  }
  engine.SetLimit(200);
  std::vector<unsigned short> counts;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.ReCalc();
    counts.insert(counts.end(), engine.GetBuf(), engine.GetBuf() + a.dotsX);
  }
  EXPECT_EQ(counts, expected);
}

TEST(Mandelbrot, EngineWithoutAViewUsesTheDefault) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.Calculation();
  EXPECT_EQ(engine.GetArea().dotsX, 400u);
  EXPECT_EQ(engine.GetBuf()[0], 0);  // (-2, -2) lies outside the circle
}

}  // namespace
