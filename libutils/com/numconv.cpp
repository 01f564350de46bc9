// Command-line number conversions with 32-bit C semantics on every platform.
#include "libutils/com/numconv.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace libutils {

double to_double(const char* text) {
  if (!text) return 0.0;
  return std::strtod(text, nullptr);
}

std::int32_t to_i32(const char* text) {
  if (!text) return 0;
  errno = 0;
  long long v = std::strtoll(text, nullptr, 0);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

std::uint32_t to_u32(const char* text) {
  if (!text) return 0;
  // strtoull would wrap a negative value in 64 bits; the 32-bit rule is to
  // convert the magnitude, clamp it, then negate in 32 bits.
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // A second sign after the first is not a number.
  if (*p == '+' || *p == '-') return 0;
  errno = 0;
  unsigned long long magnitude = std::strtoull(p, nullptr, 0);
  if (errno == ERANGE || magnitude > UINT32_MAX) return UINT32_MAX;
  std::uint32_t v = static_cast<std::uint32_t>(magnitude);
  return negative ? static_cast<std::uint32_t>(0u - v) : v;
}

}  // namespace libutils
