// Geometry of the pending view's outline over the computed picture.
#include "viewer/outline.h"

#include "viewer/history.h"

#include <algorithm>
#include <cmath>

namespace zv {

namespace {
// Truncates toward zero and keeps the low 32 bits, so a position left of or
// above the widget comes out as a very large unsigned value that the clamps
// below pull back to the last column or row. Out-of-range and NaN values
// (a computed view of width 0, a deep zoom) saturate instead of being
// undefined.
std::uint32_t to_u32(double v) {
  if (std::isnan(v)) return 0;
  double t = std::trunc(v);
  std::int64_t i;
  if (t >= 9223372036854775807.0)
    i = INT64_MAX;
  else if (t <= -9223372036854775808.0)
    i = INT64_MIN;
  else
    i = static_cast<std::int64_t>(t);
  return static_cast<std::uint32_t>(i);
}
}  // namespace

std::vector<edge> outline_edges(const MandArea& pending,
                                const MandArea& computed,
                                const outlinegeometry& g) {
  std::vector<edge> edges;
  if (same_view(pending, computed)) return edges;
  if (pending.lenRe == 0 || pending.lenIm == 0) return edges;

  const double aw = g.area_width, ah = g.area_height;
  const double cw = computed.lenRe, ch = computed.lenIm;
  std::uint32_t x0 = to_u32((pending.minRe - computed.minRe) * aw / cw);
  std::uint32_t ws = to_u32(aw * pending.lenRe / cw);
  std::uint32_t hs = to_u32(ah * pending.lenIm / ch);
  std::uint32_t yb =
      to_u32(ah - (pending.minIm - computed.minIm) * ah / ch - 1.0);

  // Unsigned 32-bit throughout, wrapping included: x0 + wpx is the right
  // column even when x0 stands for a position left of the widget.
  const std::uint32_t wlast = g.widget_width - 1, hlast = g.widget_height - 1;
  std::uint32_t wpx = std::min(wlast, ws);
  if (wpx == 0) wpx = 1;
  std::uint32_t hpx = std::min(hlast, hs);
  if (hpx == 0) hpx = 1;
  const std::uint32_t xr = std::min(wlast, x0 + wpx);
  const std::uint32_t yt = std::min(hlast, yb - hpx);
  const std::uint32_t xl = std::min(wlast, x0);
  yb = std::min(hlast, yb);

  const edge all[] = {
      {xl, yt, 1, hpx}, {xr, yt, 1, hpx}, {xl, yb, wpx, 1}, {xl, yt, wpx, 1}};
  for (edge e : all) {
    if (e.x >= g.picture_width || e.y >= g.picture_height) continue;
    e.w = std::min(e.w, g.picture_width - e.x);
    e.h = std::min(e.h, g.picture_height - e.y);
    edges.push_back(e);
  }
  return edges;
}

}  // namespace zv
