// The +/- buttons, arrow keys and typed text of the viewer's corner and
// width spin buttons, kept exact below the toolkit's 1e-10.
#include "viewer/precisespin.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "viewer/viewmodel.h"
#include "viewspec/decimal.h"

namespace zv {

namespace {
// The toolkit's own threshold: smaller changes of a spin button's value
// are dropped.
constexpr double Dropped = 1e-10;
}  // namespace

precisespin::precisespin(Gtk::SpinButton& spin,
                         std::function<std::string()> value,
                         std::function<void(const std::string&)> changed,
                         std::function<std::string(bool)> increment)
    : spin(spin),
      value(std::move(value)),
      changed(std::move(changed)),
      increment(std::move(increment)) {
  spin.signal_input().connect(sigc::mem_fun(*this, &precisespin::on_input),
                              false);
  // gtkmm has no wrapper for the key bindings' signal.
  g_signal_connect(
      spin.gobj(), "change-value",
      G_CALLBACK(+[](GtkSpinButton*, GtkScrollType scroll, gpointer self) {
        static_cast<precisespin*>(self)->on_change_value(
            static_cast<Gtk::ScrollType>(scroll));
      }),
      this);
  spin.signal_button_press_event().connect(
      sigc::mem_fun(*this, &precisespin::on_button_press), false);
}

std::string precisespin::shown(const std::string& v) const {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%0.*f", static_cast<int>(spin.get_digits()),
                to_double(v));
  return buf;
}

int precisespin::on_input(double* new_value) {
  const std::string text = spin.get_text();
  // Text the spin button printed itself stands for the precise value, not
  // for its rounding; only an edit is taken.
  if (text == shown(value()) || !IsDecimal(text)) return false;
  double lower, upper;
  spin.get_range(lower, upper);
  changed(clamped(text, lower, upper));
  *new_value = to_double(value());
  return true;
}

bool precisespin::step_too_small(bool page) const {
  double step, page_size;
  spin.get_increments(step, page_size);
  return std::abs(page ? page_size : step) <= Dropped * 10;
}

void precisespin::step_by(double steps, bool page) {
  double lower, upper;
  spin.get_range(lower, upper);
  changed(clamped(offset_by(value(), increment(page), steps), lower, upper));
}

void precisespin::on_change_value(Gtk::ScrollType scroll) {
  double steps = 0;
  bool page = false;
  switch (scroll) {
    case Gtk::SCROLL_STEP_UP:
    case Gtk::SCROLL_STEP_FORWARD:
      steps = 1;
      break;
    case Gtk::SCROLL_STEP_DOWN:
    case Gtk::SCROLL_STEP_BACKWARD:
      steps = -1;
      break;
    case Gtk::SCROLL_PAGE_UP:
    case Gtk::SCROLL_PAGE_FORWARD:
      steps = 1;
      page = true;
      break;
    case Gtk::SCROLL_PAGE_DOWN:
    case Gtk::SCROLL_PAGE_BACKWARD:
      steps = -1;
      page = true;
      break;
    default:
      return;  // to the ends of the range: the toolkit's way is exact
  }
  if (!step_too_small(page)) return;
  step_by(steps, page);
  g_signal_stop_emission_by_name(spin.gobj(), "change-value");
}

bool precisespin::on_button_press(GdkEventButton* event) {
  if (event->type != GDK_BUTTON_PRESS) return false;
  if (event->button != 1 && event->button != 2) return false;
  auto own = spin.get_window();
  if (!own || event->window == own->gobj()) return false;
  // The +/- buttons are the input windows right of the text.
  GdkRectangle text;
  gtk_entry_get_text_area(GTK_ENTRY(spin.gobj()), &text);
  int x = 0, y = 0;
  gdk_window_get_position(event->window, &x, &y);
  // Positions are in the parent window's frame, the text area in ours.
  if (!spin.get_has_window()) x -= spin.get_allocation().get_x();
  if (x < text.x + text.width) return false;
  const bool page = event->button == 2;
  if (!step_too_small(page)) return false;
  // The rightmost is +.
  const bool up =
      x + gdk_window_get_width(event->window) >= spin.get_allocated_width() - 2;
  spin.grab_focus();
  step_by(up ? 1 : -1, page);
  return true;
}

}  // namespace zv
