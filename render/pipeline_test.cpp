#include "render/pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "colour/antialias.h"
#include "colour/colouring.h"
#include "imageio/countfile.h"
#include "imageio/viewpair.h"
#include "render/stats.h"
#include "tests/support/testutil.h"

namespace {

// A picture sink that keeps its rows in memory and records how it ended.
class MemorySink : public ImageSink {
 public:
  MemorySink(PixelLayout layout, std::size_t rowBytes, bool bottomFirst)
      : layout(layout), rowBytes(rowBytes), bottomFirst(bottomFirst) {}
  PixelLayout Layout() const override { return layout; }
  std::size_t RowBytes() const override { return rowBytes; }
  bool BottomFirst() const override { return bottomFirst; }
  bool WriteRow(const void* row, std::string& error) override {
    if (failAt >= 0 && rows.size() == static_cast<std::size_t>(failAt)) {
      error = "disk full";
      return false;
    }
    rows.emplace_back(static_cast<const char*>(row), rowBytes);
    return true;
  }
  bool Finish(std::string&) override {
    finished = true;
    return true;
  }
  void Abandon() override { abandoned = true; }

  PixelLayout layout;
  std::size_t rowBytes;
  bool bottomFirst;
  int failAt = -1;
  std::vector<std::string> rows;
  bool finished = false, abandoned = false;
};

MandArea View(double minRe, double minIm, double len, std::uint64_t w,
              std::uint64_t h, std::uint64_t limit) {
  MandArea a;
  a.minRe = minRe;
  a.minIm = minIm;
  a.lenRe = len;
  a.lenIm = (static_cast<double>(h) * len) / static_cast<double>(w);
  a.dotsX = w;
  a.dotsY = h;
  a.limit = limit;
  return a;
}

EscapeRule Rule(const MandArea& a, double radius) {
  EscapeRule rule;
  rule.radius = radius;
  rule.limit = static_cast<std::uint32_t>(a.limit);
  rule.julia = a.julia;
  rule.cr = a.juliaRe;
  rule.ci = a.juliaIm;
  return rule;
}

// Every sample line against the definition, one point at a time, at the
// places the anti-aliasing offsets give.
TEST(ComputedLines, SamplesAreThePlainDefinitionAtTheirPoints) {
  struct Row {
    const char* name;
    MandArea area;
    bool julia;
    unsigned samples;
    double radius;
  } rows[] = {
      {"whole set", View(-2, -1.5, 3, 13, 9, 60), false, 1, 2},
      {"boundary, smooth radius", View(-0.7454, 0.1128, 0.0004, 7, 5, 900),
       false, 3, 256},
      {"julia", View(-1.6, -1, 3.2, 8, 6, 200), true, 2, 1e3},
      {"one pixel", View(-0.5, -0.5, 1, 1, 1, 100), false, 4, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MandArea a = row.area;
    a.julia = row.julia;
    a.juliaRe = -0.8;
    a.juliaIm = 0.156;
    DoubleLineSource source(Rule(a, row.radius));
    ComputedLines lines(a, row.samples, row.radius, source);
    const unsigned N = row.samples;
    std::vector<std::uint32_t> n(a.dotsX * N);
    std::vector<float> nf(a.dotsX * N);
    for (std::uint64_t L = 0; L < a.dotsY * N; ++L) {
      std::string error;
      ASSERT_TRUE(lines.Line(L, SampleLine{n.data(), nf.data()}, error));
      const unsigned j = L % N;
      const double im = SampleIm(a, L / N, SampleDy(j, N));
      for (std::uint64_t k = 0; k < a.dotsX * N; ++k) {
        const unsigned i = k % N;
        const double re = SampleRe(a, k / N, SampleDx(i, j, N));
        EscapeResult e =
            a.julia ? Escape(re, im, a.juliaRe, a.juliaIm, row.radius, a.limit)
                    : Escape(re, im, re, im, row.radius, a.limit);
        CountSample want = ToCountSample(e, row.radius);
        ASSERT_EQ(n[k], want.n) << "line " << L << " sample " << k;
        ASSERT_EQ(std::memcmp(&nf[k], &want.nf, sizeof(float)), 0)
            << "line " << L << " sample " << k;
      }
    }
  }
}

// The banded shortcut must store the very N the count files hold.
TEST(ComputedLines, CountsWithoutFractionsAreTheCountFileCounts) {
  const std::uint32_t counts[] = {
      0, 1, 2, 999, 65535, 65536, 0xFFFFFFFDu, 0xFFFFFFFEu, NeverEscaped};
  for (std::uint32_t count : counts) {
    SCOPED_TRACE(count);
    EscapeResult e{count, count == NeverEscaped ? 0.0 : 300.0, 4.0};
    EXPECT_EQ(CountOnly(e), ToCountSample(e, 256).n);
  }
  const MandArea a = View(-1.8, -0.3, 0.6, 17, 5, 500);
  DoubleLineSource source(Rule(a, 256));
  ComputedLines full(a, 2, 256, source), bare(a, 2, 256, source, false);
  std::vector<std::uint32_t> n1(34), n2(34);
  std::vector<float> f1(34), f2(34);
  std::string error;
  for (std::uint64_t L = 0; L < 10; ++L) {
    ASSERT_TRUE(full.Line(L, SampleLine{n1.data(), f1.data()}, error));
    ASSERT_TRUE(bare.Line(L, SampleLine{n2.data(), f2.data()}, error));
    EXPECT_EQ(n1, n2);
    EXPECT_EQ(f2, std::vector<float>(34, 0.0f));
  }
}

struct Rendered {
  bool ok;
  std::string error;
  std::vector<std::string> rows;
  bool finished, abandoned;
};

Rendered RenderToMemory(const MandArea& a, unsigned samples, double radius,
                        PixelLayout layout, bool bottomFirst, unsigned threads,
                        const SampleLines* lines = nullptr) {
  DoubleLineSource source(Rule(a, radius));
  ComputedLines computed(a, samples, radius, source);
  Colouring colouring;
  Colourer colourer(colouring, radius, static_cast<std::uint32_t>(a.limit));
  PixelColourer pixels(colourer, static_cast<std::uint32_t>(a.limit), samples);
  const std::size_t bytes = layout == PixelLayout::Rgb16 ? 6 : 3;
  // A BMP-like padding of three bytes shows whether it is cleared.
  MemorySink sink(layout, a.dotsX * bytes + 3, bottomFirst);
  RenderJob job;
  job.width = a.dotsX;
  job.height = a.dotsY;
  job.samples = samples;
  job.lines = lines ? lines : &computed;
  job.colourer = &pixels;
  job.picture = &sink;
  job.threads = threads;
  Rendered r;
  r.ok = RunRender(job, r.error);
  r.rows = sink.rows;
  r.finished = sink.finished;
  r.abandoned = sink.abandoned;
  return r;
}

TEST(RunRender, RowsDependOnNeitherThreadsNorOrder) {
  const MandArea a = View(-0.75, 0.05, 0.08, 37, 23, 400);
  for (unsigned samples : {1u, 3u}) {
    for (PixelLayout layout : {PixelLayout::Rgb8, PixelLayout::Rgb16}) {
      SCOPED_TRACE(samples);
      Rendered one = RenderToMemory(a, samples, 256, layout, false, 1);
      ASSERT_TRUE(one.ok) << one.error;
      ASSERT_EQ(one.rows.size(), a.dotsY);
      EXPECT_TRUE(one.finished);
      for (unsigned threads : {2u, 3u, 8u}) {
        Rendered many = RenderToMemory(a, samples, 256, layout, false, threads);
        EXPECT_EQ(many.rows, one.rows) << threads << " threads";
      }
      Rendered up = RenderToMemory(a, samples, 256, layout, true, 3);
      ASSERT_EQ(up.rows.size(), one.rows.size());
      for (std::size_t k = 0; k < up.rows.size(); ++k)
        EXPECT_EQ(up.rows[k], one.rows[one.rows.size() - 1 - k]) << k;
      for (const std::string& row : one.rows)
        EXPECT_EQ(row.substr(row.size() - 3), std::string(3, '\0'));
    }
  }
}

// A source that gives only whole lines, as count files and view pairs do.
class WholeLines : public SampleLines {
 public:
  explicit WholeLines(const SampleLines& lines) : lines(lines) {}
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override {
    return lines.Line(line, out, error);
  }

 private:
  const SampleLines& lines;
};

// Rows made a piece at a time (no sink keeps the samples) against rows made
// from whole sample lines, on rows of several pieces with a short last one;
// and pieces of a line against the same values of the whole line, across
// the engine's own chunks.
TEST(RunRender, PiecesOfARowMakeTheWholeRow) {
  struct Row {
    unsigned samples;
    std::uint64_t width;
  } rows[] = {{1, 17000}, {3, 4000}, {5, 1500}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.samples);
    const MandArea a = View(-1.9, -0.02, 2.6, row.width, 3, 300);
    DoubleLineSource source(Rule(a, 256));
    ComputedLines computed(a, row.samples, 256, source);
    WholeLines whole(computed);
    for (PixelLayout layout : {PixelLayout::Rgb8, PixelLayout::Rgb16}) {
      Rendered pieces = RenderToMemory(a, row.samples, 256, layout, false, 2);
      Rendered lines =
          RenderToMemory(a, row.samples, 256, layout, false, 2, &whole);
      ASSERT_TRUE(pieces.ok) << pieces.error;
      ASSERT_TRUE(lines.ok) << lines.error;
      ASSERT_EQ(pieces.rows.size(), a.dotsY);
      EXPECT_TRUE(pieces.rows == lines.rows);
    }
    const std::size_t values = a.dotsX * row.samples;
    std::vector<std::uint32_t> n(values), pn(values);
    std::vector<float> nf(values), pnf(values);
    std::string error;
    const std::uint64_t line = row.samples + 1;
    ASSERT_TRUE(computed.Line(line, SampleLine{n.data(), nf.data()}, error));
    const std::size_t pieceTable[][2] = {
        {0, 1}, {1, 2047}, {2000, 3000}, {values - 5, 5}, {0, values}};
    for (const auto& piece : pieceTable) {
      SCOPED_TRACE(piece[0]);
      ASSERT_TRUE(computed.LinePart(line, piece[0], piece[1],
                                    SampleLine{pn.data(), pnf.data()}, error));
      for (std::size_t k = 0; k < piece[1]; ++k) {
        ASSERT_EQ(pn[k], n[piece[0] + k]) << k;
        ASSERT_EQ(std::memcmp(&pnf[k], &nf[piece[0] + k], sizeof(float)), 0)
            << k;
      }
    }
    EXPECT_FALSE(whole.GivesParts());
  }
}

// Rows whose samples a sink keeps, made in parts by every worker, against
// the same rows made whole: the same picture rows, count file and saved
// pair, byte for byte, on rows of several parts with a short last one.
TEST(RunRender, RowsMadeInPartsMakeTheSameFiles) {
  if (!CountFilesAvailable()) GTEST_SKIP() << "no count files in this build";
  struct Row {
    unsigned samples;
    std::uint64_t width;
  } rows[] = {{1, 45000}, {3, 9000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.samples);
    const unsigned N = row.samples;
    const MandArea a = View(-1.9, -0.02, 2.6, row.width, 3, 60);
    DoubleLineSource source(Rule(a, 2));
    ComputedLines computed(a, N, 2, source);
    Colourer colourer(Colouring(), 2, 60);
    PixelColourer pixels(colourer, 60, N);
    struct Files {
      std::vector<std::string> rows;
      std::string counts, mnd;
    };
    auto render = [&](std::size_t partRowBytes, unsigned threads,
                      bool bottomFirst) {
      testutil::ScopedTempDir dir;
      MemorySink sink(PixelLayout::Rgb8, a.dotsX * 3 + 3, bottomFirst);
      CountFileWriter counts;
      ViewPairWriter pair;
      std::string error;
      EXPECT_TRUE(counts.Open(dir.File("c.exr"), a.dotsX * N, a.dotsY * N, 60,
                              "", bottomFirst, error))
          << error;
      if (N == 1) {
        EXPECT_TRUE(pair.Open(dir.File("v"), a, error)) << error;
      }
      RenderJob job;
      job.width = a.dotsX;
      job.height = a.dotsY;
      job.samples = N;
      job.lines = &computed;
      job.colourer = &pixels;
      job.picture = &sink;
      job.counts = &counts;
      job.pair = N == 1 ? &pair : nullptr;
      job.threads = threads;
      job.partRowBytes = partRowBytes;
      EXPECT_TRUE(RunRender(job, error)) << error;
      EXPECT_TRUE(sink.finished);
      Files f{sink.rows, testutil::ReadBytes(dir.File("c.exr")), ""};
      if (N == 1) f.mnd = testutil::ReadBytes(dir.File("v.mnd"));
      return f;
    };
    for (bool bottomFirst : {false, true}) {
      const Files whole = render(SIZE_MAX, 2, bottomFirst);
      ASSERT_EQ(whole.rows.size(), a.dotsY);
      for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        const Files parts = render(0, threads, bottomFirst);
        EXPECT_TRUE(parts.rows == whole.rows);
        EXPECT_TRUE(parts.counts == whole.counts);
        EXPECT_TRUE(parts.mnd == whole.mnd);
      }
    }
  }
}

