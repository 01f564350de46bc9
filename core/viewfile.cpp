// The view files: ".mni" holds the view as seven lines of text, ".mnd" the
// counts of every line, bottom line first, as little-endian 16-bit values.
#include <istream>
#include <ostream>

#include "core/mandelbrot.h"

bool ReadInfo(std::istream& is, MandArea& a) {
  a = MandArea();
  is >> a.minRe >> a.minIm >> a.lenRe >> a.lenIm >> a.dotsX >> a.dotsY >>
      a.limit;
  return !is.fail();
}

void SkipInfoEnd(std::istream& is) {
  char c;
  is >> c;
}

std::ostream& Mandelbrot::SaveInfo(std::ostream& os) {
  // Thirty significant digits, more than a double needs, so the view reads
  // back bit for bit.
  os.precision(30);
  os << area.minRe << '\n'
     << area.minIm << '\n'
     << area.lenRe << '\n'
     << area.lenIm << '\n'
     << area.dotsX << '\n'
     << area.dotsY << '\n'
     << area.limit << '\n';
  os.flush();
  return os;
}

std::istream& Mandelbrot::LoadInfo(std::istream& is) {
  MandArea a;
  ReadInfo(is, a);
  SkipInfoEnd(is);
  SetArea(a);
  return is;
}

std::ostream& Mandelbrot::SaveData(std::ostream& os) {
  EnsureArea();
  const unsigned short* row = (*buf)[line];
  for (std::uint64_t m = 0; m < area.dotsX; ++m) {
    char bytes[2] = {static_cast<char>(row[m] & 0xff),
                     static_cast<char>(row[m] >> 8)};
    os.write(bytes, 2);
  }
  return os;
}

std::istream& Mandelbrot::LoadData(std::istream& is) {
  EnsureArea();
  unsigned short* row = (*buf)[line];
  for (std::uint64_t m = 0; m < area.dotsX; ++m) {
    unsigned char bytes[2] = {0, 0};
    // A short file leaves zeros, not whatever the buffer held before.
    is.read(reinterpret_cast<char*>(bytes), 2);
    if (is.gcount() != 2) bytes[0] = bytes[1] = 0;
    row[m] = static_cast<unsigned short>(bytes[0] | (bytes[1] << 8));
  }
  *buf->Flags(line) |= 1;
  return is;
}
