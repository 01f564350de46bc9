// The window beyond its first face: cancelling a run, going back and
// forward, the wheel and the middle button, views deeper than doubles, and
// the faults of mouse and spin buttons mended on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/escape.h"
#include "core/mandelbrot.h"
#include "render/deepsource.h"
#include "render/pipeline.h"
#include "tests/support/testutil.h"
#include "viewer/colouring.h"
#include "viewer/guitest.h"
#include "viewer/scriptexport.h"
#include "viewspec/decimal.h"

namespace zv {
namespace {

using Navigation = WindowTest;

std::vector<std::uint32_t> Row(const zvarea& area, int row) {
  std::vector<std::uint32_t> colours;
  for (std::uint32_t x = 0; x < area.current_picture().width; ++x)
    colours.push_back(picture_at(area, static_cast<int>(x), row));
  return colours;
}

std::vector<std::uint32_t> Picture(const zvarea& area) {
  std::vector<std::uint32_t> all;
  for (std::uint32_t y = 0; y < area.current_picture().height; ++y) {
    const auto row = Row(area, static_cast<int>(y));
    all.insert(all.end(), row.begin(), row.end());
  }
  return all;
}

// The colours of line 0 (the bottom) of view, computed on their own.
std::vector<std::uint32_t> BottomLine(const MandArea& view) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(view);
  engine.SetLine(0);
  engine.Calculation();
  std::vector<std::uint32_t> colours;
  for (std::uint64_t m = 0; m < view.dotsX; ++m) {
    unsigned char rgb[3];
    count_colour(engine.GetBuf()[m], view.limit, rgb);
    colours.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
  }
  return colours;
}

void ExpectView(const preciseview& v, const char* re, const char* im,
                const char* width) {
  EXPECT_TRUE(DecimalEqual(re, v.re)) << v.re << " for " << re;
  EXPECT_TRUE(DecimalEqual(im, v.im)) << v.im << " for " << im;
  EXPECT_TRUE(DecimalEqual(width, v.width)) << v.width << " for " << width;
}

// Esc mid-run: the lines shown stay, the rest stays black, and the history
// records nothing; the next full run records as before.
TEST_F(Navigation, EscapeCancelsKeepingFinishedLinesAndRecordingNothing) {
  win.spin_y.set_value(-1);
  win.spin_width.set_value(2);
  win.spin_iterations.set_value(3000);  // long enough to be caught mid-way
  bool pressed = false;
  Glib::signal_idle().connect([&] {
    const auto& p = win.area.current_picture();
    if (p.height == 0 || Row(win.area, 799) == std::vector<std::uint32_t>(800))
      return true;
    key(win, GDK_KEY_Escape);
    pressed = true;
    return false;
  });
  win.button_run.clicked();
  ASSERT_TRUE(pressed);
  EXPECT_TRUE(win.button_run.get_sensitive());
  EXPECT_TRUE(win.history.empty());
  EXPECT_EQ(0u, win.status_text().find("cancelled")) << win.status_text();
  EXPECT_EQ(BottomLine(win.area.computed_view()), Row(win.area, 799));
  EXPECT_EQ(std::vector<std::uint32_t>(800), Row(win.area, 0))
      << "the top row was computed";

  win.spin_iterations.set_value(100);
  win.button_run.clicked();
  EXPECT_EQ(1u, win.history.size());
  EXPECT_EQ(0u, win.status_text().find("done")) << win.status_text();
  // Esc with no run under way changes nothing.
  key(win, GDK_KEY_Escape);
  EXPECT_EQ(1u, win.history.size());
}

// A wheel step keeps the point under the pointer in place and halves or
// doubles the width, computing at once; the middle button pans.
TEST_F(Navigation, WheelZoomsAboutThePointerAndMiddleDragPans) {
  win.button_run.clicked();
  struct Step {
    const char* what;
    void (*act)(testwin&);
    const char *re, *im, *width;
  } steps[] = {
      // (200, 599) is the point (-1, -1) of the default view.
      {"wheel up", [](testwin& w) { wheel(w.area, 200, 599, true); }, "-1.5",
       "-1.5", "2"},
      {"wheel down", [](testwin& w) { wheel(w.area, 200, 599, false); }, "-2",
       "-2", "4"},
      // Moving the picture 100 pixels left and down shows what lay right
      // and above: the corner moves by 100 / 800 of the width each way.
      {"middle drag",
       [](testwin& w) {
         press(w.area, 400, 400, 2);
         release(w.area, 300, 500, 2);
       },
       "-1.5", "-1.5", "4"},
  };
  std::size_t records = win.history.size();
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act(win);
    ExpectView(win.view(), s.re, s.im, s.width);
    ExpectView(win.area.computed_data().view, s.re, s.im, s.width);
    EXPECT_EQ(std::stod(s.re), win.spin_x.get_value());
    EXPECT_EQ(std::stod(s.width), win.area.computed_view().lenRe);
    EXPECT_EQ(++records, win.history.size());
  }
}