// The pixel of a band is the linear-light mean of its own samples' colours:
// checked against the colouring stage's own average of the same samples,
// for smooth and banded colours (counts inside and beyond the banded table,
// the inside, and samples not computed).
TEST(PixelColourer, PixelsAreTheMeanOfTheirOwnSamples) {
  struct Row {
    Shading shading;
    std::uint32_t limit;
    Palette::Kind palette = Palette::Gradient;
  } rows[] = {{Shading::Smooth, 1000},
              {Shading::Smooth, 1000, Palette::Cosine},
              {Shading::Bands, 1000},
              {Shading::Bands, 30}};
  for (const Row& row : rows) {
    // A row wider than the pixels coloured at a time, and not a multiple of
    // them, as well as a narrow one.
    for (std::uint64_t width : {std::uint64_t{5}, std::uint64_t{2500}})
    for (unsigned N : {1u, 2u, 3u, 16u}) {
      SCOPED_TRACE(row.limit);
      SCOPED_TRACE(N);
      SCOPED_TRACE(width);
      Colouring colouring;
      colouring.shading = row.shading;
      colouring.period = 7;
      colouring.inside = Rgb8{10, 200, 30};
      colouring.palette.kind = row.palette;
      Colourer colourer(colouring, 256, row.limit);
      PixelColourer pixels(colourer, row.limit, N);
      std::vector<std::uint32_t> n(N * width * N);
      std::vector<float> nf(n.size());
      for (std::size_t k = 0; k < n.size(); ++k) {
        n[k] = k % 11 == 5   ? NeverEscaped
               : k % 13 == 7 ? NotComputed
                             : static_cast<std::uint32_t>(k * 7 % 50 + 1);
        nf[k] = static_cast<float>(k % 8) / 8;
      }
      std::vector<SampleLine> band;
      for (unsigned j = 0; j < N; ++j)
        band.push_back(SampleLine{&n[j * width * N], &nf[j * width * N]});
      std::vector<unsigned char> rgb16(width * 6), rgb8(width * 3),
          bgr8(width * 3);
      pixels.ColourRow(band.data(), N, width, PixelLayout::Rgb16, rgb16.data());
      pixels.ColourRow(band.data(), N, width, PixelLayout::Rgb8, rgb8.data());
      pixels.ColourRow(band.data(), N, width, PixelLayout::Bgr8, bgr8.data());
      for (std::uint64_t m = 0; m < width; ++m) {
        SCOPED_TRACE(m);
        std::vector<Rgb16> own;
        for (unsigned j = 0; j < N; ++j)
          for (unsigned i = 0; i < N; ++i) {
            std::size_t k = j * width * N + m * N + i;
            own.push_back(colourer.Colour(CountSample{n[k], nf[k]}));
          }
        Rgb16 want = Average(own.data(), own.size());
        std::uint16_t got[3];
        std::memcpy(got, &rgb16[m * 6], sizeof got);
        EXPECT_EQ(got[0], want.r);
        EXPECT_EQ(got[1], want.g);
        EXPECT_EQ(got[2], want.b);
        Rgb8 want8 = To8(want);
        EXPECT_EQ(rgb8[m * 3], want8.r);
        EXPECT_EQ(rgb8[m * 3 + 1], want8.g);
        EXPECT_EQ(rgb8[m * 3 + 2], want8.b);
        EXPECT_EQ(bgr8[m * 3], want8.b);
        EXPECT_EQ(bgr8[m * 3 + 1], want8.g);
        EXPECT_EQ(bgr8[m * 3 + 2], want8.r);
      }
    }
  }
}

