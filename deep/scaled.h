// Rescaled doubles: a complex delta of a deep view kept as w 2^s, with w a
// pair of doubles whose larger part stays within a few dozen binary orders
// of 1 and s an exponent of its own. Plain perturbation steps then run in
// double arithmetic however far below 2^-1022 the delta lies, at nearly the
// speed of doubles; only the re-normalisation, when w has grown or shrunk by
// 2^64, touches the exponent. FloatExp (a double and an exponent for every
// number) costs several times more per operation.
#pragma once

#include <cmath>
#include <cstdint>

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

struct ScaledCx {
  // While the larger part's square stays in [Low, High] no re-normalisation
  // is needed. High bounds |w| by 2^64, so that a delta whose scale 2^s is
  // below double's range (and taken as 0) is below 2^-1010.
  static constexpr double Low = 0x1p-128;
  static constexpr double High = 0x1p128;

  double re = 0, im = 0;  // w
  std::int64_t s = 0;     // the value is w 2^s

  // z as w 2^s with the larger of |w.re|, |w.im| in [0.5, 1); but s no
  // larger than cap, where w takes the rest. Zero keeps s = cap.
  static ScaledCx Of(FloatExp zr, FloatExp zi, std::int64_t cap) {
    ScaledCx r;
    std::int64_t e = FloatExp::ZeroExp;
    if (!zr.IsZero()) e = zr.e;
    if (!zi.IsZero() && zi.e > e) e = zi.e;
    r.s = e < cap ? e : cap;
    if (e == FloatExp::ZeroExp) r.s = cap;
    r.re = Ldexp(zr, -r.s).ToDouble();
    r.im = Ldexp(zi, -r.s).ToDouble();
    return r;
  }
  static ScaledCx Of(double zr, double zi, std::int64_t cap) {
    return Of(FloatExp(zr), FloatExp(zi), cap);
  }

  FloatExp Re() const { return Ldexp(FloatExp(re), s); }
  FloatExp Im() const { return Ldexp(FloatExp(im), s); }

  // Whether w has left the range where steps keep full precision (or, below
  // cap, where no delta below 2^-1074 2^64 is neglected).
  static bool NeedsRenormalising(double normW, std::int64_t s,
                                 std::int64_t cap) {
    return !(normW >= Low) || (normW > High && s < cap);
  }

  // The same value with w back near 1 (as Of). Zero, infinite and NaN
  // values are left as they are.
  void Renormalise(std::int64_t cap) {
    double big = std::fmax(std::fabs(re), std::fabs(im));
    if (big == 0 || !std::isfinite(big)) return;
    // ilogb is floor(log2): one more puts the larger part in [0.5, 1).
    std::int64_t shift = std::ilogb(big) + 1;
    if (s + shift > cap) shift = cap - s;
    s += shift;
    int k = static_cast<int>(-shift);
    re = std::ldexp(re, k);
    im = std::ldexp(im, k);
  }
};

}  // namespace deep
