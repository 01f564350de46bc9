// The lane kernel: the escape-time iteration of many pixels at once in vector
// registers, with the exact counts of EscapeCount. Internal to core; the
// ISA files include it once each, compiled with their own instruction set.
//
// Everything here lives in an anonymous namespace and uses nothing inline
// from the standard library: a function compiled twice with different
// instruction sets must never be merged by the linker, or a processor
// without AVX2 could end up running the AVX2 copy.
//
// Why the counts are exact:
// - Escape test. EscapeCount asks "not R > hypot(z)". The lanes compare
//   m2 = fl(re*re + im*im) with lo = fl(fl(R*R) * (1 - 2^-40)) and
//   hi = fl(fl(R*R) * (1 + 2^-40)). m2 is within 2.01 * 2^-53 of |z|^2
//   (plus 2^-1073 from underflow, nothing against R >= 2), hypot within a
//   few ulps of |z|, so m2 < lo proves hypot(z) < R and a finite m2 > hi
//   proves hypot(z) > R; an infinite m2 means |z| >= 2^511 > R. Anything
//   else, NaN included, is decided by hypot itself.
// - Square. A z that passed the test has |z| < R <= 2^500, so the fast
//   square cannot overflow or give a NaN: EscapeCount's complete complex
//   product is never reached, and the lanes do its fast square with the
//   same operations in the same order. z + z is exactly 2.0 * z.
// - Cycles. The iteration is deterministic, so a z equal to an earlier z of
//   the same orbit (all of which passed the test) repeats forever without
//   escaping: the count is 0, as at the end of the limit. Equal as doubles
//   admits +0 against -0, which changes only signs of zeros later on, never
//   a modulus.
// Pixels outside these premises (a Julia radius above 2^500 or not a
// number) go through EscapeCount itself.
#pragma once

#include <math.h>

#include <cstdint>

#include "core/kernel_isa.h"

namespace {

constexpr double LowFactor = 1 - 0x1p-40;
constexpr double HighFactor = 1 + 0x1p-40;
constexpr double MaxRadius = 0x1p500;
// Orbits are compared with a saved point every CheckEvery steps of the
// shared clock, and saved only on such steps, so that a saved point and
// its repeat one period later always fall on compared steps.
constexpr std::uint64_t CheckEvery = 8;
constexpr std::uint64_t FirstSaveGap = 16;

// Position of pixel i, with the operations of PixelPosition.
inline double Position(double start, double len, double span, std::uint64_t i,
                       std::uint64_t count) {
  if (count < 2) return start + len * 0.5;
  return start + (static_cast<double>(i) * len) / span;
}

// Ops supplies the vector type V of Ops::Width doubles and its operations;
// Vecs vectors are iterated together to hide the latency of each step.
template <class Ops, int Vecs>
class LaneKernel {
 public:
  using V = typename Ops::V;
  static constexpr int Width = Ops::Width;
  static constexpr int Lanes = Width * Vecs;

  explicit LaneKernel(const LineJob& job) : job(job) {
    span = static_cast<double>(job.dotsX - 1);
    // Mandelbrot mode: one radius for every pixel.
    fixedLo = 4.0 * LowFactor;
    fixedHi = 4.0 * HighFactor;
  }

  void Run() {
    for (int i = 0; i < Lanes; ++i) Refill(i);
    for (int i = 0; i < Lanes; ++i) Settle(i);
    for (;;) {
      bool any = false;
      std::uint64_t steps = ~std::uint64_t(0);
      for (int i = 0; i < Lanes; ++i) {
        if (!active[i]) continue;
        any = true;
        std::uint64_t left = job.limit - (clock - start[i]);
        if (left < steps) steps = left;
        if (nextSave[i] - clock < steps) steps = nextSave[i] - clock;
      }
      if (!any) return;
      int flagged[Vecs];
      std::uint64_t done = Iterate(steps, flagged);
      clock += done;
      if (done == steps) {
        for (int i = 0; i < Lanes; ++i) Settle(i);
        continue;
      }
      for (int v = 0; v < Vecs; ++v) {
        for (int bits = flagged[v]; bits != 0; bits &= bits - 1) {
          Settle(v * Width + __builtin_ctz(static_cast<unsigned>(bits)));
        }
      }
    }
  }

