// The colouring of setrender: a raised cosine of the count per channel, each
// channel with its own frequency (rate), over a period that a re-limit can
// stretch.
#pragma once

#include <cstdint>
#include <vector>

struct PaletteColour {
  unsigned char red, green, blue;
};

class CosinePalette {
 public:
  // Counts are 16-bit, so no table ever needs more entries than this.
  static constexpr std::uint64_t MaxEntries = 65536;

  // Fills entries 0 to N - 1 (at most MaxEntries) for period P:
  // (1 - cos(rate * (i / P) * 2pi)) * 127.5, truncated. Non-finite results
  // (from non-finite rates or a zero period) become 0.
  void Build(std::uint64_t N, std::uint64_t P, double rateR, double rateG,
             double rateB);

  // The colour of a count: black when reLimit is not 0 and the count exceeds
  // it, and black for a count with no entry (at or beyond N).
  // Inline: it is called once a pixel.
  PaletteColour Colour(std::uint32_t count, std::uint32_t reLimit) const {
    if (reLimit != 0 && count > reLimit) count = 0;
    if (count >= table.size()) return PaletteColour{0, 0, 0};
    return table[count];
  }

 private:
  std::vector<PaletteColour> table;
};
