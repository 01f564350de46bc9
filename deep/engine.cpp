// The deep engine: a reference orbit in MPFR, the pixels as small deltas
// from it in double or FloatExp, rebased onto the start of an orbit whenever
// the delta outgrows the full value, and runs of steps skipped by bilinear
// approximation.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "deep/deep.h"
#include "deep/floatexp.h"
#include "deep/lanes.h"
#include "deep/mp.h"
#include "deep/scaled.h"

namespace deep {
namespace {

// Reference values below this magnitude are kept as FloatExp as well: as
// doubles they would lose bits to underflow.
constexpr double SmallValue = 0x1p-960;
constexpr std::uint64_t SmallStepBytes =
    sizeof(std::uint64_t) + 2 * sizeof(FloatExp);
// Views narrower than this (relative to 1) keep their deltas as FloatExp;
// wider ones in double, whose range then has room for the deltas' spread.
constexpr double WideExponentWidth = 0x1p-900;
// Rescaled pixels take a plain step in doubles only at reference values of
// at least this (in one part); steps at smaller ones go through FloatExp.
constexpr double ScaledLeastReference = 0x1p-800;
// Below this scale a rescaled delta is taken as 0 where it is added to the
// reference: it is below 2^-892 (see ScaledCx::High), 2^-91 of a reference
// value of a plain step. At and above it the delta's larger part is a normal
// double.
constexpr std::int64_t ScaledLeastScale = -956;
// Below this squared modulus of the full value the moduli compared for
// rebasing could underflow in doubles: that step goes through FloatExp.
constexpr double ScaledLeastFull = 0x1p-900;
// A part of the full value below this has a square below 2^-1022, whose
// underflow costs a microcode assist of a hundred cycles and more: it is
// taken as 0, which changes the squared modulus by less than 2^-122 of it
// where the step is not taken in FloatExp. References with a part 0 (views
// on the real axis) would otherwise meet it at every step.
constexpr double ScaledLeastPart = 0x1p-511;
// Rescaled deltas of at least 2^-1 keep s = 0: they are plain doubles.
constexpr std::int64_t ScaledCap = 0;
// The approximation is used for points within this many widths of the
// centre (in modulus), which covers |u|, |v| <= 1.4.
constexpr double DeltaReach = 2.0;

// Number types the pixel loop runs in: double, or FloatExp.
inline double Make(double x, double*) { return x; }
inline FloatExp Make(double x, FloatExp*) { return FloatExp(x); }
inline double Twice(double x) { return 2.0 * x; }
inline FloatExp Twice(FloatExp x) { return Ldexp(x, 1); }
inline double ToDouble(double x) { return x; }
inline double ToDouble(FloatExp x) { return x.ToDouble(); }
inline double SqrtOf(double x) { return std::sqrt(x); }
inline FloatExp SqrtOf(FloatExp x) { return Sqrt(x); }
inline bool Finite(double x) { return std::isfinite(x); }
inline bool Finite(FloatExp x) { return std::isfinite(x.m); }

template <class T>
struct Cx {
  T re, im;
};

template <class T>
inline Cx<T> operator+(const Cx<T>& a, const Cx<T>& b) {
  return {a.re + b.re, a.im + b.im};
}
template <class T>
inline Cx<T> operator*(const Cx<T>& a, const Cx<T>& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
template <class T>
inline T Norm(const Cx<T>& a) {
  return a.re * a.re + a.im * a.im;
}

// A run of steps from one position of the reference: z -> A z + B c, valid
// while |z|^2 < r2.
template <class T>
struct Bla {
  Cx<T> a, b;
  T r2;
};

// The vector kernels read the double table as runs of doubles.
static_assert(sizeof(Bla<double>) == lanes::RunStride * sizeof(double),
              "Bla<double> is not five doubles");
static_assert(offsetof(Bla<double>, r2) == lanes::RunR2 * sizeof(double),
              "Bla<double>::r2 is not where the kernels look");

// One reference orbit: its values rounded to double (the small ones also
// kept as FloatExp), and its approximation table.
struct Orbit {
  std::vector<double> z;  // re, im of each step
  std::vector<std::uint64_t> smallIndex;
  std::vector<FloatExp> smallRe, smallIm;
  std::uint64_t last = 0;  // the last stored step
  // The table starts here: the step from 0 of a Mandelbrot orbit has no
  // linear part.
  std::uint64_t base = 0;
  // Runs of 2^(j+1) steps (level j) start at base + i 2^(j+1). All the runs
  // from one start lie side by side, shortest first, so that a pixel finds
  // the ones it can take in one or two cache lines: the start base + off
  // (off > 0) has levels 0 to ctz(off) - 1 from RunsBefore(off); off = 0
  // has every level, from 0. Runs past the end are kept, with R = 0.
  std::vector<Bla<double>> blaD;
  std::vector<Bla<FloatExp>> blaF;
  // With blaD, for the vector lanes: per step, the r2 of the shortest run
  // that may be taken from it (level minLevel), 0 where none starts, and
  // infinity at and before base (those steps are left to the scalar path). One load in step with the orbit's,
  // where finding the run in blaD takes a popcount and two branches a lane.
  std::vector<double> shortR2;
  int levels = 0;
  int minLevel = 0;  // runs of lower levels are not taken

  std::uint64_t RunsBefore(std::uint64_t off) const {
    if (off == 0) return 0;
    // Sum of ctz(o) for 0 < o < off, which is (off - 1) - popcount(off - 1).
    return static_cast<std::uint64_t>(levels) + (off - 1) -
           static_cast<std::uint64_t>(__builtin_popcountll(off - 1));
  }

  // The longest run from step m (at or past base) that fits(run) accepts
  // and that ends within left steps, with its level; null where none.
  // Runs of level j start at multiples of 2^(j+1) only. R never grows with
  // the level at one start (a run's R is at most that of its first half),
  // nor does the remaining count: the longest valid run is found going up
  // from the shortest, and most often the shortest already fails.
  template <class T, class Fits>
  const Bla<T>* LongestRun(std::uint64_t m, std::uint64_t left, Fits fits,
                           int& level) const {
    const std::uint64_t off = m - base;
    int top = levels - 1;
    if (off != 0) top = std::min(top, __builtin_ctzll(off) - 1);
    const Bla<T>* runs = Table(static_cast<T*>(nullptr)).data();
    const Bla<T>* best = nullptr;
    if (top >= 0) runs += RunsBefore(off);
    for (int j = 0; j <= top; ++j) {
      if ((std::uint64_t(2) << j) > left) break;
      if (!fits(runs[j])) break;
      best = runs + j;
      level = j;
    }
    if (best != nullptr && level < minLevel) return nullptr;
    return best;
  }

  Cx<double> At(std::uint64_t m, double*) const {
    return {z[2 * m], z[2 * m + 1]};
  }
  Cx<FloatExp> At(std::uint64_t m, FloatExp*) const {
    double re = z[2 * m], im = z[2 * m + 1];
    if (std::fabs(re) < SmallValue && std::fabs(im) < SmallValue) {
      auto it = std::lower_bound(smallIndex.begin(), smallIndex.end(), m);
      if (it != smallIndex.end() && *it == m) {
        std::size_t i = static_cast<std::size_t>(it - smallIndex.begin());
        return {smallRe[i], smallIm[i]};
      }
    }
    return {FloatExp(re), FloatExp(im)};
  }
  const std::vector<Bla<double>>& Table(double*) const { return blaD; }
  const std::vector<Bla<FloatExp>>& Table(FloatExp*) const { return blaF; }
  std::vector<Bla<double>>& Table(double*) { return blaD; }
  std::vector<Bla<FloatExp>>& Table(FloatExp*) { return blaF; }
};

// A pixel on its way: its delta from the orbit it follows, at step m.
template <class T>
struct PixelState {
  Cx<T> z, c;
  const Orbit* orbit;
  std::uint64_t m;
  std::uint32_t k;  // the pixel's step, as counted
  bool useBla, glitch;
};

// A pixel of a wide view on its way, its delta rescaled: z = w 2^s, and the
// pixel's offset c also as d = c 2^-s, so that a plain step is
// w' = (2 Z + w 2^s) w + d in doubles.
struct ScaledPixel {
  ScaledCx w;
  double scale;     // 2^s, or 0 below 2^ScaledLeastScale
  double inverse;   // 2^-s, or infinite above 2^1023
  double dRe, dIm;  // c 2^-s, or 0 below 2^-1022
  double normW;     // |w|^2
  Cx<FloatExp> c;
  ScaledCx cs;  // c again, as a ScaledCx
  const Orbit* orbit;
  std::uint64_t m;
  std::uint32_t k;
  bool useBla, glitch;

  // After w and s changed.
  void Rescaled() {
    normW = w.re * w.re + w.im * w.im;
    scale = w.s < ScaledLeastScale ? 0 : Pow2OrZero(w.s);
    inverse = Pow2OrZero(-w.s);
    // A d below 2^-1022 is below 2^-950 of w.
    dRe = NormalOrZero(Ldexp(c.re, -w.s));
    dIm = NormalOrZero(Ldexp(c.im, -w.s));
  }
  void Set(FloatExp re, FloatExp im) {
    w = ScaledCx::Of(re, im, ScaledCap);
    Rescaled();
  }
};

std::uint64_t AvailableMemory() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  std::uint64_t kb;
  std::string unit;
  while (in >> key >> kb) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return kb * 1024;
  }
  return std::uint64_t(4) << 30;
}

// Calls fn(begin, end) on slices of [0, n) from up to threads threads.
template <class Fn>
void ParallelFor(std::uint64_t n, unsigned threads, Fn fn) {
  constexpr std::uint64_t MinSlice = 4096;
  std::uint64_t slices = std::min<std::uint64_t>(threads, n / MinSlice);
  if (slices < 2) {
    fn(std::uint64_t(0), n);
    return;
  }
  std::vector<std::thread> pool;
  for (std::uint64_t s = 0; s < slices; ++s) {
    pool.emplace_back(fn, n * s / slices, n * (s + 1) / slices);
  }
  for (std::thread& th : pool) th.join();
}

// Advances the n pixels of a line, up to Lanes of them in turn, one event
// each, so that the processor overlaps their independent chains of
// operations; each pixel sees the same operations as it would alone.
// start(pixel, k) starts pixel k; advance(pixel, result) takes one event
// and is true when the pixel is done. Returns the pixels flagged by the
// glitch check.
template <class Pixel, int Lanes, class StartFn, class AdvanceFn>
std::uint64_t InTurn(std::size_t n, EscapeResult* out, StartFn start,
                     AdvanceFn advance) {
  Pixel lane[Lanes];
  std::size_t index[Lanes];
  int active = 0;
  std::size_t next = 0;
  std::uint64_t flagged = 0;
  auto fill = [&](int i) {
    start(lane[i], next);
    index[i] = next++;
  };
  while (active < Lanes && next < n) fill(active++);
  while (active > 0) {
    for (int i = 0; i < active; ++i) {
      EscapeResult r;
      if (!advance(lane[i], r)) continue;
      out[index[i]] = r;
      flagged += lane[i].glitch;
      if (next < n) {
        fill(i);
      } else {
        // Keep the live lanes at the front.
        --active;
        lane[i] = lane[active];
        index[i] = index[active];
        --i;
      }
    }
  }
  return flagged;
}

}  // namespace

