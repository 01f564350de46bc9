// The deep-zoom engine: escape counts for views far narrower than double
// precision can resolve (widths down to 1e-2000 and beyond), by perturbation
// around one high-precision reference orbit, with rebasing and bilinear
// approximation; and the full-precision oracle it is checked against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/escape.h"

namespace deep {

// A view given as decimal text at any precision.
struct View {
  std::string re, im;  // the centre (for Julia: the centre of the z-plane)
  std::string width;   // extent along the real axis, > 0
  std::uint32_t limit = 100;
  double bailout = 2;  // escape when not (bailout > |z|); 0 < bailout <= 2^100
  bool julia = false;
  std::string juliaRe, juliaIm;
};

// The pixel loop for views whose deltas fit in doubles. Auto takes the
// widest vector kernel the processor has; the others are there to be
// compared and timed. Every choice gives the same results, bit for bit.
enum class PixelLoop { Auto, Plain, Sse2, Avx2, Avx512 };

// Whether this processor can run the loop (Auto and Plain always).
bool PixelLoopSupported(PixelLoop loop);

struct Options {
  // Skip iterations with the bilinear approximation; off leaves perturbation
  // and rebasing alone (much slower, for measuring the approximation).
  bool bla = true;
  // The approximation's tolerance: a skip is taken only while the neglected
  // quadratic term stays below eps relative to the linear one.
  double eps = 0x1p-47;
  // Views in double range take no run shorter than this many steps (a
  // power of two, at least 2): a plain step in the vector lanes costs about
  // a nanosecond, a run that lands elsewhere in the table tens, and the
  // short ones rarely lead to long ones. Wider views take every run, their
  // plain steps costing several times more. Measured at T2.
  std::uint32_t shortestRun = 16;
  // Count pixels that meet Pauldelbrot's glitch criterion at some step
  // (|Z + z| < 1e-3 |Z|). Costs a little per step.
  bool glitchCheck = false;
  // Views narrower than 2^-900: plain steps in rescaled doubles (a double
  // pair and an exponent per pixel); off keeps every delta as FloatExp, a
  // few times slower, for measuring.
  bool rescale = true;
  // Rebasing, for testing the glitch check only: without it deep views are
  // wrong.
  bool rebase = true;
  // Threads for building the approximation table; 0: one per processor.
  unsigned threads = 0;
  // The most memory the reference and its table may take; 0: the memory
  // the system reports available, less a quarter.
  std::uint64_t memoryBudget = 0;
  // One the processor lacks falls back to Auto.
  PixelLoop loop = PixelLoop::Auto;
};

struct Stats {
  std::uint64_t referenceLength;  // steps stored of the view's reference
  std::uint64_t criticalLength;   // steps of the Julia critical orbit, or 0
  // Reference plus table, per stored step; steps below 2^-960 cost 40
  // bytes more (smallSteps of them).
  std::uint64_t bytesPerStep;
  std::uint64_t referenceBytes;  // the whole: both orbits and tables
  std::uint64_t smallSteps;      // steps kept with a wide exponent
  std::uint64_t precisionBits;   // of the reference orbit
  unsigned blaLevels;
  bool wideExponent;                  // deltas kept as FloatExp
  std::uint64_t glitchPixels;         // pixels the glitch check flagged so far
  double orbitSeconds, tableSeconds;  // wall time of the set-up's two parts
};

class Engine {
 public:
  // Computes the reference orbit (MPFR) and the approximation table. Throws
  // std::invalid_argument naming the field for malformed numbers or values
  // out of range, and std::runtime_error when the reference would not fit
  // in the memory budget: at once where a reference of the limit's length
  // would not, before the orbit is computed.
  explicit Engine(const View& view, const Options& options = {});
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The points centre + width * (u[k] + i v), for |u|, |v| up to about 1
  // (beyond 1.4 the approximation is not used, so results stay right but
  // slow). Safe from several threads at once; results depend on nothing but
  // the view, the options and the point.
  void Line(double v, const double* u, std::size_t n, EscapeResult* out) const;

  Stats stats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

// Plain MPFR iteration of the point centre + width * (u + i v) with the bits
// the width needs plus a wide margin: slow, obviously right. Throws as the
// Engine does for malformed views.
EscapeResult ExactEscape(const View& view, double u, double v);

// The same for many points of one line, sharing the MPFR set-up.
void ExactLine(const View& view, double v, const double* u, std::size_t n,
               EscapeResult* out);

}  // namespace deep
