// mandel as a user runs it: pictures, count files, saved views, and the
// equality with setrender that shows both draw through the same pipeline.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "colour/colouring.h"
#include "core/escape.h"
#include "imageio/countfile.h"
#include "imageio/imagesink.h"
#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

// A build without the PNG and OpenEXR libraries has a mandel that says so;
// these tests are for the formats themselves.
#define NEED_FORMATS()                           \
  if (!PngAvailable() || !CountFilesAvailable()) \
  GTEST_SKIP() << "this build writes neither PNG nor count files"

using testutil::FileExists;
using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;

// Byte equality of two files' contents, reporting the first difference
// rather than both files.
testing::AssertionResult SameBytes(const std::string& got,
                                   const std::string& want) {
  if (got == want) return testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return testing::AssertionFailure()
         << "sizes " << got.size() << " and " << want.size()
         << ", first difference at offset " << at;
}

std::vector<std::string> Mandel(std::vector<std::string> args) {
  args.insert(args.begin(), MANDEL_EXE);
  return args;
}

// Runs mandel and expects success without a word on either stream.
void Ok(const std::vector<std::string>& args) {
  ProgramResult r = RunProgram(Mandel(args));
  std::string line;
  for (const std::string& a : args) line += " " + a;
  ASSERT_EQ(r.exit, 0) << line << "\n" << r.err;
  EXPECT_EQ(r.err, "") << line;
  EXPECT_EQ(r.out, "") << line;
}

// The setrender command line RE IM W WW HH LIMIT and mandel's equivalent.
struct SetView {
  const char *re, *im, *w, *ww, *hh, *limit;
};

std::vector<std::string> MandelFor(const SetView& v, const std::string& out) {
  return {"render",
          "--palette",
          "cosine:3,2,1",
          "--period",
          v.limit,
          "--bands",
          std::string("--corner=") + v.re + "," + v.im,
          "--width",
          v.w,
          "--size",
          std::string(v.ww) + "x" + v.hh,
          "--limit",
          v.limit,
          "--bailout",
          "2",
          "-o",
          out};
}

const SetView SetViews[] = {
    {"-2", "-2", "4", "64", "48", "100"},
    {"-0.7454", "0.1102", "0.004", "61", "37", "1000"},  // padded rows
    {"-0.75", "0.05", "0.1", "50", "50", "500"},
    {"-1.5", "-0.0001", "0.0003", "1", "7", "3000"},  // one pixel a line
    {"-2", "-1", "3", "9", "1", "50"},                // one line
    {"0.26", "-0.002", "0.004", "33", "20", "65535"},
};

TEST(MandelCli, BmpIsSetrendersPictureByteForByte) {
  ScopedTempDir dir;
  for (const SetView& v : SetViews) {
    SCOPED_TRACE(std::string(v.re) + " " + v.im + " " + v.w);
    ProgramResult set = RunProgram(
        {SETRENDER_EXE, v.re, v.im, v.w, v.ww, v.hh, v.limit, dir.File("set")});
    ASSERT_EQ(set.exit, 0) << set.err;
    Ok(MandelFor(v, dir.File("mandel.bmp")));
    std::string want = ReadBytes(dir.File("set.bmp"));
    ASSERT_GT(want.size(), 54u);
    EXPECT_TRUE(SameBytes(ReadBytes(dir.File("mandel.bmp")), want));
  }
}

// The saved view pair: setrender -f colours what mandel computed into the
// picture mandel draws itself, and mandel colours the pair into the same.
TEST(MandelCli, SavedViewPairIsReadBySetrenderAndByMandel) {
  NEED_FORMATS();
  ScopedTempDir dir;
  for (const SetView& v : {SetViews[1], SetViews[3]}) {
    std::vector<std::string> args = MandelFor(v, dir.File("direct.bmp"));
    args.push_back("--save-view");
    args.push_back(dir.File("saved"));
    Ok(args);
    ASSERT_TRUE(FileExists(dir.File("saved.mni")));
    ProgramResult set = RunProgram(
        {SETRENDER_EXE, "-f", dir.File("saved"), dir.File("fromset")});
    ASSERT_EQ(set.exit, 0) << set.err;
    std::string want = ReadBytes(dir.File("direct.bmp"));
    EXPECT_TRUE(SameBytes(ReadBytes(dir.File("fromset.bmp")), want));
    Ok({"colour", dir.File("saved"), "--bands", "--palette", "cosine:3,2,1",
        "--period", v.limit, "-o", dir.File("again.bmp")});
    EXPECT_TRUE(SameBytes(ReadBytes(dir.File("again.bmp")), want));
  }
}

