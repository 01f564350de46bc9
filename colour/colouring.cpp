// Banded and smooth colouring through cosine and gradient palettes.
#include "colour/colouring.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "colour/basicmath.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
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

// NF = 1 - log2(ln|z| / ln R) = C - log2(log2|z|^2), C = 1 + log2(log2 R^2).
SmoothScale ScaleOf(double bailout) {
  SmoothScale s;
  const double l = 2 * basicmath::Ln(bailout) / basicmath::Ln2;
  if (!(l > 0 && l <= std::numeric_limits<double>::max())) return s;
  const double c = 1 + basicmath::Ln(l) / basicmath::Ln2;
  s.valid = true;
  s.hi = static_cast<float>(c);
  s.lo = static_cast<float>(c - static_cast<double>(s.hi));
  return s;
}

// Both logarithms of NF are taken in float arithmetic, eight samples to an
// AVX2 register: NF is stored as a float, and the method itself errs by up
// to 5e-6 of a count at the default radius, so double's accuracy bought
// nothing but a third of a smooth picture's colouring time. Every operation
// below is one IEEE operation, so the vector form gives the same bits.
constexpr double Sqrt2 = 1.4142135623730951;
constexpr float Sqrt2f = 1.41421356f;

// log2(1 + x) for 1 + x in [sqrt(1/2), sqrt(2)): 2 atanh(s) / ln 2 with
// s = x / (2 + x), |s| < 0.172, whose series is past float's precision after
// the s^9 term.
//
// One form for a float and for GCC's vectors of floats, whose operators
// act lane by lane, so that every instruction set takes the same
// operations in the same order. (The vectors go by reference: by value,
// GCC warns that their ABI depends on the instruction set.)
template <typename V>
inline __attribute__((always_inline)) void Log2OnePlusOf(const V& x, V& y) {
  const V s = x / (2.0f + x);
  const V s2 = s * s;
  const V p =
      s2 * (1.0f / 3 + s2 * (1.0f / 5 + s2 * (1.0f / 7 + s2 * (1.0f / 9))));
  const V t = s * static_cast<float>(2 / basicmath::Ln2);
  y = t + t * p;
}

inline float Log2OnePlus(float x) {
  float y;
  Log2OnePlusOf(x, y);
  return y;
}

// x = 2^e m, a normal positive number, with m in [sqrt(1/2), sqrt(2)): e
// (exact) into *e, and m - 1, which is exact too.
template <typename Float, typename Word, int MantissaBits, int Bias>
inline Float ReduceToOne(Float x, Float sqrt2, Float* e) {
  Word bits;
  std::memcpy(&bits, &x, sizeof bits);
  *e = static_cast<Float>(static_cast<int>(bits >> MantissaBits) - Bias);
  const Word mantissa = (Word{1} << MantissaBits) - 1;
  bits = (bits & mantissa) | (static_cast<Word>(Bias) << MantissaBits);
  Float m;
  std::memcpy(&m, &bits, sizeof m);
  if (m >= sqrt2) {
    m *= Float{0.5};
    *e += 1;
  }
  return m - 1;
}

// log2 of sq in (2^-999, 2^1000). m - 1 loses only float's rounding as it
// is converted.
inline float Log2Usual(double sq) {
  double e;
  const double x = ReduceToOne<double, std::uint64_t, 52, 1023>(sq, Sqrt2, &e);
  return static_cast<float>(e) + Log2OnePlus(static_cast<float>(x));
}

// NF from l1 = log2|z|^2, a normal positive float.
inline float FractionOfLog2(float l1, const SmoothScale& c) {
  float e;
  const float x = ReduceToOne<float, std::uint32_t, 23, 127>(l1, Sqrt2f, &e);
  float nf = ((c.hi - e) + c.lo) - Log2OnePlus(x);
  // Also catches NaN.
  nf = nf > 0 ? nf : 0.0f;
  return nf < 1 ? nf : BelowOne;
}

