// The lane kernel: the escape-time iteration of many pixels at once in vector
// registers, with the exact counts of EscapeCount. Internal to core; the
// ISA files include it once each, compiled with their own instruction set.
//
// Everything here lives in an anonymous namespace and uses nothing inline
// from the standard library: a function compiled twice with different
// instruction sets must never be merged by the linker, or a processor
// without AVX2 could end up running the AVX2 copy.
//
// A line goes through two stages. Groups of neighbouring pixels first run in
// lockstep, until most of the group is done or for a few hundred steps at
// most, which finishes short orbits without any per-pixel bookkeeping. The
// pixels still inside then go to lanes that are refilled as orbits end, so
// that long orbits of different lengths never wait for each other.
//
// Why the counts are exact:
// - Escape test. EscapeCount asks "not R > hypot(z)". The lanes compare
//   m2 = fl(re*re + im*im) with lo = fl(fl(Q*Q) * (1 - 2^-40)) and
//   hi = fl(fl(Q*Q) * (1 + 2^-40)), where Q is R, or in Julia mode
//   sqrt(fl(re0*re0 + im0*im0)) + 2, which lies within 2^-50 of R relative.
//   m2 is within 2.01 * 2^-53 of |z|^2 (plus 2^-1073 from underflow, nothing
//   against R >= 2), hypot within a few ulps of |z|, so m2 < lo proves
//   hypot(z) < R and a finite m2 > hi proves hypot(z) > R; an infinite m2
//   means |z| >= 2^511 > R. Anything else, NaN included, is decided by
//   hypot and the exact R.
// - Square. A z that passed the test has |z| < R <= 2^500, so the fast
//   square cannot overflow or give a NaN: EscapeCount's complete complex
//   product is never reached, and the lanes do its fast square with the
//   same operations in the same order. z + z and z * 2 are exactly
//   2.0 * z. The next z is finite or infinite but never a NaN, the constant
//   being finite, so neither is its squared modulus, which lets the lanes
//   test the largest of several at once.
// - Lockstep. A lane stops at the first step that is not surely inside; if
//   that step is surely outside its count is the number of steps before, as
//   in EscapeCount, and otherwise the pixel starts again in a refilled lane,
//   where every test is decided exactly.
// - Cycles. The iteration is deterministic, so a z equal to an earlier z of
//   the same orbit (all of which passed the test) repeats forever without
//   escaping: the count is 0, as at the end of the limit. Equal as doubles
//   admits +0 against -0, which changes only signs of zeros later on, never
//   a modulus.
// Pixels outside these premises (a Julia radius above 2^500 or not a
// number) go through EscapeCount itself.
//
// The 32-bit results (Wide) follow the same argument with one radius R for
// the whole line, lo and hi from fl(R*R), as long as R lies in
// [2^-500, 2^500]: the upper bound keeps the square finite, and from the
// lower one the margins, R^2 * 2^-40 >= 2^-1040, still dwarf the 2^-1073
// that underflow can add to m2. Their counts are those of Escape, and a lane
// that stops in lockstep has the point of the test that stopped it kept,
// which is Escape's point of escape.
#pragma once

#include <math.h>

#include <cstdint>

#include "core/kernel_isa.h"

namespace {

constexpr double LowFactor = 1 - 0x1p-40;
constexpr double HighFactor = 1 + 0x1p-40;
constexpr double MaxRadius = MaxLaneRadius;
// Steps a pixel spends in lockstep at most before it moves to a refilled
// lane, whose loop is leaner.
constexpr std::uint64_t LockstepSteps = 256;
// Orbits are compared with their saved point every CheckEvery steps of the
// shared clock, and saved only on such steps, so that a saved point and its
// repeat one period later always fall on compared steps. The gap between
// saves doubles, so that any period is caught once the gap exceeds it.
constexpr std::uint64_t CheckEvery = 8;
constexpr double FirstSaveGap = 16;

// The lanes set in a mask of at most four: __builtin_popcount would be a
// library call on processors without a population count instruction.
inline int LaneCount(int mask) {
  return (0x4332322132212110ull >> (4 * mask)) & 0xf;
}

// Ops supplies the vector type V of Ops::Width doubles and its operations.
// Vecs vectors of refilled lanes, and GroupVecs vectors in lockstep, are
// iterated together to hide the latency of each step; as many as fit the
// registers. Wide selects the 32-bit results of Escape over the 16-bit
// counts of EscapeCount.
template <class Ops, int Vecs, int GroupVecs, bool Wide>
class LaneKernel {
 public:
  using V = typename Ops::V;
  static constexpr int Width = Ops::Width;
  static constexpr int Lanes = Width * Vecs;
  static constexpr int GroupLanes = Width * GroupVecs;

