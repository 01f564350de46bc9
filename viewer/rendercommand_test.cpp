#include "viewer/rendercommand.h"

#include <gtest/gtest.h>

namespace {

TEST(RenderCommand, ShellWords) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"-0.75,0.1", "-0.75,0.1"},
      {"out/a_b.png", "out/a_b.png"},
      {"", "''"},
      {"my picture.png", "'my picture.png'"},
      {"it's", "'it'\\''s'"},
      {"$(rm -rf ~)", "'$(rm -rf ~)'"},
      {"a;b`c`\"d\"", "'a;b`c`\"d\"'"},
      {"gradient:#000764,#ffffff", "'gradient:#000764,#ffffff'"},
      {"*.png", "'*.png'"},
      {"line\nbreak", "'line\nbreak'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    EXPECT_EQ(row.out, zv::shell_word(row.in));
  }
}

TEST(RenderCommand, KeepsEveryDigitOfTheView) {
  ViewSpec v;
  v.anchor = Anchor::Corner;
  v.re = "-0.74364388703715870475219150611477";
  v.im = "0.131825904205311970493132056385139";
  v.width = "1.25e-31";
  v.sizeX = 800;
  v.sizeY = 600;
  v.limit = 65535;
  v.bailout = 2;
  EXPECT_EQ(
      "mandel render --corner "
      "-0.74364388703715870475219150611477,"
      "0.131825904205311970493132056385139 --width 1.25e-31 --size 800x600 "
      "--limit 65535 --bailout 2 --bands --palette cosine:1,3,2 --period "
      "65535 -o zoomview.png",
      zv::render_command(v, zv::colourmode(), "zoomview.png"));

  ViewSpec j;
  j.re = "0";
  j.im = "0";
  j.width = "3";
  j.sizeX = 400;
  j.sizeY = 400;
  j.limit = 100;
  j.bailout = 2;
  j.julia = true;
  j.juliaRe = "-0.8";
  j.juliaIm = "0.156";
  zv::colourmode smooth;
  smooth.smooth = true;
  smooth.period = 32;
  std::string why;
  ASSERT_TRUE(ParsePalette("#000764,#edffff", smooth.palette, why));
  EXPECT_EQ(
      "mandel render --center 0,0 --width 3 --size 400x400 --limit 100 "
      "--julia -0.8,0.156 --bailout 2 --smooth --palette "
      "'gradient:#000764,#edffff' --period 32 -o 'my julia.png'",
      zv::render_command(j, smooth, "my julia.png"));
}

}  // namespace