struct Golden {
  const char* name;
  std::vector<std::string> args;
};

const std::vector<Golden>& Goldens() {
  static const std::vector<Golden> goldens = {
      {"banded", {"--bands", "--limit", "200", "--period", "24"}},
      {"smooth",
       {"--center=-0.7436,0.1318", "--width", "0.004", "--limit", "2000",
        "--period", "40"}},
      {"gradient",
       {"--center=-0.16,1.035", "--width", "0.05", "--limit", "800",
        "--gradient", "#000000,#ff4000,#ffff80,#2040ff", "--period", "30",
        "--inside", "#102030"}},
      {"antialiased",
       {"--samples", "3", "--center=-0.748,0.1", "--width", "0.02", "--limit",
        "1500", "--palette", "cosine:3,2,1", "--period", "150"}},
      {"julia",
       {"--julia=-0.8,0.156", "--center", "0,0", "--width", "3.2", "--limit",
        "300", "--period", "20"}},
  };
  return goldens;
}

TEST(MandelCli, GoldenPictures) {
  NEED_FORMATS();
  ScopedTempDir dir;
  for (const Golden& g : Goldens()) {
    SCOPED_TRACE(g.name);
    std::vector<std::string> args = {"render", "--size", "48x36"};
    args.insert(args.end(), g.args.begin(), g.args.end());
    args.push_back("-o");
    args.push_back(dir.File(std::string(g.name) + ".png"));
    Ok(args);
    testutil::ExpectSameAsGolden(
        ReadBytes(dir.File(std::string(g.name) + ".png")),
        std::string("mandel/") + g.name + ".png");
  }
}

