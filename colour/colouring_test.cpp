#include "colour/colouring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "core/cosinepalette.h"

namespace {

Colouring Bands(Palette p, double period) {
  Colouring c;
  c.shading = Shading::Bands;
  c.palette = p;
  c.period = period;
  return c;
}

Palette Cosine(double r, double g, double b) {
  Palette p;
  p.kind = Palette::Cosine;
  p.rates[0] = r;
  p.rates[1] = g;
  p.rates[2] = b;
  return p;
}

Palette FourStops() {
  Palette p;
  p.stops = {{0, 0, 0}, {255, 0, 128}, {40, 200, 255}, {255, 255, 255}};
  return p;
}

// Random escape results as an engine could give them: z just outside the
// radius, up to the square of it, with a few special ones mixed in.
std::vector<EscapeResult> SomeResults(double radius, std::uint32_t limit) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<EscapeResult> out;
  for (int k = 0; k < 4000; ++k) {
    double mod = std::pow(radius, 1 + unit(rng));
    double angle = unit(rng) * 6.283185307179586;
    std::uint32_t count = static_cast<std::uint32_t>(unit(rng) * limit);
    out.push_back({count, mod * std::cos(angle), mod * std::sin(angle)});
  }
  out.push_back({NeverEscaped, 0, 0});
  out.push_back({0, radius, 0});
  out.push_back({5, 1e300, 1e300});
  out.push_back({7, std::nan(""), 1});
  return out;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// With bands, a period equal to the limit and the cosine palette, every
// count gets the bytes of the five programs' own palette table.
TEST(Colourer, BandedCosineIsTheFiveProgramsPalette) {
  struct Row {
    std::uint32_t limit;
    double r, g, b;
  } rows[] = {{100, 3, 2, 1},   {1000, 3, 2, 1},     {257, 0.7, 5.5, -2},
              {65535, 3, 2, 1}, {50000, 1, 10, 100}, {3, 3, 2, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.limit);
    CosinePalette table;
    table.Build(row.limit, row.limit, row.r, row.g, row.b);
    Colourer colourer(Bands(Cosine(row.r, row.g, row.b), row.limit), 2,
                      row.limit);
    for (std::uint32_t n = 0; n < row.limit; ++n) {
      PaletteColour want = table.Colour(n, 0);
      Rgb8 got = To8(colourer.Colour(EscapeResult{n, 3, 0}));
      ASSERT_EQ(want.red, got.r) << n;
      ASSERT_EQ(want.green, got.g) << n;
      ASSERT_EQ(want.blue, got.b) << n;
    }
    // The five programs store 0 for inside, and entry 0 is black.
    EXPECT_EQ(Rgb8(), To8(colourer.Colour(EscapeResult{NeverEscaped, 0, 0})));
  }
}

// The table covers the counts a view can give; colours computed beyond it
// must be the same colours, and the limit must not change any colour.
TEST(Colourer, ColoursDoNotDependOnTheLimit) {
  for (const Colouring& c :
       {Bands(Cosine(3, 2, 1), 1000), Bands(FourStops(), 77.5)}) {
    Colourer small(c, 2, 10), large(c, 2, 70000);
    for (std::uint32_t n = 0; n < 70000; n += 7) {
      ASSERT_EQ(small.Colour(EscapeResult{n, 3, 0}),
                large.Colour(EscapeResult{n, 3, 0}))
          << n;
    }
  }
}

// Hand-worked fractions: NF = 1 - log2(ln|z| / ln R) is 0 at |z| = R^2,
// 0.5 at |z| = R^sqrt(2), and just below 1 on the radius itself.
TEST(CountSample, FractionOfTheEscapePoint) {
  const float below1 = std::nextafter(1.0f, 0.0f);
  struct Row {
    EscapeResult e;
    double bailout;
    std::uint32_t n;
    float nf;
  } rows[] = {
      {{4, 4, 0}, 2, 5, 0},
      {{0, 0, -65536}, 256, 1, 0},
      {{9, 0, std::exp2(8 * std::sqrt(2.0))}, 256, 10, 0.5f},
      {{9, std::exp2(4 * std::sqrt(2.0) - 0.5),
        std::exp2(4 * std::sqrt(2.0) - 0.5)},
       16,
       10,
       0.5f},
      {{3, 2, 0}, 2, 4, below1},
      {{3, -1e10, 0}, 2, 4, 0},         // beyond R^2
      {{3, INFINITY, 0}, 2, 4, 0},      // overflowed orbit
      {{3, std::nan(""), 0}, 2, 4, 0},  // NaN orbit
      {{3, 3, 0}, 1, 4, 0},             // radius without a logarithm
      {{NeverEscaped, 0, 0}, 2, NeverEscaped, 0},
      {{0xFFFFFFFDu, 3, 0},
       2,
       0xFFFFFFFEu,
       0.3355513f},                                   // 1 - log2(ln 3 / ln 2)
      {{0xFFFFFFFEu, 3, 0}, 2, 0xFFFFFFFEu, below1},  // N would be "inside"
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.e.count);
    CountSample s = ToCountSample(row.e, row.bailout);
    EXPECT_EQ(row.n, s.n);
    EXPECT_NEAR(row.nf, s.nf, 2e-7);
    EXPECT_TRUE(s.nf >= 0 && s.nf < 1);
  }
}