  explicit LaneKernel(const LineJob& job) : job(job) {
    span = static_cast<double>(job.dotsX - 1);
    lockSteps = job.limit < LockstepSteps ? job.limit : LockstepSteps;
    double r2 = Wide ? job.radius * job.radius : 4.0;
    uniformLo = r2 * LowFactor;
    uniformHi = r2 * HighFactor;
  }

  void Run() {
    for (int i = 0; i < Lanes; ++i) {
      Refill(i);
      Settle(i);
    }
    for (;;) {
      bool any = false;
      std::uint64_t steps = ~std::uint64_t(0);
      for (int i = 0; i < Lanes; ++i) {
        if (!active[i]) continue;
        any = true;
        std::uint64_t left = job.limit - (clock - start[i]);
        if (left < steps) steps = left;
      }
      if (!any) return;
      int flagged[Vecs] = {};
      bool cycled = false;
      std::uint64_t done = job.julia && !Wide
                               ? Iterate<false>(steps, flagged, cycled)
                               : Iterate<true>(steps, flagged, cycled);
      clock += done;
      for (int v = 0; v < Vecs; ++v) {
        for (int bits = flagged[v]; bits != 0; bits &= bits - 1) {
          int i = v * Width + __builtin_ctz(static_cast<unsigned>(bits));
          if (cycled) FinishInside(i);
          Settle(i);
        }
      }
      // Lanes at the end of their limit: surely inside, so they store 0.
      if (done == steps) {
        for (int i = 0; i < Lanes; ++i) {
          if (active[i] && clock - start[i] == job.limit) Settle(i);
        }
      }
    }
  }

 private:
  // A pixel that leaves lockstep for a refilled lane.
  struct Pending {
    std::uint64_t m;
    double zr, zi, re0, lo, hi;
    std::uint64_t steps;
  };

  double Position(std::uint64_t m) const {
    // PixelPosition's operations: product, then quotient, then the sum.
    if (job.dotsX < 2) return job.minRe + job.lenRe * 0.5;
    return job.minRe + (static_cast<double>(m) * job.lenRe) / span;
  }

