// Logarithm and power by series, with exact range reduction through the
// binary exponent.
#include "colour/basicmath.h"

#include <cmath>
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
  if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (std::isinf(x)) return x;
  int e;
  double m = std::frexp(x, &e);  // exact: x = m * 2^e, m in [0.5, 1)
  if (m < 0.70710678118654752440) {
    m *= 2;  // exact
    --e;
  }
  // ln m = 2 atanh(s) with |s| <= 0.1716; twelve terms reach 1e-19.
  double s = (m - 1) / (m + 1);
  double s2 = s * s;
  double sum = 1.0 / 23;
  for (int k = 21; k >= 1; k -= 2) sum = sum * s2 + 1.0 / k;
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
  if (!std::isfinite(ax) || !std::isfinite(ay)) {
    if (std::isnan(ax) || std::isnan(ay))
      return std::numeric_limits<double>::quiet_NaN();
    return std::numeric_limits<double>::infinity();
  }
  double big = ax > ay ? ax : ay;
  if (big == 0) return -std::numeric_limits<double>::infinity();
  // Scale by a power of two (exact) so the squares neither overflow nor
  // vanish; the scale comes back as a multiple of ln 2.
  int e;
  std::frexp(big, &e);
  double sx = std::ldexp(ax, -e), sy = std::ldexp(ay, -e);
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + 0.5 * Ln(sx * sx + sy * sy));
}

}  // namespace basicmath
