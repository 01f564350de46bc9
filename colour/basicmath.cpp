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

// The cells of [1, 2) that Ln reduces its mantissa to: the mantissa's top
// seven bits pick one; m0 is its lower end.
struct LnCells {
  double ln[128];   // ln m0
  double inv[128];  // 1 / m0
};

// ln m for m in [1, 2) by the series of 2 atanh((m - 1) / (m + 1)), for the
// table below only: evaluated by the compiler, whose arithmetic on doubles
// is IEEE's, so the table is the same in every build.
constexpr double SeriesLn(double m) {
  bool upper = m >= 1.4142135623730950488;
  double x = upper ? m * 0.5 : m;
  double s = (x - 1) / (x + 1), s2 = s * s, power = s, sum = 0;
  for (int k = 1; k < 41; k += 2) {
    sum += power / k;
    power *= s2;
  }
  return upper ? (Ln2Hi + (Ln2Lo + 2 * sum)) : 2 * sum;
}

// m0 is a cell's lower end, so that ln 1 comes out exactly 0.
constexpr LnCells MakeCells() {
  LnCells c{};
  for (int j = 0; j < 128; ++j) {
    double m0 = 1 + j / 128.0;
    c.ln[j] = SeriesLn(m0);
    c.inv[j] = 1 / m0;
  }
  return c;
}

constexpr LnCells lnCells = MakeCells();

}  // namespace

double Ln(double x) {
  int e = 0;
  // Normal finite x, the usual case, passes one test.
  if (!(x >= 0x1p-1022 && x <= std::numeric_limits<double>::max())) {
    if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    x *= 0x1p54;  // subnormal: scale into the normal range (exact)
    e = -54;
  }
  // x = m * 2^e with m in [1, 2), taken from the bits (exact, and without a
  // library call).
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  e += static_cast<int>(bits >> 52) - 1023;
  const int j = static_cast<int>((bits >> 45) & 127);
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
  double m;
  std::memcpy(&m, &bits, sizeof m);
  // ln m = ln m0 + ln(1 + u) with u = (m - m0) / m0 in [0, 1 / 128); m - m0
  // is exact, and seven terms of the series leave less than 2e-16.
  double u = (m - (1 + j / 128.0)) * lnCells.inv[j];
  double u2 = u * u;
  double q = ((1 - u * 0.5) + u2 * (1.0 / 3 - u * 0.25)) +
             (u2 * u2) * ((0.2 - u * (1.0 / 6)) + u2 * (1.0 / 7));
  double p = u * q;
  double k = static_cast<double>(e);
  return k * Ln2Hi + (k * Ln2Lo + (lnCells.ln[j] + p));
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
