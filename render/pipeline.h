// The one render pipeline of mandel:
//
//   view -> sample lines (computed by an engine, or read from a count file)
//        -> colouring, on the worker threads
//        -> sinks: a picture (PNG or BMP), a count file, a saved view pair
//
// Rows are produced on every processor and handed to the writing thread in
// the order the picture wants, so memory holds a bounded ring of rows and
// one band of N sample lines per worker, whatever the height. Nothing a
// sink receives depends on the number of threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "colour/colouring.h"
#include "core/escape.h"
#include "core/mandarea.h"
#include "imageio/imagesink.h"
#include "render/linesource.h"

class CountFileWriter;
class CountFileReader;
class ViewPairReader;
class ViewPairWriter;

// One sample line in the form count files keep: n is 0 for not computed,
// NeverEscaped for a point that never escaped, else the count plus one; nf
// is the fraction in [0, 1) for smooth colouring.
struct SampleLine {
  std::uint32_t* n;
  float* nf;
};

// Gives the sample lines of a raster. Sample line L (0 = bottom) of width
// samples; pixel line l owns sample lines l*N .. l*N + N - 1, and pixel m
// owns the samples m*N .. m*N + N - 1 of each.
class SampleLines {
 public:
  virtual ~SampleLines() = default;
  // Fills one line. Called from several worker threads at once; false,
  // with a message in error, when the line cannot be had (a damaged file).
  virtual bool Line(std::uint64_t line, SampleLine out,
                    std::string& error) const = 0;
  // Whether LinePart may be asked for pieces of a line: then a worker that
  // keeps no samples holds a piece of its band at a time, not all of it.
  virtual bool GivesParts() const { return false; }
  // Values first .. first + count - 1 of a line, to out (out.n[0] is value
  // first); as Line otherwise. Only where GivesParts says so.
  virtual bool LinePart(std::uint64_t line, std::uint64_t first,
                        std::size_t count, SampleLine out,
                        std::string& error) const;
};

// The 8-bit value of the 16-bit code nearest a linear light, as
// To8(FromLinear(v)) gives it, found among 255 thresholds instead of 65536
// codes.
class LinearTo8 {
 public:
  LinearTo8();
  // How many thresholds v has reached. A bisection costs a mispredicted
  // branch at nearly every one of its eight steps; the bucket of v says
  // how many lie below it, and the buckets are narrower than the closest
  // thresholds, so at most one more is reached: added without a branch,
  // which mispredicted wherever light crossed a threshold.
  unsigned char operator()(std::uint32_t v) const {
    const std::uint32_t b = std::min(v >> BucketBits, Buckets - 1);
    const unsigned k = start[b];
    return static_cast<unsigned char>(k + (thresholds[k] <= v));
  }

 private:
  static constexpr unsigned BucketBits = 12;
  // Light runs from 0 to 2^24.
  static constexpr std::uint32_t Buckets = ((1u << 24) >> BucketBits) + 1;
  // thresholds[k - 1]: the least light whose code has 8-bit value k; the
  // last, above every light, ends the scale.
  std::uint32_t thresholds[256];
  // start[b]: how many thresholds lie at or below b << BucketBits.
  unsigned char start[Buckets];
};

// Turns the samples of a row of pixels into the bytes of a picture row:
// each sample coloured, the N x N of a pixel averaged in linear light. The
// bytes are those of LinearSum (colour/antialias.h) over the samples in
// band order, reached by shorter roads: banded colours are looked up in
// linear light, and 8-bit codes found among 255 thresholds instead of
// 65536 codes.
class PixelColourer {
 public:
  // colourer must outlive this object; limit sizes the banded tables.
  // The tables of linear light are built only for more than one sample per
  // pixel, where they are needed.
  PixelColourer(const Colourer& colourer, std::uint32_t limit,
                unsigned samples);
  // lines[j] is sample line j of the band (j = 0 the lowest), each holding
  // width * samples values; writes width pixels in layout to out (a BMP
  // row's padding is the caller's). Safe from several threads at once; the
  // same samples give the same bytes every time.
  void ColourRow(const SampleLine* lines, unsigned samples, std::uint64_t width,
                 PixelLayout layout, unsigned char* out) const;

