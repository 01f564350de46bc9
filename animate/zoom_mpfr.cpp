// The zoom in MPFR, with bits enough for the deepest view and the widest
// move: a deep zoom's centres need far more digits than a double holds.
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "animate/zoom.h"
#include "deep/mp.h"

namespace {

using deep::Mp;

// The binary exponent of x (x = m 2^e with 0.5 <= |m| < 1); lowest for 0.
long Exponent(mpfr_ptr x) {
  return mpfr_zero_p(x) ? -(1L << 40) : static_cast<long>(mpfr_get_exp(x));
}

// x as decimal text with the digits needed to resolve 2^resolution, at least
// 17: one digit, a point and an exponent, trailing zeros dropped.
std::string Format(mpfr_ptr x, long resolution) {
  if (mpfr_zero_p(x)) return "0";
  long digits =
      static_cast<long>(std::ceil((Exponent(x) - resolution) * 0.30103)) + 2;
  digits = std::max(digits, 17L);
  mpfr_exp_t e = 0;
  char* text = mpfr_get_str(nullptr, &e, 10, static_cast<std::size_t>(digits),
                            x, MPFR_RNDN);
  std::string m(text);
  mpfr_free_str(text);
  std::string sign;
  if (!m.empty() && m[0] == '-') {
    sign = "-";
    m.erase(0, 1);
  }
  while (m.size() > 1 && m.back() == '0') m.pop_back();
  // mpfr gives 0.DIGITS x 10^e; we write D.IGITS x 10^(e-1).
  std::string out = sign + m.substr(0, 1);
  if (m.size() > 1) out += "." + m.substr(1);
  if (e - 1 != 0) out += "e" + std::to_string(static_cast<long>(e) - 1);
  return out;
}

}  // namespace

bool ZoomPlace(const PlanePlace& a, const PlanePlace& b, double s,
               std::uint64_t pixels, PlanePlace& out, std::string& error) {
  try {
    Mp probe(64);
    long top = 1, low = 1L << 40;
    for (const std::string* t : {&a.re, &a.im, &b.re, &b.im}) {
      deep::ParseDecimal(*t, "centre", probe);
      top = std::max(top, Exponent(probe));
    }
    for (const std::string* t : {&a.width, &b.width}) {
      deep::ParseDecimal(*t, "width", probe);
      if (mpfr_sgn(probe.get()) <= 0)
        throw std::invalid_argument("width: must be above zero");
      low = std::min(low, Exponent(probe));
    }
    const long pixelBits =
        static_cast<long>(std::ceil(std::log2(double(pixels) + 1)));
    // 64 bits below a sample at the deepest width, whatever the magnitudes.
    const long bits = top - low + pixelBits + 64;
    if (bits > (1L << 24))
      throw std::invalid_argument(
          "width: too small for the centre's magnitude");
    const mpfr_prec_t prec = static_cast<mpfr_prec_t>(std::max(bits, 64L));

    Mp are(prec), aim(prec), bre(prec), bim(prec), wa(prec), wb(prec);
    deep::ParseDecimal(a.re, "centre", are);
    deep::ParseDecimal(a.im, "centre", aim);
    deep::ParseDecimal(b.re, "centre", bre);
    deep::ParseDecimal(b.im, "centre", bim);
    deep::ParseDecimal(a.width, "width", wa);
    deep::ParseDecimal(b.width, "width", wb);

    Mp lnk(prec), st(prec), width(prec), g(prec), tmp(prec);
    mpfr_log(lnk, wb, MPFR_RNDN);
    mpfr_log(tmp, wa, MPFR_RNDN);
    mpfr_sub(lnk, lnk, tmp, MPFR_RNDN);  // ln k
    mpfr_mul_d(st, lnk, s, MPFR_RNDN);   // s ln k
    mpfr_exp(width, st, MPFR_RNDN);
    mpfr_mul(width, width, wa, MPFR_RNDN);
    if (mpfr_zero_p(lnk)) {
      mpfr_set_d(g, s, MPFR_RNDN);
    } else {
      // (1 - k^s) / (1 - k) through expm1: near k = 1 the fixed point runs
      // off to infinity, and the difference form would cancel to nothing.
      mpfr_expm1(g, st, MPFR_RNDN);
      mpfr_expm1(tmp, lnk, MPFR_RNDN);
      mpfr_div(g, g, tmp, MPFR_RNDN);
    }
    Mp re(prec), im(prec);
    mpfr_sub(re, bre, are, MPFR_RNDN);
    mpfr_mul(re, re, g, MPFR_RNDN);
    mpfr_add(re, re, are, MPFR_RNDN);
    mpfr_sub(im, bim, aim, MPFR_RNDN);
    mpfr_mul(im, im, g, MPFR_RNDN);
    mpfr_add(im, im, aim, MPFR_RNDN);

    // Digits to 2^-24 of a sample: the engines round the centre anyway,
    // and more would only lengthen the text.
    const long resolution = Exponent(width) - pixelBits - 24;
    out.re = Format(re, resolution);
    out.im = Format(im, resolution);
    out.width = Format(width, Exponent(width) - 64);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return true;
}
