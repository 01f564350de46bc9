// The viewer's drawing area: the pending view that the controls and the
// mouse edit, the counts and picture of the last run, which it paints with
// the pending view outlined over it. It knows nothing of the window: what
// the mouse and the runs produce goes out through signals.
#pragma once

#include <gtkmm.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/mandarea.h"
#include "libutils/img2d.h"
#include "viewer/countcolour.h"
#include "viewer/runner.h"
#include "viewer/viewmodel.h"

namespace zv {

// A finished (or cut short) computation: the view in full precision, its
// double form at the picture's size, the counts and the engine used.
struct computedview {
  preciseview view;
  MandArea area;
  countpicture counts;
  engine_kind engine = engine_kind::doubles;
};

// Where a run stands, for the status line.
struct runprogress {
  std::uint64_t lines_done = 0, lines = 0;
  double elapsed = 0;      // seconds since the run began
  double iterations = 0;   // iterations of the lines done
  bool preparing = false;  // the deep engine's reference is being built
  engine_kind engine = engine_kind::doubles;
};

enum class runresult { none, finished, cancelled };

class zvarea : public Gtk::DrawingArea {
 public:
  zvarea();
  ~zvarea() override;

  // Setters of the pending view's doubles, one field each.
  void set_x(double v);
  void set_y(double v);
  // Width w, and the height that keeps the widget's aspect ratio.
  void set_width(double w);
  void set_julia(bool v);
  void set_julia_re(double v);
  void set_julia_im(double v);
  void set_iterations(std::uint64_t v);
  // The full-precision form of the pending view: what a run computes and
  // what the outline is placed by at depth.
  void set_precise(const preciseview& v) { precise = v; }

  // Repaints the whole widget.
  void redraw();
  // Repaints one row (counted from the top) of the widget.
  void redraw_line(int row);

  // Computes the pending view at the widget's current size into the
  // picture, bottom line first, showing each row and handling the
  // toolkit's events between lines while worker threads compute ahead. The
  // picture keeps the size taken at the start even when the widget is
  // resized meanwhile; a widget of no size computes nothing (none). Ends
  // after the current line once stop_run is called (cancelled); the lines
  // shown so far stay.
  runresult calculate();
  // Asks a calculate in progress to end after its current line.
  void stop_run();
  bool running() const { return is_running; }

  // Colours the shown counts again in mode, without computing; later runs
  // are coloured in it too.
  void set_colouring(const colourmode& mode);

  // Shows counts computed before, without computing: they become the
  // computed view and, with their size and limit, the pending one.
  void show(const computedview& c);

  const MandArea& pending_view() const { return view; }
  // The view of the picture.
  const MandArea& computed_view() const { return computed.area; }
  const computedview& computed_data() const { return computed; }
  const libutils::img2d& current_picture() const { return picture; }

  // The mouse: a left press picks the corner (re, im as decimal text), a
  // drag with it held sets the width; the wheel and a middle-button drag
  // ask for a new view to be computed at once.
  sigc::signal<void, const std::string&, const std::string&>&
  signal_corner_picked() {
    return corner_picked;
  }
  sigc::signal<void, const std::string&>& signal_width_dragged() {
    return width_dragged;
  }
  sigc::signal<void, const preciseview&>& signal_view_requested() {
    return view_requested;
  }
  // A run has started on this view (the pixel size filled in).
  sigc::signal<void, const MandArea&>& signal_run_started() {
    return run_started;
  }
  // At most every few tens of milliseconds during a run, and at its end.
  sigc::signal<void, const runprogress&>& signal_run_progress() {
    return run_progress;
  }
  sigc::signal<void, runresult, const runprogress&>& signal_run_finished() {
    return run_finished;
  }

 protected:
  bool on_button_press_event(GdkEventButton* event) override;
  bool on_button_release_event(GdkEventButton* event) override;
  bool on_motion_notify_event(GdkEventMotion* event) override;
  bool on_scroll_event(GdkEventScroll* event) override;
  bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
  bool on_configure_event(GdkEventConfigure* event) override;

 private:
  // The two layers of on_draw; both may throw what Cairo throws.
  void paint_picture(const Cairo::RefPtr<Cairo::Context>& cr);
  void paint_outline(const Cairo::RefPtr<Cairo::Context>& cr);
  // The picture sized to the computed counts, black.
  void clear_picture();
  // Colours count line l (0 = bottom) into its row of the picture: the
  // one place counts become colours.
  void colour_line_of(std::uint64_t l);
  // The computed view and the size it is shown at, for mapping the
  // pointer: the picture's size once there is one, the widget's before.
  pictureframe frame() const;

  double area_width = 0, area_height = 0;
  double press_point[2] = {0, 0};  // x and flipped y of the last left press
  bool dragging = false;
  bool panning = false;
  double pan_from[2] = {0, 0};
  libutils::img2d picture;  // 8-bit RGB, as large as the counts it shows
  computedview computed;
  MandArea view;
  preciseview precise;
  bool stop_requested = false;
  bool is_running = false;
  colourmode colours;  // banded: the window's own colouring, untouched
  // The smooth colouring's tables, for the limit they were built for.
  std::unique_ptr<countcolourer> smooth;
  std::uint64_t smooth_limit = 0;

  sigc::signal<void, const std::string&, const std::string&> corner_picked;
  sigc::signal<void, const std::string&> width_dragged;
  sigc::signal<void, const preciseview&> view_requested;
  sigc::signal<void, const MandArea&> run_started;
  sigc::signal<void, const runprogress&> run_progress;
  sigc::signal<void, runresult, const runprogress&> run_finished;
};

}  // namespace zv
