// The view files: ".mni" holds the view as seven lines of text, ".mnd" the
// counts of every line, bottom line first, as little-endian 16-bit values.
#include <istream>
#include <locale>
#include <ostream>
#include <streambuf>

#include "core/mandelbrot.h"

namespace {

// A run of more characters than this without white space is no number a
// view needs; reading it whole would let an endless stream use unbounded
// memory, since the stream's number parser keeps every digit it sees.
constexpr std::size_t MaxTokenLength = 4096;

// Passes characters through one at a time, so the stream beneath is left
// exactly where the extractions stop, but ends the input in the middle of
// a run of non-blank characters that grows past MaxTokenLength.
class TokenLimit : public std::streambuf {
 public:
  TokenLimit(std::streambuf* source, const std::locale& loc)
      : source(source), ctype(std::use_facet<std::ctype<char>>(loc)) {}
  bool Exceeded() const { return exceeded; }

 protected:
  int_type underflow() override { return Pass(source->sgetc()); }
  int_type uflow() override {
    int_type c = Pass(source->sgetc());
    if (traits_type::eq_int_type(c, traits_type::eof())) return c;
    run = ctype.is(std::ctype_base::space, traits_type::to_char_type(c))
              ? 0
              : run + 1;
    source->sbumpc();
    return c;
  }

 private:
  int_type Pass(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return c;
    if (run == MaxTokenLength &&
        !ctype.is(std::ctype_base::space, traits_type::to_char_type(c))) {
      exceeded = true;
      return traits_type::eof();
    }
    return c;
  }

  std::streambuf* source;
  const std::ctype<char>& ctype;
  std::size_t run = 0;
  bool exceeded = false;
};

}  // namespace

bool ReadInfo(std::istream& is, MandArea& a) {
  a = MandArea();
  std::streambuf* source = is.rdbuf();
  if (!source) {
    is.setstate(std::ios::badbit);
    return false;
  }
  // No exception may leave while the stream holds the local buffer; the
  // caller's exception mask applies once its own buffer is back.
  const std::ios::iostate mask = is.exceptions();
  is.exceptions(std::ios::goodbit);
  TokenLimit limited(source, is.getloc());
  is.rdbuf(&limited);
  is >> a.minRe >> a.minIm >> a.lenRe >> a.lenIm >> a.dotsX >> a.dotsY >>
      a.limit;
  // Swapping the buffer back clears the state; the caller sees the state of
  // the reads, and a cut token as a failed one.
  std::ios::iostate state = is.rdstate();
  if (limited.Exceeded()) state |= std::ios::failbit;
  is.rdbuf(source);
  is.setstate(state);
  const bool complete = !is.fail();
  is.exceptions(mask);
  return complete;
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
