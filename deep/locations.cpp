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

// Newton's method for a root of Z_period(c) (Z_0 = 0), from c = re + i im,
// in place: the centre of a component of that period (or of a divisor).
void Nucleus(int period, mpfr_ptr re, mpfr_ptr im) {
  mpfr_prec_t bits = mpfr_get_prec(re);
  Mp zr(bits), zi(bits), dr(bits), di(bits), t(bits), u(bits), den(bits);
  // Quadratic convergence: a few steps per doubling of the bits.
  int steps = 12;
  for (long b = 16; b < bits; b *= 2) steps += 2;
  for (int k = 0; k < steps; ++k) {
    mpfr_set_zero(zr, 1);
    mpfr_set_zero(zi, 1);
    mpfr_set_zero(dr, 1);
    mpfr_set_zero(di, 1);
    for (int n = 0; n < period; ++n) {
      // dZ <- 2 Z dZ + 1, then Z <- Z^2 + c.
      mpfr_mul(t, zr, dr, MPFR_RNDN);
      mpfr_mul(u, zi, di, MPFR_RNDN);
      mpfr_sub(t, t, u, MPFR_RNDN);
      mpfr_mul(u, zr, di, MPFR_RNDN);
      mpfr_mul(di, zi, dr, MPFR_RNDN);
      mpfr_add(di, di, u, MPFR_RNDN);
      mpfr_mul_2ui(di, di, 1, MPFR_RNDN);
      mpfr_mul_2ui(dr, t, 1, MPFR_RNDN);
      mpfr_add_ui(dr, dr, 1, MPFR_RNDN);
      mpfr_sqr(t, zr, MPFR_RNDN);
      mpfr_sqr(u, zi, MPFR_RNDN);
      mpfr_sub(t, t, u, MPFR_RNDN);
      mpfr_mul(u, zr, zi, MPFR_RNDN);
      mpfr_mul_2ui(u, u, 1, MPFR_RNDN);
      mpfr_add(zr, t, re, MPFR_RNDN);
      mpfr_add(zi, u, im, MPFR_RNDN);
    }
    // c -= Z / dZ = Z conj(dZ) / |dZ|^2
    mpfr_sqr(den, dr, MPFR_RNDN);
    mpfr_sqr(t, di, MPFR_RNDN);
    mpfr_add(den, den, t, MPFR_RNDN);
    mpfr_mul(t, zr, dr, MPFR_RNDN);
    mpfr_mul(u, zi, di, MPFR_RNDN);
    mpfr_add(t, t, u, MPFR_RNDN);
    mpfr_div(t, t, den, MPFR_RNDN);
    mpfr_sub(re, re, t, MPFR_RNDN);
    mpfr_mul(t, zi, dr, MPFR_RNDN);
    mpfr_mul(u, zr, di, MPFR_RNDN);
    mpfr_sub(t, t, u, MPFR_RNDN);
    mpfr_div(t, t, den, MPFR_RNDN);
    mpfr_sub(im, im, t, MPFR_RNDN);
  }
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
  mpfr_prec_t bits = static_cast<mpfr_prec_t>(zoomDigits * 3.33) + 128;
  Mp re(bits), im(bits);
  mpfr_set_d(re, -0.1226, MPFR_RNDN);
  mpfr_set_d(im, 0.7449, MPFR_RNDN);
  Nucleus(3, re, im);
  View v;
  v.re = Decimal(re, zoomDigits + 20);
  v.im = Decimal(im, zoomDigits + 20);
  v.width = Width(zoomDigits);
  v.limit = limit;
  return v;
}

View MinibrotNearI(std::uint32_t limit) {
  // From i + 2e-151 (1 + i), Newton finds the nucleus of a minibrot about
  // 4e-301 across.
  Mp re(1400), im(1400);
  mpfr_set_str(re, "2e-151", 10, MPFR_RNDN);
  mpfr_add_ui(im, re, 1, MPFR_RNDN);
  Nucleus(402, re, im);
  View v;
  v.re = Decimal(re, 340);
  v.im = Decimal(im, 340);
  v.width = "1e-300";
  v.limit = limit;
  return v;
}

}  // namespace deep
