// The render pipeline: rows of samples on the workers, sinks on the caller's
// thread.
#include "render/pipeline.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>

#include "colour/antialias.h"
#include "core/kernel.h"
#include "core/orderedrows.h"
#include "imageio/countfile.h"
#include "imageio/viewpair.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

// An 8-bit colour in the low three bytes of a word: red, green, blue.
std::uint32_t Packed(Rgb8 c) {
  return std::uint32_t{c.r} | std::uint32_t{c.g} << 8 |
         std::uint32_t{c.b} << 16;
}

// A packed colour's three bytes at p, in BMP's order or in PNG's.
inline void PutPacked(unsigned char* p, std::uint32_t c, bool bgr) {
  p[0] = static_cast<unsigned char>(bgr ? c >> 16 : c);
  p[1] = static_cast<unsigned char>(c >> 8);
  p[2] = static_cast<unsigned char>(bgr ? c : c >> 16);
}

// a / c for c > 0, given inv = 1.0 / c, by a multiplication instead of the
// three 64-bit divisions a pixel the mean's rounding took. Exact for a below
// 2^40 and c up to 2^10 (the sums of 16 x 16 samples of 2^24 at most): the
// product then errs by less than 2^-12, and (a + 0.5) / c lies at least
// 0.5 / c >= 2^-11 from a whole number.
std::uint32_t RoundedQuotient(std::uint64_t a, std::uint32_t c, double inv) {
  if (a >= (std::uint64_t{1} << 40) || c > 1024)
    return static_cast<std::uint32_t>(a / c);
  return static_cast<std::uint32_t>((static_cast<double>(a) + 0.5) * inv);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define PIPELINE_AVX2 1
bool HaveAvx2() {
  static const bool have = KernelSupported(KernelKind::Avx2);
  return have;
}

// The row loop of 8-bit pixels from one sample each, eight at a time: each
// pixel's colour gathered from the packed table (the inside colour at
// insideAt for NotComputed and NeverEscaped), its three bytes put in order
// and the 24 bytes stored together. The table's index is index[m] for the
// smooth gradient and N - 1 for bands; banded, it stops before the first
// eight that hold an N beyond the table. Returns how many pixels it did, a
// multiple of 8.
template <bool Bgr, bool Bands>
__attribute__((target("avx2"))) std::size_t LookUpAvx2(
    const std::uint32_t* table, std::uint32_t insideAt, const std::uint32_t* n,
    const std::uint32_t* index, std::size_t count, unsigned char* p) {
  const __m256i order =
      Bgr ? _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1,
                             -1, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1,
                             -1, -1)
          : _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1,
                             -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1,
                             -1, -1);
  // The two lanes' twelve bytes made one run of 24.
  const __m256i together = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  const __m256i inside = _mm256_set1_epi32(static_cast<int>(insideAt));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i never = _mm256_set1_epi32(-1);
  std::size_t m = 0;
  for (; m + 8 <= count; m += 8, p += 24) {
    const __m256i nv =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(n + m));
    const __m256i in = _mm256_or_si256(_mm256_cmpeq_epi32(nv, zero),
                                       _mm256_cmpeq_epi32(nv, never));
    __m256i k;
    if (Bands) {
      k = _mm256_add_epi32(nv, never);
      // k >= insideAt, unsigned, and not inside: not in the table.
      const __m256i beyond = _mm256_andnot_si256(
          in, _mm256_cmpeq_epi32(_mm256_max_epu32(k, inside), k));
      if (!_mm256_testz_si256(beyond, beyond)) break;
    } else {
      k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + m));
    }
    k = _mm256_blendv_epi8(k, inside, in);
    __m256i v =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), k, 4);
    v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, order), together);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16),
                     _mm256_extracti128_si256(v, 1));
  }
  return m;
}
#endif

std::size_t Align(std::size_t bytes) { return (bytes + 63) / 64 * 64; }

// Pixels coloured at a time: the colouring scratch of a worker is this many
// pixels' samples, however wide the picture.
constexpr std::size_t ColourChunk = 1024;
// Samples of a row's band computed at a time when no sink keeps them.
constexpr std::uint64_t PartValues = 16384;

