// The deep engine against the full-precision oracle, pixel by pixel, at
// widths from 1e-14 down to 1e-2000; and the engine's refusals.
#include "deep/deep.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "deep/locations.h"

namespace {

using deep::View;

// A square raster of side n: u, v from -0.5 to 0.5 (v = 0.5 at the top).
double Frac(int i, int n) { return -0.5 + static_cast<double>(i) / (n - 1); }

struct Score {
  int pixels = 0, exact = 0, farOff = 0, wrongNeighbours = 0, inside = 0;
  std::uint32_t least = NeverEscaped, most = 0;
  std::uint64_t glitches = 0;

  void Tally(std::uint32_t count) {
    if (count == NeverEscaped) {
      ++inside;
      return;
    }
    least = std::min(least, count);
    most = std::max(most, count);
  }
};

// Two counts agree within max(2, 1% of the count); NeverEscaped only with
// itself.
bool Near(std::uint32_t a, std::uint32_t b) {
  if (a == b) return true;
  if (a == NeverEscaped || b == NeverEscaped) return false;
  double tol = std::max(2.0, 0.01 * std::max(a, b));
  return std::fabs(static_cast<double>(a) - b) <= tol;
}

void Expect(const Score& s, const char* name) {
  std::printf("[ deep ] %-26s %5d pixels, %6.2f%% exact; ", name, s.pixels,
              100.0 * s.exact / s.pixels);
  if (s.inside == s.pixels) {
    std::printf("all inside\n");
  } else {
    std::printf("counts %u to %u, %d inside\n", s.least, s.most, s.inside);
  }
  EXPECT_GE(s.exact, 0.99 * s.pixels) << name;
  EXPECT_EQ(0, s.farOff) << name;
  EXPECT_EQ(0, s.wrongNeighbours) << name;
  EXPECT_EQ(0u, s.glitches) << name;
}

// Every pixel of an n x n raster, against the oracle.
Score FullRaster(const View& view, int n, const deep::Options& options = {}) {
  deep::Options o = options;
  o.glitchCheck = true;
  deep::Engine engine(view, o);
  std::vector<double> u(n);
  for (int i = 0; i < n; ++i) u[i] = Frac(i, n);
  std::vector<EscapeResult> got(n * n), want(n * n);
  for (int j = 0; j < n; ++j) {
    double v = -Frac(j, n);
    engine.Line(v, u.data(), n, &got[j * n]);
    deep::ExactLine(view, v, u.data(), n, &want[j * n]);
  }
  Score s;
  s.pixels = n * n;
  std::vector<bool> wrong(n * n);
  for (int k = 0; k < n * n; ++k) {
    wrong[k] = got[k].count != want[k].count;
    s.exact += !wrong[k];
    s.Tally(want[k].count);
    if (!Near(got[k].count, want[k].count)) {
      ++s.farOff;
      ADD_FAILURE() << "pixel " << k % n << "," << k / n << ": " << got[k].count
                    << " against " << want[k].count;
    }
  }
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      if (!wrong[j * n + i]) continue;
      for (int dj = 0; dj <= 1; ++dj) {
        for (int di = -1; di <= 1; ++di) {
          if (dj == 0 && di <= 0) continue;
          int x = i + di, y = j + dj;
          if (x >= 0 && x < n && y < n && wrong[y * n + x]) ++s.wrongNeighbours;
        }
      }
    }
  }
  s.glitches = engine.stats().glitchPixels;
  return s;
}

// samples pixels of an n x n raster, spread by a fixed pseudo-random
// sequence, against the oracle.
Score Sampled(const View& view, int n, int samples) {
  deep::Options o;
  o.glitchCheck = true;
  deep::Engine engine(view, o);
  Score s;
  std::uint64_t state = 12345;
  for (int k = 0; k < samples; ++k) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    int i = static_cast<int>((state >> 33) % n);
    int j = static_cast<int>((state >> 13) % n);
    double u = Frac(i, n), v = -Frac(j, n);
    EscapeResult got, want;
    engine.Line(v, &u, 1, &got);
    want = deep::ExactEscape(view, u, v);
    ++s.pixels;
    s.exact += got.count == want.count;
    s.Tally(want.count);
    if (!Near(got.count, want.count)) {
      ++s.farOff;
      ADD_FAILURE() << "pixel " << i << "," << j << ": " << got.count
                    << " against " << want.count;
    }
  }
  s.glitches = engine.stats().glitchPixels;
  return s;
}

}  // namespace

