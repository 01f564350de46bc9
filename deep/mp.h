// MPFR helpers shared by the reference orbit and the oracle: owned numbers,
// parsing of the view's decimal text, and the precision a view needs.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <string>

#include "deep/deep.h"

namespace deep {

// An MPFR number that frees itself.
class Mp {
 public:
  explicit Mp(mpfr_prec_t bits) { mpfr_init2(v, bits); }
  ~Mp() { mpfr_clear(v); }
  Mp(const Mp&) = delete;
  Mp& operator=(const Mp&) = delete;
  mpfr_ptr get() { return v; }
  operator mpfr_ptr() { return v; }

 private:
  mpfr_t v;
};

// Reads decimal text (an optional sign, digits with an optional point, an
// optional exponent) into out at out's precision. Throws
// std::invalid_argument naming field when the text is not such a number.
void ParseDecimal(const std::string& text, const char* field, mpfr_ptr out);

// Checks the view's fields and returns the bits its reference needs: enough
// to tell apart points a width * 2^-64 apart near the largest of the centre
// and the Julia constant. Throws std::invalid_argument for bad fields.
mpfr_prec_t ViewPrecision(const View& view);

}  // namespace deep
