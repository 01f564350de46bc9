// Banded and smooth colouring through cosine and gradient palettes.
#include "colour/colouring.h"

#include <algorithm>
#include <cmath>

#include "colour/basicmath.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include "colour/basicmath_avx2.h"
#endif

bool operator==(const Colouring& a, const Colouring& b) {
  return a.shading == b.shading && a.palette == b.palette &&
         a.period == b.period && a.inside == b.inside;
}

namespace {

// Steps of the gradient table per cycle (a power of two, so that a phase
// scales to a step exactly).
constexpr std::size_t GradientSteps = 65536;

// The largest float below 1: where fractions that round up to 1 go.
constexpr float BelowOne = 0.99999994f;

// The largest escaped count whose N (count + 1) is not NeverEscaped.
constexpr std::uint32_t MaxStoredCount = 0xFFFFFFFDu;

// NF from lnq = ln(ln|z| / ln R).
// Without branches, so that a loop of it runs on vectors.
inline float FractionOf(double lnq) {
  double f = 1 - lnq * (1 / basicmath::Ln2);
  float nf = static_cast<float>(f);
  // Also catches NaN: a non-finite z, or a radius of 1 or less.
  nf = f > 0 ? nf : 0.0f;
  return nf < 1 ? nf : BelowOne;
}

// NF of a point z first seen outside radius R, for lnR = ln R.
float Fraction(double zr, double zi, double lnR) {
  double q = basicmath::LnHypot(zr, zi) / lnR;
  return FractionOf(basicmath::Ln(q));
}

// NF of each of n results into nf, as Fraction gives it, for those that
// escaped with a count that is stored; the others get an NF the caller
// replaces. The two logarithms of a block are taken by LnLine. LnHypot's
// usual case is taken apart here with the same operations; its other cases
// go to LnHypot itself.
void Fractions(const EscapeResult* in, std::size_t n, double lnR, float* nf) {
  constexpr std::size_t Block = 256;
  double sq[Block], v[Block];
  for (std::size_t first = 0; first < n; first += Block) {
    const std::size_t m = std::min(Block, n - first);
    const EscapeResult* e = in + first;
    for (std::size_t k = 0; k < m; ++k) {
      // Points that stayed inside keep a z of no use (often 0): they get
      // the logarithm of a harmless 4 instead of LnHypot's rare cases.
      const bool wanted = e[k].count <= MaxStoredCount;
      sq[k] = wanted ? e[k].zr * e[k].zr + e[k].zi * e[k].zi : 4.0;
    }
    basicmath::LnLine(sq, m, v);
    // A sum of squares in this range has the larger part in LnHypot's usual
    // range (2^-500, 2^500), where it is 0.5 * Ln(sum); any other goes to
    // LnHypot, which is exact in every case.
    bool usual = true;
    for (std::size_t k = 0; k < m; ++k) {
      v[k] = (0.5 * v[k]) / lnR;
      usual &= sq[k] > 0x1p-999 && sq[k] < 0x1p1000;
    }
    if (!usual) {
      for (std::size_t k = 0; k < m; ++k)
        if (!(sq[k] > 0x1p-999 && sq[k] < 0x1p1000))
          v[k] = basicmath::LnHypot(e[k].zr, e[k].zi) / lnR;
    }
    basicmath::LnLine(v, m, v);
    for (std::size_t k = 0; k < m; ++k) nf[first + k] = FractionOf(v[k]);
  }
}

// Monotone cubic through the stops of one channel, cyclic: the colour never
// overshoots the stops on either side, and turns smoothly at each.
// The monotone cubic through the stops of one channel, cyclic, at n evenly
// spaced phases: the colour never overshoots the stops on either side, and
// turns smoothly at each.
std::vector<double> Spline(const std::vector<Rgb8>& stops, int channel,
                           std::size_t n) {
  const std::size_t k = stops.size();
  auto level = [&](std::size_t i) -> double {
    const Rgb8& s = stops[i % k];
    return channel == 0 ? s.r : channel == 1 ? s.g : s.b;
  };
  std::vector<double> slope(k);
  for (std::size_t i = 0; i < k; ++i) {
    double before = level(i) - level(i + k - 1);
    double after = level(i + 1) - level(i);
    // The harmonic mean of the neighbouring secants (zero at an extremum)
    // keeps each segment monotone.
    slope[i] = before * after > 0 ? 2 * before * after / (before + after) : 0;
  }
  std::vector<double> out(n);
  for (std::size_t j = 0; j < n; ++j) {
    // Stop i lies at phase i / k: step j is in segment (j * k) / n.
    std::size_t seg = (j * k) / n;
    double u = static_cast<double>(j * k - seg * n) / static_cast<double>(n);
    double y0 = level(seg), y1 = level(seg + 1);
    double m0 = slope[seg], m1 = slope[(seg + 1) % k];
    double c = 3 * (y1 - y0) - 2 * m0 - m1, d = 2 * (y0 - y1) + m0 + m1;
    out[j] = y0 + u * (m0 + u * (c + u * d));
  }
  return out;
}

std::uint16_t GradientCode(double level) {
  double v = level * 257 + 0.5;
  if (!(v >= 0)) return 0;
  if (v >= 65535) return 65535;
  return static_cast<std::uint16_t>(v);
}

CountSample Sample(const EscapeResult& e, double lnR) {
  CountSample s;
  if (e.count == NeverEscaped) {
    s.n = NeverEscaped;
  } else if (e.count > MaxStoredCount) {
    s.n = MaxStoredCount + 1;
    s.nf = BelowOne;
  } else {
    s.n = e.count + 1;
    s.nf = Fraction(e.zr, e.zi, lnR);
  }
  return s;
}

// The gradient table's step for t cycles.
inline std::size_t GradientStep(double t) {
  // The fraction of t >= 0, exactly; from 2^53 up t is whole. A period so
  // small that t overflows counts as phase 0.
  double phase = 0;
  // (Through a signed integer, the same value in this range, which the
  // processor converts in one instruction.)
  if (t >= 0 && t < 0x1p53)
    phase = t - static_cast<double>(static_cast<std::int64_t>(t));
  // The nearest step; the last half step belongs to step 0 of the next
  // cycle.
  return static_cast<std::size_t>(phase * GradientSteps + 0.5) % GradientSteps;
}

// The gradient steps of count-file samples (n[i], nf[i]) at the period:
// GradientStep((n - 1 + nf) / period) for each, whatever n is (the caller
// skips the samples that are not escaped ones).
void GradientStepsPlain(const std::uint32_t* n, const float* nf,
                        std::size_t count, double period, std::uint32_t* step) {
  for (std::size_t i = 0; i < count; ++i) {
    double v = static_cast<double>(n[i] - 1) + static_cast<double>(nf[i]);
    step[i] = static_cast<std::uint32_t>(GradientStep(v / period));
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define COLOURING_AVX2 1

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

// Four at a time, each step one IEEE operation of the plain loop's: the
// count through a signed conversion shifted by 2^31 (exact), the whole part
// by truncation (equal to the integer round trip below 2^53), the rounding
// to a step by truncation as the plain conversion does.
__attribute__((target("avx2"))) void GradientStepsAvx2(const std::uint32_t* n,
                                                       const float* nf,
                                                       std::size_t count,
                                                       double period,
                                                       std::uint32_t* step) {
  const __m128i one = _mm_set1_epi32(1);
  const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
  const __m256d shift = _mm256_set1_pd(0x1p31);
  const __m256d per = _mm256_set1_pd(period);
  const __m256d zero = _mm256_setzero_pd();
  const __m256d whole = _mm256_set1_pd(0x1p53);
  const __m256d steps = _mm256_set1_pd(static_cast<double>(GradientSteps));
  const __m256d half = _mm256_set1_pd(0.5);
  const __m128i mask = _mm_set1_epi32(static_cast<int>(GradientSteps - 1));
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i c = _mm_sub_epi32(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(n + i)), one);
    __m256d cd =
        _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(c, flip)), shift);
    __m256d v = _mm256_add_pd(cd, _mm256_cvtps_pd(_mm_loadu_ps(nf + i)));
    __m256d t = _mm256_div_pd(v, per);
    __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(t, zero, _CMP_GE_OQ),
                                    _mm256_cmp_pd(t, whole, _CMP_LT_OQ));
    __m256d phase = _mm256_sub_pd(
        t, _mm256_round_pd(t, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    phase = _mm256_and_pd(phase, inRange);
    __m256d x = _mm256_add_pd(_mm256_mul_pd(phase, steps), half);
    __m128i k = _mm_and_si128(_mm256_cvttpd_epi32(x), mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(step + i), k);
  }
  GradientStepsPlain(n + i, nf + i, count - i, period, step + i);
}
#endif

