// Lines of 16-bit counts through the ordered row producer.
#include "core/linepool.h"

#include <limits>
#include <new>

#include "core/kernel.h"
#include "core/mandelbrot.h"

void LinePool::Start(const MandArea& a) {
  if (a.dotsX > std::numeric_limits<std::size_t>::max() / sizeof(unsigned short)) {
    throw std::bad_alloc();
  }
  KernelKind kind = DefaultKernel();
  rows.Start(a.dotsY, a.dotsX * sizeof(unsigned short),
             [a, kind](std::uint64_t line, unsigned char* out) {
               double im = PixelPosition(a.minIm, a.lenIm, line, a.dotsY);
               ComputeLine(a, im, reinterpret_cast<unsigned short*>(out), false,
                           kind);
             });
}
