// Where the points of a view lie. Pixel m of line l sits where the five
// programs put it (the first and last pixel centres on the view's edges),
// and an anti-aliasing sample at an offset from it in pixel units; an
// offset of 0 gives the pixel's own point to the last bit.
#pragma once

#include <cstdint>

#include "core/mandarea.h"

class SamplePlacement {
 public:
  explicit SamplePlacement(const MandArea& area) : a(area) {}

  // Real part at column x (pixel m plus an offset). With one pixel per
  // line the whole extent counts as one pixel.
  double Re(double x) const {
    if (a.dotsX < 2) return a.minRe + a.lenRe * (0.5 + x);
    // Product first, then the division: the order fixes the last bits the
    // five programs' pictures have.
    return a.minRe + (x * a.lenRe) / static_cast<double>(a.dotsX - 1);
  }
  // Imaginary part at line y (line l, counted from the bottom, plus an
  // offset).
  double Im(double y) const {
    if (a.dotsY < 2) return a.minIm + a.lenIm * (0.5 + y);
    return a.minIm + (y * a.lenIm) / static_cast<double>(a.dotsY - 1);
  }

 private:
  MandArea a;
};