void StepsOfLine(const std::uint32_t* n, const float* nf, std::size_t count,
                 double period, std::uint32_t* step) {
#ifdef COLOURING_AVX2
  if (HaveAvx2()) {
    GradientStepsAvx2(n, nf, count, period, step);
    return;
  }
#endif
  GradientStepsPlain(n, nf, count, period, step);
}

}  // namespace

CountSample ToCountSample(const EscapeResult& e, double bailout) {
  // Callers convert whole lines at one radius: keep its logarithm rather
  // than compute it for every sample (the same bits either way).
  thread_local double lastBailout = 2;
  thread_local double lastLn = basicmath::Ln(2);
  if (!(bailout == lastBailout)) {
    lastBailout = bailout;
    lastLn = basicmath::Ln(bailout);
  }
  return Sample(e, lastLn);
}

namespace {

// N of each result, with NF replaced where the count decides it.
void StoredCounts(const EscapeResult* in, std::size_t count, std::uint32_t* n,
                  float* nf) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t c = in[i].count;
    if (c == NeverEscaped) {
      n[i] = NeverEscaped;
      nf[i] = 0;
    } else if (c > MaxStoredCount) {
      n[i] = MaxStoredCount + 1;
      nf[i] = BelowOne;
    } else {
      n[i] = c + 1;
    }
  }
}