// Keys and the wheel during a run end it after its current line and then
// do what they ask, once, with the event loop still turning.
TEST_F(Navigation, WheelAndBackDuringARunReplaceIt) {
  win.button_run.clicked();
  const preciseview first = win.view();
  win.spin_y.set_value(-1);
  win.spin_width.set_value(2);
  win.spin_iterations.set_value(65535);  // slow near the boundary
  int step = 0;
  Glib::signal_idle().connect([&] {
    if (win.area.current_picture().height == 0 || !win.area.running())
      return true;
    // The key once the wheel's run (width 1) is under way.
    if (step == 1 && !DecimalEqual("1", win.area.computed_data().view.width))
      return true;
    // The wheel, then, during the run it starts, back.
    if (step == 0) wheel(win.area, 400, 399, true);
    if (step == 1) key(win, GDK_KEY_Left, GDK_MOD1_MASK);
    ++step;
    return step < 2;
  });
  win.button_run.clicked();  // cancelled by the wheel
  ASSERT_TRUE(wait_until([&] { return step == 2 && !win.area.running(); }));
  pump();
  // The wheel's view ran and was cut short by the key in turn; back went
  // to the only finished view.
  EXPECT_TRUE(same_precise(first, win.view()));
  EXPECT_TRUE(same_precise(first, win.area.computed_data().view));
  EXPECT_EQ(1u, win.history.size());
  EXPECT_TRUE(win.button_run.get_sensitive());
}

// Back and forward show exactly the pictures computed before: from memory
// for the latest views, computed again for older ones.
TEST_F(Navigation, BackThenForwardRestoresTheSamePictures) {
  // The controls keep the window about 800 pixels wide; a low area keeps
  // the runs quick.
  ASSERT_TRUE(resize_area(win, 800, 60));
  int runs = 0;
  win.area.signal_run_started().connect([&](const MandArea&) { ++runs; });
  std::vector<std::vector<std::uint32_t>> pictures;
  std::vector<preciseview> views;
  win.button_run.clicked();
  pictures.push_back(Picture(win.area));
  views.push_back(win.view());
  const int steps = static_cast<int>(zvwin::CachedPictures) + 3;
  for (int i = 0; i < steps; ++i) {
    wheel(win.area, 200 + 37 * i, 10 + 3 * i, true);
    pictures.push_back(Picture(win.area));
    views.push_back(win.view());
  }
  ASSERT_EQ(steps + 1, runs);
  const std::size_t records = win.history.size();

  for (int i = steps - 1; i >= 0; --i) {
    SCOPED_TRACE(::testing::Message() << "back to " << i);
    const int before = runs;
    key(win, GDK_KEY_Left, GDK_MOD1_MASK);
    EXPECT_TRUE(same_precise(views[i], win.view()));
    EXPECT_EQ(pictures[i], Picture(win.area));
    // Only views older than the cache holds are computed again; the view
    // shown last is one of those it holds.
    const bool cached = steps - i < static_cast<int>(zvwin::CachedPictures);
    EXPECT_EQ(cached ? before : before + 1, runs);
  }
  key(win, GDK_KEY_Left, GDK_MOD1_MASK);  // at the first view: stays
  EXPECT_TRUE(same_precise(views[0], win.view()));
  for (int i = 1; i <= steps; ++i) {
    SCOPED_TRACE(::testing::Message() << "forward to " << i);
    key(win, GDK_KEY_Right, GDK_MOD1_MASK);
    EXPECT_TRUE(same_precise(views[i], win.view()));
    EXPECT_EQ(pictures[i], Picture(win.area));
    EXPECT_EQ(to_double(views[i].re), win.spin_x.get_value());
  }
  // Going back and forward is not running: the exported history is as it
  // was.
  EXPECT_EQ(records, win.history.size());

  // A new view after going back drops the views forward of it.
  key(win, GDK_KEY_Left, GDK_MOD1_MASK);
  wheel(win.area, 400, 30, false);
  const preciseview newest = win.view();
  key(win, GDK_KEY_Right, GDK_MOD1_MASK);
  EXPECT_TRUE(same_precise(newest, win.view()));
}

