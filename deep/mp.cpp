// Parsing and precision for the deep engine and its oracle.
#include "deep/mp.h"

#include <cmath>
#include <stdexcept>

namespace deep {
namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The plain decimal grammar only: MPFR alone would also take "inf", "nan"
// and leading blanks, which no view should contain.
bool IsDecimal(const std::string& s) {
  std::size_t i = 0, n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == n;
}

// The binary exponent of |x| (x = m 2^e, 0.5 <= |m| < 1), or a very small
// number for zero.
long ExponentOf(const std::string& text, const char* field) {
  Mp x(64);
  ParseDecimal(text, field, x);
  if (mpfr_zero_p(x)) return -(1L << 40);
  return mpfr_get_exp(x);
}

}  // namespace

void ParseDecimal(const std::string& text, const char* field, mpfr_ptr out) {
  if (!IsDecimal(text) || mpfr_set_str(out, text.c_str(), 10, MPFR_RNDN) != 0 ||
      !mpfr_number_p(out)) {
    throw std::invalid_argument(std::string(field) +
                                ": not a decimal number: \"" + text + "\"");
  }
}

mpfr_prec_t ViewPrecision(const View& view) {
  Mp width(64);
  ParseDecimal(view.width, "width", width);
  if (mpfr_sgn(width.get()) <= 0) {
    throw std::invalid_argument("width: must be above zero: \"" + view.width +
                                "\"");
  }
  if (!(view.bailout > 0) || !(view.bailout <= 0x1p100)) {
    throw std::invalid_argument("bailout: must be above 0 and at most 2^100");
  }
  long scale = 1;  // |1| = 0.5 * 2^1
  auto widen = [&scale](long e) {
    if (e > scale) scale = e;
  };
  widen(ExponentOf(view.re, "re"));
  widen(ExponentOf(view.im, "im"));
  if (view.julia) {
    widen(ExponentOf(view.juliaRe, "juliaRe"));
    widen(ExponentOf(view.juliaIm, "juliaIm"));
  }
  // 64 bits below the width: far below any pixel spacing a picture uses.
  long bits = scale - static_cast<long>(mpfr_get_exp(width)) + 64;
  if (bits < 64) bits = 64;
  if (bits > (1L << 28)) {
    throw std::invalid_argument("width: too small for the centre's magnitude");
  }
  return static_cast<mpfr_prec_t>(bits);
}

}  // namespace deep
