// Logarithm and power by series, with exact range reduction through the
// binary exponent.
#include "colour/basicmath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define BASICMATH_AVX2 1
#endif

namespace basicmath {

namespace {

// ln 2 in two parts (Cody and Waite): k * Ln2Hi is exact for the k used
// here, so reducing by whole multiples of ln 2 loses nothing at the ends of
// the range.
constexpr double Ln2Hi = 6.93147180369123816490e-01;
constexpr double Ln2Lo = 1.90821492927058770002e-10;

// ln m for m in [1, 2) by the series of 2 atanh((m - 1) / (m + 1)), for the
// table below only: evaluated by the compiler, whose arithmetic on doubles
// is IEEE's, so the table is the same in every build.
constexpr double SeriesLn(double m) {
  bool upper = m >= 1.4142135623730950488;
  double x = upper ? m * 0.5 : m;
  double s = (x - 1) / (x + 1), s2 = s * s, power = s, sum = 0;
  for (int k = 1; k < 41; k += 2) {
    sum += power / k;
    power *= s2;
  }
  return upper ? (Ln2Hi + (Ln2Lo + 2 * sum)) : 2 * sum;
}

// The mantissa's top seven bits pick a cell of [1, 2); m0 is its lower
// end, so that ln 1 comes out exactly 0.
struct Cells {
  double ln[128];   // ln m0
  double inv[128];  // 1 / m0
};

constexpr Cells MakeCells() {
  Cells c{};
  for (int j = 0; j < 128; ++j) {
    double m0 = 1 + j / 128.0;
    c.ln[j] = SeriesLn(m0);
    c.inv[j] = 1 / m0;
  }
  return c;
}

constexpr Cells cells = MakeCells();

}  // namespace

double Ln(double x) {
  int e = 0;
  // Normal finite x, the case of every smooth sample, passes one test.
  if (!(x >= 0x1p-1022 && x <= std::numeric_limits<double>::max())) {
    if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    x *= 0x1p54;  // subnormal: scale into the normal range (exact)
    e = -54;
  }
  // x = m * 2^e with m in [1, 2), taken from the bits (exact, and without a
  // library call on the path of every smooth sample).
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  e += static_cast<int>(bits >> 52) - 1023;
  const int j = static_cast<int>((bits >> 45) & 127);
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
  double m;
  std::memcpy(&m, &bits, sizeof m);
  // ln m = ln m0 + ln(1 + u) with u = (m - m0) / m0 in [0, 1 / 128); m - m0
  // is exact, and seven terms of the series leave less than 2e-16.
  double u = (m - (1 + j / 128.0)) * cells.inv[j];
  double u2 = u * u;
  double q = ((1 - u * 0.5) + u2 * (1.0 / 3 - u * 0.25)) +
             (u2 * u2) * ((0.2 - u * (1.0 / 6)) + u2 * (1.0 / 7));
  double p = u * q;
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + (cells.ln[j] + p));
}