// Every output path of one view gives the same picture: a file, standard
// output, any number of threads, the view read back from the picture, and
// the count file coloured again.
TEST(MandelCli, RoundTripsGiveTheSamePicture) {
  NEED_FORMATS();
  ScopedTempDir dir;
  const std::vector<std::string> view = {"--center=-0.7454,0.1128",
                                         "--width",
                                         "0.0008",
                                         "--size",
                                         "40x30",
                                         "--limit",
                                         "1200",
                                         "--samples",
                                         "2",
                                         "--period",
                                         "90"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = {"render"};
    args.insert(args.end(), view.begin(), view.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  Ok(with({"--threads", "1", "-o", dir.File("a.png"), "--counts",
           dir.File("a.exr")}));
  const std::string want = ReadBytes(dir.File("a.png"));
  ASSERT_GT(want.size(), 100u);

  Ok(with({"--threads", "3", "-o", dir.File("b.png")}));
  EXPECT_TRUE(SameBytes(ReadBytes(dir.File("b.png")), want));

  ProgramResult out = RunProgram(Mandel(with({"-o", "-"})));
  EXPECT_EQ(out.exit, 0);
  EXPECT_TRUE(SameBytes(out.out, want));

  Ok({"render", "--view", dir.File("a.png"), "-o", dir.File("c.png")});
  EXPECT_TRUE(SameBytes(ReadBytes(dir.File("c.png")), want));
  Ok({"render", "--view", dir.File("a.exr"), "-o", dir.File("d.png")});
  EXPECT_TRUE(SameBytes(ReadBytes(dir.File("d.png")), want));

  Ok({"colour", dir.File("a.exr"), "-o", dir.File("e.png")});
  EXPECT_TRUE(SameBytes(ReadBytes(dir.File("e.png")), want));

  // New colours from the counts equal a new render with those colours.
  const std::vector<std::string> recolour = {
      "--bands",  "--gradient", "#ffffff,#000000,#ff0000",
      "--period", "7",          "--inside",
      "#204060",  "--depth",    "16"};
  std::vector<std::string> args = with({"-o", dir.File("f.png")});
  args.insert(args.end(), recolour.begin(), recolour.end());
  Ok(args);
  args = {"colour", dir.File("a.exr"), "-o", dir.File("g.png")};
  args.insert(args.end(), recolour.begin(), recolour.end());
  Ok(args);
  EXPECT_TRUE(
      SameBytes(ReadBytes(dir.File("g.png")), ReadBytes(dir.File("f.png"))));
  EXPECT_TRUE(ReadBytes(dir.File("g.png")) != want);

  // A view file, and options beside it that override it.
  testutil::WriteBytes(dir.File("v.view"),
                       "# seahorse valley\n"
                       "center = -0.7454 0.1128\n"
                       "width = 0.0008\n"
                       "size = 40 30\n"
                       "limit = 1200\n"
                       "samples = 2\n"
                       "period = 90\n");
  Ok({"render", "--view", dir.File("v.view"), "-o", dir.File("h.png")});
  EXPECT_TRUE(SameBytes(ReadBytes(dir.File("h.png")), want));
  Ok({"render", "--view", dir.File("v.view"), "--limit", "50", "-o",
      dir.File("i.png")});
  Ok(with({"--limit", "50", "-o", dir.File("j.png")}));
  EXPECT_TRUE(
      SameBytes(ReadBytes(dir.File("i.png")), ReadBytes(dir.File("j.png"))));
  EXPECT_TRUE(ReadBytes(dir.File("i.png")) != want);
}

// Each way of colouring renders, and the same options re-colour its count
// file to the same picture: one sample or several, bands or smooth, over
// a gradient or a cosine palette, into 8 and 16 bits.
TEST(MandelCli, EveryColouringRendersAndRecolours) {
  NEED_FORMATS();
  ScopedTempDir dir;
  int k = 0;
  for (const char* samples : {"1", "2"})
    for (const char* shading : {"--bands", "--smooth"})
      for (const char* palette : {"cosine:3,2,1", "#102040,#ffe080,#200000"})
        for (const char* depth : {"8", "16"}) {
          const char* kind = palette[0] == '#' ? "--gradient" : "--palette";
          const std::vector<std::string> colours = {
              shading, "--depth", depth, kind, palette, "--samples", samples};
          const std::string name = dir.File(std::to_string(k++));
          std::vector<std::string> render = {
              "render",   "--center=-0.7454,0.1128",
              "--width",  "0.002",
              "--size",   "40x30",
              "--limit",  "600",
              "-o",       name + ".png",
              "--counts", name + ".exr"};
          render.insert(render.end(), colours.begin(), colours.end());
          Ok(render);
          std::vector<std::string> colour = {"colour", name + ".exr", "-o",
                                             name + "c.png"};
          colour.insert(colour.end(), colours.begin(), colours.end());
          // --samples belongs to the render; the count file holds them.
          colour.resize(colour.size() - 2);
          Ok(colour);
          EXPECT_TRUE(
              SameBytes(ReadBytes(name + "c.png"), ReadBytes(name + ".png")))
              << samples << " " << shading << " " << palette << " " << depth;
        }
}

// The counts mandel stores are the plain definition at each sample's point.
TEST(MandelCli, CountsAreThePlainDefinition) {
  NEED_FORMATS();
  ScopedTempDir dir;
  struct Row {
    std::vector<std::string> args;
    double radius;
    bool julia;
  } rows[] = {
      {{"--corner=-2,-1.5", "--width", "3", "--size", "23x17", "--limit", "100",
        "--bailout", "2"},
       2,
       false},
      {{"--julia=-0.8,0.156", "--center", "0,0", "--width", "3", "--size",
        "19x11", "--limit", "70000", "--bailout", "1000"},
       1000,
       true},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"render"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back("-o");
    args.push_back(dir.File("c.exr"));
    Ok(args);
    CountFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.File("c.exr"), error)) << error;
    ASSERT_EQ(reader.Bias(), 1u);
    const std::uint32_t w = reader.Width(), h = reader.Height();
    // The geometry of a view, worked out here rather than taken from the
    // program: pixel centres on the edges of the rectangle.
    const bool corner = !row.julia;
    const double width = 3;
    const double lenIm = (double(h) * width) / double(w);
    const double minRe = corner ? -2 : 0 - width * 0.5;
    const double minIm =
        corner ? -1.5 + (width - lenIm) * 0.5 : 0 - lenIm * 0.5;
    std::vector<std::uint32_t> n(w);
    std::vector<float> nf(w);
    for (std::uint32_t l = 0; l < h; ++l) {
      ASSERT_TRUE(reader.ReadLine(l, n.data(), nf.data(), error)) << error;
      const double im = minIm + (double(l) * lenIm) / double(h - 1);
      for (std::uint32_t m = 0; m < w; ++m) {
        const double re = minRe + (double(m) * width) / double(w - 1);
        EscapeResult e =
            row.julia ? Escape(re, im, -0.8, 0.156, row.radius, reader.Limit())
                      : Escape(re, im, re, im, row.radius, reader.Limit());
        CountSample want = ToCountSample(e, row.radius);
        ASSERT_EQ(n[m], want.n) << l << "," << m;
        ASSERT_EQ(std::memcmp(&nf[m], &want.nf, sizeof(float)), 0);
      }
    }
  }
}

