// Statistics of the counts of a raster, gathered in two streaming passes so
// that memory stays constant whatever the size: the first finds the range of
// the escaped counts, the second fills a histogram of bounded size over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/pipeline.h"

struct CountStats {
  std::uint64_t samples = 0;                 // every sample seen
  std::uint64_t escaped = 0;                 // samples with a count
  std::uint64_t notComputed = 0;             // N = 0 in a count file
  std::uint32_t minCount = 0, maxCount = 0;  // of the escaped; 0 when none
  // Counts at or below which 1, 10, 50, 90 and 99 percent of the escaped
  // samples lie (nearest rank). Exact when the count range is at most
  // HistogramBins wide; otherwise the lower end of the histogram bin, so
  // within binWidth - 1 below the exact value.
  std::uint32_t percentile[5] = {};
  std::uint64_t binWidth = 1;
  // A palette period that spreads the bulk of the escaped counts (the 10th
  // to the 90th percentile) over about one colour cycle, at least 1.
  double suggestedPeriod = 1;
};

constexpr int StatsPercentiles[5] = {1, 10, 50, 90, 99};
constexpr std::uint64_t HistogramBins = 1 << 20;

class CountStatsBuilder {
 public:
  // First pass: every N value once.
  void First(const std::uint32_t* n, std::size_t count);
  // Second pass: the same values again, in any order.
  void Second(const std::uint32_t* n, std::size_t count);
  // The statistics after both passes.
  CountStats Result() const;

 private:
  CountStats stats;
  std::vector<std::uint64_t> bins;  // sized at the first Second call
};

// Reads every sample line of a raster twice through `lines` (lines
// 0 .. height-1 of width samples) on `threads` workers (0: one per
// processor) and gathers the statistics. False, with a message, when a line
// cannot be had.
bool GatherStats(const SampleLines& lines, std::uint64_t width,
                 std::uint64_t height, unsigned threads, CountStats& stats,
                 std::string& error);
