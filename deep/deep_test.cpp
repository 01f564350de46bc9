// The deep engine against the full-precision oracle, pixel by pixel, at
// widths from 1e-14 down to 1e-2000; and the engine's refusals.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "deep/deep.h"
#include "deep/locations.h"

namespace {

using deep::View;

// A square raster of side n: u, v from -0.5 to 0.5 (v = 0.5 at the top).
double Frac(int i, int n) { return -0.5 + static_cast<double>(i) / (n - 1); }

struct Score {
  int pixels = 0, exact = 0, farOff = 0, wrongNeighbours = 0;
  std::uint64_t glitches = 0;
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
  std::printf("[ deep ] %-34s %5d pixels, %6.2f%% exact\n", name, s.pixels,
              100.0 * s.exact / s.pixels);
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
      {"Misiurewicz i, 1e2000", deep::MisiurewiczI(2000, 12000), 12},
      {"Julia i, 1e2000", deep::JuliaI(2000, 12000), 12},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expect(FullRaster(row.view, row.n), row.name);
  }
}
