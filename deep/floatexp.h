// A double with a separate 64-bit exponent, for deltas and coefficients of
// deep views whose magnitudes leave the range of double (1e-308 and below,
// down to 2^-(2^62)). Used only where doubles would underflow: it costs a
// few times more per operation.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace deep {

namespace floatexp_detail {
// 2^k for -1022 <= k <= 1023, built from its bits (ldexp is far slower).
inline double Pow2(int k) {
  std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
}  // namespace floatexp_detail

// value = m * 2^e with 0.5 <= |m| < 1, or m == 0 and e == ZeroExp. Every
// operation returns a normalised value; results are rounded once in the
// mantissa (as double would be) and never underflow or overflow in the
// range of the exponent.
struct FloatExp {
  static constexpr std::int64_t ZeroExp = -(std::int64_t(1) << 62);

  double m = 0;
  std::int64_t e = ZeroExp;

  FloatExp() = default;
  // Any finite double, zero and subnormals included.
  explicit FloatExp(double x) : m(x), e(0) { Normalise(); }
  FloatExp(double mantissa, std::int64_t exponent) : m(mantissa), e(exponent) {
    Normalise();
  }

  // The nearest double: 0 below its range, infinite above it.
  double ToDouble() const {
    // A normal result: a product with a power of two, exact. Rescaled
    // deltas convert after every skip.
    if (e >= -1021 && e <= 1023) {
      return m * floatexp_detail::Pow2(static_cast<int>(e));
    }
    if (e > 1024) return m * HUGE_VAL;
    if (e < -1080) return m * 0.0;
    return std::ldexp(m, static_cast<int>(e));
  }

  bool IsZero() const { return m == 0; }

  void Normalise() {
    std::uint64_t bits;
    std::memcpy(&bits, &m, sizeof bits);
    int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0) {
      if (m == 0) {
        e = ZeroExp;
        return;
      }
      // Subnormal: scale into the normal range first.
      m *= 0x1p64;
      e -= 64;
      std::memcpy(&bits, &m, sizeof bits);
      biased = static_cast<int>((bits >> 52) & 0x7ff);
    }
    // Exponent field 1022 puts the mantissa in [0.5, 1).
    bits = (bits & ~(std::uint64_t(0x7ff) << 52)) | (std::uint64_t(1022) << 52);
    std::memcpy(&m, &bits, sizeof m);
    e += biased - 1022;
  }
};

inline FloatExp operator*(FloatExp a, FloatExp b) {
  FloatExp r;
  r.m = a.m * b.m;
  if (r.m == 0) return FloatExp();
  r.e = a.e + b.e;
  // The product of two mantissas lies in [0.25, 1): one doubling at most.
  if (std::fabs(r.m) < 0.5) {
    r.m *= 2;
    r.e -= 1;
  }
  return r;
}

inline FloatExp operator+(FloatExp a, FloatExp b) {
  if (a.e < b.e) {
    FloatExp t = a;
    a = b;
    b = t;
  }
  if (b.m == 0) return a;
  std::int64_t d = a.e - b.e;
  // Beyond 64 binary places the smaller one cannot change the rounded sum.
  if (d > 64) return a;
  FloatExp r;
  r.m = a.m + b.m * floatexp_detail::Pow2(-static_cast<int>(d));
  r.e = a.e;
  r.Normalise();
  return r;
}

// b must not be zero.
inline FloatExp operator/(FloatExp a, FloatExp b) {
  if (a.m == 0) return FloatExp();
  return FloatExp(a.m / b.m, a.e - b.e);
}

inline FloatExp operator-(FloatExp a) { return FloatExp{-a.m, a.e}; }
inline FloatExp operator-(FloatExp a, FloatExp b) { return a + (-b); }

// Multiplication by a power of two, exact.
inline FloatExp Ldexp(FloatExp a, std::int64_t k) {
  if (a.m != 0) a.e += k;
  return a;
}

inline bool operator<(FloatExp a, FloatExp b) {
  // Signs first, then exponents, then mantissas; zero has the least exponent.
  bool na = a.m < 0, nb = b.m < 0;
  if (na != nb) return na;
  if (a.m == 0 || b.m == 0) return a.m < b.m;
  if (a.e != b.e) return na ? a.e > b.e : a.e < b.e;
  return a.m < b.m;
}

inline FloatExp Sqrt(FloatExp a) {
  if (a.m <= 0) return FloatExp();
  double m = a.m;
  std::int64_t e = a.e;
  if (e & 1) {
    m *= 2;
    e -= 1;
  }
  return FloatExp(std::sqrt(m), e / 2);
}

inline FloatExp Abs(FloatExp a) { return FloatExp{std::fabs(a.m), a.e}; }

}  // namespace deep