// Faults of the first version, each as a user met it.
TEST_F(Navigation, DragAtWidthOneInTenBillionChangesTheView) {
  // A thin strip keeps the deep run quick; the columns are as in an
  // 800-pixel window.
  ASSERT_TRUE(resize_area(win, 800, 40));
  win.spin_x.set_value(-0.75);
  win.spin_y.set_value(0);
  win.spin_width.set_value(1e-11);
  win.button_run.clicked();
  EXPECT_EQ(engine_kind::deep, win.area.computed_data().engine);
  press(win.area, 400, 20);
  drag_to(win.area, 600, 20);
  ExpectView(win.view(), "-0.749999999995", "0.0000000000002375", "2.5e-12");
  EXPECT_EQ(-0.749999999995, win.spin_x.get_value());
  EXPECT_EQ(2.5e-12, win.spin_width.get_value());
  EXPECT_EQ(-0.749999999995, win.area.pending_view().minRe);
  EXPECT_EQ(2.5e-12, win.area.pending_view().lenRe);
  // The next run computes what the outline showed.
  win.button_run.clicked();
  ExpectView(win.area.computed_data().view, "-0.749999999995",
             "0.0000000000002375", "2.5e-12");
}

// The +/- buttons, arrow keys and typed text of a spin button at a width
// whose steps the toolkit alone would drop.
TEST_F(Navigation, SpinButtonsStepBelowTheToolkitsResolution) {
  ASSERT_TRUE(resize_area(win, 800, 40));
  win.spin_x.set_value(-0.75);
  win.spin_width.set_value(1e-11);
  win.button_run.clicked();  // steps of 1e-13, pages of 1e-12
  // The + and - buttons are the two input windows right of the text.
  std::vector<GdkWindow*> buttons;
  for (GList* l = gdk_window_get_children(win.spin_x.get_window()->gobj()); l;
       l = l->next) {
    GdkWindow* child = static_cast<GdkWindow*>(l->data);
    int x, y;
    gdk_window_get_position(child, &x, &y);
    const Gtk::Allocation a = win.spin_x.get_allocation();
    if (x > a.get_x() + a.get_width() / 2 && x < a.get_x() + a.get_width() &&
        y >= a.get_y() && y < a.get_y() + a.get_height())
      buttons.push_back(child);
  }
  ASSERT_EQ(2u, buttons.size());
  std::sort(buttons.begin(), buttons.end(), [](GdkWindow* a, GdkWindow* b) {
    int ax, bx, y;
    gdk_window_get_position(a, &ax, &y);
    gdk_window_get_position(b, &bx, &y);
    return ax < bx;
  });
  auto click = [&](GdkWindow* button) {
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(button));
    event->button.button = 1;
    event->button.x = event->button.y = 5;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, gdk_seat_get_pointer(seat));
    win.spin_x.event(event);
    gdk_event_free(event);
  };
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* re;
  } steps[] = {
      {"+", [&] { click(buttons[1]); }, "-0.7499999999999"},
      {"-", [&] { click(buttons[0]); }, "-0.75"},
      {"arrow up",
       [&] {
         g_signal_emit_by_name(win.spin_x.gobj(), "change-value",
                               GTK_SCROLL_STEP_UP);
       },
       "-0.7499999999999"},
      {"page down",
       [&] {
         g_signal_emit_by_name(win.spin_x.gobj(), "change-value",
                               GTK_SCROLL_PAGE_DOWN);
       },
       "-0.7500000000009"},
      {"typed",
       [&] {
         win.spin_x.set_text("-0.749999999999953");
         win.spin_x.update();
       },
       "-0.749999999999953"},
      // Leaving the field with the text as the spin button printed it
      // keeps every digit.
      {"untouched", [&] { win.spin_x.update(); }, "-0.749999999999953"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    pump();
    ExpectView(win.view(), s.re, "-2", "1e-11");
    EXPECT_EQ(std::stod(s.re), win.spin_x.get_value());
    EXPECT_EQ(std::stod(s.re), win.area.pending_view().minRe);
  }
}

