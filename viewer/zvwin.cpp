// The viewer's main window: controls, their defaults and their handlers,
// and the run button's record-and-compute sequence.
#include "viewer/zvwin.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace zv {

namespace {
void configure(Gtk::SpinButton& spin, double lower, double upper,
               unsigned digits, double step, double page, double value) {
  spin.set_range(lower, upper);
  spin.set_digits(digits);
  spin.set_increments(step, page);
  spin.set_value(value);
  // The spin button ignores changes under 1e-10, which a deep view's
  // leftovers can be; the adjustment takes the value as it is.
  if (spin.get_adjustment()->get_value() != value)
    spin.get_adjustment()->set_value(value);
}

// Seconds as the status line shows them.
std::string duration(double s) {
  char buf[32];
  if (s < 60)
    std::snprintf(buf, sizeof buf, "%.1f s", s);
  else
    std::snprintf(buf, sizeof buf, "%d:%02d", static_cast<int>(s) / 60,
                  static_cast<int>(s) % 60);
  return buf;
}
}  // namespace

double shown_count(const Gtk::SpinButton& spin) {
  // printf's rounding, which is how a spin button without digits shows its
  // value: the value used is the value seen.
  return std::nearbyint(spin.get_value());
}

zvwin::zvwin()
    : box_main(Gtk::ORIENTATION_VERTICAL, 0),
      box_row1(Gtk::ORIENTATION_HORIZONTAL, 0),
      box_row2(Gtk::ORIENTATION_HORIZONTAL, 0),
      box_row3(Gtk::ORIENTATION_HORIZONTAL, 0),
      box_row4(Gtk::ORIENTATION_HORIZONTAL, 0),
      label_position("位置", false),
      label_width("横幅", false),
      label_julia("ジュリア計算?", false),
      label_julia_const("ジュリア定数", false),
      label_iterations("計算回数", false),
      button_run("計算実行"),
      button_redraw("再描画"),
      button_reset("リセット"),
      label_divisions("静止画分割数", false),
      button_batch("履歴バッチ保存"),
      precise_x(
          spin_x, [this] { return model.re; },
          [this](const std::string& t) {
            set_corner_or_width(&preciseview::re, t);
          },
          [this](bool page) { return increment(page); }),
      precise_y(
          spin_y, [this] { return model.im; },
          [this](const std::string& t) {
            set_corner_or_width(&preciseview::im, t);
          },
          [this](bool page) { return increment(page); }),
      precise_width(
          spin_width, [this] { return model.width; },
          [this](const std::string& t) {
            set_corner_or_width(&preciseview::width, t);
          },
          [this](bool page) { return increment(page); }) {
  // Before the handlers are connected, so the pending view keeps the drawing
  // area's own defaults, which are the same values.
  reset();

  spin_x.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_x_changed));
  spin_y.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_y_changed));
  spin_width.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_width_changed));
  check_julia.signal_toggled().connect(
      sigc::mem_fun(*this, &zvwin::on_julia_toggled));
  spin_julia_re.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_julia_re_changed));
  spin_julia_im.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_julia_im_changed));
  spin_iterations.signal_value_changed().connect(
      sigc::mem_fun(*this, &zvwin::on_iterations_changed));
  button_run.signal_clicked().connect(
      sigc::mem_fun(*this, &zvwin::on_run_clicked));
  button_redraw.signal_clicked().connect(sigc::mem_fun(area, &zvarea::redraw));
  button_reset.signal_clicked().connect(sigc::mem_fun(*this, &zvwin::reset));
  button_batch.signal_clicked().connect(
      sigc::mem_fun(*this, &zvwin::on_batch_clicked));
  signal_hide().connect(sigc::mem_fun(*this, &zvwin::on_window_hidden));
  area.signal_corner_picked().connect(
      sigc::mem_fun(*this, &zvwin::on_corner_picked));
  area.signal_width_dragged().connect(
      sigc::mem_fun(*this, &zvwin::on_width_dragged));
  area.signal_view_requested().connect(
      sigc::mem_fun(*this, &zvwin::on_view_requested));
  area.signal_run_started().connect(
      sigc::mem_fun(*this, &zvwin::on_run_started));
  area.signal_run_progress().connect(
      sigc::mem_fun(*this, &zvwin::on_run_progress));
  area.signal_run_finished().connect(
      sigc::mem_fun(*this, &zvwin::on_run_finished));

  box_row1.add(label_position);
  box_row1.add(spin_x);
  box_row1.add(spin_y);
  box_row2.add(label_width);
  box_row2.add(spin_width);
  box_row3.add(label_julia);
  box_row3.add(check_julia);
  box_row3.add(label_julia_const);
  box_row3.add(spin_julia_re);
  box_row3.add(spin_julia_im);
  box_row4.add(label_iterations);
  box_row4.add(spin_iterations);
  box_row4.add(button_run);
  box_row4.add(button_redraw);
  box_row4.add(button_reset);
  box_row4.add(label_divisions);
  box_row4.add(spin_divisions);
  box_row4.add(button_batch);
  for (Gtk::Box* row : {&box_row1, &box_row2, &box_row3, &box_row4})
    box_main.pack_start(*row, Gtk::PACK_SHRINK, 0);
  box_main.pack_start(area, Gtk::PACK_EXPAND_WIDGET, 0);
  // Under the picture, one line high: a long text (a deep view's width has
  // a hundred digits and more) is cut, never wrapped, so neither the window
  // nor the picture changes size as the text does, and growing the window
  // gives every new row to the picture. The blank text gives the line its
  // height before the first run.
  label_status.set_xalign(0);
  label_status.set_ellipsize(Pango::ELLIPSIZE_END);
  label_status.set_text(" ");
  box_main.pack_start(label_status, Gtk::PACK_SHRINK, 0);
  add(box_main);
  add_file_actions();
  show_all_children();
}