#ifdef COLOURING_AVX2
// ToCountSamples four results at a time: each lane takes the operations of
// Fraction in their order, and a lane whose logarithm leaves the usual range
// (or whose radius is odd) goes to the plain functions. Each logarithm is taken
// over a block in a pass of its own, so that the processor overlaps the lanes'
// long chains of operations instead of waiting on one.
__attribute__((target("avx2"))) void CountSamplesAvx2(const EscapeResult* in,
                                                      std::size_t count,
                                                      double lnR,
                                                      std::uint32_t* n,
                                                      float* nf) {
  const __m256d four = _mm256_set1_pd(4.0), half = _mm256_set1_pd(0.5);
  const __m256d lnRv = _mm256_set1_pd(lnR);
  const __m256d least = _mm256_set1_pd(0x1p-999);
  const __m256d most = _mm256_set1_pd(0x1p1000);
  const __m256d one = _mm256_set1_pd(1);
  const __m256d invLn2 = _mm256_set1_pd(1 / basicmath::Ln2);
  const __m128 oneF = _mm_set1_ps(1.0f), belowOne = _mm_set1_ps(BelowOne);
  const __m128i allOnes = _mm_set1_epi32(-1);
  const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
  const __m128i maxFlipped =
      _mm_set1_epi32(static_cast<int>(MaxStoredCount ^ 0x80000000u));
  const __m128i maxN = _mm_set1_epi32(static_cast<int>(MaxStoredCount + 1));
  constexpr std::size_t Block = 64;
  alignas(32) double q[Block];
  const std::size_t whole = count - count % 4;
  for (std::size_t first = 0; first < whole; first += Block) {
    const std::size_t m = std::min(Block, whole - first);
    const EscapeResult* e = in + first;
    // q = ln|z| / ln R.
    for (std::size_t k = 0; k < m; k += 4) {
      const EscapeResult* r = e + k;
      const __m256d zr = _mm256_set_pd(r[3].zr, r[2].zr, r[1].zr, r[0].zr);
      const __m256d zi = _mm256_set_pd(r[3].zi, r[2].zi, r[1].zi, r[0].zi);
      // Points that stayed inside get the logarithm of a harmless 4.
      const __m256d keep = _mm256_castsi256_pd(
          _mm256_set_epi64x(-std::int64_t{r[3].count <= MaxStoredCount},
                            -std::int64_t{r[2].count <= MaxStoredCount},
                            -std::int64_t{r[1].count <= MaxStoredCount},
                            -std::int64_t{r[0].count <= MaxStoredCount}));
      __m256d sq = _mm256_add_pd(_mm256_mul_pd(zr, zr), _mm256_mul_pd(zi, zi));
      sq = _mm256_blendv_pd(four, sq, keep);
      __m256d ln;
      const int normal = basicmath::avx2::LnNormal(sq, &ln);
      _mm256_store_pd(q + k, _mm256_div_pd(_mm256_mul_pd(half, ln), lnRv));
      const int usual = _mm256_movemask_pd(
          _mm256_and_pd(_mm256_cmp_pd(sq, least, _CMP_GT_OQ),
                        _mm256_cmp_pd(sq, most, _CMP_LT_OQ)));
      if ((usual & normal) != 15) {
        for (int l = 0; l < 4; ++l)
          if (!(usual >> l & 1))
            q[k + l] = basicmath::LnHypot(r[l].zr, r[l].zi) / lnR;
      }
    }
    // NF = 1 - log2 q, as FractionOf makes it.
    for (std::size_t k = 0; k < m; k += 4) {
      __m256d lnq;
      if (basicmath::avx2::LnNormal(_mm256_load_pd(q + k), &lnq) != 15) {
        alignas(32) double lanes[4];
        for (int l = 0; l < 4; ++l) lanes[l] = basicmath::Ln(q[k + l]);
        lnq = _mm256_load_pd(lanes);
      }
      const __m256d f = _mm256_sub_pd(one, _mm256_mul_pd(lnq, invLn2));
      __m128 frac = _mm256_cvtpd_ps(f);
      // FractionOf tests f > 0 on the double; on the rounded float the test
      // differs only where f rounds to a zero, which it makes 0 anyway.
      frac = _mm_and_ps(frac, _mm_cmpgt_ps(frac, _mm_setzero_ps()));
      frac = _mm_blendv_ps(belowOne, frac, _mm_cmplt_ps(frac, oneF));
      // StoredCounts, lane by lane: NeverEscaped keeps its code with NF 0;
      // a count past the largest stored one is stored as that.
      const EscapeResult* r = e + k;
      const __m128i c = _mm_set_epi32(
          static_cast<int>(r[3].count), static_cast<int>(r[2].count),
          static_cast<int>(r[1].count), static_cast<int>(r[0].count));
      const __m128i never = _mm_cmpeq_epi32(c, allOnes);
      const __m128i over = _mm_cmpgt_epi32(_mm_xor_si128(c, flip), maxFlipped);
      __m128i stored = _mm_blendv_epi8(_mm_sub_epi32(c, allOnes), maxN, over);
      stored = _mm_blendv_epi8(stored, allOnes, never);
      frac = _mm_blendv_ps(frac, belowOne, _mm_castsi128_ps(over));
      frac = _mm_andnot_ps(_mm_castsi128_ps(never), frac);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(n + first + k), stored);
      _mm_storeu_ps(nf + first + k, frac);
    }
  }
  Fractions(in + whole, count - whole, lnR, nf + whole);
  StoredCounts(in + whole, count - whole, n + whole, nf + whole);
}
#endif

}  // namespace