TEST_F(Navigation, PressAfterEnlargingMapsThroughThePicture) {
  win.button_run.clicked();
  ASSERT_TRUE(resize_area(win, 1000, 900));
  // Pixel (400, 399) of the 800 by 800 picture is the origin, whatever
  // the widget's size now.
  press(win.area, 400, 399);
  ExpectView(win.view(), "0", "0", "4");
  drag_to(win.area, 600, 399);
  ExpectView(win.view(), "0", "0", "1");
  // The outline shows what the next run computes: its left edge lies on
  // column 400 of the picture.
  offscreen shot(win.area);
  EXPECT_NE(picture_at(win.area, 400, 300), shot.at(400, 300));
  EXPECT_EQ(picture_at(win.area, 399, 300), shot.at(399, 300));
}

TEST_F(Navigation, FractionalCountsAreUsedAsShown) {
  win.spin_iterations.set_value(12.9);
  pump();
  EXPECT_EQ("13", win.spin_iterations.get_text());
  EXPECT_EQ(13u, win.area.pending_view().limit);
  win.spin_divisions.set_value(12.5);  // shown as 12, as printf rounds
  pump();
  EXPECT_EQ("12", win.spin_divisions.get_text());
  EXPECT_EQ(12, shown_count(win.spin_divisions));
  win.button_run.clicked();
  win.spin_x.set_value(-1);
  win.button_run.clicked();
  ASSERT_EQ(2u, win.history.size());
  EXPECT_EQ(13u, win.history.back().limit);

  // The exported driver steps by the frames shown.
  struct fileui : exportui {
    std::string name;
    bool choose_file(std::string* n) override {
      *n = name;
      return true;
    }
    bool confirm_overwrite(const std::string&) override { return true; }
    void report_write_failure(const std::string&,
                              const std::string& reason) override {
      ADD_FAILURE() << reason;
    }
    void finished() override {}
  } ui;
  testutil::ScopedTempDir dir;
  ui.name = dir.File("zoom.bat");
  win.set_export_ui(&ui);
  win.button_batch.clicked();
  EXPECT_EQ(driver_script(win.history, 12), testutil::ReadBytes(ui.name));
}