struct Engine::Impl {
  View view;
  Options options;
  mpfr_prec_t bits = 0;
  bool wide = false;
  double widthD = 0;  // the width as a double, in double mode
  FloatExp widthF;
  double bail2 = 4;
  std::uint64_t bytesPerStep = 0;
  double orbitSeconds = 0, tableSeconds = 0;
  // Mandelbrot: the centre's orbit from 0. Julia: the centre's orbit, and the
  // critical orbit from 0, onto which every rebase goes.
  Orbit orbits[2];
  int orbitCount = 1;
  mutable std::atomic<std::uint64_t> glitchPixels{0};

  void ComputeOrbit(Orbit& orbit, mpfr_ptr startRe, mpfr_ptr startIm,
                    mpfr_ptr cr, mpfr_ptr ci, std::uint64_t budget);
  double WidthAs(double*) const { return widthD; }
  FloatExp WidthAs(FloatExp*) const { return widthF; }
  template <class T>
  void BuildTable(Orbit& orbit, unsigned threads);
  template <class T>
  void Start(PixelState<T>& s, Cx<T> delta, bool useBla) const;
  template <class T>
  bool Advance(PixelState<T>& s, EscapeResult& out) const;
  template <class T, int Lanes>
  void LineOf(double v, const double* u, std::size_t n,
              EscapeResult* out) const;
  bool AdvanceSlowly(ScaledPixel& p, EscapeResult& out) const;
  bool Skip(ScaledPixel& p) const;
  bool Advance(ScaledPixel& p, EscapeResult& out) const;
  template <int Lanes>
  void LineScaled(double v, const double* u, std::size_t n,
                  EscapeResult* out) const;
  bool LanesLine(double v, const double* u, std::size_t n,
                 EscapeResult* out) const;
};

