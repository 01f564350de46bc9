// One step of the escape-time iteration, shared by the 16-bit and the 32-bit
// definitions so that both round every operation alike. Internal to core,
// and only for files compiled for the baseline instruction set: the lane
// kernels keep their own copy of the fast square.
#pragma once

#include <cmath>

// The complete complex product with the recovery rules for infinite operands
// of ISO C Annex G.
void FullMultiply(double a, double b, double c, double d, double& re,
                  double& im);

// z = z * z + c. The fast square first; the parenthesisation (2 * re) * im
// is part of the result near the underflow threshold. Only a NaN from it
// takes the complete product.
inline void EscapeStep(double& zr, double& zi, double cr, double ci) {
  double sr = zr * zr - zi * zi;
  double si = 2.0 * zr * zi;
  if (std::isnan(sr) || std::isnan(si)) FullMultiply(zr, zi, zr, zi, sr, si);
  zr = sr + cr;
  zi = si + ci;
}