TEST(DeepEngine, MatchesOracleOnWholeRasters) {
  struct Row {
    const char* name;
    View view;
    int n;
  } rows[] = {
      {"T1 zoom 1e14", deep::T1(), 48},
      {"Misiurewicz i, 1e300", deep::MisiurewiczI(300, 3000), 48},
      {"Julia i, 1e400", deep::JuliaI(400, 3000), 40},
      {"nucleus period 3, 1e400", deep::Nucleus3(400, 600), 32},
      {"minibrot nucleus, 4e300", deep::MinibrotNearI(20000), 24},
      {"Misiurewicz i, 1e2000", deep::MisiurewiczI(2000, 12000), 12},
      {"Julia i, 1e2000", deep::JuliaI(2000, 12000), 12},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expect(FullRaster(row.view, row.n), row.name);
  }
}

// At zoom 1e50 the oracle takes a tenth of a second a pixel: a small whole
// raster, and pixels sampled from a large one.
TEST(DeepEngine, MatchesOracleAtZoom1e50) {
  Expect(FullRaster(deep::T2(), 12), "T2 zoom 1e50");
  Expect(Sampled(deep::T2(), 1024, 200), "T2 1024x1024 sampled");
}

TEST(DeepEngine, MatchesOracleOnSampledPixelsOfLargeRasters) {
  struct Row {
    const char* name;
    View view;
    int samples;
  } rows[] = {
      {"T1 1024x1024 sampled", deep::T1(), 1000},
      {"Misiurewicz 1e300 sampled", deep::MisiurewiczI(300, 3000), 400},
      {"Julia 1e2000 sampled", deep::JuliaI(2000, 12000), 40},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expect(Sampled(row.view, 1024, row.samples), row.name);
  }
}

// Perturbation and rebasing alone, without the approximation.
TEST(DeepEngine, MatchesOracleWithoutApproximation) {
  deep::Options plain;
  plain.bla = false;
  Expect(FullRaster(deep::T1(), 32, plain), "T1 without BLA");
  Expect(FullRaster(deep::MisiurewiczI(300, 3000), 32, plain),
         "Misiurewicz 1e300 without BLA");
}

// Pixels share lanes in a line; each must come out as it does alone, in
// double and in FloatExp, with and without the approximation, and whatever
// the number of threads that built the table.
TEST(DeepEngine, LineEqualsPixelsComputedAlone) {
  struct Row {
    const char* name;
    View view;
    bool bla;
    unsigned threads;
  } rows[] = {
      {"T1", deep::T1(), true, 1},
      {"T1 without BLA", deep::T1(), false, 1},
      {"Misiurewicz 1e300", deep::MisiurewiczI(300, 3000), true, 3},
      {"Julia 1e400", deep::JuliaI(400, 3000), true, 2},
      {"Misiurewicz 1e2000 without BLA", deep::MisiurewiczI(2000, 12000), false,
       1},
  };
  const int n = 37;  // not a multiple of the lanes
  std::vector<double> u(n);
  for (int i = 0; i < n; ++i) u[i] = Frac(i, n) * 1.7;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    deep::Options one, many;
    one.bla = many.bla = row.bla;
    one.threads = 1;
    many.threads = row.threads;
    deep::Engine line(row.view, many), alone(row.view, one);
    std::vector<EscapeResult> got(n);
    line.Line(0.21, u.data(), n, got.data());
    int escaped = 0;
    for (int i = 0; i < n; ++i) {
      EscapeResult want;
      alone.Line(0.21, &u[i], 1, &want);
      EXPECT_EQ(want.count, got[i].count) << i;
      EXPECT_EQ(want.zr, got[i].zr) << i;
      EXPECT_EQ(want.zi, got[i].zi) << i;
      escaped += want.count != NeverEscaped;
    }
    EXPECT_GT(escaped, n / 4);  // lanes refilled at different times
  }
}

