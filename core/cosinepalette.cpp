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
  red.assign(entries, 0);
  green.assign(entries, 0);
  blue.assign(entries, 0);
  for (std::uint64_t i = 0; i < entries; ++i) {
    // Division first, then the scale to a full turn.
    double t = (static_cast<double>(i) / static_cast<double>(P)) *
               6.283185307179586;
    red[i] = Channel(rateR, t);
    green[i] = Channel(rateG, t);
    blue[i] = Channel(rateB, t);
  }
}

PaletteColour CosinePalette::Colour(std::uint32_t count,
                                    std::uint32_t reLimit) const {
  if (reLimit != 0 && count > reLimit) count = 0;
  if (count >= red.size()) return PaletteColour{0, 0, 0};
  return PaletteColour{red[count], green[count], blue[count]};
}