// Every linear level gives the 8-bit value of its nearest 16-bit code.
TEST(LinearTo8, EveryLinearLevel) {
  LinearTo8 to8;
  for (std::uint32_t v = 0; v <= (1u << 24); ++v)
    ASSERT_EQ(to8(v), To8(FromLinear(v))) << v;
}

// A source that fails on one line, like a damaged count file.
class FailingLines : public SampleLines {
 public:
  FailingLines(std::uint64_t badLine, std::uint64_t width)
      : badLine(badLine), width(width) {}
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override {
    if (line == badLine) {
      error = "counts.exr: damaged line";
      return false;
    }
    for (std::uint64_t k = 0; k < width; ++k) out.n[k] = 1, out.nf[k] = 0;
    return true;
  }

 private:
  std::uint64_t badLine, width;
};

TEST(RunRender, FailuresAbandonTheOutput) {
  const MandArea a = View(-2, -1, 3, 16, 40, 50);
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    FailingLines bad(17, a.dotsX);
    Rendered r =
        RenderToMemory(a, 1, 2, PixelLayout::Rgb8, true, threads, &bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "counts.exr: damaged line");
    EXPECT_LE(r.rows.size(), 17u);
    EXPECT_FALSE(r.finished);
    EXPECT_TRUE(r.abandoned);
  }
  // A sink that cannot write: its own message, and nothing finished.
  DoubleLineSource source(Rule(a, 2));
  ComputedLines lines(a, 1, 2, source);
  Colourer colourer(Colouring(), 2, 50);
  PixelColourer pixels(colourer, 50, 1);
  MemorySink sink(PixelLayout::Rgb8, a.dotsX * 3, false);
  sink.failAt = 5;
  RenderJob job;
  job.width = a.dotsX;
  job.height = a.dotsY;
  job.lines = &lines;
  job.colourer = &pixels;
  job.picture = &sink;
  std::string error;
  EXPECT_FALSE(RunRender(job, error));
  EXPECT_EQ(error, "disk full");
  EXPECT_FALSE(sink.finished);
  EXPECT_TRUE(sink.abandoned);
}

