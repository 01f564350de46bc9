// A view of the complex plane: the rectangle, the pixel raster laid over it,
// the iteration limit and the optional Julia constant. Copied by value and
// never validated: zero or negative extents and zero counts are kept as given.
#pragma once

#include <cstdint>

struct MandArea {
  double minRe = -2;  // lower-left corner, real part
  double minIm = -2;  // lower-left corner, imaginary part
  double lenRe = 4;   // extent along the real axis
  double lenIm = 4;   // extent along the imaginary axis
  bool julia = false;  // true: iterate with the constant below
  double juliaRe = -0.8;
  double juliaIm = 0.156;
  std::uint64_t dotsX = 400;  // pixels per line
  std::uint64_t dotsY = 400;  // lines; line 0 lies at minIm
  std::uint64_t limit = 100;  // iteration limit
};
