#include "viewspec/viewspec.h"

#include <gtest/gtest.h>

#include <string>

#include "viewspec/decimal.h"

namespace {

ViewSpec Parsed(const std::string& text) {
  ViewSpec v;
  std::string error;
  EXPECT_TRUE(ParseViewSpec(text, "t.view", v, error)) << error;
  return v;
}

std::string ParseError(const std::string& text) {
  ViewSpec v;
  v.limit = 4242;
  std::string error;
  EXPECT_FALSE(ParseViewSpec(text, "t.view", v, error)) << text;
  EXPECT_EQ(4242u, v.limit) << "changed on failure: " << text;
  return error;
}

ViewSpec CornerView() {
  ViewSpec v;
  v.anchor = Anchor::Corner;
  v.re = "-2";
  v.im = "-1.5";
  v.width = "4";
  v.sizeX = 400;
  v.sizeY = 300;
  v.limit = 100;
  v.bailout = 2;
  v.colouring.shading = Shading::Bands;
  v.colouring.palette.kind = Palette::Cosine;
  v.colouring.period = 100;
  return v;
}

}  // namespace

TEST(ParseViewSpec, EveryKey) {
  ViewSpec v = Parsed(
      "\xEF\xBB\xBF# a deep view, saved by an editor that marks UTF-8\r\n"
      "center = -0.743643887037158704752191506114774 "
      "0.131825904205311970493132056385139\r\n"
      "\r\n"
      "  # the real extent\n"
      "  width=6.5e-12  \n"
      "size = 1280\t960\n"
      "limit = 4294967295\n"
      "bailout = 1e3\n"
      "julia = -0.8 +0.156\n"
      "colouring = bands\n"
      "palette = cosine:3,2.5,1\n"
      "period = 37.5\n"
      "inside = #FF8000\n"
      "samples = 16");
  EXPECT_EQ(Anchor::Center, v.anchor);
  EXPECT_EQ("-0.743643887037158704752191506114774", v.re);
  EXPECT_EQ("0.131825904205311970493132056385139", v.im);
  EXPECT_EQ("6.5e-12", v.width);
  EXPECT_EQ(1280u, v.sizeX);
  EXPECT_EQ(960u, v.sizeY);
  EXPECT_EQ(4294967295u, v.limit);
  EXPECT_EQ(1000.0, v.bailout);
  EXPECT_TRUE(v.julia);
  EXPECT_EQ("-0.8", v.juliaRe);
  EXPECT_EQ("+0.156", v.juliaIm);
  EXPECT_EQ(Shading::Bands, v.colouring.shading);
  EXPECT_EQ(Palette::Cosine, v.colouring.palette.kind);
  EXPECT_EQ(2.5, v.colouring.palette.rates[1]);
  EXPECT_EQ(37.5, v.colouring.period);
  EXPECT_EQ((Rgb8{255, 128, 0}), v.colouring.inside);
  EXPECT_EQ(16u, v.samples);
}

TEST(ParseViewSpec, KeysLeftOutTakeTheDefaults) {
  EXPECT_EQ(ViewSpec(), Parsed(""));
  EXPECT_EQ(ViewSpec(), Parsed("# nothing but a comment\n\n   \n"));
  ViewSpec v = Parsed("limit = 5");
  ViewSpec expected;
  expected.limit = 5;
  EXPECT_EQ(expected, v);
}

TEST(ViewSpecText, RoundTrips) {
  ViewSpec julia;
  julia.julia = true;
  julia.juliaRe = "-0.7269";
  julia.juliaIm = "0.1889";
  julia.colouring.palette.stops = {{1, 2, 3}};
  julia.colouring.period = 0.1;
  julia.bailout = 1e100;
  julia.samples = 4;
  ViewSpec deep;
  deep.re = "-1.7499999999999999999999999999999999999999999999999999999999";
  deep.im = "-0.0000000000000000000000000000000000000000000000000000000001";
  deep.width = "1.5e-300";
  deep.limit = 4294967295u;
  deep.sizeX = MaxSide;
  deep.sizeY = 1;
  ViewSpec corner = CornerView();
  corner.re = "-0.75000000000000000000000000000000000000000003";
  corner.width = "3e-40";
  for (const ViewSpec& v : {ViewSpec(), julia, deep, CornerView(), corner}) {
    std::string text = FormatViewSpec(v);
    SCOPED_TRACE(text);
    std::string error;
    ASSERT_TRUE(CheckViewSpec(v, error)) << error;
    ViewSpec back = Parsed(text);
    EXPECT_EQ(v, back);
    EXPECT_EQ(text, FormatViewSpec(back));
  }
}

