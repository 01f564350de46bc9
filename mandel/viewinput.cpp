// Views from files and from the command line.
#include "mandel/viewinput.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "colour/palette.h"
#include "imageio/countfile.h"
#include "imageio/pngtext.h"
#include "viewspec/decimal.h"

namespace {

// A view file is a few lines; anything this large is some other file, and
// reading it whole would only cost memory.
constexpr std::streamsize MaxViewFileBytes = 1 << 20;

bool LooksLikeExr(const char* bytes, std::size_t size) {
  return size >= 4 && static_cast<unsigned char>(bytes[0]) == 0x76 &&
         static_cast<unsigned char>(bytes[1]) == 0x2f &&
         static_cast<unsigned char>(bytes[2]) == 0x31 &&
         static_cast<unsigned char>(bytes[3]) == 0x01;
}

std::string SystemReason() { return std::strerror(errno); }

bool Fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

}  // namespace

bool SniffInput(const std::string& path, InputKind& kind, std::string& error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, path + ": " + SystemReason());
  char head[8] = {};
  in.read(head, sizeof head);
  std::size_t got = static_cast<std::size_t>(in.gcount());
  if (LooksLikePng(head, got))
    kind = InputKind::Png;
  else if (LooksLikeExr(head, got))
    kind = InputKind::CountFile;
  else
    kind = InputKind::ViewFile;
  return true;
}

bool ReadView(const std::string& path, ViewSpec& view, std::string& error) {
  InputKind kind;
  if (!SniffInput(path, kind, error)) return false;
  std::string text;
  switch (kind) {
    case InputKind::Png:
      if (!ReadPngViewTextFile(path, text, error)) return false;
      break;
    case InputKind::CountFile: {
      CountFileReader reader;
      if (!reader.Open(path, error)) return false;
      text = reader.ViewText();
      if (text.empty()) return Fail(error, path + ": count file holds no view");
      break;
    }
    case InputKind::ViewFile: {
      errno = 0;
      std::ifstream in(path, std::ios::binary);
      if (!in) return Fail(error, path + ": " + SystemReason());
      std::vector<char> bytes(MaxViewFileBytes + 1);
      in.read(bytes.data(), MaxViewFileBytes + 1);
      std::streamsize got = in.gcount();
      if (in.bad()) return Fail(error, path + ": read error");
      if (got > MaxViewFileBytes)
        return Fail(error, path + ": too large for a view file");
      text.assign(bytes.data(), static_cast<std::size_t>(got));
      break;
    }
  }
  return ParseViewSpec(text, path, view, error);
}

bool ApplyViewArgs(const ViewArgs& args, ViewSpec& view, std::string& error) {
  ViewSpec v = view;
  std::string why;
  if (!args.center.empty() || !args.corner.empty()) {
    const bool center = !args.center.empty();
    const std::string& text = center ? args.center : args.corner;
    if (!ParseDecimalPair(text, v.re, v.im, why))
      return Fail(error,
                  std::string(center ? "--center" : "--corner") + ": " + why);
    v.anchor = center ? Anchor::Center : Anchor::Corner;
  }
  if (!args.width.empty()) {
    if (!IsDecimal(args.width))
      return Fail(error, "--width: not a decimal number: " + args.width);
    v.width = args.width;
  }
  if (!args.size.empty() && !ParseSize(args.size, v.sizeX, v.sizeY, why))
    return Fail(error, "--size: " + why);
  if (!args.limit.empty()) {
    std::uint64_t limit;
    if (!ParseWhole(args.limit, 0, 0xffffffffu, limit, why))
      return Fail(error, "--limit: " + why);
    v.limit = static_cast<std::uint32_t>(limit);
  }
  if (!args.julia.empty()) {
    if (!ParseDecimalPair(args.julia, v.juliaRe, v.juliaIm, why))
      return Fail(error, "--julia: " + why);
    // The default view frames the Mandelbrot set, which lies left of the
    // origin; a Julia set is centred on it. Only a position nobody chose
    // moves: a view file's or an option's own stays.
    const ViewSpec defaults;
    if (!view.julia && args.center.empty() && args.corner.empty() &&
        v.anchor == defaults.anchor && v.re == defaults.re &&
        v.im == defaults.im) {
      v.re = "0";
      v.im = "0";
    }
    v.julia = true;
  }
  if (!args.bailout.empty() && !ParseDouble(args.bailout, v.bailout))
    return Fail(error, "--bailout: not a number: " + args.bailout);
  if (!CheckViewSpec(v, why)) return Fail(error, why);
  view = v;
  return true;
}

bool ApplyColourArgs(const ColourArgs& args, Colouring& colouring,
                     std::string& error) {
  Colouring c = colouring;
  std::string why;
  if (args.bands) c.shading = Shading::Bands;
  if (args.smooth) c.shading = Shading::Smooth;
  if (!args.palette.empty() && !ParsePalette(args.palette, c.palette, why))
    return Fail(error, "--palette: " + why);
  if (!args.gradient.empty()) {
    // A bare stop list, or the same with the palette option's prefix.
    Palette p;
    if (!ParsePalette(args.gradient, p, why))
      return Fail(error, "--gradient: " + why);
    if (p.kind != Palette::Gradient)
      return Fail(error,
                  "--gradient: expected colour stops such as "
                  "#000764,#edffff");
    c.palette = p;
  }
  if (!args.period.empty()) {
    double period;
    if (!ParseDouble(args.period, period) || !(period > 0))
      return Fail(error, "--period: must be a number above 0");
    c.period = period;
  }
  if (!args.inside.empty() && !ParseHexColour(args.inside, c.inside))
    return Fail(error, "--inside: expected a colour as #rrggbb");
  colouring = c;
  return true;
}

bool ParseDepth(const std::string& text, int& depth, std::string& error) {
  if (text.empty() || text == "8") {
    depth = 8;
  } else if (text == "16") {
    depth = 16;
  } else {
    return Fail(error, "--depth: must be 8 or 16");
  }
  return true;
}

bool ParseThreads(const std::string& text, unsigned& threads,
                  std::string& error) {
  threads = 0;
  if (text.empty()) return true;
  std::uint64_t n;
  std::string why;
  if (!ParseWhole(text, 1, 1024, n, why))
    return Fail(error, "--threads: " + why);
  threads = static_cast<unsigned>(n);
  return true;
}
