// The pixel loop for views whose deltas fit in doubles, as vector kernels:
// several pixels step together, one per lane, each lane at its own place in
// the reference, and a lane meeting anything but a plain step (escape, the
// limit, the end of the reference, a rebase, a possible skip) is taken out,
// advanced by the same scalar code as the engine's own loop, and put back.
// Internal to deep; kept free of standard-library templates because it is
// included by files compiled for other instruction sets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/escape.h"

namespace deep {

enum class PixelLoop;  // deep.h
namespace lanes {

// A run of the table as doubles: a.re, a.im, b.re, b.im, r2.
constexpr int RunStride = 5;
constexpr int RunR2 = 4;

// One reference orbit as the kernels read it.
struct Track {
  const double* z;     // re, im of the steps 0 to last
  const double* runs;  // the table in the engine's order, or null
  // With the table: per step, the shortest run's r2 (0 where none starts,
  // infinity at and before base).
  const double* shortR2;
  std::uint64_t last, base;
  int levels;    // 0 when there is no table
  int minLevel;  // runs of lower levels are not taken
};

// One line: the engine's settings and the pixels centre + (width u[k], dv).
struct Job {
  Track tracks[2];
  int rebaseTrack;  // rebases go to the start of tracks[rebaseTrack]
  bool julia, rebase, glitchCheck;
  bool blaLine;     // the table may be used on this line at all
  double reach;     // and then for pixels with |u| <= reach
  std::uint32_t limit;
  double bail2;
  double width, dv;
  const double* u;
  std::size_t n;
  EscapeResult* out;
  std::uint64_t flagged;  // set: pixels the glitch check flagged
};

void LineSse2(Job& job);
void LineAvx2(Job& job);
void LineAvx512(Job& job);

// The processor can run the loop; Plain always.
bool Supported(PixelLoop loop);

// Runs the line with the loop asked for, or the widest the processor has
// for Auto; false for Plain, which is the engine's own loop.
bool Run(Job& job, PixelLoop loop);

}  // namespace lanes
}  // namespace deep