// Scratch of one worker thread, reused by every row it produces; its size
// follows the widest line so far, so it stays one band whatever the height.
struct Scratch {
  std::vector<double> u;
  std::vector<EscapeResult> results;
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
  std::vector<std::uint16_t> counts;
  std::vector<LinearSum> sums;
  // A chunk of one sample line's colours, when not from a table.
  std::vector<Rgb16> colours;
  // A chunk of one sample line's indices into the smooth gradient.
  std::vector<std::uint32_t> indices;
};

Scratch& ThreadScratch() {
  static thread_local Scratch scratch;
  return scratch;
}

// The 16-bit count the five programs' saved views hold for a sample.
std::uint16_t PairCount(std::uint32_t n) {
  if (n == NeverEscaped || n == 0) return 0;
  return static_cast<std::uint16_t>(n - 1);
}

}  // namespace

ComputedLines::ComputedLines(const MandArea& area, unsigned samples,
                             double bailout, const SampleLineSource& source,
                             bool fractions)
    : area(area),
      samples(samples),
      bailout(bailout),
      fractions(fractions),
      dx(static_cast<std::size_t>(samples) * samples),
      dy(samples),
      source(source) {
  for (unsigned j = 0; j < samples; ++j) {
    dy[j] = SampleDy(j, samples);
    for (unsigned i = 0; i < samples; ++i)
      dx[static_cast<std::size_t>(j) * samples + i] = SampleDx(i, j, samples);
  }
  if (samples == 1) {
    reals.resize(area.dotsX);
    for (std::uint64_t m = 0; m < area.dotsX; ++m)
      reals[m] = SampleRe(area, m, 0);
  }
}

bool SampleLines::LinePart(std::uint64_t, std::uint64_t, std::size_t,
                           SampleLine, std::string& error) const {
  error = "samples cannot be had a piece of a line at a time";
  return false;
}

bool ComputedLines::Line(std::uint64_t line, SampleLine out,
                         std::string& error) const {
  return LinePart(line, 0, static_cast<std::size_t>(area.dotsX) * samples, out,
                  error);
}

bool ComputedLines::LinePart(std::uint64_t line, std::uint64_t from,
                             std::size_t values, SampleLine out,
                             std::string&) const {
  // A line is computed in chunks, so a worker's scratch stays the same
  // whatever the width.
  constexpr std::size_t Chunk = 2048;
  const unsigned N = samples;
  Scratch& s = ThreadScratch();
  if (s.results.size() < Chunk) {
    s.u.resize(Chunk);
    s.results.resize(Chunk);
  }
  const std::uint64_t l = line / N;
  const unsigned j = static_cast<unsigned>(line % N);
  // Offset 0 gives the pixel's own point, so one sample per pixel computes
  // exactly the points of the five programs.
  const double v = SampleIm(area, l, dy[j]);
  const double* rowDx = dx.data() + static_cast<std::size_t>(j) * N;
  for (std::size_t done = 0; done < values; done += Chunk) {
    const std::size_t count = std::min(Chunk, values - done);
    const std::size_t first = static_cast<std::size_t>(from) + done;
    const double* u = s.u.data();
    if (!reals.empty()) {
      u = reals.data() + first;
    } else {
      SampleReLine(area, N, rowDx, first, count, s.u.data());
    }
    source.ComputeLine(v, u, count, s.results.data());
    std::uint32_t* n = out.n + done;
    float* nf = out.nf + done;
    if (!fractions) {
      for (std::size_t k = 0; k < count; ++k) {
        n[k] = CountOnly(s.results[k]);
        nf[k] = 0;
      }
      continue;
    }
    ToCountSamples(s.results.data(), count, bailout, n, nf);
  }
  return true;
}