void Engine::Impl::ComputeOrbit(Orbit& orbit, mpfr_ptr startRe,
                                mpfr_ptr startIm, mpfr_ptr cr, mpfr_ptr ci,
                                std::uint64_t budget) {
  std::uint64_t limit = view.limit;
  auto refuse = [&] {
    return std::runtime_error("deep: the reference orbit needs " +
                              std::to_string(bytesPerStep) + " bytes a step; " +
                              std::to_string(limit) + " steps would take " +
                              std::to_string((limit + 1) * bytesPerStep >> 20) +
                              " MiB, more than the " +
                              std::to_string(budget >> 20) + " MiB available");
  };
  // The orbit may escape early, but how early is known only by computing
  // it, which for a large limit takes long: a limit whose whole orbit would
  // not fit is refused at once.
  if ((limit + 1) * bytesPerStep > budget) throw refuse();
  Mp zr(bits), zi(bits), s(bits), d(bits), t(bits);
  mpfr_set(zr, startRe, MPFR_RNDN);
  mpfr_set(zi, startIm, MPFR_RNDN);
  // Grown by doubling past the first million steps: the orbit's own share of
  // a step (16 of its bytes) stays within the budget even while it doubles.
  orbit.z.reserve(2 * std::min<std::uint64_t>(limit + 1, 1 << 20));
  for (std::uint64_t m = 0;; ++m) {
    double re = mpfr_get_d(zr, MPFR_RNDN), im = mpfr_get_d(zi, MPFR_RNDN);
    orbit.z.push_back(re);
    orbit.z.push_back(im);
    if (std::fabs(re) < SmallValue && std::fabs(im) < SmallValue &&
        !(mpfr_zero_p(zr) && mpfr_zero_p(zi))) {
      long er, ei;
      double mr = mpfr_get_d_2exp(&er, zr, MPFR_RNDN);
      double mi = mpfr_get_d_2exp(&ei, zi, MPFR_RNDN);
      orbit.smallIndex.push_back(m);
      orbit.smallRe.push_back(FloatExp(mr, er));
      orbit.smallIm.push_back(FloatExp(mi, ei));
    }
    orbit.last = m;
    // The orbit ends where it leaves the radius: pixels rebase there.
    if (!(re * re + im * im < bail2) || m == limit) break;
    // Steps kept wide cost their FloatExp copy on top; how many there are
    // is not known ahead.
    if ((m + 1) * bytesPerStep + orbit.smallIndex.size() * SmallStepBytes >
        budget) {
      throw refuse();
    }
    // Z^2 + C as (x+y)(x-y) + i 2xy: two products a step.
    mpfr_add(s, zr, zi, MPFR_RNDN);
    mpfr_sub(d, zr, zi, MPFR_RNDN);
    mpfr_mul(t, zr, zi, MPFR_RNDN);
    mpfr_mul(zr, s, d, MPFR_RNDN);
    mpfr_add(zr, zr, cr, MPFR_RNDN);
    mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
    mpfr_add(zi, t, ci, MPFR_RNDN);
  }
  orbit.z.shrink_to_fit();
}