// A source of parts that fails on one line.
class FailingParts : public SampleLines {
 public:
  FailingParts(const SampleLines& lines, std::uint64_t badLine)
      : lines(lines), badLine(badLine) {}
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override {
    return lines.Line(line, out, error);
  }
  bool GivesParts() const override { return true; }
  bool LinePart(std::uint64_t line, std::uint64_t first, std::size_t count,
                SampleLine out, std::string& error) const override {
    if (line == badLine) {
      error = "no such line";
      return false;
    }
    return lines.LinePart(line, first, count, out, error);
  }

 private:
  const SampleLines& lines;
  std::uint64_t badLine;
};

// Rows made in parts fail as whole rows do: the workers' message, and
// neither the picture nor the count file left behind.
TEST(RunRender, FailuresOfRowsMadeInPartsAbandonTheOutput) {
  if (!CountFilesAvailable()) GTEST_SKIP() << "no count files in this build";
  const MandArea a = View(-2, -1, 3, 300, 40, 50);
  DoubleLineSource source(Rule(a, 2));
  ComputedLines lines(a, 2, 2, source);
  FailingParts bad(lines, 33);
  Colourer colourer(Colouring(), 2, 50);
  PixelColourer pixels(colourer, 50, 2);
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    testutil::ScopedTempDir dir;
    MemorySink sink(PixelLayout::Rgb8, a.dotsX * 3, false);
    CountFileWriter counts;
    std::string error;
    ASSERT_TRUE(counts.Open(dir.File("c.exr"), a.dotsX * 2, a.dotsY * 2, 50,
                            "", false, error))
        << error;
    RenderJob job;
    job.width = a.dotsX;
    job.height = a.dotsY;
    job.samples = 2;
    job.lines = &bad;
    job.colourer = &pixels;
    job.picture = &sink;
    job.counts = &counts;
    job.threads = threads;
    job.partRowBytes = 0;
    EXPECT_FALSE(RunRender(job, error));
    EXPECT_EQ(error, "no such line");
    // Sample line 33 is in pixel line 16, the 24th row from the top.
    EXPECT_LE(sink.rows.size(), 23u);
    EXPECT_TRUE(sink.abandoned);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}

