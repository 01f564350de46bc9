// zoomview: the interactive Mandelbrot and Julia viewer. The arguments are
// the toolkit's; the program has no options of its own.
#include <gtkmm.h>

#include "viewer/zvwin.h"

int main(int argc, char** argv) {
  Gtk::Main kit(argc, argv);
  {
    zv::zvwin window;
    Gtk::Main::run(window);
  }
  return 0;
}
