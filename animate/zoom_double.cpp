// The zoom in doubles, for builds without MPFR: enough for every view the
// double engine itself can draw, and refused beyond.
#include <algorithm>
#include <cmath>

#include "animate/zoom.h"
#include "colour/palette.h"
#include "viewspec/decimal.h"

bool ZoomPlace(const PlanePlace& a, const PlanePlace& b, double s,
               std::uint64_t pixels, PlanePlace& out, std::string& error) {
  double are, aim, bre, bim, wa, wb;
  if (!DecimalToDouble(a.re, are) || !DecimalToDouble(a.im, aim) ||
      !DecimalToDouble(b.re, bre) || !DecimalToDouble(b.im, bim) ||
      !DecimalToDouble(a.width, wa) || !DecimalToDouble(b.width, wb)) {
    error = "a centre or width is not a number a double can hold";
    return false;
  }
  const double scale = std::max(
      {1.0, std::fabs(are), std::fabs(aim), std::fabs(bre), std::fabs(bim)});
  // As the double engine: below 2^-40 of the scale per sample, neighbouring
  // samples are no longer placed apart reliably.
  if (!(std::min(wa, wb) / double(pixels) / scale >= 0x1p-40)) {
    error =
        "the keyframes zoom deeper than doubles can place a pixel; this "
        "build has no MPFR for deeper views";
    return false;
  }
  const double lnk = std::log(wb) - std::log(wa);
  const double g = lnk == 0 ? s : std::expm1(s * lnk) / std::expm1(lnk);
  out.re = FormatDouble(are + (bre - are) * g);
  out.im = FormatDouble(aim + (bim - aim) * g);
  out.width = FormatDouble(wa * std::exp(s * lnk));
  return true;
}
