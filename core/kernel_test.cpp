#include "core/kernel.h"
#include "core/testviews.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/mandelbrot.h"

namespace {

const double Pi = 3.14159265358979323846;
const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

// Every line of a with one kernel; with a lower limit first, the lines are
// computed at that limit and then recomputed where they hold 0.
std::vector<unsigned short> Counts(const MandArea& a, KernelKind kind,
                                   std::uint64_t firstLimit = 0) {
  std::vector<unsigned short> counts;
  std::vector<unsigned short> row(a.dotsX);
  MandArea first = a;
  first.limit = firstLimit;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
    if (firstLimit != 0) {
      ComputeLine(first, im, row.data(), false, kind);
      ComputeLine(a, im, row.data(), true, kind);
    } else {
      ComputeLine(a, im, row.data(), false, kind);
    }
    counts.insert(counts.end(), row.begin(), row.end());
  }
  return counts;
}

std::vector<KernelKind> FastKernels() {
  std::vector<KernelKind> kinds{KernelKind::Sse2};
  if (KernelSupported(KernelKind::Avx2)) kinds.push_back(KernelKind::Avx2);
  return kinds;
}

const char* Name(KernelKind k) {
  return k == KernelKind::Avx2 ? "avx2" : k == KernelKind::Sse2 ? "sse2" : "plain";
}

struct NamedView {
  std::string name;
  MandArea area;
};

void ExpectSameAsPlain(const std::vector<NamedView>& views) {
  for (const NamedView& v : views) {
    SCOPED_TRACE(v.name);
    std::vector<unsigned short> plain = Counts(v.area, KernelKind::Plain);
    for (KernelKind k : FastKernels()) {
      SCOPED_TRACE(Name(k));
      std::vector<unsigned short> fast = Counts(v.area, k);
      ASSERT_EQ(fast.size(), plain.size());
      for (std::size_t i = 0; i < plain.size(); ++i) {
        ASSERT_EQ(fast[i], plain[i])
            << "pixel " << i % v.area.dotsX << " of line " << i / v.area.dotsX;
      }
    }
  }
}

// A grid of consecutive doubles around the point (x, y): 2 * half + 1
// pixels a line, `lines` lines.
MandArea Around(double x, double y, int half, int lines, std::uint64_t limit) {
  double ux = std::nextafter(std::fabs(x), Inf) - std::fabs(x);
  double uy = std::nextafter(std::fabs(y), Inf) - std::fabs(y);
  return View(x - half * ux, y, 2 * half * ux, (lines - 1) * uy, 2 * half + 1,
              lines, limit);
}

