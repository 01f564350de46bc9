// Where the outline of the pending view falls on the viewer's picture: four
// one-pixel strips (left, right, bottom, top edge) in widget pixels, rows
// counted from the top.
#pragma once

#include <cstdint>
#include <vector>

#include "core/mandarea.h"

namespace zv {

struct edge {
  std::uint32_t x, y, w, h;
};

// The picture and the widget can differ in size: the picture keeps the size
// of the last run while the widget may have grown since.
struct outlinegeometry {
  double area_width, area_height;             // widget size as last configured
  std::uint32_t widget_width, widget_height;  // widget size now
  std::uint32_t picture_width, picture_height;
};

// The edges of pending drawn over the picture of computed, in the order
// left, right, bottom, top. Empty when the two views give the same picture
// or pending has no width or height. The edges are placed from area_width
// and area_height, those past the right or bottom clamped to the widget's
// last column or row, those left of or above it dropped (the edges across
// then start at its border), and then cut to the picture: a part outside
// the picture is dropped, never read or painted.
std::vector<edge> outline_edges(const MandArea& pending,
                                const MandArea& computed,
                                const outlinegeometry& g);

}  // namespace zv
