// Helpers and entry point of the in-process GUI tests.
#include "viewer/guitest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

// GTK keeps its type registry and caches to the end of the process; those
// are not leaks of ours.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace zv {

void pump() {
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
}

bool wait_until(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (Gtk::Main::events_pending())
      Gtk::Main::iteration(false);
    else
      g_usleep(1000);
  }
  return true;
}

bool resize_area(testwin& win, int width, int height) {
  win.area.set_size_request(width, height);
  win.resize(1, 1);
  return wait_until([&] {
    return win.area.get_allocated_width() == width &&
           win.area.get_allocated_height() == height;
  });
}

namespace {
GdkEvent* new_event(Gtk::Widget& widget, GdkEventType type) {
  GdkEvent* event = gdk_event_new(type);
  auto window = widget.get_window();
  event->any.window = GDK_WINDOW(g_object_ref(window->gobj()));
  event->any.send_event = TRUE;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  gdk_event_set_device(event, gdk_seat_get_pointer(seat));
  return event;
}

void send_button(Gtk::Widget& widget, GdkEventType type, double x, double y,
                 unsigned button) {
  GdkEvent* event = new_event(widget, type);
  event->button.x = x;
  event->button.y = y;
  event->button.button = button;
  if (type == GDK_BUTTON_RELEASE) event->button.state = GDK_BUTTON1_MASK;
  widget.event(event);
  gdk_event_free(event);
}
}  // namespace

void press(Gtk::Widget& widget, double x, double y, unsigned button) {
  send_button(widget, GDK_BUTTON_PRESS, x, y, button);
}

void release(Gtk::Widget& widget, double x, double y, unsigned button) {
  send_button(widget, GDK_BUTTON_RELEASE, x, y, button);
}

void drag_to(Gtk::Widget& widget, double x, double y) {
  GdkEvent* event = new_event(widget, GDK_MOTION_NOTIFY);
  event->motion.x = x;
  event->motion.y = y;
  event->motion.state = GDK_BUTTON1_MASK;
  widget.event(event);
  gdk_event_free(event);
}

offscreen::offscreen(Gtk::Widget& widget)
    : offscreen(widget, 0, 0, widget.get_allocated_width(),
                widget.get_allocated_height()) {}

offscreen::offscreen(Gtk::Widget& widget, int x, int y, int width, int height)
    : surface(Cairo::ImageSurface::create(Cairo::FORMAT_RGB24, width, height)),
      left(x),
      top(y) {
  auto cr = Cairo::Context::create(surface);
  // A known background shows what the widget left unpainted.
  cr->set_source_rgb(0, 0, 1);
  cr->paint();
  cr->translate(-x, -y);
  gtk_widget_draw(widget.gobj(), cr->cobj());
  surface->flush();
}

std::uint32_t offscreen::at(int x, int y) const {
  const unsigned char* row =
      surface->get_data() + (y - top) * surface->get_stride();
  return reinterpret_cast<const std::uint32_t*>(row)[x - left] & 0xFFFFFF;
}

void wheel(Gtk::Widget& widget, double x, double y, bool up) {
  GdkEvent* event = new_event(widget, GDK_SCROLL);
  event->scroll.x = x;
  event->scroll.y = y;
  event->scroll.direction = up ? GDK_SCROLL_UP : GDK_SCROLL_DOWN;
  widget.event(event);
  gdk_event_free(event);
}

void key(Gtk::Window& window, unsigned keyval, unsigned state) {
  GdkEvent* event = new_event(window, GDK_KEY_PRESS);
  event->key.keyval = keyval;
  event->key.state = state;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
  window.event(event);
  gdk_event_free(event);
}

std::uint32_t picture_at(const zvarea& area, int x, int y) {
  const unsigned char* p = area.current_picture().pixel(x, y);
  return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
}

void WindowTest::SetUp() {
  win.show();
  ASSERT_TRUE(wait_until([&] {
    return win.area.get_mapped() && win.area.get_allocated_width() == 800 &&
           win.area.get_allocated_height() == 800;
  })) << "the window did not come up at its natural size";
  pump();
}

void WindowTest::TearDown() {
  win.hide();
  pump();
}

}  // namespace zv

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  // The file chooser otherwise warns about the settings backend.
  setenv("GSETTINGS_BACKEND", "memory", 0);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "no display: GUI tests skipped\n");
    return 77;  // reported as skipped by CTest
  }
  Gtk::Main kit(argc, argv);
  return RUN_ALL_TESTS();
}
