#include "core/escape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/mandelbrot.h"
#include "core/orderedrows.h"

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Orbits small enough to follow by hand.
TEST(Escape, CountsTheStepsBeforeTheOrbitIsSeenOutside) {
  struct Row {
    const char* name;
    double zr, zi, cr, ci, radius;
    std::uint32_t limit;
    std::uint32_t count;
    double er, ei;
  } rows[] = {
      {"c = 0 stays", 0, 0, 0, 0, 2, 50, NeverEscaped, 0, 0},
      {"z0 on the circle", 2, 0, 2, 0, 2, 50, 0, 2, 0},
      {"c = 1: 1, 2", 1, 0, 1, 0, 2, 50, 1, 2, 0},
      {"c = 1 seen outside only at the limit", 1, 0, 1, 0, 2, 1,
       NeverEscaped, 0, 0},
      {"c = 1 at limit 2", 1, 0, 1, 0, 2, 2, 1, 2, 0},
      {"limit 0 decides nothing", 3, 0, 3, 0, 2, 0, NeverEscaped, 0, 0},
      {"c = i: i, -1+i, -i, -1+i ... cycles", 0, 1, 0, 1, 2, 1000,
       NeverEscaped, 0, 0},
      {"c = 1 at radius 100: 1, 2, 5, 26, 677", 1, 0, 1, 0, 100, 50, 4, 677, 0},
      {"julia z0 = 3, c = 0, radius 5: 3, 9", 3, 0, 0, 0, 5, 50, 1, 9, 0},
      {"radius 0: nothing is inside", 0, 0, 0, 0, 0, 50, 0, 0, 0},
      {"infinite start", Inf, 0, 0, 0, 2, 50, 0, Inf, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EscapeResult e = Escape(r.zr, r.zi, r.cr, r.ci, r.radius, r.limit);
    EXPECT_EQ(e.count, r.count);
    EXPECT_EQ(e.zr, r.er);
    EXPECT_EQ(e.zi, r.ei);
  }
}

TEST(Escape, NaNEscapesAtOnceAndKeepsItsPoint) {
  EscapeResult e = Escape(NaN, 0, NaN, 0, 2, 50);
  EXPECT_EQ(e.count, 0u);
  EXPECT_TRUE(std::isnan(e.zr));
  e = Escape(0, 0, 0, 0, NaN, 50);  // a NaN radius holds nothing inside
  EXPECT_EQ(e.count, 0u);
}

// The 16-bit counts are the 32-bit ones modulo 2^16, with 0 for a point
// that never escaped; the orbits must be the same, step for step.
TEST(Escape, AgreesWithThe16BitCountsModulo65536) {
  struct Row {
    std::string name;
    double zr, zi, cr, ci, radius;
    std::uint32_t limit;
  };
  std::vector<Row> rows;
  for (int k = 0; k < 400; ++k) {
    double re = -2.1 + 2.7 * (k % 20) / 19.0, im = -1.2 + 2.4 * (k / 20) / 19.0;
    rows.push_back({"grid " + std::to_string(k), re, im, re, im, 2, 500});
    rows.push_back({"julia grid " + std::to_string(k), re, im, -0.8, 0.156,
                    std::hypot(re, im) + 2, 500});
  }
  // Right of the cusp at 1/4 the orbit creeps: counts past 2^16.
  for (int k = 0; k < 6; ++k) {
    double re = 0.25 + 1.5e-9 + k * 4e-10;
    rows.push_back({"cusp " + std::to_string(k), re, 0, re, 0, 2, 200000});
  }
  rows.push_back({"huge start", 1e300, -1e300, 1e300, -1e300, 2, 20});
  rows.push_back({"infinite constant", 0.5, 0.5, Inf, 0, 3, 20});
  rows.push_back({"NaN constant", 0.5, 0.5, 0.1, NaN, 3, 20});
  rows.push_back({"overflowing julia", 1e200, 1e200, 0.3, -0.2, 1e300, 20});
  bool beyond16Bits = false;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EscapeResult e = Escape(r.zr, r.zi, r.cr, r.ci, r.radius, r.limit);
    unsigned short expected =
        EscapeCount(r.zr, r.zi, r.cr, r.ci, r.radius, r.limit);
    ASSERT_EQ(e.count == NeverEscaped ? 0 : e.count % 65536u, expected);
    if (e.count != NeverEscaped) {
      // The point handed back is the first one not inside.
      EXPECT_FALSE(r.radius > std::hypot(e.zr, e.zi));
      beyond16Bits |= e.count > 65535;
    }
  }
  EXPECT_TRUE(beyond16Bits);
}

