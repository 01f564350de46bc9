// Views for checking and timing the deep engine, from 1e-14 down to 1e-2000
// wide. Widths are 4 / zoom.
#pragma once

#include <cstdint>

#include "deep/deep.h"

namespace deep {

// Zoom 1e14, limit 4036.
View T1();
// Zoom 1e50, limit 263010.
View T2();
// Beside the Misiurewicz point c = i (whose orbit falls on a repelling
// 2-cycle) at zoom 10^zoomDigits: spirals whose counts grow with the zoom.
View MisiurewiczI(int zoomDigits, std::uint32_t limit);
// The Julia set of c = i beside its point z = i, at zoom 10^zoomDigits.
View JuliaI(int zoomDigits, std::uint32_t limit);
// Centred on the nucleus of the period-3 bulb at -0.1226 + 0.7449i (found by
// Newton's method to the digits the view needs), at zoom 10^zoomDigits:
// every pixel inside.
View Nucleus3(int zoomDigits, std::uint32_t limit);
// Centred on the nucleus of a period-402 minibrot beside c = i, 1e-300 wide
// (zoom 4e300): a third of the pixels inside, the others escaping after
// 4000 to 20000 steps.
View MinibrotNearI(std::uint32_t limit);

}  // namespace deep