template <class T>
void Engine::Impl::BuildTable(Orbit& orbit, unsigned threads) {
  T* tag = nullptr;
  const T eps = Make(options.eps, tag);
  const T zero = Make(0, tag);
  const T one = Make(1, tag);
  // The reach of c over the view; Julia views have no c in their steps.
  const T cmax = view.julia ? zero : WidthAs(tag) * Make(DeltaReach, tag);
  // R clamped to [0, bound]; NaN and overflow give 0, a run never taken.
  auto clamp = [&zero](T r, T bound) {
    if (!Finite(r) || !(zero < r)) return zero;
    return bound < r ? bound : r;
  };
  // One step at m: A = 2 Z, B = 1, R = eps 2|Z| - |c|max / (2|Z|).
  auto single = [&](std::uint64_t m) {
    Cx<T> z = orbit.At(m, tag);
    Bla<T> b;
    b.a = {Twice(z.re), Twice(z.im)};
    b.b = {view.julia ? zero : one, zero};
    T az2 = Twice(SqrtOf(Norm(z)));
    T r = zero;
    if (zero < az2) r = eps * az2 - cmax / az2;
    if (!Finite(r) || !(zero < r)) r = zero;
    b.r2 = r * r;
    return b;
  };
  // x then y: A = Ay Ax, B = Ay Bx + By,
  // R = min(Rx, (Ry - |Bx| |c|max) / |Ax|).
  auto merge = [&](const Bla<T>& x, const Bla<T>& y) {
    Bla<T> b;
    b.a = y.a * x.a;
    b.b = y.a * x.b + y.b;
    T ax = SqrtOf(Norm(x.a));
    T r = zero;
    if (zero < ax && Finite(Norm(b.a)) && Finite(Norm(b.b))) {
      r = clamp((SqrtOf(y.r2) - SqrtOf(Norm(x.b)) * cmax) / ax, SqrtOf(x.r2));
    }
    b.r2 = r * r;
    return b;
  };
  std::vector<std::vector<Bla<T>>> table;
  if (orbit.last <= orbit.base) return;
  std::uint64_t steps = orbit.last - orbit.base;  // single steps available
  std::uint64_t n = steps / 2;
  if (n == 0) return;
  table.emplace_back(n);
  {
    std::vector<Bla<T>>& level = table.back();
    ParallelFor(n, threads, [&](std::uint64_t begin, std::uint64_t end) {
      for (std::uint64_t i = begin; i < end; ++i) {
        std::uint64_t m = orbit.base + 2 * i;
        level[i] = merge(single(m), single(m + 1));
      }
    });
  }
  // Each level from the one below: neighbours merged pairwise.
  while (table.back().size() >= 2) {
    const std::size_t below = table.size() - 1;
    std::uint64_t count = table[below].size() / 2;
    table.emplace_back(count);
    const std::vector<Bla<T>>& from = table[below];
    std::vector<Bla<T>>& level = table.back();
    ParallelFor(count, threads, [&](std::uint64_t begin, std::uint64_t end) {
      for (std::uint64_t i = begin; i < end; ++i) {
        level[i] = merge(from[2 * i], from[2 * i + 1]);
      }
    });
  }
  orbit.levels = static_cast<int>(table.size());
  std::vector<Bla<T>>& flat = orbit.Table(tag);
  Bla<T> none{{zero, zero}, {zero, zero}, zero};
  flat.assign(orbit.RunsBefore(steps), none);
  for (int j = 0; j < orbit.levels; ++j) {
    const std::vector<Bla<T>>& level = table[j];
    for (std::uint64_t i = 0; i < level.size(); ++i) {
      std::uint64_t off = i << (j + 1);
      flat[orbit.RunsBefore(off) + j] = level[i];
    }
    table[j] = std::vector<Bla<T>>();
  }
  if constexpr (std::is_same<T, double>::value) {
    int level = 0;
    while ((std::uint64_t(4) << level) <= options.shortestRun) ++level;
    orbit.minLevel = level;
    const std::uint64_t stride = std::uint64_t(2) << level;
    orbit.shortR2.assign(orbit.last + 1, 0.0);
    for (std::uint64_t m = 0; m <= orbit.last; ++m) {
      if (m <= orbit.base) {
        orbit.shortR2[m] = std::numeric_limits<double>::infinity();
      } else if ((m - orbit.base) % stride == 0 && level < orbit.levels) {
        orbit.shortR2[m] = flat[orbit.RunsBefore(m - orbit.base) + level].r2;
      }
    }
  }
}

