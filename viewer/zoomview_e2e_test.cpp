// The real program under a display: started, run from the keyboard as a
// user would, photographed, and closed the way a window manager closes it.
#include <gtest/gtest.h>
// After gtest: Xlib defines macros such as None that gtest uses as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/mandelbrot.h"
#include "viewer/colouring.h"

namespace {

Display* display = nullptr;

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A window's pixels as 0xRRGGBB, row by row from the top.
struct Shot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[y * width + x]; }

  // Kept beside the test binary so CI can keep it as an artifact.
  void SavePpm(const std::string& path) const {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (std::uint32_t p : pixels) {
      const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                    static_cast<unsigned char>(p >> 8),
                                    static_cast<unsigned char>(p)};
      std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
  }
};

Shot Capture(Window w) {
  XWindowAttributes attributes;
  XGetWindowAttributes(display, w, &attributes);
  Shot shot;
  XImage* image = XGetImage(display, w, 0, 0, attributes.width,
                            attributes.height, AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = attributes.width;
  shot.height = attributes.height;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      shot.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  XDestroyImage(image);
  return shot;
}

// The program's mapped toplevel window, found by the process id GTK
// records on it.
Window FindWindow(pid_t pid) {
  const Atom wm_pid = XInternAtom(display, "_NET_WM_PID", False);
  Window root = DefaultRootWindow(display), parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  XQueryTree(display, root, &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes) ||
        attributes.map_state != IsViewable)
      continue;
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], wm_pid, 0, 1, False,
                           XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data) {
      if (items == 1 && *reinterpret_cast<unsigned long*>(data) ==
                            static_cast<unsigned long>(pid))
        found = children[i];
      XFree(data);
    }
  }
  if (children) XFree(children);
  return found;
}

void Key(KeySym sym) {
  const KeyCode code = XKeysymToKeycode(display, sym);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XSync(display, False);
  Sleep(50);
}

// A left-button drag from (x, y) to (to_x, y) in window pixels.
void Drag(Window w, int x, int y, int to_x) {
  int rx, ry;
  Window child;
  XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &rx, &ry,
                        &child);
  const int screen = DefaultScreen(display);
  XTestFakeMotionEvent(display, screen, rx, ry, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XSync(display, False);
  Sleep(100);
  XTestFakeMotionEvent(display, screen, rx + (to_x - x), ry, CurrentTime);
  XSync(display, False);
  Sleep(100);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  Sleep(300);
}

// What a window manager sends when the user clicks the close button.
void CloseLikeAWindowManager(Window w) {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, w, False, NoEventMask, &event);
  XFlush(display);
}

// Waits for the child; -1 when it is still running after the time given.
int WaitExit(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    Sleep(50);
  }
  return -1;
}

// The default view's colours at 800 by 800, row 0 at the top.
std::vector<std::uint32_t> DefaultPicture() {
  MandArea view;
  view.dotsX = view.dotsY = 800;
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(view);
  std::vector<std::uint32_t> picture(800 * 800);
  for (int line = 0; line < 800; ++line) {
    engine.SetLine(line);
    engine.Calculation();
    for (int m = 0; m < 800; ++m) {
      unsigned char rgb[3];
      zv::count_colour(engine.GetBuf()[m], 100, rgb);
      picture[(799 - line) * 800 + m] = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
    }
  }
  return picture;
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    pid = fork();
    ASSERT_NE(-1, pid);
    if (pid == 0) {
      // GTK's own allocations live until exit; not ours to report.
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      setenv("GSETTINGS_BACKEND", "memory", 1);
      std::freopen(ZOOMVIEW_STDERR, "w", stderr);
      execl(ZOOMVIEW_EXE, ZOOMVIEW_EXE, static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && !window; ++i) {
      Sleep(50);
      window = FindWindow(pid);
    }
    ASSERT_NE(0u, window) << "no window from " << ZOOMVIEW_EXE;
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    Sleep(300);
  }
  void TearDown() override {
    if (pid > 0 && WaitExit(pid, 0) == -1) {
      kill(pid, SIGKILL);
      WaitExit(pid, 5);
    }
  }
  pid_t pid = -1;
  Window window = 0;
};

TEST_F(Program, RunsTheDefaultViewAndClosesWithStatusZero) {
  // Focus starts in the first corner box; the fifth field onwards is the
  // run button (the Julia constant boxes are insensitive).
  for (int i = 0; i < 5; ++i) Key(XK_Tab);
  Key(XK_space);

  // Finished when the picture has reached the bottom row (black in this
  // view, light background before) and two looks a moment apart agree.
  Shot shot, previous;
  for (int i = 0; i < 100; ++i) {
    Sleep(200);
    previous = shot;
    shot = Capture(window);
    if (!shot.pixels.empty() && shot.at(0, shot.height - 1) == 0 &&
        shot.pixels == previous.pixels)
      break;
  }
  shot.SavePpm(ZOOMVIEW_SCREENSHOT);
  ASSERT_EQ(800, shot.width);
  ASSERT_GT(shot.height, 800);

  // The drawing area is the window's lowest 800 rows and shows the default
  // view in the viewer's colours.
  const int top = shot.height - 800;
  const std::vector<std::uint32_t> expected = DefaultPicture();
  std::set<std::uint32_t> colours;
  int wrong = 0;
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 800; ++x) {
      colours.insert(shot.at(x, top + y));
      wrong += shot.at(x, top + y) != expected[y * 800 + x];
    }
  EXPECT_EQ(0, wrong) << "pixels unlike the default view";
  EXPECT_GT(colours.size(), 20u) << "the picture is blank";

  // The control rows carry text: dark glyph pixels on the light
  // background, in each of the four rows.
  const int row_height = top / 4;
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    int dark = 0;
    for (int y = row * row_height; y < (row + 1) * row_height; ++y)
      for (int x = 0; x < 800; ++x) {
        const std::uint32_t p = shot.at(x, y);
        dark += (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF) < 200;
      }
    EXPECT_GT(dark, 100);
  }

  CloseLikeAWindowManager(window);
  EXPECT_EQ(0, WaitExit(pid, 10));
}

// A run at the highest limit takes far longer than this test; closing the
// window must end it at once and still leave the program with status 0.
TEST_F(Program, ClosingDuringALongRunExitsPromptly) {
  // Focus to the iteration limit, whose text is then selected and typed
  // over, then on to run.
  for (int i = 0; i < 4; ++i) Key(XK_Tab);
  for (KeySym digit : {XK_6, XK_5, XK_5, XK_3, XK_5}) Key(digit);
  Key(XK_Tab);
  Key(XK_space);
  Sleep(1500);

  // Still responsive: a drag over the picture shows its outline at once,
  // over rows the run has not reached yet (black, lightened to grey).
  const int top = Capture(window).height - 800;
  ASSERT_GT(top, 0);
  Drag(window, 400, top + 399, 600);
  const Shot during = Capture(window);
  EXPECT_EQ(0x808080u, during.at(400, top + 300));
  EXPECT_EQ(0x808080u, during.at(600, top + 300));
  EXPECT_EQ(0x000000u, during.at(500, top + 300));
  EXPECT_EQ(-1, WaitExit(pid, 0)) << "the run ended already";
  CloseLikeAWindowManager(window);
  EXPECT_EQ(0, WaitExit(pid, 5));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "no display: end-to-end tests skipped\n");
    return 77;
  }
  return RUN_ALL_TESTS();
}