// A view of width 4e-digits about -1.8 on the real axis: every reference
// value has an imaginary part of exactly 0, and the real dynamics there
// spread the pixels' counts.
View RealAxis(int digits, std::uint32_t limit) {
  View v;
  v.re = "-1.8";
  v.im = "0";
  v.width = "4e-" + std::to_string(digits);
  v.limit = limit;
  return v;
}

// Rescaled doubles round as FloatExp does wherever no part of a delta falls
// below 2^-1022, and the parts that do are far below the others' rounding:
// whole rasters come out the same, to the count and to the bit. This sees
// faults the oracle's 1% allowance would let through (a skip taken a little
// beyond its R changes the last values by 1e-12, never a count), and needs
// no oracle, so it covers the re-normalisation's boundaries cheaply.
TEST(DeepEngine, RescaledDoublesMatchFloatExp) {
  struct Row {
    const char* name;
    View view;
    bool bla;
  } rows[] = {
      // Deltas start between 2^-956 and 2^-900 (added to the reference at
      // once), and grow to plain doubles.
      {"Misiurewicz 1e280", deep::MisiurewiczI(280, 3000), true},
      {"Misiurewicz 1e280 without BLA", deep::MisiurewiczI(280, 3000), false},
      // Deltas start below 2^-1022, taken as 0 where added to Z until they
      // grow past 2^-956.
      {"Misiurewicz 1e310", deep::MisiurewiczI(310, 3000), true},
      {"Misiurewicz 1e310 without BLA", deep::MisiurewiczI(310, 3000), false},
      // A reference with a part 0 at every step.
      {"real axis 1e320", RealAxis(320, 5000), true},
      {"real axis 1e1000 without BLA", RealAxis(1000, 9000), false},
      // The reference passes near 0 (steps in FloatExp); a third inside.
      {"minibrot nucleus", deep::MinibrotNearI(20000), true},
      {"minibrot nucleus without BLA", deep::MinibrotNearI(20000), false},
      // No c in the deltas.
      {"Julia 1e400", deep::JuliaI(400, 3000), true},
      // The scale spans double's range seven times: a hundred
      // re-normalisations a pixel. With skips, the centre's pixel (delta 0)
      // meets coefficients beyond double's range.
      {"Misiurewicz 1e2000 without BLA", deep::MisiurewiczI(2000, 12000),
       false},
      {"Misiurewicz 1e2000", deep::MisiurewiczI(2000, 12000), true},
  };
  // Odd: the centre's own pixel, whose delta is 0 throughout, and a row
  // with no imaginary offset are among them.
  const int n = 25;
  std::vector<double> u(n);
  for (int i = 0; i < n; ++i) u[i] = Frac(i, n);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    deep::Options rescaled, floatExp;
    rescaled.bla = floatExp.bla = row.bla;
    floatExp.rescale = false;
    deep::Engine a(row.view, rescaled), b(row.view, floatExp);
    ASSERT_TRUE(a.stats().wideExponent);
    std::vector<EscapeResult> got(n), want(n);
    int escaped = 0;
    for (int j = 0; j < n; ++j) {
      a.Line(-Frac(j, n), u.data(), n, got.data());
      b.Line(-Frac(j, n), u.data(), n, want.data());
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(testing::Message() << "pixel " << i << "," << j);
        ASSERT_EQ(want[i].count, got[i].count);
        if (want[i].count == NeverEscaped) continue;
        ++escaped;
        EXPECT_EQ(want[i].zr, got[i].zr);
        EXPECT_EQ(want[i].zi, got[i].zi);
      }
    }
    EXPECT_GT(escaped, n * n / 2);
  }
}

// Without rebasing the reference stops describing some pixels, and the
// glitch check must see it; with rebasing it stays at zero.
TEST(DeepEngine, GlitchCheckFlagsPixelsOnlyWithoutRebasing) {
  View view = deep::T1();
  std::vector<double> u(48);
  for (int i = 0; i < 48; ++i) u[i] = Frac(i, 48);
  std::vector<EscapeResult> out(48);
  std::uint64_t flagged[2];
  for (int rebase = 0; rebase < 2; ++rebase) {
    deep::Options o;
    o.glitchCheck = true;
    o.rebase = rebase == 1;
    deep::Engine engine(view, o);
    for (int j = 0; j < 48; ++j)
      engine.Line(-Frac(j, 48), u.data(), 48, out.data());
    flagged[rebase] = engine.stats().glitchPixels;
  }
  EXPECT_GT(flagged[0], 0u);
  EXPECT_EQ(0u, flagged[1]);
}

