// Exact arithmetic on the viewer's decimal views, through MPFR at a
// precision taken from the width.
#include "viewer/viewmodel.h"

#include <mpfr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "viewspec/decimal.h"

namespace zv {

namespace {

class mpnum {
 public:
  explicit mpnum(mpfr_prec_t bits) { mpfr_init2(v, bits); }
  ~mpnum() { mpfr_clear(v); }
  mpnum(const mpnum&) = delete;
  mpnum& operator=(const mpnum&) = delete;
  operator mpfr_ptr() { return v; }

 private:
  mpfr_t v;
};

void parse(mpfr_ptr out, const std::string& text) {
  if (mpfr_set_str(out, text.c_str(), 10, MPFR_RNDN) != 0)
    mpfr_set_zero(out, 1);
}

// The binary exponent of a decimal's magnitude (0 for zero).
long exponent_of(const std::string& text) {
  mpnum x(64);
  parse(x, text);
  if (mpfr_zero_p(x) || !mpfr_number_p(x)) return 0;
  return mpfr_get_exp(x);
}

// Enough bits to hold a corner near 1 to well below a millionth of len's
// smallest pixel.
mpfr_prec_t precision_for(const std::string& len) {
  const long e = exponent_of(len);
  return static_cast<mpfr_prec_t>(128 + std::max(0L, -e));
}

std::string trim_fixed(std::string s) {
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string format(const char* fmt, int digits, mpfr_ptr x) {
  char* out = nullptr;
  if (mpfr_asprintf(&out, fmt, digits, x) < 0 || !out) return "0";
  std::string s(out);
  mpfr_free_str(out);
  return s;
}

// x in fixed notation, to about 1e-16 of a width with binary exponent e.
std::string fixed_for(mpfr_ptr x, long e) {
  const int decimals =
      static_cast<int>(std::ceil(static_cast<double>(std::max(0L, -e)) *
                                 0.30102999566398120)) +
      17;
  return trim_fixed(format("%.*Rf", decimals, x));
}

}  // namespace

bool same_precise(const preciseview& a, const preciseview& b) {
  auto eq = [](const std::string& x, const std::string& y) {
    return x == y || (IsDecimal(x) && IsDecimal(y) && DecimalEqual(x, y));
  };
  return eq(a.re, b.re) && eq(a.im, b.im) && eq(a.width, b.width) &&
         a.julia == b.julia && a.julia_re == b.julia_re &&
         a.julia_im == b.julia_im && a.limit == b.limit;
}

std::string decimal_of(double v) {
  if (v == 0) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

double to_double(const std::string& decimal) {
  double d = 0;
  if (!DecimalToDouble(decimal, d)) return 0;
  return d;
}

std::string offset_by(const std::string& base, const std::string& len,
                      double fraction) {
  const mpfr_prec_t bits = precision_for(len) + 64;
  mpnum b(bits), l(bits), f(64);
  parse(b, base);
  parse(l, len);
  mpfr_set_d(f, fraction, MPFR_RNDN);
  mpfr_mul(l, l, f, MPFR_RNDN);
  mpfr_add(b, b, l, MPFR_RNDN);
  return fixed_for(b, exponent_of(len));
}

std::string scaled(const std::string& len, double factor) {
  mpnum l(precision_for(len)), f(64);
  parse(l, len);
  mpfr_set_d(f, factor, MPFR_RNDN);
  mpfr_mul(l, l, f, MPFR_RNDN);
  if (mpfr_zero_p(l)) return "0";
  std::string s = format("%.*Re", 14, l);
  // Mantissa zeros go; the exponent stays.
  const std::size_t e = s.find('e');
  std::string mant = trim_fixed(s.substr(0, e));
  std::string exp = e == std::string::npos ? "" : s.substr(e);
  if (exp == "e+00" || exp == "e-00") exp.clear();
  return mant + exp;
}

std::string clamped(const std::string& value, double lower, double upper) {
  const double d = to_double(value);
  if (d < lower) return decimal_of(lower);
  if (d > upper) return decimal_of(upper);
  return value;
}

MandArea to_area(const preciseview& v, std::uint64_t dots_x,
                 std::uint64_t dots_y) {
  MandArea a;
  a.minRe = to_double(v.re);
  a.minIm = to_double(v.im);
  a.lenRe = to_double(v.width);
  a.lenIm = dots_x == 0 ? a.lenRe
                        : static_cast<double>(dots_y) * a.lenRe /
                              static_cast<double>(dots_x);
  a.julia = v.julia;
  a.juliaRe = v.julia_re;
  a.juliaIm = v.julia_im;
  a.dotsX = dots_x;
  a.dotsY = dots_y;
  a.limit = v.limit;
  return a;
}

void relative_areas(const preciseview& pending, const MandArea& pending_area,
                    const preciseview& computed, const MandArea& computed_area,
                    MandArea& pending_rel, MandArea& computed_rel) {
  pending_rel = pending_area;
  computed_rel = computed_area;
  // Only when the corners cannot be told apart in doubles (or do not lie
  // in them): otherwise the outline keeps the doubles' own arithmetic.
  if (std::abs(computed_area.lenRe) >= 1e-9 || computed_area.lenRe == 0) return;
  const mpfr_prec_t bits = precision_for(computed.width) + 64;
  auto diff = [bits](const std::string& p, const std::string& c) {
    mpnum a(bits), b(bits);
    parse(a, p);
    parse(b, c);
    mpfr_sub(a, a, b, MPFR_RNDN);
    return mpfr_get_d(a, MPFR_RNDN);
  };
  pending_rel.minRe = diff(pending.re, computed.re);
  pending_rel.minIm = diff(pending.im, computed.im);
  computed_rel.minRe = 0;
  computed_rel.minIm = 0;
}

bool needs_deep(const preciseview& v, std::uint64_t dots_x) {
  const double w = to_double(v.width);
  // A view of no width is the plain window's own case: every pixel is
  // the corner, which doubles give exactly.
  if (dots_x == 0 || !(w > 0)) return false;
  const double scale =
      std::max({1.0, std::abs(to_double(v.re)), std::abs(to_double(v.im))});
  return w / static_cast<double>(dots_x) < scale * 0x1p-44;
}

void centre_of(const preciseview& v, std::uint64_t dots_x, std::uint64_t dots_y,
               std::string& re, std::string& im) {
  re = offset_by(v.re, v.width, 0.5);
  const mpfr_prec_t bits = precision_for(v.width) + 64;
  mpnum h(bits), c(bits), d(bits);
  parse(h, v.width);
  mpfr_mul_ui(h, h, static_cast<unsigned long>(dots_y), MPFR_RNDN);
  mpfr_div_ui(h, h,
              static_cast<unsigned long>(std::max<std::uint64_t>(1, dots_x)),
              MPFR_RNDN);
  mpfr_div_ui(h, h, 2, MPFR_RNDN);
  parse(c, v.im);
  mpfr_add(c, c, h, MPFR_RNDN);
  im = fixed_for(c, exponent_of(v.width));
}

void corner_at(const pictureframe& f, double x, double y, std::string& re,
               std::string& im) {
  const double fy = f.height - y - 1.0;
  re = offset_by(f.view.re, f.view.width, x / f.width);
  im = offset_by(f.view.im, f.view.width, fy / f.height * f.aspect);
}

std::string drag_width(const pictureframe& f, double x0, double x) {
  return scaled(f.view.width, (x - x0) / f.width);
}

preciseview zoomed_about(const pictureframe& f, const preciseview& rest,
                         double x, double y, double factor) {
  preciseview out = rest;
  const double fy = f.height - y - 1.0;
  const double aspect = f.aspect;
  // Corner' = corner + (1 - 1/factor) * position, in units of the width.
  const double keep = 1 - 1 / factor;
  out.re = offset_by(f.view.re, f.view.width, keep * (x / f.width));
  out.im = offset_by(f.view.im, f.view.width, keep * (fy / f.height) * aspect);
  out.width = scaled(f.view.width, 1 / factor);
  return out;
}

preciseview panned(const pictureframe& f, const preciseview& rest, double x0,
                   double y0, double x1, double y1) {
  preciseview out = rest;
  out.re = offset_by(f.view.re, f.view.width, (x0 - x1) / f.width);
  // Rows count downwards, the imaginary axis upwards.
  out.im = offset_by(f.view.im, f.view.width, (y1 - y0) / f.height * f.aspect);
  out.width = f.view.width;
  return out;
}

}  // namespace zv
