// How the viewer turns the counts of a run (or of an opened count file) into
// the picture: the window's own banded cosine colouring, which is the
// default and never changes, or smooth colouring through a palette with a
// period of its own, as mandel offers it. The counts are kept, so switching
// between the two re-colours the picture without computing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "colour/colouring.h"
#include "colour/palette.h"

namespace zv {

struct colourmode {
  bool smooth = false;  // false: the window's banded colouring
  // Used only when smooth.
  Palette palette = DefaultPalette();
  double period = DefaultPeriod;  // counts per cycle, finite and > 0
};

bool operator==(const colourmode& a, const colourmode& b);
inline bool operator!=(const colourmode& a, const colourmode& b) {
  return !(a == b);
}

// The palettes the viewer's menu offers for smooth colouring, the default
// first; name is "日本語 (English)" for the menu.
struct namedpalette {
  const char* name;
  Palette palette;
};
const std::vector<namedpalette>& palette_choices();

// The palette after mode's among palette_choices, wrapping round; the first
// when mode's is none of them (a palette from an opened file).
Palette next_palette(const colourmode& mode);

// The periods the menu offers, and the bounds of halving and doubling.
const std::vector<double>& period_choices();
constexpr double MinPeriod = 1, MaxPeriod = 1 << 20;
// The period halved (factor 0.5) or doubled (2), kept within the bounds.
double scaled_period(double period, double factor);

// The colouring mandel would use for the same picture: banded cosine with
// the window's channel rates and the limit as period, or the smooth
// palette. mandel's cosine levels are (1 - cos) * 127.5, a shade brighter
// than the window's 127, so banded pictures agree in their bands, not to
// the byte.
Colouring mandel_colouring(const colourmode& mode, std::uint32_t limit);

// The mode that shows a view's colouring, for a view read from a file:
// smooth colouring as it is, anything banded as the window's own banding
// (the one banded colouring the window has; an opened picture of other
// bands is shown in the window's).
colourmode mode_of(const Colouring& colouring);

// Colours samples of one view, in the count files' convention: n is 0 for
// a sample not computed, NeverEscaped for one that never escaped, else the
// escape count plus one, and nf the fraction for smooth colouring. Builds
// its tables once (a few milliseconds for a smooth palette), so make one
// per re-colouring, not per line.
class countcolourer {
 public:
  countcolourer(const colourmode& mode, std::uint32_t limit);
  ~countcolourer();
  countcolourer(const countcolourer&) = delete;
  countcolourer& operator=(const countcolourer&) = delete;

  // Writes count red-green-blue byte triples to rgb. Banded: the window's
  // colour of the escape count (black for samples not computed or never
  // escaped, as the window's count 0 is). Smooth: the palette's colour of
  // count + nf, black inside.
  void line(const std::uint32_t* n, const float* nf, std::size_t count,
            unsigned char* rgb) const;

 private:
  std::uint32_t limit;
  std::unique_ptr<Colourer> smooth;  // null for the banded colouring
};

}  // namespace zv
