#include "core/escape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/mandelbrot.h"

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
  ExpectLinesMatchEscape({
      {"whole set", Rule(2, 500), -2, -2, 4, 4, 97, 61},
      {"boundary zoom", Rule(2, 3000), -0.7454, 0.1130, 0.0005, 0.0005, 64, 40},
      {"julia", Rule(2, 400, true), -2, -2, 4, 4, 70, 50},
      {"large radius", Rule(1e3, 400), -2, -2, 4, 4, 50, 40},
      {"limit 0", Rule(2, 0), -2, -2, 4, 4, 20, 10},
      {"no pixels", Rule(2, 100), -2, -2, 4, 4, 0, 3},
  });
}

}  // namespace
