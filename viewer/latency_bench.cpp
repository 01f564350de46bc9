// How quickly the viewer answers during a heavy run: from a key press
// (Esc, Alt+Left) queued as the display would deliver it to its visible
// effect, and the longest gaps between status line updates and between
// turns of the event loop. Prints figures; asserts nothing.
#include <gtkmm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "viewer/zvwin.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point t) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t)
      .count();
}

class benchwin : public zv::zvwin {
 public:
  using zvwin::area;
  using zvwin::button_run;
  using zvwin::spin_iterations;
  using zvwin::spin_width;
  using zvwin::spin_x;
  using zvwin::spin_y;
};

void pump() {
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
}

// Queues a key press for the window, as the display server would.
void put_key(Gtk::Window& win, unsigned keyval, unsigned state) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(win.get_window()->gobj()));
  event->key.send_event = TRUE;
  event->key.keyval = keyval;
  event->key.state = state;
  event->key.time = GDK_CURRENT_TIME;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
  gdk_event_put(event);
  gdk_event_free(event);
}

// The longest gap between successive calls of tick().
struct gapmeter {
  clock_type::time_point start = clock_type::now(), last = start;
  double worst = 0, worst_at = 0;  // worst_at: its end, ms after start
  void tick() {
    if (ms_since(last) > worst) {
      worst = ms_since(last);
      worst_at = ms_since(start);
    }
    last = clock_type::now();
  }
  void restart() {
    start = last = clock_type::now();
    worst = worst_at = 0;
  }
};

// Deep in the seahorse valley at the highest limit: points escape late,
// after thousands of steps, so no shortcut for the inside applies.
void heavy(benchwin& win) {
  win.spin_x.set_value(-0.743644);
  win.spin_y.set_value(0.131825);
  win.spin_width.set_value(0.000002);
  win.spin_iterations.set_value(65535);
}

}  // namespace

int main(int argc, char** argv) {
  Gtk::Main kit(argc, argv);
  const int delay_ms = argc > 1 ? std::atoi(argv[1]) : 1500;
  benchwin win;
  win.show();
  // Until the area has its natural size (the first allocation may not).
  const auto start = clock_type::now();
  while (win.area.get_allocated_width() < 800 && ms_since(start) < 10000) {
    pump();
    g_usleep(1000);
  }
  pump();

  gapmeter status, loop;
  win.area.signal_run_progress().connect(
      [&](const zv::runprogress&) { status.tick(); });
  // The event loop's turns, every 5 ms when it is free.
  Glib::signal_timeout().connect(
      [&] {
        loop.tick();
        return true;
      },
      5);

  std::printf("zoomview latency, %u processors, key after %d ms of a run\n",
              std::thread::hardware_concurrency(), delay_ms);

  // Esc: to the run's end, when the status line says so.
  heavy(win);
  clock_type::time_point pressed;
  double esc_ms = -1;
  win.area.signal_run_finished().connect(
      [&](zv::runresult r, const zv::runprogress&) {
        if (r == zv::runresult::cancelled && esc_ms < 0)
          esc_ms = ms_since(pressed);
      });
  Glib::signal_timeout().connect_once(
      [&] {
        pressed = clock_type::now();
        put_key(win, GDK_KEY_Escape, 0);
      },
      delay_ms);
  status.restart();
  loop.restart();
  win.button_run.clicked();
  const double esc_status_gap = status.worst, esc_loop_gap = loop.worst;
  const double esc_status_at = status.worst_at, esc_loop_at = loop.worst_at;
  std::printf("Esc to cancelled run:        %8.1f ms\n", esc_ms);
  std::printf("  longest status line gap:   %8.1f ms, ending %.0f ms in\n",
              esc_status_gap, esc_status_at);
  std::printf("  longest event loop gap:    %8.1f ms, ending %.0f ms in\n",
              esc_loop_gap, esc_loop_at);

  // Alt+Left: two quick views, then a heavy run of a new view, and back
  // from it: the view shown before the run, from memory.
  win.spin_iterations.set_value(100);
  win.spin_x.set_value(-2);
  win.spin_y.set_value(-2);
  win.spin_width.set_value(4);
  win.button_run.clicked();
  win.spin_width.set_value(2);
  win.button_run.clicked();
  const zv::preciseview before = win.area.computed_data().view;
  heavy(win);
  Glib::signal_timeout().connect_once(
      [&] {
        pressed = clock_type::now();
        put_key(win, GDK_KEY_Left, GDK_MOD1_MASK);
      },
      delay_ms);
  status.restart();
  loop.restart();
  win.button_run.clicked();
  double back_ms = -1;
  const auto give_up = clock_type::now() + std::chrono::seconds(60);
  while (clock_type::now() < give_up) {
    if (zv::same_precise(win.area.computed_data().view, before) &&
        !win.area.running()) {
      back_ms = ms_since(pressed);
      break;
    }
    Gtk::Main::iteration(false);
  }
  std::printf("Alt+Left to earlier picture: %8.1f ms\n", back_ms);
  std::printf("  longest status line gap:   %8.1f ms, ending %.0f ms in\n",
              status.worst, status.worst_at);
  std::printf("  longest event loop gap:    %8.1f ms, ending %.0f ms in\n",
              loop.worst, loop.worst_at);
  win.hide();
  pump();
  return esc_ms >= 0 && back_ms >= 0 ? 0 : 1;
}