void ToCountSamples(const EscapeResult* in, std::size_t count, double bailout,
                    std::uint32_t* n, float* nf) {
  const double lnR = basicmath::Ln(bailout);
#ifdef COLOURING_AVX2
  if (HaveAvx2()) {
    CountSamplesAvx2(in, count, lnR, n, nf);
    return;
  }
#endif
  Fractions(in, count, lnR, nf);
  StoredCounts(in, count, n, nf);
}

CountSample FromCount16(std::uint16_t count) {
  CountSample s;
  s.n = count == 0 ? NeverEscaped : std::uint32_t{count} + 1;
  return s;
}

Colourer::Colourer(const Colouring& c, double bailout, std::uint32_t limit)
    : colouring(c), bailout(bailout), inside(To16(c.inside)) {
  lnBailout = basicmath::Ln(bailout);
  if (c.palette.kind == Palette::Gradient && !c.palette.stops.empty()) {
    std::vector<double> level[3];
    for (int ch = 0; ch < 3; ++ch)
      level[ch] = Spline(c.palette.stops, ch, GradientSteps);
    gradient.resize(GradientSteps);
    for (std::size_t j = 0; j < GradientSteps; ++j)
      gradient[j] = Rgb16{GradientCode(level[0][j]), GradientCode(level[1][j]),
                          GradientCode(level[2][j])};
  }
  // Escaped counts lie below the limit; beyond 65536 entries the table
  // would cost more to fill than most pictures spend looking colours up.
  std::uint32_t entries = std::min<std::uint32_t>(limit, 65536);
  bands.resize(entries);
  for (std::uint32_t n = 0; n < entries; ++n) bands[n] = Cycle(n);
}

