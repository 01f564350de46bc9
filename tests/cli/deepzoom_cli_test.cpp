// mandel render past double precision: the deep engine against the plain
// full-precision one through count files, the engine auto picks, and the
// refusals. Skipped where mandel was built without the deep engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "imageio/countfile.h"
#include "imageio/imagesink.h"
#include "tests/support/testutil.h"

#ifdef MANDEL_EXE
namespace {

using testutil::FileExists;
using testutil::ProgramResult;
using testutil::RunProgram;
using testutil::ScopedTempDir;

using Args = std::vector<std::string>;

ProgramResult Mandel(const Args& args) {
  Args all = {MANDEL_EXE};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

// Whether this mandel has the deep engine; a build without it says so.
bool DeepAvailable() {
  ScopedTempDir dir;
  ProgramResult r = Mandel({"render", "--engine", "exact", "--size", "1x1",
                            "-o", dir.File("probe.exr")});
  return r.exit == 0;
}

#define NEED_DEEP()                               \
  if (!CountFilesAvailable() || !DeepAvailable()) \
  GTEST_SKIP() << "this build has no deep engine or writes no count files"

std::vector<std::uint32_t> ReadCounts(const std::string& path) {
  CountFileReader reader;
  std::string error;
  std::vector<std::uint32_t> all;
  EXPECT_TRUE(reader.Open(path, error)) << error;
  if (!error.empty()) return all;
  std::vector<std::uint32_t> n(reader.Width());
  std::vector<float> nf(reader.Width());
  for (std::uint32_t l = 0; l < reader.Height(); ++l) {
    EXPECT_TRUE(reader.ReadLine(l, n.data(), nf.data(), error)) << error;
    all.insert(all.end(), n.begin(), n.end());
  }
  return all;
}

// At least 99% of the samples equal and every one within max(2, 1%) of the
// other's count; inside points must agree exactly.
testing::AssertionResult CloseCounts(const std::vector<std::uint32_t>& got,
                                     const std::vector<std::uint32_t>& want) {
  if (got.size() != want.size() || got.empty())
    return testing::AssertionFailure()
           << got.size() << " samples against " << want.size();
  std::size_t equal = 0;
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (got[k] == want[k]) {
      ++equal;
      continue;
    }
    const bool inside =
        got[k] == CountNeverEscaped || want[k] == CountNeverEscaped;
    const std::uint32_t diff =
        got[k] > want[k] ? got[k] - want[k] : want[k] - got[k];
    if (inside || diff > std::max<std::uint32_t>(2, want[k] / 100))
      return testing::AssertionFailure()
             << "sample " << k << ": " << got[k] << " against " << want[k];
  }
  if (equal * 100 < got.size() * 99)
    return testing::AssertionFailure()
           << equal << " of " << got.size() << " samples equal";
  return testing::AssertionSuccess()
         << equal << " of " << got.size() << " equal";
}

std::string Zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

struct Location {
  const char* name;
  Args view;  // view options, without the engine and the output
};

// Beside c = i (a Misiurewicz point) the spirals go down at every zoom, so
// one centre serves each depth.
Args NearI(int zoomDigits, const char* limit, const char* size) {
  return {"--center",
          "0." + Zeros(zoomDigits) + "1370250190037,1." + Zeros(zoomDigits) +
              "084210555",
          "--width",
          "4e-" + std::to_string(zoomDigits),
          "--limit",
          limit,
          "--size",
          size};
}

Args JuliaNearI(int zoomDigits, const char* limit, const char* size) {
  return {"--julia=0,1",
          "--center",
          "-0." + Zeros(zoomDigits) + "2113,1." + Zeros(zoomDigits) + "0571924",
          "--width",
          "4e-" + std::to_string(zoomDigits),
          "--limit",
          limit,
          "--size",
          size};
}

const char* const T1Re =
    "-1.759817130804847813610825010561798238243999999999999999999800";
const char* const T1Im =
    "-0.012593310799749865383746631843264858450340000000000000000000";

// The deep engine draws what the plain full-precision iteration draws, the
// anti-aliasing samples included, with the same count files.
TEST(DeepZoomCli, DeepMatchesExact) {
  NEED_DEEP();
  const Args t1 = {"--center", std::string(T1Re) + "," + T1Im,
                   "--width",  "4e-14",
                   "--limit",  "4036"};
  auto with = [](Args a, const Args& more) {
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const Location locations[] = {
      {"T1", with(t1, {"--size", "24x24"})},
      {"T1 wide, 2x2 samples", with(t1, {"--size", "16x9", "--samples", "2"})},
      {"1e-300", NearI(300, "20000", "12x12")},
      {"1e-2000", NearI(2000, "20000", "6x6")},
      {"Julia 1e-300", JuliaNearI(300, "20000", "10x10")},
  };
  ScopedTempDir dir;
  for (const Location& loc : locations) {
    SCOPED_TRACE(loc.name);
    for (const char* engine : {"deep", "exact"}) {
      Args args = {"render", "--engine", engine, "-o",
                   dir.File(std::string(engine) + ".exr")};
      args.insert(args.end(), loc.view.begin(), loc.view.end());
      ProgramResult r = Mandel(args);
      ASSERT_EQ(r.exit, 0) << engine << ": " << r.err;
    }
    std::vector<std::uint32_t> deep = ReadCounts(dir.File("deep.exr"));
    EXPECT_TRUE(CloseCounts(deep, ReadCounts(dir.File("exact.exr"))));
    // A view whose every sample escapes at once, or never, would pass
    // without showing anything.
    EXPECT_NE(std::min_element(deep.begin(), deep.end()),
              std::max_element(deep.begin(), deep.end()));
  }
}

// The deep engine's samples do not depend on how the lines are shared out.
TEST(DeepZoomCli, SameFilesForAnyThreadCount) {
  NEED_DEEP();
  ScopedTempDir dir;
  const Args view = {"render",
                     "--engine",
                     "deep",
                     "--center",
                     std::string(T1Re) + "," + T1Im,
                     "--width",
                     "4e-14",
                     "--limit",
                     "4036",
                     "--size",
                     "20x14",
                     "--samples",
                     "2"};
  for (const char* threads : {"1", "3"}) {
    Args args = view;
    args.insert(
        args.end(),
        {"--threads", threads, "-o", dir.File(std::string(threads) + ".png"),
         "--counts", dir.File(std::string(threads) + ".exr")});
    ProgramResult r = Mandel(args);
    ASSERT_EQ(r.exit, 0) << r.err;
  }
  EXPECT_EQ(testutil::ReadBytes(dir.File("1.png")),
            testutil::ReadBytes(dir.File("3.png")));
  EXPECT_EQ(testutil::ReadBytes(dir.File("1.exr")),
            testutil::ReadBytes(dir.File("3.exr")));
}

// Where doubles are good, the deep engine computes the double engine's
// points: a sample out of place (axes, offsets, the corner) shows at once
// on views this coarse, where neighbouring samples differ. The limits stay
// low: near the boundary at high counts doubles part from exact iteration
// themselves.
TEST(DeepZoomCli, DeepSamplesTheDoubleEnginesPoints) {
  NEED_DEEP();
  const Args views[] = {
      {"--center", "-0.7454,0.1102", "--width", "0.004", "--size", "31x20",
       "--limit", "300", "--samples", "3"},
      {"--corner=-0.76,0.09", "--width", "0.03", "--size", "17x26", "--limit",
       "300"},
      {"--julia=-0.8,0.156", "--center", "0.1,0.2", "--width", "0.5", "--size",
       "20x13", "--limit", "300", "--samples", "2"},
  };
  ScopedTempDir dir;
  for (const Args& view : views) {
    SCOPED_TRACE(view[1]);
    for (const char* engine : {"deep", "double"}) {
      Args args = {"render", "--engine", engine, "-o",
                   dir.File(std::string(engine) + ".exr")};
      args.insert(args.end(), view.begin(), view.end());
      ProgramResult r = Mandel(args);
      ASSERT_EQ(r.exit, 0) << engine << ": " << r.err;
    }
    EXPECT_TRUE(CloseCounts(ReadCounts(dir.File("deep.exr")),
                            ReadCounts(dir.File("double.exr"))));
  }
}

// auto keeps doubles while the sample spacing is at least 2^-40 of the
// larger of 1 and the centre's magnitude; --verbose names the engine.
TEST(DeepZoomCli, AutoPicksTheEngineBySampleSpacing) {
  NEED_DEEP();
  struct Row {
    Args view;
    const char* engine;
  };
  // 2^-40 = 9.09e-13; 100 samples a side.
  const Row rows[] = {
      {{"--width", "1e-10", "--size", "100x10"}, "double"},
      {{"--width", "8e-11", "--size", "100x10"}, "deep"},
      {{"--width", "1e-10", "--size", "50x5", "--samples", "2"}, "double"},
      {{"--width", "8e-11", "--size", "50x5", "--samples", "2"}, "deep"},
      {{"--center", "-1000,0", "--width", "1e-7", "--size", "100x10"},
       "double"},
      {{"--center", "-1000,0", "--width", "8e-8", "--size", "100x10"}, "deep"},
      {{"--center", "0,-1000", "--width", "8e-8", "--size", "100x10"}, "deep"},
      {{"--width", "1e-400", "--size", "10x10"}, "deep"},
  };
  ScopedTempDir dir;
  for (const Row& row : rows) {
    Args args = {"render", "--verbose", "--limit",
                 "10",     "-o",        dir.File("a.exr")};
    args.insert(args.end(), row.view.begin(), row.view.end());
    ProgramResult r = Mandel(args);
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err.rfind(std::string("mandel: engine ") + row.engine, 0), 0u)
        << row.view[1] << " " << row.view[3] << ": " << r.err;
  }
}

TEST(DeepZoomCli, Refusals) {
  NEED_DEEP();
  ScopedTempDir dir;
  const std::string out = dir.File("x.png");
  // A point inside at the largest limit: its reference outgrows the
  // budget, found out before any file is opened.
  const Args inside = {
      "render",  "--engine", "deep",    "--center",   "-0.1,0",
      "--width", "1e-300",   "--limit", "4294967295", "--size",
      "4x4",     "-o",       out,       "--counts",   dir.File("x.exr")};
  Args args = inside;
  args.insert(args.end(), {"--max-memory", "1"});
  ProgramResult r = Mandel(args);
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err.rfind("mandel: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("MiB"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(out));
  EXPECT_FALSE(FileExists(dir.File("x.exr")));

  args = inside;
  args.insert(args.end(), {"--max-memory", "0"});
  r = Mandel(args);
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--max-memory"), std::string::npos) << r.err;

  r = Mandel({"render", "--engine", "fast", "-o", out});
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--engine fast"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(out));
}

}  // namespace
#endif