// NF is taken in float arithmetic: against the formula in long double it
// must stay within a few of float's units over the whole range of |z|, for
// radii near 1, at the default, and where |z|^2 leaves double's range.
TEST(CountSample, FractionIsAccurate) {
  std::mt19937_64 rng(777);
  std::uniform_real_distribution<double> unit(0, 1);
  for (double bailout : {1.001, 2.0, 256.0, 1e10, 1e100, 1e200}) {
    SCOPED_TRACE(bailout);
    const long double lnR = std::log(static_cast<long double>(bailout));
    long double worst = 0;
    for (int k = 0; k < 20000; ++k) {
      // ln|z| / ln R evenly over (1, 2), and |z| itself representable.
      const double q = 1 + unit(rng);
      if (bailout > 1e150 && q > 1.5) continue;
      const double mod = std::pow(bailout, q);
      const double angle = unit(rng) * 6.283185307179586;
      const double zr = mod * std::cos(angle), zi = mod * std::sin(angle);
      const long double lnz =
          0.5L * std::log(static_cast<long double>(zr) * zr +
                          static_cast<long double>(zi) * zi);
      const long double want = 1 - std::log2(lnz / lnR);
      if (!(want > 0 && want < 1)) continue;
      const float nf = ToCountSample(EscapeResult{3, zr, zi}, bailout).nf;
      worst = std::max(worst, std::fabs(nf - want));
    }
    // (Measured: 1.4e-7 to 2e-7, and 3.4e-7 at 1.001, where log2|z|^2 is
    // small and its rounding weighs most; the old double arithmetic kept
    // 6e-8, the float's own rounding.)
    EXPECT_LT(worst, 4e-7L);
  }
}

// A count file holds N and NF as a float; colouring from it must give the
// bytes that colouring straight from the engine's result gives.
TEST(Colourer, CountFileSamplesColourAsTheEngineResults) {
  Palette cosine = Cosine(3, 2, 1);
  Palette gradient = DefaultPalette();
  for (Shading shading : {Shading::Smooth, Shading::Bands}) {
    for (const Palette* p : {&cosine, &gradient}) {
      for (double bailout : {2.0, 256.0, 1e10}) {
        Colouring c;
        c.shading = shading;
        c.palette = *p;
        c.period = 61.25;
        c.inside = {9, 8, 7};
        Colourer colourer(c, bailout, 5000);
        for (const EscapeResult& e : SomeResults(bailout, 5000)) {
          CountSample s = ToCountSample(e, bailout);
          // Through the float a file holds.
          float stored;
          std::memcpy(&stored, &s.nf, sizeof stored);
          ASSERT_EQ(colourer.Colour(e),
                    colourer.Colour(CountSample{s.n, stored}))
              << e.count << " " << e.zr << " " << e.zi;
        }
      }
    }
  }
}