PixelColourer::PixelColourer(const Colourer& colourer, std::uint32_t limit,
                             unsigned samples)
    : colourer(colourer) {
  const bool linear = samples > 1;
  if (linear) to8 = std::make_unique<LinearTo8>();
  const Rgb16 inside = colourer.Colour(CountSample{NeverEscaped, 0});
  auto toLinear = [](Rgb16 c) {
    return Linear{ToLinear(c.r), ToLinear(c.g), ToLinear(c.b)};
  };
  if (colourer.GetColouring().shading != Shading::Bands) {
    // Without a gradient (a cosine palette) every colour is worked out.
    const std::vector<Rgb16>& gradient = colourer.SmoothGradient();
    if (gradient.empty()) return;
    // Reserved, so that growing does not hold a table and a half.
    if (linear) {
      gradientLinear.reserve(gradient.size() + 1);
      for (const Rgb16& c : gradient) gradientLinear.push_back(toLinear(c));
      gradientLinear.push_back(toLinear(inside));
    } else {
      gradient8.reserve(gradient.size() + 1);
      for (const Rgb16& c : gradient) gradient8.push_back(Packed(To8(c)));
      gradient8.push_back(Packed(To8(inside)));
    }
    return;
  }
  const std::uint32_t entries = std::min<std::uint32_t>(limit, 65536);
  band8.resize(entries + 1);
  if (linear) bandLinear.resize(entries + 1);
  for (std::uint32_t n = 0; n < entries; ++n) {
    Rgb16 c = colourer.Colour(CountSample{n + 1, 0});
    band8[n] = Packed(To8(c));
    if (linear) bandLinear[n] = toLinear(c);
  }
  band8[entries] = Packed(To8(inside));
  if (linear) bandLinear[entries] = toLinear(inside);
}

LinearTo8::LinearTo8() {
  // FromLinear never decreases, so each 8-bit value starts at one
  // threshold; found by bisection over the linear range once.
  for (unsigned k = 1; k <= 255; ++k) {
    std::uint32_t lo = 0, hi = 1u << 25;
    while (lo < hi) {
      std::uint32_t mid = lo + (hi - lo) / 2;
      if (To8(FromLinear(mid)) >= k)
        hi = mid;
      else
        lo = mid + 1;
    }
    thresholds[k - 1] = lo;
  }
  thresholds[255] = 0xFFFFFFFFu;
  for (std::uint32_t b = 0; b < Buckets; ++b) {
    start[b] = static_cast<unsigned char>(
        std::upper_bound(thresholds, thresholds + 255, b << BucketBits) -
        thresholds);
  }
}

