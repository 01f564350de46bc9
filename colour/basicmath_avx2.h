// Ln's normal-range path on four lanes, for the line forms that want the
// logarithm in the middle of their own vector loops. Internal to colour.
#pragma once

namespace basicmath {
// The cells of [1, 2) that Ln reduces its mantissa to: the mantissa's top
// seven bits pick one; m0 is its lower end.
struct LnCells {
  double ln[128];   // ln m0
  double inv[128];  // 1 / m0
};
extern const LnCells lnCells;

// ln 2 in two parts (Cody and Waite): k * Ln2Hi is exact for the k used
// here, so reducing by whole multiples of ln 2 loses nothing at the ends of
// the range.
constexpr double Ln2Hi = 6.93147180369123816490e-01;
constexpr double Ln2Lo = 1.90821492927058770002e-10;
}  // namespace basicmath

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <limits>

namespace basicmath {
namespace avx2 {

// Ln of each lane of v, bit for bit, for the lanes whose bit is set in the
// returned mask (the normal finite positive ones); the other lanes of *out
// hold nothing of use and are left to the plain function. Every step is one
// IEEE operation of Ln's, in its order; m0's bits are built from the
// mantissa's top seven bits instead of from j / 128 (the same value), and k
// from the biased exponent by the 2^52 trick (exact for these small
// integers).
__attribute__((target("avx2"))) inline int LnNormal(__m256d v, __m256d* out) {
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
  __m256d normal = _mm256_and_pd(_mm256_cmp_pd(v, least, _CMP_GE_OQ),
                                 _mm256_cmp_pd(v, most, _CMP_LE_OQ));
  __m256i bits = _mm256_castpd_si256(v);
  __m256i j =
      _mm256_and_si256(_mm256_srli_epi64(bits, 45), _mm256_set1_epi64x(127));
  __m256d m = _mm256_castsi256_pd(
      _mm256_or_si256(_mm256_and_si256(bits, mantissa), one));
  __m256d m0 = _mm256_castsi256_pd(
      _mm256_or_si256(_mm256_and_si256(bits, cellBits), one));
  __m256d biased = _mm256_sub_pd(
      _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52), magic)),
      two52);
  __m256d k = _mm256_sub_pd(biased, bias);
  // 1 / m0 divided out, the bits of the table Ln reads, without a gather.
  __m256d inv = _mm256_div_pd(c1, m0);
  __m256d lnm0 = _mm256_i64gather_pd(lnCells.ln, j, 8);
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
  *out = _mm256_add_pd(
      _mm256_mul_pd(k, hi),
      _mm256_add_pd(_mm256_mul_pd(k, lo), _mm256_add_pd(lnm0, p)));
  return _mm256_movemask_pd(normal);
}

}  // namespace avx2
}  // namespace basicmath
#endif
