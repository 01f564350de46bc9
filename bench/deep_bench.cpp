// Figures for the deep engine: T2 (zoom 1e50) with and without the bilinear
// approximation, the oracle's time per pixel, peak memory, and the time of a
// reference orbit at zoom 1e2000 with a limit of a million. Prints; asserts
// nothing. Usage: deep_bench [side=1024] [threads=all] [noBlaRowStep=16]
// [loop=auto|plain|sse2|avx2] (the pixel loop of views in double range)
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

}  // namespace

int main(int argc, char** argv) {
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
  return 0;
}
