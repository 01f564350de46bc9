// The lane kernel for processors with AVX2: four doubles per register. Only
// this file is compiled for AVX2; the dispatcher calls it after asking the
// processor.
#include <immintrin.h>

#include "core/kernel_isa.h"
#include "core/kernel_lanes.h"

namespace {

struct Avx2Ops {
  using V = __m256d;
  static constexpr int Width = 4;
  static constexpr int Full = 0xf;
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, V v) { _mm256_store_pd(p, v); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  // Ordered and quiet: a NaN compares false and raises nothing.
  static V Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static V Eq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static V And(V a, V b) { return _mm256_and_pd(a, b); }
  static int Mask(V m) { return _mm256_movemask_pd(m); }
};

}  // namespace

void LineAvx2(const LineJob& job) {
  LaneKernel<Avx2Ops, 4> kernel(job);
  kernel.Run();
}
