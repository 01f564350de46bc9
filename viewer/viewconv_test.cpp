#include "viewer/viewconv.h"

#include <gtest/gtest.h>

#include "viewspec/decimal.h"

namespace {

zv::preciseview deep(const char* re, const char* im, const char* width) {
  zv::preciseview v;
  v.re = re;
  v.im = im;
  v.width = width;
  v.limit = 4000;
  return v;
}

// A saved view must open as the same view, digit for digit, at any depth
// and for any picture shape; the file must also hold the right centre.
TEST(ViewConv, CornerToCentreAndBack) {
  struct Row {
    zv::preciseview v;
    std::uint64_t w, h;
    const char* centre_re;
    const char* centre_im;
  } rows[] = {
      {deep("-2", "-2", "4"), 800, 800, "0", "0"},
      {deep("-2", "-2", "4"), 800, 600, "0", "-0.5"},
      {deep("-0.749999999995", "0.1", "2.5e-12"), 640, 480, "-0.74999999999375",
       "0.1000000000009375"},
      {deep("-0.74364388703715870475219150611477",
            "0.131825904205311970493132056385139", "1e-60"),
       1000, 333, nullptr, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.v.re + " " + std::to_string(row.h));
    const ViewSpec s = zv::spec_of(row.v, row.w, row.h, zv::colourmode());
    std::string why;
    ASSERT_TRUE(CheckViewSpec(s, why)) << why;
    EXPECT_EQ(Anchor::Center, s.anchor);
    if (row.centre_re) {
      EXPECT_TRUE(DecimalEqual(row.centre_re, s.re)) << s.re;
      EXPECT_TRUE(DecimalEqual(row.centre_im, s.im)) << s.im;
    }
    EXPECT_EQ(row.w, s.sizeX);
    EXPECT_EQ(row.h, s.sizeY);
    EXPECT_EQ(2.0, s.bailout);
    // Through the file's text, as a saved PNG holds it.
    ViewSpec read;
    ASSERT_TRUE(ParseViewSpec(FormatViewSpec(s), "saved", read, why)) << why;
    const zv::preciseview back = zv::precise_of(read, row.w, row.h);
    EXPECT_TRUE(zv::same_precise(row.v, back))
        << back.re << " " << back.im << " " << back.width;
  }
}

TEST(ViewConv, JuliaLimitAndColouring) {
  zv::preciseview v = deep("-1", "-1", "2");
  v.julia = true;
  v.julia_re = -0.8;
  v.julia_im = 0.156;
  zv::colourmode smooth;
  smooth.smooth = true;
  smooth.period = 40;
  const ViewSpec s = zv::spec_of(v, 10, 10, smooth);
  EXPECT_TRUE(s.julia);
  EXPECT_EQ("-0.8", s.juliaRe);
  EXPECT_EQ("0.156", s.juliaIm);
  EXPECT_EQ(4000u, s.limit);
  EXPECT_EQ(smooth, zv::mode_of(s.colouring));
  const zv::preciseview back = zv::precise_of(s, 10, 10);
  EXPECT_TRUE(zv::same_precise(v, back));
  // A view file anchored by its corner (the five programs' square) opens
  // at its centre; the height follows the window's picture.
  ViewSpec corner;
  corner.anchor = Anchor::Corner;
  corner.re = "-2";
  corner.im = "-2";
  corner.width = "4";
  corner.sizeX = 300;
  corner.sizeY = 100;
  const zv::preciseview opened = zv::precise_of(corner, 400, 200);
  EXPECT_TRUE(DecimalEqual("-2", opened.re)) << opened.re;
  EXPECT_TRUE(DecimalEqual("-1", opened.im)) << opened.im;
  EXPECT_FALSE(opened.julia);
}

}  // namespace