// Tools read `center` alone, so a corner-anchored view carries its exact
// centre too; a centre that does not match is refused.
TEST(ViewSpecText, CornerCarriesItsExactCentre) {
  ViewSpec v = CornerView();
  std::string text = FormatViewSpec(v);
  EXPECT_EQ(
      "center = 0 0.5\n"
      "corner = -2 -1.5\n"
      "width = 4\n"
      "size = 400 300\n"
      "limit = 100\n"
      "bailout = 2\n"
      "colouring = bands\n"
      "palette = cosine:3,2,1\n"
      "period = 100\n"
      "inside = #000000\n"
      "samples = 1\n",
      text);
  // Any spelling of the same number will do; the corner stays the anchor.
  ViewSpec back = Parsed("corner = -2 -1.5\nwidth = 4\ncenter = 0.0 +5e-1\n");
  EXPECT_EQ(Anchor::Corner, back.anchor);
  EXPECT_EQ("-2", back.re);
  EXPECT_EQ("0.5", CenterIm(back));
  EXPECT_EQ("t.view:1: center: not the centre of the corner (0 0.5)",
            ParseError("center = 0 0.25\ncorner = -2 -1.5\nwidth = 4\n"));
  // The width may come later than the corner; the default width counts.
  EXPECT_EQ("t.view:2: center: not the centre of the corner (-0.25 1.75)",
            ParseError("corner = -2 0\ncenter = 0 0.5\n"));
}

