// The 16-bit codes of cosine-palette levels.
#include "colour/colour.h"

std::uint16_t CosineCode(double x) {
  // The five programs' guards: a NaN or negative level is black, and the
  // level is capped at 255 before it is truncated.
  if (!(x >= 0)) return 0;
  if (x >= 255) return 65535;
  unsigned whole = static_cast<unsigned>(x);
  // x - whole is exact (the two are within a factor of two, or whole is 0),
  // and so is the scaling by 256, so the low byte stays below 257 and
  // To8 gives back `whole`.
  unsigned low = static_cast<unsigned>((x - whole) * 256);
  return static_cast<std::uint16_t>(whole * 257 + low);
}