  // Runs the next group of Lanes pixels in lockstep for lockSteps steps.
  // Stores the counts it can prove and queues the other pixels.
  void RunGroup() {
    pendingCount = pendingNext = 0;
    std::uint64_t m0 = nextGroup;
    nextGroup += GroupLanes;

    // Positions and radii for the whole group at once; each position with
    // PixelPosition's operations (product, quotient, sum), so bit for bit
    // the same.
    alignas(64) double re[GroupLanes], gLo[GroupLanes], gHi[GroupLanes];
    // The lower bound of a lane while it runs (see below); -1 from the
    // start for a lane with no pixel to run.
    alignas(64) double bound[GroupLanes];
    V vr[GroupVecs], vi[GroupVecs], vcr[GroupVecs], vci[GroupVecs];
    int validBits[GroupVecs];
    int any = 0;
    const V dots = Ops::Set(static_cast<double>(job.dotsX));
    const bool whole = m0 + GroupLanes <= job.dotsX;
    if (Wide && !whole) {
      for (int k = 0; k < GroupLanes; ++k) {
        re[k] = m0 + k < job.dotsX ? job.re[m0 + k] : 0;
      }
    }
#pragma GCC unroll 8
    for (int v = 0; v < GroupVecs; ++v) {
      std::uint64_t first = m0 + v * Width;
      V m = Ops::Add(Ops::Set(static_cast<double>(first)), Ops::Iota());
      V x =
          Wide
              ? (whole ? Ops::LoadU(job.re + first) : Ops::Load(re + v * Width))
          : job.dotsX < 2 ? Ops::Set(job.minRe + job.lenRe * 0.5)
                          : Ops::Add(Ops::Set(job.minRe),
                                     Ops::Div(Ops::Mul(m, Ops::Set(job.lenRe)),
                                              Ops::Set(span)));
      V ok = Ops::Lt(m, dots);
      V l = Ops::Set(uniformLo), h = Ops::Set(uniformHi);
      if (job.julia && !Wide) {
        V q = Ops::Add(
            Ops::Sqrt(Ops::Add(Ops::Mul(x, x), Ops::Set(job.im * job.im))),
            Ops::Set(2.0));
        V q2 = Ops::Mul(q, q);
        l = Ops::Mul(q2, Ops::Set(LowFactor));
        h = Ops::Mul(q2, Ops::Set(HighFactor));
        V fits = Ops::Le(q, Ops::Set(MaxRadius));
        int huge = Ops::Mask(Ops::AndNot(fits, ok));
        if (huge != 0) {
          Ops::Store(re + v * Width, x);
          for (int bits = huge; bits != 0; bits &= bits - 1) {
            int k = __builtin_ctz(static_cast<unsigned>(bits));
            double r0 = re[v * Width + k];
            job.row[first + k] = EscapeCount(r0, job.im, job.cr, job.ci,
                                             hypot(r0, job.im) + 2, job.limit);
          }
          ok = Ops::And(ok, fits);
        }
      }
      if (job.onlyZeros && !Wide) {
        alignas(64) std::uint64_t zero[Width];
        for (int k = 0; k < Width; ++k) {
          zero[k] = first + k < job.dotsX && job.row[first + k] == 0
                        ? ~std::uint64_t(0)
                        : 0;
        }
        ok = Ops::And(ok, Ops::LoadMask(zero));
      }
      Ops::Store(re + v * Width, x);
      Ops::Store(gLo + v * Width, l);
      Ops::Store(gHi + v * Width, h);
      Ops::Store(bound + v * Width, Ops::Blend(Ops::Set(-1.0), l, ok));
      vr[v] = x;
      vi[v] = Ops::Set(job.im);
      vcr[v] = job.julia ? Ops::Set(job.cr) : x;
      vci[v] = job.julia ? Ops::Set(job.ci) : vi[v];
      validBits[v] = Ops::Mask(ok);
      any |= validBits[v];
    }
    if (any == 0) return;

    // Every lane of the group is as old as the group, so one schedule of
    // saves and comparisons serves them all (see CheckEvery).
    //
    // A lane's state lives in memory and changes only when the lane stops,
    // once: the loop itself only steps and tests. bound is the lane's lower
    // bound while it runs and -1 once it stops (no modulus is below -1, and
    // a NaN is below nothing), so the test alone keeps a stopped lane out.
    // lastM2 is the modulus of the test that stopped a lane, or -1 when its
    // orbit came back to a saved point; stopSteps the steps before the stop
    // (as doubles, exact below 2^53, to be blended in vectors); stopR and
    // stopI the point tested there. runBits[v] marks the lanes of vector v
    // still running.
    //
    // Cleared by vector stores: as loops, GCC makes them `rep stos`, whose
    // start-up alone cost more than a short orbit.
    alignas(64) double keptR[GroupLanes], keptI[GroupLanes];
    alignas(64) double stopR[GroupLanes], stopI[GroupLanes];
    alignas(64) double lastM2[GroupLanes];
    alignas(64) double stopSteps[GroupLanes];
    int runBits[GroupVecs];
    const V nan = Ops::Set(__builtin_nan(""));
#pragma GCC unroll 8
    for (int v = 0; v < GroupVecs; ++v) {
      Ops::Store(stopR + v * Width, Ops::Set(0));
      Ops::Store(stopI + v * Width, Ops::Set(0));
      Ops::Store(keptR + v * Width, nan);
      Ops::Store(keptI + v * Width, nan);
      Ops::Store(lastM2 + v * Width, Ops::Set(0));
      Ops::Store(stopSteps + v * Width, Ops::Set(0));
      runBits[v] = validBits[v];
    }
    std::uint64_t keepAt = static_cast<std::uint64_t>(FirstSaveGap);
    const V two = Ops::Set(2.0);
    const V minusOne = Ops::Set(-1.0);
    // Steps every running lane has taken.
    std::uint64_t done = lockSteps;
    for (std::uint64_t j = 1; j <= lockSteps; ++j) {
      int running = 0;
#pragma GCC unroll 8
      for (int v = 0; v < GroupVecs; ++v) {
        V x2 = Ops::Mul(vr[v], vr[v]);
        V y2 = Ops::Mul(vi[v], vi[v]);
        V m2 = Ops::Add(x2, y2);
        const V b = Ops::Load(bound + v * Width);
        const V in = Ops::Lt(m2, b);
        const int now = Ops::Mask(in);
        if (now != runBits[v]) {
          // Lanes stop once each, so this is rarely taken. The lanes that
          // ran until now are those whose bound is above -1.
          const V stop = Ops::AndNot(in, Ops::Lt(minusOne, b));
          double* at[] = {lastM2, stopR, stopI, stopSteps, bound};
          const V kept[] = {m2, vr[v], vi[v],
                            Ops::Set(static_cast<double>(j - 1)), minusOne};
#pragma GCC unroll 5
          for (int a = 0; a < 5; ++a) {
            double* p = at[a] + v * Width;
            Ops::Store(p, Ops::Blend(Ops::Load(p), kept[a], stop));
          }
          runBits[v] = now;
        }
        running |= now;
        V si = Ops::Mul(Ops::Mul(vr[v], two), vi[v]);
        vr[v] = Ops::Add(Ops::Sub(x2, y2), vcr[v]);
        vi[v] = Ops::Add(si, vci[v]);
      }
      if (running == 0) {
        done = j;
        break;
      }
      if (j % CheckEvery != 0) continue;
      int left = 0;
#pragma GCC unroll 8
      for (int v = 0; v < GroupVecs; ++v) {
        if (job.detectCycles && j > FirstSaveGap) {
          const int back =
              runBits[v] &
              Ops::Mask(Ops::And(Ops::Eq(vr[v], Ops::Load(keptR + v * Width)),
                                 Ops::Eq(vi[v], Ops::Load(keptI + v * Width))));
          for (int bits = back; bits != 0; bits &= bits - 1) {
            const int i =
                v * Width + __builtin_ctz(static_cast<unsigned>(bits));
            lastM2[i] = -1;
            bound[i] = -1;
          }
          runBits[v] &= ~back;
        }
        if (j == keepAt) {
          Ops::Store(keptR + v * Width, vr[v]);
          Ops::Store(keptI + v * Width, vi[v]);
        }
        left += LaneCount(runBits[v]);
      }
      if (j == keepAt) keepAt *= 2;
      // Once most lanes are done, the rest go on in refilled lanes rather
      // than drag the empty ones along.
      if (left * 3 <= GroupLanes) {
        done = j;
        break;
      }
    }

    alignas(64) double outR[GroupLanes], outI[GroupLanes];
#pragma GCC unroll 8
    for (int v = 0; v < GroupVecs; ++v) {
      Ops::Store(outR + v * Width, vr[v]);
      Ops::Store(outI + v * Width, vi[v]);
      const int still = runBits[v];
      const int stopped = validBits[v] & ~still;
      const V last = Ops::Load(lastM2 + v * Width);
      // Stopped by a test surely outside, before the limit: the count is
      // the number of steps before it. Only stopped lanes have a modulus
      // kept; the others' 0 and -1 lie below any bound.
      const V outside = Ops::Lt(Ops::Load(gHi + v * Width), last);
      const int out = stopped & Ops::Mask(outside);
      // Back at a saved point, or surely inside after every step of the
      // limit (the test that would follow decides nothing): never escapes.
      const int inside = (stopped & Ops::Mask(Ops::Lt(last, Ops::Set(0)))) |
                         (done == job.limit ? still : 0);
      const int decided = out | inside;
      const int i0 = v * Width;
      if (decided == Ops::Full) {
        // Nearly always, on short orbits: the whole vector at once.
        StoreDecided(m0 + i0, out, outside, stopSteps + i0, stopR + i0,
                     stopI + i0);
      } else {
        for (int bits = decided; bits != 0; bits &= bits - 1) {
          const int i = i0 + __builtin_ctz(static_cast<unsigned>(bits));
          if ((out >> (i - i0)) & 1) {
            StoreEscaped(m0 + i, static_cast<std::uint64_t>(stopSteps[i]),
                         stopR[i], stopI[i]);
          } else {
            StoreInside(m0 + i);
          }
        }
      }
      for (int bits = validBits[v] & ~decided; bits != 0; bits &= bits - 1) {
        int k = __builtin_ctz(static_cast<unsigned>(bits));
        int i = v * Width + k;
        if ((still >> k) & 1) {
          pending[pendingCount++] = {m0 + i, outR[i], outI[i], re[i],
                                     gLo[i], gHi[i],  done};
        } else {
          // Stopped in the band: decided exactly, from the start.
          pending[pendingCount++] = {m0 + i, re[i],  job.im, re[i],
                                     gLo[i], gHi[i], 0};
        }
      }
    }
  }

