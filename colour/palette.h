// Palettes: what a point of the colour cycle looks like, and their option
// text, shared by the command line and the view file.
//
// Option text (case matters, no spaces):
//   cosine:R,G,B           raised cosine per channel, the five programs'
//                          formula; R, G, B are the channel rates (decimal
//                          numbers, may be negative or fractional)
//   gradient:#rrggbb,...   colour stops spread evenly over one cycle
//   #rrggbb,#rrggbb,...    the same gradient, without the prefix
// A gradient has 1 to MaxStops stops; hex digits may be upper or lower case.
// FormatPalette writes the canonical form (prefix always, lower-case hex,
// rates in their shortest exact decimal form), which ParsePalette reads back
// to an equal Palette.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "colour/colour.h"

struct Palette {
  enum Kind { Cosine, Gradient };
  Kind kind = Gradient;
  // Cosine: rates of red, green and blue.
  double rates[3] = {3, 2, 1};
  // Gradient: the stops, the first at phase 0, stop k at k / stops.size(),
  // the cycle closing from the last stop back to the first.
  std::vector<Rgb8> stops;
};

bool operator==(const Palette& a, const Palette& b);
inline bool operator!=(const Palette& a, const Palette& b) { return !(a == b); }

constexpr std::size_t MaxStops = 256;

// The default palette: a gradient from deep blue through white and gold to
// near black, which keeps contrast at any depth when cycled smoothly.
Palette DefaultPalette();

// Text as a message quotes it: in double quotes, cut after 40 characters,
// with '?' for anything not printable, so a hostile value cannot make the
// message unreadable or drive a terminal.
std::string Quoted(const std::string& text);

// Reads option text as described above. False with a message in error
// (without the option's name, e.g. "bad colour stop \"#12345\"") when it is
// malformed; out is then unchanged.
bool ParsePalette(const std::string& text, Palette& out, std::string& error);

// The canonical text of p.
std::string FormatPalette(const Palette& p);

// Reads "#rrggbb" (exactly seven characters). False when malformed.
bool ParseHexColour(const std::string& text, Rgb8& out);
// "#rrggbb" in lower case.
std::string FormatHexColour(Rgb8 c);

// Parses a whole decimal number (no surrounding spaces) the way every
// number of the colouring options is read: correctly rounded, independent of
// the locale. False for empty, malformed, NaN, infinite or overflowing text.
bool ParseDouble(const std::string& text, double& out);
// The shortest decimal text that ParseDouble reads back to exactly v.
std::string FormatDouble(double v);
