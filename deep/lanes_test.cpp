// The vector pixel loops against the engine's plain loop: every pixel of
// whole rasters, count and point of escape bit for bit, on each instruction
// set this processor has.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "deep/deep.h"
#include "deep/locations.h"

namespace {

using deep::PixelLoop;

struct Raster {
  std::vector<EscapeResult> pixels;
  std::uint64_t glitches;
};

// An n x n raster over |u|, |v| <= half, lines as the renderer hands them
// over; half above the table's reach of 1.41 mixes lanes that may take runs
// and lanes that may not.
Raster Render(const deep::View& view, deep::Options o, int n, double half) {
  o.glitchCheck = true;
  deep::Engine engine(view, o);
  std::vector<double> u(n);
  for (int i = 0; i < n; ++i) u[i] = half * (-1 + 2.0 * i / (n - 1));
  Raster r;
  r.pixels.resize(static_cast<std::size_t>(n) * n);
  for (int j = 0; j < n; ++j) {
    engine.Line(half * (1 - 2.0 * j / (n - 1)), u.data(), n,
                &r.pixels[static_cast<std::size_t>(j) * n]);
  }
  r.glitches = engine.stats().glitchPixels;
  return r;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const char* Name(PixelLoop loop) {
  switch (loop) {
    case PixelLoop::Auto:
      return "auto";
    case PixelLoop::Plain:
      return "plain";
    case PixelLoop::Sse2:
      return "sse2";
    case PixelLoop::Avx2:
      return "avx2";
    case PixelLoop::Avx512:
      return "avx512";
  }
  return "?";
}

}  // namespace

TEST(DeepLanes, EqualPlainLoopBitForBit) {
  deep::Options noBla;
  noBla.bla = false;
  deep::Options noRebase;
  noRebase.rebase = false;
  deep::Options everyRun, longRuns;
  everyRun.shortestRun = 2;
  longRuns.shortestRun = 256;
  deep::View t2 = deep::T2();
  t2.limit = 100000;
  deep::View julia = deep::JuliaI(40, 2000);
  struct Row {
    const char* name;
    deep::View view;
    deep::Options options;
    int n;
    double half;
  } rows[] = {
      {"T1", deep::T1(), {}, 40, 0.5},
      {"T1 beyond the table's reach", deep::T1(), {}, 33, 1.7},
      {"T1 without BLA", deep::T1(), noBla, 24, 0.5},
      {"T1 without rebasing", deep::T1(), noRebase, 24, 0.5},
      {"T2", deep::T2(), {}, 24, 0.5},
      {"T2, every run", deep::T2(), everyRun, 12, 0.5},
      {"T1, runs of 256 steps and more", deep::T1(), longRuns, 16, 0.5},
      {"T2, limit 100000: all inside", t2, {}, 8, 0.5},
      {"Julia i, 1e40", julia, {}, 31, 0.5},
      {"Julia i, 1e40, without BLA", julia, noBla, 17, 0.5},
      {"nucleus period 3, 1e20", deep::Nucleus3(20, 3000), {}, 19, 0.5},
  };
  const PixelLoop loops[] = {PixelLoop::Sse2, PixelLoop::Avx2,
                             PixelLoop::Avx512, PixelLoop::Auto};
  for (const Row& row : rows) {
    deep::Options plain = row.options;
    plain.loop = PixelLoop::Plain;
    Raster want = Render(row.view, plain, row.n, row.half);
    int escaped = 0;
    for (const EscapeResult& p : want.pixels) escaped += p.count != NeverEscaped;
    std::printf("[ lanes ] %-28s %4d pixels, %4d escaped, %llu flagged\n",
                row.name, row.n * row.n, escaped,
                static_cast<unsigned long long>(want.glitches));
    for (PixelLoop loop : loops) {
      if (!deep::PixelLoopSupported(loop)) {
        std::printf("[ lanes ] %s: not on this processor\n", Name(loop));
        continue;
      }
      SCOPED_TRACE(std::string(row.name) + ", " + Name(loop));
      deep::Options o = row.options;
      o.loop = loop;
      Raster got = Render(row.view, o, row.n, row.half);
      int wrong = 0;
      for (std::size_t k = 0; k < want.pixels.size(); ++k) {
        const EscapeResult &a = got.pixels[k], &b = want.pixels[k];
        if (a.count == b.count && SameBits(a.zr, b.zr) &&
            SameBits(a.zi, b.zi)) {
          continue;
        }
        if (++wrong <= 3) {
          ADD_FAILURE() << "pixel " << k << ": " << a.count << " (" << a.zr
                        << ", " << a.zi << ") against " << b.count << " ("
                        << b.zr << ", " << b.zi << ")";
        }
      }
      EXPECT_EQ(0, wrong);
      EXPECT_EQ(want.glitches, got.glitches);
    }
  }
}

// Lines shorter than the lanes (a sampled pixel is a line of one): the
// lanes without a pixel must neither disturb the others nor be written out.
TEST(DeepLanes, ShortLinesEqualPlainLoop) {
  deep::Options noBla;
  noBla.bla = false;
  deep::View shortLimit = deep::T1();
  shortLimit.limit = 2;  // every lane at its limit from the start
  struct Row {
    const char* name;
    deep::View view;
    deep::Options options;
  } rows[] = {
      {"T1", deep::T1(), {}},
      {"T1, limit 2", shortLimit, {}},
      {"T1 without BLA", deep::T1(), noBla},
      {"T2", deep::T2(), {}},
      {"Julia i, 1e40", deep::JuliaI(40, 2000), {}},
  };
  const double u[] = {0.31, -0.47, 0.05, 0.5, -0.12, 0.44, -0.29, 0.18, -0.5};
  for (const Row& row : rows) {
    deep::Options plain = row.options;
    plain.loop = PixelLoop::Plain;
    deep::Engine want(row.view, plain);
    for (PixelLoop loop :
         {PixelLoop::Sse2, PixelLoop::Avx2, PixelLoop::Avx512}) {
      if (!deep::PixelLoopSupported(loop)) continue;
      deep::Options o = row.options;
      o.loop = loop;
      deep::Engine got(row.view, o);
      for (std::size_t n : {1, 2, 3, 5, 9}) {
        SCOPED_TRACE(std::string(row.name) + ", " + Name(loop) + ", " +
                     std::to_string(n) + " pixels");
        const EscapeResult unset{12345, -1, -1};
        std::vector<EscapeResult> a(n + 1, unset), b(n + 1, unset);
        want.Line(-0.23, u, n, a.data());
        got.Line(-0.23, u, n, b.data());
        for (std::size_t k = 0; k < n; ++k) {
          EXPECT_EQ(a[k].count, b[k].count) << k;
          EXPECT_TRUE(SameBits(a[k].zr, b[k].zr) && SameBits(a[k].zi, b[k].zi))
              << k;
        }
        EXPECT_EQ(unset.count, b[n].count);  // nothing written past the line
      }
    }
  }
}

// The same bits from every build: with -march=native, GCC 12 once fused
// the products of a complex product into its sums, and every count and
// point of escape drifted from those of the plain x86-64 build (which
// rounds each operation as written, and gave these).
TEST(DeepLanes, SameBitsOnEveryBuild) {
  const EscapeResult want[2][3] = {
      {{170654, 0x1.1a0330950e4bcp+0, 0x1.e1ad9ff4de486p+0},
       {173196, 0x1.1143fe6618964p+1, 0x1.5dd5d1577e109p-1},
       {170709, -0x1.18ee4e840ff23p+1, -0x1.815369bfda00dp+0}},
      {{170654, 0x1.1a0330950cc72p+0, 0x1.e1ad9ff4e05bfp+0},
       {173196, 0x1.1143fe67c890bp+1, 0x1.5dd5d155bfe03p-1},
       {170709, -0x1.18ee4e84d93e9p+1, -0x1.815369bd37546p+0}}};
  const double u[] = {-0.42, 0.0, 0.37};
  for (int bla = 0; bla < 2; ++bla) {
    for (PixelLoop loop : {PixelLoop::Plain, PixelLoop::Sse2, PixelLoop::Avx2,
                           PixelLoop::Avx512}) {
      if (!deep::PixelLoopSupported(loop)) continue;
      SCOPED_TRACE(std::string(bla ? "T2, " : "T2 without BLA, ") +
                   Name(loop));
      deep::Options o;
      o.bla = bla == 1;
      o.loop = loop;
      deep::Engine engine(deep::T2(), o);
      EscapeResult got[3];
      engine.Line(0.29, u, 3, got);
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(want[bla][k].count, got[k].count) << k;
        EXPECT_TRUE(SameBits(want[bla][k].zr, got[k].zr)) << k << ": " << got[k].zr;
        EXPECT_TRUE(SameBits(want[bla][k].zi, got[k].zi)) << k << ": " << got[k].zi;
      }
    }
  }
}
