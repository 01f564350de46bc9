// Where a Julia constant is along its path between keyframes, at constant
// speed along the arc (docs/keyframes.md, "Julia paths").
#pragma once

#include <vector>

#include "animate/keyframes.h"

struct Complex2 {
  double re = 0, im = 0;
};

// The point at fraction u (0 .. 1) of the arc length of the polyline
// through points (at least one).
Complex2 AlongPolyline(const std::vector<Complex2>& points, double u);

// The point at fraction u of the arc length of the circle (or spiral) about
// centre from a to b: anticlockwise, or clockwise, a whole turn when a and b
// are the same point. The distance from the centre changes evenly with the
// angle. A path end on the centre itself has no angle; it takes the other
// end's, so the path is a whole turn out of (or into) the centre.
Complex2 AlongCircle(Complex2 centre, Complex2 a, Complex2 b, bool clockwise,
                     double u);