zvwin::~zvwin() = default;

void zvwin::reset() {
  for (Gtk::SpinButton* spin :
       {&spin_x, &spin_y, &spin_julia_re, &spin_julia_im, &spin_width,
        &spin_iterations, &spin_divisions})
    spin->set_wrap(false);
  configure(spin_x, -2, 2, 21, 0.01, 0.1, -2);
  configure(spin_y, -2, 2, 21, 0.01, 0.1, -2);
  check_julia.set_active(false);
  spin_julia_re.set_sensitive(false);
  spin_julia_im.set_sensitive(false);
  configure(spin_julia_re, -2, 2, 21, 0.01, 0.1, -0.8);
  configure(spin_julia_im, -2, 2, 21, 0.01, 0.1, 0.156);
  configure(spin_width, 0, 4, 21, 0.01, 0.1, 4);
  configure(spin_iterations, 0, 65535, 0, 100, 1000, 100);
  configure(spin_divisions, 1, 10000, 0, 50, 500, 250);
  button_batch.set_sensitive(false);
  history.clear();
  // Digits below what the spin buttons resolve go too.
  const preciseview defaults;
  model.re = defaults.re;
  model.im = defaults.im;
  model.width = defaults.width;
  area.set_precise(model);
}

void zvwin::set_export_ui(exportui* ui) { export_ui = ui; }

void zvwin::on_x_changed() {
  if (showing_model) return;
  // A value that is the model's own rounding keeps the model's digits.
  if (spin_x.get_value() != to_double(model.re))
    model.re = decimal_of(spin_x.get_value());
  area.set_x(spin_x.get_value());
  area.set_precise(model);
}
void zvwin::on_y_changed() {
  if (showing_model) return;
  // A value that is the model's own rounding keeps the model's digits.
  if (spin_y.get_value() != to_double(model.im))
    model.im = decimal_of(spin_y.get_value());
  area.set_y(spin_y.get_value());
  area.set_precise(model);
}
void zvwin::on_width_changed() {
  if (showing_model) return;
  // A value that is the model's own rounding keeps the model's digits.
  if (spin_width.get_value() != to_double(model.width))
    model.width = decimal_of(spin_width.get_value());
  area.set_width(spin_width.get_value());
  area.set_precise(model);
}

void zvwin::on_julia_toggled() {
  const bool active = check_julia.get_active();
  spin_julia_re.set_sensitive(active);
  spin_julia_im.set_sensitive(active);
  model.julia = active;
  area.set_julia(active);
  area.set_precise(model);
  button_batch.set_sensitive(
      batch_sensitivity(history, active, button_batch.get_sensitive()));
}

void zvwin::on_julia_re_changed() {
  model.julia_re = spin_julia_re.get_value();
  area.set_julia_re(model.julia_re);
  area.set_precise(model);
}
void zvwin::on_julia_im_changed() {
  model.julia_im = spin_julia_im.get_value();
  area.set_julia_im(model.julia_im);
  area.set_precise(model);
}

