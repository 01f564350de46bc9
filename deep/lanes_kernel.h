// The lane loop of the double pixel loop, written once over a set of vector
// operations; each instruction-set file includes it once, compiled with its
// own flags. Internal to deep.
//
// Everything here lives in an anonymous namespace and uses nothing inline
// from the standard library: a function compiled twice with different
// instruction sets must never be merged by the linker.
//
// Why the results equal the engine's scalar loop bit for bit: a pixel's
// every step is either taken by Advance below, which performs the engine's
// Advance<double> operation for operation, or by the vector step, which is
// used only where that Advance would have made a plain perturbation step,
// and performs that step's operations in the same order. The vector step
// is taken when, for the lane's z and m:
// - nw = |Z + z|^2 < bail2 (otherwise it escapes);
// - k < limit - 1 and m < last (the quota: otherwise the limit or a rebase);
// - not (rebasing on and nw < |z|^2);
// - not |z|^2 < r2 of the shortest run that may be taken from m, taken as
//   0 where none starts or the pixel may not use the table: without that,
//   the engine's search, which starts with the shortest run and stops at
//   the first that fails, takes no run that long or longer;
// - for a pixel that may use the table, m > base (the start of the table,
//   and the step before it, are left to Advance).
// Any lane failing one of these goes to Advance, which decides it exactly;
// a lane sent there needlessly only costs time. No lane steps in the vector
// while another is being sent, so the vector state never runs ahead.
#pragma once

#include <cstdint>

#include "deep/lanes.h"

namespace {

using deep::lanes::Job;
using deep::lanes::RunR2;
using deep::lanes::RunStride;
using deep::lanes::Track;

inline std::uint64_t PopCount(std::uint64_t x) {
#ifdef __POPCNT__
  return static_cast<std::uint64_t>(__builtin_popcountll(x));
#else
  // Without the instruction, __builtin_popcountll is a library call.
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
  return (x * 0x0101010101010101ull) >> 56;
#endif
}

// The engine's table order: the runs from base + off lie at this index.
inline std::uint64_t RunsBefore(const Track& t, std::uint64_t off) {
  if (off == 0) return 0;
  return static_cast<std::uint64_t>(t.levels) + (off - 1) - PopCount(off - 1);
}

struct Lane {
  double zr, zi, cr, ci;
  const Track* track;
  std::uint64_t m;
  std::uint32_t k;
  bool bla;  // within reach of the table
  bool glitch;
  std::size_t index;
};

enum Outcome { Moved, Finished, Stopped };

// One event or step of one pixel: the engine's Advance<double>, operation
// for operation; Finished when the pixel is done, with its result in out.
// With mayStop, a plain step that the vector loop would take (no rebase
// before it, not at the start of the table) is left to it: Stopped.
//
// Inlined into the event loop, so that a chain of runs keeps the lane in
// registers: the event path then takes 8% fewer instructions.
__attribute__((always_inline)) inline Outcome Advance(const Job& job, Lane& s,
                                                      EscapeResult& out,
                                                      bool mayStop) {
  const double* zp = s.track->z + 2 * s.m;
  double br = zp[0], bi = zp[1];
  double wr = br + s.zr, wi = bi + s.zi;
  double nw = wr * wr + wi * wi;
  if (!(nw < job.bail2)) {
    out = {s.k, wr, wi};
    return Finished;
  }
  if (s.k >= job.limit - 1) {
    out = {NeverEscaped, 0, 0};
    return Finished;
  }
  bool rebased = false;
  if (s.m == s.track->last ||
      (job.rebase && nw < s.zr * s.zr + s.zi * s.zi)) {
    s.track = &job.tracks[job.rebaseTrack];
    s.m = 0;
    s.zr = wr;
    s.zi = wi;
    rebased = true;
    br = 0;
    bi = 0;
  }
  const Track& t = *s.track;
  if (s.bla && s.m >= t.base) {
    std::uint64_t off = s.m - t.base;
    int top = t.levels - 1;
    if (off != 0) {
      int below = __builtin_ctzll(off) - 1;
      if (below < top) top = below;
    }
    const double* best = nullptr;
    int bestLevel = -1;
    if (top >= 0) {
      const double* runs = t.runs + RunStride * RunsBefore(t, off);
      double nz = s.zr * s.zr + s.zi * s.zi;
      for (int j = 0; j <= top; ++j) {
        if ((std::uint64_t(2) << j) > job.limit - 1 - s.k) break;
        if (!(nz < runs[RunStride * j + RunR2])) break;
        best = runs + RunStride * j;
        bestLevel = j;
      }
      if (bestLevel < t.minLevel) best = nullptr;
    }
    if (best != nullptr) {
      std::uint64_t len = std::uint64_t(2) << bestLevel;
      double azr = best[0] * s.zr - best[1] * s.zi;
      double azi = best[0] * s.zi + best[1] * s.zr;
      double bcr = best[2] * s.cr - best[3] * s.ci;
      double bci = best[2] * s.ci + best[3] * s.cr;
      s.zr = azr + bcr;
      s.zi = azi + bci;
      s.m += len;
      s.k += static_cast<std::uint32_t>(len);
      return Moved;
    }
  }
  if (mayStop && !rebased && !(s.bla && t.levels > 0 && s.m <= t.base)) {
    return Stopped;
  }
  if (job.glitchCheck && nw < (br * br + bi * bi) * 1e-6) s.glitch = true;
  double tr = 2.0 * br + s.zr, ti = 2.0 * bi + s.zi;
  double zr = tr * s.zr - ti * s.zi + s.cr;
  double zi = tr * s.zi + ti * s.zr + s.ci;
  s.zr = zr;
  s.zi = zi;
  ++s.m;
  ++s.k;
  return Moved;
}

// U registers of Ops::Width lanes each, stepped together; U > 1 lets the
// processor overlap their independent chains.
//
// The deltas stay in registers from step to step. A lane with an event is
// taken out through arrays, advanced until its next step is a plain one
// (runs often follow each other), and put back while the others wait.
// Places in the reference count from a clock shared by all lanes: step m
// of lane i is from_[i] + clock_, and likewise for k.
template <class Ops, int U>
class LaneLoop {
 public:
  static constexpr int W = Ops::Width;
  static constexpr int N = W * U;
  using V = typename Ops::V;