// NF of a point z first seen outside the radius.
float Fraction(double zr, double zi, const SmoothScale& c) {
  if (!c.valid) return 0;
  const double sq = zr * zr + zi * zi;
  float l1;
  if (sq > 0x1p-999 && sq < 0x1p1000) {
    l1 = Log2Usual(sq);
  } else {
    // |z|^2 out of double's range, or z not finite: LnHypot takes every
    // case without overflow.
    l1 = static_cast<float>(basicmath::LnHypot(zr, zi) * (2 / basicmath::Ln2));
  }
  if (l1 >= std::numeric_limits<float>::min() &&
      l1 <= std::numeric_limits<float>::max())
    return FractionOfLog2(l1, c);
  // Infinite or NaN: NF 0, as for any z beyond R^2; 0 too inside the unit
  // circle, which an escaped point reaches only through rounding. Subnormal:
  // the largest NF, as on the radius.
  return l1 > 0 && l1 < std::numeric_limits<float>::min() ? BelowOne : 0.0f;
}

// NF of each of n results into nf, as Fraction gives it, for those that
// escaped with a count that is stored; the others get an NF the caller
// replaces.
void Fractions(const EscapeResult* in, std::size_t n, const SmoothScale& c,
               float* nf) {
  for (std::size_t k = 0; k < n; ++k) nf[k] = Fraction(in[k].zr, in[k].zi, c);
}

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

CountSample Sample(const EscapeResult& e, const SmoothScale& c) {
  CountSample s;
  if (e.count == NeverEscaped) {
    s.n = NeverEscaped;
  } else if (e.count > MaxStoredCount) {
    s.n = MaxStoredCount + 1;
    s.nf = BelowOne;
  } else {
    s.n = e.count + 1;
    s.nf = Fraction(e.zr, e.zi, c);
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
// Not on Windows, where GCC assumes a stack aligned for the spills of wide
// registers that the ABI does not give (GCC bug 54412).
#ifndef _WIN32
#define COLOURING_AVX512 1
#endif

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

// Four at a time, each step one IEEE operation of the plain loop's: the
// count through a signed conversion shifted by 2^31 (exact), the whole part
// by truncation (equal to the integer round trip below 2^53), the rounding
// to a step by truncation as the plain conversion does. A period that is a
// power of two (the default) divides by multiplying with its reciprocal,
// which is exact, so the quotient is the same.
template <bool Reciprocal>
__attribute__((target("avx2"))) void GradientStepsAvx2(const std::uint32_t* n,
                                                       const float* nf,
                                                       std::size_t count,
                                                       double period,
                                                       std::uint32_t* step) {
  const __m128i one = _mm_set1_epi32(1);
  const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
  const __m256d shift = _mm256_set1_pd(0x1p31);
  const __m256d per = _mm256_set1_pd(Reciprocal ? 1 / period : period);
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
    __m256d t = Reciprocal ? _mm256_mul_pd(v, per) : _mm256_div_pd(v, per);
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

#ifdef COLOURING_AVX512
#define AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))

// The intrinsics below are the masked forms with every lane set: GCC 12's
// unmasked ones start from an undefined register and warn that it may be
// used uninitialized.
constexpr __mmask8 All8 = 0xFF;
constexpr __mmask16 All16 = 0xFFFF;

bool HaveAvx512() {
  static const bool have =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
  return have;
}

// GradientStepsAvx2 eight at a time; the count converts as unsigned.
template <bool Reciprocal>
AVX512 void GradientStepsAvx512(const std::uint32_t* n, const float* nf,
                                std::size_t count, double period,
                                std::uint32_t* step) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m512d per = _mm512_set1_pd(Reciprocal ? 1 / period : period);
  const __m512d zero = _mm512_setzero_pd();
  const __m512d whole = _mm512_set1_pd(0x1p53);
  const __m512d steps = _mm512_set1_pd(static_cast<double>(GradientSteps));
  const __m512d half = _mm512_set1_pd(0.5);
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(GradientSteps - 1));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i c = _mm256_sub_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(n + i)), one);
    const __m512d v =
        _mm512_add_pd(_mm512_maskz_cvtepu32_pd(All8, c),
                      _mm512_maskz_cvtps_pd(All8, _mm256_loadu_ps(nf + i)));
    const __m512d t =
        Reciprocal ? _mm512_mul_pd(v, per) : _mm512_div_pd(v, per);
    const __mmask8 inRange = _mm512_cmp_pd_mask(t, zero, _CMP_GE_OQ) &
                             _mm512_cmp_pd_mask(t, whole, _CMP_LT_OQ);
    const __m512d phase = _mm512_maskz_sub_pd(
        inRange, t,
        _mm512_maskz_roundscale_pd(All8, t,
                                   _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    const __m512d x = _mm512_add_pd(_mm512_mul_pd(phase, steps), half);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(step + i),
        _mm256_and_si256(_mm512_maskz_cvttpd_epi32(All8, x), mask));
  }
  GradientStepsAvx2<Reciprocal>(n + i, nf + i, count - i, period, step + i);
}
#endif