void PixelColourer::ColourRow(const SampleLine* lines, unsigned samples,
                              std::uint64_t width, PixelLayout layout,
                              unsigned char* out) const {
  auto put = [layout](unsigned char* p, Rgb16 c) {
    switch (layout) {
      case PixelLayout::Rgb8:
        p[0] = To8(c.r), p[1] = To8(c.g), p[2] = To8(c.b);
        break;
      case PixelLayout::Bgr8:
        p[0] = To8(c.b), p[1] = To8(c.g), p[2] = To8(c.r);
        break;
      case PixelLayout::Rgb16: {
        std::uint16_t v[3] = {c.r, c.g, c.b};
        std::memcpy(p, v, sizeof v);
        break;
      }
    }
  };
  const std::size_t step = layout == PixelLayout::Rgb16 ? 6 : 3;
  Scratch& s = ThreadScratch();
  if (band8.empty() && s.colours.size() < ColourChunk * samples)
    s.colours.resize(ColourChunk * samples);
  if (samples == 1 && !gradient8.empty() && layout != PixelLayout::Rgb16) {
    // The default colouring into 8-bit pixels: the gradient's index of each
    // sample, then its 8-bit colour, without the 16-bit colours between.
    if (s.indices.size() < ColourChunk) s.indices.resize(ColourChunk);
    const std::uint32_t* n = lines[0].n;
    const float* nf = lines[0].nf;
    const std::uint32_t* table = gradient8.data();
    // The inside colour is the table's last entry, so that every pixel is
    // one lookup without a branch (inside and outside points alternate
    // along the set's edge). Everything the loop reads is in locals: the
    // byte stores could alias any of it, and reloading it made each pixel
    // wait for its lookup in turn.
    const std::uint32_t insideAt =
        static_cast<std::uint32_t>(gradient8.size() - 1);
    std::uint32_t* indices = s.indices.data();
    auto row = [&](auto bgr) {
      for (std::uint64_t first = 0; first < width; first += ColourChunk) {
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>(ColourChunk, width - first));
        colourer.GradientIndices(n + first, nf + first, count, indices);
        const std::uint32_t* ns = n + first;
        unsigned char* p = out + first * 3;
        std::size_t m = 0;
#ifdef PIPELINE_AVX2
        if (HaveAvx2())
          m = LookUpAvx2<decltype(bgr)::value, false>(table, insideAt, ns,
                                                      indices, count, p);
#endif
        for (p += 3 * m; m < count; ++m, p += 3) {
          // NotComputed (0) and NeverEscaped (2^32 - 1) alike.
          const bool inside = ns[m] - 1 >= NeverEscaped - 1;
          PutPacked(p, table[inside ? insideAt : indices[m]], bgr);
        }
      }
    };
    if (layout == PixelLayout::Bgr8)
      row(std::true_type());
    else
      row(std::false_type());
    return;
  }
  if (samples == 1 && band8.empty()) {
    // Smooth colours are a pure function of each sample, so a chunk at a
    // time gives the bytes of the whole line at once.
    const SampleLine& line = lines[0];
    const Rgb16* c = s.colours.data();
    for (std::uint64_t first = 0; first < width; first += ColourChunk) {
      const std::size_t count = static_cast<std::size_t>(
          std::min<std::uint64_t>(ColourChunk, width - first));
      colourer.ColourLine(line.n + first, line.nf + first, count,
                          s.colours.data());
      unsigned char* o = out + first * step;
      if (layout == PixelLayout::Rgb16) {
        for (std::size_t m = 0; m < count; ++m) put(o + m * 6, c[m]);
      } else if (layout == PixelLayout::Rgb8) {
        for (std::size_t m = 0; m < count; ++m) {
          unsigned char* p = o + m * 3;
          p[0] = To8(c[m].r), p[1] = To8(c[m].g), p[2] = To8(c[m].b);
        }
      } else {
        for (std::size_t m = 0; m < count; ++m) put(o + m * 3, c[m]);
      }
    }
    return;
  }
  if (samples == 1) {
    const SampleLine& line = lines[0];
    if (layout == PixelLayout::Rgb16) {
      for (std::uint64_t m = 0; m < width; ++m)
        put(out + m * 6, colourer.Colour(CountSample{line.n[m], line.nf[m]}));
      return;
    }
    // Banded: the table first, as nearly every sample is found there (N - 1
    // of NotComputed and NeverEscaped lies beyond any table, and the inside
    // colour is the table's last entry); the byte order chosen once per row.
    const std::uint32_t* table = band8.data();
    const std::uint32_t insideAt = static_cast<std::uint32_t>(band8.size() - 1);
    const std::uint32_t* ns = line.n;
    auto row = [&](auto bgr) {
      for (std::uint64_t m = 0; m < width;) {
#ifdef PIPELINE_AVX2
        if (HaveAvx2())
          m += LookUpAvx2<decltype(bgr)::value, true>(
              table, insideAt, ns + m, nullptr,
              static_cast<std::size_t>(width - m), out + m * 3);
#endif
        // The last few pixels, or eight that hold an N beyond the table.
        for (const std::uint64_t end = std::min<std::uint64_t>(width, m + 8);
             m < end; ++m) {
          const std::uint32_t n = ns[m];
          std::uint32_t c;
          if (n - 1 < insideAt)
            c = table[n - 1];
          else if (n == NeverEscaped || n == 0)
            c = table[insideAt];
          else
            c = Packed(To8(colourer.Colour(CountSample{n, line.nf[m]})));
          PutPacked(out + m * 3, c, bgr);
        }
      }
    };
    if (layout == PixelLayout::Bgr8)
      row(std::true_type());
    else
      row(std::false_type());
    return;
  }
  if (s.sums.size() < ColourChunk) s.sums.resize(ColourChunk);
  if (!gradientLinear.empty() && s.indices.size() < ColourChunk * samples)
    s.indices.resize(ColourChunk * samples);
  // A chunk of pixels at a time, all N sample lines of each, so the scratch
  // stays the same whatever the width. The sums are of integers, so taking
  // the pixels in chunks leaves them as they were.
  const bool eight = layout != PixelLayout::Rgb16 && to8;
  // Every pixel's sum takes each of its samples once.
  const std::uint32_t perPixel = samples * samples;
  const double inv = 1.0 / perPixel;
  for (std::uint64_t first = 0; first < width; first += ColourChunk) {
    const std::size_t count = static_cast<std::size_t>(
        std::min<std::uint64_t>(ColourChunk, width - first));
    const std::size_t at = static_cast<std::size_t>(first) * samples;
    for (unsigned j = 0; j < samples; ++j) {
      const std::uint32_t* ln = lines[j].n + at;
      const float* lnf = lines[j].nf + at;
      if (gradientLinear.empty() && bandLinear.empty()) {
        colourer.ColourLine(ln, lnf, count * samples, s.colours.data());
        AddSampleLine(s.colours.data(), count, samples, s.sums.data());
        continue;
      }
      // Each sample's light straight from a table, what Add does with its
      // colour's codes: the gradient's at the index the one-sample rows
      // use, or the band's of N - 1. The inside colour is each table's
      // last entry, so that a sample is one lookup without a branch
      // (inside and outside samples alternate along the set's edge).
      auto sumLine = [&](auto bands) {
        const std::vector<Linear>& t = bands ? bandLinear : gradientLinear;
        const Linear* table = t.data();
        const std::uint32_t insideAt = static_cast<std::uint32_t>(t.size() - 1);
        if (!bands)
          colourer.GradientIndices(ln, lnf, count * samples, s.indices.data());
        for (std::size_t m = 0, k = 0; m < count; ++m) {
          LinearSum& sum = s.sums[m];
          for (unsigned i = 0; i < samples; ++i, ++k) {
            const std::uint32_t n = ln[k];
            std::uint32_t e = bands ? n - 1 : s.indices[k];
            // NotComputed (0) and NeverEscaped (2^32 - 1) alike.
            if (n - 1 >= NeverEscaped - 1) {
              e = insideAt;
            } else if (bands && e >= insideAt) {
              // A band beyond the table.
              sum.Add(colourer.Colour(CountSample{n, lnf[k]}));
              continue;
            }
            sum.r += table[e].r;
            sum.g += table[e].g;
            sum.b += table[e].b;
            ++sum.count;
          }
        }
      };
      if (bandLinear.empty())
        sumLine(std::false_type());
      else
        sumLine(std::true_type());
    }
    unsigned char* o = out + first * step;
    for (std::size_t m = 0; m < count; ++m) {
      LinearSum& sum = s.sums[m];
      if (!eight) {
        put(o + m * step, sum.Mean());
      } else {
        // The 8-bit value of Mean's code: how many thresholds the mean
        // light (rounded as Mean rounds it) has reached.
        auto code8 = [&](std::uint64_t total) {
          return (*to8)(RoundedQuotient(total + perPixel / 2, perPixel, inv));
        };
        unsigned char r = code8(sum.r), g = code8(sum.g), b = code8(sum.b);
        unsigned char* p = o + m * step;
        if (layout == PixelLayout::Rgb8)
          p[0] = r, p[1] = g, p[2] = b;
        else
          p[0] = b, p[1] = g, p[2] = r;
      }
      sum = LinearSum();
    }
  }
}

