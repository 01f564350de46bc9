#include "render/deepsource.h"

MandArea FractionArea(const MandArea& area) {
  MandArea f = area;
  f.lenRe = 1;
  f.minRe = -0.5;
  // The same ratio the double raster has, whatever the width's exponent
  // (lenIm / lenRe would be 0 / 0 for a width below double's range).
  f.lenIm = static_cast<double>(area.dotsY) / static_cast<double>(area.dotsX);
  f.minIm = -f.lenIm * 0.5;
  return f;
}

DeepLineSource::DeepLineSource(const deep::View& view,
                               const deep::Options& options)
    : deep(std::make_unique<deep::Engine>(view, options)) {}

void DeepLineSource::ComputeLine(double v, const double* u, std::size_t n,
                                 EscapeResult* out) const {
  deep->Line(v, u, n, out);
}

ExactLineSource::ExactLineSource(const deep::View& view) : view(view) {
  // A point at limit 0 costs nothing but the checks the oracle makes.
  deep::View probe = view;
  probe.limit = 0;
  deep::ExactEscape(probe, 0, 0);
}

void ExactLineSource::ComputeLine(double v, const double* u, std::size_t n,
                                  EscapeResult* out) const {
  deep::ExactLine(view, v, u, n, out);
}
