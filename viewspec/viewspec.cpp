// Reading, checking and writing view files.
#include "viewspec/viewspec.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "colour/antialias.h"
#include "colour/palette.h"
#include "viewspec/decimal.h"

bool operator==(const ViewSpec& a, const ViewSpec& b) {
  return a.anchor == b.anchor && a.re == b.re && a.im == b.im &&
         a.width == b.width && a.sizeX == b.sizeX && a.sizeY == b.sizeY &&
         a.limit == b.limit && a.bailout == b.bailout && a.julia == b.julia &&
         (!a.julia || (a.juliaRe == b.juliaRe && a.juliaIm == b.juliaIm)) &&
         a.colouring == b.colouring && a.samples == b.samples;
}

namespace {

// Larger text is no view file; refusing it early bounds the work.
constexpr std::size_t MaxViewText = 1 << 20;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// A decimal that converts to a finite double; positive when asked.
bool CheckDecimal(const std::string& text, bool positive, std::string& error) {
  if (text.size() > MaxDecimalChars) {
    error =
        "number longer than " + std::to_string(MaxDecimalChars) + " characters";
    return false;
  }
  if (!IsDecimal(text)) {
    error = "not a decimal number: " + Quoted(text);
    return false;
  }
  double d;
  if (!DecimalToDouble(text, d)) {
    error = "out of range: " + Quoted(text);
    return false;
  }
  if (positive && DecimalSign(text) <= 0) {
    error = "must be positive";
    return false;
  }
  return true;
}

bool ParseUnsigned(const std::string& text, std::uint64_t min,
                   std::uint64_t max, std::uint64_t& out, std::string& error) {
  std::uint64_t v = 0;
  bool ok = !text.empty() && text.size() <= 20;
  for (std::size_t k = 0; ok && k < text.size(); ++k) {
    char c = text[k];
    if (c < '0' || c > '9' || v > (max - (c - '0')) / 10) {
      ok = false;
      break;
    }
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (!ok || v < min) {
    error = "expected a whole number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not " + Quoted(text);
    return false;
  }
  out = v;
  return true;
}

bool ParsePositiveDouble(const std::string& text, double& out,
                         std::string& error) {
  double v;
  if (!ParseDouble(text, v) || !(v > 0)) {
    error = "expected a positive number, not " + Quoted(text);
    return false;
  }
  out = v;
  return true;
}

// Splits "A B" into exactly two tokens.
bool Pair(const std::string& value, std::string& a, std::string& b,
          std::string& error) {
  std::vector<std::string> t = SplitSpaces(value);
  if (t.size() != 2) {
    error = "expected two numbers";
    return false;
  }
  a = t[0];
  b = t[1];
  return true;
}

bool CheckDecimalPair(const std::string& a, const std::string& b,
                      std::string& error) {
  return CheckDecimal(a, false, error) && CheckDecimal(b, false, error);
}

// The corner's exact centre must itself be writable as a number.
bool CheckCentre(const ViewSpec& v, std::string& error) {
  if (v.anchor != Anchor::Corner) return true;
  if (!IsDecimal(CenterRe(v)) || !IsDecimal(CenterIm(v))) {
    error = "the exact centre of this corner and width is too long to write";
    return false;
  }
  return true;
}

const char* const Keys[] = {"center",  "corner",  "width",  "size",
                            "limit",   "bailout", "julia",  "colouring",
                            "palette", "period",  "inside", "samples"};

// Applies one key's value to v.
bool Apply(const std::string& key, const std::string& value, ViewSpec& v,
           std::string& centreRe, std::string& centreIm, std::string& error) {
  std::string a, b;
  if (key == "center" || key == "corner") {
    if (!Pair(value, a, b, error) || !CheckDecimalPair(a, b, error))
      return false;
    if (key == "center") {
      centreRe = a;
      centreIm = b;
    } else {
      v.anchor = Anchor::Corner;
      v.re = a;
      v.im = b;
    }
    return true;
  }
  if (key == "width") {
    if (!CheckDecimal(value, true, error)) return false;
    v.width = value;
    return true;
  }
  if (key == "size") {
    std::uint64_t x, y;
    if (!Pair(value, a, b, error) || !ParseUnsigned(a, 1, MaxSide, x, error) ||
        !ParseUnsigned(b, 1, MaxSide, y, error))
      return false;
    v.sizeX = x;
    v.sizeY = y;
    return true;
  }
  if (key == "limit") {
    std::uint64_t n;
    if (!ParseUnsigned(value, 0, 0xFFFFFFFFu, n, error)) return false;
    v.limit = static_cast<std::uint32_t>(n);
    return true;
  }
  if (key == "bailout") return ParsePositiveDouble(value, v.bailout, error);
  if (key == "julia") {
    if (!Pair(value, a, b, error) || !CheckDecimalPair(a, b, error))
      return false;
    v.julia = true;
    v.juliaRe = a;
    v.juliaIm = b;
    return true;
  }
  if (key == "colouring") {
    if (value == "smooth") {
      v.colouring.shading = Shading::Smooth;
    } else if (value == "bands") {
      v.colouring.shading = Shading::Bands;
    } else {
      error = "expected smooth or bands, not " + Quoted(value);
      return false;
    }
    return true;
  }
  if (key == "palette") return ParsePalette(value, v.colouring.palette, error);
  if (key == "period")
    return ParsePositiveDouble(value, v.colouring.period, error);
  if (key == "inside") {
    if (!ParseHexColour(value, v.colouring.inside)) {
      error = "expected #rrggbb, not " + Quoted(value);
      return false;
    }
    return true;
  }
  // samples: the only key left.
  std::uint64_t n;
  if (!ParseUnsigned(value, 1, MaxSamples, n, error)) return false;
  v.samples = static_cast<unsigned>(n);
  return true;
}

}  // namespace

std::string TrimSpaces(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> SplitSpaces(const std::string& s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    std::size_t from = i;
    while (i < s.size() && !IsSpace(s[i])) ++i;
    if (i > from) out.push_back(s.substr(from, i - from));
  }
  return out;
}

bool ParseViewSpec(const std::string& text, const std::string& source,
                   ViewSpec& out, std::string& error) {
  if (text.size() > MaxViewText) {
    error = source + ": larger than " + std::to_string(MaxViewText) +
            " bytes, not a view file";
    return false;
  }
  ViewSpec v;
  std::string centreRe, centreIm;
  std::size_t seen[sizeof Keys / sizeof Keys[0]] = {};  // line of each key
  std::size_t centreLine = 0;
  std::size_t lineNo = 0, from = 0;
  // Editors on Windows may start UTF-8 text with a byte order mark.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) from = 3;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = TrimSpaces(line);
    // Comments take whole lines: within a value '#' starts a colour.
    if (line.empty() || line[0] == '#') continue;
    const std::string where = source + ":" + std::to_string(lineNo) + ": ";
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = where + "expected key = value";
      return false;
    }
    std::string key = TrimSpaces(line.substr(0, eq));
    std::string value = TrimSpaces(line.substr(eq + 1));
    std::size_t k = 0;
    while (k < sizeof Keys / sizeof Keys[0] && key != Keys[k]) ++k;
    if (k == sizeof Keys / sizeof Keys[0]) {
      error = where + "unknown key " + Quoted(key);
      return false;
    }
    if (seen[k]) {
      error = where + key + ": given twice (first on line " +
              std::to_string(seen[k]) + ")";
      return false;
    }
    seen[k] = lineNo;
    if (key == "center") centreLine = lineNo;
    std::string what;
    if (!Apply(key, value, v, centreRe, centreIm, what)) {
      error = where + key + ": " + what;
      return false;
    }
  }
  if (v.anchor == Anchor::Center) {
    if (centreLine) {
      v.re = centreRe;
      v.im = centreIm;
    }
  } else {
    std::string what;
    if (!CheckCentre(v, what)) {
      error = source + ": corner: " + what;
      return false;
    }
    if (centreLine && (!DecimalEqual(centreRe, CenterRe(v)) ||
                       !DecimalEqual(centreIm, CenterIm(v)))) {
      error = source + ":" + std::to_string(centreLine) +
              ": center: not the centre of the corner (" + CenterRe(v) + " " +
              CenterIm(v) + ")";
      return false;
    }
  }
  out = v;
  return true;
}

