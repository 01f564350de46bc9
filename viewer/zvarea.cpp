// Painting, mouse selection and the progressive run of the viewer's
// drawing area.
#include "viewer/zvarea.h"

#include "libutils/imgops.h"
#include "viewer/colouring.h"
#include "viewer/outline.h"
#include "viewer/zvwin.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>

namespace zv {

namespace {
// Wraps rows of RGB bytes without copying them; the bytes must outlive the
// pixbuf, which is dropped before the next paint.
Glib::RefPtr<Gdk::Pixbuf> wrap(const unsigned char* first, std::uint32_t width,
                               std::uint32_t height, std::size_t stride) {
  return Gdk::Pixbuf::create_from_data(
      first, Gdk::COLORSPACE_RGB, false, 8, static_cast<int>(width),
      static_cast<int>(height), static_cast<int>(stride));
}

}  // namespace

zvarea::zvarea(zvwin* owner) : owner(owner), engine(Mandelbrot::ReducedBuffer) {
  set_size_request(800, 800);
  add_events(Gdk::BUTTON_PRESS_MASK | Gdk::BUTTON_RELEASE_MASK |
             Gdk::BUTTON1_MOTION_MASK);
}

void zvarea::set_x(double v) { view.minRe = v; }
void zvarea::set_y(double v) { view.minIm = v; }
void zvarea::set_width(double w) {
  view.lenRe = w;
  view.lenIm = area_height / area_width * w;
}
void zvarea::set_julia(bool v) { view.julia = v; }
void zvarea::set_julia_re(double v) { view.juliaRe = v; }
void zvarea::set_julia_im(double v) { view.juliaIm = v; }
void zvarea::set_iterations(std::uint64_t v) { view.limit = v; }

void zvarea::redraw() {
  auto window = get_window();
  if (!window) return;
  window->invalidate_rect(
      Gdk::Rectangle(0, 0, get_allocated_width(), get_allocated_height()),
      false);
}

void zvarea::redraw_line(int row) {
  auto window = get_window();
  if (!window) return;
  window->invalidate_rect(Gdk::Rectangle(0, row, get_allocated_width(), 1),
                          false);
}

void zvarea::stop_run() { stop_requested = true; }

void zvarea::calculate() {
  const int w = get_allocated_width(), h = get_allocated_height();
  if (w <= 0 || h <= 0) return;
  stop_requested = false;

  view.dotsX = static_cast<std::uint64_t>(w);
  view.dotsY = static_cast<std::uint64_t>(h);
  view.lenIm = static_cast<double>(h) * view.lenRe / static_cast<double>(w);
  engine.SetArea(view);

  const double step = view.lenRe / 100, page = step * 10;
  owner->spin_x.set_increments(step, page);
  owner->spin_y.set_increments(step, page);
  owner->spin_width.set_increments(step, page);

  picture.fmt = {libutils::imgfmt::RGB, libutils::imgfmt::UINT,
                 libutils::imgfmt::BITS8};
  picture.compressed = false;
  picture.width = static_cast<std::uint32_t>(w);
  picture.height = static_cast<std::uint32_t>(h);
  if (!picture.allocate()) {
    std::cerr << "img2d allocate() fail." << std::endl;
    std::exit(1);
  }

  // Handlers run nested between lines may edit the pending view and resize
  // the widget; the run keeps to the view and size it started with, which
  // are the engine's, so nothing is written outside the picture or the
  // engine's line.
  const std::uint64_t limit = engine.GetArea().limit;
  const std::uint32_t width = picture.width, height = picture.height;
  // Lines are computed ahead on every processor and taken strictly in
  // order; while the next one is not ready the toolkit's events keep
  // running, so the window stays responsive during long lines too.
  try {
    pool.Start(engine.GetArea());
  } catch (const std::bad_alloc&) {
    std::cerr << "LinePool Start() fail." << std::endl;
    return;
  }
  for (std::uint32_t i = 0; i < height && !stop_requested; ++i) {
    const std::uint32_t row = height - i - 1;  // line 0 is the bottom row
    while (!pool.WaitReady(std::chrono::milliseconds(20)) && !stop_requested) {
      while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
    }
    if (stop_requested) break;
    engine.SetLine(i);
    colour_line(pool.Next(), width, limit, picture.pixel(0, row));
    redraw_line(static_cast<int>(row));
    while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
  }
}

bool zvarea::on_button_press_event(GdkEventButton* event) {
  if (event->button != 1) return true;
  dragging = true;
  const double fy = get_allocated_height() - event->y - 1.0;
  press_point[0] = event->x;
  press_point[1] = fy;
  const MandArea& c = engine.GetArea();
  const double re = event->x / area_width * c.lenRe + c.minRe;
  const double im = fy / area_height * c.lenIm + c.minIm;
  owner->spin_x.set_value(re);
  owner->spin_y.set_value(im);
  return true;
}

bool zvarea::on_button_release_event(GdkEventButton* event) {
  if (event->button == 1) dragging = false;
  return true;
}

bool zvarea::on_motion_notify_event(GdkEventMotion* event) {
  if (!dragging) return true;
  const MandArea& c = engine.GetArea();
  owner->spin_width.set_value((event->x - press_point[0]) / area_width *
                              c.lenRe);
  redraw();
  return true;
}

bool zvarea::on_draw(const Cairo::RefPtr<Cairo::Context>& cr) {
  if (picture.width == 0 || picture.height == 0 || !picture.data()) return true;
  // A paint is best effort: an exception leaving this handler would end the
  // program. Cairo reports a failed allocation, in our surfaces or in the
  // toolkit's own buffer for the dirty area, as std::bad_alloc from the next
  // call on the context, and the context then stays unusable for this paint;
  // what was painted stays, the rest waits for the next paint.
  try {
    paint_picture(cr);
    paint_outline(cr);
  } catch (const std::exception&) {
  }
  return true;
}

void zvarea::paint_picture(const Cairo::RefPtr<Cairo::Context>& cr) {
  // Only the dirty area, a tile at a time: each tile becomes a Cairo surface
  // of its own, so a paint needs a megabyte or so however large the picture
  // (a whole-picture surface of a big window could exceed memory or Cairo's
  // size limit).
  constexpr std::int64_t TileSide = 512;
  double x1, y1, x2, y2;
  cr->get_clip_extents(x1, y1, x2, y2);
  auto clamp = [](double v, std::int64_t hi) {
    if (!(v > 0)) return std::int64_t{0};
    return v >= static_cast<double>(hi) ? hi : static_cast<std::int64_t>(v);
  };
  const std::int64_t left = clamp(std::floor(x1), picture.width),
                     right = clamp(std::ceil(x2), picture.width),
                     top = clamp(std::floor(y1), picture.height),
                     bottom = clamp(std::ceil(y2), picture.height);
  for (std::int64_t y = top; y < bottom; y += TileSide) {
    for (std::int64_t x = left; x < right; x += TileSide) {
      const auto w = static_cast<std::uint32_t>(std::min(TileSide, right - x));
      const auto h = static_cast<std::uint32_t>(std::min(TileSide, bottom - y));
      auto pixbuf = wrap(picture.pixel(static_cast<std::uint32_t>(x),
                                       static_cast<std::uint32_t>(y)),
                         w, h, picture.stride());
      Gdk::Cairo::set_source_pixbuf(cr, pixbuf, static_cast<double>(x),
                                    static_cast<double>(y));
      cr->rectangle(static_cast<double>(x), static_cast<double>(y), w, h);
      cr->fill();
    }
  }
}

void zvarea::paint_outline(const Cairo::RefPtr<Cairo::Context>& cr) {
  const outlinegeometry g = {area_width,
                             area_height,
                             static_cast<std::uint32_t>(get_allocated_width()),
                             static_cast<std::uint32_t>(get_allocated_height()),
                             picture.width,
                             picture.height};
  // Each edge is a lightened copy of the picture's own pixels, redrawn from
  // the clean picture on every paint so outlines never accumulate.
  for (const edge& e : outline_edges(view, engine.GetArea(), g)) {
    libutils::img2d cut, strip;
    if (!libutils::subimage(cut, picture, e.x, e.y, e.w, e.h)) continue;
    // The copy is compact, so its rows are what a pixbuf expects.
    if (!libutils::copy(strip, cut)) continue;
    libutils::addcolor(strip, {0.5f, 0.5f, 0.5f, 1.0f});
    auto pixbuf =
        wrap(strip.pixel(0, 0), strip.width, strip.height, strip.stride());
    Gdk::Cairo::set_source_pixbuf(cr, pixbuf, e.x, e.y);
    cr->rectangle(e.x, e.y, e.w, e.h);
    cr->fill();
  }
}

bool zvarea::on_configure_event(GdkEventConfigure* event) {
  const bool handled = Gtk::DrawingArea::on_configure_event(event);
  area_width = get_allocated_width();
  area_height = get_allocated_height();
  return handled;
}

}  // namespace zv