TEST(CountStats, PercentilesAndRangeOfHandCountedData) {
  // Counts 0..99 once each (N = count + 1), plus inside and not-computed
  // samples that must not count as escaped.
  std::vector<std::uint32_t> n;
  for (std::uint32_t c = 0; c < 100; ++c) n.push_back(c + 1);
  n.push_back(NeverEscaped);
  n.push_back(NeverEscaped);
  n.push_back(0);
  CountStatsBuilder b;
  b.First(n.data(), n.size());
  b.Second(n.data(), n.size());
  CountStats s = b.Result();
  EXPECT_EQ(s.samples, 103u);
  EXPECT_EQ(s.escaped, 100u);
  EXPECT_EQ(s.notComputed, 1u);
  EXPECT_EQ(s.minCount, 0u);
  EXPECT_EQ(s.maxCount, 99u);
  EXPECT_EQ(s.binWidth, 1u);
  // Nearest rank: 1% of 100 is the 1st value (0), 50% the 50th (49).
  const std::uint32_t want[5] = {0, 9, 49, 89, 98};
  for (int p = 0; p < 5; ++p) EXPECT_EQ(s.percentile[p], want[p]) << p;
  EXPECT_EQ(s.suggestedPeriod, 80);
}

TEST(CountStats, WideRangesFallIntoBoundedBins) {
  // Two clusters far apart: 90 samples near 10, 10 near 4e9.
  std::vector<std::uint32_t> n;
  for (int k = 0; k < 90; ++k) n.push_back(11 + k % 3);
  for (int k = 0; k < 10; ++k) n.push_back(4000000001u + k);
  CountStatsBuilder b;
  b.First(n.data(), n.size());
  b.Second(n.data(), n.size());
  CountStats s = b.Result();
  EXPECT_EQ(s.minCount, 10u);
  EXPECT_EQ(s.maxCount, 4000000009u);
  EXPECT_GT(s.binWidth, 1u);
  EXPECT_LE((std::uint64_t(s.maxCount) - s.minCount) / s.binWidth,
            HistogramBins);
  EXPECT_EQ(s.percentile[2], 10u);  // the bin of the low cluster
  // The 99th value is 4000000008: reported as the lower end of its bin.
  EXPECT_LE(s.percentile[4], 4000000008u);
  EXPECT_GT(s.percentile[4] + s.binWidth, 4000000008u);
}

