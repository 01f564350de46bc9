// Exact decimal arithmetic on digit strings: only what the view needs (a
// sum, a halving, a comparison), so no multi-precision library.
#include "viewspec/decimal.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// value = (neg ? -1 : 1) * digits * 10^exp; digits hold no leading or
// trailing zeros, and are empty for zero.
struct Dec {
  bool neg = false;
  std::string digits;
  long exp = 0;
};

void Normalise(Dec& d) {
  std::string::size_type first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    d = Dec();
    return;
  }
  std::string::size_type last = d.digits.find_last_not_of('0');
  d.exp += static_cast<long>(d.digits.size() - 1 - last);
  d.digits = d.digits.substr(first, last + 1 - first);
}

// Requires IsDecimal(text).
Dec Parse(const std::string& text) {
  Dec d;
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') d.neg = text[i++] == '-';
  long fraction = 0;
  bool afterPoint = false;
  for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
    if (text[i] == '.') {
      afterPoint = true;
      continue;
    }
    d.digits += text[i];
    if (afterPoint) ++fraction;
  }
  long e = 0;
  if (i < text.size()) {  // the exponent
    ++i;
    bool eneg = false;
    if (text[i] == '+' || text[i] == '-') eneg = text[i++] == '-';
    for (; i < text.size(); ++i) e = e * 10 + (text[i] - '0');
    if (eneg) e = -e;
  }
  d.exp = e - fraction;
  Normalise(d);
  return d;
}

// Magnitudes as digit strings, most significant first, of equal scale.
int CompareMagnitude(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string AddMagnitude(const std::string& a, const std::string& b) {
  std::string out;
  int carry = 0;
  for (std::size_t k = 0; k < a.size() || k < b.size() || carry; ++k) {
    int s = carry;
    if (k < a.size()) s += a[a.size() - 1 - k] - '0';
    if (k < b.size()) s += b[b.size() - 1 - k] - '0';
    out += static_cast<char>('0' + s % 10);
    carry = s / 10;
  }
  return std::string(out.rbegin(), out.rend());
}

// a - b for a >= b.
std::string SubtractMagnitude(const std::string& a, const std::string& b) {
  std::string out;
  int borrow = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    int s = (a[a.size() - 1 - k] - '0') - borrow;
    if (k < b.size()) s -= b[b.size() - 1 - k] - '0';
    borrow = s < 0;
    out += static_cast<char>('0' + (s + 10) % 10);
  }
  return std::string(out.rbegin(), out.rend());
}

std::string TimesFive(const std::string& a) {
  std::string out;
  int carry = 0;
  for (std::size_t k = a.size(); k-- > 0;) {
    int s = (a[k] - '0') * 5 + carry;
    out += static_cast<char>('0' + s % 10);
    carry = s / 10;
  }
  if (carry) out += static_cast<char>('0' + carry);
  return std::string(out.rbegin(), out.rend());
}

Dec Add(Dec a, Dec b) {
  if (a.digits.empty()) return b;
  if (b.digits.empty()) return a;
  long e = a.exp < b.exp ? a.exp : b.exp;
  a.digits.append(static_cast<std::size_t>(a.exp - e), '0');
  b.digits.append(static_cast<std::size_t>(b.exp - e), '0');
  Dec s;
  s.exp = e;
  if (a.neg == b.neg) {
    s.neg = a.neg;
    s.digits = AddMagnitude(a.digits, b.digits);
  } else if (CompareMagnitude(a.digits, b.digits) >= 0) {
    s.neg = a.neg;
    s.digits = SubtractMagnitude(a.digits, b.digits);
  } else {
    s.neg = b.neg;
    s.digits = SubtractMagnitude(b.digits, a.digits);
  }
  Normalise(s);
  return s;
}

std::string Format(const Dec& d) {
  if (d.digits.empty()) return "0";
  std::string out = d.neg ? "-" : "";
  const long n = static_cast<long>(d.digits.size());
  const long point = n + d.exp;  // digits before the decimal point
  if (point > 21 || point <= -6) {
    out += d.digits[0];
    if (n > 1) out += "." + d.digits.substr(1);
    return out + "e" + std::to_string(point - 1);
  }
  if (point <= 0)
    return out + "0." + std::string(static_cast<std::size_t>(-point), '0') +
           d.digits;
  if (point < n)
    return out + d.digits.substr(0, static_cast<std::size_t>(point)) + "." +
           d.digits.substr(static_cast<std::size_t>(point));
  return out + d.digits + std::string(static_cast<std::size_t>(point - n), '0');
}

}  // namespace

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > MaxDecimalChars) return false;
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t mantissa = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      ++mantissa;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (mantissa == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != 'e' && text[i] != 'E') return false;
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t expDigits = text.size() - i;
  if (expDigits == 0 || expDigits > 4) return false;
  for (; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

bool DecimalToDouble(const std::string& text, double& out) {
  if (!IsDecimal(text)) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') ++first;  // from_chars takes no '+'
  double v = 0;
  std::from_chars_result r =
      std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    Dec d = Parse(text);
    // Too small for a double: a zero of the same sign. Too large: refused.
    if (static_cast<long>(d.digits.size()) + d.exp > 0) return false;
    out = d.neg ? -0.0 : 0.0;
    return true;
  }
  if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
  out = v;
  return true;
}

int DecimalSign(const std::string& text) {
  Dec d = Parse(text);
  if (d.digits.empty()) return 0;
  return d.neg ? -1 : 1;
}

bool DecimalEqual(const std::string& a, const std::string& b) {
  Dec x = Parse(a), y = Parse(b);
  return x.digits == y.digits &&
         (x.digits.empty() || (x.neg == y.neg && x.exp == y.exp));
}

std::string DecimalAddHalf(const std::string& a, const std::string& b) {
  Dec half = Parse(b);
  // b / 2 = 5 b / 10: exact in decimal.
  half.digits = TimesFive(half.digits);
  half.exp -= 1;
  Normalise(half);
  return Format(Add(Parse(a), half));
}
