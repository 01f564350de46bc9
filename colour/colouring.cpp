// Banded and smooth colouring through cosine and gradient palettes.
#include "colour/colouring.h"

#include <algorithm>
#include <cmath>

#include "colour/basicmath.h"

bool operator==(const Colouring& a, const Colouring& b) {
  return a.shading == b.shading && a.palette == b.palette &&
         a.period == b.period && a.inside == b.inside;
}

namespace {

// The largest float below 1: where fractions that round up to 1 go.
constexpr float BelowOne = 0.99999994f;

// The largest escaped count whose N (count + 1) is not NeverEscaped.
constexpr std::uint32_t MaxStoredCount = 0xFFFFFFFDu;

// NF of a point z first seen outside radius R, for lnR = ln R.
float Fraction(double zr, double zi, double lnR) {
  double q = basicmath::LnHypot(zr, zi) / lnR;
  double f = 1 - basicmath::Ln(q) / basicmath::Ln2;
  // Also catches NaN: a non-finite z, or a radius of 1 or less.
  if (!(f > 0)) return 0;
  float nf = static_cast<float>(f);
  return nf < 1 ? nf : BelowOne;
}

// Monotone cubic through the stops of one channel, cyclic: the colour never
// overshoots the stops on either side, and turns smoothly at each.
// Appends, per segment, a, b, c, d with level = a + u (b + u (c + u d)) for
// u in [0, 1).
void AddSpline(const std::vector<Rgb8>& stops, int channel,
               std::vector<double>& out) {
  const std::size_t k = stops.size();
  auto level = [&](std::size_t i) -> double {
    const Rgb8& s = stops[i % k];
    return channel == 0 ? s.r : channel == 1 ? s.g : s.b;
  };
  std::vector<double> slope(k);
  for (std::size_t i = 0; i < k; ++i) {
    double before = level(i) - level(i + k - 1);
    double after = level(i + 1) - level(i);
    // The harmonic mean of the neighbouring secants (zero at an extremum)
    // keeps each segment monotone.
    slope[i] = before * after > 0 ? 2 * before * after / (before + after) : 0;
  }
  for (std::size_t i = 0; i < k; ++i) {
    double y0 = level(i), y1 = level(i + 1);
    double m0 = slope[i], m1 = slope[(i + 1) % k];
    out.insert(out.end(), {y0, m0, 3 * (y1 - y0) - 2 * m0 - m1,
                           2 * (y0 - y1) + m0 + m1});
  }
}

std::uint16_t GradientCode(double level) {
  double v = level * 257 + 0.5;
  if (!(v >= 0)) return 0;
  if (v >= 65535) return 65535;
  return static_cast<std::uint16_t>(v);
}

CountSample Sample(const EscapeResult& e, double lnR) {
  CountSample s;
  if (e.count == NeverEscaped) {
    s.n = NeverEscaped;
  } else if (e.count > MaxStoredCount) {
    s.n = MaxStoredCount + 1;
    s.nf = BelowOne;
  } else {
    s.n = e.count + 1;
    s.nf = Fraction(e.zr, e.zi, lnR);
  }
  return s;
}

}  // namespace

CountSample ToCountSample(const EscapeResult& e, double bailout) {
  return Sample(e, basicmath::Ln(bailout));
}

CountSample FromCount16(std::uint16_t count) {
  CountSample s;
  s.n = count == 0 ? NeverEscaped : std::uint32_t{count} + 1;
  return s;
}

Colourer::Colourer(const Colouring& c, double bailout, std::uint32_t limit)
    : colouring(c), bailout(bailout), inside(To16(c.inside)) {
  lnBailout = basicmath::Ln(bailout);
  if (c.palette.kind == Palette::Gradient)
    for (int ch = 0; ch < 3; ++ch) AddSpline(c.palette.stops, ch, spline);
  // Escaped counts lie below the limit; beyond 65536 entries the table
  // would cost more to fill than most pictures spend looking colours up.
  std::uint32_t entries = std::min<std::uint32_t>(limit, 65536);
  bands.resize(entries);
  for (std::uint32_t n = 0; n < entries; ++n) bands[n] = Cycle(n);
}

Rgb16 Colourer::Cycle(double v) const {
  const Palette& p = colouring.palette;
  if (p.kind == Palette::Cosine) {
    // The order of the five programs' palette: count / period first, then
    // the full turn, then the rate; any other order changes the last bits.
    double t = (v / colouring.period) * 6.283185307179586;
    return Rgb16{CosineCode((1 - std::cos(p.rates[0] * t)) * 127.5),
                 CosineCode((1 - std::cos(p.rates[1] * t)) * 127.5),
                 CosineCode((1 - std::cos(p.rates[2] * t)) * 127.5)};
  }
  if (p.stops.empty()) return inside;
  double t = v / colouring.period;
  // Exact for t >= 0; a period so small that t overflows gives NaN here.
  double phase = t - std::floor(t);
  if (!(phase >= 0 && phase < 1)) phase = 0;
  const std::size_t k = p.stops.size();
  double x = phase * static_cast<double>(k);
  std::size_t seg = static_cast<std::size_t>(x);
  if (seg >= k) seg = k - 1;  // phase * k may round up to k
  double u = x - static_cast<double>(seg);
  std::uint16_t out[3];
  for (int ch = 0; ch < 3; ++ch) {
    const double* s = &spline[(ch * k + seg) * 4];
    out[ch] = GradientCode(s[0] + u * (s[1] + u * (s[2] + u * s[3])));
  }
  return Rgb16{out[0], out[1], out[2]};
}

Rgb16 Colourer::Colour(CountSample s) const {
  if (s.n == NotComputed || s.n == NeverEscaped) return inside;
  std::uint32_t count = s.n - 1;
  if (colouring.shading == Shading::Bands)
    return count < bands.size() ? bands[count] : Cycle(count);
  return Cycle(static_cast<double>(count) + static_cast<double>(s.nf));
}

Rgb16 Colourer::Colour(const EscapeResult& e) const {
  if (colouring.shading == Shading::Smooth) {
    if (e.count == NeverEscaped) return inside;
    return Colour(Sample(e, lnBailout));
  }
  // Bands read no fraction: skip the logarithms.
  if (e.count == NeverEscaped) return inside;
  std::uint32_t count = std::min(e.count, MaxStoredCount);
  return count < bands.size() ? bands[count] : Cycle(count);
}

void Colourer::ColourLine(const EscapeResult* in, std::size_t n,
                          Rgb16* out) const {
  for (std::size_t i = 0; i < n; ++i) out[i] = Colour(in[i]);
}

void Colourer::ColourLine(const CountSample* in, std::size_t n,
                          Rgb16* out) const {
  for (std::size_t i = 0; i < n; ++i) out[i] = Colour(in[i]);
}
