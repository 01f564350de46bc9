// A saved view coloured the way setrender's second form colours it: the info
// text is read and checked, the engine sized from it, and every line of the
// data file loaded and looked up in the palette.
//
// Input: one flag byte (bit 0: keep every line instead of one), two bytes of
// re-limit, then the info text up to the first NUL, then the data file.
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "core/cosinepalette.h"
#include "core/mandelbrot.h"
#include "fuzz/fuzzsupport.h"
#include "bmp/bmp.h"

namespace {

// Views above this many pixels are skipped so a run stays fast; size checks
// themselves are the render driver's and are fuzzed there.
constexpr std::uint64_t MaxPixels = 1 << 16;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  static bool quiet = (fuzzsupport::SilenceStandardErrorStream(), true);
  (void)quiet;
  fuzzsupport::Reader in(data, size);
  const bool keepAll = in.Bool();
  const std::uint32_t reLimit = in.U16();
  const char* rest = reinterpret_cast<const char*>(in.Rest());
  const void* nul = std::memchr(rest, 0, in.Left());
  const std::size_t infoSize =
      nul ? static_cast<const char*>(nul) - rest : in.Left();
  const std::string info(rest, infoSize);
  const std::string counts =
      nul ? std::string(rest + infoSize + 1, in.Left() - infoSize - 1) : "";

  std::istringstream infoStream(info, std::ios::binary);
  MandArea area;
  const bool complete = ReadInfo(infoStream, area);
  SkipInfoEnd(infoStream);
  if (!complete) return 0;
  if (area.dotsX > MaxPixels || area.dotsY > MaxPixels ||
      area.dotsX * area.dotsY > MaxPixels)
    return 0;
  if (!FitsInBmp(area.dotsX, area.dotsY)) return 0;

  Mandelbrot engine(keepAll ? Mandelbrot::NormalBuffer
                            : Mandelbrot::ReducedBuffer);
  // LoadInfo must install exactly the view that ReadInfo checked.
  std::istringstream again(info, std::ios::binary);
  engine.LoadInfo(again);
  const MandArea& got = engine.GetArea();
  if (!SameBits(got.minRe, area.minRe) || !SameBits(got.minIm, area.minIm) ||
      !SameBits(got.lenRe, area.lenRe) || !SameBits(got.lenIm, area.lenIm) ||
      got.dotsX != area.dotsX || got.dotsY != area.dotsY ||
      got.limit != area.limit || got.julia)
    fuzzsupport::Fail("LoadInfo and ReadInfo disagree");

  CosinePalette palette;
  palette.Build(area.limit, reLimit != 0 ? reLimit : area.limit, 3, 2, 1);

  std::istringstream countStream(counts, std::ios::binary);
  unsigned sink = 0;
  for (std::uint64_t l = 0; l < area.dotsY; ++l) {
    engine.SetLine(l);
    engine.LoadData(countStream);
    const unsigned short* buf = engine.GetBuf();
    for (std::uint64_t m = 0; m < area.dotsX; ++m) {
      // Counts the file cannot supply must read as 0, never as old memory.
      const std::uint64_t at = 2 * (l * area.dotsX + m);
      unsigned expected = 0;
      if (at + 2 <= counts.size())
        expected = static_cast<unsigned char>(counts[at]) |
                   static_cast<unsigned char>(counts[at + 1]) << 8;
      if (buf[m] != expected) fuzzsupport::Fail("LoadData count");
      PaletteColour c = palette.Colour(buf[m], reLimit);
      sink += c.red + c.green + c.blue;
    }
  }
  // Keeps the colouring from being optimised away.
  volatile unsigned keep = sink;
  (void)keep;
  return 0;
}