// Whether x / period equals x * (1 / period) for every x: the period is a
// power of two whose reciprocal is a normal double.
bool ExactReciprocal(double period) {
  int e;
  return std::frexp(period, &e) == 0.5 && std::isnormal(1 / period);
}
#endif

// The instruction set a line form takes: the one asked for where the
// processor has it, else the widest it has (Plain is always had).
SampleIsa Taken(SampleIsa isa) {
  if (isa == SampleIsa::Plain) return isa;
#ifdef COLOURING_AVX512
  if ((isa == SampleIsa::Auto || isa == SampleIsa::Avx512) && HaveAvx512())
    return SampleIsa::Avx512;
#endif
#ifdef COLOURING_AVX2
  if (HaveAvx2()) return SampleIsa::Avx2;
#endif
  return SampleIsa::Plain;
}

void StepsOfLine(const std::uint32_t* n, const float* nf, std::size_t count,
                 double period, std::uint32_t* step,
                 SampleIsa isa = SampleIsa::Auto) {
  switch (Taken(isa)) {
#ifdef COLOURING_AVX512
    case SampleIsa::Avx512:
      ExactReciprocal(period)
          ? GradientStepsAvx512<true>(n, nf, count, period, step)
          : GradientStepsAvx512<false>(n, nf, count, period, step);
      return;
#endif
#ifdef COLOURING_AVX2
    case SampleIsa::Avx2:
      ExactReciprocal(period)
          ? GradientStepsAvx2<true>(n, nf, count, period, step)
          : GradientStepsAvx2<false>(n, nf, count, period, step);
      return;
#endif
    default:
      GradientStepsPlain(n, nf, count, period, step);
  }
}

}  // namespace

CountSample ToCountSample(const EscapeResult& e, double bailout) {
  // Callers convert whole lines at one radius: keep its logarithm rather
  // than compute it for every sample (the same bits either way).
  thread_local double lastBailout = 2;
  thread_local SmoothScale lastScale = ScaleOf(2);
  if (!(bailout == lastBailout)) {
    lastBailout = bailout;
    lastScale = ScaleOf(bailout);
  }
  return Sample(e, lastScale);
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
// log2(1 + x) of eight lanes.
__attribute__((target("avx2"))) inline __m256 Log2OnePlus8(__m256 x) {
  __m256 y;
  Log2OnePlusOf(x, y);
  return y;
}

// Log2Usual's reduction of four lanes: e and m - 1, as floats.
__attribute__((target("avx2"))) inline void Reduce4(__m256d sq, __m128* e,
                                                    __m128* x) {
  const __m256i bits = _mm256_castpd_si256(sq);
  // The biased exponent through the 2^52 trick (exact for these integers).
  __m256d ed = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(
                                 _mm256_srli_epi64(bits, 52),
                                 _mm256_set1_epi64x(0x4330000000000000ll))),
                             _mm256_set1_pd(0x1p52 + 1023));
  __m256d m = _mm256_castsi256_pd(_mm256_or_si256(
      _mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll)),
      _mm256_set1_epi64x(0x3FF0000000000000ll)));
  const __m256d big = _mm256_cmp_pd(m, _mm256_set1_pd(Sqrt2), _CMP_GE_OQ);
  m = _mm256_blendv_pd(m, _mm256_mul_pd(m, _mm256_set1_pd(0.5)), big);
  ed = _mm256_add_pd(ed, _mm256_and_pd(big, _mm256_set1_pd(1)));
  *e = _mm256_cvtpd_ps(ed);
  *x = _mm256_cvtpd_ps(_mm256_sub_pd(m, _mm256_set1_pd(1)));
}

