// The viewer's drawing area: owns the engine, the pending view that the
// controls and the mouse edit, and the picture of the last run, which it
// paints with the pending view outlined over it.
#pragma once

#include <gtkmm.h>

#include <cstdint>

#include "core/mandarea.h"
#include "core/linepool.h"
#include "core/mandelbrot.h"
#include "libutils/img2d.h"

namespace zv {

class zvwin;

class zvarea : public Gtk::DrawingArea {
 public:
  // owner is the window whose spin buttons the mouse sets; not owned.
  explicit zvarea(zvwin* owner);

  // Setters of the pending view, one field each.
  void set_x(double v);
  void set_y(double v);
  // Width w, and the height that keeps the widget's aspect ratio.
  void set_width(double w);
  void set_julia(bool v);
  void set_julia_re(double v);
  void set_julia_im(double v);
  void set_iterations(std::uint64_t v);

  // Repaints the whole widget.
  void redraw();
  // Repaints one row (counted from the top) of the widget.
  void redraw_line(int row);

  // Computes the pending view at the widget's current size into the
  // picture, bottom line first, showing each row and handling the
  // toolkit's events between lines. The picture and the engine keep the
  // size taken at the start even when the widget is resized meanwhile; a
  // widget of no size computes nothing. Ends early after stop_run.
  void calculate();
  // Asks a calculate in progress to end after its current line (the
  // window is going away).
  void stop_run();

  const MandArea& pending_view() const { return view; }
  // The view last given to the engine: what the picture shows.
  const MandArea& computed_view() const { return engine.GetArea(); }
  const libutils::img2d& current_picture() const { return picture; }

 protected:
  bool on_button_press_event(GdkEventButton* event) override;
  bool on_button_release_event(GdkEventButton* event) override;
  bool on_motion_notify_event(GdkEventMotion* event) override;
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
  bool on_configure_event(GdkEventConfigure* event) override;

 private:
  // The two layers of on_draw; both may throw what Cairo throws.
  void paint_picture(const Cairo::RefPtr<Cairo::Context>& cr);
  void paint_outline(const Cairo::RefPtr<Cairo::Context>& cr);

  zvwin* owner;
  double area_width = 0, area_height = 0;
  double press_point[2] = {0, 0};  // x and flipped y of the last left press
  bool dragging = false;
  libutils::img2d picture;  // 8-bit RGB, as large as the widget at the last run
  Mandelbrot engine;
  // Computes the lines of a run ahead on the other processors.
  LinePool pool;
  MandArea view;
  bool stop_requested = false;
};

}  // namespace zv
