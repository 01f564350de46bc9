// The history export of the main window: the file chooser, the overwrite
// question and the writing of the driver script.
#include "viewer/zvwin.h"

#include "viewer/scriptexport.h"

#include <memory>

#include "libutils/com/atomicfile.h"

namespace zv {

namespace {
// Texts from the system (file names, error texts) are in the locale's
// encoding; a widget needs UTF-8, and a text that cannot be converted is
// still better shown raw than not at all.
Glib::ustring display_text(const std::string& text) {
  try {
    return Glib::locale_to_utf8(text);
  } catch (const Glib::ConvertError&) {
    return text;
  }
}

class gtkexportui : public exportui {
 public:
  explicit gtkexportui(Gtk::Window& parent) : parent(parent) {}

  bool choose_file(std::string* name) override {
    if (!chooser) {
      chooser = std::make_unique<Gtk::FileChooserDialog>(
          "保存", Gtk::FILE_CHOOSER_ACTION_SAVE);
      chooser->add_button(Gtk::Stock::OPEN, Gtk::RESPONSE_OK);
      chooser->add_button(Gtk::Stock::CANCEL, Gtk::RESPONSE_CANCEL);
      auto filter = Gtk::FileFilter::create();
      filter->set_name("batファイル");
      filter->add_pattern("*.bat");
      chooser->add_filter(filter);
    }
    if (chooser->run() != Gtk::RESPONSE_OK) return false;
    // Already in the file system's encoding, which is what stat and fopen
    // take.
    *name = chooser->get_filename();
    return true;
  }

  bool confirm_overwrite(const std::string& name) override {
    Gtk::MessageDialog question(parent,
                                Glib::filename_display_name(name) +
                                    " に上書き保存してもよろしいですか?",
                                false, Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_OK,
                                false);
    question.add_button(Gtk::Stock::CANCEL, Gtk::RESPONSE_CANCEL);
    question.set_title("上書き確認");
    return question.run() == Gtk::RESPONSE_OK;
  }

  void report_write_failure(const std::string& name,
                            const std::string& reason) override {
    Gtk::MessageDialog message(
        parent, Glib::filename_display_name(name) + " に保存できませんでした。",
        false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK, true);
    message.set_title("保存エラー");
    message.set_secondary_text(display_text(reason));
    message.run();
  }

  void finished() override { chooser.reset(); }

 private:
  Gtk::Window& parent;
  std::unique_ptr<Gtk::FileChooserDialog> chooser;
};
}  // namespace

void zvwin::on_batch_clicked() {
  if (history.size() < 2) return;
  gtkexportui dialogs(*this);
  exportui& ui = export_ui ? *export_ui : dialogs;

  std::string name;
  for (;;) {
    if (!ui.choose_file(&name)) {
      ui.finished();
      return;
    }
    // Refused before the overwrite question: the user could never run a
    // driver of that name safely.
    if (!safe_driver_name(name)) {
      ui.finished();
      ui.report_write_failure(name, "Unsafe name for a batch file.");
      return;
    }
    // The name is used exactly as chosen: no extension is added. The
    // status query opens nothing, so a FIFO of that name cannot block.
    if (!libutils::file_exists(name.c_str())) break;
    if (ui.confirm_overwrite(name)) break;
  }

  std::string reason;
  const bool written = write_script_file(
      name, driver_script(history, shown_count(spin_divisions)), &reason);
  ui.finished();
  // Without this the user would believe the animation was saved.
  if (!written) ui.report_write_failure(name, reason);
}

}  // namespace zv
