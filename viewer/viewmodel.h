// The viewer's view as the user chose it, kept as full-precision decimal
// text so that selections, wheel steps and pans stay exact however deep the
// view: the spin buttons only show its rounded value. Toolkit-free.
#pragma once

#include <cstdint>
#include <string>

#include "core/mandarea.h"

namespace zv {

// A view: lower-left corner and width as decimal text (viewspec/decimal.h
// grammar), the rest as the controls hold them.
struct preciseview {
  std::string re = "-2", im = "-2", width = "4";
  bool julia = false;
  double julia_re = -0.8, julia_im = 0.156;
  std::uint64_t limit = 100;
};

// Same corner, width (numerically), Julia settings and limit.
bool same_precise(const preciseview& a, const preciseview& b);

// The shortest decimal that reads back as v.
std::string decimal_of(double v);

// The nearest double of a decimal (0 for text that is not one).
double to_double(const std::string& decimal);

// base + fraction * len, exactly enough: rounded to about 1e-16 of len and
// written without superfluous zeros. Requires decimals base and len.
std::string offset_by(const std::string& base, const std::string& len,
                      double fraction);

// len * factor to 15 significant digits.
std::string scaled(const std::string& len, double factor);

// Clamps a decimal to [lower, upper] (the range of its spin button).
std::string clamped(const std::string& value, double lower, double upper);

// The double view of v over a raster of dots_x by dots_y pixels, with
// lenIm = dots_y * lenRe / dots_x as the viewer's runs compute it.
MandArea to_area(const preciseview& v, std::uint64_t dots_x,
                 std::uint64_t dots_y);

// The pending view relative to the computed one: both corners taken
// relative to the computed corner, exactly, so outline geometry needs no
// more than doubles at any depth. Other fields as given.
void relative_areas(const preciseview& pending, const MandArea& pending_area,
                    const preciseview& computed, const MandArea& computed_area,
                    MandArea& pending_rel, MandArea& computed_rel);

// Whether doubles resolve the pixels of v over dots_x columns: false once a
// pixel is narrower than a few hundred units in the last place of the
// corner's coordinates, where the picture turns blocky. Views of no width
// stay with doubles.
bool needs_deep(const preciseview& v, std::uint64_t dots_x);

// The centre of v's raster (for the deep engine), its height being
// dots_y * width / dots_x.
void centre_of(const preciseview& v, std::uint64_t dots_x, std::uint64_t dots_y,
               std::string& re, std::string& im);

// The view a picture maps to: a computed view and the size of its picture.
struct pictureframe {
  preciseview view;
  double width = 0, height = 0;  // pixels of the picture
  // The computed view's height over its width in the plane: height / width
  // after a run, whatever the view held before the first.
  double aspect = 1;
};

// The point under widget pixel (x, y) (y counted from the top) as the
// corner of a new view: x / width and the flipped y / height of the
// computed view's extent added to its corner. The picture, not the widget,
// gives the size, so a grown widget maps as the picture shows.
void corner_at(const pictureframe& f, double x, double y, std::string& re,
               std::string& im);

// The width of a drag from column x0 to x: (x - x0) / picture width of the
// computed width (negative when dragged leftwards).
std::string drag_width(const pictureframe& f, double x0, double x);

// The view zoomed by factor (2: in, 0.5: out) about widget pixel (x, y):
// the point under it stays where it is; the rest of the view as given.
preciseview zoomed_about(const pictureframe& f, const preciseview& rest,
                         double x, double y, double factor);

// The view moved so that the point under widget pixel (x0, y0) comes under
// (x1, y1).
preciseview panned(const pictureframe& f, const preciseview& rest, double x0,
                   double y0, double x1, double y1);

}  // namespace zv
