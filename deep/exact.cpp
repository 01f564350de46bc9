// The full-precision oracle: every step of every point in MPFR, the way the
// definition reads, for checking the deep engine.
#include <stdexcept>

#include "deep/deep.h"
#include "deep/mp.h"

namespace deep {
namespace {

// Extra bits over the reference's: the oracle must not be the one that is
// wrong when the two disagree.
constexpr mpfr_prec_t OracleMargin = 32;

class Oracle {
 public:
  explicit Oracle(const View& view)
      : view(view),
        bits(ViewPrecision(view) + OracleMargin),
        cr(bits),
        ci(bits),
        zr(bits),
        zi(bits),
        sr(bits),
        si(bits),
        t(bits),
        norm(bits),
        bail2(128),
        width(bits),
        centreRe(bits),
        centreIm(bits) {
    ParseDecimal(view.re, "re", centreRe);
    ParseDecimal(view.im, "im", centreIm);
    ParseDecimal(view.width, "width", width);
    if (view.julia) {
      ParseDecimal(view.juliaRe, "juliaRe", cr);
      ParseDecimal(view.juliaIm, "juliaIm", ci);
    }
    // bailout^2 of a double is exact in 106 bits.
    mpfr_set_d(bail2, view.bailout, MPFR_RNDN);
    mpfr_sqr(bail2, bail2, MPFR_RNDN);
  }

  EscapeResult Run(double u, double v) {
    // The point, rounded once to the working precision.
    mpfr_mul_d(t, width, u, MPFR_RNDN);
    mpfr_add(zr, centreRe, t, MPFR_RNDN);
    mpfr_mul_d(t, width, v, MPFR_RNDN);
    mpfr_add(zi, centreIm, t, MPFR_RNDN);
    if (!view.julia) {
      mpfr_set(cr, zr, MPFR_RNDN);
      mpfr_set(ci, zi, MPFR_RNDN);
    }
    for (std::uint32_t k = 0; k < view.limit; ++k) {
      mpfr_sqr(sr, zr, MPFR_RNDN);
      mpfr_sqr(si, zi, MPFR_RNDN);
      mpfr_add(norm, sr, si, MPFR_RNDN);
      // Not inside: |z|^2 >= bailout^2.
      if (mpfr_cmp(norm, bail2) >= 0) {
        return {k, mpfr_get_d(zr, MPFR_RNDN), mpfr_get_d(zi, MPFR_RNDN)};
      }
      mpfr_mul(t, zr, zi, MPFR_RNDN);
      mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
      mpfr_add(zi, t, ci, MPFR_RNDN);
      mpfr_sub(zr, sr, si, MPFR_RNDN);
      mpfr_add(zr, zr, cr, MPFR_RNDN);
    }
    return {NeverEscaped, 0, 0};
  }

 private:
  const View& view;
  mpfr_prec_t bits;
  Mp cr, ci, zr, zi, sr, si, t, norm, bail2, width, centreRe, centreIm;
};

}  // namespace

EscapeResult ExactEscape(const View& view, double u, double v) {
  Oracle oracle(view);
  return oracle.Run(u, v);
}

void ExactLine(const View& view, double v, const double* u, std::size_t n,
               EscapeResult* out) {
  Oracle oracle(view);
  for (std::size_t k = 0; k < n; ++k) out[k] = oracle.Run(u[k], v);
}

}  // namespace deep
