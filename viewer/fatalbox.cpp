// Fatal error report dialog of the viewer.
#include "viewer/fatalbox.h"

#include <gtkmm.h>

namespace zv {

void show_fatal_box(const char* title, const char* text) {
  // The system's error text is in the locale's encoding; the dialog must
  // appear even when it does not convert, since the process ends after it.
  Glib::ustring message;
  try {
    message = Glib::locale_to_utf8(text);
  } catch (const Glib::Error&) {
    message = Glib::convert_with_fallback(text, "UTF-8", "ISO-8859-1");
  }
  Gtk::MessageDialog box(message, false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK,
                         true);
  box.set_title(title);
  box.run();
}

}  // namespace zv