// |z|^2 of four results, as Fraction computes it; the lanes in the usual
// range of Log2Usual are the bits of *usual.
__attribute__((target("avx2"))) inline __m256d SquaresOf4(const EscapeResult* r,
                                                          int* usual) {
  const __m256d a = _mm256_loadu2_m128d(&r[1].zr, &r[0].zr);
  const __m256d b = _mm256_loadu2_m128d(&r[3].zr, &r[2].zr);
  // (zr^2 + zi^2 of results 0, 2, 1, 3), put back in order.
  const __m256d sq = _mm256_permute4x64_pd(
      _mm256_hadd_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b)), 0xD8);
  *usual = _mm256_movemask_pd(
      _mm256_and_pd(_mm256_cmp_pd(sq, _mm256_set1_pd(0x1p-999), _CMP_GT_OQ),
                    _mm256_cmp_pd(sq, _mm256_set1_pd(0x1p1000), _CMP_LT_OQ)));
  return sq;
}

// ToCountSamples eight results at a time: each lane takes Fraction's
// operations in their order, and a lane of a stored escaped count that
// leaves the usual ranges goes to Fraction itself (the others' NF is
// replaced). Each logarithm is taken over a block in a pass of its own, so
// that the processor overlaps the long chains of several groups.
__attribute__((target("avx2"))) void CountSamplesAvx2(const EscapeResult* in,
                                                      std::size_t count,
                                                      const SmoothScale& c,
                                                      std::uint32_t* n,
                                                      float* nf) {
  const __m256 oneF = _mm256_set1_ps(1.0f), belowOne = _mm256_set1_ps(BelowOne);
  const __m256 hi = _mm256_set1_ps(c.hi), lo = _mm256_set1_ps(c.lo);
  const __m256 least = _mm256_set1_ps(std::numeric_limits<float>::min());
  const __m256i allOnes = _mm256_set1_epi32(-1);
  const __m256i flip = _mm256_set1_epi32(static_cast<int>(0x80000000u));
  const __m256i maxFlipped =
      _mm256_set1_epi32(static_cast<int>(MaxStoredCount ^ 0x80000000u));
  const __m256i maxN = _mm256_set1_epi32(static_cast<int>(MaxStoredCount + 1));
  constexpr std::size_t Block = 64;
  alignas(32) float l1s[Block];
  // The counts, gathered in the first pass (a vector the compiler builds
  // from eight loads went through the stack and waited there).
  static_assert(
      sizeof(EscapeResult) == 24 && offsetof(EscapeResult, count) == 0,
      "the gather's stride");
  const __m256i countAt = _mm256_setr_epi32(0, 6, 12, 18, 24, 30, 36, 42);
  alignas(32) std::uint32_t counts[Block];
  unsigned char usualOf[Block / 8];
  const std::size_t whole = count - count % 8;
  for (std::size_t first = 0; first < whole; first += Block) {
    const std::size_t m = std::min(Block, whole - first);
    const EscapeResult* e = in + first;
    // l1 = log2|z|^2.
    for (std::size_t k = 0; k < m; k += 8) {
      const __m256i cnt = _mm256_i32gather_epi32(
          reinterpret_cast<const int*>(e + k), countAt, 4);
      _mm256_store_si256(reinterpret_cast<__m256i*>(counts + k), cnt);
      // Eight samples inside, as in the set's interior: no logarithm.
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(cnt, allOnes)) == -1)
        continue;
      int usualLo, usualHi;
      const __m256d sqLo = SquaresOf4(e + k, &usualLo);
      const __m256d sqHi = SquaresOf4(e + k + 4, &usualHi);
      __m128 eLo, eHi, xLo, xHi;
      Reduce4(sqLo, &eLo, &xLo);
      Reduce4(sqHi, &eHi, &xHi);
      _mm256_store_ps(l1s + k,
                      _mm256_add_ps(_mm256_set_m128(eHi, eLo),
                                    Log2OnePlus8(_mm256_set_m128(xHi, xLo))));
      usualOf[k / 8] = static_cast<unsigned char>(usualLo | usualHi << 4);
    }
    // NF, as FractionOfLog2 makes it, whose reduction is Reduce4's on floats.
    for (std::size_t k = 0; k < m; k += 8) {
      const EscapeResult* r = e + k;
      const __m256i cnt =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(counts + k));
      const __m256i never = _mm256_cmpeq_epi32(cnt, allOnes);
      if (_mm256_movemask_epi8(never) == -1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(n + first + k), cnt);
        _mm256_storeu_ps(nf + first + k, _mm256_setzero_ps());
        continue;
      }
      const __m256 l1 = _mm256_load_ps(l1s + k);
      const __m256i bits = _mm256_castps_si256(l1);
      __m256 ex = _mm256_cvtepi32_ps(_mm256_sub_epi32(
          _mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127)));
      __m256 mant = _mm256_castsi256_ps(
          _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi32(0x007FFFFF)),
                          _mm256_set1_epi32(0x3F800000)));
      const __m256 big =
          _mm256_cmp_ps(mant, _mm256_set1_ps(Sqrt2f), _CMP_GE_OQ);
      mant = _mm256_blendv_ps(mant, _mm256_mul_ps(mant, _mm256_set1_ps(0.5f)),
                              big);
      ex = _mm256_add_ps(ex, _mm256_and_ps(big, oneF));
      __m256 frac = _mm256_sub_ps(_mm256_add_ps(_mm256_sub_ps(hi, ex), lo),
                                  Log2OnePlus8(_mm256_sub_ps(mant, oneF)));
      frac = _mm256_and_ps(
          frac, _mm256_cmp_ps(frac, _mm256_setzero_ps(), _CMP_GT_OQ));
      frac = _mm256_blendv_ps(belowOne, frac,
                              _mm256_cmp_ps(frac, oneF, _CMP_LT_OQ));
      // StoredCounts, lane by lane: NeverEscaped keeps its code with NF 0;
      // a count past the largest stored one is stored as that.
      const __m256i over =
          _mm256_cmpgt_epi32(_mm256_xor_si256(cnt, flip), maxFlipped);
      // l1 from the usual range is finite: only its lower end is tested.
      const int usual = usualOf[k / 8] & _mm256_movemask_ps(_mm256_cmp_ps(
                                             l1, least, _CMP_GE_OQ));
      const int wanted = ~_mm256_movemask_ps(_mm256_castsi256_ps(over)) & 0xFF;
      if ((usual & wanted) != wanted) {
        alignas(32) float lanes[8];
        _mm256_store_ps(lanes, frac);
        for (int l = 0; l < 8; ++l)
          if ((wanted & ~usual) >> l & 1)
            lanes[l] = Fraction(r[l].zr, r[l].zi, c);
        frac = _mm256_load_ps(lanes);
      }
      __m256i stored =
          _mm256_blendv_epi8(_mm256_sub_epi32(cnt, allOnes), maxN, over);
      stored = _mm256_blendv_epi8(stored, allOnes, never);
      frac = _mm256_blendv_ps(frac, belowOne, _mm256_castsi256_ps(over));
      frac = _mm256_andnot_ps(_mm256_castsi256_ps(never), frac);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(n + first + k), stored);
      _mm256_storeu_ps(nf + first + k, frac);
    }
  }
  Fractions(in + whole, count - whole, c, nf + whole);
  StoredCounts(in + whole, count - whole, n + whole, nf + whole);
}
#endif

