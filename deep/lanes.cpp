// Chooses the double pixel loop's kernel.
#include "deep/lanes.h"

#include "deep/deep.h"

namespace deep {

bool PixelLoopSupported(PixelLoop loop) {
  switch (loop) {
    case PixelLoop::Auto:
    case PixelLoop::Plain:
    case PixelLoop::Sse2:
      return true;
    case PixelLoop::Avx2:
      // Also false when the operating system does not save the wide
      // registers.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case PixelLoop::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") &&
             __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("popcnt");
  }
  return false;
}

namespace lanes {

bool Run(Job& job, PixelLoop loop) {
  if (!PixelLoopSupported(loop)) loop = PixelLoop::Auto;
  if (loop == PixelLoop::Auto) {
    static const PixelLoop best = [] {
      for (PixelLoop widest : {PixelLoop::Avx512, PixelLoop::Avx2}) {
        if (PixelLoopSupported(widest)) return widest;
      }
      return PixelLoop::Sse2;
    }();
    loop = best;
  }
  switch (loop) {
    case PixelLoop::Avx512:
      LineAvx512(job);
      return true;
    case PixelLoop::Avx2:
      LineAvx2(job);
      return true;
    case PixelLoop::Sse2:
      LineSse2(job);
      return true;
    default:
      return false;
  }
}

}  // namespace lanes
}  // namespace deep
