// The window's files, clipboard command, keyframe export and colouring,
// driven through what the window offers: save then open, export then read
// back, re-colour without a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/escape.h"
#include "imageio/countfile.h"
#include "imageio/pngtext.h"
#include "tests/support/testutil.h"
#include "viewer/guitest.h"
#include "viewer/viewconv.h"
#include "viewspec/decimal.h"

namespace zv {
namespace {

using Files = WindowTest;

std::vector<unsigned char> picture_bytes(const zvarea& area) {
  const libutils::img2d& p = area.current_picture();
  std::vector<unsigned char> out;
  for (std::uint32_t y = 0; y < p.height; ++y)
    out.insert(out.end(), p.pixel(0, y), p.pixel(0, y) + 3 * p.width);
  return out;
}

// Runs counted from the drawing area's own signal.
struct runcounter {
  explicit runcounter(zvarea& area) {
    area.signal_run_started().connect([this](const MandArea&) { ++runs; });
  }
  int runs = 0;
};

void run_view(testwin& win, double x, double y, double width, int limit) {
  win.spin_x.set_value(x);
  win.spin_y.set_value(y);
  win.spin_width.set_value(width);
  win.spin_iterations.set_value(limit);
  win.button_run.clicked();
  ASSERT_TRUE(wait_until([&] { return !win.area.running(); }));
}

TEST_F(Files, SaveThenOpenGivesTheSameViewAndPicture) {
  ASSERT_TRUE(resize_area(win, 800, 90));
  run_view(win, -0.8, 0.05, 0.125, 300);
  const preciseview saved_view = win.view();
  const std::vector<unsigned char> saved = picture_bytes(win.area);
  const ViewSpec saved_spec = win.shown_view();
  testutil::ScopedTempDir dir;
  const std::string png = dir.File("saved.png");
  std::string error;
  ASSERT_TRUE(win.save_picture_as(png, &error)) << error;
  // The PNG holds the view as mandel stores it.
  std::string text;
  ASSERT_TRUE(ReadPngViewTextFile(png, text, error)) << error;
  EXPECT_EQ(FormatViewSpec(saved_spec), text);
  EXPECT_EQ(800u, saved_spec.sizeX);
  EXPECT_EQ(90u, saved_spec.sizeY);

  // Somewhere else, then back through the file.
  win.button_reset.clicked();
  run_view(win, -2, -2, 4, 100);
  ASSERT_NE(saved, picture_bytes(win.area));
  runcounter counter(win.area);
  ASSERT_TRUE(win.open_path(png, &error)) << error;
  ASSERT_TRUE(wait_until([&] { return !win.area.running(); }));
  EXPECT_EQ(1, counter.runs);  // a picture's view is computed
  EXPECT_TRUE(same_precise(saved_view, win.view()))
      << win.view().re << " " << win.view().im << " " << win.view().width;
  EXPECT_EQ(300, win.spin_iterations.get_value());
  EXPECT_EQ(saved, picture_bytes(win.area));
  EXPECT_EQ(saved_spec, win.shown_view());
}

TEST_F(Files, CountFileIsShownWithoutComputing) {
  // Counts of a 40 x 30 picture, made up so each row and column differs.
  ViewSpec view;
  view.re = "-0.5";
  view.im = "0.25";
  view.width = "1.5";
  view.sizeX = 40;
  view.sizeY = 30;
  view.limit = 500;
  view.bailout = 2;
  testutil::ScopedTempDir dir;
  const std::string exr = dir.File("counts.exr");
  CountFileWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(exr, 40, 30, 500, FormatViewSpec(view), true, error))
      << error;
  std::vector<std::uint32_t> all;  // bottom line first
  for (std::uint32_t line = 0; line < 30; ++line) {
    std::vector<std::uint32_t> n(40);
    std::vector<float> nf(40, 0.25f);
    for (std::uint32_t x = 0; x < 40; ++x)
      n[x] = (x + line) % 9 == 0 ? NeverEscaped : 1 + 7 * x + 13 * line;
    all.insert(all.end(), n.begin(), n.end());
    ASSERT_TRUE(writer.WriteLine(n.data(), nf.data(), error)) << error;
  }
  ASSERT_TRUE(writer.Finish(error)) << error;

