// Logarithm and power by series, with exact range reduction through the
// binary exponent.
#include "colour/basicmath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace basicmath {

namespace {

// ln 2 in two parts (Cody and Waite): k * Ln2Hi is exact for the k used
// here, so reducing by whole multiples of ln 2 loses nothing at the ends of
// the range.
constexpr double Ln2Hi = 6.93147180369123816490e-01;
constexpr double Ln2Lo = 1.90821492927058770002e-10;

}  // namespace

double Ln(double x) {
  int e = 0;
  // Normal finite x, the case of every smooth sample, passes one test.
  if (!(x >= 0x1p-1022 && x <= std::numeric_limits<double>::max())) {
    if (std::isnan(x) || x < 0)
      return std::numeric_limits<double>::quiet_NaN();
    if (x == 0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    x *= 0x1p54;  // subnormal: scale into the normal range (exact)
    e = -54;
  }
  // x = m * 2^e with m in [sqrt(1/2), sqrt(2)), taken from the bits (exact,
  // and without a library call on the path of every smooth sample).
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  e += static_cast<int>(bits >> 52) - 1023;
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
  double m;
  std::memcpy(&m, &bits, sizeof m);  // in [1, 2)
  if (m >= 1.4142135623730950488) {
    m *= 0.5;  // exact
    ++e;
  }
  // ln m = 2 atanh(s) = 2 (s + s^3/3 + ... + s^15/15 + ...), |s| <= 0.1716;
  // the terms left out are below 2e-14. Estrin's order keeps the chain of
  // dependent operations short; it is fixed, so the bits are too.
  double s = (m - 1) / (m + 1);
  double x1 = s * s;
  double x2 = x1 * x1;
  double x4 = x2 * x2;
  double p01 = 1 + x1 * (1.0 / 3);
  double p23 = 1.0 / 5 + x1 * (1.0 / 7);
  double p45 = 1.0 / 9 + x1 * (1.0 / 11);
  double p67 = 1.0 / 13 + x1 * (1.0 / 15);
  double sum = (p01 + x2 * p23) + x4 * (p45 + x2 * p67);
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + 2 * s * sum);
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.8) return std::numeric_limits<double>::infinity();
  if (x < -745.2) return 0;
  // x = k ln2 + r with |r| <= ln2 / 2; 18 terms of the series reach 1e-21.
  double k = std::floor(x / Ln2 + 0.5);
  double r = (x - k * Ln2Hi) - k * Ln2Lo;
  double sum = 1;
  for (int n = 18; n >= 1; --n) sum = 1 + sum * r / n;
  return std::ldexp(sum, static_cast<int>(k));
}

double Pow(double x, double y) {
  if (x == 0) return y > 0 ? 0 : std::numeric_limits<double>::infinity();
  return Exp(y * Ln(x));
}

double LnHypot(double x, double y) {
  double ax = std::fabs(x), ay = std::fabs(y);
  double big = ax > ay ? ax : ay;
  // The squares neither overflow nor vanish here: the usual case.
  if (big > 0x1p-500 && big < 0x1p500) return 0.5 * Ln(ax * ax + ay * ay);
  if (!std::isfinite(ax) || !std::isfinite(ay)) {
    if (std::isnan(ax) || std::isnan(ay))
      return std::numeric_limits<double>::quiet_NaN();
    return std::numeric_limits<double>::infinity();
  }
  if (big == 0) return -std::numeric_limits<double>::infinity();
  // Scale by a power of two (exact) so that the squares stay in range; the
  // scale comes back as a multiple of ln 2.
  int e;
  std::frexp(big, &e);
  double sx = std::ldexp(ax, -e), sy = std::ldexp(ay, -e);
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + 0.5 * Ln(sx * sx + sy * sy));
}

}  // namespace basicmath