template <class T>
void Engine::Impl::Start(PixelState<T>& s, Cx<T> delta, bool useBla) const {
  T* tag = nullptr;
  const T zero = Make(0, tag);
  // Mandelbrot: the pixel's orbit is 0, c + C, ...; its first point to test
  // is step 1 of the reference. Julia: the start is the centre plus delta.
  s.c = view.julia ? Cx<T>{zero, zero} : delta;
  s.z = delta;
  s.orbit = &orbits[0];
  s.m = view.julia ? 0 : 1;
  s.k = 0;
  s.useBla = useBla;
  s.glitch = false;
}

template <class T>
bool Engine::Impl::Advance(PixelState<T>& s, EscapeResult& out) const {
  T* tag = nullptr;
  const std::uint32_t limit = view.limit;
  Cx<T> big = s.orbit->At(s.m, tag);
  Cx<T> w = big + s.z;
  T nw = Norm(w);
  // Not inside: NaN counts as out.
  if (!(nw < Make(bail2, tag))) {
    out = {s.k, ToDouble(w.re), ToDouble(w.im)};
    return true;
  }
  if (s.k >= limit - 1) {
    out = {NeverEscaped, 0, 0};
    return true;
  }
  // Rebase onto the start of an orbit from 0, where the full value is the
  // delta itself: when the delta outgrows the full value (the reference no
  // longer describes the pixel), or when the reference ends.
  if (s.m == s.orbit->last || (options.rebase && nw < Norm(s.z))) {
    s.orbit = &orbits[orbitCount - 1];
    s.m = 0;
    s.z = w;
    big = {Make(0, tag), Make(0, tag)};
  }
  if (s.useBla && s.m >= s.orbit->base) {
    const auto& table = s.orbit->Table(tag);
    const T nz = Norm(s.z);
    int bestLevel = -1;
    // Never past the last step to test, where the count is decided.
    const Bla<T>* best = s.orbit->template LongestRun<T>(
        s.m, limit - 1 - s.k, [&](const Bla<T>& run) { return nz < run.r2; },
        bestLevel);
    if (best != nullptr) {
      std::uint64_t len = std::uint64_t(2) << bestLevel;
      s.z = best->a * s.z + best->b * s.c;
      s.m += len;
      s.k += static_cast<std::uint32_t>(len);
      // A skip lands far away in the orbit and its table; the other lanes'
      // turns hide the fetch.
      if (s.m < s.orbit->last) {
        __builtin_prefetch(&s.orbit->z[2 * s.m]);
        __builtin_prefetch(table.data() +
                           s.orbit->RunsBefore(s.m - s.orbit->base));
      }
      return false;
    }
  }
  if (options.glitchCheck && nw < Norm(big) * Make(1e-6, tag)) {
    s.glitch = true;  // 1e-6 = (1e-3)^2, on squared moduli
  }
  // 2 Z z + z^2 + c, as (2 Z + z) z + c: one complex product.
  Cx<T> twoBigZ{Twice(big.re) + s.z.re, Twice(big.im) + s.z.im};
  s.z = twoBigZ * s.z + s.c;
  ++s.m;
  ++s.k;
  return false;
}

