// Sample sources past double precision: the deep-zoom engine, and the
// full-precision oracle it is checked against. Built only where the deep
// engine is (it needs MPFR).
//
// Both take their points as fractions of the view's width about its centre,
// not as absolute coordinates, which a double cannot hold at depth. Feed
// them through ComputedLines over FractionArea(area): the pipeline's sample
// positions, anti-aliasing offsets included, then come out as those
// fractions, and the points computed are the double engine's points as far
// as doubles can tell them apart.
#pragma once

#include <cstddef>
#include <memory>

#include "core/mandarea.h"
#include "deep/deep.h"
#include "render/linesource.h"

// The raster of area laid over the plane in units of its width, centred on
// 0: the real parts run from -1/2 to 1/2 and the imaginary parts over
// +-(lenIm / lenRe) / 2, with dotsX, dotsY and limit kept. SampleRe and
// SampleIm over it give the u and v whose point centre + width (u + i v) is
// the point they give over area itself (up to rounding).
MandArea FractionArea(const MandArea& area);

// deep::Engine behind the seam. The reference orbit and its table are built
// by the constructor, which throws as deep::Engine's does (a malformed view:
// std::invalid_argument; a reference that does not fit in memory:
// std::runtime_error).
class DeepLineSource : public SampleLineSource {
 public:
  DeepLineSource(const deep::View& view, const deep::Options& options);
  void ComputeLine(double v, const double* u, std::size_t n,
                   EscapeResult* out) const override;
  const deep::Engine& engine() const { return *deep; }

 private:
  std::unique_ptr<deep::Engine> deep;
};

// Plain MPFR iteration of every point: slow, for small renders and checks.
// The constructor checks the view (throwing std::invalid_argument as
// deep::ExactEscape would), so ComputeLine never throws.
class ExactLineSource : public SampleLineSource {
 public:
  explicit ExactLineSource(const deep::View& view);
  void ComputeLine(double v, const double* u, std::size_t n,
                   EscapeResult* out) const override;

 private:
  deep::View view;
};
