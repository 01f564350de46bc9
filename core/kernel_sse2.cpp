// The lane kernel for any x86-64 processor: two doubles per SSE2 register.
#include <emmintrin.h>

#include "core/kernel_isa.h"
#include "core/kernel_lanes.h"

namespace {

struct Sse2Ops {
  using V = __m128d;
  using I = __m128i;
  static constexpr int Width = 2;
  static constexpr int Full = 0x3;
  static V Load(const double* p) { return _mm_load_pd(p); }
  static V LoadU(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_store_pd(p, v); }
  static V LoadMask(const std::uint64_t* p) {
    return _mm_castsi128_pd(_mm_load_si128(reinterpret_cast<const I*>(p)));
  }
  static void StoreMask(std::uint64_t* p, V m) {
    _mm_store_si128(reinterpret_cast<I*>(p), _mm_castpd_si128(m));
  }
  static V Set(double x) { return _mm_set1_pd(x); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V Max(V a, V b) { return _mm_max_pd(a, b); }
  static V Div(V a, V b) { return _mm_div_pd(a, b); }
  static V Sqrt(V a) { return _mm_sqrt_pd(a); }
  static V Iota() { return _mm_set_pd(1, 0); }
  static V Le(V a, V b) { return _mm_cmple_pd(a, b); }
  // Quiet comparisons: a NaN compares false and raises nothing.
  static V Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
  static V Eq(V a, V b) { return _mm_cmpeq_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  static V Or(V a, V b) { return _mm_or_pd(a, b); }
  // b without the lanes set in a.
  static V AndNot(V a, V b) { return _mm_andnot_pd(a, b); }
  // b where the mask is set, a elsewhere.
  static V Blend(V a, V b, V m) {
    return _mm_or_pd(_mm_and_pd(m, b), _mm_andnot_pd(m, a));
  }
  static int Mask(V m) { return _mm_movemask_pd(m); }
  static I IZero() { return _mm_setzero_si128(); }
  // A set mask is -1 as an integer: subtracting it counts the lane.
  static I CountIf(I c, V m) { return _mm_sub_epi64(c, _mm_castpd_si128(m)); }
  static void IStore(std::uint64_t* p, I v) {
    _mm_store_si128(reinterpret_cast<I*>(p), v);
  }
};

}  // namespace

void LineSse2(const LineJob& job) {
  LaneKernel<Sse2Ops, 4, 3, false> kernel(job);
  kernel.Run();
}

void EscapeLineSse2(const LineJob& job) {
  LaneKernel<Sse2Ops, 4, 3, true> kernel(job);
  kernel.Run();
}
