// The viewer's main window: four rows of controls for the view above the
// drawing area, a status line under it, the view history, and the export of
// that history as a zoom-animation driver script.
#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "viewer/history.h"
#include "viewer/precisespin.h"
#include "viewer/viewmodel.h"
#include "viewer/childrun.h"
#include "viewer/countcolour.h"
#include "viewer/zvarea.h"
#include "viewspec/viewspec.h"

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

// The whole number a spin button without digits shows, which is the
// number its value stands for.
double shown_count(const Gtk::SpinButton& spin);

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

  // The pending view in full precision; the spin buttons show it rounded.
  const preciseview& view() const { return model; }
  // The status line's text.
  std::string status_text() const { return label_status.get_text(); }
  // How many finished pictures back and forward keep in memory at most,
  // and in how many bytes of counts (8 views at 800 by 800 take 41 MB; a
  // view larger than the whole bound is not kept).
  static constexpr std::size_t CachedPictures = 8;
  static constexpr std::size_t CachedBytes = std::size_t{256} << 20;

  // Saving, opening, copying and exporting: what Ctrl+S, Ctrl+O, Ctrl+C
  // and Ctrl+E do once their dialogs have a file name. Each returns false
  // with a message in error, and then changes nothing.
  //
  // The shown picture as a PNG with its view inside.
  bool save_picture_as(const std::string& path, std::string* error);
  // A view file or PNG becomes the view and is computed; a count file or
  // pair is shown without computing. A file being opened during a run
  // waits for the run to end after its current line.
  bool open_path(const std::string& path, std::string* error);
  // The shown view as a mandel render command (also put on the clipboard
  // by Ctrl+C).
  std::string render_command_line() const;
  // The session's views as a keyframe file, frames per step as shown.
  bool export_keyframes(const std::string& path, std::string* error);
  // The view of the picture as a view file holds it; before any run, the
  // pending view at the drawing area's size.
  ViewSpec shown_view() const;

  // The colouring of the shown counts; a change re-colours them without
  // computing.
  void set_colour_mode(const colourmode& mode);
  const colourmode& colour_mode() const { return colours; }

  // The program `mandel` run to render an exported animation: found
  // beside this program or on PATH unless set here.
  void set_mandel_program(const std::string& path) { mandel_program = path; }

 protected:
  bool on_key_press_event(GdkEventKey* event) override;
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
  // From the drawing area.
  void on_corner_picked(const std::string& re, const std::string& im);
  void on_width_dragged(const std::string& width);
  void on_view_requested(const preciseview& v);
  void on_run_started(const MandArea& area);
  void on_run_progress(const runprogress& p);
  void on_run_finished(runresult result, const runprogress& p);

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
  Gtk::Label label_status;

 private:
  // The corner and the width through their spin buttons at any depth.
  void set_corner_or_width(std::string preciseview::*field,
                           const std::string& text);
  std::string increment(bool page) const;
  precisespin precise_x, precise_y, precise_width;

  // One run of the pending view; what follows a finished one (the
  // batch-export history, the session) is the caller's.
  runresult run_pending();
  // The spin buttons show the model, without their handlers reacting.
  void show_model();
  // Moves through the session's views by step (-1 back, +1 forward).
  void go(int step);
  // A view finished by a run (not by going back or forward) joins the
  // session after the current entry, dropping those forward of it.
  void add_to_session();
  // Keeps a finished picture for back and forward, newest first, within
  // the bounds above.
  void remember(const computedview& c);
  // Runs now, or when a run is under way ends it and runs after it.
  void run_after_current(std::function<void()> action);

  exportui* export_ui = nullptr;
  preciseview model;
  bool showing_model = false;  // the spin buttons are being set from model

  // The views computed in this session, oldest first, and the one shown.
  std::vector<preciseview> session;
  std::size_t session_at = 0;
  // The finished pictures of the latest views, newest first, at most
  // CachedPictures of them.
  std::list<computedview> cache;
  std::function<void()> queued;  // what runs once the current run ends

  // Files, clipboard, colouring menu and help (zvfiles.cpp).
  void add_file_actions();
  bool on_file_key(GdkEventKey* event);
  bool on_area_button(GdkEventButton* event);
  void build_menu();
  void on_save_key();
  void on_open_key();
  void on_copy_key();
  void on_export_key();
  void render_animation(const std::string& keyframes, std::uint64_t frames);
  void show_help();
  void report_error(const std::string& title, const std::string& text);
  // Makes v the pending view: model, spin buttons and drawing area.
  void adopt(const preciseview& v);
  // The two halves of adopt: v in the model and every control, and v as
  // the drawing area's pending view.
  void show_view(const preciseview& v);
  void set_pending(const preciseview& v);
  // The session's views as one animation can hold them (animation_views),
  // at the size of the shown picture.
  std::vector<ViewSpec> animation_session() const;

  colourmode colours;
  std::string mandel_program;
  std::string last_folder;
  std::unique_ptr<Gtk::Menu> menu;
  std::unique_ptr<Gtk::ShortcutsWindow> help;
};

}  // namespace zv
