#include "viewer/picturefile.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/escape.h"
#include "imageio/countfile.h"
#include "imageio/pngtext.h"
#include "imageio/viewpair.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

ViewSpec deep_view() {
  ViewSpec v;
  v.re = "-0.743643887037158704752191506114774";
  v.im = "0.131825904205311970493132056385139";
  v.width = "4.5e-31";
  v.sizeX = 6;
  v.sizeY = 4;
  v.limit = 20000;
  v.bailout = 2;
  return v;
}

// A picture whose every byte differs from its neighbours, so a row written
// from the wrong place or with the wrong stride shows.
std::vector<unsigned char> test_picture(std::uint32_t w, std::uint32_t h,
                                        std::size_t stride) {
  std::vector<unsigned char> rgb(stride * h, 0xEE);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < 3 * w; ++x)
      rgb[y * stride + x] = static_cast<unsigned char>(y * 37 + x * 11);
  return rgb;
}

TEST(PictureFile, SavedPngOpensAsItsView) {
  ScopedTempDir dir;
  const std::string path = dir.File("view.png");
  const ViewSpec view = deep_view();
  const std::size_t stride = 3 * 6 + 5;  // padded rows, as a pixbuf has
  const auto rgb = test_picture(6, 4, stride);
  std::string error;
  ASSERT_TRUE(zv::save_picture(path, rgb.data(), 6, 4, stride,
                               FormatViewSpec(view), &error))
      << error;
  // Nothing but the picture is left in the directory.
  EXPECT_EQ(std::vector<std::string>{"view.png"},
            testutil::ListDirectory(dir.path()));
  std::string text;
  ASSERT_TRUE(ReadPngViewTextFile(path, text, error)) << error;
  EXPECT_EQ(FormatViewSpec(view), text);

  zv::openedfile opened;
  ASSERT_TRUE(zv::open_file(path, &opened, &error)) << error;
  EXPECT_FALSE(opened.has_counts);
  EXPECT_EQ(view, opened.view);
  EXPECT_TRUE(opened.n.empty());
}

TEST(PictureFile, FailedSaveKeepsTheOldFile) {
  ScopedTempDir dir;
  const std::string path = dir.File("old.png");
  WriteBytes(path, "previous bytes");
  const auto rgb = test_picture(2, 2, 6);
  std::string error;
  // No picture yet: refused before anything is opened.
  EXPECT_FALSE(zv::save_picture(path, nullptr, 2, 2, 6, "", &error));
  EXPECT_NE(std::string::npos, error.find("old.png")) << error;
  EXPECT_FALSE(zv::save_picture(path, rgb.data(), 0, 2, 6, "", &error));
  EXPECT_EQ("previous bytes", ReadBytes(path));
  // A directory that does not exist.
  const std::string missing = dir.File("no/such/dir.png");
  EXPECT_FALSE(zv::save_picture(missing, rgb.data(), 2, 2, 6, "", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(testutil::FileExists(missing));
}

TEST(PictureFile, ViewFileOpensWithoutCounts) {
  ScopedTempDir dir;
  const std::string path = dir.File("deep.view");
  WriteBytes(path, "# by hand\r\ncenter = -0.5 0.25\r\nwidth = 1e-40\r\n");
  zv::openedfile opened;
  std::string error;
  ASSERT_TRUE(zv::open_file(path, &opened, &error)) << error;
  EXPECT_FALSE(opened.has_counts);
  EXPECT_EQ("-0.5", opened.view.re);
  EXPECT_EQ("0.25", opened.view.im);
  EXPECT_EQ("1e-40", opened.view.width);
}

// Counts come back top row first whichever order the file holds, with the
// raster of N x N samples per pixel shown at its full sample size.
TEST(PictureFile, CountFileOpensWithItsCounts) {
  for (bool bottom_first : {true, false}) {
    SCOPED_TRACE(bottom_first);
    ScopedTempDir dir;
    const std::string path = dir.File("counts.exr");
    ViewSpec view = deep_view();
    view.samples = 2;  // raster 12 x 8
    const std::uint32_t w = 12, h = 8;
    CountFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, w, h, view.limit, FormatViewSpec(view),
                            bottom_first, error))
        << error;
    for (std::uint32_t i = 0; i < h; ++i) {
      const std::uint32_t line = bottom_first ? i : h - 1 - i;  // 0: bottom
      std::vector<std::uint32_t> n(w);
      std::vector<float> nf(w);
      for (std::uint32_t x = 0; x < w; ++x) {
        n[x] = x == 3 ? NeverEscaped : 100 * line + x + 1;
        nf[x] = static_cast<float>(x) / 16;
      }
      ASSERT_TRUE(writer.WriteLine(n.data(), nf.data(), error)) << error;
    }
    ASSERT_TRUE(writer.Finish(error)) << error;

    zv::openedfile opened;
    ASSERT_TRUE(zv::open_file(path, &opened, &error)) << error;
    ASSERT_TRUE(opened.has_counts);
    EXPECT_EQ(w, opened.view.sizeX);
    EXPECT_EQ(h, opened.view.sizeY);
    EXPECT_EQ(1u, opened.view.samples);
    EXPECT_EQ(view.re, opened.view.re);
    ASSERT_EQ(w * h, opened.n.size());
    ASSERT_EQ(w * h, opened.nf.size());
    // Top row (line h - 1) first.
    EXPECT_EQ(100 * (h - 1) + 1, opened.n[0]);
    EXPECT_EQ(NeverEscaped, opened.n[3]);
    EXPECT_EQ(100u * 0 + 5 + 1, opened.n[(h - 1) * w + 5]);
    EXPECT_EQ(5.0f / 16, opened.nf[(h - 1) * w + 5]);
  }
}

