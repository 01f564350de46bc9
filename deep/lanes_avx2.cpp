// The double pixel loop for processors with AVX2: four lanes a register,
// two registers. Only this file is compiled for AVX2 (and POPCNT, which
// every such processor has), without FMA; the dispatcher asks the
// processor first.
#include <immintrin.h>

#include "deep/lanes_kernel.h"

namespace {

struct Avx2Ops {
  using V = __m256d;
  static constexpr int Width = 4;
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, V v) { _mm256_store_pd(p, v); }
  static V Zero() { return _mm256_setzero_pd(); }
  static V Set(double x) { return _mm256_set1_pd(x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V And(V a, V b) { return _mm256_and_pd(a, b); }
  // b without the lanes set in a.
  static V AndNot(V a, V b) { return _mm256_andnot_pd(a, b); }
  static V Or(V a, V b) { return _mm256_or_pd(a, b); }
  // Ordered: a NaN compares false.
  static V Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  // Not less: a NaN compares true.
  static V NotLt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NLT_UQ); }
  // glitch with the lanes of m set to all ones.
  static V Flag(V glitch, V m) { return Or(glitch, m); }
  static int Mask(V m) { return _mm256_movemask_pd(m); }
  // re, im of four steps, one pointer a lane.
  static void LoadPairs(const double* const* p, V& re, V& im) {
    V lo = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p[0])),
                                _mm_loadu_pd(p[2]), 1);
    V hi = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p[1])),
                                _mm_loadu_pd(p[3]), 1);
    re = _mm256_unpacklo_pd(lo, hi);
    im = _mm256_unpackhi_pd(lo, hi);
  }
  static V Gather(const double* const* p) {
    return _mm256_set_pd(*p[3], *p[2], *p[1], *p[0]);
  }
};

}  // namespace

void deep::lanes::LineAvx2(Job& job) {
  // With the table, lanes meet runs every few steps and wait for each
  // other's: fewer of them pay. Without, two registers hide the latency of
  // each step's chain of operations.
  if (job.blaLine) {
    LaneLoop<Avx2Ops, 1> loop(job);
    loop.Run();
  } else {
    LaneLoop<Avx2Ops, 2> loop(job);
    loop.Run();
  }
}
