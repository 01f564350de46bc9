// The viewer's main window: controls, their defaults and their handlers,
// and the run button's record-and-compute sequence.
#include "viewer/zvwin.h"

namespace zv {

namespace {
void configure(Gtk::SpinButton& spin, double lower, double upper,
               unsigned digits, double step, double page, double value) {
  spin.set_range(lower, upper);
  spin.set_digits(digits);
  spin.set_increments(step, page);
  spin.set_value(value);
}
}  // namespace

zvwin::zvwin()
    : area(this),
      box_main(Gtk::ORIENTATION_VERTICAL, 0),
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
      button_batch("履歴バッチ保存") {
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
  add(box_main);
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
}

void zvwin::set_export_ui(exportui* ui) { export_ui = ui; }

void zvwin::on_x_changed() { area.set_x(spin_x.get_value()); }
void zvwin::on_y_changed() { area.set_y(spin_y.get_value()); }
void zvwin::on_width_changed() { area.set_width(spin_width.get_value()); }

void zvwin::on_julia_toggled() {
  const bool active = check_julia.get_active();
  spin_julia_re.set_sensitive(active);
  spin_julia_im.set_sensitive(active);
  area.set_julia(active);
  button_batch.set_sensitive(
      batch_sensitivity(history, active, button_batch.get_sensitive()));
}

void zvwin::on_julia_re_changed() {
  area.set_julia_re(spin_julia_re.get_value());
}
void zvwin::on_julia_im_changed() {
  area.set_julia_im(spin_julia_im.get_value());
}

void zvwin::on_iterations_changed() {
  // The range starts at 0, so the truncation never sees a negative value.
  area.set_iterations(static_cast<std::uint64_t>(spin_iterations.get_value()));
}

void zvwin::on_run_clicked() {
  // Recorded before the run gives the view the widget's pixel size.
  record_view(history, area.pending_view());
  // Runs never nest: the button stays insensitive while events are handled
  // between lines.
  button_run.set_sensitive(false);
  area.calculate();
  button_run.set_sensitive(true);
  button_batch.set_sensitive(batch_sensitivity(
      history, check_julia.get_active(), button_batch.get_sensitive()));
}

void zvwin::on_window_hidden() { area.stop_run(); }

}  // namespace zv