struct CountFileLines::State {
  CountFileReader& reader;
  std::mutex lock;
};

CountFileLines::CountFileLines(CountFileReader& reader)
    : state(new State{reader, {}}) {}
CountFileLines::~CountFileLines() { delete state; }

bool CountFileLines::Line(std::uint64_t line, SampleLine out,
                          std::string& error) const {
  std::lock_guard<std::mutex> guard(state->lock);
  return state->reader.ReadLine(line, out.n, out.nf, error);
}

struct ViewPairLines::State {
  ViewPairReader& reader;
  std::mutex lock;
};

ViewPairLines::ViewPairLines(ViewPairReader& reader)
    : state(new State{reader, {}}) {}
ViewPairLines::~ViewPairLines() { delete state; }

bool ViewPairLines::Line(std::uint64_t line, SampleLine out,
                         std::string& error) const {
  const std::uint64_t width = state->reader.Area().dotsX;
  Scratch& s = ThreadScratch();
  if (s.counts.size() < width) s.counts.resize(width);
  {
    std::lock_guard<std::mutex> guard(state->lock);
    if (!state->reader.ReadLine(line, s.counts.data(), error)) return false;
  }
  for (std::uint64_t m = 0; m < width; ++m) {
    CountSample sample = FromCount16(s.counts[m]);
    out.n[m] = sample.n;
    out.nf[m] = sample.nf;
  }
  return true;
}