  // Steps every lane until a lane is no longer surely inside, a compared
  // step finds orbits back at their saved points (cycled), or `steps` steps
  // are done. Every lane must be surely inside with `steps` steps or more
  // left. Returns the steps done; flagged[v] marks the lanes of vector v
  // that stopped the run (unset when all steps were done). With Uniform,
  // every lane has the same radius, and one comparison of the largest
  // modulus tests them all.
  template <bool Uniform>
  std::uint64_t Iterate(std::uint64_t steps, int* flagged, bool& cycled) {
    // The test of a point and the step from it share the squares, as in
    // EscapeCount; only their difference is carried to the step, which
    // keeps every vector of the loop in a register.
    V vr[Vecs], vi[Vecs], d[Vecs];
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) {
      vr[v] = Ops::Load(zr + v * Width);
      vi[v] = Ops::Load(zi + v * Width);
      d[v] = Ops::Sub(Ops::Mul(vr[v], vr[v]), Ops::Mul(vi[v], vi[v]));
    }
    const V two = Ops::Set(2.0);
    const V uniformBound = Ops::Set(uniformLo);
    std::uint64_t done = 0;
    bool out = false;
    for (;;) {
      // Up to the next compared step, or the end.
      std::uint64_t until = done + CheckEvery - (clock + done) % CheckEvery;
      if (until > steps) until = steps;
      while (done < until) {
        V all;
#pragma GCC unroll 8
        for (int v = 0; v < Vecs; ++v) {
          // EscapeCount's order: (re*re - im*im) + cr and (2*re)*im + ci.
          // Doubling is exact; as a product it leaves the adders free.
          V si = Ops::Mul(Ops::Mul(vr[v], two), vi[v]);
          vr[v] = Ops::Add(d[v], Ops::Load(cr + v * Width));
          vi[v] = Ops::Add(si, Ops::Load(ci + v * Width));
          V x2 = Ops::Mul(vr[v], vr[v]);
          V y2 = Ops::Mul(vi[v], vi[v]);
          d[v] = Ops::Sub(x2, y2);
          V m2 = Ops::Add(x2, y2);
          if (Uniform) {
            all = v == 0 ? m2 : Ops::Max(all, m2);
          } else {
            V in = Ops::Lt(m2, Ops::Load(lo + v * Width));
            all = v == 0 ? in : Ops::And(all, in);
          }
        }
        ++done;
        if (Uniform) all = Ops::Lt(all, uniformBound);
        if (Ops::Mask(all) != Ops::Full) {
          out = true;
          break;
        }
      }
#pragma GCC unroll 8
      for (int v = 0; v < Vecs; ++v) {
        Ops::Store(zr + v * Width, vr[v]);
        Ops::Store(zi + v * Width, vi[v]);
      }
      if (out) {
        Flag(flagged);
        return done;
      }
      if (done == steps) return done;
      if (job.detectCycles && CheckCycles(done, flagged)) {
        cycled = true;
        return done;
      }
    }
  }

