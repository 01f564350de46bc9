// Timings of the engine on four reference views of 1000 x 1000 pixels, in
// iterations per second and as a multiple of the plain kernel measured in the
// same run. An iteration is one step of the definition, so steps that a
// kernel skips (a detected cycle) still count: the figures compare the time
// a view takes. One-thread runs are timed in the thread's processor time,
// runs on all processors by the wall clock.
//
//   engine_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/kernel.h"
#include "core/linepool.h"
#include "core/mandelbrot.h"

namespace {

struct BenchView {
  const char* name;
  MandArea area;
};

MandArea Square(double re, double im, double len, std::uint64_t limit,
                bool julia = false) {
  MandArea a;
  a.minRe = re;
  a.minIm = im;
  a.lenRe = len;
  a.lenIm = len;
  a.dotsX = 1000;
  a.dotsY = 1000;
  a.limit = limit;
  a.julia = julia;
  a.juliaRe = -0.8;
  a.juliaIm = 0.156;
  return a;
}

const BenchView Views[] = {
    {"whole", Square(-2, -2, 4, 1000)},
    {"zoom", Square(-0.7454, 0.1130, 0.0005, 5000)},
    {"interior", Square(-0.15, -0.15, 0.3, 1000)},
    {"julia", Square(-2, -2, 4, 1000, true)},
};

// The plain kernel takes seconds for a whole view; it is timed on every
// PlainStride-th line, which samples the view evenly.
constexpr std::uint64_t PlainStride = 25;

double LineIm(const MandArea& a, std::uint64_t l) {
  return PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
}

// Steps the definition takes for one pixel, from its count: a non-zero count
// is its step count (the views' limits stay below 65536); a zero count is
// either a start outside the radius or the whole limit.
double Steps(const MandArea& a, double re, double im, unsigned short count) {
  if (count != 0) return count;
  double r = a.julia ? std::hypot(re, im) + 2 : 2;
  return r > std::hypot(re, im) ? static_cast<double>(a.limit) : 0;
}

double LineSteps(const MandArea& a, std::uint64_t l) {
  std::vector<unsigned short> row(a.dotsX);
  double im = LineIm(a, l);
  ComputeLine(a, im, row.data(), false, DefaultKernel());
  double steps = 0;
  for (std::uint64_t m = 0; m < a.dotsX; ++m) {
    steps += Steps(a, PixelPosition(a.minRe, a.lenRe, m, a.dotsX), im, row[m]);
  }
  return steps;
}

// Steps of the whole view and of the plain kernel's sample lines.
struct ViewSteps {
  double all = 0, sampled = 0;
};

const ViewSteps& StepsOf(const BenchView& v) {
  static std::map<std::string, ViewSteps> cache;
  auto it = cache.find(v.name);
  if (it != cache.end()) return it->second;
  ViewSteps s;
  for (std::uint64_t l = 0; l < v.area.dotsY; ++l) {
    double steps = LineSteps(v.area, l);
    s.all += steps;
    if (l % PlainStride == 0) s.sampled += steps;
  }
  return cache[v.name] = s;
}

// Plain rates (steps per second) measured so far, for the ratios.
std::map<std::string, double>& PlainRates() {
  static std::map<std::string, double> rates;
  return rates;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// The calling thread's processor time: on a machine shared with other work
// it measures a one-thread kernel far more steadily than the wall clock.
double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void Report(benchmark::State& state, const BenchView& v, double steps,
            double seconds, unsigned threads) {
  double rate = steps / seconds;
  state.counters["Giter/s"] = rate / 1e9;
  auto plain = PlainRates().find(v.name);
  if (plain != PlainRates().end()) {
    state.counters["x_plain"] = rate / plain->second;
  }
  double hz = benchmark::CPUInfo::Get().cycles_per_second;
  if (hz > 0) state.counters["iter/cycle/core"] = rate / hz / threads;
}

void BM_Plain(benchmark::State& state, const BenchView& v) {
  const ViewSteps& steps = StepsOf(v);
  std::vector<unsigned short> row(v.area.dotsX);
  double total = 0;
  for (auto _ : state) {
    double t0 = ThreadSeconds();
    for (std::uint64_t l = 0; l < v.area.dotsY; l += PlainStride) {
      ComputeLine(v.area, LineIm(v.area, l), row.data(), false,
                  KernelKind::Plain);
    }
    double s = ThreadSeconds() - t0;
    total += s;
    state.SetIterationTime(s);
    benchmark::DoNotOptimize(row.data());
  }
  double rate = steps.sampled * state.iterations() / total;
  // The fastest repetition stands for the kernel: the others lost time to
  // whatever else the machine was doing.
  double& best = PlainRates()[v.name];
  if (rate > best) best = rate;
  Report(state, v, steps.sampled * state.iterations(), total, 1);
}

// One thread, one kernel, line after line; detectCycles false times the
// bare iteration.
void BM_OneCore(benchmark::State& state, const BenchView& v, KernelKind kind,
                bool detectCycles) {
  if (!KernelSupported(kind)) {
    state.SkipWithError("kernel not supported by this processor");
    return;
  }
  const ViewSteps& steps = StepsOf(v);
  std::vector<unsigned short> row(v.area.dotsX);
  double total = 0;
  for (auto _ : state) {
    double t0 = ThreadSeconds();
    for (std::uint64_t l = 0; l < v.area.dotsY; ++l) {
      ComputeLine(v.area, LineIm(v.area, l), row.data(), false, kind,
                  detectCycles);
    }
    double s = ThreadSeconds() - t0;
    total += s;
    state.SetIterationTime(s);
    benchmark::DoNotOptimize(row.data());
  }
  Report(state, v, steps.all * state.iterations(), total, 1);
}

// The engine as the programs run it: every processor through the line pool.
void BM_AllCores(benchmark::State& state, const BenchView& v) {
  const ViewSteps& steps = StepsOf(v);
  LinePool pool;
  double total = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    pool.Start(v.area);
    while (const unsigned short* row = pool.Next()) benchmark::DoNotOptimize(row);
    double s = Seconds(t0);
    total += s;
    state.SetIterationTime(s);
  }
  Report(state, v, steps.all * state.iterations(), total, pool.Threads());
  state.counters["threads"] = pool.Threads();
}

void RegisterAll() {
  for (const BenchView& v : Views) {
    std::string n = v.name;
    benchmark::RegisterBenchmark(("plain/" + n).c_str(), BM_Plain, v)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  for (const BenchView& v : Views) {
    std::string n = v.name;
    benchmark::RegisterBenchmark(("allcores/" + n).c_str(), BM_AllCores, v)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("avx2/" + n).c_str(), BM_OneCore, v,
                                 KernelKind::Avx2, true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("sse2/" + n).c_str(), BM_OneCore, v,
                                 KernelKind::Sse2, true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("avx2-nocycles/" + n).c_str(), BM_OneCore,
                                 v, KernelKind::Avx2, false)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