#ifdef COLOURING_AVX512
// log2(1 + x) of sixteen lanes.
AVX512 inline __m512 Log2OnePlus16(__m512 x) {
  __m512 y;
  Log2OnePlusOf(x, y);
  return y;
}

// Eight results as loaded: three quadwords each (count, zr, zi), so that
// three loads and two-source permutes sort them, where AVX2 needed a
// gather and eight half loads.
struct Eight {
  __m512i a, b, c;
};

AVX512 inline Eight Load8(const EscapeResult* r) {
  static_assert(
      sizeof(EscapeResult) == 24 && offsetof(EscapeResult, count) == 0 &&
          offsetof(EscapeResult, zr) == 8 && offsetof(EscapeResult, zi) == 16,
      "three quadwords a result");
  const double* p = reinterpret_cast<const double*>(r);
  return {_mm512_castpd_si512(_mm512_loadu_pd(p)),
          _mm512_castpd_si512(_mm512_loadu_pd(p + 8)),
          _mm512_castpd_si512(_mm512_loadu_pd(p + 16))};
}

// Quadword 3i + F of each result i: those up to 15 from a and b, the rest
// from c.
template <int F>
AVX512 inline __m512i Pick(const Eight& r) {
  const __m512i fromAB =
      _mm512_setr_epi64(F, F + 3, F + 6, F + 9, F + 12, F + 15, 0, 0);
  const __m512i fromC =
      F == 0 ? _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 10, 13)
             : _mm512_setr_epi64(0, 1, 2, 3, 4, 7 + F, 10 + F, 13 + F);
  return _mm512_permutex2var_epi64(_mm512_permutex2var_epi64(r.a, fromAB, r.b),
                                   fromC, r.c);
}