TEST(PictureFile, PairOpensCentredOnItsRectangle) {
  ScopedTempDir dir;
  MandArea area;
  area.minRe = -2;
  area.minIm = -1.25;
  area.lenRe = 3;
  area.lenIm = 2.5;
  area.dotsX = 6;
  area.dotsY = 5;
  area.limit = 300;
  ViewPairWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(dir.File("saved.mni"), area, error)) << error;
  for (std::uint64_t line = 0; line < 5; ++line) {
    std::vector<std::uint16_t> counts(6);
    for (std::uint16_t x = 0; x < 6; ++x)
      counts[x] = x == 0 ? 0 : static_cast<std::uint16_t>(10 * line + x);
    ASSERT_TRUE(writer.WriteLine(line, counts.data(), error)) << error;
  }
  ASSERT_TRUE(writer.Finish(error)) << error;

  // Either file of the pair, in either case of extension, opens it.
  for (const char* name : {"saved.mni", "saved.mnd"}) {
    SCOPED_TRACE(name);
    zv::openedfile opened;
    ASSERT_TRUE(zv::open_file(dir.File(name), &opened, &error)) << error;
    ASSERT_TRUE(opened.has_counts);
    EXPECT_EQ(Anchor::Center, opened.view.anchor);
    EXPECT_EQ("-0.5", opened.view.re);
    EXPECT_EQ("0", opened.view.im);
    EXPECT_EQ("3", opened.view.width);
    EXPECT_EQ(300u, opened.view.limit);
    ASSERT_EQ(30u, opened.n.size());
    EXPECT_EQ(NeverEscaped, opened.n[0]);  // 0 in the pair: inside
    // Top row is line 4; bottom row line 0.
    const std::uint32_t top = opened.n[1], bottom = opened.n[4 * 6 + 1];
    EXPECT_NE(top, bottom);
    EXPECT_LT(bottom, top);
  }
}

// Whatever is wrong, the caller's file stays as it was and the message
// names the file.
TEST(PictureFile, BadFilesAreRefusedAndChangeNothing) {
  ScopedTempDir dir;
  // A PNG without a view: the writer leaves the text out when empty.
  const auto rgb = test_picture(2, 2, 6);
  std::string error;
  ASSERT_TRUE(
      zv::save_picture(dir.File("plain.png"), rgb.data(), 2, 2, 6, "", &error))
      << error;
  const std::string png = ReadBytes(dir.File("plain.png"));
  WriteBytes(dir.File("cut.png"), png.substr(0, 20));
  WriteBytes(dir.File("bad.view"), "center = 1\n");
  WriteBytes(dir.File("zoom.view"), "zoom = 2\n");
  WriteBytes(dir.File("junk.exr"),
             std::string("\x76\x2f\x31\x01", 4) + std::string(40, 'x'));
  WriteBytes(dir.File("lonely.mni"), "-2\n-2\n4\n4\n10\n10\n100\n");
  WriteBytes(dir.File("big.view"), std::string((1 << 20) + 10, '#'));
  struct Row {
    const char* name;
    const char* says;
  } rows[] = {
      {"missing.view", "No such file"},
      {"plain.png", "holds no view"},
      {"cut.png", "truncated"},
      {"bad.view", "bad.view:1"},
      {"zoom.view", "zoom"},
      {"junk.exr", "junk.exr"},
      {"lonely.mni", "lonely"},
      {"big.view", "too large"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    zv::openedfile kept;
    kept.view.width = "7";
    kept.n = {42};
    std::string why;
    EXPECT_FALSE(zv::open_file(dir.File(row.name), &kept, &why));
    EXPECT_NE(std::string::npos, why.find(row.says)) << why;
    EXPECT_EQ("7", kept.view.width);
    EXPECT_EQ(std::vector<std::uint32_t>{42}, kept.n);
  }
}

}  // namespace
