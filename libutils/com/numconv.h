// Number conversions for command-line arguments, with the C library's
// leniency: no validation, text that is not a number gives 0, trailing text
// is ignored. The integer forms take the base from the text ("0x" hex,
// leading "0" octal, else decimal) and behave as the C conversions do where
// `long` is 32 bits wide, so results are the same on every platform.
#pragma once

#include <cstdint>

namespace libutils {

// strtod: decimal or hexadecimal floating point, "inf", "nan"; null gives 0.
double to_double(const char* text);

// strtol on a 32-bit long: values beyond the range clamp to INT32_MIN or
// INT32_MAX.
std::int32_t to_i32(const char* text);

// strtoul on a 32-bit unsigned long: a leading '-' negates in 32 bits, a
// magnitude beyond 32 bits gives UINT32_MAX.
std::uint32_t to_u32(const char* text);

}  // namespace libutils
