// What the dispatcher hands to the instruction-set specific line kernels.
// Internal to core: kept free of standard-library templates because it is
// included by files compiled for other instruction sets.
#pragma once

#include <cstdint>

#include "core/escape.h"

// One line to compute: the view's numbers that the kernels need, the line's
// imaginary part and where the results go. The 16-bit counts (row) take
// the positions from minRe and lenRe and the radius of the 16-bit
// definition; the 32-bit results (out) take the positions re[0..dotsX) and
// one radius for every pixel.
struct LineJob {
  double minRe, lenRe;
  std::uint64_t dotsX;
  double im;
  bool julia;
  double cr, ci;  // the Julia constant, finite
  std::uint64_t limit;
  unsigned short* row;
  bool onlyZeros;     // compute only the pixels whose count is 0
  bool detectCycles;  // stop orbits that come back to an earlier point
  const double* re;   // 32-bit: the positions
  double radius;      // 32-bit: in [MinLaneRadius, MaxLaneRadius]
  EscapeResult* out;  // 32-bit: the results
};

// The radii the lanes decide exactly: above, a square could overflow; below,
// underflow in the squared modulus could outweigh the margins of the test.
constexpr double MinLaneRadius = 0x1p-500;
constexpr double MaxLaneRadius = 0x1p500;

void LineSse2(const LineJob& job);
void LineAvx2(const LineJob& job);
void EscapeLineSse2(const LineJob& job);
void EscapeLineAvx2(const LineJob& job);

// Defined with the engine; the lane kernels hand it the pixels they cannot
// take.
unsigned short EscapeCount(double zr, double zi, double cr, double ci,
                           double r, std::uint64_t limit);