 private:
  struct Linear {
    std::uint32_t r, g, b;
  };
  const Colourer& colourer;
  // Linear light of the banded colour of count n + 1 (N = n + 1), then of
  // the inside, for more than one sample; empty when colouring is smooth.
  std::vector<Linear> bandLinear;
  // The same colours as 8-bit codes (red, green and blue in the low three
  // bytes of a word), then the inside colour, for one sample per pixel.
  std::vector<std::uint32_t> band8;
  // The smooth gradient's colours as 8-bit codes (red, green and blue in
  // the low three bytes of a word), then the inside colour, for one sample
  // per pixel; empty otherwise.
  std::vector<std::uint32_t> gradient8;
  // Its linear light, then the inside's, for more than one sample.
  std::vector<Linear> gradientLinear;
  std::unique_ptr<LinearTo8> to8;  // with more than one sample
};

// The samples an engine computes for a view: N x N per pixel, at the
// pixel's point moved by SampleDx/SampleDy (colour/antialias.h), in
// count-file form for the view's bailout radius.
class ComputedLines : public SampleLines {
 public:
  // source must outlive this object. samples is 1 .. MaxSamples. Without
  // fractions every NF is 0 and only N is exact: enough for banded colours,
  // which never read NF, at a fraction of the cost.
  ComputedLines(const MandArea& area, unsigned samples, double bailout,
                const SampleLineSource& source, bool fractions = true);
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override;
  bool GivesParts() const override { return true; }
  bool LinePart(std::uint64_t line, std::uint64_t first, std::size_t count,
                SampleLine out, std::string& error) const override;

 private:
  MandArea area;
  unsigned samples;
  double bailout;
  bool fractions;
  std::vector<double> dx;  // [j * N + i]
  std::vector<double> dy;  // [j]
  // With one sample per pixel every line has the same real parts: kept
  // here once instead of divided out again for every line.
  std::vector<double> reals;
  const SampleLineSource& source;
};

// A band of another raster's lines: line L here is line first + L there.
// A band of rows rendered through it gets exactly the samples the whole
// picture has in those rows, which is what lets bands be joined into the
// picture rendered in one piece.
class BandLines : public SampleLines {
 public:
  // all must outlive this object.
  BandLines(const SampleLines& all, std::uint64_t first)
      : all(all), first(first) {}
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override {
    return all.Line(first + line, out, error);
  }

 private:
  const SampleLines& all;
  std::uint64_t first;
};

// The lines of a count file; reads are serialised, so workers colour in
// parallel while one of them reads.
class CountFileLines : public SampleLines {
 public:
  explicit CountFileLines(CountFileReader& reader);
  ~CountFileLines() override;
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override;

 private:
  struct State;
  State* state;
};

// The lines of a saved view pair: 16-bit counts, 0 read as never escaped
// (the pair cannot tell it from a point outside the radius at once).
class ViewPairLines : public SampleLines {
 public:
  explicit ViewPairLines(ViewPairReader& reader);
  ~ViewPairLines() override;
  bool Line(std::uint64_t line, SampleLine out,
            std::string& error) const override;

 private:
  struct State;
  State* state;
};

struct RenderJob {
  std::uint64_t width = 0, height = 0;  // pixels
  unsigned samples = 1;                 // N: N x N samples per pixel
  const SampleLines* lines = nullptr;
  const PixelColourer* colourer = nullptr;  // needed with a picture
  ImageSink* picture = nullptr;             // optional
  CountFileWriter* counts = nullptr;        // optional; opened in RowOrder
  ViewPairWriter* pair = nullptr;           // optional; one sample per pixel
  unsigned threads = 0;                     // 0: one per processor
  // Rows whose samples a sink keeps, and which are larger than this, are
  // made in parts by every worker and gathered on the writing thread:
  // whole, the ring would hold two or three of them, so one worker would
  // compute while the others waited, and two bands of samples would be in
  // memory at once. The bytes are the same either way.
  std::size_t partRowBytes = std::size_t{2} << 20;
  // Called on the writing thread after each row with the rows done.
  std::function<void(std::uint64_t done)> progress;
};

// N of the count-file sample of e, as ToCountSample gives it, without the
// fraction's logarithm.
inline std::uint32_t CountOnly(const EscapeResult& e) {
  // The one count whose N would read as NeverEscaped stays one short, as
  // in the count files.
  if (e.count == NeverEscaped || e.count == NeverEscaped - 1) return e.count;
  return e.count + 1;
}

// Whether the rows go out bottom first: the picture's order, else bottom
// first (the order of the five programs' files).
bool BottomFirst(const ImageSink* picture);

// Runs the job to the end and finishes every sink. false, with a message
// in error, when a line could not be had or a sink failed; every sink is
// then abandoned, so no named output is left half-written.
bool RunRender(const RenderJob& job, std::string& error);
