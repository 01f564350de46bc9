// Exact decimal numbers kept as text: the coordinates of a view keep every
// digit the user gave, however deep the view, and are converted to double
// only where an engine needs one.
//
// Grammar (no spaces): [+-] digits [. digits] [(e|E) [+-] digits], or
// [+-] . digits [exponent]; at least one mantissa digit, at most
// MaxDecimalChars characters, an exponent of at most four digits.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t MaxDecimalChars = 4096;

// Whether text follows the grammar above.
bool IsDecimal(const std::string& text);

// The nearest double (ties to even, independent of the locale). False when
// text is not a decimal or its magnitude is too large for a double; values
// too small for one become zero of the same sign.
bool DecimalToDouble(const std::string& text, double& out);

// The sign of a decimal's value: -1, 0 or 1. Requires IsDecimal(text).
int DecimalSign(const std::string& text);

// Numeric equality ("0.50" equals "+5e-1"). Requires IsDecimal of both.
bool DecimalEqual(const std::string& a, const std::string& b);

// a + b / 2, exactly, written in the canonical form: plain digits when that
// is short (e.g. "-0.25", "12"), otherwise one digit, a point and an
// exponent ("1.5e-300"); no superfluous zeros. Requires IsDecimal of both.
// The result may be longer than MaxDecimalChars when a and b differ wildly
// in scale; callers that write it must check.
std::string DecimalAddHalf(const std::string& a, const std::string& b);