Rgb16 Colourer::Cycle(double v) const {
  const Palette& p = colouring.palette;
  if (p.kind == Palette::Cosine) {
    // The order of the five programs' palette: count / period first, then
    // the full turn, then the rate; any other order changes the last bits.
    double t = (v / colouring.period) * 6.283185307179586;
    return Rgb16{CosineCode((1 - std::cos(p.rates[0] * t)) * 127.5),
                 CosineCode((1 - std::cos(p.rates[1] * t)) * 127.5),
                 CosineCode((1 - std::cos(p.rates[2] * t)) * 127.5)};
  }
  if (gradient.empty()) return inside;
  return gradient[GradientStep(v / colouring.period)];
}

Rgb16 Colourer::Colour(CountSample s) const {
  if (s.n == NotComputed || s.n == NeverEscaped) return inside;
  std::uint32_t count = s.n - 1;
  if (colouring.shading == Shading::Bands)
    return count < bands.size() ? bands[count] : Cycle(count);
  return Cycle(static_cast<double>(count) + static_cast<double>(s.nf));
}

Rgb16 Colourer::Colour(const EscapeResult& e) const {
  if (colouring.shading == Shading::Smooth) {
    if (e.count == NeverEscaped) return inside;
    return Colour(Sample(e, lnBailout));
  }
  // Bands read no fraction: skip the logarithms.
  if (e.count == NeverEscaped) return inside;
  std::uint32_t count = std::min(e.count, MaxStoredCount);
  return count < bands.size() ? bands[count] : Cycle(count);
}

void Colourer::ColourLine(const EscapeResult* in, std::size_t n,
                          Rgb16* out) const {
  if (colouring.shading == Shading::Smooth) {
    if (gradient.empty()) {
      for (std::size_t i = 0; i < n; ++i) out[i] = Colour(in[i]);
      return;
    }
    // The default colouring's loop: Colour() with the count-file sample
    // and the cycle taken apart, so that nothing but the fraction and one
    // lookup is left per sample. The arithmetic is the same, step for step.
    const Rgb16* table = gradient.data();
    const double period = colouring.period;
    for (std::size_t i = 0; i < n; ++i) {
      const EscapeResult& e = in[i];
      if (e.count == NeverEscaped) {
        out[i] = inside;
        continue;
      }
      std::uint32_t count = MaxStoredCount;
      float nf = BelowOne;
      if (e.count <= MaxStoredCount) {
        count = e.count;
        nf = Fraction(e.zr, e.zi, lnBailout);
      }
      double v = static_cast<double>(count) + static_cast<double>(nf);
      out[i] = table[GradientStep(v / period)];
    }
    return;
  }
  // The loop that banded pictures spend their colouring time in: a lookup.
  const Rgb16* table = bands.data();
  const std::uint32_t entries = static_cast<std::uint32_t>(bands.size());
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t count = in[i].count;
    if (count < entries)
      out[i] = table[count];
    else if (count == NeverEscaped)
      out[i] = inside;
    else
      out[i] = Cycle(std::min(count, MaxStoredCount));
  }
}

void Colourer::ColourLine(const std::uint32_t* n, const float* nf,
                          std::size_t count, Rgb16* out) const {
  if (colouring.shading == Shading::Bands || gradient.empty()) {
    for (std::size_t i = 0; i < count; ++i)
      out[i] = Colour(CountSample{n[i], nf[i]});
    return;
  }
  // Colour() and Cycle() taken apart for the default colouring, step for
  // step, so that the fraction's sum and one lookup are left per sample.
  const Rgb16* table = gradient.data();
  constexpr std::size_t Block = 256;
  std::uint32_t step[Block];
  for (std::size_t first = 0; first < count; first += Block) {
    const std::size_t m = std::min(Block, count - first);
    StepsOfLine(n + first, nf + first, m, colouring.period, step);
    for (std::size_t k = 0; k < m; ++k) {
      const std::uint32_t s = n[first + k];
      out[first + k] =
          s == NotComputed || s == NeverEscaped ? inside : table[step[k]];
    }
  }
}

const std::vector<Rgb16>& Colourer::SmoothGradient() const {
  static const std::vector<Rgb16> none;
  return colouring.shading == Shading::Smooth ? gradient : none;
}

void Colourer::GradientIndices(const std::uint32_t* n, const float* nf,
                               std::size_t count, std::uint32_t* index) const {
  StepsOfLine(n, nf, count, colouring.period, index);
}

void Colourer::ColourLine(const CountSample* in, std::size_t n,
                          Rgb16* out) const {
  for (std::size_t i = 0; i < n; ++i) out[i] = Colour(in[i]);
}
