// Chooses a line kernel and hands it the line.
#include "core/kernel.h"

#include <cmath>

#include "core/kernel_isa.h"
#include "core/mandelbrot.h"

namespace {

void PlainLine(const MandArea& a, double im, unsigned short* row,
               bool onlyZeros) {
  for (std::uint64_t m = 0; m < a.dotsX; ++m) {
    if (onlyZeros && row[m] != 0) continue;
    double re = PixelPosition(a.minRe, a.lenRe, m, a.dotsX);
    if (a.julia) {
      row[m] = EscapeCount(re, im, a.juliaRe, a.juliaIm,
                           std::hypot(re, im) + 2, a.limit);
    } else {
      row[m] = EscapeCount(re, im, re, im, 2, a.limit);
    }
  }
}

}  // namespace

bool KernelSupported(KernelKind kind) {
  switch (kind) {
    case KernelKind::Plain:
    case KernelKind::Sse2:
      return true;
    case KernelKind::Avx2:
      // Also false when the operating system does not save the wide
      // registers. Initialised here as well, for callers that run before
      // the runtime library's own initialisation.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
  }
  return false;
}

KernelKind DefaultKernel() {
#ifdef MANDEL_PLAIN_ENGINE
  return KernelKind::Plain;
#else
  static const KernelKind best =
      KernelSupported(KernelKind::Avx2) ? KernelKind::Avx2 : KernelKind::Sse2;
  return best;
#endif
}

void ComputeLine(const MandArea& a, double im, unsigned short* row,
                 bool onlyZeros, KernelKind kind, bool detectCycles) {
  if (!KernelSupported(kind)) kind = KernelKind::Plain;
  // The lanes add the Julia constant without looking at it; an infinite or
  // NaN constant takes the complete complex product, which only the plain
  // kernel has.
  if (a.julia && !(std::isfinite(a.juliaRe) && std::isfinite(a.juliaIm))) {
    kind = KernelKind::Plain;
  }
  if (kind == KernelKind::Plain) {
    PlainLine(a, im, row, onlyZeros);
    return;
  }
  LineJob job{a.minRe,   a.lenRe, a.dotsX, im,        a.julia,
              a.juliaRe, a.juliaIm, a.limit, row,     onlyZeros,
              detectCycles, nullptr, 0, nullptr};
  if (kind == KernelKind::Avx2) {
    LineAvx2(job);
  } else {
    LineSse2(job);
  }
}