 private:
  // Steps every lane until a lane is no longer surely inside, a compared
  // step finds an orbit back at its saved point, or `steps` steps are done.
  // Returns the steps done; flagged[v] marks the lanes of vector v that
  // stopped the run (undefined when all steps were done).
  std::uint64_t Iterate(std::uint64_t steps, int* flagged) {
    V vr[Vecs], vi[Vecs];
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) {
      vr[v] = Ops::Load(zr + v * Width);
      vi[v] = Ops::Load(zi + v * Width);
    }
    std::uint64_t done = 0;
    for (;;) {
      V nr[Vecs], ni[Vecs], in[Vecs];
#pragma GCC unroll 8
      for (int v = 0; v < Vecs; ++v) {
        V x2 = Ops::Mul(vr[v], vr[v]);
        V y2 = Ops::Mul(vi[v], vi[v]);
        in[v] = Ops::Lt(Ops::Add(x2, y2), Ops::Load(lo + v * Width));
        // EscapeCount's order: (re*re - im*im) + cr and (2*re)*im + ci.
        nr[v] = Ops::Add(Ops::Sub(x2, y2), Ops::Load(cr + v * Width));
        ni[v] = Ops::Add(Ops::Mul(Ops::Add(vr[v], vr[v]), vi[v]),
                         Ops::Load(ci + v * Width));
      }
      V all = in[0];
#pragma GCC unroll 8
      for (int v = 1; v < Vecs; ++v) all = Ops::And(all, in[v]);
      if (Ops::Mask(all) != Ops::Full) {
#pragma GCC unroll 8
        for (int v = 0; v < Vecs; ++v) flagged[v] = Ops::Full & ~Ops::Mask(in[v]);
        break;
      }
      if (done == steps) break;
#pragma GCC unroll 8
      for (int v = 0; v < Vecs; ++v) {
        vr[v] = nr[v];
        vi[v] = ni[v];
      }
      ++done;
      if ((clock + done) % CheckEvery == 0) {
        V back[Vecs];
        int anyBack = 0;
#pragma GCC unroll 8
        for (int v = 0; v < Vecs; ++v) {
          back[v] = Ops::And(Ops::Eq(vr[v], Ops::Load(savedR + v * Width)),
                             Ops::Eq(vi[v], Ops::Load(savedI + v * Width)));
          anyBack |= Ops::Mask(back[v]);
        }
        if (anyBack != 0) {
#pragma GCC unroll 8
          for (int v = 0; v < Vecs; ++v) flagged[v] = Ops::Mask(back[v]);
          break;
        }
      }
    }
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) {
      Ops::Store(zr + v * Width, vr[v]);
      Ops::Store(zi + v * Width, vi[v]);
    }
    return done;
  }

  // Brings lane i back to a state the vector loop may step: surely inside
  // with steps left. Finished pixels are stored and the lane refilled.
  void Settle(int i) {
    while (active[i]) {
      double x = zr[i], y = zi[i];
      if (x == savedR[i] && y == savedI[i]) {
        Finish(i, 0);
        continue;
      }
      std::uint64_t n = job.limit - (clock - start[i]);
      double m2 = x * x + y * y;
      bool sure = m2 < lo[i];
      bool escaped = false;
      if (!sure) escaped = m2 > hi[i] || !(radius[i] > hypot(x, y));
      if (escaped) {
        Finish(i, n != 0 ? static_cast<unsigned short>(job.limit - n) : 0);
        continue;
      }
      if (n == 0) {
        Finish(i, 0);
        continue;
      }
      if (sure) {
        if (clock == nextSave[i]) {
          savedR[i] = x;
          savedI[i] = y;
          nextSave[i] += saveGap[i];
          saveGap[i] *= 2;
        }
        return;
      }
      // Inside, but too close to the radius for the vector test: this one
      // step is taken here, in EscapeCount's order.
      double sr = x * x - y * y;
      double si = (x + x) * y;
      zr[i] = sr + cr[i];
      zi[i] = si + ci[i];
      --start[i];
    }
  }

  void Finish(int i, unsigned short count) {
    job.row[pixel[i]] = count;
    Refill(i);
  }

  // Loads the next pixel to compute into lane i, or parks the lane on a
  // point that stays inside when the line is done.
  void Refill(int i) {
    while (next < job.dotsX) {
      std::uint64_t m = next++;
      if (job.onlyZeros && job.row[m] != 0) continue;
      double re = Position(job.minRe, job.lenRe, span, m, job.dotsX);
      double im = job.im;
      double r = 2, l = fixedLo, h = fixedHi;
      double c0 = re, c1 = im;
      if (job.julia) {
        c0 = job.cr;
        c1 = job.ci;
        r = hypot(re, im) + 2;
        if (!(r <= MaxRadius)) {
          job.row[m] = EscapeCount(re, im, c0, c1, r, job.limit);
          continue;
        }
        double r2 = r * r;
        l = r2 * LowFactor;
        h = r2 * HighFactor;
      }
      pixel[i] = m;
      zr[i] = re;
      zi[i] = im;
      cr[i] = c0;
      ci[i] = c1;
      radius[i] = r;
      lo[i] = l;
      hi[i] = h;
      start[i] = clock;
      savedR[i] = savedI[i] = __builtin_nan("");
      // Without cycle detection the first save lies beyond every orbit.
      nextSave[i] = job.detectCycles
                        ? clock - clock % CheckEvery + FirstSaveGap
                        : ~std::uint64_t(0);
      saveGap[i] = FirstSaveGap;
      active[i] = true;
      return;
    }
    active[i] = false;
    zr[i] = zi[i] = cr[i] = ci[i] = 0;
    lo[i] = 1;
    savedR[i] = savedI[i] = __builtin_nan("");
  }

  const LineJob& job;
  double span, fixedLo, fixedHi;
  std::uint64_t next = 0;
  // Steps of the shared clock; a lane's own step count is clock - start.
  std::uint64_t clock = 0;

  alignas(64) double zr[Lanes];
  alignas(64) double zi[Lanes];
  alignas(64) double cr[Lanes];
  alignas(64) double ci[Lanes];
  alignas(64) double lo[Lanes];
  alignas(64) double savedR[Lanes];
  alignas(64) double savedI[Lanes];
  double hi[Lanes];
  double radius[Lanes];
  std::uint64_t start[Lanes];
  std::uint64_t nextSave[Lanes];
  std::uint64_t saveGap[Lanes];
  std::uint64_t pixel[Lanes];
  bool active[Lanes];
};

}  // namespace
