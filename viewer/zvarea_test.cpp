// The drawing area under the mouse: the corner from a press, the width from
// a drag, and the lightened outline it paints.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "viewer/guitest.h"

namespace zv {
namespace {

using Area = WindowTest;

// Lightening by half of full scale, worked by hand: 0 -> 128, 100 -> 228,
// 127 and above -> 255.
std::uint32_t Lightened(std::uint32_t rgb) {
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const std::uint32_t p = rgb >> shift & 0xFF;
    out |= (p >= 127 ? 255 : p + 128) << shift;
  }
  return out;
}

TEST_F(Area, PressSetsTheCornerAndOnlyTheLeftButtonCounts) {
  press(win.area, 400, 399, 3);
  press(win.area, 400, 399, 2);
  EXPECT_EQ(-2, win.spin_x.get_value());
  EXPECT_EQ(-2, win.area.pending_view().minRe);

  // Flipped y: 800 - 399 - 1 = 400, half-way up the default view.
  press(win.area, 400, 399);
  EXPECT_EQ(0, win.spin_x.get_value());
  EXPECT_EQ(0, win.spin_y.get_value());
  EXPECT_EQ(0, win.area.pending_view().minRe);
  EXPECT_EQ(0, win.area.pending_view().minIm);

  // Motion after the release is not a drag.
  release(win.area, 400, 399);
  drag_to(win.area, 600, 300);
  EXPECT_EQ(4, win.spin_width.get_value());
}

TEST_F(Area, DragPaintsTheLightenedOutline) {
  win.button_run.clicked();
  press(win.area, 400, 399);
  drag_to(win.area, 600, 10);  // the pointer's height plays no part
  EXPECT_EQ(1, win.spin_width.get_value());
  EXPECT_EQ(1, win.area.pending_view().lenRe);
  EXPECT_EQ(1, win.area.pending_view().lenIm);

  offscreen shot(win.area);
  auto expect_lit = [&](int x, int y, bool lit) {
    SCOPED_TRACE(::testing::Message() << x << ", " << y);
    const std::uint32_t p = picture_at(win.area, x, y);
    EXPECT_EQ(lit ? Lightened(p) : p, shot.at(x, y));
  };
  for (int y = 199; y <= 398; ++y) {
    expect_lit(400, y, true);
    expect_lit(600, y, true);
    expect_lit(399, y, false);
    expect_lit(401, y, y == 199);
    expect_lit(601, y, false);
  }
  for (int x = 400; x <= 599; ++x) {
    expect_lit(x, 199, true);
    expect_lit(x, 399, true);
    expect_lit(x, 198, false);
    expect_lit(x, 400, false);
  }
  expect_lit(600, 399, false);
  expect_lit(500, 300, false);
  // The picture itself is never changed by an outline.
  offscreen again(win.area);
  EXPECT_EQ(shot.at(400, 300), again.at(400, 300));

  // Dragging left of the press point gives width 0: no outline.
  drag_to(win.area, 300, 10);
  EXPECT_EQ(0, win.spin_width.get_value());
  offscreen none(win.area);
  EXPECT_EQ(picture_at(win.area, 400, 300), none.at(400, 300));
  EXPECT_EQ(picture_at(win.area, 400, 399), none.at(400, 399));
}

TEST_F(Area, OutlineAppearsForViewChangesButNotForTheLimit) {
  win.button_run.clicked();
  const std::uint32_t corner = picture_at(win.area, 0, 799);
  struct Row {
    const char* what;
    void (*change)(testwin&);
    bool outlined;
  } rows[] = {
      {"limit", [](testwin& w) { w.spin_iterations.set_value(500); }, false},
      // Only the Julia switch differs: the outline runs round the border.
      {"julia", [](testwin& w) { w.check_julia.set_active(true); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    row.change(win);
    offscreen shot(win.area);
    EXPECT_EQ(row.outlined ? Lightened(corner) : corner, shot.at(0, 799));
    EXPECT_EQ(row.outlined ? Lightened(corner) : corner, shot.at(0, 0));
  }
}

// The process's address space now, in bytes; 0 when it cannot be read.
unsigned long long address_space() {
  unsigned long long pages = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
  std::fclose(f);
  return pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

// Computes the bottom line of a 6000 by 6000 area, then repaints it all
// under an address-space limit 32 MB above what the process holds: far less
// than a surface of the whole picture (144 MB) would need, even with the
// space the allocator keeps in reserve (up to 64 MB in one piece). Ends the
// process: status 0 when what could be painted was, else the number of the
// failed step.
[[noreturn]] void paint_under_memory_pressure(testwin& win) {
  constexpr int Side = 6000;
  if (!resize_area(win, Side, Side)) std::_Exit(3);
  win.spin_iterations.set_value(1);
  Glib::signal_idle().connect_once([&] { win.area.stop_run(); });
  win.button_run.clicked();
  pump();

  const unsigned long long now = address_space();
  if (now == 0) std::_Exit(4);
  const rlimit limit = {now + (32ull << 20), now + (32ull << 20)};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(5);
  win.area.redraw();
  pump();

  // What is painted is the picture: its bottom row, computed and black,
  // over the blue of an unpainted offscreen image.
  offscreen corner(win.area, 0, Side - 64, 64, 64);
  for (int x = 0; x < 64; ++x)
    if (corner.at(x, Side - 1) != picture_at(win.area, x, Side - 1))
      std::_Exit(6);
  std::_Exit(0);
}

using AreaDeathTest = WindowTest;

// A failure to paint must never end the program.
TEST_F(AreaDeathTest, PaintingUnderMemoryPressure) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address limit";
#endif
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  EXPECT_EXIT(paint_under_memory_pressure(win), ::testing::ExitedWithCode(0),
              "");
}

}  // namespace
}  // namespace zv