void zvwin::on_iterations_changed() {
  // The range starts at 0, so the conversion never sees a negative value.
  model.limit = static_cast<std::uint64_t>(shown_count(spin_iterations));
  area.set_iterations(model.limit);
  area.set_precise(model);
}

void zvwin::set_corner_or_width(std::string preciseview::*field,
                                const std::string& text) {
  model.*field = text;
  show_model();
  area.set_x(to_double(model.re));
  area.set_y(to_double(model.im));
  if (field == &preciseview::width) area.set_width(to_double(model.width));
  area.set_precise(model);
}

std::string zvwin::increment(bool page) const {
  // The steps each run sets: a hundredth of the computed width, a tenth
  // for a page.
  return scaled(area.computed_data().view.width, page ? 0.1 : 0.01);
}

void zvwin::show_model() {
  showing_model = true;
  // Through the adjustments: the spin buttons themselves would drop a
  // change under 1e-10.
  spin_x.get_adjustment()->set_value(to_double(model.re));
  spin_y.get_adjustment()->set_value(to_double(model.im));
  spin_width.get_adjustment()->set_value(to_double(model.width));
  showing_model = false;
}

void zvwin::on_corner_picked(const std::string& re, const std::string& im) {
  // Held to the spin buttons' ranges, as typing there would be.
  model.re = clamped(re, -2, 2);
  model.im = clamped(im, -2, 2);
  show_model();
  area.set_x(to_double(model.re));
  area.set_y(to_double(model.im));
  area.set_precise(model);
}

void zvwin::on_width_dragged(const std::string& width) {
  model.width = clamped(width, 0, 4);
  show_model();
  area.set_width(to_double(model.width));
  area.set_precise(model);
}

void zvwin::on_view_requested(const preciseview& v) {
  run_after_current([this, v] {
    model.re = clamped(v.re, -2, 2);
    model.im = clamped(v.im, -2, 2);
    model.width = clamped(v.width, 0, 4);
    if (to_double(model.width) == 0) return;
    show_model();
    area.set_x(to_double(model.re));
    area.set_y(to_double(model.im));
    area.set_width(to_double(model.width));
    area.set_precise(model);
    // A new view computed at once, as if the run button were pressed.
    const MandArea record = area.pending_view();
    if (run_pending() != runresult::finished) return;
    record_view(history, record);
    button_batch.set_sensitive(batch_sensitivity(
        history, check_julia.get_active(), button_batch.get_sensitive()));
    add_to_session();
  });
}

void zvwin::run_after_current(std::function<void()> action) {
  if (area.running()) {
    // The newest request wins; the run ends after its current line and
    // run_pending hands the request on once the run has unwound.
    queued = std::move(action);
    area.stop_run();
    return;
  }
  action();
}

runresult zvwin::run_pending() {
  // Runs never nest: the button stays insensitive while events are handled
  // between lines.
  button_run.set_sensitive(false);
  const runresult result = area.calculate();
  button_run.set_sensitive(true);
  if (queued) {
    // After the handler that started this run has finished with it.
    Glib::signal_idle().connect_once(
        [this, next = std::move(queued)] { run_after_current(next); });
    queued = nullptr;
  }
  return result;
}

void zvwin::on_run_clicked() {
  // The record is the pending view as it stands before the run gives it
  // the widget's pixel size; a run that does not finish records nothing.
  const MandArea record = area.pending_view();
  if (run_pending() == runresult::finished) {
    record_view(history, record);
    add_to_session();
  }
  button_batch.set_sensitive(batch_sensitivity(
      history, check_julia.get_active(), button_batch.get_sensitive()));
}

void zvwin::add_to_session() {
  const computedview& c = area.computed_data();
  if (session.empty() || !same_precise(session[session_at], c.view)) {
    if (!session.empty()) session.resize(session_at + 1);
    session.push_back(c.view);
    session_at = session.size() - 1;
  }
  remember(c);
}

void zvwin::remember(const computedview& c) {
  for (auto it = cache.begin(); it != cache.end(); ++it)
    if (same_precise(it->view, c.view)) {
      cache.erase(it);
      break;
    }
  if (c.counts.bytes() > CachedBytes) return;
  cache.push_front(c);
  std::size_t bytes = 0;
  for (const computedview& v : cache) bytes += v.counts.bytes();
  while (cache.size() > CachedPictures || bytes > CachedBytes) {
    bytes -= cache.back().counts.bytes();
    cache.pop_back();
  }
}

