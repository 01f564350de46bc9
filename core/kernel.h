// Line kernels of the escape-time engine. Every kernel gives, bit for bit,
// the counts of EscapeCount for every pixel of a line; they differ only in
// speed, so the choice never shows in a picture.
#pragma once

#include <cstdint>

#include "core/mandarea.h"

enum class KernelKind {
  Plain,  // EscapeCount pixel by pixel: the definition itself
  Sse2,   // vector lanes of two doubles, any x86-64 processor
  Avx2,   // vector lanes of four doubles, processors with AVX2
};

// Whether this processor (and its operating system) can run the kernel.
bool KernelSupported(KernelKind kind);

// The kernel the engine uses: the fastest one supported, or Plain in a build
// configured for the plain engine only.
KernelKind DefaultKernel();

// Computes the counts of the line at imaginary part im of view a into row,
// which holds a.dotsX counts. With onlyZeros only pixels whose count is 0
// are computed (with a's limit) and the others are left alone. Safe to call
// from several threads at once on different rows. An unsupported kind falls
// back to Plain. detectCycles false makes the vector kernels iterate every
// orbit to its end, for timing the iteration itself; counts are the same.
void ComputeLine(const MandArea& a, double im, unsigned short* row,
                 bool onlyZeros, KernelKind kind, bool detectCycles = true);