bool CheckViewSpec(const ViewSpec& v, std::string& error) {
  std::string what;
  const char* key = v.anchor == Anchor::Corner ? "corner" : "center";
  if (!CheckDecimalPair(v.re, v.im, what)) {
    error = std::string(key) + ": " + what;
    return false;
  }
  if (!CheckDecimal(v.width, true, what)) {
    error = "width: " + what;
    return false;
  }
  if (!CheckCentre(v, what)) {
    error = "corner: " + what;
    return false;
  }
  if (v.sizeX < 1 || v.sizeX > MaxSide || v.sizeY < 1 || v.sizeY > MaxSide) {
    error = "size: each side must be from 1 to " + std::to_string(MaxSide);
    return false;
  }
  if (!(v.bailout > 0) || !std::isfinite(v.bailout)) {
    error = "bailout: must be a positive number";
    return false;
  }
  if (v.julia && !CheckDecimalPair(v.juliaRe, v.juliaIm, what)) {
    error = "julia: " + what;
    return false;
  }
  const Colouring& c = v.colouring;
  if (c.shading != Shading::Smooth && c.shading != Shading::Bands) {
    error = "colouring: must be smooth or bands";
    return false;
  }
  Palette reread;
  if (!ParsePalette(FormatPalette(c.palette), reread, what) ||
      reread != c.palette) {
    error = "palette: " + (what.empty() ? "cannot be written" : what);
    return false;
  }
  if (!(c.period > 0) || !std::isfinite(c.period)) {
    error = "period: must be a positive number";
    return false;
  }
  if (v.samples < 1 || v.samples > MaxSamples) {
    error = "samples: must be from 1 to " + std::to_string(MaxSamples);
    return false;
  }
  return true;
}