AVX512 inline __m256i Counts8(const Eight& r) {
  return _mm512_maskz_cvtepi64_epi32(All8, Pick<0>(r));
}

// |z|^2 of eight results as Fraction computes it, reduced as Log2Usual
// reduces it (e and m - 1, as floats); the lanes in Log2Usual's range are
// the bits of the return value.
AVX512 inline unsigned Reduce8(const Eight& r, __m256* e, __m256* x) {
  const __m512d zr = _mm512_castsi512_pd(Pick<1>(r));
  const __m512d zi = _mm512_castsi512_pd(Pick<2>(r));
  const __m512d sq =
      _mm512_add_pd(_mm512_mul_pd(zr, zr), _mm512_mul_pd(zi, zi));
  const unsigned usual =
      _mm512_cmp_pd_mask(sq, _mm512_set1_pd(0x1p-999), _CMP_GT_OQ) &
      _mm512_cmp_pd_mask(sq, _mm512_set1_pd(0x1p1000), _CMP_LT_OQ);
  // For a normal positive number, getexp and getmant give the exponent and
  // the mantissa in [1, 2) that ReduceToOne takes from the bits.
  __m512d ed = _mm512_maskz_getexp_pd(All8, sq);
  __m512d m =
      _mm512_maskz_getmant_pd(All8, sq, _MM_MANT_NORM_1_2, _MM_MANT_SIGN_src);
  const __mmask8 big = _mm512_cmp_pd_mask(m, _mm512_set1_pd(Sqrt2), _CMP_GE_OQ);
  m = _mm512_mask_mul_pd(m, big, m, _mm512_set1_pd(0.5));
  ed = _mm512_mask_add_pd(ed, big, ed, _mm512_set1_pd(1));
  *e = _mm512_maskz_cvtpd_ps(All8, ed);
  *x = _mm512_maskz_cvtpd_ps(All8, _mm512_sub_pd(m, _mm512_set1_pd(1)));
  return usual;
}

