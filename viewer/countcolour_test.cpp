#include "viewer/countcolour.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/escape.h"
#include "viewer/colouring.h"

namespace {

using zv::colourmode;
using zv::countcolourer;

// Banded colouring of kept counts must be the window's own colouring of the
// engine's 16-bit counts, byte for byte, for every count a view can have.
TEST(CountColour, BandedIsTheWindowsColouring) {
  for (std::uint32_t limit : {0u, 1u, 100u, 255u, 1000u, 65535u}) {
    SCOPED_TRACE(limit);
    const std::uint32_t last = limit < 3000 ? limit : 3000;
    std::vector<std::uint32_t> n;
    std::vector<unsigned short> counts;
    for (std::uint32_t c = 0; c < last; ++c) {
      n.push_back(c + 1);  // escaped after c steps
      counts.push_back(static_cast<unsigned short>(c));
    }
    // Inside, and not computed: the window's count 0.
    n.push_back(NeverEscaped);
    n.push_back(NotComputed);
    counts.push_back(0);
    counts.push_back(0);
    std::vector<float> nf(n.size(), 0.5f);  // banded never reads it
    std::vector<unsigned char> got(3 * n.size()), want(3 * n.size());
    countcolourer(colourmode(), limit)
        .line(n.data(), nf.data(), n.size(), got.data());
    zv::colour_line(counts.data(), counts.size(), limit, want.data());
    EXPECT_EQ(want, got);
  }
}

// Worked by hand: half the limit is t = pi (254, 254, 0); a quarter is
// t = pi/2, where cos gives 6e-17 rather than 0, so red truncates to 126
// while green (3 pi/2, cos -1.8e-16) reaches 127.
TEST(CountColour, BandedKnownColours) {
  struct Row {
    std::uint32_t n, limit;
    unsigned char r, g, b;
  } rows[] = {{51, 100, 254, 254, 0},
              {26, 100, 126, 127, 254},
              {NeverEscaped, 100, 0, 0, 0},
              {70001, 140000, 254, 254, 0}};  // beyond 16 bits: not wrapped
  for (const Row& row : rows) {
    SCOPED_TRACE(row.n);
    const float nf = 0;
    unsigned char rgb[3];
    countcolourer(colourmode(), row.limit).line(&row.n, &nf, 1, rgb);
    EXPECT_EQ(row.r, rgb[0]);
    EXPECT_EQ(row.g, rgb[1]);
    EXPECT_EQ(row.b, rgb[2]);
  }
}

// Smooth colouring follows the palette through the fraction, so a sample
// and the one half a count further differ, and a whole line (longer than
// any internal chunk) colours each sample as it would alone.
TEST(CountColour, SmoothUsesFractionAndPalette) {
  colourmode mode;
  mode.smooth = true;
  mode.period = 20;
  std::string why;
  ASSERT_TRUE(ParsePalette("#000000,#ffffff", mode.palette, why)) << why;
  const std::size_t count = 2500;
  std::vector<std::uint32_t> n(count);
  std::vector<float> nf(count);
  for (std::size_t i = 0; i < count; ++i) {
    n[i] = i % 7 == 3 ? NeverEscaped : static_cast<std::uint32_t>(i % 40 + 1);
    nf[i] = static_cast<float>(i % 4) * 0.25f;
  }
  countcolourer colourer(mode, 1000);
  std::vector<unsigned char> whole(3 * count);
  colourer.line(n.data(), nf.data(), count, whole.data());
  for (std::size_t i = 0; i < count; i += 97) {
    SCOPED_TRACE(i);
    unsigned char alone[3];
    colourer.line(&n[i], &nf[i], 1, alone);
    EXPECT_EQ(alone[0], whole[3 * i]);
    EXPECT_EQ(alone[2], whole[3 * i + 2]);
  }
  // Black to white over ten counts, then back: count 10 is white, count
  // 0 black, count 5 grey; inside is black.
  const std::uint32_t ns[] = {1, 11, 6, NeverEscaped};
  const float fs[] = {0, 0, 0, 0};
  unsigned char rgb[12];
  colourer.line(ns, fs, 4, rgb);
  EXPECT_EQ(0, rgb[0]);
  EXPECT_EQ(255, rgb[3]);
  EXPECT_GT(rgb[6], 64);
  EXPECT_LT(rgb[6], 192);
  EXPECT_EQ(0, rgb[9]);
  const std::uint32_t same[] = {6, 6};
  const float half[] = {0, 0.5f};
  colourer.line(same, half, 2, rgb);
  EXPECT_LT(rgb[0], rgb[3]);
}

TEST(CountColour, MandelColouringOfEachMode) {
  colourmode banded;
  Colouring c = zv::mandel_colouring(banded, 500);
  EXPECT_EQ(Shading::Bands, c.shading);
  EXPECT_EQ("cosine:1,3,2", FormatPalette(c.palette));
  EXPECT_EQ(500, c.period);
  EXPECT_EQ(1, zv::mandel_colouring(banded, 0).period);
  colourmode smooth;
  smooth.smooth = true;
  smooth.period = 64;
  c = zv::mandel_colouring(smooth, 500);
  EXPECT_EQ(Shading::Smooth, c.shading);
  EXPECT_EQ(DefaultPalette(), c.palette);
  EXPECT_EQ(64, c.period);
  // Back from what the view files hold: each mode comes back as itself.
  EXPECT_EQ(banded, zv::mode_of(zv::mandel_colouring(banded, 500)));
  EXPECT_EQ(smooth, zv::mode_of(zv::mandel_colouring(smooth, 500)));
  Colouring other_bands;
  other_bands.shading = Shading::Bands;
  other_bands.period = 77;
  EXPECT_EQ(banded, zv::mode_of(other_bands));
  EXPECT_TRUE(zv::mode_of(Colouring{}).smooth);  // mandel's default
  // Settings of the smooth colouring do not tell banded modes apart.
  colourmode other = banded;
  other.period = 7;
  EXPECT_EQ(banded, other);
  other.smooth = true;
  EXPECT_NE(banded, other);
}

// Every offered palette is one mandel reads back from its text, the
// default comes first, and stepping through them visits each once.
TEST(CountColour, PaletteAndPeriodChoices) {
  const auto& choices = zv::palette_choices();
  ASSERT_GE(choices.size(), 4u);
  EXPECT_EQ(DefaultPalette(), choices.front().palette);
  colourmode mode;
  mode.smooth = true;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    SCOPED_TRACE(choices[i].name);
    Palette back;
    std::string why;
    ASSERT_TRUE(ParsePalette(FormatPalette(choices[i].palette), back, why));
    EXPECT_EQ(choices[i].palette, back);
    EXPECT_EQ(choices[i].palette, mode.palette);
    mode.palette = zv::next_palette(mode);
  }
  EXPECT_EQ(DefaultPalette(), mode.palette);  // round again
  std::string why;
  ASSERT_TRUE(ParsePalette("#123456,#654321", mode.palette, why));
  EXPECT_EQ(DefaultPalette(), zv::next_palette(mode));

  struct Row {
    double period, factor, want;
  } rows[] = {{128, 2, 256}, {128, 0.5, 64},        {1.5, 0.5, 1},
              {1, 0.5, 1},   {1 << 20, 2, 1 << 20}, {700000, 2, 1 << 20}};
  for (const Row& row : rows)
    EXPECT_EQ(row.want, zv::scaled_period(row.period, row.factor))
        << row.period << " x " << row.factor;
}

}  // namespace
