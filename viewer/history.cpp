// View history rules of the viewer.
#include "viewer/history.h"

namespace zv {

bool same_view(const MandArea& a, const MandArea& b) {
  // Exact comparison on purpose: any change of a control, however small,
  // is a new view worth a record (and an outline).
  return a.minRe == b.minRe && a.minIm == b.minIm && a.lenRe == b.lenRe &&
         a.lenIm == b.lenIm && a.julia == b.julia && a.juliaRe == b.juliaRe &&
         a.juliaIm == b.juliaIm && a.dotsX == b.dotsX && a.dotsY == b.dotsY;
}

void record_view(viewhistory& history, const MandArea& view) {
  if (!history.empty() && same_view(history.back(), view)) {
    history.back() = view;
    return;
  }
  history.push_back(view);
}

bool batch_sensitivity(const viewhistory& history, bool julia, bool current) {
  if (history.size() < 2) return current;
  // The export writes only corners, widths and limits; a Julia history
  // would come out as a zoom through the Mandelbrot set.
  return !julia;
}

}  // namespace zv