TEST(CountStats, GatheredFromLinesEqualsTheBuilderOnTheSameData) {
  const MandArea a = View(-2, -1.25, 2.5, 21, 13, 300);
  DoubleLineSource source(Rule(a, 2));
  ComputedLines lines(a, 1, 2, source);
  CountStatsBuilder b;
  std::vector<std::uint32_t> n(a.dotsX), all;
  std::vector<float> nf(a.dotsX);
  std::string error;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    ASSERT_TRUE(lines.Line(l, SampleLine{n.data(), nf.data()}, error));
    all.insert(all.end(), n.begin(), n.end());
  }
  b.First(all.data(), all.size());
  b.Second(all.data(), all.size());
  CountStats want = b.Result();
  for (unsigned threads : {1u, 3u}) {
    CountStats got;
    ASSERT_TRUE(GatherStats(lines, a.dotsX, a.dotsY, threads, got, error));
    EXPECT_EQ(got.samples, want.samples);
    EXPECT_EQ(got.escaped, want.escaped);
    EXPECT_EQ(got.maxCount, want.maxCount);
    for (int p = 0; p < 5; ++p)
      EXPECT_EQ(got.percentile[p], want.percentile[p]);
  }
  FailingLines bad(4, a.dotsX);
  CountStats got;
  EXPECT_FALSE(GatherStats(bad, a.dotsX, a.dotsY, 2, got, error));
  EXPECT_EQ(error, "counts.exr: damaged line");
}

}  // namespace