template <class T, int Lanes>
void Engine::Impl::LineOf(double v, const double* u, std::size_t n,
                          EscapeResult* out) const {
  if (view.limit == 0) {
    for (std::size_t k = 0; k < n; ++k) out[k] = {NeverEscaped, 0, 0};
    return;
  }
  T* tag = nullptr;
  const T width = WidthAs(tag);
  const T dv = width * Make(v, tag);
  const double reach = DeltaReach / std::sqrt(2.0);
  // With the approximation a pixel alone runs faster than pixels in turn:
  // its pattern of skips and steps is easier to predict.
  const std::uint64_t flagged = InTurn<PixelState<T>, Lanes>(
      n, out,
      [&](PixelState<T>& pixel, std::size_t k) {
        // Outside the reach the table was built for, its runs are not
        // valid.
        bool useBla =
            options.bla && std::fabs(u[k]) <= reach && std::fabs(v) <= reach;
        Start(pixel, {width * Make(u[k], tag), dv}, useBla);
      },
      [&](PixelState<T>& pixel, EscapeResult& r) {
        return Advance(pixel, r);
      });
  if (flagged != 0) glitchPixels += flagged;
}

// One event of a rescaled pixel with its delta in FloatExp: for steps at
// reference values near 0, and where the full value is near 0.
bool Engine::Impl::AdvanceSlowly(ScaledPixel& p, EscapeResult& out) const {
  PixelState<FloatExp> f;
  f.z = {p.w.Re(), p.w.Im()};
  f.c = p.c;
  f.orbit = p.orbit;
  f.m = p.m;
  f.k = p.k;
  f.useBla = p.useBla;
  f.glitch = p.glitch;
  bool done = Advance(f, out);
  p.Set(f.z.re, f.z.im);
  p.orbit = f.orbit;
  p.m = f.m;
  p.k = f.k;
  p.glitch = f.glitch;
  return done;
}

// The longest valid run from the pixel's step, chosen as Advance<FloatExp>
// chooses it, taken; false where none is valid.
bool Engine::Impl::Skip(ScaledPixel& p) const {
  // |z|^2 = |w|^2 2^2s as FloatExp's mantissa and exponent, compared with
  // each run's R^2 as FloatExp's < compares them (both are positive, or 0).
  const bool zero = p.normW == 0;
  std::int64_t ne = 0;
  double nm = 0;
  if (!zero) {
    ne = FrexpExponent(p.normW);
    nm = TimesPow2(p.normW, -ne);
    ne += 2 * p.w.s;
  }
  int bestLevel = -1;
  const Bla<FloatExp>* best = p.orbit->LongestRun<FloatExp>(
      p.m, view.limit - 1 - p.k,
      [&](const Bla<FloatExp>& run) {
        const FloatExp& r2 = run.r2;
        return 0 < r2.m && (zero || (ne != r2.e ? ne < r2.e : nm < r2.m));
      },
      bestLevel);
  if (best == nullptr) return false;
  std::uint64_t len = std::uint64_t(2) << bestLevel;
  // A z + B c with the coefficients as ScaledCx: the same roundings as in
  // FloatExp, with fewer conversions.
  ScaledCx a = ScaledCx::Of(best->a.re, best->a.im);
  ScaledCx z = a * p.w;
  if (!view.julia) z = z + ScaledCx::Of(best->b.re, best->b.im) * p.cs;
  std::int64_t s = p.w.s;
  p.w = z;
  p.w.Renormalise(ScaledCap);
  if (p.w.s != s) {
    p.Rescaled();
  } else {
    p.normW = p.w.re * p.w.re + p.w.im * p.w.im;
  }
  p.m += len;
  p.k += static_cast<std::uint32_t>(len);
  if (p.m < p.orbit->last) {
    __builtin_prefetch(&p.orbit->z[2 * p.m]);
    __builtin_prefetch(p.orbit->blaF.data() +
                       p.orbit->RunsBefore(p.m - p.orbit->base));
  }
  return true;
}

