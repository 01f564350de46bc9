// Colouring of escape-time samples: banded (whole counts) or smooth
// (continuous counts), cycled through a palette with a period of its own,
// and the per-sample data of count files (N, NF) from which the same colours
// are made again later.
//
// The continuous count of an escaped sample is count + NF, with
//   NF = 1 - log2(ln|z| / ln R)
// where z is the first point seen outside the bailout radius R. This is the
// usual mu = n + 1 - log2(ln|z|) shifted by the constant log2(ln R), which
// keeps NF within [0, 1) for every |z| in (R, R^2], so that a count file can
// hold the whole count and the fraction apart (N = count + 1; N + NF - 1 is
// the continuous count). NF is computed in float arithmetic, to within a
// few units of its last place, with basic operations only (no library
// logarithm), stored as a float, and every colour is made from that
// float, so a picture coloured from a count file equals the picture coloured
// while rendering, bit for bit, on every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "colour/colour.h"
#include "colour/palette.h"
#include "core/escape.h"

enum class Shading { Smooth, Bands };

// Counts per palette cycle when none is given. Independent of the limit, so
// a higher limit only adds detail instead of darkening the picture.
constexpr double DefaultPeriod = 128;

// The escape radius when none is given: 2^8. The smooth count assumes
// z_{n+1} = z_n^2, which is off by c / z_n^2; at |z| >= 256 that moves a
// colour by less than 5e-6 of a count, far below what a 16-bit image shows,
// for about three more iterations per escaped point than radius 2.
constexpr double DefaultBailout = 256;

struct Colouring {
  Shading shading = Shading::Smooth;
  Palette palette = DefaultPalette();
  double period = DefaultPeriod;  // counts per cycle; finite and > 0
  Rgb8 inside;                    // colour of points that never escaped
};

bool operator==(const Colouring& a, const Colouring& b);
inline bool operator!=(const Colouring& a, const Colouring& b) {
  return !(a == b);
}

// One sample of a count file.
struct CountSample {
  std::uint32_t n = 0;  // 0: not computed; NeverEscaped; else count + 1
  float nf = 0;         // in [0, 1); 0 for samples that did not escape
};

constexpr std::uint32_t NotComputed = 0;

// The count-file sample of one engine result for bailout radius `bailout`.
// NeverEscaped stays NeverEscaped (NF 0). An escaped count of 2^32 - 2 (only
// possible at limit 2^32 - 1), whose N would collide with NeverEscaped, is
// stored as N = 2^32 - 2 with the largest NF below 1, one count short but
// never taken for the inside. A z that is not finite, or farther out than
// R^2, gives NF 0; a z on the radius itself the largest NF below 1.
CountSample ToCountSample(const EscapeResult& e, double bailout);

// ToCountSample of each of n engine results at one radius, into n[i] and
// nf[i]: the same bits, with the radius's logarithm taken once and the
// logarithms of the line computed together.
// The instruction set ToCountSamples uses: the widest the processor has, or
// one named for tests and benchmarks. Every one gives the same bits.
enum class SampleIsa { Auto, Plain, Avx2, Avx512 };
bool SampleIsaSupported(SampleIsa isa);
void ToCountSamples(const EscapeResult* in, std::size_t count, double bailout,
                    std::uint32_t* n, float* nf,
                    SampleIsa isa = SampleIsa::Auto);

// The count-file sample of a 16-bit count of the five programs' data files,
// where 0 stands for every point that did not escape (and for a few that
// did, which the 16-bit files cannot tell apart): 0 gives NeverEscaped,
// anything else N = count + 1 with NF 0.
CountSample FromCount16(std::uint16_t count);

// What NF needs of the radius R: C = 1 + log2(log2 R^2) as two floats
// whose sum keeps double's accuracy, since NF = C - log2(log2|z|^2) is small
// beside it.
struct SmoothScale {
  bool valid = false;  // R > 1 and finite; otherwise every NF is 0
  float hi = 0, lo = 0;
};

// Colours samples for one view. Safe to use from several
// threads at once (all members are read-only after construction).
class Colourer {
 public:
  // bailout: the view's escape radius (used only for NF); limit: the view's
  // limit (sizes a table of banded colours, at most 65536 entries). Takes a
  // few milliseconds (the tables): build one per picture and share it.
  Colourer(const Colouring& c, double bailout, std::uint32_t limit);

  // Equal to Colour(ToCountSample(e, bailout)), bit for bit.
  Rgb16 Colour(const EscapeResult& e) const;
  // NeverEscaped and NotComputed give the inside colour. With bands NF is
  // not read.
  Rgb16 Colour(CountSample s) const;

  void ColourLine(const EscapeResult* in, std::size_t n, Rgb16* out) const;
  void ColourLine(const CountSample* in, std::size_t n, Rgb16* out) const;
  // The samples (n[i], nf[i]) of a count file's line, as Colour gives them.
  void ColourLine(const std::uint32_t* n, const float* nf, std::size_t count,
                  Rgb16* out) const;

  // For smooth colouring over a gradient, the gradient's colours; empty
  // for other colourings.
  const std::vector<Rgb16>& SmoothGradient() const;
  // Where SmoothGradient() is not empty: for each sample, the index of the
  // colour ColourLine(n, nf, ...) gives it, unless the sample is
  // NotComputed or NeverEscaped (the inside colour).
  void GradientIndices(const std::uint32_t* n, const float* nf,
                       std::size_t count, std::uint32_t* index,
                       SampleIsa isa = SampleIsa::Auto) const;

  const Colouring& GetColouring() const { return colouring; }
  double Bailout() const { return bailout; }

 private:
  // The colour of continuous count v (banded or smooth).
  Rgb16 Cycle(double v) const;

  Colouring colouring;
  double bailout;
  SmoothScale scale;
  Rgb16 inside;
  // Gradient: the colours of GradientSteps evenly spaced phases of the
  // cycle; a phase takes the nearest. At 2^16 steps neighbours differ by
  // far less than one 8-bit level.
  std::vector<Rgb16> gradient;
  // Banded colours of counts below the table's size (cosine and gradient
  // alike), so that banded colouring is a lookup per sample.
  std::vector<Rgb16> bands;
};
