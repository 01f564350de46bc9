// Geometry of the pending view's outline over the computed picture.
#include "viewer/outline.h"

#include <algorithm>
#include <cmath>

#include "viewer/history.h"

namespace zv {

namespace {
// Truncates toward zero; out-of-range and NaN values (a computed view of
// width 0, a deep zoom) saturate instead of being undefined. The range
// keeps every sum below inside 64 bits.
std::int64_t to_i64(double v) {
  if (std::isnan(v)) return 0;
  constexpr double Limit = 4611686018427387904.0;  // 2^62
  const double t = std::trunc(v);
  if (t >= Limit) return static_cast<std::int64_t>(Limit);
  if (t <= -Limit) return -static_cast<std::int64_t>(Limit);
  return static_cast<std::int64_t>(t);
}
}  // namespace

std::vector<edge> outline_edges(const MandArea& pending,
                                const MandArea& computed,
                                const outlinegeometry& g) {
  std::vector<edge> edges;
  if (same_view(pending, computed)) return edges;
  if (pending.lenRe == 0 || pending.lenIm == 0) return edges;
  if (g.widget_width == 0 || g.widget_height == 0) return edges;

  const double aw = g.area_width, ah = g.area_height;
  const double cw = computed.lenRe, ch = computed.lenIm;
  const std::int64_t x0 = to_i64((pending.minRe - computed.minRe) * aw / cw);
  const std::int64_t ws = to_i64(aw * pending.lenRe / cw);
  const std::int64_t hs = to_i64(ah * pending.lenIm / ch);
  const std::int64_t yb0 =
      to_i64(ah - (pending.minIm - computed.minIm) * ah / ch - 1.0);

  // A box is never less than a pixel nor more than the widget; its right
  // and bottom edges past the widget are drawn on its last column and row.
  // Edges left of or above the widget are not drawn at all, and the edges
  // across them start at the widget's border.
  const std::int64_t wlast = g.widget_width - 1, hlast = g.widget_height - 1;
  const std::int64_t wpx = std::max<std::int64_t>(1, std::min(wlast, ws));
  const std::int64_t hpx = std::max<std::int64_t>(1, std::min(hlast, hs));
  const std::int64_t xr = std::min(wlast, x0 + wpx);
  const std::int64_t yt = std::min(hlast, yb0 - hpx);
  const std::int64_t xl = std::min(wlast, x0);
  const std::int64_t yb = std::min(hlast, yb0);

  struct box {
    std::int64_t x, y, w, h;
  };
  const box all[] = {
      {xl, yt, 1, hpx}, {xr, yt, 1, hpx}, {xl, yb, wpx, 1}, {xl, yt, wpx, 1}};
  for (box b : all) {
    if (b.x < 0) {
      if (b.w == 1) continue;
      b.w += b.x;
      b.x = 0;
    }
    if (b.y < 0) {
      if (b.h == 1) continue;
      b.h += b.y;
      b.y = 0;
    }
    if (b.w <= 0 || b.h <= 0) continue;
    if (b.x >= g.picture_width || b.y >= g.picture_height) continue;
    edge e;
    e.x = static_cast<std::uint32_t>(b.x);
    e.y = static_cast<std::uint32_t>(b.y);
    e.w = static_cast<std::uint32_t>(
        std::min<std::int64_t>(b.w, g.picture_width - b.x));
    e.h = static_cast<std::uint32_t>(
        std::min<std::int64_t>(b.h, g.picture_height - b.y));
    edges.push_back(e);
  }
  return edges;
}

}  // namespace zv