void zvwin::go(int step) {
  if (session.empty()) return;
  // A new view being computed is not in the session yet: back from it is
  // the view it would have followed, shown again.
  const bool fresh = area.running() && !same_precise(area.computed_data().view,
                                                     session[session_at]);
  std::size_t target = session_at;
  if (step < 0 && !fresh) {
    if (session_at == 0) return;
    target = session_at - 1;
  }
  if (step > 0) {
    if (fresh || session_at + 1 >= session.size()) return;
    target = session_at + 1;
  }
  run_after_current([this, target] {
    if (target >= session.size()) return;
    session_at = target;
    const preciseview v = session[target];
    show_view(v);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
      if (!same_precise(it->view, v)) continue;
      cache.splice(cache.begin(), cache, it);
      area.show(cache.front());
      runprogress done;
      done.lines = done.lines_done = cache.front().counts.height;
      done.engine = cache.front().engine;
      on_run_finished(runresult::finished, done);
      return;
    }
    set_pending(v);
    if (run_pending() != runresult::finished) return;
    const computedview& c = area.computed_data();
    remember(c);
  });
}

bool zvwin::on_key_press_event(GdkEventKey* event) {
  const auto mods = event->state & gtk_accelerator_get_default_mod_mask();
  if (event->keyval == GDK_KEY_Escape && mods == 0 && area.running()) {
    area.stop_run();
    return true;
  }
  if (mods == GDK_MOD1_MASK &&
      (event->keyval == GDK_KEY_Left || event->keyval == GDK_KEY_Right)) {
    go(event->keyval == GDK_KEY_Left ? -1 : 1);
    return true;
  }
  return Gtk::Window::on_key_press_event(event);
}

void zvwin::on_run_started(const MandArea& a) {
  const double step = a.lenRe / 100, page = step * 10;
  spin_x.set_increments(step, page);
  spin_y.set_increments(step, page);
  spin_width.set_increments(step, page);
}

void zvwin::on_run_progress(const runprogress& p) {
  char buf[160];
  if (p.preparing) {
    std::snprintf(buf, sizeof buf, "0%%  %s  deep engine: reference orbit",
                  duration(p.elapsed).c_str());
    label_status.set_text(buf);
    return;
  }
  const double fraction =
      p.lines ? static_cast<double>(p.lines_done) / static_cast<double>(p.lines)
              : 0;
  const std::string left =
      fraction > 0 ? duration(p.elapsed * (1 - fraction) / fraction) : "?";
  const double rate = p.elapsed > 0 ? p.iterations / p.elapsed : 0;
  std::snprintf(buf, sizeof buf,
                "%d%%  elapsed %s  left %s  %.3g M iterations/s",
                static_cast<int>(fraction * 100), duration(p.elapsed).c_str(),
                left.c_str(), rate / 1e6);
  label_status.set_text(buf);
}

void zvwin::on_run_finished(runresult result, const runprogress& p) {
  const computedview& c = area.computed_data();
  const double width = to_double(c.view.width);
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s  width %s  zoom %.3g  %s engine  %s",
                result == runresult::cancelled ? "cancelled" : "done",
                c.view.width.c_str(), width > 0 ? 4 / width : 0.0,
                c.engine == engine_kind::deep ? "deep" : "double",
                duration(p.elapsed).c_str());
  label_status.set_text(buf);
}

void zvwin::on_window_hidden() {
  queued = nullptr;
  area.stop_run();
}

void zvwin::show_view(const preciseview& v) {
  model = v;
  show_model();
  // The limit and the Julia settings are part of the view, shown without
  // their handlers reacting.
  showing_model = true;
  spin_iterations.get_adjustment()->set_value(static_cast<double>(v.limit));
  check_julia.set_active(v.julia);
  spin_julia_re.set_sensitive(v.julia);
  spin_julia_im.set_sensitive(v.julia);
  spin_julia_re.get_adjustment()->set_value(v.julia_re);
  spin_julia_im.get_adjustment()->set_value(v.julia_im);
  showing_model = false;
}

void zvwin::set_pending(const preciseview& v) {
  area.set_x(to_double(v.re));
  area.set_y(to_double(v.im));
  area.set_width(to_double(v.width));
  area.set_julia(v.julia);
  area.set_julia_re(v.julia_re);
  area.set_julia_im(v.julia_im);
  area.set_iterations(v.limit);
  area.set_precise(v);
}

}  // namespace zv