  explicit LaneLoop(Job& job) : job_(job) {}

  void Run() {
    job_.flagged = 0;
    if (job_.limit == 0) {
      for (std::size_t k = 0; k < job_.n; ++k) {
        job_.out[k] = {NeverEscaped, 0, 0};
      }
      return;
    }
    for (int i = 0; i < N; ++i) {
      live_[i] = false;
      Fill(i);
      Put(i);
      if (live_[i]) Event(i);
    }
    Mirror();
    if (job_.rebase) {
      job_.glitchCheck ? Loop<true, true>() : Loop<true, false>();
    } else {
      job_.glitchCheck ? Loop<false, true>() : Loop<false, false>();
    }
    job_.flagged = flagged_;
  }

 private:
  Job& job_;
  // The parts of each lane that only Advance changes. Its delta, c and
  // place in the reference are in the arrays below while it is in the
  // vector loop.
  Lane lane_[N] = {};
  alignas(64) double zr_[N];
  alignas(64) double zi_[N];
  alignas(64) double cr_[N];
  alignas(64) double ci_[N];
  alignas(64) double glitch_[N];  // all bits set: flagged since Put
  // What the vector loop reads of each lane's orbit.
  std::uint64_t from_[N];
  std::uint32_t k_from_[N];
  std::uintptr_t zp_[N];  // the address of step m less 16 clock_
  // Likewise, of the r2 of the shortest run it may take from step m. A lane
  // without the table reads its orbit's values there instead (any memory
  // that runs as far), and table_ clears them: no branch per lane and step.
  std::uintptr_t rq_[N];
  alignas(64) double table_[N];  // all bits set: the lane may take runs
  std::uint64_t clock_ = 0;
  bool live_[N];
  int live_count_ = 0;
  std::size_t next_ = 0;
  std::uint64_t flagged_ = 0;

