// Rescaled doubles: a complex delta of a deep view kept as w 2^s, with w a
// pair of doubles whose larger part stays within a few dozen binary orders
// of 1 and s an exponent of its own. Plain perturbation steps then run in
// double arithmetic however far below 2^-1022 the delta lies, in less than
// twice a double step's time and a quarter of a FloatExp one's (a double and
// an exponent for every number); only the re-normalisation, when w has grown
// or shrunk by 2^64, touches the exponent.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "deep/floatexp.h"

namespace deep {

// 2^k as a double: 0 below 2^-1022, infinite above 2^1023. Never subnormal:
// operations that take or give subnormals cost a hundred cycles and more.
inline double Pow2OrZero(std::int64_t k) {
  if (k > 1023) return HUGE_VAL;
  if (k < -1022) return 0;
  return floatexp_detail::Pow2(static_cast<int>(k));
}

// x as the nearest double, but 0 in place of a subnormal.
inline double NormalOrZero(FloatExp x) {
  if (x.e < -1021) return 0;
  return x.ToDouble();
}

// The exponent of frexp: x = f 2^e with 0.5 <= |f| < 1, for finite x != 0.
// From the bits for normal x (frexp is a library call).
inline std::int64_t FrexpExponent(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0) return std::ilogb(x) + 1;
  return biased - 1022;
}

// x 2^k, exactly where the result is normal; as ldexp, but without the
// library call for the common case.
inline double TimesPow2(double x, std::int64_t k) {
  if (k >= -1022 && k <= 1023)
    return x * floatexp_detail::Pow2(static_cast<int>(k));
  if (k < -3000) return x * 0.0;
  if (k > 3000) return x * HUGE_VAL;
  return std::ldexp(x, static_cast<int>(k));
}

struct ScaledCx {
  static constexpr std::int64_t NoCap =
      std::numeric_limits<std::int64_t>::max();

  // While |w|^2 stays in [Low, High] no re-normalisation is needed. The
  // engine's thresholds rely on the bounds: a delta lies within 2^64 of its
  // scale 2^s either way.
  static constexpr double Low = 0x1p-128;
  static constexpr double High = 0x1p128;

  double re = 0, im = 0;  // w
  std::int64_t s = 0;     // the value is w 2^s

  // z as w 2^s with the larger of |w.re|, |w.im| in [0.5, 1); but s no
  // larger than cap, where w takes the rest. Zero has s = min(cap, 0).
  static ScaledCx Of(FloatExp zr, FloatExp zi, std::int64_t cap = NoCap) {
    ScaledCx r;
    std::int64_t e = FloatExp::ZeroExp;
    if (!zr.IsZero()) e = zr.e;
    if (!zi.IsZero() && zi.e > e) e = zi.e;
    r.s = e < cap ? e : cap;
    if (e == FloatExp::ZeroExp) r.s = cap < 0 ? cap : 0;
    r.re = Ldexp(zr, -r.s).ToDouble();
    r.im = Ldexp(zi, -r.s).ToDouble();
    return r;
  }
  static ScaledCx Of(double zr, double zi, std::int64_t cap) {
    return Of(FloatExp(zr), FloatExp(zi), cap);
  }

  FloatExp Re() const { return Ldexp(FloatExp(re), s); }
  FloatExp Im() const { return Ldexp(FloatExp(im), s); }

  // Whether w has left [Low, High] in its squared modulus; above it only
  // while s is below cap.
  static bool NeedsRenormalising(double normW, std::int64_t s,
                                 std::int64_t cap) {
    return !(normW >= Low) || (normW > High && s < cap);
  }

  // The same value with w back near 1 (as Of). Infinite and NaN values are
  // left as they are, and zero but for s brought down to cap.
  void Renormalise(std::int64_t cap) {
    double big = std::fmax(std::fabs(re), std::fabs(im));
    if (big == 0) {
      if (s > cap) s = cap;
      return;
    }
    if (!std::isfinite(big)) return;
    std::int64_t shift = FrexpExponent(big);
    if (s + shift > cap) shift = cap - s;
    s += shift;
    re = TimesPow2(re, -shift);
    im = TimesPow2(im, -shift);
  }
};

// a b: the product of the w, with the exponents' sum. Where no part is
// subnormal it rounds as the product of the same values in FloatExp.
inline ScaledCx operator*(const ScaledCx& a, const ScaledCx& b) {
  ScaledCx r;
  r.re = a.re * b.re - a.im * b.im;
  r.im = a.re * b.im + a.im * b.re;
  r.s = a.s + b.s;
  return r;
}

// a + b on the larger exponent. The other's w is scaled there exactly, or
// dropped where it would fall below 2^-1022 of it: far below the rounding
// of the sum, since neither w has a larger part far from 1 (products of two
// values near 1), unless one is 0.
inline ScaledCx operator+(ScaledCx a, ScaledCx b) {
  if (a.re == 0 && a.im == 0) return b;
  if (b.re == 0 && b.im == 0) return a;
  if (a.s < b.s) {
    ScaledCx t = a;
    a = b;
    b = t;
  }
  std::int64_t d = b.s - a.s;
  if (d < -1022) return a;
  double f = floatexp_detail::Pow2(static_cast<int>(d));
  a.re += b.re * f;
  a.im += b.im * f;
  return a;
}

}  // namespace deep
