// The small grammars of mandel's option values.
#include "mandel/args.h"

#include <cctype>

namespace {

// Digits only, at most max; false on anything else or on overflow.
bool Digits(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  std::uint64_t v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    unsigned d = static_cast<unsigned>(ch - '0');
    if (v > (max - d) / 10) return false;
    v = v * 10 + d;
  }
  value = v;
  return true;
}

}  // namespace

bool ParseSize(const std::string& text, std::uint64_t& width,
               std::uint64_t& height, std::string& error) {
  std::size_t x = text.find_first_of("xX");
  const std::uint64_t maxSide = 0x7fffffff;
  std::uint64_t w = 0, h = 0;
  if (x == std::string::npos || !Digits(text.substr(0, x), UINT64_MAX, w) ||
      !Digits(text.substr(x + 1), UINT64_MAX, h)) {
    error = "expected WxH, such as 1280x720";
    return false;
  }
  if (w < 1 || h < 1 || w > maxSide || h > maxSide) {
    error = "each side must be from 1 to 2147483647 pixels";
    return false;
  }
  width = w;
  height = h;
  return true;
}

bool ParseWhole(const std::string& text, std::uint64_t min, std::uint64_t max,
                std::uint64_t& value, std::string& error) {
  std::uint64_t v = 0;
  if (!Digits(text, UINT64_MAX, v) || v < min || v > max) {
    error = "must be a whole number from " + std::to_string(min) + " to " +
            std::to_string(max);
    return false;
  }
  value = v;
  return true;
}

bool ParseRange(const std::string& text, std::uint64_t& first,
                std::uint64_t& last, std::string& error) {
  const std::size_t colon = text.find(':');
  std::uint64_t a = 0, b = 0;
  if (colon == std::string::npos ||
      !Digits(text.substr(0, colon), UINT64_MAX, a) ||
      !Digits(text.substr(colon + 1), UINT64_MAX, b)) {
    error = "expected A:B, the first and last frame, such as 0:99";
    return false;
  }
  if (a > b) {
    error = "the first frame comes after the last";
    return false;
  }
  first = a;
  last = b;
  return true;
}

bool HasExtension(const std::string& name, const char* ext) {
  std::string e(ext);
  if (name.size() <= e.size()) return false;
  std::string tail = name.substr(name.size() - e.size());
  for (std::size_t i = 0; i < e.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) !=
        std::tolower(static_cast<unsigned char>(e[i])))
      return false;
  }
  return true;
}

bool OutputKindOf(const std::string& name, OutputKind& kind,
                  std::string& error) {
  if (name == "-" || HasExtension(name, ".png")) {
    kind = OutputKind::Png;
  } else if (HasExtension(name, ".bmp")) {
    kind = OutputKind::Bmp;
  } else if (HasExtension(name, ".exr")) {
    kind = OutputKind::CountFile;
  } else {
    error =
        "the name must end in .png, .bmp or .exr, or be - for PNG on "
        "the standard output";
    return false;
  }
  return true;
}
