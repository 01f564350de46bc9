#include "colour/palette.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Palette Cosine(double r, double g, double b) {
  Palette p;
  p.kind = Palette::Cosine;
  p.rates[0] = r;
  p.rates[1] = g;
  p.rates[2] = b;
  return p;
}

Palette Gradient(std::vector<Rgb8> stops) {
  Palette p;
  p.kind = Palette::Gradient;
  p.stops = stops;
  return p;
}

}  // namespace

TEST(ParsePalette, AcceptedForms) {
  struct Row {
    const char* text;
    Palette expected;
    const char* canonical;
  } rows[] = {
      {"cosine:3,2,1", Cosine(3, 2, 1), "cosine:3,2,1"},
      {"cosine:+0.5,-2,1e1", Cosine(0.5, -2, 10), "cosine:0.5,-2,10"},
      {"cosine:0.1,0.2,0.30000000000000004",
       Cosine(0.1, 0.2, 0.30000000000000004),
       "cosine:0.1,0.2,0.30000000000000004"},
      {"gradient:#000764,#206BCB", Gradient({{0, 7, 0x64}, {0x20, 0x6b, 0xcb}}),
       "gradient:#000764,#206bcb"},
      {"#ffffff", Gradient({{255, 255, 255}}), "gradient:#ffffff"},
      {"#010203,#0a0b0c,#f0e0d0",
       Gradient({{1, 2, 3}, {10, 11, 12}, {0xf0, 0xe0, 0xd0}}),
       "gradient:#010203,#0a0b0c,#f0e0d0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Palette p;
    std::string error;
    ASSERT_TRUE(ParsePalette(row.text, p, error)) << error;
    EXPECT_EQ(row.expected, p);
    EXPECT_EQ(row.canonical, FormatPalette(p));
    Palette again;
    ASSERT_TRUE(ParsePalette(FormatPalette(p), again, error)) << error;
    EXPECT_EQ(p, again);
  }
}

TEST(ParsePalette, RefusedWithReason) {
  struct Row {
    const char* text;
    const char* error;
  } rows[] = {
      {"",
       "unknown palette \"\" (expected cosine:R,G,B or gradient:#rrggbb,...)"},
      {"rainbow",
       "unknown palette \"rainbow\" (expected cosine:R,G,B or "
       "gradient:#rrggbb,...)"},
      {"cosine:3,2", "cosine palette \"cosine:3,2\" needs three rates R,G,B"},
      {"cosine:3,2,1,0",
       "cosine palette \"cosine:3,2,1,0\" needs three rates R,G,B"},
      {"cosine:3,,1", "bad rate \"\" in cosine palette"},
      {"cosine:3,nan,1", "bad rate \"nan\" in cosine palette"},
      {"cosine:3,2,inf", "bad rate \"inf\" in cosine palette"},
      {"cosine:3,2,1e999", "bad rate \"1e999\" in cosine palette"},
      {"cosine:3, 2,1", "bad rate \" 2\" in cosine palette"},
      {"cosine:+-3,2,1", "bad rate \"+-3\" in cosine palette"},
      {"gradient:", "bad colour stop \"\" (expected #rrggbb)"},
      {"gradient:#12345", "bad colour stop \"#12345\" (expected #rrggbb)"},
      {"#123456,", "bad colour stop \"\" (expected #rrggbb)"},
      {"#12345g", "bad colour stop \"#12345g\" (expected #rrggbb)"},
      {"#1234567", "bad colour stop \"#1234567\" (expected #rrggbb)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Palette p = Cosine(7, 7, 7);
    std::string error;
    EXPECT_FALSE(ParsePalette(row.text, p, error));
    EXPECT_EQ(row.error, error);
    EXPECT_EQ(Cosine(7, 7, 7), p);  // untouched
  }
}

TEST(ParsePalette, StopCountIsBounded) {
  std::string text = "#000000";
  for (int k = 1; k < 256; ++k) text += ",#000000";
  Palette p;
  std::string error;
  EXPECT_TRUE(ParsePalette(text, p, error));
  EXPECT_EQ(256u, p.stops.size());
  EXPECT_FALSE(ParsePalette(text + ",#000000", p, error));
  EXPECT_EQ("gradient has more than 256 stops", error);
}

TEST(ParseDouble, ShortestTextRoundTrips) {
  for (double v : {0.1, -2.5, 1e-300, 6.02214076e23, 128.0, 1.0 / 3}) {
    SCOPED_TRACE(v);
    double back = 0;
    ASSERT_TRUE(ParseDouble(FormatDouble(v), back));
    EXPECT_EQ(v, back);
  }
  EXPECT_EQ("0.1", FormatDouble(0.1));
  EXPECT_EQ("256", FormatDouble(256));
  double v;
  for (const char* bad : {"", "+", "-", "1 ", " 1", "0x10", "1,5", "1e400"})
    EXPECT_FALSE(ParseDouble(bad, v)) << bad;
}
