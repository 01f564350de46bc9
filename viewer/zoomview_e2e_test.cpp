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
#include <sys/stat.h>
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

// A mapped toplevel of the program other than skip, found by the process
// id GTK records on its windows; 0 when there is none.
Window FindToplevel(pid_t pid, Window skip) {
  const Atom wm_pid = XInternAtom(display, "_NET_WM_PID", False);
  Window root = DefaultRootWindow(display), parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  XQueryTree(display, root, &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (children[i] == skip ||
        !XGetWindowAttributes(display, children[i], &attributes) ||
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

// The program's mapped toplevel window.
Window FindWindow(pid_t pid) { return FindToplevel(pid, 0); }

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

// One row of a picture: its 800 pixels from left to right.
std::vector<std::uint32_t> Row(const std::vector<std::uint32_t>& picture,
                               int y) {
  return {picture.begin() + y * 800, picture.begin() + (y + 1) * 800};
}

// The status line under the picture is one line of text, far less than this.
constexpr int StatusLineMost = 100;

// The window row showing the picture's bottom row `row` exactly, searched
// upwards from the window's bottom through the status line; -1 when none
// does. The lowest match is the picture's bottom even when rows above it
// repeat it, and the status line's background and text never match a row
// of a computed picture.
int FindBottom(const Shot& shot, const std::vector<std::uint32_t>& row) {
  if (shot.width < 800) return -1;
  for (int y = shot.height - 1; y >= 0 && y >= shot.height - StatusLineMost;
       --y) {
    int x = 0;
    while (x < 800 && shot.at(x, y) == row[x]) ++x;
    if (x == 800) return y;
  }
  return -1;
}

// Dark glyph pixels on the light background in rows [from, to).
int DarkPixels(const Shot& shot, int from, int to) {
  int dark = 0;
  for (int y = from; y < to; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const std::uint32_t p = shot.at(x, y);
      dark += (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF) < 200;
    }
  return dark;
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

  // Finished when the picture's bottom row is on screen (computed first)
  // and two looks a moment apart agree.
  const std::vector<std::uint32_t> expected = DefaultPicture();
  const std::vector<std::uint32_t> lowest = Row(expected, 799);
  Shot shot, previous;
  int bottom = -1;
  for (int i = 0; i < 100; ++i) {
    Sleep(200);
    previous = shot;
    shot = Capture(window);
    bottom = FindBottom(shot, lowest);
    if (bottom >= 0 && shot.pixels == previous.pixels) break;
  }
  shot.SavePpm(ZOOMVIEW_SCREENSHOT);
  ASSERT_EQ(800, shot.width);
  ASSERT_GT(shot.height, 800);
  ASSERT_GE(bottom, 0) << "no row shows the default view's bottom row";

  // The drawing area is the 800 rows directly above the status line and
  // shows the default view in the viewer's colours.
  const int top = bottom - 799;
  ASSERT_GT(top, 0) << "no room for the controls above the picture";
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
    EXPECT_GT(DarkPixels(shot, row * row_height, (row + 1) * row_height), 100);
  }
  // Under the picture, the status line reports the run.
  EXPECT_GT(shot.height - 1 - bottom, 0) << "no status line under the picture";
  EXPECT_GT(DarkPixels(shot, bottom + 1, shot.height), 50)
      << "the status line under the picture is empty";

  CloseLikeAWindowManager(window);
  EXPECT_EQ(0, WaitExit(pid, 10));
}

// Types digits, '-' and '.' into the focused field.
void Type(const std::string& text) {
  for (char c : text) {
    Key(c == '-' ? XK_minus : c == '.' ? XK_period : XK_0 + (c - '0'));
  }
}

void SelectAll() {
  const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
  XTestFakeKeyEvent(display, control, True, CurrentTime);
  Key(XK_a);
  XTestFakeKeyEvent(display, control, False, CurrentTime);
  XSync(display, False);
}

// Lightening by half of full scale, as the outline does it.
std::uint32_t Lightened(std::uint32_t rgb) {
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const std::uint32_t p = rgb >> shift & 0xFF;
    out |= (p >= 127 ? 255 : p + 128) << shift;
  }
  return out;
}

// A Julia view for a constant just beyond the cusp of the main cardioid:
// every orbit creeps through the narrow gate by the cusp and escapes only
// after about 62800 steps, so at the highest limit the run takes tens of
// core-seconds, while each row, the top one too, gets its colour when it is
// computed: whether the top row shows it tells whether the run is over.
const char* JuliaRe = "0.2500000025";

// The viewer's colours of one line of that view at 800 by 800.
std::vector<std::uint32_t> SlowLine(int line) {
  MandArea view;
  view.minRe = view.minIm = -0.5;
  view.lenRe = view.lenIm = 1;
  view.julia = true;
  view.juliaRe = std::strtod(JuliaRe, nullptr);
  view.juliaIm = 0;
  view.dotsX = view.dotsY = 800;
  view.limit = 65535;
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(view);
  engine.SetLine(line);
  engine.Calculation();
  std::vector<std::uint32_t> colours(800);
  for (int m = 0; m < 800; ++m) {
    unsigned char rgb[3];
    zv::count_colour(engine.GetBuf()[m], view.limit, rgb);
    colours[m] = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
  }
  return colours;
}

// A run far longer than this test: the window stays responsive during it,
// and closing the window ends it at once with status 0. Whether the run is
// still going is read from the picture, never assumed from the time passed;
// a machine fast enough to finish it first cannot show either, and the
// test then says so and is skipped.
TEST_F(Program, ClosingDuringALongRunExitsPromptly) {
  const std::vector<std::uint32_t> topRow = SlowLine(799);
  const std::vector<std::uint32_t> row300 = SlowLine(499);
  const std::vector<std::uint32_t> bottomRow = SlowLine(0);
  int marker = 0;  // a column whose top pixel has a colour when computed
  while (marker < 800 && topRow[marker] == 0) ++marker;
  ASSERT_LT(marker, 800) << "the top row must have a colour of its own";

  // Focus starts in the first corner box; Tab selects the next field's
  // text, so typing replaces it. The Julia switch, once on, makes the
  // constant's boxes part of the way to the limit and the run button.
  SelectAll();
  Type("-0.5");
  Key(XK_Tab);
  Type("-0.5");
  Key(XK_Tab);
  Type("1");
  Key(XK_Tab);
  Key(XK_space);
  Key(XK_Tab);
  Type(JuliaRe);
  Key(XK_Tab);
  Type("0");
  Key(XK_Tab);
  Type("65535");
  Key(XK_Tab);
  const Shot idle = Capture(window);
  Key(XK_space);

  // Started once the picture's bottom row is painted: the typed view's, in
  // the 800 rows directly above the status line.
  Shot shot;
  int bottom = -1;
  for (int i = 0; i < 200 && bottom < 0; ++i) {
    Sleep(50);
    shot = Capture(window);
    bottom = FindBottom(shot, bottomRow);
  }
  ASSERT_FALSE(shot.pixels == idle.pixels) << "the run never began";
  ASSERT_GE(bottom, 0) << "the typed view is not the one computed";
  const int top = bottom - 799;
  ASSERT_GT(top, 0);
  auto finished = [&](const Shot& s) {
    return s.at(marker, top) == topRow[marker];
  };
  if (finished(shot)) GTEST_SKIP() << "the run ended before it could be tested";

  // A drag over the picture shows its outline while the run goes on. Rows
  // not reached yet are black, lightened to grey; reached ones show their
  // own colours, lightened on the outline. A window that waited for the
  // run to end would show no outline within the two seconds allowed.
  Drag(window, 400, top + 399, 600);
  const std::uint32_t left[] = {0x808080u, Lightened(row300[400])};
  Shot during;
  for (int i = 0; i < 40; ++i) {
    during = Capture(window);
    const std::uint32_t p = during.at(400, top + 300);
    if (p == left[0] || p == left[1]) break;
    Sleep(50);
  }
  if (finished(during)) GTEST_SKIP() << "the run ended during the drag";
  auto either = [](std::uint32_t p, std::uint32_t a, std::uint32_t b) {
    return p == a || p == b;
  };
  EXPECT_PRED3(either, during.at(400, top + 300), left[0], left[1]);
  EXPECT_PRED3(either, during.at(600, top + 300), 0x808080u,
               Lightened(row300[600]));
  EXPECT_PRED3(either, during.at(500, top + 300), 0u, row300[500]);

  CloseLikeAWindowManager(window);
  EXPECT_EQ(0, WaitExit(pid, 5));
}

#ifdef MANDEL_EXE
// Keys for the characters of a file name: lower-case letters, digits and
// "/.-".
void TypeName(const std::string& text) {
  for (char c : text) {
    KeySym sym = c == '/'   ? XK_slash
                 : c == '.' ? XK_period
                 : c == '-' ? XK_minus
                 : c >= '0' && c <= '9'
                     ? static_cast<KeySym>(XK_0 + (c - '0'))
                     : static_cast<KeySym>(XK_a + (c - 'a'));
    Key(sym);
  }
}

void Chord(KeySym modifier, KeySym key) {
  const KeyCode m = XKeysymToKeycode(display, modifier);
  XTestFakeKeyEvent(display, m, True, CurrentTime);
  Key(key);
  XTestFakeKeyEvent(display, m, False, CurrentTime);
  XSync(display, False);
  Sleep(50);
}

// A mapped toplevel of the program other than its main window: a dialog.
Window FindDialog(pid_t pid, Window main) { return FindToplevel(pid, main); }

// Waits until two looks at the window a moment apart agree: a run over.
void WaitStill(Window w) {
  Shot shot, previous;
  for (int i = 0; i < 100; ++i) {
    Sleep(250);
    previous = shot;
    shot = Capture(w);
    if (!shot.pixels.empty() && shot.pixels == previous.pixels) return;
  }
}

// Three wheel steps into the picture, Ctrl+S with a name typed into the
// save dialog, and mandel reading the saved picture's view back.
TEST_F(Program, WheelZoomThenSaveGivesMandelTheView) {
  const std::string dir = "/tmp/zve2e" + std::to_string(getpid());
  const std::string png = dir + "/wheel.png";
  ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
  // The default view first, to find the picture above the status line.
  for (int i = 0; i < 5; ++i) Key(XK_Tab);
  Key(XK_space);
  const std::vector<std::uint32_t> lowest = Row(DefaultPicture(), 799);
  int bottom = -1;
  for (int i = 0; i < 100 && bottom < 0; ++i) {
    Sleep(100);
    bottom = FindBottom(Capture(window), lowest);
  }
  ASSERT_GE(bottom, 0) << "no row shows the default view's bottom row";
  WaitStill(window);
  const int top = bottom - 799;
  ASSERT_GT(top, 0);
  int rx, ry;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 400,
                        top + 400, &rx, &ry, &child);
  XTestFakeMotionEvent(display, DefaultScreen(display), rx, ry, CurrentTime);
  XSync(display, False);
  Sleep(100);
  for (int i = 0; i < 3; ++i) {
    XTestFakeButtonEvent(display, 4, True, CurrentTime);
    XTestFakeButtonEvent(display, 4, False, CurrentTime);
    XSync(display, False);
    WaitStill(window);
  }

  Chord(XK_Control_L, XK_s);
  Window dialog = 0;
  for (int i = 0; i < 100 && !dialog; ++i) {
    Sleep(50);
    dialog = FindDialog(pid, window);
  }
  ASSERT_NE(0u, dialog) << "no save dialog";
  Sleep(300);
  XSetInputFocus(display, dialog, RevertToParent, CurrentTime);
  XSync(display, False);
  Sleep(200);
  Chord(XK_Control_L, XK_a);
  TypeName(png);
  Key(XK_Return);
  bool saved = false;
  for (int i = 0; i < 100 && !saved; ++i) {
    Sleep(100);
    saved = access(png.c_str(), F_OK) == 0;
  }
  ASSERT_TRUE(saved) << png;

  std::string info;
  if (std::FILE* out = popen((std::string(MANDEL_EXE) + " info " + png).c_str(),
                             "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out)) info += buffer;
    EXPECT_EQ(0, pclose(out));
  }
  // Zoomed by 8 about the point under the pointer (0, -0.005): the width
  // exactly, the centre within a pixel of the first picture.
  double width = 0;
  const std::size_t w = info.find("  width = ");
  ASSERT_NE(std::string::npos, w) << info;
  ASSERT_EQ(1, std::sscanf(info.c_str() + w, "  width = %lf", &width));
  EXPECT_EQ(0.5, width) << info;
  EXPECT_NE(std::string::npos, info.find("  size = 800 800\n")) << info;
  double re = 99, im = 99;
  const std::size_t at = info.find("  center = ");
  ASSERT_NE(std::string::npos, at) << info;
  ASSERT_EQ(2, std::sscanf(info.c_str() + at, "  center = %lf %lf", &re, &im))
      << info;
  EXPECT_NEAR(0, re, 0.005);
  EXPECT_NEAR(-0.005, im, 0.005);

  CloseLikeAWindowManager(window);
  EXPECT_EQ(0, WaitExit(pid, 10));
  unlink(png.c_str());
  rmdir(dir.c_str());
}
#endif  // MANDEL_EXE

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