// The same Mandelbrot orbit at growing limits: a count once found never
// moves, and below it the point never escaped.
TEST(Escape, RaisingTheLimitKeepsEveryCount) {
  double re = 0.25 + 1e-4;
  EscapeResult full = Escape(re, 0, re, 0, 2, 100000);
  ASSERT_NE(full.count, NeverEscaped);
  for (std::uint32_t limit : {0u, 1u, full.count - 1, full.count,
                              full.count + 1, 65537u}) {
    SCOPED_TRACE(limit);
    EscapeResult e = Escape(re, 0, re, 0, 2, limit);
    if (limit > full.count) {
      EXPECT_EQ(e.count, full.count);
      EXPECT_TRUE(SameBits(e.zr, full.zr));
      EXPECT_TRUE(SameBits(e.zi, full.zi));
    } else {
      EXPECT_EQ(e.count, NeverEscaped);
    }
  }
}

}  // namespace

namespace {

std::vector<KernelKind> AllKinds() {
  std::vector<KernelKind> kinds{KernelKind::Plain, KernelKind::Sse2};
  if (KernelSupported(KernelKind::Avx2)) kinds.push_back(KernelKind::Avx2);
  return kinds;
}

const char* KindName(KernelKind k) {
  return k == KernelKind::Avx2 ? "avx2" : k == KernelKind::Sse2 ? "sse2" : "plain";
}

// A view for EscapeLine: the rule, a rectangle and its raster.
struct LineView {
  std::string name;
  EscapeRule rule;
  double minRe, minIm, lenRe, lenIm;
  std::size_t dotsX, dotsY;
};

EscapeRule Rule(double radius, std::uint32_t limit, bool julia = false,
                double cr = -0.8, double ci = 0.156) {
  EscapeRule r;
  r.radius = radius;
  r.limit = limit;
  r.julia = julia;
  r.cr = cr;
  r.ci = ci;
  return r;
}

// Every line of v through EscapeLine with each kind, against Escape point by
// point: counts and escape points bit for bit.
void ExpectLinesMatchEscape(const std::vector<LineView>& views) {
  for (const LineView& v : views) {
    SCOPED_TRACE(v.name);
    std::vector<double> re(v.dotsX);
    for (std::size_t m = 0; m < v.dotsX; ++m) {
      re[m] = PixelPosition(v.minRe, v.lenRe, m, v.dotsX);
    }
    std::vector<EscapeResult> expected(v.dotsX), got(v.dotsX);
    for (std::size_t l = 0; l < v.dotsY; ++l) {
      double im = PixelPosition(v.minIm, v.lenIm, l, v.dotsY);
      const EscapeRule& r = v.rule;
      for (std::size_t m = 0; m < v.dotsX; ++m) {
        expected[m] = r.julia ? Escape(re[m], im, r.cr, r.ci, r.radius, r.limit)
                              : Escape(re[m], im, re[m], im, r.radius, r.limit);
      }
      for (KernelKind k : AllKinds()) {
        SCOPED_TRACE(KindName(k));
        for (EscapeResult& e : got) e = {12345, 7, 7};
        EscapeLine(v.rule, re.data(), re.size(), im, got.data(), k);
        for (std::size_t m = 0; m < v.dotsX; ++m) {
          ASSERT_EQ(got[m].count, expected[m].count)
              << "pixel " << m << " of line " << l;
          ASSERT_TRUE(SameBits(got[m].zr, expected[m].zr))
              << "pixel " << m << " of line " << l << ": " << got[m].zr
              << " against " << expected[m].zr;
          ASSERT_TRUE(SameBits(got[m].zi, expected[m].zi))
              << "pixel " << m << " of line " << l << ": " << got[m].zi
              << " against " << expected[m].zi;
        }
      }
    }
  }
}

TEST(EscapeLine, MatchesEscapeOnEveryKind) {
  std::vector<LineView> views = {
      {"boundary zoom", Rule(2, 3000), -0.7454, 0.1130, 0.0005, 0.0005, 64, 40},
      {"seahorse valley", Rule(2, 3000), -0.75, 0.05, 0.02, 0.08, 45, 60},
      {"deep zoom", Rule(2, 4000), -1.7687788, 0.0017389, 3e-12, 3e-12, 32, 32},
      {"all interior", Rule(2, 1000), -0.15, -0.15, 0.3, 0.3, 40, 40},
      {"cusp, slow orbits", Rule(2, 20000), 0.249, -0.001, 0.002, 0.002, 20, 20},
      {"julia, dendrite", Rule(2, 500, true, 0, 1), -1.5, -1.5, 3, 3, 60, 60},
      {"julia, rabbit", Rule(4, 500, true, -0.123, 0.745), -1.5, -1.5, 3, 3,
       60, 60},
      {"julia, huge constant", Rule(2, 20, true, -1.7e308, 1.7e308), -2, -2,
       4, 4, 6, 6},
      {"julia, infinite constant", Rule(2, 20, true, Inf, 0), -2, -2, 4, 4, 6,
       6},
      {"julia, NaN constant", Rule(2, 20, true, 0.1, NaN), -2, -2, 4, 4, 6, 6},
      {"julia, starts whose square overflows",
       Rule(0x1p500, 50, true, 0.3, -0.2), 0x1p505, -0x1p512, 0x1p515,
       0x1p514, 9, 9},
      {"huge corner", Rule(1e10, 20), -1e300, -1e300, 1.5e300, 1.5e300, 7, 7},
      {"infinite corner", Rule(2, 20), -Inf, 0, 1, 1, 4, 3},
      {"NaN corner", Rule(2, 20), NaN, -1, 1, 1, 4, 3},
      {"NaN extent", Rule(1e3, 20, true), -1, -1, NaN, 1, 4, 3},
      {"limit 0", Rule(2, 0), -2, -2, 4, 4, 20, 10},
      {"limit 0, julia", Rule(1e3, 0, true), -2, -2, 4, 4, 20, 10},
      {"limit 1", Rule(2, 1), -2, -2, 4, 4, 20, 10},
      {"limit 2, julia", Rule(2, 2, true), -2, -2, 4, 4, 20, 10},
      {"cusp past 2^16", Rule(2, 70000), 0.25 + 1.5e-9, 0, 2e-9, 0, 12, 1},
      {"cusp at the largest limit", Rule(2, 0xFFFFFFFFu), 0.25 + 1e-7, 0,
       2e-7, 0, 9, 1},
      {"single pixel", Rule(2, 100), -1, 0, 2, 2, 1, 1},
      {"no pixels", Rule(2, 100), -2, -2, 4, 4, 0, 3},
  };
  // The whole set and its Julia set at every radius, the lanes' range and
  // beyond it on both sides.
  for (double radius : {2.0, 4.0, 1e3, 1e10, 0x1p499, 1e200, Inf, 1e-10,
                        0x1p-499, 1e-200, 0.0, -1.0, NaN}) {
    std::string r = " at radius " + std::to_string(radius);
    views.push_back({"whole set" + r, Rule(radius, 500), -2.2, -1.6, 3.2,
                     3.2, 53, 41});
    views.push_back({"julia" + r, Rule(radius, 400, true), -2, -2, 4, 4, 47,
                     37});
  }
  ExpectLinesMatchEscape(views);
}

// A grid of consecutive doubles around the point (x, y): 2 * half + 1
// pixels a line, `lines` lines.
LineView Around(const std::string& name, const EscapeRule& rule, double x,
                double y, int half, int lines) {
  double ux = std::nextafter(std::fabs(x), Inf) - std::fabs(x);
  double uy = std::nextafter(std::fabs(y), Inf) - std::fabs(y);
  return {name, rule, x - half * ux, y, 2 * half * ux, (lines - 1) * uy,
          static_cast<std::size_t>(2 * half + 1),
          static_cast<std::size_t>(lines)};
}

// Consecutive doubles across |z| = R, where the squared modulus and hypot
// can disagree in the last bit: at z0 for the whole set, and at the first
// step for Julia sets, whose constant sends the grid onto the circle.
TEST(EscapeLine, EscapeCircleIsDecidedAsByHypotAtEveryRadius) {
  const double Pi = 3.14159265358979323846;
  std::vector<LineView> views;
  int misjudged = 0;
  for (double radius : {2.0, 3.0, 1e3, 1e10, 0x1p490, 0x1p-490, 1e-7}) {
    for (int k = 0; k < 8; ++k) {
      double angle = 0.05 + k * (2 * Pi / 8);
      double x = radius * std::cos(angle), y = radius * std::sin(angle);
      LineView v = Around("radius " + std::to_string(radius) + ", angle " +
                              std::to_string(angle),
                          Rule(radius, 100), x, y, 40, 8);
      for (std::size_t l = 0; l < v.dotsY; ++l) {
        double im = PixelPosition(v.minIm, v.lenIm, l, v.dotsY);
        for (std::size_t m = 0; m < v.dotsX; ++m) {
          double re = PixelPosition(v.minRe, v.lenRe, m, v.dotsX);
          if ((re * re + im * im < radius * radius) !=
              (std::hypot(re, im) < radius)) {
            ++misjudged;
          }
        }
      }
      views.push_back(v);
      // Julia: z0 near 0.3 R e^(i angle), c = w - z0^2 with |w| = R.
      double zr = 0.3 * x, zi = 0.3 * y;
      double wr = radius * std::cos(angle + 1), wi = radius * std::sin(angle + 1);
      EscapeRule rule =
          Rule(radius, 100, true, wr - (zr * zr - zi * zi), wi - 2 * zr * zi);
      views.push_back(Around(v.name + ", julia", rule, zr, zi, 24, 6));
    }
  }
  // Without such points the comparison would prove nothing about the
  // margins.
  EXPECT_GT(misjudged, 0);
  ExpectLinesMatchEscape(views);
}

// Orbits that come back to an earlier point never escape, whatever the
// limit: found by the lanes long before the largest limit ends.
TEST(EscapeLine, CyclesNeverEscapeAtTheLargestLimit) {
  EscapeRule rule = Rule(2, 0xFFFFFFFFu);
  struct Point {
    double re, im;
  } points[] = {{0, 0},     {-1, 0},       {-0.1, 0.1},       {-1.75, 0},
                {0.249, 0}, {-0.5, 0.1}, {-0.1226, 0.7449}, {-1.3, 0.02}};
  for (KernelKind k : AllKinds()) {
    if (k == KernelKind::Plain) continue;  // the definition would run 2^32 steps
    SCOPED_TRACE(KindName(k));
    for (const Point& p : points) {
      SCOPED_TRACE(std::to_string(p.re) + " " + std::to_string(p.im));
      // Beside others that escape, so that the lanes are refilled.
      const double re[] = {p.re, 3, p.re, 2.5, 2.5, p.re, 2.5, 2.5, p.re};
      EscapeResult out[9];
      EscapeLine(rule, re, 9, p.im, out, k);
      for (int i = 0; i < 9; ++i) {
        if (re[i] != p.re) continue;
        EXPECT_EQ(out[i].count, NeverEscaped);
        EXPECT_EQ(out[i].zr, 0);
        EXPECT_EQ(out[i].zi, 0);
      }
    }
  }
}

// Rows computed on several workers, as the renderers run them, hold the
// same results as the definition computed row after row.
TEST(EscapeLine, RowsOnWorkersMatchTheDefinition) {
  std::vector<LineView> views = {
      {"whole set", Rule(2, 1000), -2, -2, 4, 4, 120, 90},
      {"boundary zoom, large radius", Rule(1e10, 3000), -0.7454, 0.1130,
       0.0005, 0.0005, 64, 64},
      {"julia", Rule(1e3, 800, true, -0.123, 0.745), -1.5, -1.5, 3, 3, 80, 80},
  };
  for (const LineView& v : views) {
    SCOPED_TRACE(v.name);
    std::vector<double> re(v.dotsX);
    for (std::size_t m = 0; m < v.dotsX; ++m) {
      re[m] = PixelPosition(v.minRe, v.lenRe, m, v.dotsX);
    }
    auto lineIm = [&v](std::uint64_t l) {
      return PixelPosition(v.minIm, v.lenIm, l, v.dotsY);
    };
    std::vector<EscapeResult> expected(v.dotsX * v.dotsY);
    for (std::size_t l = 0; l < v.dotsY; ++l) {
      EscapeLine(v.rule, re.data(), v.dotsX, lineIm(l),
                 expected.data() + l * v.dotsX, KernelKind::Plain);
    }
    for (unsigned threads : {1u, 2u, 8u}) {
      SCOPED_TRACE(threads);
      OrderedRows rows(threads);
      rows.Start(v.dotsY, v.dotsX * sizeof(EscapeResult),
                 [&](std::uint64_t l, unsigned char* out) {
                   EscapeLine(v.rule, re.data(), v.dotsX, lineIm(l),
                              reinterpret_cast<EscapeResult*>(out));
                 });
      for (std::size_t l = 0; l < v.dotsY; ++l) {
        const EscapeResult* got =
            reinterpret_cast<const EscapeResult*>(rows.Next());
        ASSERT_NE(got, nullptr);
        for (std::size_t m = 0; m < v.dotsX; ++m) {
          const EscapeResult& e = expected[l * v.dotsX + m];
          ASSERT_EQ(got[m].count, e.count) << "pixel " << m << " of line " << l;
          ASSERT_TRUE(SameBits(got[m].zr, e.zr) && SameBits(got[m].zi, e.zi))
              << "pixel " << m << " of line " << l;
        }
      }
      EXPECT_EQ(rows.Next(), nullptr);
    }
  }
}

}  // namespace
