// zoomview: the interactive Mandelbrot and Julia viewer. The arguments are
// the toolkit's; the program has no options of its own.
#include <gtkmm.h>

#include "libutils/fatal.h"
#include "viewer/fatalbox.h"
#include "viewer/zvwin.h"

int main(int argc, char** argv) {
  Gtk::Main kit(argc, argv);
  // The picture's storage reports its own failures through the fatal
  // report; without a console only a dialog would be seen.
  libutils::set_fatal_presenter(zv::show_fatal_box);
  // The installed icon, as the desktop entry names it.
  Gtk::Window::set_default_icon_name("zoomview");
  {
    zv::zvwin window;
    Gtk::Main::run(window);
  }
  return 0;
}
