// Views for the engine's tests, written as one call per table row.
#pragma once

#include <cstdint>

#include "core/mandarea.h"

inline MandArea View(double minRe, double minIm, double lenRe, double lenIm,
                     std::uint64_t dotsX, std::uint64_t dotsY,
                     std::uint64_t limit, bool julia = false,
                     double jre = -0.8, double jim = 0.156) {
  MandArea a;
  a.minRe = minRe;
  a.minIm = minIm;
  a.lenRe = lenRe;
  a.lenIm = lenIm;
  a.dotsX = dotsX;
  a.dotsY = dotsY;
  a.limit = limit;
  a.julia = julia;
  a.juliaRe = jre;
  a.juliaIm = jim;
  return a;
}
