// The zoom between two views: where the picture is and how wide, as decimal
// text, at any point of the way. Two builds of the same contract: with MPFR
// (any depth) and with doubles only (views doubles can place).
#pragma once

#include <cstdint>
#include <string>

// A view's place in the plane: its centre and width, as decimal text.
struct PlanePlace {
  std::string re, im, width;
};

// The place at progress s (0 <= s <= 1) of the zoom from a to b. The width
// moves geometrically, width_a^(1-s) width_b^s; the centre moves by the
// map that takes a onto b (a scaling about its fixed point) taken to the
// power s, so the point both views share stays put on the screen:
//
//   centre = centre_a + (centre_b - centre_a) (1 - k^s) / (1 - k),
//   k = width_b / width_a   (a straight move when k = 1).
//
// pixels is the number of samples across the width (the finest the frame
// looks); the centre's digits place it to far below one of them at this
// frame's width. The texts are decimals a view file accepts. False, with a
// message, when the build cannot place the frame that finely or a text is
// not a number.
bool ZoomPlace(const PlanePlace& a, const PlanePlace& b, double s,
               std::uint64_t pixels, PlanePlace& out, std::string& error);
