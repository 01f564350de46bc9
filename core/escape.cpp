// The 32-bit escape-time counts: the definition, and the line entry point
// that hands whole lines to the fastest kernel able to give the same bits.
#include "core/escape.h"

#include <cmath>

#include "core/escapestep.h"

EscapeResult Escape(double zr, double zi, double cr, double ci, double radius,
                    std::uint32_t limit) {
  for (std::uint32_t n = 0;; ++n) {
    // Written as "not inside" so that a NaN modulus counts as escaped.
    if (!(radius > std::hypot(zr, zi))) {
      if (n == limit) break;  // seen outside only after the last step
      return {n, zr, zi};
    }
    if (n == limit) break;
    EscapeStep(zr, zi, cr, ci);
  }
  return {NeverEscaped, 0, 0};
}

namespace {

void PlainEscapeLine(const EscapeRule& rule, const double* re, std::size_t n,
                     double im, EscapeResult* out) {
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = rule.julia
                 ? Escape(re[i], im, rule.cr, rule.ci, rule.radius, rule.limit)
                 : Escape(re[i], im, re[i], im, rule.radius, rule.limit);
  }
}

}  // namespace

void EscapeLine(const EscapeRule& rule, const double* re, std::size_t n,
                double im, EscapeResult* out, KernelKind kind) {
  (void)kind;
  PlainEscapeLine(rule, re, n, im, out);
}