TEST(ParseViewSpec, RefusedWithLineAndReason) {
  struct Row {
    const char* text;
    const char* error;
  } rows[] = {
      {"zoom = 3", "t.view:1: unknown key \"zoom\""},
      {"\n\nCenter = 0 0", "t.view:3: unknown key \"Center\""},
      {"width 3", "t.view:1: expected key = value"},
      {"limit = 5\nlimit = 6",
       "t.view:2: limit: given twice (first on line 1)"},
      {"center = 0", "t.view:1: center: expected two numbers"},
      {"center = 0 0 0", "t.view:1: center: expected two numbers"},
      {"center = 0,0 1", "t.view:1: center: not a decimal number: \"0,0\""},
      {"center = nan 0", "t.view:1: center: not a decimal number: \"nan\""},
      {"center = 0 inf", "t.view:1: center: not a decimal number: \"inf\""},
      {"center = 1e400 0", "t.view:1: center: out of range: \"1e400\""},
      {"width = 0", "t.view:1: width: must be positive"},
      {"width = -1", "t.view:1: width: must be positive"},
      {"width =", "t.view:1: width: not a decimal number: \"\""},
      {"size = 0 10",
       "t.view:1: size: expected a whole number from 1 to 2147483647, not "
       "\"0\""},
      {"size = 10 2147483648",
       "t.view:1: size: expected a whole number from 1 to 2147483647, not "
       "\"2147483648\""},
      {"size = 10x10", "t.view:1: size: expected two numbers"},
      {"size = -1 10",
       "t.view:1: size: expected a whole number from 1 to 2147483647, not "
       "\"-1\""},
      {"limit = 4294967296",
       "t.view:1: limit: expected a whole number from 0 to 4294967295, not "
       "\"4294967296\""},
      {"limit = 99999999999999999999999",
       "t.view:1: limit: expected a whole number from 0 to 4294967295, not "
       "\"99999999999999999999999\""},
      {"limit = 1.5",
       "t.view:1: limit: expected a whole number from 0 to 4294967295, not "
       "\"1.5\""},
      {"bailout = 0",
       "t.view:1: bailout: expected a positive number, not \"0\""},
      {"bailout = nan",
       "t.view:1: bailout: expected a positive number, not \"nan\""},
      {"julia = 1", "t.view:1: julia: expected two numbers"},
      {"colouring = Smooth",
       "t.view:1: colouring: expected smooth or bands, not \"Smooth\""},
      {"palette = #12",
       "t.view:1: palette: bad colour stop \"#12\" (expected #rrggbb)"},
      {"period = -5",
       "t.view:1: period: expected a positive number, not \"-5\""},
      {"period = inf",
       "t.view:1: period: expected a positive number, not \"inf\""},
      {"inside = black", "t.view:1: inside: expected #rrggbb, not \"black\""},
      {"samples = 0",
       "t.view:1: samples: expected a whole number from 1 to 16, not \"0\""},
      {"samples = 17",
       "t.view:1: samples: expected a whole number from 1 to 16, not \"17\""},
      {"center = 0 \x01", "t.view:1: center: not a decimal number: \"?\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.error, ParseError(row.text));
  }
}

TEST(ParseViewSpec, LongTokensAndFiles) {
  std::string digits(MaxDecimalChars - 2, '1');
  ViewSpec v = Parsed("center = 0." + digits + " 0");
  EXPECT_EQ("0." + digits, v.re);
  EXPECT_EQ("t.view:1: center: number longer than 4096 characters",
            ParseError("center = 0.1" + digits + " 0"));
  EXPECT_EQ("t.view: larger than 1048576 bytes, not a view file",
            ParseError(std::string(1 << 20, '\n') + "\n"));
}

TEST(CheckViewSpec, NamesTheKey) {
  struct Row {
    void (*change)(ViewSpec&);
    const char* error;
  } rows[] = {
      {[](ViewSpec& v) { v.re = "x"; }, "center: not a decimal number: \"x\""},
      {[](ViewSpec& v) { v.width = "0"; }, "width: must be positive"},
      {[](ViewSpec& v) { v.sizeX = 0; },
       "size: each side must be from 1 to 2147483647"},
      {[](ViewSpec& v) { v.sizeY = MaxSide + 1; },
       "size: each side must be from 1 to 2147483647"},
      {[](ViewSpec& v) { v.bailout = -1; },
       "bailout: must be a positive number"},
      {[](ViewSpec& v) {
         v.julia = true;
         v.juliaIm = "";
       },
       "julia: not a decimal number: \"\""},
      {[](ViewSpec& v) { v.colouring.palette.stops.clear(); },
       "palette: bad colour stop \"\" (expected #rrggbb)"},
      {[](ViewSpec& v) { v.colouring.period = 0; },
       "period: must be a positive number"},
      {[](ViewSpec& v) { v.samples = 17; }, "samples: must be from 1 to 16"},
      {[](ViewSpec& v) {
         v.anchor = Anchor::Corner;
         v.re = "1e300";
         v.width = "1e-9999";
       },
       "corner: the exact centre of this corner and width is too long to "
       "write"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.error);
    ViewSpec v;
    row.change(v);
    std::string error;
    EXPECT_FALSE(CheckViewSpec(v, error));
    EXPECT_EQ(row.error, error);
  }
}

// The doubles the engine gets. For a corner they are setrender's, whose
// height is (H * width) / W, product first: 0.1 * 3 / 7 rounds differently
// from (0.1 / 7) * 3.
TEST(ViewArea, Geometry) {
  MandArea a = ViewArea(CornerView());
  EXPECT_EQ(-2.0, a.minRe);
  EXPECT_EQ(4.0, a.lenRe);
  EXPECT_EQ(3.0, a.lenIm);
  EXPECT_EQ(-1.0, a.minIm);  // -1.5 + (4 - 3) * 0.5: centred on the square
  EXPECT_EQ(400u, a.dotsX);
  EXPECT_EQ(300u, a.dotsY);
  EXPECT_EQ(100u, a.limit);
  EXPECT_FALSE(a.julia);

  ViewSpec v;
  v.width = "0.1";
  v.sizeX = 7;
  v.sizeY = 3;
  a = ViewArea(v);
  EXPECT_EQ(0.042857142857142864, a.lenIm);
  EXPECT_EQ(-0.75 - 0.05, a.minRe);
  EXPECT_EQ(0 - 0.042857142857142864 * 0.5, a.minIm);

  v.julia = true;
  v.juliaRe = "-0.8";
  v.juliaIm = "0.156";
  v.re = "0";
  v.width = "3";
  v.sizeX = 4;
  v.sizeY = 4;
  a = ViewArea(v);
  EXPECT_TRUE(a.julia);
  EXPECT_EQ(-0.8, a.juliaRe);
  EXPECT_EQ(0.156, a.juliaIm);
  EXPECT_EQ(-1.5, a.minRe);
  EXPECT_EQ(-1.5, a.minIm);
}

TEST(ParseDecimalPair, CommaOrSpace) {
  struct Row {
    const char* text;
    bool ok;
    const char* re;
    const char* im;
  } rows[] = {
      {"-0.75,0.1", true, "-0.75", "0.1"},
      {"-0.75 0.1", true, "-0.75", "0.1"},
      {"1e-5,-2", true, "1e-5", "-2"},
      {"1,2,3", false, "", ""},
      {"1", false, "", ""},
      {"1, 2", false, "", ""},
      {"a,2", false, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::string re = "?", im = "?", error;
    EXPECT_EQ(row.ok, ParseDecimalPair(row.text, re, im, error));
    if (row.ok) {
      EXPECT_EQ(row.re, re);
      EXPECT_EQ(row.im, im);
    } else {
      EXPECT_FALSE(error.empty());
      EXPECT_EQ("?", re);
    }
  }
}
