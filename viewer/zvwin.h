// The viewer's main window: four rows of controls for the view above the
// drawing area, the view history, and the export of that history as a
// zoom-animation driver script.
#pragma once

#include <gtkmm.h>

#include <string>

#include "viewer/history.h"
#include "viewer/zvarea.h"

namespace zv {

// The questions the history export asks the user. The window asks them
// through this seam so that the flow (cancel, refused overwrite, a file
// that cannot be written) can be driven without a person at the dialogs.
class exportui {
 public:
  virtual ~exportui() = default;
  // Shows the file chooser (the same one again after a refused overwrite,
  // with its state kept). False when the user cancelled or closed it;
  // otherwise name receives the chosen file name, ready for the file system.
  virtual bool choose_file(std::string* name) = 0;
  // True when the user agrees to replace the existing file name.
  virtual bool confirm_overwrite(const std::string& name) = 0;
  // Tells the user that name could not be written, and why.
  virtual void report_write_failure(const std::string& name,
                                    const std::string& reason) = 0;
  // The export is over: the file chooser goes away.
  virtual void finished() = 0;
};

class zvwin : public Gtk::Window {
 public:
  zvwin();
  ~zvwin() override;

  // Puts every control back to its default and empties the history. It
  // reaches the pending view only through the handlers of the controls
  // whose value actually changes; it neither computes nor repaints.
  void reset();

  // Replaces the dialogs of the history export (null: the real dialogs).
  // The window does not take ownership.
  void set_export_ui(exportui* ui);

 protected:
  void on_x_changed();
  void on_y_changed();
  void on_width_changed();
  void on_julia_toggled();
  void on_julia_re_changed();
  void on_julia_im_changed();
  void on_iterations_changed();
  void on_run_clicked();
  // Writes the history as a driver script to a file the user chooses.
  void on_batch_clicked();
  // Closing the window must not leave a run computing on unseen.
  void on_window_hidden();

  // The drawing area sets the corner and width controls from the mouse and
  // the spin buttons' increments from each run.
  friend class zvarea;

  // Members in construction order; destroyed in reverse.
  viewhistory history;
  zvarea area;
  Gtk::Box box_main;
  Gtk::Box box_row1, box_row2, box_row3, box_row4;
  Gtk::Label label_position;
  Gtk::SpinButton spin_x;
  Gtk::SpinButton spin_y;
  Gtk::Label label_width;
  Gtk::SpinButton spin_width;
  Gtk::Label label_julia;
  Gtk::CheckButton check_julia;
  Gtk::Label label_julia_const;
  Gtk::SpinButton spin_julia_re;
  Gtk::SpinButton spin_julia_im;
  Gtk::Label label_iterations;
  Gtk::SpinButton spin_iterations;
  Gtk::Button button_run;
  Gtk::Button button_redraw;
  Gtk::Button button_reset;
  Gtk::Label label_divisions;
  Gtk::SpinButton spin_divisions;
  Gtk::Button button_batch;

 private:
  exportui* export_ui = nullptr;
};

}  // namespace zv