// CountSamplesAvx2's passes, sixteen samples to a register.
AVX512 void CountSamplesAvx512(const EscapeResult* in, std::size_t count,
                               const SmoothScale& c, std::uint32_t* n,
                               float* nf) {
  const __m512i allOnes = _mm512_set1_epi32(-1);
  const __m512 oneF = _mm512_set1_ps(1.0f);
  const __m512 belowOne = _mm512_set1_ps(BelowOne);
  const __m512i flip = _mm512_set1_epi32(static_cast<int>(0x80000000u));
  const __m512i maxFlipped =
      _mm512_set1_epi32(static_cast<int>(MaxStoredCount ^ 0x80000000u));
  const __m512i maxN = _mm512_set1_epi32(static_cast<int>(MaxStoredCount + 1));
  constexpr std::size_t Block = 64;
  float l1s[Block];
  std::uint32_t counts[Block];
  std::uint16_t usualOf[Block / 16];
  const std::size_t whole = count - count % 16;
  for (std::size_t first = 0; first < whole; first += Block) {
    const std::size_t m = std::min(Block, whole - first);
    const EscapeResult* e = in + first;
    // l1 = log2|z|^2.
    for (std::size_t k = 0; k < m; k += 16) {
      const Eight rLo = Load8(e + k), rHi = Load8(e + k + 8);
      const __m512i cnt = _mm512_maskz_inserti64x4(
          All8, _mm512_castsi256_si512(Counts8(rLo)), Counts8(rHi), 1);
      _mm512_storeu_si512(counts + k, cnt);
      // Sixteen samples inside, as in the set's interior: no logarithm.
      if (_mm512_cmpeq_epi32_mask(cnt, allOnes) == 0xFFFF) continue;
      __m256 eLo, eHi, xLo, xHi;
      const unsigned lo = Reduce8(rLo, &eLo, &xLo);
      const unsigned hi = Reduce8(rHi, &eHi, &xHi);
      usualOf[k / 16] = static_cast<std::uint16_t>(lo | hi << 8);
      const __m512 ex = _mm512_insertf32x8(_mm512_castps256_ps512(eLo), eHi, 1);
      const __m512 x = _mm512_insertf32x8(_mm512_castps256_ps512(xLo), xHi, 1);
      _mm512_storeu_ps(l1s + k, _mm512_add_ps(ex, Log2OnePlus16(x)));
    }
    // NF, as FractionOfLog2 makes it.
    for (std::size_t k = 0; k < m; k += 16) {
      const __m512i cnt = _mm512_loadu_si512(counts + k);
      const __mmask16 never = _mm512_cmpeq_epi32_mask(cnt, allOnes);
      if (never == 0xFFFF) {
        _mm512_storeu_si512(n + first + k, cnt);
        _mm512_storeu_ps(nf + first + k, _mm512_setzero_ps());
        continue;
      }
      const __m512 l1 = _mm512_loadu_ps(l1s + k);
      __m512 ex = _mm512_maskz_getexp_ps(All16, l1);
      __m512 mant = _mm512_maskz_getmant_ps(All16, l1, _MM_MANT_NORM_1_2,
                                            _MM_MANT_SIGN_src);
      const __mmask16 big =
          _mm512_cmp_ps_mask(mant, _mm512_set1_ps(Sqrt2f), _CMP_GE_OQ);
      mant = _mm512_mask_mul_ps(mant, big, mant, _mm512_set1_ps(0.5f));
      ex = _mm512_mask_add_ps(ex, big, ex, oneF);
      __m512 frac =
          _mm512_sub_ps(_mm512_add_ps(_mm512_sub_ps(_mm512_set1_ps(c.hi), ex),
                                      _mm512_set1_ps(c.lo)),
                        Log2OnePlus16(_mm512_sub_ps(mant, oneF)));
      frac = _mm512_maskz_mov_ps(
          _mm512_cmp_ps_mask(frac, _mm512_setzero_ps(), _CMP_GT_OQ), frac);
      frac = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(frac, oneF, _CMP_LT_OQ),
                                  belowOne, frac);
      const __mmask16 over =
          _mm512_cmpgt_epi32_mask(_mm512_xor_si512(cnt, flip), maxFlipped);
      // l1 from the usual range is finite: only its lower end is tested.
      const __mmask16 usual =
          usualOf[k / 16] &
          _mm512_cmp_ps_mask(l1,
                             _mm512_set1_ps(std::numeric_limits<float>::min()),
                             _CMP_GE_OQ);
      const __mmask16 wanted = static_cast<__mmask16>(~over);
      if ((usual & wanted) != wanted) {
        float lanes[16];
        _mm512_storeu_ps(lanes, frac);
        for (int l = 0; l < 16; ++l)
          if ((wanted & ~usual) >> l & 1)
            lanes[l] = Fraction(e[k + l].zr, e[k + l].zi, c);
        frac = _mm512_loadu_ps(lanes);
      }
      __m512i stored =
          _mm512_mask_blend_epi32(over, _mm512_sub_epi32(cnt, allOnes), maxN);
      stored = _mm512_mask_blend_epi32(never, stored, allOnes);
      frac = _mm512_mask_blend_ps(over, frac, belowOne);
      frac = _mm512_mask_blend_ps(never, frac, _mm512_setzero_ps());
      _mm512_storeu_si512(n + first + k, stored);
      _mm512_storeu_ps(nf + first + k, frac);
    }
  }
  // The last few, eight at a time where there are eight.
  CountSamplesAvx2(in + whole, count - whole, c, n + whole, nf + whole);
}
#undef AVX512
#endif

}  // namespace