  // Marks the lanes that are not surely inside. Kept out of line: inlined,
  // the compiler reuses the loop's squares here and keeps them alive at the
  // cost of registers the loop needs.
  __attribute__((noinline)) void Flag(int* flagged) {
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) {
      V x = Ops::Load(zr + v * Width);
      V y = Ops::Load(zi + v * Width);
      V in = Ops::Lt(Ops::Add(Ops::Mul(x, x), Ops::Mul(y, y)),
                     Ops::Load(lo + v * Width));
      flagged[v] = Ops::Full & ~Ops::Mask(in);
    }
  }

  // Compares every orbit with its saved point, then saves the points of the
  // lanes whose save is due. True (with the lanes flagged) when an orbit is
  // back at its saved point.
  bool CheckCycles(std::uint64_t done, int* flagged) {
    V now = Ops::Set(static_cast<double>(clock + done));
    int anyBack = 0;
    int back[Vecs];
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) {
      V sr = Ops::Load(savedR + v * Width);
      V si = Ops::Load(savedI + v * Width);
      V vr = Ops::Load(zr + v * Width);
      V vi = Ops::Load(zi + v * Width);
      back[v] = Ops::Mask(Ops::And(Ops::Eq(vr, sr), Ops::Eq(vi, si)));
      anyBack |= back[v];
      V due = Ops::Eq(Ops::Load(saveAt + v * Width), now);
      Ops::Store(savedR + v * Width, Ops::Blend(sr, vr, due));
      Ops::Store(savedI + v * Width, Ops::Blend(si, vi, due));
      V gap = Ops::And(Ops::Load(saveGap + v * Width), due);
      Ops::Store(saveAt + v * Width,
                 Ops::Add(Ops::Load(saveAt + v * Width), gap));
      Ops::Store(saveGap + v * Width,
                 Ops::Add(Ops::Load(saveGap + v * Width), gap));
    }
    if (anyBack == 0) return false;
