// Spin buttons over a full-precision value. The toolkit's spin button
// drops any change under 1e-10 (its +/- buttons, arrow keys and typed text
// alike), which is a whole view once the width is below that. Attached to
// a spin button, this takes those three over whenever the step is that
// small, and keeps typed text to every digit, handing the value on as
// decimal text.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <string>

namespace zv {

class precisespin {
 public:
  // value() gives the current decimal text; changed(text) receives a new
  // one, already held to the spin button's range; increment(page) is the
  // exact form of the spin button's step or page. All must outlive the
  // spin button's signals (the window owns them all).
  precisespin(Gtk::SpinButton& spin, std::function<std::string()> value,
              std::function<void(const std::string&)> changed,
              std::function<std::string(bool page)> increment);

  // What the spin button shows for decimal text: the text it would print.
  std::string shown(const std::string& value) const;

 private:
  int on_input(double* new_value);
  void on_change_value(Gtk::ScrollType scroll);
  bool on_button_press(GdkEventButton* event);
  // Moves the value by steps of the spin button's step (page: its page).
  void step_by(double steps, bool page);
  // True when the toolkit would drop a change of one step.
  bool step_too_small(bool page) const;

  Gtk::SpinButton& spin;
  std::function<std::string()> value;
  std::function<void(const std::string&)> changed;
  std::function<std::string(bool)> increment;
};

}  // namespace zv
