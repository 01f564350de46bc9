#include "imageio/viewpair.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/mandelbrot.h"
#include "core/testviews.h"
#include "imageio/testfiles.h"
#include "setrender/render.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;

// The engine's counts of every line, bottom first.
std::vector<std::vector<std::uint16_t>> Compute(const MandArea& a) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  std::vector<std::vector<std::uint16_t>> lines;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    engine.SetLine(l);
    engine.Calculation();
    const unsigned short* b = engine.GetBuf();
    lines.emplace_back(b, b + a.dotsX);
  }
  return lines;
}

bool Save(const std::string& name, const MandArea& a,
          const std::vector<std::vector<std::uint16_t>>& lines, bool topFirst,
          std::string& error) {
  ViewPairWriter w;
  if (!w.Open(name, a, error)) return false;
  for (std::uint64_t i = 0; i < a.dotsY; ++i) {
    std::uint64_t l = topFirst ? a.dotsY - 1 - i : i;
    if (!w.WriteLine(l, lines[l].data(), error)) return false;
  }
  return w.Finish(error);
}

// What the engine itself saves for the same counts: the files must be the
// very bytes SaveInfo and SaveData write.
std::string EngineInfo(const MandArea& a) {
  Mandelbrot engine(Mandelbrot::ReducedBuffer);
  engine.SetArea(a);
  std::ostringstream os;
  engine.SaveInfo(os);
  return os.str();
}

TEST(ViewPair, WrittenInEitherOrderAsTheEngineSavesIt) {
  const MandArea views[] = {
      View(-2, -1.5, 4, 3, 16, 12, 50),
      View(-0.7454, 0.1129, 0.0005, 0.0003, 15, 9, 2000),
      View(0.1, -0.1, 1e-3, 1e-3, 1, 1, 70000),
  };
  for (const MandArea& a : views) {
    for (bool topFirst : {false, true}) {
      SCOPED_TRACE(testing::Message() << a.dotsX << "x" << a.dotsY
                                      << (topFirst ? " top first" : ""));
      ScopedTempDir dir;
      auto lines = Compute(a);
      std::string error;
      ASSERT_TRUE(Save(dir.File("v"), a, lines, topFirst, error)) << error;
      EXPECT_EQ(ReadBytes(dir.File("v.mni")), EngineInfo(a));
      std::string data;
      for (const auto& line : lines) {
        for (std::uint16_t c : line) {
          data += static_cast<char>(c & 0xff);
          data += static_cast<char>(c >> 8);
        }
      }
      EXPECT_EQ(ReadBytes(dir.File("v.mnd")), data);
      EXPECT_EQ(DirEntries(dir.path()),
                (std::vector<std::string>{"v.mnd", "v.mni"}));

      // Back through our reader, lines top first as a PNG wants them.
      ViewPairReader r;
      ASSERT_TRUE(r.Open(dir.File("v"), error)) << error;
      EXPECT_EQ(r.Area().minRe, a.minRe);
      EXPECT_EQ(r.Area().lenIm, a.lenIm);
      EXPECT_EQ(r.Area().limit, a.limit);
      std::vector<std::uint16_t> got(a.dotsX);
      for (std::uint64_t l = a.dotsY; l-- > 0;) {
        ASSERT_TRUE(r.ReadLine(l, got.data(), error)) << error;
        EXPECT_EQ(got, lines[l]) << "line " << l;
      }
    }
  }
}