TEST(Kernel, ViewsMatchThePlainKernel) {
  std::vector<NamedView> views = {
      {"whole set", View(-2, -2, 4, 4, 160, 160, 1000)},
      {"boundary zoom", View(-0.7454, 0.1130, 0.0005, 0.0005, 100, 100, 5000)},
      {"seahorse valley", View(-0.75, 0.05, 0.02, 0.08, 90, 120, 3000)},
      {"deep zoom", View(-1.7687788, 0.0017389, 3e-12, 3e-12, 64, 64, 4000)},
      {"all interior", View(-0.15, -0.15, 0.3, 0.3, 80, 80, 1000)},
      {"period-2 bulb", View(-1.1, -0.1, 0.2, 0.2, 40, 40, 2000)},
      {"period-3 bulb", View(-0.14, 0.85, 0.06, 0.06, 40, 40, 2000)},
      {"cusp, slow orbits", View(0.249, -0.001, 0.002, 0.002, 40, 40, 20000)},
      {"julia", View(-2, -2, 4, 4, 120, 120, 1000, true)},
      {"julia, dendrite", View(-1.5, -1.5, 3, 3, 60, 60, 500, true, 0, 1)},
      {"julia, rabbit", View(-1.5, -1.5, 3, 3, 60, 60, 500, true, -0.123, 0.745)},
      {"julia, starts beyond 2^54",
       View(0x1p54, -0x1p54, 0x1p56, 0x1p55, 9, 7, 50, true)},
      {"julia, starts around 2^500",
       View(0x1p499, 0x1p498, 0x1p501, 0x1p500, 9, 9, 50, true, 0.3, -0.2)},
      {"julia, starts whose square overflows",
       View(0x1p505, -0x1p512, 0x1p515, 0x1p514, 9, 9, 50, true, 0.3, -0.2)},
      // |z0| is just below 2^512, but hypot rounds it up: the radius's
      // square overflows while the start's own squared modulus does not.
      {"julia, radius squared overflows",
       View(0x1p512 * (1 - 0x1p-53), 0x1.6cp+485, 0, 0, 1, 1, 50, true)},
      {"julia, huge starts", View(1e300, -1e300, 1e300, 1e300, 8, 8, 50, true)},
      {"julia, infinite constant", View(-2, -2, 4, 4, 6, 6, 20, true, Inf, 0)},
      {"julia, NaN constant", View(-2, -2, 4, 4, 6, 6, 20, true, 0.1, NaN)},
      {"julia, huge constant",
       View(-2, -2, 4, 4, 6, 6, 20, true, -1.7e308, 1.7e308)},
      {"huge corner", View(-1e300, -1e300, 1.5e300, 1.5e300, 7, 7, 20)},
      {"overflowing corner", View(-1e308, -1e308, 1.5e308, 1.5e308, 5, 5, 20)},
      {"infinite corner", View(-Inf, 0, 1, 1, 4, 3, 20)},
      {"NaN corner", View(NaN, -1, 1, 1, 4, 3, 20)},
      {"NaN extent", View(-1, -1, NaN, 1, 4, 3, 20)},
      {"infinite corner, julia", View(Inf, -Inf, 1, 1, 4, 3, 20, true)},
      {"NaN corner, julia", View(0, NaN, 1, 1, 4, 3, 20, true)},
      // The real part sits exactly on the repelling point 2 while the
      // imaginary part grows fourfold a step: a repeated real part alone
      // is no cycle.
      {"julia, real part pinned at 2",
       View(0, 0x1p-30, 0, 0, 1, 1, 1000, true, -2, 1e-100)},
      {"julia, real parts pinned at 2",
       View(0x1p-61, 0x1p-30, 0x1p-61, 0, 24, 1, 1000, true, -2, 1e-100)},
      {"c = 2i", View(0, 2, 0, 0, 1, 1, 100)},
      {"c = -2", View(-2, 0, 0, 0, 1, 1, 100)},
      {"single pixel", View(-1, 0, 2, 2, 1, 1, 100)},
      {"single column", View(-0.5, -1, 1, 2, 1, 50, 200)},
      {"limit 0", View(-2, -2, 4, 4, 20, 20, 0)},
      {"limit 1", View(-2, -2, 4, 4, 20, 20, 1)},
      {"limit 2", View(-2, -2, 4, 4, 20, 20, 2)},
      {"limit 0, julia", View(-2, -2, 4, 4, 20, 20, 0, true)},
      {"limit 1, julia", View(-2, -2, 4, 4, 20, 20, 1, true)},
  };
  ExpectSameAsPlain(views);
}

// Points whose escape takes about 2^16 steps: just right of the cusp at 1/4
// the orbit creeps past the parabolic point.
TEST(Kernel, CountsWrapAtTheLimitAsThePlainKernelDoes) {
  std::vector<NamedView> views;
  for (std::uint64_t limit : {65535u, 65536u, 70000u}) {
    views.push_back({"limit " + std::to_string(limit),
                     View(0.25 + 1.5e-9, 0, 2e-9, 0, 12, 1, limit)});
  }
  ExpectSameAsPlain(views);
}

