// Posters in bands: mandel render --rows --part, then mandel join, must give
// the very file the poster rendered in one piece is; bands that do not fit
// are refused with nothing written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imageio/imagesink.h"
#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

using testutil::ListDirectory;
using testutil::ProgramResult;
using testutil::ReadBytes;
using testutil::RunOptions;
using testutil::RunProgram;
using testutil::ScopedTempDir;

std::vector<std::string> Mandel(std::vector<std::string> args) {
  args.insert(args.begin(), MANDEL_EXE);
  return args;
}

std::vector<std::string> With(std::vector<std::string> a,
                              const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void Ok(const std::vector<std::string>& args) {
  ProgramResult r = RunProgram(Mandel(args));
  std::string line;
  for (const std::string& a : args) line += " " + a;
  ASSERT_EQ(r.exit, 0) << line << "\n" << r.err;
  EXPECT_EQ(r.err, "") << line;
}

// Renders the view as T bands of nearly equal height into dir, named so
// their names do not sort in row order; returns the part names.
std::vector<std::string> RenderBands(const ScopedTempDir& dir,
                                     const std::vector<std::string>& view,
                                     unsigned height, unsigned bands) {
  std::vector<std::string> parts;
  for (unsigned k = 0; k < bands; ++k) {
    const unsigned first = k * height / bands;
    const unsigned last = (k + 1) * height / bands - 1;
    const std::string part =
        dir.File("band-" + std::to_string(bands - k) + ".part");
    Ok(With({"render"},
            With(view,
                 {"--rows", std::to_string(first) + ":" + std::to_string(last),
                  "--part", part})));
    parts.push_back(part);
  }
  return parts;
}

TEST(PosterCli, BandsJoinIntoTheOnePiecePicture) {
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG";
  struct Row {
    std::vector<std::string> view;
    unsigned bands;
  } rows[] = {
      {{"--size", "333x217"}, 3},
      {{"--size", "333x217", "--samples", "2", "--bands"}, 7},
      {{"--size", "333x217", "--depth", "16", "--julia=-0.8,0.156"}, 7},
      {{"--size", "17x5", "--center=-0.1,0.9", "--width", "0.3"}, 5},
      {{"--size", "40x9"}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.view[1] + " in " + std::to_string(row.bands));
    ScopedTempDir dir;
    Ok(With({"render"}, With(row.view, {"-o", dir.File("whole.png")})));
    const unsigned height = static_cast<unsigned>(
        std::stoul(row.view[1].substr(row.view[1].find('x') + 1)));
    std::vector<std::string> parts =
        RenderBands(dir, row.view, height, row.bands);
    Ok(With({"join"}, With(parts, {"-o", dir.File("joined.png")})));
    const std::string whole = ReadBytes(dir.File("whole.png"));
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(ReadBytes(dir.File("joined.png")), whole);
    // To the standard output, as a pipe would take it.
    RunOptions toFile;
    toFile.stdout_path = dir.File("piped.png");
    ProgramResult r =
        RunProgram(Mandel(With({"join"}, With(parts, {"-o", "-"}))), toFile);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.File("piped.png")), whole);
  }
}

TEST(PosterCli, BandsThatDoNotFitAreRefusedWithNothingWritten) {
  if (!PngAvailable()) GTEST_SKIP() << "this build writes no PNG";
  ScopedTempDir dir;
  const std::vector<std::string> view = {"--size", "31x20", "--limit", "300"};
  auto band = [&](const std::string& name, const std::string& rows,
                  const std::vector<std::string>& more = {}) {
    Ok(With({"render"}, With(view, With(more, {"--rows", rows, "--part",
                                               dir.File(name)}))));
    return name;
  };
  band("top", "0:9");
  band("low", "10:19");
  band("short", "0:8");
  band("long", "0:10");
  band("tall", "10:20", {"--size", "31x21"});
  band("deeper", "10:19", {"--limit", "301"});
  band("smooth16", "10:19", {"--depth", "16"});
  testutil::WriteBytes(dir.File("cut"),
                       ReadBytes(dir.File("low")).substr(0, 500));
  std::string damaged = ReadBytes(dir.File("low"));
  damaged[damaged.size() / 2] ^= 1;
  testutil::WriteBytes(dir.File("damaged"), damaged);
  const std::vector<std::string> before = ListDirectory(dir.path());

  const std::string d = dir.path() + "/";
  const std::string lowBytes = std::to_string(ReadBytes(d + "low").size());
  struct Row {
    std::vector<std::string> parts;  // names in dir
    std::string err;                 // after "mandel: "
  } rows[] = {
      {{"short", "low"},
       "row 9 is in no part (between " + d + "short and " + d + "low)"},
      {{"long", "low"}, d + "long and " + d + "low both hold row 10"},
      {{"top", "tall"},
       d + "tall: a band of a 31x21 picture, but " + d + "top is of 31x20"},
      {{"top", "deeper"},
       d + "deeper: a band of another view or colouring than " + d + "top"},
      {{"top", "smooth16"},
       d + "smooth16: 16 bits per channel, but " + d + "top has 8"},
      {{"top", "cut"},
       d + "cut: truncated part file (500 bytes, the header says " + lowBytes +
           ")"},
      {{"top", "damaged"},
       d + "damaged: damaged part file (checksum mismatch)"},
      {{"top", "absent"}, d + "absent: No such file or directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    std::vector<std::string> args = {"join"};
    for (const std::string& p : row.parts) args.push_back(d + p);
    args.push_back("-o");
    args.push_back(d + "poster.png");
    ProgramResult r = RunProgram(Mandel(args));
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "mandel: " + row.err + "\n");
    EXPECT_EQ(ListDirectory(dir.path()), before);
  }
}

TEST(PosterCli, RenderRefusesBandsItCannotWrite) {
  ScopedTempDir dir;
  struct Row {
    std::vector<std::string> args;
    const char* err;
  } rows[] = {
      {{"--rows", "0:3", "-o", "x.png"},
       "--rows needs --part FILE for the band"},
      {{"--rows", "0:3", "--part", "p", "-o", "x.png"},
       "--part writes the band alone; leave out -o, --counts and --save-view"},
      {{"--part", "p", "--counts", "x.exr"},
       "--part writes the band alone; leave out -o, --counts and --save-view"},
      {{"--rows", "0:20", "--part", "p"},
       "--rows 0:20: expected A:B, the first and last row with 0 <= A <= B "
       "<= 19 (rows count from 0 at the top)"},
      {{"--rows", "5:4", "--part", "p"},
       "--rows 5:4: expected A:B, the first and last row with 0 <= A <= B "
       "<= 19 (rows count from 0 at the top)"},
      {{"--rows", "5", "--part", "p"},
       "--rows 5: expected A:B, the first and last row with 0 <= A <= B "
       "<= 19 (rows count from 0 at the top)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.err);
    RunOptions in;
    in.cwd = dir.path();
    ProgramResult r =
        RunProgram(Mandel(With({"render", "--size", "31x20"}, row.args)), in);
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.err, std::string("mandel: ") + row.err +
                         "\nTry 'mandel render --help' for more "
                         "information.\n");
    EXPECT_TRUE(ListDirectory(dir.path()).empty());
  }
}

}  // namespace
#endif