TEST(Colourer, ColourLineIsColourPerSample) {
  for (Shading shading : {Shading::Smooth, Shading::Bands}) {
    Colouring c;
    c.shading = shading;
    // A limit below most counts, so the bands come from table and formula.
    Colourer colourer(c, 256, 300);
    std::vector<EscapeResult> in = SomeResults(256, 5000);
    in.push_back({0xFFFFFFFEu, 3, 0});
    std::vector<Rgb16> out(in.size());
    colourer.ColourLine(in.data(), in.size(), out.data());
    std::vector<CountSample> counts;
    for (std::size_t k = 0; k < in.size(); ++k) {
      ASSERT_EQ(colourer.Colour(in[k]), out[k]) << k;
      counts.push_back(ToCountSample(in[k], 256));
    }
    std::vector<Rgb16> again(in.size());
    colourer.ColourLine(counts.data(), counts.size(), again.data());
    EXPECT_EQ(out, again);
  }
}

// The line forms take their own roads to the same bits: fractions a block
// at a time, colours of split count-file lines without Colour().
// The vector forms decide the unusual samples lane by lane (counts past the
// largest stored one, inside points, |z| out of the usual range, which go
// to the plain form): each such sample takes every place of two blocks of
// sixteen among ordinary ones, for every instruction set.
TEST(CountSample, UnusualSamplesInEveryLane) {
  // At a radius just under 2^500, a point a tenth outside it has |z|^2
  // beyond the usual range but a fraction inside (0, 1): only the lane's
  // own test sends it to the plain form.
  for (double bailout : {256.0, 0x1p499 * 1.9}) {
    const EscapeResult ordinary = {40, bailout * 1.01, -bailout * 0.1};
    const EscapeResult unusual[] = {
        {NeverEscaped, 0.5, 0},
        {0xFFFFFFFEu, bailout * 2, 0},
        {0xFFFFFFFDu, bailout * 2, 0},
        {9, 0, 0},
        {9, 1e-200, 0},
        {9, 1e200, -1e200},
        {9, std::nan(""), 1},
        {0x80000000u, bailout * 2, 0},
        {9, bailout * 1.1, 0},
    };
    constexpr std::size_t Line = 48;
    std::vector<std::uint32_t> n(Line);
    std::vector<float> nf(Line);
    for (SampleIsa isa :
         {SampleIsa::Plain, SampleIsa::Avx2, SampleIsa::Avx512}) {
      if (!SampleIsaSupported(isa)) continue;
      for (const EscapeResult& odd : unusual) {
        for (std::size_t at = 0; at < 32; ++at) {
          std::vector<EscapeResult> in(Line, ordinary);
          in[at] = odd;
          ToCountSamples(in.data(), Line, bailout, n.data(), nf.data(), isa);
          for (std::size_t k = 0; k < Line; ++k) {
            const CountSample s = ToCountSample(in[k], bailout);
            ASSERT_EQ(s.n, n[k]) << "isa " << static_cast<int>(isa) << " at "
                                 << at << " lane " << k;
            ASSERT_TRUE(SameBits(s.nf, nf[k]))
                << "isa " << static_cast<int>(isa) << " radius " << bailout
                << " at " << at << " lane " << k << " count " << odd.count
                << " zr " << odd.zr;
          }
        }
      }
    }
  }
}