TEST(MandelCli, InfoDescribesCountsInEveryForm) {
  NEED_FORMATS();
  ScopedTempDir dir;
  // Far outside the radius: every point escapes at once, count 0.
  Ok({"render", "--center", "10,10", "--width", "1", "--size", "4x3", "--limit",
      "5", "--bailout", "2", "--bands", "-o", dir.File("out.exr"),
      "--save-view", dir.File("out")});
  ProgramResult r = RunProgram(Mandel({"info", dir.File("out.exr")}));
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string stats =
      "samples: 12\n"
      "escaped: 12 (100.00%)\n"
      "counts: 0 to 0\n"
      "percentiles: 1% 0, 10% 0, 50% 0, 90% 0, 99% 0\n"
      "suggested period: 1\n";
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
            dir.File("out.exr") + ": count file, 4 x 3 samples, limit 5\n");
  EXPECT_NE(r.out.find("view:\n  center = 10 10\n"), std::string::npos);
  EXPECT_NE(r.out.find("  size = 4 3\n"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - stats.size()), stats);

  // The pair cannot tell count 0 from the inside; all of it is inside.
  r = RunProgram(Mandel({"info", dir.File("out")}));
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("samples: 12\nescaped: 0 (0.00%)\n"), std::string::npos)
      << r.out;

  // A PNG's counts are computed again from its view.
  Ok({"render", "--center", "0,0", "--width", "0.2", "--size", "5x5", "--limit",
      "50", "-o", dir.File("inside.png")});
  r = RunProgram(Mandel({"info", dir.File("inside.png")}));
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("samples: 25\nescaped: 0 (0.00%)\n"), std::string::npos)
      << r.out;
}

// Bad input files: a clear message, status 1, and no output at all.
TEST(MandelCli, MalformedInputsAreRefusedWithoutOutput) {
  NEED_FORMATS();
  ScopedTempDir dir;
  Ok({"render", "--size", "8x6", "--limit", "50", "-o", dir.File("good.png"),
      "--counts", dir.File("good.exr")});
  const std::string png = ReadBytes(dir.File("good.png"));
  const std::string exr = ReadBytes(dir.File("good.exr"));
  testutil::WriteBytes(dir.File("unknown.view"), "center = 0 0\nzoom = 3\n");
  testutil::WriteBytes(dir.File("zero.view"), "size = 0 10\n");
  testutil::WriteBytes(dir.File("cut.png"), png.substr(0, 20));
  testutil::WriteBytes(dir.File("cut.exr"), exr.substr(0, exr.size() / 2));
  testutil::WriteBytes(dir.File("text.exr"), "not a count file\n");
  const std::string out = dir.File("out.png");
  struct Row {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{"render", "--view", dir.File("unknown.view"), "-o", out},
       "mandel: " + dir.File("unknown.view") + ":2: unknown key \"zoom\"\n"},
      {{"render", "--view", dir.File("missing.view"), "-o", out},
       "mandel: " + dir.File("missing.view") + ": No such file or directory\n"},
      {{"render", "--view", dir.File("cut.png"), "-o", out},
       "mandel: " + dir.File("cut.png") + ": truncated PNG file\n"},
      {{"colour", dir.File("cut.png"), "-o", out},
       "mandel: " + dir.File("cut.png") +
           ": a PNG holds no counts; render its view with 'mandel render "
           "--view " +
           dir.File("cut.png") + "'\n"},
      {{"colour", dir.File("missing"), "-o", out}, ""},
      {{"colour", dir.File("cut.exr"), "-o", out}, ""},
      {{"info", dir.File("cut.exr")}, ""},
      {{"info", dir.File("text.exr")}, ""},
  };
  for (const Row& row : rows) {
    std::string line;
    for (const std::string& a : row.args) line += " " + a;
    SCOPED_TRACE(line);
    ProgramResult r = RunProgram(Mandel(row.args));
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    if (!row.err.empty()) {
      EXPECT_EQ(r.err, row.err);
    } else {
      // The readers' own wording; it must still be one line naming the file.
      EXPECT_EQ(r.err.rfind("mandel: " + row.args[1], 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_FALSE(FileExists(out));
  }
  // A refused command line writes nothing either, not even the count file
  // the line also asked for.
  ProgramResult r = RunProgram(Mandel(
      {"render", "--size", "8x0", "-o", out, "--counts", dir.File("c.exr")}));
  EXPECT_EQ(r.exit, 2);
  EXPECT_FALSE(FileExists(out));
  EXPECT_FALSE(FileExists(dir.File("c.exr")));
}

}  // namespace
#endif  // MANDEL_EXE
