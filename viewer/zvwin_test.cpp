// The main window driven through its controls: defaults, reset, the Julia
// switch, the width handler, the run with its history and the status line.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/mandelbrot.h"
#include "viewer/colouring.h"
#include "viewer/guitest.h"

namespace zv {
namespace {

struct SpinDefaults {
  const char* name;
  Gtk::SpinButton testwin::*spin;
  double lower, upper;
  unsigned digits;
  double step, page, value;
  bool sensitive;
};

const SpinDefaults Spins[] = {
    {"x", &testwin::spin_x, -2, 2, 21, 0.01, 0.1, -2, true},
    {"y", &testwin::spin_y, -2, 2, 21, 0.01, 0.1, -2, true},
    {"width", &testwin::spin_width, 0, 4, 21, 0.01, 0.1, 4, true},
    {"julia re", &testwin::spin_julia_re, -2, 2, 21, 0.01, 0.1, -0.8, false},
    {"julia im", &testwin::spin_julia_im, -2, 2, 21, 0.01, 0.1, 0.156, false},
    {"iterations", &testwin::spin_iterations, 0, 65535, 0, 100, 1000, 100,
     true},
    {"divisions", &testwin::spin_divisions, 1, 10000, 0, 50, 500, 250, true},
};

void ExpectDefaults(testwin& win) {
  for (const SpinDefaults& d : Spins) {
    SCOPED_TRACE(d.name);
    Gtk::SpinButton& spin = win.*d.spin;
    double lower, upper, step, page;
    spin.get_range(lower, upper);
    spin.get_increments(step, page);
    EXPECT_EQ(d.lower, lower);
    EXPECT_EQ(d.upper, upper);
    EXPECT_EQ(d.digits, spin.get_digits());
    EXPECT_EQ(d.step, step);
    EXPECT_EQ(d.page, page);
    EXPECT_EQ(d.value, spin.get_value());
    EXPECT_FALSE(spin.get_wrap());
    EXPECT_EQ(d.sensitive, spin.get_sensitive());
  }
  EXPECT_FALSE(win.check_julia.get_active());
  EXPECT_FALSE(win.button_batch.get_sensitive());
  EXPECT_TRUE(win.button_run.get_sensitive());
  EXPECT_TRUE(win.history.empty());
}

void ExpectPending(const MandArea& v, double re, double im, double lenRe,
                   double lenIm, bool julia, std::uint64_t limit) {
  EXPECT_EQ(re, v.minRe);
  EXPECT_EQ(im, v.minIm);
  EXPECT_EQ(lenRe, v.lenRe);
  EXPECT_EQ(lenIm, v.lenIm);
  EXPECT_EQ(julia, v.julia);
  EXPECT_EQ(-0.8, v.juliaRe);
  EXPECT_EQ(0.156, v.juliaIm);
  EXPECT_EQ(limit, v.limit);
}

using Window = WindowTest;

TEST_F(Window, StartsWithTheDefaultsAndTheJapaneseTexts) {
  ExpectDefaults(win);
  ExpectPending(win.area.pending_view(), -2, -2, 4, 4, false, 100);
  EXPECT_EQ(400u, win.area.pending_view().dotsX);

  struct Text {
    std::string shown, expected;
  } texts[] = {
      {win.label_position.get_text(), "位置"},
      {win.label_width.get_text(), "横幅"},
      {win.label_julia.get_text(), "ジュリア計算?"},
      {win.check_julia.get_label(), ""},
      {win.label_julia_const.get_text(), "ジュリア定数"},
      {win.label_iterations.get_text(), "計算回数"},
      {win.button_run.get_label(), "計算実行"},
      {win.button_redraw.get_label(), "再描画"},
      {win.button_reset.get_label(), "リセット"},
      {win.label_divisions.get_text(), "静止画分割数"},
      {win.button_batch.get_label(), "履歴バッチ保存"},
  };
  for (const Text& t : texts) EXPECT_EQ(t.expected, t.shown);
  // Before the first run there is nothing to paint.
  offscreen shot(win.area);
  EXPECT_EQ(0x0000FFu, shot.at(400, 400));
}

TEST_F(Window, ResetRestoresTheDefaultsAndEmptiesTheHistory) {
  win.button_run.clicked();
  win.spin_x.set_value(1);
  win.spin_width.set_value(0.5);
  win.check_julia.set_active(true);
  win.spin_julia_re.set_value(0.25);
  win.spin_iterations.set_value(500);
  win.spin_divisions.set_value(30);
  win.button_run.clicked();
  ASSERT_EQ(2u, win.history.size());

  win.button_reset.clicked();
  ExpectDefaults(win);
  // The pending view follows through the handlers; the run's pixel size
  // and the picture stay.
  ExpectPending(win.area.pending_view(), -2, -2, 4, 4, false, 100);
  EXPECT_EQ(800u, win.area.pending_view().dotsX);
  EXPECT_EQ(0.5, win.area.computed_view().lenRe);

  // Again with nothing to change: the pending view stays as it is.
  win.button_run.clicked();
  const MandArea before = win.area.pending_view();
  win.button_reset.clicked();
  EXPECT_TRUE(win.history.empty());
  EXPECT_EQ(before.lenIm, win.area.pending_view().lenIm);
  EXPECT_EQ(before.dotsY, win.area.pending_view().dotsY);
}

TEST_F(Window, JuliaSwitchAndBatchButtonFollowTheHistory) {
  struct Row {
    int runs;
    bool batch_after_on, batch_after_off;
  } rows[] = {{0, false, false}, {1, false, false}, {2, false, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.runs << " records");
    win.button_reset.clicked();
    for (int i = 0; i < row.runs; ++i) {
      win.spin_x.set_value(-2 + 0.5 * i);  // a new view each time
      win.button_run.clicked();
    }
    ASSERT_EQ(static_cast<std::size_t>(row.runs), win.history.size());
    EXPECT_EQ(row.runs == 2, win.button_batch.get_sensitive());

    win.check_julia.set_active(true);
    EXPECT_TRUE(win.area.pending_view().julia);
    EXPECT_TRUE(win.spin_julia_re.get_sensitive());
    EXPECT_TRUE(win.spin_julia_im.get_sensitive());
    EXPECT_EQ(row.batch_after_on, win.button_batch.get_sensitive());

    win.check_julia.set_active(false);
    EXPECT_FALSE(win.area.pending_view().julia);
    EXPECT_FALSE(win.spin_julia_re.get_sensitive());
    EXPECT_EQ(row.batch_after_off, win.button_batch.get_sensitive());
  }
  // A run in Julia mode with a history of two keeps the batch button off.
  win.check_julia.set_active(true);
  win.button_run.clicked();
  EXPECT_FALSE(win.button_batch.get_sensitive());
}

TEST_F(Window, WidthKeepsTheAreasAspectRatio) {
  ASSERT_TRUE(resize_area(win, 800, 600));
  win.spin_width.set_value(2);
  EXPECT_EQ(2, win.area.pending_view().lenRe);
  EXPECT_EQ(1.5, win.area.pending_view().lenIm);
}

// Counts of the view computed on their own, coloured, against the picture.
void ExpectPictureOf(const zvarea& area, const MandArea& view) {
  const auto& picture = area.current_picture();
  ASSERT_EQ(view.dotsX, picture.width);
  ASSERT_EQ(view.dotsY, picture.height);
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(view);
  int wrong = 0;
  for (std::uint64_t line = 0; line < view.dotsY; ++line) {
    engine.SetLine(line);
    engine.Calculation();
    const unsigned short* counts = engine.GetBuf();
    // Line 0, the lower edge, is the bottom row.
    const int row = static_cast<int>(view.dotsY - line - 1);
    for (std::uint64_t m = 0; m < view.dotsX; ++m) {
      unsigned char rgb[3];
      count_colour(counts[m], view.limit, rgb);
      const std::uint32_t expected = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
      if (picture_at(area, static_cast<int>(m), row) != expected && ++wrong < 5)
        ADD_FAILURE() << "pixel " << m << ", row " << row;
    }
  }
  EXPECT_EQ(0, wrong);
}

// Colours of one line of view, computed on their own, as 0xRRGGBB.
std::vector<std::uint32_t> ExpectedLine(const MandArea& view,
                                        std::uint64_t line) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(view);
  engine.SetLine(line);
  engine.Calculation();
  std::vector<std::uint32_t> colours;
  for (std::uint64_t m = 0; m < view.dotsX; ++m) {
    unsigned char rgb[3];
    count_colour(engine.GetBuf()[m], view.limit, rgb);
    colours.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
  }
  return colours;
}

std::vector<std::uint32_t> PictureRow(const zvarea& area, int row) {
  std::vector<std::uint32_t> colours;
  for (std::uint32_t x = 0; x < area.current_picture().width; ++x)
    colours.push_back(picture_at(area, static_cast<int>(x), row));
  return colours;
}

// A view whose top and bottom lines are not black, so a row not yet
// computed shows.
MandArea Lopsided(testwin& win) {
  win.spin_y.set_value(-1);
  win.spin_width.set_value(2);
  MandArea view;
  view.minIm = -1;
  view.lenRe = view.lenIm = 2;
  view.dotsX = view.dotsY = 800;
  const std::vector<std::uint32_t> black(800, 0);
  EXPECT_NE(black, ExpectedLine(view, 799));
  return view;
}

TEST_F(Window, RunFillsRowsFromTheBottomUp) {
  const MandArea view = Lopsided(win);
  const std::vector<std::uint32_t> black(800, 0);
  // Looks at the picture between lines, as a nested paint would: once the
  // first line is shown (events are also handled while it is computed).
  ASSERT_NE(black, ExpectedLine(view, 0));
  bool looked = false;
  Glib::signal_idle().connect([&] {
    if (win.area.current_picture().height == 0 ||
        PictureRow(win.area, 799) == black)
      return true;
    looked = true;
    EXPECT_FALSE(win.button_run.get_sensitive());
    EXPECT_EQ(ExpectedLine(view, 0), PictureRow(win.area, 799));
    EXPECT_EQ(black, PictureRow(win.area, 0)) << "top row before its turn";
    return false;
  });
  win.button_run.clicked();
  EXPECT_TRUE(looked);
  EXPECT_TRUE(win.button_run.get_sensitive());
  EXPECT_EQ(ExpectedLine(view, 799), PictureRow(win.area, 0));
}

TEST_F(Window, RunComputesTheViewAndRecordsIt) {
  win.button_run.clicked();
  ASSERT_EQ(1u, win.history.size());
  const MandArea& record = win.history.front();
  EXPECT_EQ(400u, record.dotsX);
  EXPECT_EQ(400u, record.dotsY);
  EXPECT_EQ(100u, record.limit);
  EXPECT_EQ(-2, record.minRe);
  EXPECT_EQ(4, record.lenIm);

  for (Gtk::SpinButton* spin : {&win.spin_x, &win.spin_y, &win.spin_width}) {
    double step, page;
    spin->get_increments(step, page);
    EXPECT_EQ(0.04, step);
    EXPECT_EQ(0.4, page);
  }
  double step, page;
  win.spin_julia_re.get_increments(step, page);
  EXPECT_EQ(0.01, step);

  MandArea view;
  view.dotsX = view.dotsY = 800;
  ExpectPictureOf(win.area, view);
  // The painted widget is the picture.
  offscreen shot(win.area);
  for (int y : {0, 399, 799})
    for (int x : {0, 300, 799}) {
      SCOPED_TRACE(::testing::Message() << x << ", " << y);
      EXPECT_EQ(picture_at(win.area, x, y), shot.at(x, y));
    }
}

TEST_F(Window, RerunsWithOnlyAHigherLimitReplaceTheLastRecord) {
  win.button_run.clicked();
  win.button_run.clicked();
  EXPECT_EQ(2u, win.history.size());
  EXPECT_TRUE(win.button_batch.get_sensitive());
  win.spin_iterations.set_value(1000);
  win.button_run.clicked();
  ASSERT_EQ(2u, win.history.size());
  EXPECT_EQ(100u, win.history.front().limit);
  EXPECT_EQ(1000u, win.history.back().limit);
  EXPECT_EQ(800u, win.history.back().dotsX);
}

TEST_F(Window, LimitZeroPaintsBlack) {
  win.spin_iterations.set_value(0);
  win.button_run.clicked();
  const auto& picture = win.area.current_picture();
  ASSERT_EQ(800u, picture.width);
  int coloured = 0;
  for (std::uint32_t y = 0; y < picture.height; ++y)
    for (std::uint32_t x = 0; x < picture.width; ++x)
      coloured += picture_at(win.area, x, y) != 0;
  EXPECT_EQ(0, coloured);
}

// The widget grows while a run is under way: the run finishes at the size
// it started with, and the next run takes the new size.
TEST_F(Window, ResizeDuringARunKeepsItsStartingSize) {
  bool resized = false;
  Glib::signal_idle().connect([&] {
    if (win.area.current_picture().height == 0) return true;
    win.area.set_size_request(900, 850);
    resized = true;
    return false;
  });
  win.button_run.clicked();
  ASSERT_TRUE(resized);
  ASSERT_TRUE(
      wait_until([&] { return win.area.get_allocated_width() == 900; }));
  MandArea view;
  view.dotsX = view.dotsY = 800;
  ExpectPictureOf(win.area, view);

  // The widget is larger than the picture: a selection reaching past the
  // picture paints only over it.
  press(win.area, 700, 899);
  drag_to(win.area, 1000, 0);
  offscreen grown(win.area);
  EXPECT_EQ(0x0000FFu, grown.at(850, 100));  // beyond the picture: untouched

  win.button_run.clicked();
  EXPECT_EQ(900u, win.area.current_picture().width);
  EXPECT_EQ(850u, win.area.current_picture().height);
  EXPECT_EQ(900u, win.area.computed_view().dotsX);
}

// Lets the toolkit carry out any resize a change has queued.
void settle() {
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < end) {
    pump();
    g_usleep(1000);
  }
}

