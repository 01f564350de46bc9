// Logarithm and power from basic arithmetic alone. Library functions may
// round differently from one C library (or version) to the next; these give
// the same bits wherever IEEE double arithmetic does, which the colour of a
// smooth count and the linear-light tables rely on. About 1e-14 accuracy,
// far more than a float fraction or a 24-bit light level needs.
#pragma once

namespace basicmath {

// Natural logarithm: NaN below 0 (and for NaN), -inf at 0, inf at inf.
double Ln(double x);

// e^x; 0 far below, inf far above, NaN for NaN.
double Exp(double x);

// x^y for x > 0 (Exp(y * Ln(x))); 0 for x == 0 and y > 0.
double Pow(double x, double y);

// ln(hypot(x, y)) without overflow or underflow on the way; NaN or inf
// when x or y is not finite, -inf for 0.
double LnHypot(double x, double y);

constexpr double Ln2 = 0.6931471805599453094;

}  // namespace basicmath