  template <bool Rebase, bool Check>
  void Loop() {
    const V bail2 = Ops::Set(job_.bail2);
    const V two = Ops::Set(2.0);
    const V glitchFactor = Ops::Set(1e-6);
    std::uint64_t quota = LeastQuota();
    V zr[U], zi[U], cr[U], ci[U], glitch[U], table[U];
    Load(zr, zi, cr, ci, glitch, table);
    while (live_count_ > 0) {
      if (quota == 0) {
        // The limit or the end of the reference: Advance decides.
        Store(zr, zi, glitch);
        for (int i = 0; i < N; ++i) {
          if (live_[i] && Quota(Take(i)) == 0) Event(i);
        }
        Mirror();
        quota = LeastQuota();
        Load(zr, zi, cr, ci, glitch, table);
        continue;
      }
      V nzr[U], nzi[U];
      int events = 0;
#pragma GCC unroll 4
      for (int u = 0; u < U; ++u) {
        const double* r2s[W];
        const double* zs[W];
#pragma GCC unroll 8
        for (int l = 0; l < W; ++l) {
          const int i = u * W + l;
          zs[l] = reinterpret_cast<const double*>(zp_[i] + 16 * clock_);
          // Infinite at and before base: Advance decides there.
          r2s[l] =
              reinterpret_cast<const double*>(rq_[i] + sizeof(double) * clock_);
        }
        V br, bi;
        Ops::LoadPairs(zs, br, bi);
        V r2 = Ops::And(Ops::Gather(r2s), table[u]);
        V wr = Ops::Add(br, zr[u]), wi = Ops::Add(bi, zi[u]);
        V nw = Ops::Add(Ops::Mul(wr, wr), Ops::Mul(wi, wi));
        V nz = Ops::Add(Ops::Mul(zr[u], zr[u]), Ops::Mul(zi[u], zi[u]));
        auto e = Ops::Or(Ops::NotLt(nw, bail2), Ops::Lt(nz, r2));
        if (Rebase) e = Ops::Or(e, Ops::Lt(nw, nz));
        events |= Ops::Mask(e) << (u * W);
        if (Check) {
          V nb = Ops::Add(Ops::Mul(br, br), Ops::Mul(bi, bi));
          glitch[u] = Ops::Flag(
              glitch[u],
              Ops::AndNot(e, Ops::Lt(nw, Ops::Mul(nb, glitchFactor))));
        }
        V tr = Ops::Add(Ops::Mul(two, br), zr[u]);
        V ti = Ops::Add(Ops::Mul(two, bi), zi[u]);
        nzr[u] = Ops::Add(Ops::Sub(Ops::Mul(tr, zr[u]), Ops::Mul(ti, zi[u])),
                          cr[u]);
        nzi[u] = Ops::Add(Ops::Add(Ops::Mul(tr, zi[u]), Ops::Mul(ti, zr[u])),
                          ci[u]);
      }
      ++clock_;
      --quota;
      if (events == 0) {
#pragma GCC unroll 4
        for (int u = 0; u < U; ++u) {
          zr[u] = nzr[u];
          zi[u] = nzi[u];
        }
        continue;
      }
      // The lanes with an event keep their delta and did not step.
      alignas(64) double oldr[N], oldi[N];
#pragma GCC unroll 4
      for (int u = 0; u < U; ++u) {
        Ops::Store(oldr + u * W, zr[u]);
        Ops::Store(oldi + u * W, zi[u]);
      }
      Store(nzr, nzi, glitch);
      for (int i = 0; i < N; ++i) {
        if (!((events >> i) & 1) || !live_[i]) continue;
        zr_[i] = oldr[i];
        zi_[i] = oldi[i];
        --from_[i];
        --k_from_[i];
        Event(i);
        std::uint64_t q = Quota(lane_[i]);
        if (q < quota) quota = q;
      }
      if (live_count_ < N) {
        Mirror();
        quota = LeastQuota();
      }
      Load(zr, zi, cr, ci, glitch, table);
    }
  }

  void Load(V (&zr)[U], V (&zi)[U], V (&cr)[U], V (&ci)[U], V (&glitch)[U],
            V (&table)[U]) {
#pragma GCC unroll 4
    for (int u = 0; u < U; ++u) {
      table[u] = Ops::Load(table_ + u * W);
      zr[u] = Ops::Load(zr_ + u * W);
      zi[u] = Ops::Load(zi_ + u * W);
      cr[u] = Ops::Load(cr_ + u * W);
      ci[u] = Ops::Load(ci_ + u * W);
      glitch[u] = Ops::Load(glitch_ + u * W);
    }
  }

  void Store(const V (&zr)[U], const V (&zi)[U], const V (&glitch)[U]) {
#pragma GCC unroll 4
    for (int u = 0; u < U; ++u) {
      Ops::Store(zr_ + u * W, zr[u]);
      Ops::Store(zi_ + u * W, zi[u]);
      Ops::Store(glitch_ + u * W, glitch[u]);
    }
  }