namespace {

#ifdef BASICMATH_AVX2
// Ln's normal-range path on four lanes. Every step is one IEEE operation of
// Ln's, in its order; m0's bits are built from the mantissa's top seven bits
// instead of from j / 128 (the same value), and k from the biased exponent
// by the 2^52 trick (exact for these small integers). Lanes outside the
// normal range are left to the plain function.
__attribute__((target("avx2"))) void LnLineAvx2(const double* x, std::size_t n,
                                                double* out) {
  const __m256i mantissa = _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll);
  const __m256i cellBits = _mm256_set1_epi64x(0x000FE00000000000ll);
  const __m256i one = _mm256_set1_epi64x(0x3FF0000000000000ll);
  const __m256i magic = _mm256_set1_epi64x(0x4330000000000000ll);
  const __m256d two52 = _mm256_set1_pd(0x1p52);
  const __m256d bias = _mm256_set1_pd(1023);
  const __m256d least = _mm256_set1_pd(0x1p-1022);
  const __m256d most = _mm256_set1_pd(std::numeric_limits<double>::max());
  const __m256d c1 = _mm256_set1_pd(1), half = _mm256_set1_pd(0.5);
  const __m256d third = _mm256_set1_pd(1.0 / 3), quarter = _mm256_set1_pd(0.25);
  const __m256d fifth = _mm256_set1_pd(0.2), sixth = _mm256_set1_pd(1.0 / 6);
  const __m256d seventh = _mm256_set1_pd(1.0 / 7);
  const __m256d hi = _mm256_set1_pd(Ln2Hi), lo = _mm256_set1_pd(Ln2Lo);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m256d v = _mm256_loadu_pd(x + i);
    __m256d normal = _mm256_and_pd(_mm256_cmp_pd(v, least, _CMP_GE_OQ),
                                   _mm256_cmp_pd(v, most, _CMP_LE_OQ));
    __m256i bits = _mm256_castpd_si256(v);
    __m256i j =
        _mm256_and_si256(_mm256_srli_epi64(bits, 45), _mm256_set1_epi64x(127));
    __m256d m = _mm256_castsi256_pd(
        _mm256_or_si256(_mm256_and_si256(bits, mantissa), one));
    __m256d m0 = _mm256_castsi256_pd(
        _mm256_or_si256(_mm256_and_si256(bits, cellBits), one));
    __m256d biased = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(
                                       _mm256_srli_epi64(bits, 52), magic)),
                                   two52);
    __m256d k = _mm256_sub_pd(biased, bias);
    __m256d inv = _mm256_i64gather_pd(cells.inv, j, 8);
    __m256d lnm0 = _mm256_i64gather_pd(cells.ln, j, 8);
    __m256d u = _mm256_mul_pd(_mm256_sub_pd(m, m0), inv);
    __m256d u2 = _mm256_mul_pd(u, u);
    __m256d a = _mm256_sub_pd(c1, _mm256_mul_pd(u, half));
    __m256d b =
        _mm256_mul_pd(u2, _mm256_sub_pd(third, _mm256_mul_pd(u, quarter)));
    __m256d c = _mm256_add_pd(_mm256_sub_pd(fifth, _mm256_mul_pd(u, sixth)),
                              _mm256_mul_pd(u2, seventh));
    __m256d q = _mm256_add_pd(_mm256_add_pd(a, b),
                              _mm256_mul_pd(_mm256_mul_pd(u2, u2), c));
    __m256d p = _mm256_mul_pd(u, q);
    __m256d r = _mm256_add_pd(
        _mm256_mul_pd(k, hi),
        _mm256_add_pd(_mm256_mul_pd(k, lo), _mm256_add_pd(lnm0, p)));
    const int ok = _mm256_movemask_pd(normal);
    if (ok == 15) {
      _mm256_storeu_pd(out + i, r);
      continue;
    }
    // Kept apart from out, which may be x itself.
    alignas(32) double in[4], lanes[4];
    _mm256_store_pd(in, v);
    _mm256_store_pd(lanes, r);
    for (int l = 0; l < 4; ++l)
      out[i + l] = (ok >> l & 1) ? lanes[l] : Ln(in[l]);
  }
  for (; i < n; ++i) out[i] = Ln(x[i]);
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

}  // namespace

void LnLine(const double* x, std::size_t n, double* out) {
#ifdef BASICMATH_AVX2
  if (HaveAvx2()) {
    LnLineAvx2(x, n, out);
    return;
  }
#endif
  for (std::size_t i = 0; i < n; ++i) out[i] = Ln(x[i]);
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.8) return std::numeric_limits<double>::infinity();
  if (x < -745.2) return 0;
  // x = k ln2 + r with |r| <= ln2 / 2; 18 terms of the series reach 1e-21.
  double k = std::floor(x / Ln2 + 0.5);
  double r = (x - k * Ln2Hi) - k * Ln2Lo;
  double sum = 1;
  for (int n = 18; n >= 1; --n) sum = 1 + sum * r / n;
  return std::ldexp(sum, static_cast<int>(k));
}

double Pow(double x, double y) {
  if (x == 0) return y > 0 ? 0 : std::numeric_limits<double>::infinity();
  return Exp(y * Ln(x));
}

double LnHypot(double x, double y) {
  double ax = std::fabs(x), ay = std::fabs(y);
  double big = ax > ay ? ax : ay;
  // The squares neither overflow nor vanish here: the usual case.
  if (big > 0x1p-500 && big < 0x1p500) return 0.5 * Ln(ax * ax + ay * ay);
  if (!std::isfinite(ax) || !std::isfinite(ay)) {
    if (std::isnan(ax) || std::isnan(ay))
      return std::numeric_limits<double>::quiet_NaN();
    return std::numeric_limits<double>::infinity();
  }
  if (big == 0) return -std::numeric_limits<double>::infinity();
  // Scale by a power of two (exact) so that the squares stay in range; the
  // scale comes back as a multiple of ln 2.
  int e;
  std::frexp(big, &e);
  double sx = std::ldexp(ax, -e), sy = std::ldexp(ay, -e);
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + 0.5 * Ln(sx * sx + sy * sy));
}

}  // namespace basicmath
