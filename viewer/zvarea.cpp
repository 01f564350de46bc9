// Painting, mouse selection and the progressive run of the viewer's
// drawing area.
#include "viewer/zvarea.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>

#include "libutils/imgops.h"
#include "viewer/colouring.h"
#include "viewer/outline.h"

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

zvarea::zvarea() {
  set_size_request(800, 800);
  add_events(Gdk::BUTTON_PRESS_MASK | Gdk::BUTTON_RELEASE_MASK |
             Gdk::BUTTON1_MOTION_MASK | Gdk::BUTTON2_MOTION_MASK |
             Gdk::SCROLL_MASK);
}

zvarea::~zvarea() = default;

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

void zvarea::clear_picture() {
  picture.fmt = {libutils::imgfmt::RGB, libutils::imgfmt::UINT,
                 libutils::imgfmt::BITS8};
  picture.compressed = false;
  picture.width = static_cast<std::uint32_t>(computed.counts.width);
  picture.height = static_cast<std::uint32_t>(computed.counts.height);
  if (!picture.allocate()) {
    std::cerr << "img2d allocate() fail." << std::endl;
    std::exit(1);
  }
  for (std::uint32_t y = 0; y < picture.height; ++y)
    std::fill_n(picture.pixel(0, y), 3 * std::size_t{picture.width}, 0);
}

void zvarea::set_colouring(const colourmode& mode) {
  if (mode == colours) return;
  colours = mode;
  smooth.reset();
  for (std::uint64_t l = 0;
       l < computed.counts.height && picture.height == computed.counts.height;
       ++l)
    colour_line_of(l);
  redraw();
}

void zvarea::colour_line_of(std::uint64_t l) {
  const countpicture& c = computed.counts;
  const std::uint32_t* n = c.n.data() + l * c.width;
  if (colours.smooth) {
    const std::uint64_t limit = computed.area.limit;
    if (!smooth || smooth_limit != limit) {
      smooth = std::make_unique<countcolourer>(
          colours, static_cast<std::uint32_t>(std::min<std::uint64_t>(
                       limit, 0xFFFFFFFFu)));
      smooth_limit = limit;
    }
    smooth->line(n, c.nf.data() + l * c.width, c.width,
                 picture.pixel(0, static_cast<std::uint32_t>(c.height - l - 1)));
    return;
  }
  std::vector<unsigned short> counts(c.width);
  for (std::uint64_t m = 0; m < c.width; ++m) counts[m] = banded_count(n[m]);
  const auto row = static_cast<std::uint32_t>(c.height - l - 1);
  colour_line(counts.data(), counts.size(), computed.area.limit,
              picture.pixel(0, row));
}

void zvarea::show(const computedview& c) {
  computed = c;
  view = c.area;
  precise = c.view;
  clear_picture();
  for (std::uint64_t l = 0; l < computed.counts.height; ++l) colour_line_of(l);
  redraw();
}

namespace {
// Handles the toolkit's pending events, a bounded number of them: an idle
// handler that stays ready must not keep the run from going on.
void pump_events() {
  for (int i = 0; i < 64 && Gtk::Main::events_pending(); ++i)
    Gtk::Main::iteration(false);
}

// Iterations spent on one line of counts: an escaped sample's N is its
// count plus one; one that never escaped ran to the limit.
double line_iterations(const std::uint32_t* n, std::uint64_t width,
                       std::uint64_t limit) {
  double sum = 0;
  for (std::uint64_t m = 0; m < width; ++m)
    sum += n[m] == 0 || n[m] == 0xFFFFFFFFu ? static_cast<double>(limit)
                                            : static_cast<double>(n[m] - 1);
  return sum;
}
}  // namespace