// setrender -f colours the saved pair exactly as it colours the same view
// given by numbers: the pair carries the view and the counts unchanged.
TEST(ViewPair, SetrenderColoursTheSavedPairLikeTheViewByNumbers) {
  struct Row {
    std::vector<std::string> numbers;  // real imag length W H limit
  } rows[] = {
      {{"-2", "-1.5", "4", "16", "12", "50"}},
      {{"-0.7454", "0.1130", "0.0005", "15", "9", "2000"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.numbers[0]);
    ScopedTempDir dir;
    auto run = [&](std::vector<std::string> args) {
      args.insert(args.begin(), "setrender");
      std::vector<char*> argv;
      for (std::string& s : args) argv.push_back(&s[0]);
      std::ostringstream err;
      int status = RenderMain(static_cast<int>(argv.size()), argv.data(), err,
                              false);
      EXPECT_EQ(err.str(), "");
      return status;
    };
    std::vector<std::string> args = row.numbers;
    args.push_back(dir.File("direct"));
    ASSERT_EQ(run(args), 0);

    // The view as setrender's first form builds it.
    MandArea a;
    a.dotsX = std::stoull(row.numbers[3]);
    a.dotsY = std::stoull(row.numbers[4]);
    a.lenRe = std::stod(row.numbers[2]);
    a.lenIm = (static_cast<double>(a.dotsY) * a.lenRe) /
              static_cast<double>(a.dotsX);
    a.minIm = std::stod(row.numbers[1]) + (a.lenRe - a.lenIm) * 0.5;
    a.minRe = std::stod(row.numbers[0]);
    a.limit = std::stoull(row.numbers[5]);
    std::string error;
    ASSERT_TRUE(Save(dir.File("saved"), a, Compute(a), true, error)) << error;
    ASSERT_EQ(run({"-f", dir.File("saved"), dir.File("coloured")}), 0);
    EXPECT_EQ(ReadBytes(dir.File("coloured.bmp")),
              ReadBytes(dir.File("direct.bmp")));
  }
}

TEST(ViewPair, EngineResultsAreStoredInTheSixteenBitContract) {
  ScopedTempDir dir;
  MandArea a = View(-2, -2, 4, 4, 4, 1, 100);
  EscapeResult line[4] = {{0, 3, 0}, {7, 2, 2}, {NeverEscaped, 0, 0},
                          {70000, 9, 9}};
  ViewPairWriter w;
  std::string error;
  ASSERT_TRUE(w.Open(dir.File("e.mni"), a, error)) << error;
  ASSERT_TRUE(w.WriteLine(0, line, error)) << error;
  ASSERT_TRUE(w.Finish(error)) << error;
  // 0, 7, never escaped as 0, 70000 modulo 65536 = 4464 = 0x1170.
  EXPECT_EQ(ReadBytes(dir.File("e.mnd")),
            std::string("\0\0\x07\0\0\0\x70\x11", 8));
}

TEST(ViewPair, NamesAsSetrenderReadsThem) {
  struct Row {
    const char* name;
    const char* base;
  } rows[] = {
      {"view", "view"},         {"view.mni", "view"},
      {"dir/v.MND", "dir/v"},   {"a.b/view", "a.b/view"},
      {"view.png", ""},         {"view.x.mni", ""},
      {"-", ""},                {".mni", ""},
      {"dir/", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ViewPairWriter::BaseName(r.name), r.base);
  }
}

TEST(ViewPair, RefusedViewsWriteNothing) {
  MandArea julia = View(-2, -2, 4, 4, 4, 4, 100, true);
  struct Row {
    const char* name;
    MandArea area;
    const char* message;
  } rows[] = {
      {"j", julia,
       "j: a Julia view cannot be saved as .mni/.mnd (the info file holds no "
       "Julia constant)"},
      {"v.png", View(-2, -2, 4, 4, 4, 4, 100),
       "v.png: a saved view needs a name without extension, as setrender -f "
       "reads it"},
      {"z", View(-2, -2, 4, 4, 0, 4, 100), "z: view size out of range"},
      {"big", View(-2, -2, 4, 4, 4, 0x80000000ull, 100),
       "big: view size out of range"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ScopedTempDir dir;
    ViewPairWriter w;
    std::string error;
    EXPECT_FALSE(w.Open(dir.File(r.name), r.area, error));
    EXPECT_EQ(error, dir.File(r.message));
    EXPECT_TRUE(DirEntries(dir.path()).empty());
  }
}

TEST(ViewPair, LinesOutOfOrderOrMissingLeaveTheOldFiles) {
  MandArea a = View(-2, -2, 4, 4, 2, 3, 10);
  std::uint16_t counts[2] = {1, 2};
  struct Row {
    std::vector<std::uint64_t> lines;
    bool writeFails;
  } rows[] = {
      {{0, 2}, true}, {{2, 0}, true}, {{1}, true}, {{0, 1}, false},
      {{2, 1}, false}, {{0, 1, 2, 2}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.lines.size() << " lines from "
                                    << r.lines[0]);
    ScopedTempDir dir;
    testutil::WriteBytes(dir.File("v.mni"), "old info");
    ViewPairWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(dir.File("v"), a, error)) << error;
    bool failed = false;
    for (std::uint64_t l : r.lines) failed |= !w.WriteLine(l, counts, error);
    EXPECT_EQ(failed, r.writeFails);
    EXPECT_FALSE(w.Finish(error));
    EXPECT_EQ(ReadBytes(dir.File("v.mni")), "old info");
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"v.mni"});
  }
}

TEST(ViewPair, ReaderRefusesBrokenPairs) {
  const std::string info = "-2\n-2\n4\n4\n3\n2\n100\n";
  const std::string data(12, '\1');
  struct Row {
    const char* what;
    std::string mni, mnd;
    const char* file;  // the one the message names
    const char* why;
  } rows[] = {
      {"no info", "", "", "v", ""},
      {"short info", "-2\n-2\n4\n4\n3\n", data, "v.mni", "invalid view info"},
      {"text in info", "-2\n-2\nfour\n4\n3\n2\n100\n", data, "v.mni",
       "invalid view info"},
      {"zero width", "-2\n-2\n4\n4\n0\n2\n100\n", data, "v.mni",
       "view size out of range"},
      {"no data", info, "", "v", ""},
      {"short data", info, data.substr(0, 11), "v.mnd", "data file too short"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ScopedTempDir dir;
    if (!r.mni.empty()) testutil::WriteBytes(dir.File("v.mni"), r.mni);
    if (!r.mnd.empty()) testutil::WriteBytes(dir.File("v.mnd"), r.mnd);
    ViewPairReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(dir.File("v"), error));
    const std::string prefix = dir.File(r.file) + ": ";
    EXPECT_EQ(error.substr(0, prefix.size()), prefix);
    if (r.why[0] != '\0') {
      EXPECT_EQ(error, prefix + r.why);
    }
  }
}

TEST(ViewPair, ReaderTakesUpperCaseNamesAndLinesInAnyOrder) {
  ScopedTempDir dir;
  testutil::WriteBytes(dir.File("v.MNI"), "-2 -2 4 4 2 3 100");
  testutil::WriteBytes(dir.File("v.MND"), std::string("\1\0\2\0\3\0\4\0\5\0\6\1", 12));
  ViewPairReader r;
  std::string error;
  ASSERT_TRUE(r.Open(dir.File("v"), error)) << error;
  struct Row {
    std::uint64_t line;
    std::uint16_t a, b;
  } rows[] = {{2, 5, 0x0106}, {0, 1, 2}, {1, 3, 4}, {2, 5, 0x0106}};
  for (const Row& row : rows) {
    std::uint16_t got[2];
    ASSERT_TRUE(r.ReadLine(row.line, got, error)) << error;
    EXPECT_EQ(got[0], row.a);
    EXPECT_EQ(got[1], row.b);
  }
  std::uint16_t got[2];
  EXPECT_FALSE(r.ReadLine(3, got, error));
}

}  // namespace
