// Figures for the deep engine: T2 (zoom 1e50) with and without the bilinear
// approximation, the oracle's time per pixel, peak memory, and the time of a
// reference orbit at zoom 1e2000 with a limit of a million. Prints; asserts
// nothing; and the pixel time of views past 2^-900, with deltas in rescaled
// doubles and in FloatExp, on one thread.
// Usage: deep_bench [side=1024] [threads=all] [noBlaRowStep=16]
//                   [loop=auto|plain|sse2|avx2] (the pixel loop of views in
//                   double range)
//        deep_bench wide [side=256]     (the views past 2^-900 only)
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "deep/deep.h"
#include "deep/locations.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since)
      .count();
}

double CpuSeconds() {
  rusage use;
  getrusage(RUSAGE_SELF, &use);
  return use.ru_utime.tv_sec + use.ru_stime.tv_sec +
         1e-6 * (use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

// Renders the rows 0, rowStep, 2 rowStep, ... of a side x side raster on
// threads threads; returns the wall time, and the counts in out.
double Render(const deep::Engine& engine, int side, int rowStep,
              unsigned threads, std::vector<EscapeResult>& out) {
  std::vector<double> u(side);
  for (int i = 0; i < side; ++i) u[i] = -0.5 + double(i) / (side - 1);
  out.assign(static_cast<std::size_t>(side) * side, EscapeResult{});
  std::atomic<int> nextRow{0};
  auto work = [&] {
    for (;;) {
      int j = nextRow.fetch_add(rowStep);
      if (j >= side) return;
      engine.Line(0.5 - double(j) / (side - 1), u.data(), side,
                  &out[static_cast<std::size_t>(j) * side]);
    }
  };
  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
  for (std::thread& th : pool) th.join();
  return Seconds(t0);
}

struct PixelTime {
  double us, nsStep;  // CPU time a pixel, and a step (with skips: a count)
};

// Every rowStep-th row of a side x side raster on one thread.
PixelTime TimePixels(const deep::View& view, const deep::Options& options,
                     int side, int rowStep) {
  deep::Engine engine(view, options);
  std::vector<EscapeResult> counts;
  double cpu = CpuSeconds();
  Render(engine, side, rowStep, 1, counts);
  cpu = CpuSeconds() - cpu;
  double steps = 0, pixels = 0;
  for (int j = 0; j < side; j += rowStep) {
    for (int i = 0; i < side; ++i) {
      std::uint32_t n = counts[static_cast<std::size_t>(j) * side + i].count;
      steps += n == NeverEscaped ? view.limit : n;
      pixels += 1;
    }
  }
  return {1e6 * cpu / pixels, 1e9 * cpu / steps};
}

// CPU time a pixel of views narrower than 2^-900 on one thread, with the
// deltas' plain steps in rescaled doubles and all in FloatExp, with and
// without the approximation; without it, also per step, beside that of
// plain doubles at T1.
void WideViews(int side) {
  struct Row {
    const char* name;
    deep::View view;
    int rowStep;  // every rowStep-th row
  } rows[] = {
      {"Misiurewicz i, zoom 1e300, limit 3000", deep::MisiurewiczI(300, 3000),
       1},
      {"Misiurewicz i, zoom 1e2000, limit 12000",
       deep::MisiurewiczI(2000, 12000), 1},
      {"Julia i, zoom 1e2000, limit 12000", deep::JuliaI(2000, 12000), 1},
      {"minibrot nucleus, zoom 4e300, limit 20000", deep::MinibrotNearI(20000),
       4},
  };
  std::printf("views past 2^-900, %dx%d, 1 thread, CPU time:\n", side, side);
  deep::Options plain;
  plain.bla = false;
  plain.threads = 1;
  std::printf("  doubles at T1 (zoom 1e14) without BLA: %.1f ns a step\n",
              TimePixels(deep::T1(), plain, side, 1).nsStep);
  for (const Row& row : rows) {
    std::printf("  %s (every %srow)\n", row.name,
                row.rowStep == 1 ? "" : "4th ");
    for (int bla = 1; bla >= 0; --bla) {
      PixelTime t[2];
      for (int rescale = 1; rescale >= 0; --rescale) {
        deep::Options o;
        o.bla = bla == 1;
        o.rescale = rescale == 1;
        o.threads = 1;
        t[rescale] = TimePixels(row.view, o, side, row.rowStep);
      }
      std::printf(
          "    %s BLA: rescaled %8.1f us a pixel, FloatExp %8.1f: %.1fx",
          bla ? "with   " : "without", t[1].us, t[0].us, t[0].us / t[1].us);
      if (!bla) {
        std::printf("; %.1f against %.1f ns a step", t[1].nsStep, t[0].nsStep);
      }
      std::printf("\n");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "wide") == 0) {
    std::printf("eps %g\n", deep::Options().eps);
    WideViews(argc > 2 ? std::atoi(argv[2]) : 256);
    return 0;
  }
  int side = argc > 1 ? std::atoi(argv[1]) : 1024;
  unsigned threads = argc > 2 ? std::atoi(argv[2]) : 0;
  int noBlaRowStep = argc > 3 ? std::atoi(argv[3]) : 16;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  const char* loopName = argc > 4 ? argv[4] : "auto";
  deep::Options options;
  if (std::strcmp(loopName, "plain") == 0) {
    options.loop = deep::PixelLoop::Plain;
  } else if (std::strcmp(loopName, "sse2") == 0) {
    options.loop = deep::PixelLoop::Sse2;
  } else if (std::strcmp(loopName, "avx2") == 0) {
    options.loop = deep::PixelLoop::Avx2;
  } else if (std::strcmp(loopName, "avx512") == 0) {
    options.loop = deep::PixelLoop::Avx512;
  } else if (std::strcmp(loopName, "auto") != 0) {
    std::fprintf(stderr, "deep_bench: unknown loop '%s'\n", loopName);
    return 2;
  }
  if (!deep::PixelLoopSupported(options.loop)) {
    std::fprintf(stderr, "deep_bench: this processor cannot run '%s'\n",
                 loopName);
    return 2;
  }
  std::printf("threads %u, eps %g, pixel loop %s\n", threads,
              options.eps, loopName);

  deep::View t2 = deep::T2();
  {
    double cpu0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    deep::Engine engine(t2, options);
    std::vector<EscapeResult> counts;
    double lines = Render(engine, side, 1, threads, counts);
    double wall = Seconds(t0), cpu = CpuSeconds() - cpu0;
    deep::Stats s = engine.stats();
    std::printf(
        "T2 %dx%d with BLA: %.2f s wall (%.2f s CPU): reference %.2f s, table "
        "%.2f s, pixels %.2f s\n",
        side, side, wall, cpu, s.orbitSeconds, s.tableSeconds, lines);
    std::printf(
        "  reference %llu steps of %llu bytes, %.1f MiB in all, %u levels, "
        "%llu bits\n",
        (unsigned long long)s.referenceLength,
        (unsigned long long)s.bytesPerStep, s.referenceBytes / 1048576.0,
        s.blaLevels, (unsigned long long)s.precisionBits);
    // CPU seconds as well as wall: on a shared machine the wall time says
    // more about the other jobs than about the engine.
    std::vector<EscapeResult> sub;
    double cpuWith = CpuSeconds();
    double withBla = Render(engine, side, noBlaRowStep, threads, sub);
    cpuWith = CpuSeconds() - cpuWith;
    deep::Options plain = options;
    plain.bla = false;
    deep::Engine slow(t2, plain);
    double cpuWithout = CpuSeconds();
    double without = Render(slow, side, noBlaRowStep, threads, sub);
    cpuWithout = CpuSeconds() - cpuWithout;
    std::printf(
        "T2 every %dth row: with BLA %.2f s wall, %.2f s CPU; without %.2f s "
        "wall, %.2f s CPU: %.1fx in CPU time; whole raster without BLA about "
        "%.0f CPU seconds\n",
        noBlaRowStep, withBla, cpuWith, without, cpuWithout,
        cpuWithout / cpuWith, cpuWithout * noBlaRowStep);
  }
  {
    const int pixels = 12;
    auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < pixels; ++k) {
      deep::ExactEscape(t2, -0.5 + k / double(pixels), 0.25);
    }
    std::printf("oracle at T2: %.3f s a pixel\n", Seconds(t0) / pixels);
  }
  rusage use;
  getrusage(RUSAGE_SELF, &use);
  std::printf("peak memory after T2 (both engines and the oracle): %.1f MiB\n",
              use.ru_maxrss / 1024.0);
  {
    deep::View deepest = deep::Nucleus3(2000, 1000000);
    auto t0 = std::chrono::steady_clock::now();
    deep::Engine engine(deepest, {});
    deep::Stats s = engine.stats();
    std::printf(
        "zoom 1e2000, limit 1000000: %.2f s (orbit %.2f s, table %.2f s), "
        "%llu steps of %llu bytes, %llu kept wide, %llu bits\n",
        Seconds(t0), s.orbitSeconds, s.tableSeconds,
        (unsigned long long)s.referenceLength,
        (unsigned long long)s.bytesPerStep, (unsigned long long)s.smallSteps,
        (unsigned long long)s.precisionBits);
  }
  WideViews(256);
  return 0;
}
