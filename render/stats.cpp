// Count statistics in two streaming passes.
#include "render/stats.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "core/escape.h"
#include "core/orderedrows.h"

namespace {

bool Escaped(std::uint32_t n) { return n != 0 && n != NeverEscaped; }

}  // namespace

void CountStatsBuilder::First(const std::uint32_t* n, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    ++stats.samples;
    if (n[k] == 0) {
      ++stats.notComputed;
      continue;
    }
    if (!Escaped(n[k])) continue;
    const std::uint32_t c = n[k] - 1;
    if (stats.escaped == 0 || c < stats.minCount) stats.minCount = c;
    if (stats.escaped == 0 || c > stats.maxCount) stats.maxCount = c;
    ++stats.escaped;
  }
}

void CountStatsBuilder::Second(const std::uint32_t* n, std::size_t count) {
  if (bins.empty()) {
    const std::uint64_t range =
        std::uint64_t(stats.maxCount) - stats.minCount + 1;
    stats.binWidth = (range + HistogramBins - 1) / HistogramBins;
    bins.assign(
        static_cast<std::size_t>((range + stats.binWidth - 1) / stats.binWidth),
        0);
  }
  for (std::size_t k = 0; k < count; ++k) {
    if (!Escaped(n[k])) continue;
    const std::uint32_t c = n[k] - 1;
    // A value outside the first pass's range means the passes saw
    // different data; it is left out rather than indexing past the bins.
    if (c < stats.minCount || c > stats.maxCount) continue;
    ++bins[(c - stats.minCount) / stats.binWidth];
  }
}

CountStats CountStatsBuilder::Result() const {
  CountStats result = stats;
  if (result.escaped == 0 || bins.empty()) return result;
  for (int p = 0; p < 5; ++p) {
    // Nearest rank: the smallest count with at least this share at or
    // below it.
    std::uint64_t rank = (result.escaped * StatsPercentiles[p] + 99) / 100;
    if (rank == 0) rank = 1;
    std::uint64_t seen = 0;
    std::size_t b = 0;
    for (; b + 1 < bins.size(); ++b) {
      seen += bins[b];
      if (seen >= rank) break;
    }
    result.percentile[p] = static_cast<std::uint32_t>(
        result.minCount + std::uint64_t(b) * result.binWidth);
  }
  double spread = double(result.percentile[3]) - double(result.percentile[1]);
  result.suggestedPeriod = spread >= 1 ? spread : 1;
  return result;
}

bool GatherStats(const SampleLines& lines, std::uint64_t width,
                 std::uint64_t height, unsigned threads, CountStats& stats,
                 std::string& error) {
  CountStatsBuilder builder;
  const std::size_t values = static_cast<std::size_t>(width);
  const std::size_t nfOffset = (values * 4 + 63) / 64 * 64;
  std::mutex failLock;
  std::atomic<bool> failed{false};
  std::string failure;
  auto produce = [&](std::uint64_t row, unsigned char* out) {
    SampleLine line{reinterpret_cast<std::uint32_t*>(out),
                    reinterpret_cast<float*>(out + nfOffset)};
    std::string why;
    if (failed.load() || !lines.Line(row, line, why)) {
      std::memset(out, 0, values * 4);
      if (!why.empty()) {
        std::lock_guard<std::mutex> guard(failLock);
        if (!failed.exchange(true)) failure = why;
      }
    }
  };
  try {
    OrderedRows rows(threads);
    for (int pass = 0; pass < 2; ++pass) {
      rows.Start(height, nfOffset + values * 4, produce);
      for (std::uint64_t r = 0; r < height; ++r) {
        const unsigned char* row = rows.Next();
        if (!row || failed.load()) {
          rows.Cancel();
          std::lock_guard<std::mutex> guard(failLock);
          error = failure.empty() ? "cannot read the samples" : failure;
          return false;
        }
        const auto* n = reinterpret_cast<const std::uint32_t*>(row);
        if (pass == 0)
          builder.First(n, values);
        else
          builder.Second(n, values);
      }
    }
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
  stats = builder.Result();
  return true;
}
