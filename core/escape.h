// Escape-time counts for the modern renderer: 32-bit and exact, any escape
// radius, and the point at which the orbit was first seen outside, so that
// smooth colouring can be computed after the fact. The 16-bit counts of the
// Mandelbrot class are a different contract (modulo 65536, 0 for inside) and
// keep their own kernels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/kernel.h"

// The count of a point that did not leave the radius within the limit. No
// escaped count can take it: escaped counts are below the limit, which is at
// most 2^32 - 1.
constexpr std::uint32_t NeverEscaped = 0xFFFFFFFFu;

// The orbit of one point: count is the number of steps after which z was
// first not inside the radius (0 when z0 already was not), or NeverEscaped.
// zr, zi hold that first point not inside; for NeverEscaped they are 0.
struct EscapeResult {
  std::uint32_t count;
  double zr, zi;
};

// What every point of a line shares.
struct EscapeRule {
  double radius = 2;        // escape when not (radius > hypot(z))
  std::uint32_t limit = 100;
  bool julia = false;       // false: z0 = 0 + c = pixel; true: z0 = pixel
  double cr = 0, ci = 0;    // the Julia constant
};

// The definition, one point at a time, with the same step arithmetic as
// EscapeCount (plain square, the complete product only on NaN, hypot
// modulus, "not inside" so that NaN escapes). Mandelbrot points start at
// z0 = c (the step from 0 to c is exact and skipped).
EscapeResult Escape(double zr, double zi, double cr, double ci, double radius,
                    std::uint32_t limit);

// Computes n points at real parts re[0..n) and imaginary part im into out,
// bit for bit as Escape would, whatever the kind. Safe from several threads
// on different outputs.
void EscapeLine(const EscapeRule& rule, const double* re, std::size_t n,
                double im, EscapeResult* out,
                KernelKind kind = DefaultKernel());
