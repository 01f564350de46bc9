// The double pixel loop for processors with AVX-512 (F and DQ): eight lanes
// a register. Only this file is compiled for AVX-512, and it uses no fused
// multiply-add (the instruction set has one, but -ffp-contract=off keeps
// the compiler from forming it, and the intrinsics below ask for none); the
// dispatcher asks the processor first.
#include <immintrin.h>

#include "deep/lanes_kernel.h"

namespace {

struct Avx512Ops {
  using V = __m512d;
  using M = __mmask8;
  static constexpr int Width = 8;
  static V Load(const double* p) { return _mm512_load_pd(p); }
  static void Store(double* p, V v) { _mm512_store_pd(p, v); }
  static V Set(double x) { return _mm512_set1_pd(x); }
  static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
  // Comparisons give masks here, not lanes of all ones.
  static M Or(M a, M b) { return static_cast<M>(a | b); }
  static V And(V a, V b) { return _mm512_and_pd(a, b); }
  // b without the lanes set in a.
  static M AndNot(M a, M b) { return static_cast<M>(~a & b); }
  // Ordered: a NaN compares false.
  static M Lt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  // Not less: a NaN compares true.
  static M NotLt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLT_UQ); }
  // glitch with the lanes of m set to all ones.
  static V Flag(V glitch, M m) {
    return _mm512_mask_mov_pd(glitch, m,
                              _mm512_castsi512_pd(_mm512_set1_epi64(-1)));
  }
  static int Mask(M m) { return static_cast<int>(m); }
  // re, im of eight steps, one pointer a lane.
  static void LoadPairs(const double* const* p, V& re, V& im) {
    V lo = _mm512_zextpd128_pd512(_mm_loadu_pd(p[0]));
    V hi = _mm512_zextpd128_pd512(_mm_loadu_pd(p[1]));
    lo = _mm512_insertf64x2(lo, _mm_loadu_pd(p[2]), 1);
    hi = _mm512_insertf64x2(hi, _mm_loadu_pd(p[3]), 1);
    lo = _mm512_insertf64x2(lo, _mm_loadu_pd(p[4]), 2);
    hi = _mm512_insertf64x2(hi, _mm_loadu_pd(p[5]), 2);
    lo = _mm512_insertf64x2(lo, _mm_loadu_pd(p[6]), 3);
    hi = _mm512_insertf64x2(hi, _mm_loadu_pd(p[7]), 3);
    // The masked forms with every lane: the plain ones start from an
    // undefined register, which GCC 12 then warns may be uninitialised.
    re = _mm512_mask_unpacklo_pd(lo, 0xff, lo, hi);
    im = _mm512_mask_unpackhi_pd(hi, 0xff, lo, hi);
  }
  static V Gather(const double* const* p) {
    return _mm512_set_pd(*p[7], *p[6], *p[5], *p[4], *p[3], *p[2], *p[1],
                         *p[0]);
  }
};

}  // namespace

void deep::lanes::LineAvx512(Job& job) {
  // As with AVX2: one register with the table, two without.
  if (job.blaLine) {
    LaneLoop<Avx512Ops, 1> loop(job);
    loop.Run();
  } else {
    LaneLoop<Avx512Ops, 2> loop(job);
    loop.Run();
  }
}