// The same event as Advance<FloatExp>, with the same roundings wherever no
// part falls below 2^-1022 (then within far less than double's precision).
inline __attribute__((always_inline)) bool Engine::Impl::Advance(
    ScaledPixel& p, EscapeResult& out) const {
  double bigRe = p.orbit->z[2 * p.m], bigIm = p.orbit->z[2 * p.m + 1];
  if (!(std::fabs(bigRe) >= ScaledLeastReference ||
        std::fabs(bigIm) >= ScaledLeastReference)) {
    return AdvanceSlowly(p, out);
  }
  // The delta as a double: exact, but for a part far smaller than the
  // other, or 0 where it is below 2^-892.
  double zr = p.scale * p.w.re, zi = p.scale * p.w.im;
  double fr = bigRe + zr, fi = bigIm + zi;
  double sr = std::fabs(fr) >= ScaledLeastPart ? fr : 0.0;
  double si = std::fabs(fi) >= ScaledLeastPart ? fi : 0.0;
  double nw = sr * sr + si * si;
  // Not inside: NaN counts as out.
  if (!(nw < bail2)) {
    out = {p.k, fr, fi};
    return true;
  }
  if (nw < ScaledLeastFull) return AdvanceSlowly(p, out);
  if (p.k >= view.limit - 1) {
    out = {NeverEscaped, 0, 0};
    return true;
  }
  // |z|^2 = |w|^2 2^2s, compared without underflow: both sides divided by
  // 2^2s, exactly, unless the left one overflows, where |z| is far below
  // 2^-500 and so below |Z + z|.
  if (p.m == p.orbit->last ||
      (options.rebase && nw * p.inverse * p.inverse < p.normW)) {
    p.orbit = &orbits[orbitCount - 1];
    p.m = 0;
    // At least 2^-500: a normal double, exact as w 2^s.
    p.Set(FloatExp(fr), FloatExp(fi));
    zr = fr;
    zi = fi;
    bigRe = bigIm = 0;
  }
  if (p.useBla && p.m >= p.orbit->base && Skip(p)) return false;
  if (options.glitchCheck && nw < (bigRe * bigRe + bigIm * bigIm) * 1e-6) {
    p.glitch = true;
  }
  // 2 Z z + z^2 + c = ((2 Z + z) w + d) 2^s.
  double tr = 2.0 * bigRe + zr, ti = 2.0 * bigIm + zi;
  double wr = tr * p.w.re - ti * p.w.im + p.dRe;
  double wi = tr * p.w.im + ti * p.w.re + p.dIm;
  p.w.re = wr;
  p.w.im = wi;
  ++p.m;
  ++p.k;
  p.normW = wr * wr + wi * wi;
  if (ScaledCx::NeedsRenormalising(p.normW, p.w.s, ScaledCap)) {
    std::int64_t s = p.w.s;
    p.w.Renormalise(ScaledCap);
    if (p.w.s != s) p.Rescaled();
  }
  return false;
}

template <int Lanes>
void Engine::Impl::LineScaled(double v, const double* u, std::size_t n,
                              EscapeResult* out) const {
  if (view.limit == 0) {
    for (std::size_t k = 0; k < n; ++k) out[k] = {NeverEscaped, 0, 0};
    return;
  }
  const FloatExp dv = widthF * FloatExp(v);
  const double reach = DeltaReach / std::sqrt(2.0);
  const FloatExp zero;
  const std::uint64_t flagged = InTurn<ScaledPixel, Lanes>(
      n, out,
      [&](ScaledPixel& p, std::size_t k) {
        Cx<FloatExp> delta{widthF * FloatExp(u[k]), dv};
        // Mandelbrot: the pixel's orbit is 0, c + C, ...; its first point
        // to test is step 1 of the reference. Julia: the start is the
        // centre plus delta.
        p.c = view.julia ? Cx<FloatExp>{zero, zero} : delta;
        p.cs = ScaledCx::Of(p.c.re, p.c.im);
        p.Set(delta.re, delta.im);
        p.orbit = &orbits[0];
        p.m = view.julia ? 0 : 1;
        p.k = 0;
        p.useBla =
            options.bla && std::fabs(u[k]) <= reach && std::fabs(v) <= reach;
        p.glitch = false;
      },
      [&](ScaledPixel& p, EscapeResult& r) { return Advance(p, r); });
  if (flagged != 0) glitchPixels += flagged;
}

// The double loop in vector lanes: the same results as LineOf<double, ...>.
// False where the plain loop was asked for.
bool Engine::Impl::LanesLine(double v, const double* u, std::size_t n,
                             EscapeResult* out) const {
  if (options.loop == PixelLoop::Plain) return false;
  lanes::Job job;
  for (int i = 0; i < 2; ++i) {
    const Orbit& o = orbits[i];
    bool table = !o.blaD.empty();
    job.tracks[i] = {o.z.data(),
                     table ? reinterpret_cast<const double*>(o.blaD.data())
                           : nullptr,
                     table ? o.shortR2.data() : nullptr,
                     o.last, o.base, table ? o.levels : 0, o.minLevel};
  }
  job.rebaseTrack = orbitCount - 1;
  job.julia = view.julia;
  job.rebase = options.rebase;
  job.glitchCheck = options.glitchCheck;
  job.reach = DeltaReach / std::sqrt(2.0);
  job.blaLine = options.bla && std::fabs(v) <= job.reach;
  job.limit = view.limit;
  job.bail2 = bail2;
  job.width = widthD;
  job.dv = widthD * v;
  job.u = u;
  job.n = n;
  job.out = out;
  job.flagged = 0;
  if (!lanes::Run(job, options.loop)) return false;
  if (job.flagged != 0) glitchPixels += job.flagged;
  return true;
}