TEST(CountSample, LineFormsAreThePerSampleForms) {
  Palette cosine = Cosine(3, 2, 1);
  Palette gradient = DefaultPalette();
  // Radii far out and far in put |z|^2 beyond double, where the fraction
  // comes from LnHypot instead.
  for (double bailout : {2.0, 256.0, 1e10, 1.0, 1e200, 1e-170}) {
    std::vector<EscapeResult> in = SomeResults(bailout, 5000);
    // Whole blocks of eight inside points, as in the set's interior, and
    // a block with one escaped point among them.
    in.insert(in.begin(), 23, EscapeResult{NeverEscaped, 0.5, -0.25});
    in[19] = {12, 3 * bailout, 0};
    in.push_back({0xFFFFFFFEu, 3, 0});
    in.push_back({0xFFFFFFFDu, 3, 0});
    in.push_back({9, 0, 0});
    in.push_back({9, 1e-200, 0});
    in.push_back({9, 1e200, -1e200});
    in.push_back({9, std::numeric_limits<double>::infinity(), 0});
    in.push_back({0x80000000u, 300, 0});
    in.push_back({0x7FFFFFFFu, 300, 0});
    std::vector<std::uint32_t> n(in.size());
    std::vector<float> nf(in.size());
    // Every instruction set this processor has, each over the whole line
    // and over a piece that starts and ends mid-block.
    for (SampleIsa isa : {SampleIsa::Plain, SampleIsa::Avx2, SampleIsa::Avx512,
                          SampleIsa::Auto}) {
      if (!SampleIsaSupported(isa)) continue;
      for (std::size_t from : {std::size_t{0}, std::size_t{5}}) {
        const std::size_t count = in.size() - from - (from ? 9 : 0);
        ToCountSamples(in.data() + from, count, bailout, n.data() + from,
                       nf.data() + from, isa);
        for (std::size_t k = from; k < from + count; ++k) {
          CountSample s = ToCountSample(in[k], bailout);
          ASSERT_EQ(s.n, n[k]) << k << " isa " << static_cast<int>(isa);
          ASSERT_TRUE(SameBits(s.nf, nf[k]))
              << k << " " << in[k].zr << " isa " << static_cast<int>(isa);
        }
      }
    }
    ToCountSamples(in.data(), in.size(), bailout, n.data(), nf.data());
    n.push_back(NotComputed);
    nf.push_back(0.5f);
    // Periods whose cycles hold the counts, halve them, or leave them past
    // 2^53 cycles (phase 0); powers of two, whose reciprocal the line form
    // multiplies by.
    for (double period : {61.25, 0.7, 1e-12, 128.0, 0.5, 0x1p-60}) {
      for (Shading shading : {Shading::Smooth, Shading::Bands}) {
        for (const Palette* p : {&cosine, &gradient}) {
          Colouring c;
          c.shading = shading;
          c.palette = *p;
          c.period = period;
          c.inside = {9, 8, 7};
          Colourer colourer(c, bailout, 300);
          std::vector<Rgb16> out(n.size());
          colourer.ColourLine(n.data(), nf.data(), n.size(), out.data());
          for (std::size_t k = 0; k < n.size(); ++k)
            ASSERT_EQ(colourer.Colour(CountSample{n[k], nf[k]}), out[k])
                << k << " period " << period;
          if (colourer.SmoothGradient().empty()) continue;
          // The gradient's indices, from every instruction set, against
          // the plain loop's (whose colours were checked above).
          std::vector<std::uint32_t> plain(n.size()), index(n.size());
          colourer.GradientIndices(n.data(), nf.data(), n.size(), plain.data(),
                                   SampleIsa::Plain);
          for (SampleIsa isa : {SampleIsa::Avx2, SampleIsa::Avx512}) {
            if (!SampleIsaSupported(isa)) continue;
            colourer.GradientIndices(n.data(), nf.data(), n.size(),
                                     index.data(), isa);
            ASSERT_EQ(plain, index)
                << "period " << period << " isa " << static_cast<int>(isa);
          }
        }
      }
    }
  }
}

TEST(CountSample, SixteenBitCounts) {
  struct Row {
    std::uint16_t count;
    std::uint32_t n;
  } rows[] = {{0, NeverEscaped}, {1, 2}, {65535, 65536}};
  for (const Row& row : rows) {
    CountSample s = FromCount16(row.count);
    EXPECT_EQ(row.n, s.n);
    EXPECT_TRUE(SameBits(0.0f, s.nf));
  }
}

TEST(Colourer, InsideAndUncomputedSamples) {
  Colouring c;
  c.inside = {1, 2, 250};
  for (Shading shading : {Shading::Smooth, Shading::Bands}) {
    c.shading = shading;
    Colourer colourer(c, 256, 100);
    EXPECT_EQ(To16(c.inside),
              colourer.Colour(EscapeResult{NeverEscaped, 0, 0}));
    EXPECT_EQ(To16(c.inside), colourer.Colour(CountSample{NotComputed, 0}));
    EXPECT_EQ(To16(c.inside), colourer.Colour(CountSample{NeverEscaped, 0}));
  }
}