TEST(DeepEngine, RefusesMalformedViews) {
  struct Row {
    const char* field;
    std::string text;
  } rows[] = {
      {"re", ""},          {"re", "1.2.3"},  {"im", "inf"},
      {"im", "nan"},       {"re", " 1"},     {"re", "0x10"},
      {"im", "1e"},        {"re", "-"},      {"width", "0"},
      {"width", "-4e-10"}, {"width", "abc"}, {"juliaRe", "1,5"},
      {"juliaIm", "+"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.field) + " = \"" + row.text + "\"");
    View view = deep::T1();
    view.julia = true;
    view.juliaRe = "0.25";
    view.juliaIm = "0";
    std::string field = row.field;
    if (field == "re") view.re = row.text;
    if (field == "im") view.im = row.text;
    if (field == "width") view.width = row.text;
    if (field == "juliaRe") view.juliaRe = row.text;
    if (field == "juliaIm") view.juliaIm = row.text;
    for (int oracle = 0; oracle < 2; ++oracle) {
      try {
        if (oracle) {
          deep::ExactEscape(view, 0, 0);
        } else {
          deep::Engine engine(view);
        }
        ADD_FAILURE() << "accepted";
      } catch (const std::invalid_argument& e) {
        EXPECT_EQ(0u, std::string(e.what()).find(field + ": ")) << e.what();
      }
    }
  }
  View view = deep::T1();
  view.bailout = 0;
  EXPECT_THROW(deep::Engine{view}, std::invalid_argument);
}

View JuliaOfOne(std::uint32_t limit) {
  View v;
  v.re = "1";
  v.im = "0";
  v.width = "4e-20";
  v.limit = limit;
  v.julia = true;
  v.juliaRe = "1";
  v.juliaIm = "0";
  return v;
}

// A limit whose whole reference would not fit is refused before the orbit
// is computed, even where the centre escapes long before it: its length is
// not known until then, and computing it could take hours.
TEST(DeepEngine, RefusesLimitBeyondMemoryBudgetAtOnce) {
  struct Row {
    const char* name;
    View view;
    std::uint64_t budgetMiB;
    const char* message;
  } rows[] = {
      // The centre escapes after some 800 steps, 80 KB of reference.
      {"Misiurewicz 1e300", deep::MisiurewiczI(300, 4294967295u), 1,
       "deep: the reference orbit needs 96 bytes a step; 4294967295 steps "
       "would take 393216 MiB, more than the 1 MiB available"},
      // Two orbits, half the budget each; both escape within 3 steps.
      {"Julia of c = 1", JuliaOfOne(4294967295u), 2,
       "deep: the reference orbit needs 64 bytes a step; 4294967295 steps "
       "would take 262144 MiB, more than the 1 MiB available"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    deep::Options o;
    o.memoryBudget = row.budgetMiB << 20;
    try {
      deep::Engine engine(row.view, o);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(row.message, e.what());
    }
  }
}

TEST(DeepEngine, RefusesReferenceBeyondMemoryBudget) {
  // The centre of the period-3 bulb never escapes: the orbit would run to
  // the limit, 64 bytes a step.
  View view = deep::Nucleus3(20, 1000000);
  deep::Options o;
  o.memoryBudget = 1 << 20;
  try {
    deep::Engine engine(view, o);
    ADD_FAILURE() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(
        "deep: the reference orbit needs 64 bytes a step; 1000000 steps would "
        "take 61 MiB, more than the 1 MiB available",
        e.what());
  }
  o.memoryBudget = 64 << 20;
  deep::Engine engine(view, o);
  EXPECT_EQ(1000001u, engine.stats().referenceLength);
  EXPECT_EQ(64u, engine.stats().bytesPerStep);
}
