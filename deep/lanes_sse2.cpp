// The double pixel loop for any x86-64 processor: two lanes a register,
// two registers.
#include <emmintrin.h>

#include "deep/lanes_kernel.h"

namespace {

struct Sse2Ops {
  using V = __m128d;
  static constexpr int Width = 2;
  static V Load(const double* p) { return _mm_load_pd(p); }
  static void Store(double* p, V v) { _mm_store_pd(p, v); }
  static V Zero() { return _mm_setzero_pd(); }
  static V Set(double x) { return _mm_set1_pd(x); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  // b without the lanes set in a.
  static V AndNot(V a, V b) { return _mm_andnot_pd(a, b); }
  static V Or(V a, V b) { return _mm_or_pd(a, b); }
  // Ordered: a NaN compares false.
  static V Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
  // Not less: a NaN compares true.
  static V NotLt(V a, V b) { return _mm_cmpnlt_pd(a, b); }
  // glitch with the lanes of m set to all ones.
  static V Flag(V glitch, V m) { return Or(glitch, m); }
  static int Mask(V m) { return _mm_movemask_pd(m); }
  static void LoadPairs(const double* const* p, V& re, V& im) {
    V a = _mm_loadu_pd(p[0]), b = _mm_loadu_pd(p[1]);
    re = _mm_unpacklo_pd(a, b);
    im = _mm_unpackhi_pd(a, b);
  }
  static V Gather(const double* const* p) { return _mm_set_pd(*p[1], *p[0]); }
};

}  // namespace

void deep::lanes::LineSse2(Job& job) {
  // With the table, lanes meet runs every few steps and wait for each
  // other's: fewer of them pay. Without, two registers hide the latency of
  // each step's chain of operations.
  if (job.blaLine) {
    LaneLoop<Sse2Ops, 1> loop(job);
    loop.Run();
  } else {
    LaneLoop<Sse2Ops, 2> loop(job);
    loop.Run();
  }
}
