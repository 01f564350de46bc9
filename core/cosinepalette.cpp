// The cosine palette tables.
#include "core/cosinepalette.h"

#include <algorithm>
#include <cmath>

namespace {

unsigned char Channel(double rate, double t) {
  double v = (1 - std::cos(rate * t)) * 127.5;
  // Converting a NaN or an out-of-range double to an integer is undefined.
  if (!(v >= 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<unsigned char>(v);
}

}  // namespace

void CosinePalette::Build(std::uint64_t N, std::uint64_t P, double rateR,
                          double rateG, double rateB) {
  std::uint64_t entries = std::min(N, MaxEntries);
  table.assign(entries, PaletteColour{0, 0, 0});
  for (std::uint64_t i = 0; i < entries; ++i) {
    // Division first, then the scale to a full turn.
    double t = (static_cast<double>(i) / static_cast<double>(P)) *
               6.283185307179586;
    table[i] = PaletteColour{Channel(rateR, t), Channel(rateG, t),
                             Channel(rateB, t)};
  }
}
