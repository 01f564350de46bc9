// The escape-time engine. The arithmetic of every step is fixed to the
// rounding so that counts are the same on every machine and build.
#include "core/mandelbrot.h"

#include <cmath>
#include <iostream>

#include "core/escapestep.h"
#include "core/kernel.h"

void FullMultiply(double a, double b, double c, double d, double& re,
                  double& im) {
  double ac = a * c, bd = b * d, ad = a * d, bc = b * c;
  re = ac - bd;
  im = ad + bc;
  if (!(std::isnan(re) && std::isnan(im))) return;
  bool recalc = false;
  if (std::isinf(a) || std::isinf(b)) {
    a = std::copysign(std::isinf(a) ? 1.0 : 0.0, a);
    b = std::copysign(std::isinf(b) ? 1.0 : 0.0, b);
    if (std::isnan(c)) c = std::copysign(0.0, c);
    if (std::isnan(d)) d = std::copysign(0.0, d);
    recalc = true;
  }
  if (std::isinf(c) || std::isinf(d)) {
    c = std::copysign(std::isinf(c) ? 1.0 : 0.0, c);
    d = std::copysign(std::isinf(d) ? 1.0 : 0.0, d);
    if (std::isnan(a)) a = std::copysign(0.0, a);
    if (std::isnan(b)) b = std::copysign(0.0, b);
    recalc = true;
  }
  if (!recalc && (std::isinf(ac) || std::isinf(bd) || std::isinf(ad) ||
                  std::isinf(bc))) {
    if (std::isnan(a)) a = std::copysign(0.0, a);
    if (std::isnan(b)) b = std::copysign(0.0, b);
    if (std::isnan(c)) c = std::copysign(0.0, c);
    if (std::isnan(d)) d = std::copysign(0.0, d);
    recalc = true;
  }
  if (recalc) {
    re = INFINITY * (a * c - b * d);
    im = INFINITY * (a * d + b * c);
  }
}

unsigned short EscapeCount(double zr, double zi, double cr, double ci,
                           double r, std::uint64_t limit) {
  std::uint64_t n = limit;
  for (;;) {
    // Written as "not inside" so that a NaN modulus counts as escaped.
    if (!(r > std::hypot(zr, zi))) {
      return n != 0 ? static_cast<unsigned short>(limit - n) : 0;
    }
    if (n == 0) return 0;
    EscapeStep(zr, zi, cr, ci);
    --n;
  }
}

Mandelbrot::Mandelbrot(BufferModes mode)
    : line(0), areaSet(false), bufferMode(mode) {}

Mandelbrot::~Mandelbrot() = default;

void Mandelbrot::SetArea(const MandArea& a) {
  if (!buf) {
    if (bufferMode == NormalBuffer) {
      buf.reset(new NormalMBuf<unsigned short>());
    } else {
      buf.reset(new ReducedMBuf<unsigned short>());
    }
  }
  areaSet = true;
  buf->Free();
  buf->Allocate(a.dotsY, a.dotsX);
  area = a;
  line = 0;
}

const MandArea& Mandelbrot::GetArea() const { return area; }

unsigned short* Mandelbrot::GetBuf() {
  EnsureArea();
  return (*buf)[line];
}

// Without a view there is no buffer to read or write: every entry point that
// touches it installs the default view first, as SetLine does.
void Mandelbrot::EnsureArea() {
  if (!areaSet) SetArea(MandArea());
}

void Mandelbrot::SetLine(std::uint64_t l) {
  EnsureArea();
  line = l;
  if (l >= area.dotsY) {
    std::cerr << "SetLine OVER! (" << l << "/" << area.dotsY << ")"
              << std::endl;
    line = area.dotsY - 1;
  }
}

std::uint64_t Mandelbrot::GetLine() const { return line; }

void Mandelbrot::Calculation() {
  EnsureArea();
  unsigned short* row = (*buf)[line];
  double im = PixelPosition(area.minIm, area.lenIm, line, area.dotsY);
  ComputeLine(area, im, row, false, DefaultKernel());
  *buf->Flags(line) |= 1;
}

void Mandelbrot::inReCalc() {
  EnsureArea();
  unsigned short* row = (*buf)[line];
  double im = PixelPosition(area.minIm, area.lenIm, line, area.dotsY);
  ComputeLine(area, im, row, true, DefaultKernel());
}

void Mandelbrot::ReCalc() {
  EnsureArea();
  if (*buf->Flags(line) & 1) {
    inReCalc();
  } else {
    Calculation();
  }
}