runresult zvarea::calculate() {
  const int w = get_allocated_width(), h = get_allocated_height();
  if (w <= 0 || h <= 0) return runresult::none;
  stop_requested = false;
  is_running = true;

  view.dotsX = static_cast<std::uint64_t>(w);
  view.dotsY = static_cast<std::uint64_t>(h);
  view.lenIm = static_cast<double>(h) * view.lenRe / static_cast<double>(w);
  run_started.emit(view);

  // Handlers run nested between lines may edit the pending view and resize
  // the widget; the run keeps to the view and size it started with, so
  // nothing is written outside the picture or the counts.
  computed.area = view;
  computed.view = precise;
  runprogress progress;
  progress.lines = view.dotsY;
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                         start)
        .count();
  };
  try {
    // The counts are written by the workers until the runner is gone.
    runner run(computed.view, computed.area, computed.counts);
    computed.engine = progress.engine = run.engine();
    clear_picture();
    const std::uint64_t height = computed.counts.height;
    double last_report = -1;
    for (std::uint64_t i = 0; i < height && !stop_requested; ++i) {
      // Short waits with the events handled between them, so a key or a
      // close is seen within a few milliseconds even during long lines or
      // while the deep engine prepares.
      while (!run.wait_line(i, std::chrono::milliseconds(5)) &&
             !stop_requested && !run.failed()) {
        pump_events();
        progress.elapsed = seconds();
        progress.preparing = run.preparing();
        if (progress.elapsed - last_report >= 0.05) {
          last_report = progress.elapsed;
          run_progress.emit(progress);
        }
      }
      if (stop_requested) break;
      if (run.failed()) {
        std::cerr << "zoomview: " << run.error() << std::endl;
        stop_requested = true;
        break;
      }
      progress.preparing = false;
      colour_line_of(i);
      redraw_line(static_cast<int>(height - i - 1));
      progress.lines_done = i + 1;
      progress.iterations +=
          line_iterations(computed.counts.n.data() + i * computed.counts.width,
                          computed.counts.width, computed.area.limit);
      progress.elapsed = seconds();
      if (progress.elapsed - last_report >= 0.05) {
        last_report = progress.elapsed;
        run_progress.emit(progress);
      }
      pump_events();
    }
  } catch (const std::exception& e) {
    std::cerr << "zoomview: " << e.what() << std::endl;
    stop_requested = true;
  }
  progress.elapsed = seconds();
  is_running = false;
  const runresult result =
      stop_requested ? runresult::cancelled : runresult::finished;
  run_finished.emit(result, progress);
  return result;
}

pictureframe zvarea::frame() const {
  pictureframe f;
  f.view = computed.view;
  const bool shown = picture.width > 0 && picture.height > 0;
  f.width = shown ? picture.width : area_width;
  f.height = shown ? picture.height : area_height;
  f.aspect = computed.area.lenRe != 0
                 ? computed.area.lenIm / computed.area.lenRe
                 : f.height / f.width;
  return f;
}

bool zvarea::on_button_press_event(GdkEventButton* event) {
  if (event->button == 2) {
    panning = true;
    pan_from[0] = event->x;
    pan_from[1] = event->y;
    return true;
  }
  if (event->button != 1) return true;
  const pictureframe f = frame();
  if (!(f.width > 0 && f.height > 0)) return true;
  dragging = true;
  press_point[0] = event->x;
  press_point[1] = f.height - event->y - 1.0;
  std::string re, im;
  corner_at(f, event->x, event->y, re, im);
  corner_picked.emit(re, im);
  return true;
}

bool zvarea::on_button_release_event(GdkEventButton* event) {
  if (event->button == 1) dragging = false;
  if (event->button == 2 && panning) {
    panning = false;
    const pictureframe f = frame();
    if (!(f.width > 0 && f.height > 0)) return true;
    if (event->x == pan_from[0] && event->y == pan_from[1]) return true;
    view_requested.emit(
        panned(f, precise, pan_from[0], pan_from[1], event->x, event->y));
  }
  return true;
}

bool zvarea::on_motion_notify_event(GdkEventMotion* event) {
  if (!dragging) return true;
  const pictureframe f = frame();
  width_dragged.emit(drag_width(f, press_point[0], event->x));
  redraw();
  return true;
}

bool zvarea::on_scroll_event(GdkEventScroll* event) {
  double factor = 0;
  if (event->direction == GDK_SCROLL_UP) factor = 2;
  if (event->direction == GDK_SCROLL_DOWN) factor = 0.5;
  if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0)
    factor = event->delta_y < 0 ? 2 : 0.5;
  const pictureframe f = frame();
  if (factor == 0 || !(f.width > 0 && f.height > 0)) return true;
  view_requested.emit(zoomed_about(f, precise, event->x, event->y, factor));
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
  // Placed through the picture's size, as the mouse maps; at depth both
  // views are taken relative to the computed corner so doubles suffice.
  const pictureframe f = frame();
  outlinegeometry g = {f.width,
                       f.height,
                       static_cast<std::uint32_t>(get_allocated_width()),
                       static_cast<std::uint32_t>(get_allocated_height()),
                       picture.width,
                       picture.height};
  MandArea pending_rel, computed_rel;
  relative_areas(precise, view, computed.view, computed.area, pending_rel,
                 computed_rel);
  g.snap = computed.engine == engine_kind::deep;
  // Each edge is a lightened copy of the picture's own pixels, redrawn from
  // the clean picture on every paint so outlines never accumulate.
  for (const edge& e : outline_edges(pending_rel, computed_rel, g)) {
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
