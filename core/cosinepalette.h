// The colouring of setrender: a raised cosine of the count per channel, each
// channel with its own frequency (rate), over a period that a re-limit can
// stretch.
#pragma once

#include <cstddef>
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
    return Lookup(table.data(), table.size(), count, reLimit);
  }

  // Colour(countOf(i), reLimit) for i from 0 to n - 1, written as blue,
  // green, red bytes from out on. The table's place and size are read once:
  // a loop of Colour calls reads them again for every pixel, since the
  // bytes it writes might, as far as the compiler knows, be the table's.
  template <class CountOf>
  void WriteBgr(std::size_t n, std::uint32_t reLimit, unsigned char* out,
                CountOf countOf) const {
    const PaletteColour* t = table.data();
    const std::size_t size = table.size();
    for (std::size_t i = 0; i < n; ++i) {
      const PaletteColour c = Lookup(t, size, countOf(i), reLimit);
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
      out += 3;
    }
  }

  // How many entries the table holds: min(N, MaxEntries) after Build.
  std::uint64_t Entries() const { return table.size(); }

 private:
  static PaletteColour Lookup(const PaletteColour* t, std::size_t size,
                              std::uint32_t count, std::uint32_t reLimit) {
    if (reLimit != 0 && count > reLimit) count = 0;
    if (count >= size) return PaletteColour{0, 0, 0};
    return t[count];
  }

  std::vector<PaletteColour> table;
};
