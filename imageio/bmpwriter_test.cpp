#include "imageio/bmpwriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cosinepalette.h"
#include "core/mandelbrot.h"
#include "imageio/testfiles.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;

// setrender's first form: a square of side len with lower-left corner
// (re, im), centred vertically for the pixel aspect.
MandArea SquareView(double re, double im, double len, std::uint64_t x,
                    std::uint64_t y, std::uint64_t limit) {
  MandArea a;
  a.dotsX = x;
  a.dotsY = y;
  a.lenRe = len;
  a.lenIm = (static_cast<double>(y) * len) / static_cast<double>(x);
  a.minIm = im + (a.lenRe - a.lenIm) * 0.5;
  a.minRe = re;
  a.limit = limit;
  return a;
}

// Renders a through the engine and the cosine palette into the sink, the
// way the five programs colour a line.
bool Render(const MandArea& a, double r, double g, double b, ImageSink& sink,
            std::string& error) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  CosinePalette palette;
  palette.Build(a.limit, a.limit, r, g, b);
  std::vector<unsigned char> row(sink.RowBytes(), 0);
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.Calculation();
    const unsigned short* counts = engine.GetBuf();
    for (std::uint64_t m = 0; m < a.dotsX; ++m) {
      PaletteColour c = palette.Colour(counts[m], 0);
      row[3 * m] = c.blue;
      row[3 * m + 1] = c.green;
      row[3 * m + 2] = c.red;
    }
    if (!sink.WriteRow(row.data(), error)) return false;
  }
  return sink.Finish(error);
}

TEST(BmpWriter, WritesSetrendersPicturesByteForByte) {
  struct Row {
    MandArea view;
    double r, g, b;
    const char* golden;
  } rows[] = {
      {SquareView(-2, -1.5, 4, 16, 12, 50), 3, 2, 1, "setrender/small.bmp"},
      {SquareView(-2, -1.5, 4, 16, 12, 50), 1, 2, 3,
       "setrender/small-rates.bmp"},
      {SquareView(-0.7454, 0.1130, 0.0005, 15, 9, 2000), 3, 2, 1,
       "setrender/zoom-oddwidth.bmp"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.golden);
    ScopedTempDir dir;
    BmpWriter sink;
    std::string error;
    ASSERT_TRUE(sink.Open(dir.File("pic.bmp"), row.view.dotsX,
                          row.view.dotsY, error))
        << error;
    EXPECT_TRUE(sink.BottomFirst());
    EXPECT_EQ(sink.Layout(), PixelLayout::Bgr8);
    ASSERT_TRUE(Render(row.view, row.r, row.g, row.b, sink, error)) << error;
    EXPECT_EQ(ReadBytes(dir.File("pic.bmp")),
              ReadBytes(testutil::DataFile(row.golden)));
  }
}

TEST(BmpWriter, SizeLimitsOfTheHeader) {
  struct Row {
    std::uint64_t w, h;
    bool fits;
  } rows[] = {
      {0, 0, true},
      {0x7fffffff, 0, true},
      {0x7fffffff, 1, false},  // a 6 GB row
      {0x80000000, 1, false},
      {1, 0x80000000, false},
      // 54 + rows of 12 bytes: the last height that keeps bfSize in 32 bits.
      {4, (0xffffffffull - 54) / 12, true},
      {4, (0xffffffffull - 54) / 12 + 1, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.w << "x" << r.h);
    EXPECT_EQ(BmpWriter::Fits(r.w, r.h), r.fits);
  }
  ScopedTempDir dir;
  BmpWriter sink;
  std::string error;
  EXPECT_FALSE(sink.Open(dir.File("big.bmp"), 0x80000000ull, 1, error));
  EXPECT_EQ(error, dir.File("big.bmp") + ": picture too large for BMP");
  EXPECT_FALSE(testutil::FileExists(dir.File("big.bmp")));
}

TEST(BmpWriter, EmptyViewIsTheHeaderOnly) {
  ScopedTempDir dir;
  BmpWriter sink;
  std::string error;
  ASSERT_TRUE(sink.Open(dir.File("e.bmp"), 0, 7, error)) << error;
  ASSERT_TRUE(sink.Finish(error)) << error;
  std::string bytes = ReadBytes(dir.File("e.bmp"));
  ASSERT_EQ(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(22, 4), std::string("\x07\0\0\0", 4));  // biHeight
}

// Nothing half-written ever appears under the name: an old file keeps its
// bytes until the new one is complete, and an abandoned or short picture
// leaves it (and no stray file) behind.
TEST(BmpWriter, NamedOutputAppearsOnlyWhenComplete) {
  enum Ending { Abandon, TooFewRows, Destroy };
  for (Ending ending : {Abandon, TooFewRows, Destroy}) {
    SCOPED_TRACE(ending);
    ScopedTempDir dir;
    const std::string name = dir.File("pic.bmp");
    testutil::WriteBytes(name, "old bytes");
    {
      BmpWriter sink;
      std::string error;
      ASSERT_TRUE(sink.Open(name, 2, 2, error)) << error;
      std::vector<unsigned char> row(sink.RowBytes(), 7);
      ASSERT_TRUE(sink.WriteRow(row.data(), error)) << error;
      EXPECT_EQ(ReadBytes(name), "old bytes");
      if (ending == Abandon) sink.Abandon();
      if (ending == TooFewRows) {
        EXPECT_FALSE(sink.Finish(error));
        EXPECT_EQ(error, name + ": picture incomplete");
      }
    }
    EXPECT_EQ(ReadBytes(name), "old bytes");
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"pic.bmp"});
  }
}

TEST(BmpWriter, RefusesRowsBeyondTheHeight) {
  ScopedTempDir dir;
  BmpWriter sink;
  std::string error;
  ASSERT_TRUE(sink.Open(dir.File("p.bmp"), 1, 1, error));
  unsigned char row[4] = {1, 2, 3, 0};
  ASSERT_TRUE(sink.WriteRow(row, error));
  EXPECT_FALSE(sink.WriteRow(row, error));
  ASSERT_TRUE(sink.Finish(error)) << error;
  EXPECT_EQ(ReadBytes(dir.File("p.bmp")).substr(54), std::string("\1\2\3\0", 4));
}

TEST(BmpWriter, UnwritableTargetIsReported) {
  ScopedTempDir dir;
  BmpWriter sink;
  std::string error;
  const std::string name = dir.File("missing/pic.bmp");
  EXPECT_FALSE(sink.Open(name, 1, 1, error));
  EXPECT_EQ(error.rfind(name + ": ", 0), 0u) << error;
}

}  // namespace