  runcounter counter(win.area);
  ASSERT_TRUE(win.open_path(exr, &error)) << error;
  pump();
  EXPECT_EQ(0, counter.runs);
  const computedview& shown = win.area.computed_data();
  EXPECT_EQ(all, shown.counts.n);
  EXPECT_EQ(40u, win.area.current_picture().width);
  EXPECT_EQ(30u, win.area.current_picture().height);
  // The file's view, now the window's (centre -0.5, 0.25 over 40 x 30).
  EXPECT_TRUE(DecimalEqual("-1.25", win.view().re)) << win.view().re;
  EXPECT_TRUE(DecimalEqual("-0.3125", win.view().im)) << win.view().im;
  EXPECT_EQ(500u, win.view().limit);
  // mandel's default colouring of a count file is smooth: shown as such.
  EXPECT_TRUE(win.colour_mode().smooth);
  // Coloured as the window colours counts: black inside, top row first.
  std::vector<unsigned char> want(3 * 40 * 30);
  countcolourer colourer(win.colour_mode(), 500);
  std::vector<float> nf(40, 0.25f);
  for (std::uint32_t row = 0; row < 30; ++row)
    colourer.line(&all[(29 - row) * 40], nf.data(), 40, &want[row * 120]);
  EXPECT_EQ(want, picture_bytes(win.area));
}

TEST_F(Files, BadFilesChangeNothing) {
  ASSERT_TRUE(resize_area(win, 800, 48));
  run_view(win, -1, -1, 2, 50);
  const preciseview before = win.view();
  const std::vector<unsigned char> picture = picture_bytes(win.area);
  testutil::ScopedTempDir dir;
  testutil::WriteBytes(dir.File("bad.view"), "width = -1\n");
  testutil::WriteBytes(dir.File("bad.png"), "\x89PNG\r\n\x1a\n garbage");
  runcounter counter(win.area);
  for (const char* name : {"bad.view", "bad.png", "missing.exr"}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(win.open_path(dir.File(name), &error));
    EXPECT_NE(std::string::npos, error.find(name)) << error;
  }
  pump();
  EXPECT_EQ(0, counter.runs);
  EXPECT_TRUE(same_precise(before, win.view()));
  EXPECT_EQ(picture, picture_bytes(win.area));
  // Nothing to save into a folder that is not there; no stray file.
  std::string error;
  EXPECT_FALSE(win.save_picture_as(dir.File("no/such.png"), &error));
  EXPECT_FALSE(error.empty());
}

// The export keeps every digit of a view far below what the driver
// script's ten digits can place.
TEST_F(Files, KeyframeExportKeepsFullPrecision) {
  ASSERT_TRUE(resize_area(win, 800, 60));
  run_view(win, -2, -2, 4, 100);
  testutil::ScopedTempDir dir;
  const std::string deep = dir.File("deep.view");
  testutil::WriteBytes(deep,
                       "center = -0.7499999999937512345 0.00000000001234567\n"
                       "width = 2.5e-12\nlimit = 200\ncolouring = bands\n");
  std::string error;
  ASSERT_TRUE(win.open_path(deep, &error)) << error;
  ASSERT_TRUE(wait_until([&] { return !win.area.running(); }));
  win.spin_divisions.set_value(12.6);  // shown and used as 13

  const std::string keys = dir.File("zoom.keyframes");
  ASSERT_TRUE(win.export_keyframes(keys, &error)) << error;
  const std::string text = testutil::ReadBytes(keys);
  const std::size_t cut = text.find("\n---\n");
  ASSERT_NE(std::string::npos, cut) << text;
  std::string first = text.substr(0, cut + 1), second = text.substr(cut + 5);
  const std::string frames = "frames = 13\n";
  const std::size_t at = first.find(frames);
  ASSERT_NE(std::string::npos, at) << text;
  first.erase(at, frames.size());
  ViewSpec a, b;
  ASSERT_TRUE(ParseViewSpec(first, "first", a, error)) << error;
  ASSERT_TRUE(ParseViewSpec(second, "second", b, error)) << error;
  EXPECT_TRUE(DecimalEqual("0", a.re));
  EXPECT_TRUE(DecimalEqual("-1.85", a.im));  // 800 x 60 above -2
  EXPECT_TRUE(DecimalEqual("-0.7499999999937512345", b.re)) << b.re;
  EXPECT_TRUE(DecimalEqual("0.00000000001234567", b.im)) << b.im;
  EXPECT_EQ("2.5e-12", b.width);
  EXPECT_EQ(200u, b.limit);
  EXPECT_EQ(800u, a.sizeX);
  EXPECT_EQ(800u, b.sizeX);
  // The copied command names the same centre.
  const std::string command = win.render_command_line();
  EXPECT_NE(std::string::npos, command.find("--center " + b.re + "," + b.im))
      << command;
}

TEST_F(Files, ColouringSwitchesWithoutComputing) {
  ASSERT_TRUE(resize_area(win, 800, 80));
  run_view(win, -2, -1.5, 3, 200);
  const std::vector<unsigned char> banded = picture_bytes(win.area);
  const std::vector<std::uint32_t> counts = win.area.computed_data().counts.n;
  runcounter counter(win.area);
  colourmode smooth;
  smooth.smooth = true;
  smooth.period = 32;
  win.set_colour_mode(smooth);
  const std::vector<unsigned char> smoothed = picture_bytes(win.area);
  EXPECT_NE(banded, smoothed);
  smooth.palette = next_palette(smooth);
  win.set_colour_mode(smooth);
  EXPECT_NE(smoothed, picture_bytes(win.area));
  win.set_colour_mode(colourmode());
  EXPECT_EQ(banded, picture_bytes(win.area));  // the window's own, exactly
  pump();
  EXPECT_EQ(0, counter.runs);
  EXPECT_EQ(counts, win.area.computed_data().counts.n);
  // What the drawing area paints follows.
  win.set_colour_mode(smooth);
  pump();
  offscreen painted(win.area, 0, 0, 800, 80);
  EXPECT_EQ(picture_at(win.area, 50, 40), painted.at(50, 40));
  // A later run of the same view colours as the re-colouring did.
  const std::vector<unsigned char> recoloured = picture_bytes(win.area);
  win.button_run.clicked();
  ASSERT_TRUE(wait_until([&] { return !win.area.running(); }));
  EXPECT_EQ(1, counter.runs);
  EXPECT_EQ(recoloured, picture_bytes(win.area));
}

// The keys reach the window whichever control has the focus, change only
// the colouring (no run), and F1 brings up the keys window.
TEST_F(Files, ColouringCopyAndHelpKeys) {
  ASSERT_TRUE(resize_area(win, 800, 60));
  run_view(win, -2, -0.1, 3, 150);
  const std::vector<unsigned char> banded = picture_bytes(win.area);
  runcounter counter(win.area);
  win.spin_width.grab_focus();
  struct Step {
    unsigned keyval;
    bool smooth;
    double period;
    std::size_t palette;  // index in palette_choices
  } steps[] = {
      {GDK_KEY_m, true, 128, 0},
      {GDK_KEY_bracketleft, true, 64, 0},
      {GDK_KEY_bracketright, true, 128, 0},
      {GDK_KEY_bracketright, true, 256, 0},
      {GDK_KEY_p, true, 256, 1},
      {GDK_KEY_b, false, 256, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(gdk_keyval_name(step.keyval));
    key(win, step.keyval, GDK_CONTROL_MASK);
    EXPECT_EQ(step.smooth, win.colour_mode().smooth);
    EXPECT_EQ(step.period, win.colour_mode().period);
    EXPECT_EQ(palette_choices()[step.palette].palette,
              win.colour_mode().palette);
  }
  EXPECT_EQ(banded, picture_bytes(win.area));
  EXPECT_EQ(0, counter.runs);

  // With the number field's text selected, Ctrl+C is the field's copy;
  // elsewhere it copies the command.
  auto clipboard = Gtk::Clipboard::get();
  clipboard->set_text("before");
  key(win, GDK_KEY_c, GDK_CONTROL_MASK);
  EXPECT_NE(win.render_command_line(), clipboard->wait_for_text());
  win.button_run.grab_focus();
  key(win, GDK_KEY_c, GDK_CONTROL_MASK);
  EXPECT_EQ(win.render_command_line(), clipboard->wait_for_text());

  key(win, GDK_KEY_F1);
  pump();
  bool shown = false;
  for (Gtk::Window* w : Gtk::Window::list_toplevels())
    shown =
        shown || (dynamic_cast<Gtk::ShortcutsWindow*>(w) && w->get_visible());
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace zv