bool SampleIsaSupported(SampleIsa isa) {
  return isa == SampleIsa::Auto || Taken(isa) == isa;
}

void ToCountSamples(const EscapeResult* in, std::size_t count, double bailout,
                    std::uint32_t* n, float* nf, SampleIsa isa) {
  const SmoothScale c = ScaleOf(bailout);
  // Without a valid radius every NF is 0, which the plain form gives.
  switch (c.valid ? Taken(isa) : SampleIsa::Plain) {
#ifdef COLOURING_AVX512
    case SampleIsa::Avx512:
      CountSamplesAvx512(in, count, c, n, nf);
      return;
#endif
#ifdef COLOURING_AVX2
    case SampleIsa::Avx2:
      CountSamplesAvx2(in, count, c, n, nf);
      return;
#endif
    default:
      Fractions(in, count, c, nf);
      StoredCounts(in, count, n, nf);
  }
}

CountSample FromCount16(std::uint16_t count) {
  CountSample s;
  s.n = count == 0 ? NeverEscaped : std::uint32_t{count} + 1;
  return s;
}

Colourer::Colourer(const Colouring& c, double bailout, std::uint32_t limit)
    : colouring(c), bailout(bailout), inside(To16(c.inside)) {
  scale = ScaleOf(bailout);
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
    return Colour(Sample(e, scale));
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
        nf = Fraction(e.zr, e.zi, scale);
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
                               std::size_t count, std::uint32_t* index,
                               SampleIsa isa) const {
  StepsOfLine(n, nf, count, colouring.period, index, isa);
}

void Colourer::ColourLine(const CountSample* in, std::size_t n,
                          Rgb16* out) const {
  for (std::size_t i = 0; i < n; ++i) out[i] = Colour(in[i]);
}
