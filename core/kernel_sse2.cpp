// The lane kernel for any x86-64 processor: two doubles per SSE2 register.
#include <emmintrin.h>

#include "core/kernel_isa.h"
#include "core/kernel_lanes.h"

namespace {

struct Sse2Ops {
  using V = __m128d;
  static constexpr int Width = 2;
  static constexpr int Full = 0x3;
  static V Load(const double* p) { return _mm_load_pd(p); }
  static void Store(double* p, V v) { _mm_store_pd(p, v); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
  static V Eq(V a, V b) { return _mm_cmpeq_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  static int Mask(V m) { return _mm_movemask_pd(m); }
};

}  // namespace

void LineSse2(const LineJob& job) {
  LaneKernel<Sse2Ops, 4> kernel(job);
  kernel.Run();
}
