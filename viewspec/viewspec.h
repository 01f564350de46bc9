// View files: a view of the plane and its colouring, as text of our own that
// people write by hand and tools read.
//
//   # a line whose first character (after spaces) is '#' is a comment
//   center = -0.7436438870371587047522 0.1318259042053119704931
//   width = 6.5e-12
//   size = 1280 960
//   limit = 50000
//
// One `key = value` per line; blank lines and spaces around keys, values and
// the '=' are ignored; line ends may be LF or CR LF, and a UTF-8 byte order
// mark at the start is skipped. There are no comments after a value, since
// colours are written with '#'. Every key may appear once, in any order; a
// key left out takes its default (ViewSpec below).
//
//   center = RE IM     the point at the middle of the picture
//   corner = RE IM     the lower-left corner instead, as the five programs
//                      take it: the picture is then centred vertically on
//                      the square of side `width` above the corner
//   width = W          extent along the real axis, > 0
//   size = W H         pixels, each side 1 to 2^31 - 1
//   limit = N          iteration limit, 0 to 2^32 - 1
//   bailout = R        escape radius, > 0
//   julia = RE IM      the Julia constant; absent for the Mandelbrot set
//   colouring = smooth | bands
//   palette = TEXT     cosine:R,G,B | gradient:#rrggbb,... (colour/palette.h)
//   period = P         counts per palette cycle, > 0
//   inside = #rrggbb   colour of points that never escape
//   samples = N        N x N samples per pixel, 1 to 16
//
// Coordinates, the width and the Julia constant are decimal text
// (viewspec/decimal.h) kept verbatim, never passed through a double, so that
// deep views lose nothing. A view anchored by its corner is written with
// both keys: `corner`, which fixes the geometry, and `center`, its exact
// decimal centre (corner + width / 2 on both axes), for tools that read only
// `center`. A file that gives both must give that exact centre.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour/colouring.h"
#include "core/mandarea.h"

enum class Anchor { Center, Corner };

constexpr std::uint64_t MaxSide = 2147483647;  // 2^31 - 1 pixels

struct ViewSpec {
  Anchor anchor = Anchor::Center;
  std::string re = "-0.75";  // the centre, or the corner, as anchor says
  std::string im = "0";
  std::string width = "3.5";
  std::uint64_t sizeX = 800, sizeY = 600;
  std::uint32_t limit = 1000;
  double bailout = DefaultBailout;
  bool julia = false;
  std::string juliaRe = "0", juliaIm = "0";  // read only when julia
  Colouring colouring;
  unsigned samples = 1;
};

// Equal fields (texts compared as text; juliaRe/juliaIm only when julia).
bool operator==(const ViewSpec& a, const ViewSpec& b);
inline bool operator!=(const ViewSpec& a, const ViewSpec& b) {
  return !(a == b);
}

// Reads a view file's text; source names it in messages. On failure returns
// false with error = "<source>:<line>: <what>" (e.g. "v.txt:3: unknown key
// \"zoom\"") and leaves out unchanged. Refuses unknown keys, repeated keys,
// lines without '=', malformed or out-of-range values, NaN and infinities,
// values longer than MaxDecimalChars, and a center that is not the exact
// centre of a given corner.
bool ParseViewSpec(const std::string& text, const std::string& source,
                   ViewSpec& out, std::string& error);

// Checks a view built by other means (the command line) against the same
// rules; error names the offending key, e.g. "width: must be positive".
bool CheckViewSpec(const ViewSpec& v, std::string& error);

// The view file text of v (which must pass CheckViewSpec): every key, in
// the order of the list above, julia only when set. ParseViewSpec reads it
// back to an equal ViewSpec.
std::string FormatViewSpec(const ViewSpec& v);

// The exact decimal centre of the view (re/im themselves for a centred one).
std::string CenterRe(const ViewSpec& v);
std::string CenterIm(const ViewSpec& v);

// The view in doubles for the engine (v must pass CheckViewSpec):
//   lenRe = width, lenIm = (H * width) / W   (product first, in double);
//   corner: minRe = corner re, minIm = corner im + (lenRe - lenIm) * 0.5;
//   centre: minRe = re - width * 0.5, minIm = im - lenIm * 0.5;
// with dotsX/dotsY/limit and the Julia constant filled in. For a corner this
// is exactly the view setrender builds from the same numbers.
MandArea ViewArea(const ViewSpec& v);

// The view of a .mni/.mnd pair: centred on the pair's rectangle (exact in
// decimal from the doubles it holds), bailout 2, one sample per pixel.
// False, with a message, for a limit above 2^32 - 1.
bool ViewOfPair(const MandArea& area, ViewSpec& view, std::string& error);

// The text of a line without the spaces and tabs around it, and its words
// between spaces and tabs: how view files and the files built of them
// (keyframes) split their lines.
std::string TrimSpaces(const std::string& s);
std::vector<std::string> SplitSpaces(const std::string& s);

// The two halves of "RE IM" or "RE,IM" (one separator: a comma or spaces),
// each checked as a decimal; false with a message otherwise.
bool ParseDecimalPair(const std::string& text, std::string& re, std::string& im,
                      std::string& error);
