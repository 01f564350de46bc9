#include "setrender/render.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cosinepalette.h"
#include "core/mandelbrot.h"
#include "core/testviews.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;

struct RenderRun {
  int exit;
  std::string err;
};

RenderRun Render(std::vector<std::string> args) {
  args.insert(args.begin(), "setrender");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::ostringstream err;
  int exit = RenderMain(static_cast<int>(args.size()), argv.data(), err, false);
  return {exit, err.str()};
}

// Saves a computed view as name.mni and name.mnd.
void SaveView(const std::string& name, const MandArea& a) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  std::ofstream info(name + ".mni", std::ios::binary);
  engine.SaveInfo(info);
  std::ofstream data(name + ".mnd", std::ios::binary);
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.Calculation();
    engine.SaveData(data);
  }
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) |
         static_cast<unsigned char>(b[at + 1]) << 8 |
         static_cast<unsigned char>(b[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

TEST(SetRender, DefaultViewFile) {
  ScopedTempDir dir;
  RenderRun r = Render({"-2", "-2", "4", "400", "400", "100", dir.File("out")});
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  std::string bmp = ReadBytes(dir.File("out.bmp"));
  ASSERT_EQ(bmp.size(), 480054u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Le32(bmp, 2), 480054u);
  EXPECT_EQ(Le32(bmp, 18), 400u);
  EXPECT_EQ(Le32(bmp, 22), 400u);
  EXPECT_EQ(Le32(bmp, 34), 480000u);
  EXPECT_EQ(Le32(bmp, 38), 144000u);
  // The first row is the bottom edge, im = -2: its middle pixel (0, -2)
  // lies on the escape circle and is black, while the row above the middle
  // of the picture crosses the set's outer bands.
  EXPECT_EQ(bmp.substr(54 + 200 * 3, 3), std::string(3, '\0'));
}

TEST(SetRender, SmallViewsMatchGoldenFiles) {
  struct Row {
    std::vector<std::string> args;
    const char* golden;
  } rows[] = {
      {{"-2", "-1.5", "4", "16", "12", "50"}, "setrender/small.bmp"},
      {{"-2", "-1.5", "4", "16", "12", "50", "1", "2", "3"},
       "setrender/small-rates.bmp"},
      {{"-0.7454", "0.1130", "0.0005", "15", "9", "2000"},
       "setrender/zoom-oddwidth.bmp"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.golden);
    ScopedTempDir dir;
    std::vector<std::string> args = row.args;
    args.push_back(dir.File("pic"));
    ASSERT_EQ(Render(args).exit, 0);
    testutil::ExpectSameAsGolden(ReadBytes(dir.File("pic.bmp")), row.golden);
  }
}

TEST(SetRender, SavedViewColoursLikeTheSameViewByNumbers) {
  // 400 x 300 over a side of 4 puts the picture at minIm = -1.5 + 0.5.
  ScopedTempDir dir;
  ASSERT_EQ(Render({"-2", "-1.5", "4", "40", "30", "100", dir.File("numbers")})
                .exit,
            0);
  SaveView(dir.File("view"), View(-2, -1, 4, 3, 40, 30, 100));
  RenderRun r = Render({"-f", dir.File("view"), dir.File("saved")});
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(dir.File("saved.bmp")), ReadBytes(dir.File("numbers.bmp")));
}

// The number form computes its counts on the workers, piece by piece, from
// the 32-bit engine: its pictures must be those of the 16-bit counts that
// Calculation saves, for widths across the pieces and counts past 2^16.
TEST(SetRender, ComputedViewsColourLikeSavedCalculations) {
  struct Row {
    const char* name;
    double re, im, len;
    std::uint64_t x, y, limit;
  } rows[] = {
      {"whole set, several pieces a line", -2, -1.5, 4, 1100, 7, 300},
      {"boundary zoom", -0.7454, 0.1130, 0.0005, 513, 9, 3000},
      {"counts past 2^16 near the cusp", 0.25 + 1.5e-9, -1e-9, 2e-9, 9, 3,
       200000},
      {"wider than the kept positions", -2, -0.5, 4, (1u << 20) + 3, 2, 20},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ScopedTempDir dir;
    auto text = [](double v) {
      std::ostringstream os;
      os.precision(17);
      os << v;
      return os.str();
    };
    ASSERT_EQ(Render({text(r.re), text(r.im), text(r.len), std::to_string(r.x),
                      std::to_string(r.y), std::to_string(r.limit),
                      dir.File("numbers")})
                  .exit,
              0);
    // The view the number form builds: the height follows the aspect.
    double lenIm = (static_cast<double>(r.y) * r.len) / static_cast<double>(r.x);
    SaveView(dir.File("view"),
             View(r.re, r.im + (r.len - lenIm) * 0.5, r.len, lenIm, r.x, r.y,
                  r.limit));
    ASSERT_EQ(Render({"-f", dir.File("view"), dir.File("saved")}).exit, 0);
    EXPECT_TRUE(ReadBytes(dir.File("saved.bmp")) ==
                ReadBytes(dir.File("numbers.bmp")));
  }
}

TEST(SetRender, ReLimitBlackensCountsAboveIt) {
  ScopedTempDir dir;
  SaveView(dir.File("view"), View(-0.8, 0, 0.3, 0.3, 30, 30, 200));
  ASSERT_EQ(Render({"-f", dir.File("view"), "-l", "50", dir.File("pic")}).exit, 0);
  std::string bmp = ReadBytes(dir.File("pic.bmp"));
  std::string counts = ReadBytes(dir.File("view.mnd"));
  ASSERT_EQ(counts.size(), 30u * 30 * 2);
  CosinePalette period50;
  period50.Build(200, 50, 3, 2, 1);
  int above = 0, below = 0;
  for (std::size_t l = 0; l < 30; ++l) {
    for (std::size_t m = 0; m < 30; ++m) {
      std::size_t i = (l * 30 + m) * 2;
      unsigned count = static_cast<unsigned char>(counts[i]) |
                       static_cast<unsigned char>(counts[i + 1]) << 8;
      std::string pixel = bmp.substr(54 + l * 92 + m * 3, 3);
      PaletteColour c = period50.Colour(count, 0);
      if (count > 50) {
        ++above;
        EXPECT_EQ(pixel, std::string(3, '\0')) << count;
      } else {
        ++below;
        EXPECT_EQ(pixel, std::string({char(c.blue), char(c.green), char(c.red)}))
            << count;
      }
    }
  }
  EXPECT_GT(above, 0);
  EXPECT_GT(below, 0);
}

TEST(SetRender, RefusalsAndMissingFiles) {
  ScopedTempDir dir;
  MandArea a;
  a.dotsX = 8;
  a.dotsY = 4;
  SaveView(dir.File("good"), a);
  SaveView(dir.File("short"), a);
  std::string data = ReadBytes(dir.File("short.mnd"));
  testutil::WriteBytes(dir.File("short.mnd"), data.substr(0, data.size() - 1));
  testutil::WriteBytes(dir.File("broken.mni"), "-2\n-2\n4\n4\n8\n");
  testutil::WriteBytes(dir.File("huge.mni"), "0 0 1 1 4000000000 2 100\n");
  testutil::WriteBytes(dir.File("onlyinfo.mni"), ReadBytes(dir.File("good.mni")));
  const std::string usage =
      "Mandelbrot BMP output.\n"
      "1) setrender real imag length dots limit [RGB-rate] file[.bmp]\n"
      "2) setrender -f file[.mni|.mnd] [-l re-limit] [R G B-rate] file[.bmp]\n";
  std::string out = dir.File("out");
  struct Row {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{}, usage},
      {{"-f", "x"}, usage},
      {{"-2", "-2", "4", "40", "40", "out"}, "Too few arguments.\n" + usage},
      {{"-f", dir.File("missing"), out},
       dir.File("missing") + ": File can't open.\n"},
      {{"-f", dir.File("onlyinfo"), out},
       dir.File("onlyinfo") + ": File can't open.\n"},
      {{"-f", dir.File("broken"), out},
       dir.File("broken.mni") + ": Invalid view info.\n"},
      {{"-f", dir.File("short"), out},
       dir.File("short.mnd") + ": Data file too short.\n"},
      {{"-f", dir.File("good.mni"), out},
       dir.File("good.mni") + ": Data file too short.\n"},
      {{"-f", dir.File("huge"), out},
       "4000000000x2: Image too large for BMP.\n"},
      {{"-2", "-2", "4", "-5", "400", "100", out}, "-5: Invalid pixel count.\n"},
      {{"-2", "-2", "4", "400", "0x80000000", "100", out},
       "400x2147483647: Image too large for BMP.\n"},
      {{"-2", "-2", "4", "400", "400", "-1", out}, "-1: Invalid limit.\n"},
      {{"-2", "-2", "4", "100000000", "100000000", "100", out},
       "100000000x100000000: Image too large for BMP.\n"},
      {{"-2", "-2", "4", "4", "4", "10", dir.File("no/such/dir/out")},
       dir.File("no/such/dir/out.bmp") + ": File can't open.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    RenderRun r = Render(row.args);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, row.err);
    EXPECT_FALSE(testutil::FileExists(out + ".bmp"));
  }
}

}  // namespace

namespace {

// Views without pixels are header-only pictures; the widest and tallest of
// them must not size a line of gigabytes or walk 2^31 empty lines first.
TEST(SetRender, ViewsWithoutPixelsGiveAHeaderOnly) {
  struct Row {
    const char* dotsX;
    const char* dotsY;
    std::int32_t width, height;
  } rows[] = {
      {"2147483647", "0", 2147483647, 0},
      {"0", "2147483647", 0, 2147483647},
      {"0", "0", 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.dotsX << "x" << r.dotsY);
    ScopedTempDir dir;
    RenderRun run = Render({"0", "0", "1", r.dotsX, r.dotsY, "10", dir.File("pic")});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    std::string bmp = ReadBytes(dir.File("pic.bmp"));
    ASSERT_EQ(bmp.size(), 54u);
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bmp, 18)), r.width);
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bmp, 22)), r.height);
  }
}

}  // namespace