#pragma GCC unroll 8
    for (int v = 0; v < Vecs; ++v) flagged[v] = back[v];
    return true;
  }

  // Brings lane i back to a state the vector loop may step: surely inside
  // with steps left. Finished pixels are stored and the lane refilled.
  void Settle(int i) {
    while (active[i]) {
      double x = zr[i], y = zi[i];
      std::uint64_t n = job.limit - (clock - start[i]);
      double m2 = x * x + y * y;
      bool sure = m2 < lo[i];
      bool escaped = false;
      if (!sure) escaped = m2 > hi[i] || !(Radius(i) > hypot(x, y));
      if (escaped && n != 0) {
        StoreEscaped(pixel[i], job.limit - n, x, y);
        Refill(i);
        continue;
      }
      if (escaped || n == 0) {
        FinishInside(i);
        continue;
      }
      if (sure) return;
      // Inside, but too close to the radius for the vector test: this one
      // step is taken here, in EscapeCount's order.
      double sr = x * x - y * y;
      double si = (x + x) * y;
      zr[i] = sr + cr[i];
      zi[i] = si + ci[i];
      --start[i];
    }
  }

  // The exact escape radius, worked out only for the few pixels that need
  // it: hypot is slow.
  double Radius(int i) {
    if (radius[i] != radius[i]) radius[i] = hypot(re0[i], job.im) + 2;
    return radius[i];
  }

  // A pixel seen outside after `steps` steps, at (x, y).
  void StoreEscaped(std::uint64_t m, std::uint64_t steps, double x, double y) {
    if (Wide) {
      job.out[m] = {static_cast<std::uint32_t>(steps), x, y};
    } else {
      job.row[m] = static_cast<unsigned short>(steps);
    }
  }

  // Width pixels from m on, every one seen outside (a lane of out, which
  // outside sets) or never: without a branch a pixel.
  void StoreDecided(std::uint64_t m, int out, V outside, const double* steps,
                    const double* x, const double* y) {
    if (Wide) {
      // And with the mask keeps a point or makes it +0, as StoreInside.
      alignas(64) double xs[Width], ys[Width];
      Ops::Store(xs, Ops::And(outside, Ops::Load(x)));
      Ops::Store(ys, Ops::And(outside, Ops::Load(y)));
#pragma GCC unroll 8
      for (int k = 0; k < Width; ++k) {
        const std::uint32_t n = static_cast<std::uint32_t>(steps[k]);
        job.out[m + k] = {(out >> k) & 1 ? n : NeverEscaped, xs[k], ys[k]};
      }
    } else {
#pragma GCC unroll 8
      for (int k = 0; k < Width; ++k) {
        const auto n =
            static_cast<unsigned short>(static_cast<std::uint64_t>(steps[k]));
        job.row[m + k] = (out >> k) & 1 ? n : 0;
      }
    }
  }

  // A pixel not seen outside within the limit.
  void StoreInside(std::uint64_t m) {
    if (Wide) {
      job.out[m] = {NeverEscaped, 0, 0};
    } else {
      job.row[m] = 0;
    }
  }

  void FinishInside(int i) {
    StoreInside(pixel[i]);
    Refill(i);
  }

  // Loads the next pending pixel into lane i, or parks the lane on a point
  // that stays inside when the line is done.
  void Refill(int i) {
    while (pendingNext == pendingCount) {
      if (nextGroup >= job.dotsX) {
        active[i] = false;
        zr[i] = zi[i] = cr[i] = ci[i] = 0;
        lo[i] = 1;
        savedR[i] = savedI[i] = __builtin_nan("");
        saveAt[i] = __builtin_inf();
        saveGap[i] = 0;
        return;
      }
      RunGroup();
    }
    const Pending& p = pending[pendingNext++];
    pixel[i] = p.m;
    zr[i] = p.zr;
    zi[i] = p.zi;
    re0[i] = p.re0;
    cr[i] = job.julia ? job.cr : p.re0;
    ci[i] = job.julia ? job.ci : job.im;
    radius[i] = Wide ? job.radius : job.julia ? __builtin_nan("") : 2;
    lo[i] = p.lo;
    hi[i] = p.hi;
    start[i] = clock - p.steps;
    savedR[i] = savedI[i] = __builtin_nan("");
    saveAt[i] =
        job.detectCycles
            ? static_cast<double>(clock - clock % CheckEvery) + FirstSaveGap
            : __builtin_inf();
    saveGap[i] = FirstSaveGap;
    active[i] = true;
  }

  const LineJob& job;
  double span;
  // The bounds of the test when every pixel has the same radius.
  double uniformLo, uniformHi;
  std::uint64_t lockSteps;
  std::uint64_t nextGroup = 0;  // first pixel of the next lockstep group
  Pending pending[GroupLanes];
  int pendingCount = 0, pendingNext = 0;
  // Steps of the shared clock; a lane's own step count is clock - start.
  std::uint64_t clock = 0;

  alignas(64) double zr[Lanes];
  alignas(64) double zi[Lanes];
  alignas(64) double cr[Lanes];
  alignas(64) double ci[Lanes];
  alignas(64) double lo[Lanes];
  alignas(64) double savedR[Lanes];
  alignas(64) double savedI[Lanes];
  // Clock of the next save and the gap after it, as doubles to be compared
  // in vectors; exact below 2^53 steps, and a late save would only delay a
  // detection.
  alignas(64) double saveAt[Lanes];
  alignas(64) double saveGap[Lanes];
  double hi[Lanes];
  double re0[Lanes];
  double radius[Lanes];
  std::uint64_t start[Lanes];
  std::uint64_t pixel[Lanes];
  bool active[Lanes];
};

}  // namespace