TEST(Colourer, BandsIgnoreTheFraction) {
  Colourer colourer(Bands(DefaultPalette(), 10), 256, 100);
  for (std::uint32_t n = 1; n < 100; ++n)
    ASSERT_EQ(colourer.Colour(CountSample{n, 0}),
              colourer.Colour(CountSample{n, 0.75f}));
}

// Stops sit at whole quarters of a period of 64 here, so a phase of k / 4
// is exact and must give stop k itself.
TEST(Colourer, GradientPassesThroughItsStops) {
  Palette p = FourStops();
  for (Shading shading : {Shading::Smooth, Shading::Bands}) {
    Colouring c;
    c.shading = shading;
    c.palette = p;
    c.period = 64;
    Colourer colourer(c, 256, 1000);
    for (std::uint32_t cycle = 0; cycle < 3; ++cycle) {
      for (std::uint32_t k = 0; k < 4; ++k) {
        std::uint32_t count = cycle * 64 + k * 16;
        EXPECT_EQ(To16(p.stops[k]), colourer.Colour(CountSample{count + 1, 0}))
            << count;
      }
    }
  }
}

// Between two stops each channel stays within them (no overshoot to clip),
// moves the same way throughout, and the cycle closes without a jump.
TEST(Colourer, GradientIsMonotoneBetweenStopsAndCyclic) {
  Palette p = FourStops();
  Colouring c;
  c.palette = p;
  c.period = 4;  // one count per stop
  Colourer colourer(c, 256, 10);
  Rgb16 last = colourer.Colour(CountSample{1, 0});
  for (int step = 1; step <= 4 * 1000; ++step) {
    double v = step / 1000.0;
    std::uint32_t whole = static_cast<std::uint32_t>(v);
    float frac = static_cast<float>(v - whole);
    Rgb16 now = colourer.Colour(CountSample{whole + 1, frac});
    std::size_t seg = static_cast<std::size_t>(std::ceil(v)) - 1;
    const Rgb8& a = p.stops[seg % 4];
    const Rgb8& b = p.stops[(seg + 1) % 4];
    auto within = [](std::uint16_t x, std::uint8_t s, std::uint8_t t) {
      std::uint16_t lo = To16(s < t ? s : t), hi = To16(s < t ? t : s);
      return x >= lo && x <= hi;
    };
    ASSERT_TRUE(within(now.r, a.r, b.r) && within(now.g, a.g, b.g) &&
                within(now.b, a.b, b.b))
        << v;
    // Neighbouring phases 1/1000 of a stop apart: no visible step.
    ASSERT_LE(std::abs(now.r - last.r), 400) << v;
    ASSERT_LE(std::abs(now.g - last.g), 400) << v;
    ASSERT_LE(std::abs(now.b - last.b), 400) << v;
    last = now;
  }
}

// The smooth count varies continuously across a band edge: the colour just
// before an escape count goes up by one matches the colour just after.
TEST(Colourer, SmoothColourIsContinuousAcrossCounts) {
  Colouring c;
  c.period = 20;
  Colourer colourer(c, 256, 1000);
  for (std::uint32_t n = 1; n < 200; ++n) {
    Rgb16 before = colourer.Colour(CountSample{n, 0.9999999f});
    Rgb16 after = colourer.Colour(CountSample{n + 1, 0});
    ASSERT_LE(std::abs(before.r - after.r), 2) << n;
    ASSERT_LE(std::abs(before.g - after.g), 2) << n;
    ASSERT_LE(std::abs(before.b - after.b), 2) << n;
  }
}

// NF is stored in count files and must not depend on the build that
// computed it; these bits come from the arithmetic the header promises.
TEST(CountSample, SameFractionOnEveryBuild) {
  struct Row {
    double zr, zi, bailout;
    float nf;
  } rows[] = {
      {300, -20, 256, 0x1.eae1ccp-1f},
      {3, 1, 2, 0x1.126922p-2f},
      {-1e5, 2e5, 1000, 0x1.531268p-3f},
  };
  for (const Row& row : rows) {
    CountSample s = ToCountSample(EscapeResult{5, row.zr, row.zi}, row.bailout);
    EXPECT_TRUE(SameBits(row.nf, s.nf)) << row.zr << " " << s.nf;
  }
}