bool BottomFirst(const ImageSink* picture) {
  return picture ? picture->BottomFirst() : true;
}

namespace {

void AbandonSinks(const RenderJob& job) {
  if (job.picture) job.picture->Abandon();
  if (job.counts) job.counts->Abandon();
  if (job.pair) job.pair->Abandon();
}

bool FinishSinks(const RenderJob& job, std::string& error) {
  // The count file and the pair first: a picture that is in place promises
  // that its companions are too.
  bool ok = (!job.counts || job.counts->Finish(error)) &&
            (!job.pair || job.pair->Finish(error)) &&
            (!job.picture || job.picture->Finish(error));
  if (!ok) AbandonSinks(job);
  return ok;
}

// A finished row k to every sink: the picture row, the band's N sample
// lines (line d at n + d * lineValues, in the order they leave), the
// pair's counts.
bool WriteToSinks(const RenderJob& job, std::uint64_t k,
                  const unsigned char* picture, const std::uint32_t* n,
                  const float* nf, std::size_t lineValues,
                  const std::uint16_t* pairCounts, std::string& error) {
  if (job.picture && !job.picture->WriteRow(picture, error)) return false;
  for (unsigned d = 0; job.counts && d < job.samples; ++d) {
    if (!job.counts->WriteLine(n + d * lineValues, nf + d * lineValues, error))
      return false;
  }
  const std::uint64_t l = BottomFirst(job.picture) ? k : job.height - 1 - k;
  return !job.pair || job.pair->WriteLine(l, pairCounts, error);
}

// The first failure of the workers, which the writing thread reports.
class WorkerFailure {
 public:
  // After a failure the remaining rows are not worth computing.
  bool Happened() const { return failed.load(std::memory_order_relaxed); }
  void Set(const std::string& why) {
    std::lock_guard<std::mutex> guard(lock);
    if (!failed.exchange(true))
      failure = why.empty() ? "cannot read the samples" : why;
  }
  // Ends a job that failed, on the workers' side or the sinks': error is
  // the workers' failure, if there was one, else the sink's own message.
  bool Stop(OrderedRows& rows, const RenderJob& job, std::string& error) {
    rows.Cancel();
    if (failed.load()) {
      std::lock_guard<std::mutex> guard(lock);
      error = failure;
    }
    AbandonSinks(job);
    return false;
  }