TEST_F(Navigation, SelectionPastTheTopLeavesTheBottomRowAlone) {
  win.button_run.clicked();
  // Corner (0, 0.5), width 2: the top would be at 2.5, above the picture.
  press(win.area, 400, 299);
  drag_to(win.area, 800, 0);
  ExpectView(win.view(), "0", "0.5", "2");
  offscreen shot(win.area);
  for (int x : {400, 500, 799}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(picture_at(win.area, x, 799), shot.at(x, 799));
  }
  EXPECT_NE(picture_at(win.area, 400, 0), shot.at(400, 0));      // left edge
  EXPECT_NE(picture_at(win.area, 500, 299), shot.at(500, 299));  // bottom
}

// Past the doubles the deep engine computes each wheel step; the picture
// is checked against plain full-precision iteration of every pixel.
TEST_F(Navigation, WheelPastDoublePrecisionMatchesTheExactIteration) {
#ifndef HAVE_DEEP_ENGINE
  GTEST_SKIP() << "built without the deep engine";
#else
  struct Depth {
    int height, steps;  // 4 / 2^steps: 6.8e-21 and 5.7e-101
    double below;
  } depths[] = {{8, 69, 1e-20}, {4, 335, 1e-100}};
  for (const Depth& d : depths) {
    SCOPED_TRACE(d.below);
    win.button_reset.clicked();
    // A strip as wide as the window allows, and low so the oracle is quick.
    ASSERT_TRUE(resize_area(win, 800, d.height));
    // The point i, a tip of the set whose neighbourhood stays detailed at
    // every depth, as the corner: zooming about the corner's own pixel
    // keeps it exactly, where any other pixel's point moves by a part in
    // 1e17 of the width per step, which adds up over 300 steps.
    win.spin_x.set_value(0);
    win.spin_y.set_value(1);
    win.spin_iterations.set_value(400);
    win.button_run.clicked();
    for (int i = 0; i < d.steps; ++i) wheel(win.area, 0, d.height - 1, true);
    const computedview& c = win.area.computed_data();
    ASSERT_LT(to_double(c.view.width), d.below);
    EXPECT_EQ(engine_kind::deep, c.engine);
    EXPECT_NE(std::string::npos, win.status_text().find("deep"));

    deep::View exact;
    centre_of(c.view, c.area.dotsX, c.area.dotsY, exact.re, exact.im);
    exact.width = c.view.width;
    exact.limit = static_cast<std::uint32_t>(c.area.limit);
    ExactLineSource oracle(exact);
    ComputedLines lines(FractionArea(c.area), 1, 2, oracle);
    std::vector<std::uint32_t> n(c.counts.width);
    std::vector<float> nf(c.counts.width);
    int same = 0, far = 0;
    for (std::uint64_t l = 0; l < c.counts.height; ++l) {
      std::string error;
      ASSERT_TRUE(lines.Line(l, {n.data(), nf.data()}, error)) << error;
      for (std::uint64_t m = 0; m < c.counts.width; ++m) {
        // The corner's sample is i itself, on a repelling cycle after two
        // steps: rounding, at any precision, decides when it leaves, so
        // the two engines need not agree there.
        if (l == 0 && m == 0) continue;
        const std::uint32_t got = c.counts.n[l * c.counts.width + m];
        same += got == n[m];
        const double tol = std::max(2.0, 0.01 * std::max(got, n[m]));
        if ((got == NeverEscaped) != (n[m] == NeverEscaped) ||
            std::fabs(static_cast<double>(got) - n[m]) > tol) {
          ++far;
          ADD_FAILURE() << "pixel " << m << ", line " << l << ": " << got
                        << " against " << n[m];
        }
      }
    }
    const int pixels = 800 * d.height - 1;
    EXPECT_GE(same, 0.99 * pixels);
    EXPECT_EQ(0, far);
    // A picture of a few colours would pass without showing anything.
    std::set<std::uint32_t> escaped(c.counts.n.begin(), c.counts.n.end());
    escaped.erase(NeverEscaped);
    EXPECT_GT(escaped.size(), 5u);
    ExpectView(c.view, "0", "1", c.view.width.c_str());
  }
#endif
}

}  // namespace
}  // namespace zv
