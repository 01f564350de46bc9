// Test and benchmark views for the deep engine.
#include "deep/locations.h"

#include <string>

#include "deep/mp.h"

namespace deep {
namespace {

std::string Zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

std::string Width(int zoomDigits) { return "4e-" + std::to_string(zoomDigits); }

// x as decimal text with digits significant digits.
std::string Decimal(mpfr_ptr x, int digits) {
  mpfr_exp_t exp;
  char* s = mpfr_get_str(nullptr, &exp, 10, static_cast<std::size_t>(digits), x,
                         MPFR_RNDN);
  std::string text = s;
  mpfr_free_str(s);
  std::string sign;
  if (!text.empty() && text[0] == '-') {
    sign = "-";
    text.erase(0, 1);
  }
  return sign + "0." + text + "e" + std::to_string(static_cast<long>(exp));
}

}  // namespace

View T1() {
  View v;
  v.re = "-1.759817130804847813610825010561798238243999999999999999999800";
  v.im = "-0.012593310799749865383746631843264858450340000000000000000000";
  v.width = "4e-14";
  v.limit = 4036;
  return v;
}

View T2() {
  View v;
  v.re =
      "-0.049470029063104093751692226727353630118745712488224879318104940232642"
      "1947726869034279915499747594190000000000000000000";
  v.im =
      "-0.674787575844675364011392053130597656334770706822403480697999794790994"
      "1983454845111514208499540310299999999999999999880";
  v.width = "4e-50";
  v.limit = 263010;
  return v;
}

View MisiurewiczI(int zoomDigits, std::uint32_t limit) {
  // A centre a fifth of a width or so off the point, so that its own orbit
  // leaves the cycle like its neighbours' do.
  View v;
  v.re = "0." + Zeros(zoomDigits) + "1370250190037";
  v.im = "1." + Zeros(zoomDigits) + "084210555";
  v.width = Width(zoomDigits);
  v.limit = limit;
  return v;
}

View JuliaI(int zoomDigits, std::uint32_t limit) {
  View v;
  v.re = "-0." + Zeros(zoomDigits) + "2113";
  v.im = "1." + Zeros(zoomDigits) + "0571924";
  v.width = Width(zoomDigits);
  v.limit = limit;
  v.julia = true;
  v.juliaRe = "0";
  v.juliaIm = "1";
  return v;
}

View Nucleus3(int zoomDigits, std::uint32_t limit) {
  // Newton's method on c^3 + 2c^2 + c + 1, whose roots are the centres of the
  // period-3 components, in plain complex arithmetic over MPFR.
  mpfr_prec_t bits = static_cast<mpfr_prec_t>(zoomDigits * 3.33) + 128;
  Mp xr(bits), xi(bits), pr(bits), pi(bits), dr(bits), di(bits), t(bits),
      u(bits), sr(bits), si(bits), den(bits);
  mpfr_set_d(xr, -0.1226, MPFR_RNDN);
  mpfr_set_d(xi, 0.7449, MPFR_RNDN);
  int steps = 8;
  for (long b = 53; b < bits; b *= 2) ++steps;
  for (int k = 0; k < steps; ++k) {
    // s = x^2
    mpfr_sqr(sr, xr, MPFR_RNDN);
    mpfr_sqr(t, xi, MPFR_RNDN);
    mpfr_sub(sr, sr, t, MPFR_RNDN);
    mpfr_mul(si, xr, xi, MPFR_RNDN);
    mpfr_mul_2ui(si, si, 1, MPFR_RNDN);
    // p = (x + 2) s + x + 1
    mpfr_add_ui(t, xr, 2, MPFR_RNDN);
    mpfr_mul(pr, t, sr, MPFR_RNDN);
    mpfr_mul(u, xi, si, MPFR_RNDN);
    mpfr_sub(pr, pr, u, MPFR_RNDN);
    mpfr_mul(pi, t, si, MPFR_RNDN);
    mpfr_mul(u, xi, sr, MPFR_RNDN);
    mpfr_add(pi, pi, u, MPFR_RNDN);
    mpfr_add(pr, pr, xr, MPFR_RNDN);
    mpfr_add_ui(pr, pr, 1, MPFR_RNDN);
    mpfr_add(pi, pi, xi, MPFR_RNDN);
    // d = 3 s + 4 x + 1
    mpfr_mul_ui(dr, sr, 3, MPFR_RNDN);
    mpfr_mul_ui(t, xr, 4, MPFR_RNDN);
    mpfr_add(dr, dr, t, MPFR_RNDN);
    mpfr_add_ui(dr, dr, 1, MPFR_RNDN);
    mpfr_mul_ui(di, si, 3, MPFR_RNDN);
    mpfr_mul_ui(t, xi, 4, MPFR_RNDN);
    mpfr_add(di, di, t, MPFR_RNDN);
    // x -= p / d = p conj(d) / |d|^2
    mpfr_sqr(den, dr, MPFR_RNDN);
    mpfr_sqr(t, di, MPFR_RNDN);
    mpfr_add(den, den, t, MPFR_RNDN);
    mpfr_mul(t, pr, dr, MPFR_RNDN);
    mpfr_mul(u, pi, di, MPFR_RNDN);
    mpfr_add(t, t, u, MPFR_RNDN);
    mpfr_div(t, t, den, MPFR_RNDN);
    mpfr_mul(u, pi, dr, MPFR_RNDN);
    mpfr_mul(sr, pr, di, MPFR_RNDN);
    mpfr_sub(u, u, sr, MPFR_RNDN);
    mpfr_div(u, u, den, MPFR_RNDN);
    mpfr_sub(xr, xr, t, MPFR_RNDN);
    mpfr_sub(xi, xi, u, MPFR_RNDN);
  }
  View v;
  v.re = Decimal(xr, zoomDigits + 20);
  v.im = Decimal(xi, zoomDigits + 20);
  v.width = Width(zoomDigits);
  v.limit = limit;
  return v;
}

}  // namespace deep