Engine::Engine(const View& view, const Options& options) : impl(new Impl) {
  Impl& e = *impl;
  e.view = view;
  e.options = options;
  e.bits = ViewPrecision(view);
  Mp width(e.bits), re(e.bits), im(e.bits), cr(e.bits), ci(e.bits),
      zero(e.bits);
  ParseDecimal(view.width, "width", width);
  ParseDecimal(view.re, "re", re);
  ParseDecimal(view.im, "im", im);
  if (view.julia) {
    ParseDecimal(view.juliaRe, "juliaRe", cr);
    ParseDecimal(view.juliaIm, "juliaIm", ci);
  }
  mpfr_set_zero(zero, 1);
  long we;
  double wm = mpfr_get_d_2exp(&we, width, MPFR_RNDN);
  e.widthF = FloatExp(wm, we);
  e.wide = e.widthF < FloatExp(WideExponentWidth);
  e.widthD = mpfr_get_d(width, MPFR_RNDN);
  e.bail2 = view.bailout * view.bailout;
  e.bytesPerStep = 2 * sizeof(double);
  if (options.bla) {
    e.bytesPerStep += e.wide ? sizeof(Bla<FloatExp>)
                             : sizeof(Bla<double>) + sizeof(double);
  }
  std::uint64_t budget = options.memoryBudget;
  if (budget == 0) budget = AvailableMemory() / 4 * 3;
  unsigned threads = options.threads;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  auto t0 = std::chrono::steady_clock::now();
  if (view.julia) {
    e.orbitCount = 2;
    e.ComputeOrbit(e.orbits[0], re, im, cr, ci, budget / 2);
    e.ComputeOrbit(e.orbits[1], zero, zero, cr, ci, budget / 2);
    e.orbits[1].base = 1;
  } else {
    e.ComputeOrbit(e.orbits[0], zero, zero, re, im, budget);
    e.orbits[0].base = 1;
  }
  auto t1 = std::chrono::steady_clock::now();
  if (options.bla) {
    for (int i = 0; i < e.orbitCount; ++i) {
      if (e.wide) {
        e.BuildTable<FloatExp>(e.orbits[i], threads);
      } else {
        e.BuildTable<double>(e.orbits[i], threads);
      }
    }
  }
  auto t2 = std::chrono::steady_clock::now();
  e.orbitSeconds = std::chrono::duration<double>(t1 - t0).count();
  e.tableSeconds = std::chrono::duration<double>(t2 - t1).count();
}

Engine::~Engine() = default;

void Engine::Line(double v, const double* u, std::size_t n,
                  EscapeResult* out) const {
  const Impl& e = *impl;
  if (e.wide && e.options.rescale) {
    if (e.options.bla) {
      e.LineScaled<1>(v, u, n, out);
    } else {
      e.LineScaled<4>(v, u, n, out);
    }
  } else if (e.wide) {
    if (e.options.bla) {
      e.LineOf<FloatExp, 1>(v, u, n, out);
    } else {
      e.LineOf<FloatExp, 4>(v, u, n, out);
    }
  } else if (e.LanesLine(v, u, n, out)) {
    return;
  } else if (e.options.bla) {
    e.LineOf<double, 1>(v, u, n, out);
  } else {
    e.LineOf<double, 4>(v, u, n, out);
  }
}

Stats Engine::stats() const {
  const Impl& e = *impl;
  Stats s{};
  s.referenceLength = e.orbits[0].last + 1;
  s.criticalLength = e.orbitCount == 2 ? e.orbits[1].last + 1 : 0;
  s.bytesPerStep = e.bytesPerStep;
  s.precisionBits = static_cast<std::uint64_t>(e.bits);
  s.wideExponent = e.wide;
  s.glitchPixels = e.glitchPixels.load();
  s.orbitSeconds = e.orbitSeconds;
  s.tableSeconds = e.tableSeconds;
  for (int i = 0; i < e.orbitCount; ++i) {
    const Orbit& o = e.orbits[i];
    s.smallSteps += o.smallIndex.size();
    s.referenceBytes +=
        o.z.capacity() * sizeof(double) + o.smallIndex.size() * SmallStepBytes;
    s.referenceBytes += o.blaD.capacity() * sizeof(Bla<double>) +
                        o.shortR2.capacity() * sizeof(double) +
                        o.blaF.capacity() * sizeof(Bla<FloatExp>);
    s.blaLevels = std::max(s.blaLevels, static_cast<unsigned>(o.levels));
  }
  return s;
}

}  // namespace deep
