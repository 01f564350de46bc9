// What the dispatcher hands to the instruction-set specific line kernels.
// Internal to core: kept free of standard-library templates because it is
// included by files compiled for other instruction sets.
#pragma once

#include <cstdint>

// One line to compute: the view's numbers that the kernels need, the line's
// imaginary part and the row of counts to fill.
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
};

void LineSse2(const LineJob& job);
void LineAvx2(const LineJob& job);

// Defined with the engine; the lane kernels hand it the pixels they cannot
// take.
unsigned short EscapeCount(double zr, double zi, double cr, double ci,
                           double r, std::uint64_t limit);
