// Per-pixel cosine colouring of iteration counts for the viewer.
#include "viewer/colouring.h"

#include <cmath>

namespace zv {

namespace {
constexpr double TwoPi = 6.283185307179586;
constexpr double Amplitude = 127;

unsigned char wave(double t) {
  // (1 - cos) lies in [0, 2], so the product never leaves a byte; the
  // truncation is part of the colours users know.
  return static_cast<unsigned char>((1 - std::cos(t)) * Amplitude);
}
}  // namespace

void count_colour(unsigned short n, std::uint64_t limit, unsigned char* rgb) {
  // Limit 0 would make t 0/0; converting that NaN to a byte is undefined,
  // and every count of such a view is 0 anyway, which means black.
  if (limit == 0) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  // Divide first, then scale: the order fixes the rounding of t.
  double t = static_cast<double>(n) / static_cast<double>(limit) * TwoPi;
  rgb[0] = wave(t);
  rgb[1] = wave(3 * t);
  rgb[2] = wave(2 * t);
}

void colour_line(const unsigned short* counts, std::size_t count,
                 std::uint64_t limit, unsigned char* rgb) {
  for (std::size_t m = 0; m < count; ++m)
    count_colour(counts[m], limit, rgb + 3 * m);
}

}  // namespace zv