  // Plain steps the lane may take before its count or its place in the
  // reference needs a look.
  std::uint64_t Quota(const Lane& s) const {
    std::uint64_t byCount =
        s.k >= job_.limit - 1 ? 0 : std::uint64_t(job_.limit - 1 - s.k);
    std::uint64_t byOrbit = s.track->last - s.m;
    return byCount < byOrbit ? byCount : byOrbit;
  }

  std::uint64_t LeastQuota() {
    std::uint64_t quota = ~std::uint64_t(0);
    for (int i = 0; i < N; ++i) {
      if (!live_[i]) continue;
      std::uint64_t q = Quota(Take(i));
      if (q < quota) quota = q;
    }
    return quota;
  }

  static double AllBits() {
    const std::uint64_t ones = ~std::uint64_t(0);
    double d;
    __builtin_memcpy(&d, &ones, sizeof d);
    return d;
  }

  // The whole lane i, from the arrays.
  const Lane& Take(int i) {
    Lane& s = lane_[i];
    s.zr = zr_[i];
    s.zi = zi_[i];
    s.m = from_[i] + clock_;
    s.k = k_from_[i] + static_cast<std::uint32_t>(clock_);
    return s;
  }

  // Lane i back into the arrays; a lane without a pixel is left to Mirror.
  void Put(int i) {
    if (!live_[i]) return;
    const Lane& s = lane_[i];
    zr_[i] = s.zr;
    zi_[i] = s.zi;
    cr_[i] = s.cr;
    ci_[i] = s.ci;
    glitch_[i] = 0;
    from_[i] = s.m - clock_;
    k_from_[i] = s.k - static_cast<std::uint32_t>(clock_);
    const Track& t = *s.track;
    zp_[i] = reinterpret_cast<std::uintptr_t>(t.z) + 16 * (s.m - clock_);
    const bool table = s.bla && t.levels > 0;
    table_[i] = table ? AllBits() : 0.0;
    rq_[i] = reinterpret_cast<std::uintptr_t>(table ? t.shortR2 : t.z) +
             sizeof(double) * (s.m - clock_);
  }

  // Lanes without a pixel repeat a live one: they cost nothing extra and
  // never raise an event of their own.
  void Mirror() {
    if (live_count_ == N || live_count_ == 0) return;
    int first = 0;
    while (!live_[first]) ++first;
    for (int i = 0; i < N; ++i) {
      if (live_[i]) continue;
      lane_[i] = lane_[first];
      zr_[i] = zr_[first];
      zi_[i] = zi_[first];
      cr_[i] = cr_[first];
      ci_[i] = ci_[first];
      glitch_[i] = 0;
      from_[i] = from_[first];
      k_from_[i] = k_from_[first];
      zp_[i] = zp_[first];
      rq_[i] = rq_[first];
      table_[i] = table_[first];
    }
  }

  void Fill(int i) {
    if (next_ >= job_.n) {
      if (live_[i]) --live_count_;
      live_[i] = false;
      return;
    }
    if (!live_[i]) ++live_count_;
    live_[i] = true;
    double u = job_.u[next_];
    Lane& s = lane_[i];
    double dr = job_.width * u;
    s.zr = dr;
    s.zi = job_.dv;
    s.cr = job_.julia ? 0.0 : dr;
    s.ci = job_.julia ? 0.0 : job_.dv;
    s.track = &job_.tracks[0];
    s.m = job_.julia ? 0 : 1;
    s.k = 0;
    s.bla = job_.blaLine && __builtin_fabs(u) <= job_.reach;
    s.glitch = false;
    s.index = next_++;
  }

  // Lane i through Advance until its next step is a plain one (runs often
  // follow each other); a pixel done is written out and the lane refilled.
  // The lane is put back. The first Advance always moves the lane.
  void Event(int i) {
    Lane& s = lane_[i];
    Take(i);
    if (glitch_[i] != 0) s.glitch = true;
    bool mayStop = false;
    while (live_[i]) {
      EscapeResult r;
      Outcome what = Advance(job_, s, r, mayStop);
      if (what == Stopped) break;
      if (what == Finished) {
        job_.out[s.index] = r;
        flagged_ += s.glitch;
        Fill(i);
      }
      mayStop = true;
    }
    Put(i);
  }
};

}  // namespace