// Consecutive doubles across |z| = 2, where the squared modulus and hypot
// can disagree in the last bit.
TEST(Kernel, EscapeCircleIsDecidedAsByHypot) {
  std::vector<NamedView> views;
  int misjudged = 0;
  for (int k = 0; k < 32; ++k) {
    double angle = 0.05 + k * (2 * Pi / 32);
    double x = 2 * std::cos(angle), y = 2 * std::sin(angle);
    MandArea a = Around(x, y, 64, 12, 100);
    views.push_back({"angle " + std::to_string(angle), a});
    for (std::uint64_t l = 0; l < a.dotsY; ++l) {
      double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
      for (std::uint64_t m = 0; m < a.dotsX; ++m) {
        double re = PixelPosition(a.minRe, a.lenRe, m, a.dotsX);
        if ((re * re + im * im < 4) != (std::hypot(re, im) < 2)) ++misjudged;
      }
    }
  }
  // Without such points the comparison below would prove nothing about the
  // margins.
  EXPECT_GT(misjudged, 0);
  // The same circle reached by the first step: c with |c*c + c| = 2.
  for (int k = 0; k < 12; ++k) {
    std::complex<double> w = std::polar(2.0, 0.3 + k * (2 * Pi / 12));
    std::complex<double> c = (std::sqrt(1.0 + 4.0 * w) - 1.0) / 2.0;
    views.push_back({"first step, c = " + std::to_string(c.real()) + " " +
                         std::to_string(c.imag()),
                     Around(c.real(), c.imag(), 48, 8, 100)});
  }
  ExpectSameAsPlain(views);
}

// In Julia mode the radius is hypot(z0) + 2: starting points next to the
// unit circle, off the axes where hypot and a square root of the squared
// modulus part, with constants that send them next to |z| = 3.
TEST(Kernel, JuliaRadiusIsDecidedAsByHypot) {
  std::vector<NamedView> views;
  for (int k = 0; k < 16; ++k) {
    std::complex<double> z0 = std::polar(1.0, 0.4 + k * (2 * Pi / 16));
    std::complex<double> c = std::polar(3.0, 1.1 + k * 2.3) - z0 * z0;
    MandArea a = Around(z0.real(), z0.imag(), 24, 24, 100);
    a.julia = true;
    a.juliaRe = c.real();
    a.juliaIm = c.imag();
    views.push_back({"z0 angle " + std::to_string(std::arg(z0)), a});
  }
  ExpectSameAsPlain(views);
}

TEST(Kernel, RecomputingLeavesNonZeroCountsAlone) {
  MandArea a = View(-2, -1, 3, 2, 48, 1, 300);
  std::vector<unsigned short> expected(a.dotsX);
  ComputeLine(a, -1, expected.data(), false, KernelKind::Plain);
  for (KernelKind k : FastKernels()) {
    SCOPED_TRACE(Name(k));
    std::vector<unsigned short> row(a.dotsX);
    for (std::size_t m = 0; m < row.size(); m += 2) row[m] = 7;
    ComputeLine(a, -1, row.data(), true, k);
    for (std::size_t m = 0; m < row.size(); ++m) {
      SCOPED_TRACE(m);
      EXPECT_EQ(row[m], m % 2 == 0 ? 7 : expected[m]);
    }
  }
}

TEST(Kernel, RecomputingZerosMatchesAFreshComputation) {
  struct Row {
    const char* name;
    MandArea area;
    std::uint64_t firstLimit;
  } rows[] = {
      {"whole set", View(-2, -2, 4, 4, 64, 64, 400), 20},
      {"boundary zoom", View(-0.7454, 0.1130, 0.0005, 0.0005, 48, 48, 3000),
       300},
      {"julia", View(-2, -2, 4, 4, 64, 64, 400, true), 30},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<unsigned short> plain = Counts(r.area, KernelKind::Plain);
    for (KernelKind k : FastKernels()) {
      SCOPED_TRACE(Name(k));
      EXPECT_EQ(Counts(r.area, k, r.firstLimit), plain);
    }
  }
}

}  // namespace
