// Anti-aliasing: where the N x N samples of a pixel lie, and how their
// colours are averaged, in linear light, into the pixel's colour.
//
// Everything here is integer arithmetic, single IEEE operations on exact
// integers, and tables computed once with basic arithmetic (and exact
// library operations such as ldexp, never a library logarithm or power), so
// the results are the same to the bit on every build and for any number of
// threads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "colour/colour.h"
#include "core/mandarea.h"

// The largest N of N x N samples per pixel.
constexpr unsigned MaxSamples = 16;

// Offsets of sample (i, j) of an N x N pixel, in pixel units from the
// pixel's point (where one sample would lie). Sample i of sample line j
// lies in the i-th of N equal columns and the j-th of N equal rows of the
// pixel's square [-0.5, 0.5)^2 (j = 0 lowest, i = 0 leftmost), at a fixed
// pseudo-random place inside that cell. dy depends on j alone, so the
// samples of a sample line share one imaginary part and can be computed as
// one line. The offsets are k / (65536 N) for whole k (one division of two
// exact integers), the same for every pixel, thread and run; N = 1 gives
// (0, 0). Requires i, j < N <= MaxSamples.
double SampleDx(unsigned i, unsigned j, unsigned n);
double SampleDy(unsigned j, unsigned n);

// The real part of the point offset dx pixels from pixel m of a view, and
// the imaginary part of the point offset dy lines from line l; with 0 they
// are the points the engine uses for the pixel and the line, bit for bit:
// minRe + ((m + dx) * lenRe) / (dotsX - 1) when dotsX >= 2, and for a single
// pixel minRe + lenRe * 0.5 + dx * lenRe (likewise for lines).
double SampleRe(const MandArea& a, std::uint64_t m, double dx);
double SampleIm(const MandArea& a, std::uint64_t l, double dy);

// SampleRe of count samples of a sample line, bit for bit, N to a pixel
// with the offsets dx[0 .. N - 1], starting at sample `first` (pixel
// first / N, offset first % N).
void SampleReLine(const MandArea& a, unsigned n, const double* dx,
                  std::uint64_t first, std::size_t count, double* out);

// Linear light of a 16-bit sRGB code, in units of 2^-24 (0 to 2^24),
// rounded to the nearest unit. Strictly increasing in the code.
std::uint32_t ToLinear(std::uint16_t code);
// The 16-bit code whose linear light is nearest to v (the lower on a tie);
// FromLinear(ToLinear(c)) == c for every code.
std::uint16_t FromLinear(std::uint32_t v);

// The running sum, in linear light, of the samples of one pixel.
struct LinearSum {
  std::uint64_t r = 0, g = 0, b = 0;
  std::uint32_t count = 0;

  void Add(Rgb16 c);
  // The mean of the samples added, rounded to the nearest linear unit, then
  // encoded as the nearest code (black when none were added). Equal samples
  // give their own colour back.
  Rgb16 Mean() const;
};

// The colour of a pixel from its n samples (n >= 1).
Rgb16 Average(const Rgb16* samples, std::size_t n);

// Adds one sample line to the pixels of a row: line holds width * n
// colours, the n samples of pixel m at [m * n, m * n + n).
void AddSampleLine(const Rgb16* line, std::uint64_t width, unsigned n,
                   LinearSum* sums);
// Writes the mean of sums[0..width) to out and clears the sums.
void TakeMeans(LinearSum* sums, std::uint64_t width, Rgb16* out);