// The status line lies directly under the picture, across the window, and
// what it says never moves or resizes the picture, the window or itself.
TEST_F(Window, StatusLineStaysUnderThePictureAtItsSize) {
  int width = 0, height = 0;
  win.get_size(width, height);
  const int line = win.label_status.get_allocated_height();
  ASSERT_GT(line, 0);
  auto expect_in_place = [&](int area_width, int area_height) {
    const Gtk::Allocation a = win.area.get_allocation(),
                          s = win.label_status.get_allocation();
    EXPECT_EQ(area_width, a.get_width());
    EXPECT_EQ(area_height, a.get_height());
    EXPECT_EQ(a.get_y() + a.get_height(), s.get_y()) << "not right under";
    EXPECT_EQ(a.get_x(), s.get_x());
    EXPECT_EQ(a.get_width(), s.get_width());
    EXPECT_EQ(line, s.get_height());
  };
  expect_in_place(800, 800);

  // As after a run at a width of 1e-400, given to every digit.
  win.label_status.set_text("done  width 1." + std::string(400, '2') +
                            "e-400  zoom 3.3e+400  deep engine  1.2 s");
  settle();
  expect_in_place(800, 800);
  int now_width = 0, now_height = 0;
  win.get_size(now_width, now_height);
  EXPECT_EQ(width, now_width);
  EXPECT_EQ(height, now_height);

  win.button_run.clicked();
  EXPECT_EQ(0u, win.status_text().find("done")) << win.status_text();
  settle();
  expect_in_place(800, 800);

  ASSERT_TRUE(resize_area(win, 900, 850));
  expect_in_place(900, 850);
}

// Closing the window mid-run ends the run after the current line instead of
// computing on, unseen, to the last.
TEST_F(Window, ClosingTheWindowEndsARunPromptly) {
  Lopsided(win);
  bool closed = false;
  Glib::signal_idle().connect([&] {
    if (win.area.current_picture().height == 0) return true;
    win.close();  // as the window manager's close button
    closed = true;
    return false;
  });
  win.button_run.clicked();
  ASSERT_TRUE(closed);
  EXPECT_FALSE(win.get_visible());
  EXPECT_EQ(std::vector<std::uint32_t>(800, 0), PictureRow(win.area, 0))
      << "the top row was computed";
  EXPECT_TRUE(win.button_run.get_sensitive());
}

}  // namespace
}  // namespace zv
