// The viewer's two colourings of kept counts.
#include "viewer/countcolour.h"

#include <cmath>
#include <utility>
#include <vector>

#include "core/escape.h"

namespace zv {

namespace {
constexpr double TwoPi = 6.283185307179586;

unsigned char wave(double t) {
  return static_cast<unsigned char>((1 - std::cos(t)) * 127);
}

// The window's colour of an escape count: the same operations, in the same
// order, as count_colour, which takes the 16-bit counts of the window's own
// engine; counts of an opened file may be larger, and are not wrapped.
void banded(std::uint32_t count, std::uint32_t limit, unsigned char* rgb) {
  if (limit == 0 || count == 0) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  const double t =
      static_cast<double>(count) / static_cast<double>(limit) * TwoPi;
  rgb[0] = wave(t);
  rgb[1] = wave(3 * t);
  rgb[2] = wave(2 * t);
}
}  // namespace

const std::vector<namedpalette>& palette_choices() {
  static const std::vector<namedpalette> choices = [] {
    std::vector<namedpalette> out;
    const std::pair<const char*, const char*> texts[] = {
        {"白と金 (blue, white and gold)", nullptr},
        {"白黒 (black and white)", "gradient:#000000,#ffffff"},
        {"炎 (fire)", "gradient:#000000,#800000,#ff8000,#ffff80,#ffffff"},
        {"海 (sea)", "gradient:#001018,#005078,#40c0d0,#f0fff0"},
        {"余弦 1,3,2 (cosine 1,3,2)", "cosine:1,3,2"},
        {"余弦 3,2,1 (cosine 3,2,1)", "cosine:3,2,1"},
    };
    for (const auto& t : texts) {
      Palette p = DefaultPalette();
      std::string why;
      if (t.second && !ParsePalette(t.second, p, why)) continue;
      out.push_back({t.first, p});
    }
    return out;
  }();
  return choices;
}

Palette next_palette(const colourmode& mode) {
  const auto& choices = palette_choices();
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (choices[i].palette == mode.palette)
      return choices[(i + 1) % choices.size()].palette;
  return choices.front().palette;
}

const std::vector<double>& period_choices() {
  static const std::vector<double> periods = {8,   16,  32,   64,  128,
                                              256, 512, 1024, 4096};
  return periods;
}

double scaled_period(double period, double factor) {
  const double p = period * factor;
  if (!(p >= MinPeriod)) return MinPeriod;  // also NaN
  return p > MaxPeriod ? MaxPeriod : p;
}

bool operator==(const colourmode& a, const colourmode& b) {
  if (a.smooth != b.smooth) return false;
  return !a.smooth || (a.palette == b.palette && a.period == b.period);
}

Colouring mandel_colouring(const colourmode& mode, std::uint32_t limit) {
  Colouring c;
  if (mode.smooth) {
    c.shading = Shading::Smooth;
    c.palette = mode.palette;
    c.period = mode.period;
    return c;
  }
  c.shading = Shading::Bands;
  c.palette.kind = Palette::Cosine;
  c.palette.rates[0] = 1;  // red, green, blue as the window has them
  c.palette.rates[1] = 3;
  c.palette.rates[2] = 2;
  c.palette.stops.clear();
  // A period of 0 is refused; a view of limit 0 is all inside anyway.
  c.period = limit == 0 ? 1 : limit;
  return c;
}

colourmode mode_of(const Colouring& colouring) {
  colourmode mode;
  if (colouring.shading == Shading::Smooth) {
    mode.smooth = true;
    mode.palette = colouring.palette;
    mode.period = colouring.period;
  }
  return mode;
}

countcolourer::countcolourer(const colourmode& mode, std::uint32_t limit)
    : limit(limit) {
  if (mode.smooth) {
    Colouring c = mandel_colouring(mode, limit);
    // The radius only enters when colouring engine results; kept counts
    // carry their fraction already.
    smooth = std::make_unique<Colourer>(c, 2.0, limit);
  }
}

countcolourer::~countcolourer() = default;

void countcolourer::line(const std::uint32_t* n, const float* nf,
                         std::size_t count, unsigned char* rgb) const {
  if (!smooth) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t s = n[i];
      const bool escaped = s != NotComputed && s != NeverEscaped;
      banded(escaped ? s - 1 : 0, limit, rgb + 3 * i);
    }
    return;
  }
  // A bounded scratch line keeps memory flat for any picture width.
  constexpr std::size_t Chunk = 1024;
  Rgb16 out[Chunk];
  for (std::size_t at = 0; at < count; at += Chunk) {
    const std::size_t k = count - at < Chunk ? count - at : Chunk;
    smooth->ColourLine(n + at, nf + at, k, out);
    for (std::size_t i = 0; i < k; ++i) {
      const Rgb8 c = To8(out[i]);
      unsigned char* p = rgb + 3 * (at + i);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
}

}  // namespace zv
