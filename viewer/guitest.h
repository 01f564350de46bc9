// Helpers of the in-process GUI tests: the real window with its controls
// opened to the tests, event pumping and synthetic mouse events.
#pragma once

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <cstdint>
#include <functional>

#include "viewer/zvwin.h"

namespace zv {

// The real window; the tests reach its controls as the user would.
class testwin : public zvwin {
 public:
  using zvwin::area;
  using zvwin::button_batch;
  using zvwin::button_redraw;
  using zvwin::button_reset;
  using zvwin::button_run;
  using zvwin::check_julia;
  using zvwin::history;
  using zvwin::label_divisions;
  using zvwin::label_iterations;
  using zvwin::label_julia;
  using zvwin::label_julia_const;
  using zvwin::label_position;
  using zvwin::label_status;
  using zvwin::label_width;
  using zvwin::spin_divisions;
  using zvwin::spin_iterations;
  using zvwin::spin_julia_im;
  using zvwin::spin_julia_re;
  using zvwin::spin_width;
  using zvwin::spin_x;
  using zvwin::spin_y;
};

// Handles every event the toolkit has ready.
void pump();
// Handles events until done() or about ten seconds have passed; done()'s
// last answer.
bool wait_until(const std::function<bool()>& done);
// Gives the drawing area this size (the window shrinks or grows to fit) and
// waits until the area has been configured to it.
bool resize_area(testwin& win, int width, int height);

// A left-button press, release or motion with the button held, delivered
// to the drawing area as the toolkit would.
void press(Gtk::Widget& widget, double x, double y, unsigned button = 1);
void release(Gtk::Widget& widget, double x, double y, unsigned button = 1);
void drag_to(Gtk::Widget& widget, double x, double y);
// One wheel step at (x, y): up (towards the screen) or down.
void wheel(Gtk::Widget& widget, double x, double y, bool up);
// A key press delivered to the window (state: GDK_MOD1_MASK for Alt).
void key(Gtk::Window& window, unsigned keyval, unsigned state = 0);

// What the widget paints, drawn into an offscreen image; pixels read as
// 0xRRGGBB at widget coordinates. Unpainted pixels read as 0x0000FF.
class offscreen {
 public:
  explicit offscreen(Gtk::Widget& widget);
  // Only the part of the widget at (x, y), width by height pixels.
  offscreen(Gtk::Widget& widget, int x, int y, int width, int height);
  std::uint32_t at(int x, int y) const;

 private:
  Cairo::RefPtr<Cairo::ImageSurface> surface;
  int left = 0, top = 0;
};

// Pixel (x, y) of the viewer's picture as 0xRRGGBB.
std::uint32_t picture_at(const zvarea& area, int x, int y);

// A shown window with an 800 by 800 drawing area, fresh for every test.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  testwin win;
};

}  // namespace zv
