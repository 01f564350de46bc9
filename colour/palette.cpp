// Palette option text.
#include "colour/palette.h"

#include <charconv>
#include <cmath>
#include <system_error>

bool operator==(const Palette& a, const Palette& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == Palette::Cosine) {
    return a.rates[0] == b.rates[0] && a.rates[1] == b.rates[1] &&
           a.rates[2] == b.rates[2];
  }
  if (a.stops.size() != b.stops.size()) return false;
  for (std::size_t k = 0; k < a.stops.size(); ++k)
    if (a.stops[k] != b.stops[k]) return false;
  return true;
}

Palette DefaultPalette() {
  Palette p;
  p.kind = Palette::Gradient;
  p.stops = {{0x00, 0x07, 0x64},
             {0x20, 0x6b, 0xcb},
             {0xed, 0xff, 0xff},
             {0xff, 0xaa, 0x00},
             {0x00, 0x02, 0x00}};
  return p;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits at commas; empty pieces are kept so that they can be refused.
std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::string::size_type from = 0;
  for (;;) {
    std::string::size_type comma = text.find(',', from);
    parts.push_back(text.substr(from, comma - from));
    if (comma == std::string::npos) return parts;
    from = comma + 1;
  }
}

}  // namespace

std::string Quoted(const std::string& text) {
  // Long or unprintable text would make the message itself unreadable.
  std::string shown;
  for (char c : text) {
    if (shown.size() >= 40) {
      shown += "...";
      break;
    }
    unsigned char u = static_cast<unsigned char>(c);
    shown += (u < 0x20 || u >= 0x7f) ? '?' : c;
  }
  return "\"" + shown + "\"";
}

bool ParseHexColour(const std::string& text, Rgb8& out) {
  if (text.size() != 7 || text[0] != '#') return false;
  int v[6];
  for (int k = 0; k < 6; ++k) {
    v[k] = HexDigit(text[k + 1]);
    if (v[k] < 0) return false;
  }
  out.r = static_cast<std::uint8_t>(v[0] * 16 + v[1]);
  out.g = static_cast<std::uint8_t>(v[2] * 16 + v[3]);
  out.b = static_cast<std::uint8_t>(v[4] * 16 + v[5]);
  return true;
}

std::string FormatHexColour(Rgb8 c) {
  static const char digits[] = "0123456789abcdef";
  std::string s = "#";
  for (std::uint8_t v : {c.r, c.g, c.b}) {
    s += digits[v >> 4];
    s += digits[v & 15];
  }
  return s;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes no '+', but people write one.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-') return false;
  }
  double v;
  std::from_chars_result r =
      std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last) return false;
  if (!std::isfinite(v)) return false;  // "inf" and "nan" spelled out
  out = v;
  return true;
}

std::string FormatDouble(double v) {
  char buf[64];
  std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool ParsePalette(const std::string& text, Palette& out, std::string& error) {
  static const std::string cosine = "cosine:", gradient = "gradient:";
  Palette p;
  if (text.compare(0, cosine.size(), cosine) == 0) {
    std::vector<std::string> parts = SplitCommas(text.substr(cosine.size()));
    if (parts.size() != 3) {
      error = "cosine palette " + Quoted(text) + " needs three rates R,G,B";
      return false;
    }
    p.kind = Palette::Cosine;
    for (int k = 0; k < 3; ++k) {
      if (!ParseDouble(parts[k], p.rates[k])) {
        error = "bad rate " + Quoted(parts[k]) + " in cosine palette";
        return false;
      }
    }
    out = p;
    return true;
  }
  std::string list = text;
  if (text.compare(0, gradient.size(), gradient) == 0)
    list = text.substr(gradient.size());
  else if (text.empty() || text[0] != '#') {
    error = "unknown palette " + Quoted(text) +
            " (expected cosine:R,G,B or gradient:#rrggbb,...)";
    return false;
  }
  std::vector<std::string> parts = SplitCommas(list);
  if (parts.size() > MaxStops) {
    error = "gradient has more than " + std::to_string(MaxStops) + " stops";
    return false;
  }
  p.kind = Palette::Gradient;
  for (const std::string& part : parts) {
    Rgb8 c;
    if (!ParseHexColour(part, c)) {
      error = "bad colour stop " + Quoted(part) + " (expected #rrggbb)";
      return false;
    }
    p.stops.push_back(c);
  }
  out = p;
  return true;
}

std::string FormatPalette(const Palette& p) {
  if (p.kind == Palette::Cosine) {
    return "cosine:" + FormatDouble(p.rates[0]) + "," +
           FormatDouble(p.rates[1]) + "," + FormatDouble(p.rates[2]);
  }
  std::string s = "gradient:";
  for (std::size_t k = 0; k < p.stops.size(); ++k) {
    if (k) s += ',';
    s += FormatHexColour(p.stops[k]);
  }
  return s;
}