 private:
  std::mutex lock;
  std::atomic<bool> failed{false};
  std::string failure;
};

// Bytes of one part of a row made in parts.
constexpr std::size_t PartBytes = std::size_t{256} << 10;

// The rows of a job whose samples a sink keeps, each made by every worker a
// part at a time. The writing thread gathers the parts of a row into one
// band of samples and one picture row, so memory holds that band, the ring
// of parts (bounded in bytes) and the sinks' own state, whatever the width.
// Each pixel's bytes come from its own samples alone, so the parts make the
// same row.
bool RunInParts(const RenderJob& job, std::string& error) {
  const unsigned N = job.samples;
  const std::uint64_t W = job.width, H = job.height;
  const std::size_t lineValues = static_cast<std::size_t>(W) * N;
  const bool bottom = BottomFirst(job.picture);
  const PixelLayout layout =
      job.picture ? job.picture->Layout() : PixelLayout::Rgb8;
  const std::size_t pixelBytes =
      job.picture ? (layout == PixelLayout::Rgb16 ? 6 : 3) : 0;
  const std::size_t picBytes = job.picture ? job.picture->RowBytes() : 0;

  const std::size_t perPixel =
      pixelBytes + std::size_t{N} * N * 8 + (job.pair ? 2 : 0);
  const std::uint64_t partPixels = std::max<std::uint64_t>(
      1, std::min<std::uint64_t>(W, PartBytes / perPixel));
  const std::uint64_t parts = (W + partPixels - 1) / partPixels;
  const std::size_t partValues = static_cast<std::size_t>(partPixels) * N;
  // One part in the ring: its picture bytes, its N sample lines' N and NF
  // values (in the order the lines leave), its pair counts.
  const std::size_t nOffset = Align(partPixels * pixelBytes);
  const std::size_t nfOffset = Align(nOffset + partValues * N * 4);
  const std::size_t pairOffset = Align(nfOffset + partValues * N * 4);
  const std::size_t unitBytes = pairOffset + (job.pair ? partPixels * 2 : 0);

  WorkerFailure failure;

  auto produce = [&](std::uint64_t u, unsigned char* out) {
    const std::uint64_t k = u / parts;
    const std::uint64_t first = (u % parts) * partPixels;
    const std::uint64_t pixels = std::min(partPixels, W - first);
    const std::size_t values = static_cast<std::size_t>(pixels) * N;
    const std::uint64_t l = bottom ? k : H - 1 - k;
    auto* n = reinterpret_cast<std::uint32_t*>(out + nOffset);
    auto* nf = reinterpret_cast<float*>(out + nfOffset);
    std::vector<SampleLine> band(N);
    std::string why;
    for (unsigned j = 0; j < N; ++j) {
      const std::size_t d = bottom ? j : N - 1 - j;
      band[j] = SampleLine{n + d * partValues, nf + d * partValues};
      if (failure.Happened()) return;
      if (!job.lines->LinePart(l * N + j, first * N, values, band[j], why)) {
        failure.Set(why);
        return;
      }
    }
    if (job.picture)
      job.colourer->ColourRow(band.data(), N, pixels, layout, out);
    if (job.pair) {
      auto* counts = reinterpret_cast<std::uint16_t*>(out + pairOffset);
      for (std::uint64_t m = 0; m < pixels; ++m)
        counts[m] = PairCount(band[0].n[m]);
    }
  };

  try {
    std::vector<unsigned char> row(picBytes, 0);
    std::vector<std::uint32_t> bandN(job.counts ? lineValues * N : 0);
    std::vector<float> bandNf(bandN.size());
    std::vector<std::uint16_t> pairRow(job.pair ? W : 0);
    OrderedRows units(job.threads);
    units.Start(H * parts, unitBytes, produce);
    for (std::uint64_t u = 0; u < H * parts; ++u) {
      const unsigned char* unit = units.Next();
      bool ok = unit != nullptr && !failure.Happened();
      const std::uint64_t first = (u % parts) * partPixels;
      const std::uint64_t pixels = std::min(partPixels, W - first);
      const std::size_t values = static_cast<std::size_t>(pixels) * N;
      if (ok) {
        std::memcpy(row.data() + first * pixelBytes, unit, pixels * pixelBytes);
        auto* n = reinterpret_cast<const std::uint32_t*>(unit + nOffset);
        auto* nf = reinterpret_cast<const float*>(unit + nfOffset);
        for (unsigned d = 0; job.counts && d < N; ++d) {
          std::memcpy(&bandN[d * lineValues + first * N], n + d * partValues,
                      values * 4);
          std::memcpy(&bandNf[d * lineValues + first * N], nf + d * partValues,
                      values * 4);
        }
        if (job.pair)
          std::memcpy(&pairRow[first], unit + pairOffset, pixels * 2);
      }
      const bool rowDone = u % parts == parts - 1;
      const std::uint64_t k = u / parts;
      if (ok && rowDone)
        ok = WriteToSinks(job, k, row.data(), bandN.data(), bandNf.data(),
                          lineValues, pairRow.data(), error);
      if (!ok) return failure.Stop(units, job, error);
      if (rowDone && job.progress) job.progress(k + 1);
    }
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    AbandonSinks(job);
    return false;
  }
  return FinishSinks(job, error);
}

}  // namespace

