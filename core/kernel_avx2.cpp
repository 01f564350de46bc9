// The lane kernel for processors with AVX2: four doubles per register. Only
// this file is compiled for AVX2; the dispatcher calls it after asking the
// processor.
#include <immintrin.h>

#include "core/kernel_isa.h"
#include "core/kernel_lanes.h"

namespace {

struct Avx2Ops {
  using V = __m256d;
  using I = __m256i;
  static constexpr int Width = 4;
  static constexpr int Full = 0xf;
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static V LoadU(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, V v) { _mm256_store_pd(p, v); }
  static V LoadMask(const std::uint64_t* p) {
    return _mm256_castsi256_pd(_mm256_load_si256(reinterpret_cast<const I*>(p)));
  }
  static void StoreMask(std::uint64_t* p, V m) {
    _mm256_store_si256(reinterpret_cast<I*>(p), _mm256_castpd_si256(m));
  }
  static V Set(double x) { return _mm256_set1_pd(x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V Max(V a, V b) { return _mm256_max_pd(a, b); }
  static V Div(V a, V b) { return _mm256_div_pd(a, b); }
  static V Sqrt(V a) { return _mm256_sqrt_pd(a); }
  static V Iota() { return _mm256_set_pd(3, 2, 1, 0); }
  static V Le(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  // Ordered and quiet: a NaN compares false and raises nothing.
  static V Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static V Eq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static V And(V a, V b) { return _mm256_and_pd(a, b); }
  static V Or(V a, V b) { return _mm256_or_pd(a, b); }
  // b without the lanes set in a.
  static V AndNot(V a, V b) { return _mm256_andnot_pd(a, b); }
  // b where the mask is set, a elsewhere.
  static V Blend(V a, V b, V m) { return _mm256_blendv_pd(a, b, m); }
  static int Mask(V m) { return _mm256_movemask_pd(m); }
  static I IZero() { return _mm256_setzero_si256(); }
  // A set mask is -1 as an integer: subtracting it counts the lane.
  static I CountIf(I c, V m) {
    return _mm256_sub_epi64(c, _mm256_castpd_si256(m));
  }
  static void IStore(std::uint64_t* p, I v) {
    _mm256_store_si256(reinterpret_cast<I*>(p), v);
  }
};

}  // namespace

void LineAvx2(const LineJob& job) {
  LaneKernel<Avx2Ops, 4, 3, false> kernel(job);
  kernel.Run();
}

void EscapeLineAvx2(const LineJob& job) {
  LaneKernel<Avx2Ops, 4, 3, true> kernel(job);
  kernel.Run();
}
