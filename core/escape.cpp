// The 32-bit escape-time counts: the definition, and the line entry point
// that hands whole lines to the fastest kernel able to give the same bits.
#include "core/escape.h"

#include <cmath>

#include "core/escapestep.h"
#include "core/kernel_isa.h"

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
  if (!KernelSupported(kind)) kind = KernelKind::Plain;
  // The lanes add the Julia constant without looking at it, and decide the
  // escape test exactly only for radii in their range: the rest, NaN and
  // infinities included, is the definition's.
  if (rule.julia && !(std::isfinite(rule.cr) && std::isfinite(rule.ci))) {
    kind = KernelKind::Plain;
  }
  if (!(rule.radius >= MinLaneRadius && rule.radius <= MaxLaneRadius)) {
    kind = KernelKind::Plain;
  }
  if (kind == KernelKind::Plain || n == 0) {
    PlainEscapeLine(rule, re, n, im, out);
    return;
  }
  LineJob job{0,       0,       n,          im,    rule.julia,
              rule.cr, rule.ci, rule.limit, nullptr, false,
              true,    re,      rule.radius, out};
  if (kind == KernelKind::Avx2) {
    EscapeLineAvx2(job);
  } else {
    EscapeLineSse2(job);
  }
}