bool RunRender(const RenderJob& job, std::string& error) {
  const unsigned N = job.samples;
  const std::uint64_t W = job.width, H = job.height;
  const std::size_t lineValues = static_cast<std::size_t>(W) * N;
  const bool bottom = BottomFirst(job.picture);
  const bool keepSamples = job.counts || job.pair;
  const PixelLayout layout =
      job.picture ? job.picture->Layout() : PixelLayout::Rgb8;
  const std::size_t pixelBytes = layout == PixelLayout::Rgb16 ? 6 : 3;

  // One row of the ring: the picture row, then (when a sink keeps them) the
  // band's N and NF values in the order they go out, then the pair's counts.
  const std::size_t picBytes = job.picture ? job.picture->RowBytes() : 0;
  const std::size_t nOffset = Align(picBytes);
  const std::size_t bandValues = keepSamples ? lineValues * N : 0;
  const std::size_t nfOffset = Align(nOffset + bandValues * 4);
  const std::size_t pairOffset = Align(nfOffset + bandValues * 4);
  const std::size_t rowBytes = pairOffset + (job.pair ? W * 2 : 0);
  if (keepSamples && rowBytes > job.partRowBytes && job.lines->GivesParts())
    return RunInParts(job, error);

  WorkerFailure failure;

  // Without a sink for the samples, a source that computes them gives them
  // a piece of the row at a time, so a worker holds a piece of its band
  // instead of all of it. Each pixel's bytes come from its own samples
  // alone, so the pieces make the same row.
  const bool inParts = !keepSamples && job.picture && job.lines->GivesParts();
  const std::uint64_t partPixels =
      inParts ? std::max<std::uint64_t>(1, PartValues / (std::uint64_t{N} * N))
              : W;

  auto produce = [&](std::uint64_t k, unsigned char* out) {
    const std::uint64_t l = bottom ? k : H - 1 - k;
    Scratch& s = ThreadScratch();
    std::vector<SampleLine> band(N);
    std::string why;
    for (std::uint64_t first = 0; first < W; first += partPixels) {
      const std::uint64_t pixels = std::min(partPixels, W - first);
      const std::size_t values = static_cast<std::size_t>(pixels) * N;
      if (keepSamples) {
        auto* n = reinterpret_cast<std::uint32_t*>(out + nOffset);
        auto* nf = reinterpret_cast<float*>(out + nfOffset);
        for (unsigned j = 0; j < N; ++j) {
          // Stored in the order the lines leave, so the writer passes them
          // on.
          std::size_t d = bottom ? j : N - 1 - j;
          band[j] = SampleLine{n + d * lineValues, nf + d * lineValues};
        }
      } else {
        if (s.n.size() < values * N) {
          s.n.resize(values * N);
          s.nf.resize(values * N);
        }
        for (unsigned j = 0; j < N; ++j)
          band[j] =
              SampleLine{s.n.data() + j * values, s.nf.data() + j * values};
      }
      for (unsigned j = 0; j < N; ++j) {
        if (failure.Happened()) {
          std::memset(out, 0, rowBytes);
          return;
        }
        const bool ok = inParts ? job.lines->LinePart(l * N + j, first * N,
                                                      values, band[j], why)
                                : job.lines->Line(l * N + j, band[j], why);
        if (!ok) {
          failure.Set(why);
          std::memset(out, 0, rowBytes);
          return;
        }
      }
      if (job.picture)
        job.colourer->ColourRow(band.data(), N, pixels, layout,
                                out + first * pixelBytes);
    }
    // BMP rows end in padding that must be 0, as setrender writes it.
    if (job.picture)
      std::memset(out + W * pixelBytes, 0, picBytes - W * pixelBytes);
    if (job.pair) {
      auto* counts = reinterpret_cast<std::uint16_t*>(out + pairOffset);
      for (std::uint64_t m = 0; m < W; ++m) counts[m] = PairCount(band[0].n[m]);
    }
  };

  try {
    OrderedRows rows(job.threads);
    rows.Start(H, rowBytes, produce);
    for (std::uint64_t k = 0; k < H; ++k) {
      const unsigned char* row = rows.Next();
      bool ok = row != nullptr && !failure.Happened();
      if (ok)
        ok = WriteToSinks(
            job, k, row, reinterpret_cast<const std::uint32_t*>(row + nOffset),
            reinterpret_cast<const float*>(row + nfOffset), lineValues,
            reinterpret_cast<const std::uint16_t*>(row + pairOffset), error);
      if (!ok) return failure.Stop(rows, job, error);
      if (job.progress) job.progress(k + 1);
    }
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    AbandonSinks(job);
    return false;
  }
  return FinishSinks(job, error);
}
