// Converting between the window's corner views and centred view files.
#include "viewer/viewconv.h"

#include <limits>

#include "core/escape.h"
#include "viewspec/decimal.h"

namespace zv {

namespace {
std::string negated(const std::string& d) {
  if (d.empty()) return d;
  if (d[0] == '-') return d.substr(1);
  if (d[0] == '+') return "-" + d.substr(1);
  return "-" + d;
}
}  // namespace

std::string height_of(const std::string& width, std::uint64_t width_px,
                      std::uint64_t height_px) {
  if (width_px == height_px || width_px == 0) return width;
  return scaled(width,
                static_cast<double>(height_px) / static_cast<double>(width_px));
}

ViewSpec spec_of(const preciseview& v, std::uint64_t width_px,
                 std::uint64_t height_px, const colourmode& mode) {
  ViewSpec s;
  s.anchor = Anchor::Center;
  s.re = DecimalAddHalf(v.re, v.width);
  s.im = DecimalAddHalf(v.im, height_of(v.width, width_px, height_px));
  s.width = v.width;
  s.sizeX = width_px;
  s.sizeY = height_px;
  s.limit = v.limit > std::numeric_limits<std::uint32_t>::max()
                ? std::numeric_limits<std::uint32_t>::max()
                : static_cast<std::uint32_t>(v.limit);
  // The window's engines stop at a radius of 2.
  s.bailout = 2;
  s.julia = v.julia;
  if (v.julia) {
    s.juliaRe = decimal_of(v.julia_re);
    s.juliaIm = decimal_of(v.julia_im);
  }
  s.colouring = mandel_colouring(mode, s.limit);
  return s;
}

preciseview precise_of(const ViewSpec& file_view, std::uint64_t width_px,
                       std::uint64_t height_px) {
  preciseview v;
  v.width = file_view.width;
  v.re = DecimalAddHalf(CenterRe(file_view), negated(file_view.width));
  v.im = DecimalAddHalf(CenterIm(file_view),
                        negated(height_of(file_view.width, width_px, height_px)));
  v.limit = file_view.limit;
  v.julia = file_view.julia;
  if (file_view.julia) {
    v.julia_re = to_double(file_view.juliaRe);
    v.julia_im = to_double(file_view.juliaIm);
  }
  return v;
}

}  // namespace zv