std::string FormatViewSpec(const ViewSpec& v) {
  std::string s = "center = " + CenterRe(v) + " " + CenterIm(v) + "\n";
  if (v.anchor == Anchor::Corner) s += "corner = " + v.re + " " + v.im + "\n";
  s += "width = " + v.width + "\n";
  s += "size = " + std::to_string(v.sizeX) + " " + std::to_string(v.sizeY) +
       "\n";
  s += "limit = " + std::to_string(v.limit) + "\n";
  s += "bailout = " + FormatDouble(v.bailout) + "\n";
  if (v.julia) s += "julia = " + v.juliaRe + " " + v.juliaIm + "\n";
  const Colouring& c = v.colouring;
  s += std::string("colouring = ") +
       (c.shading == Shading::Bands ? "bands" : "smooth") + "\n";
  s += "palette = " + FormatPalette(c.palette) + "\n";
  s += "period = " + FormatDouble(c.period) + "\n";
  s += "inside = " + FormatHexColour(c.inside) + "\n";
  s += "samples = " + std::to_string(v.samples) + "\n";
  return s;
}

std::string CenterRe(const ViewSpec& v) {
  return v.anchor == Anchor::Corner ? DecimalAddHalf(v.re, v.width) : v.re;
}

std::string CenterIm(const ViewSpec& v) {
  return v.anchor == Anchor::Corner ? DecimalAddHalf(v.im, v.width) : v.im;
}

MandArea ViewArea(const ViewSpec& v) {
  MandArea a;
  double re = 0, im = 0, width = 0;
  DecimalToDouble(v.re, re);
  DecimalToDouble(v.im, im);
  DecimalToDouble(v.width, width);
  a.dotsX = v.sizeX;
  a.dotsY = v.sizeY;
  a.limit = v.limit;
  a.lenRe = width;
  // Product first, then the division: the order setrender uses, which
  // fixes the last bits of every point.
  a.lenIm =
      (static_cast<double>(v.sizeY) * width) / static_cast<double>(v.sizeX);
  if (v.anchor == Anchor::Corner) {
    a.minRe = re;
    a.minIm = im + (a.lenRe - a.lenIm) * 0.5;
  } else {
    a.minRe = re - width * 0.5;
    a.minIm = im - a.lenIm * 0.5;
  }
  a.julia = v.julia;
  if (v.julia) {
    DecimalToDouble(v.juliaRe, a.juliaRe);
    DecimalToDouble(v.juliaIm, a.juliaIm);
  }
  return a;
}

bool ParseDecimalPair(const std::string& text, std::string& re, std::string& im,
                      std::string& error) {
  std::string a, b;
  std::size_t comma = text.find(',');
  if (comma != std::string::npos) {
    a = text.substr(0, comma);
    b = text.substr(comma + 1);
    if (b.find(',') != std::string::npos) {
      error = "expected RE,IM, not " + Quoted(text);
      return false;
    }
  } else {
    std::vector<std::string> t = SplitSpaces(text);
    if (t.size() != 2) {
      error = "expected RE,IM, not " + Quoted(text);
      return false;
    }
    a = t[0];
    b = t[1];
  }
  if (!CheckDecimalPair(a, b, error)) return false;
  re = a;
  im = b;
  return true;
}

bool ViewOfPair(const MandArea& area, ViewSpec& view, std::string& error) {
  if (area.limit > 0xffffffffu) {
    error = "limit " + std::to_string(area.limit) + " is above 4294967295";
    return false;
  }
  ViewSpec v;
  v.anchor = Anchor::Center;
  // The pair keeps doubles; their shortest texts read back to the same
  // doubles, and the centre is exact in decimal.
  v.re = DecimalAddHalf(FormatDouble(area.minRe), FormatDouble(area.lenRe));
  v.im = DecimalAddHalf(FormatDouble(area.minIm), FormatDouble(area.lenIm));
  v.width = FormatDouble(area.lenRe);
  v.sizeX = area.dotsX;
  v.sizeY = area.dotsY;
  v.limit = static_cast<std::uint32_t>(area.limit);
  v.bailout = 2;
  v.samples = 1;
  if (!CheckViewSpec(v, error)) return false;
  view = v;
  return true;
}
