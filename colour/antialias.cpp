// Sample positions and linear-light averaging.
#include "colour/antialias.h"

#include <vector>

#include "colour/basicmath.h"
#include "core/kernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

// A fixed integer mix (the finaliser of a well-known 32-bit hash): the
// jitter must look random but be the same everywhere, forever.
std::uint32_t Mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

// Offset of place `cell` + k / 65536 among n cells, in [-0.5, 0.5),
// measured from the middle; numerator and denominator are exact integers.
double CellOffset(unsigned cell, std::uint32_t k, unsigned n) {
  std::int64_t num =
      std::int64_t{65536} * cell + (k & 0xffff) - std::int64_t{32768} * n;
  return static_cast<double>(num) / static_cast<double>(65536 * n);
}

double Place(double min, double len, std::uint64_t count, std::uint64_t i,
             double d) {
  if (count >= 2) {
    // The engine's order: product first, then the division, then the
    // corner. Adding 0 to the index changes nothing, so d = 0 is the
    // engine's own point.
    return min + ((static_cast<double>(i) + d) * len) /
                     static_cast<double>(count - 1);
  }
  double mid = min + len * 0.5;
  return d == 0 ? mid : mid + d * len;
}

std::vector<std::uint32_t> BuildLinear() {
  std::vector<std::uint32_t> table(65536);
  for (unsigned c = 0; c < 65536; ++c) {
    double s = c / 65535.0;
    // The sRGB transfer curve, decoded.
    double lin =
        s <= 0.04045 ? s / 12.92 : basicmath::Pow((s + 0.055) / 1.055, 2.4);
    table[c] = static_cast<std::uint32_t>(lin * 16777216.0 + 0.5);
  }
  return table;
}

const std::vector<std::uint32_t>& LinearTable() {
  static const std::vector<std::uint32_t> table = BuildLinear();
  return table;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define ANTIALIAS_AVX2 1
bool HaveAvx2() {
  static const bool have = KernelSupported(KernelKind::Avx2);
  return have;
}

// min + (x * len) / last over the first multiple of four of count values in
// place, each operation the plain loop's; returns how many it did.
__attribute__((target("avx2"))) std::size_t ScaleAvx2(double min, double len,
                                                      double last,
                                                      std::size_t count,
                                                      double* x) {
  const __m256d mn = _mm256_set1_pd(min), ln = _mm256_set1_pd(len),
                la = _mm256_set1_pd(last);
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m256d v = _mm256_loadu_pd(x + k);
    _mm256_storeu_pd(
        x + k, _mm256_add_pd(mn, _mm256_div_pd(_mm256_mul_pd(v, ln), la)));
  }
  return k;
}
#endif

}  // namespace

double SampleDx(unsigned i, unsigned j, unsigned n) {
  if (n <= 1) return 0;
  return CellOffset(i, Mix(0x10000u * n + 0x100u * j + i), n);
}

double SampleDy(unsigned j, unsigned n) {
  if (n <= 1) return 0;
  return CellOffset(j, Mix(0x80000000u + 0x10000u * n + j), n);
}

double SampleRe(const MandArea& a, std::uint64_t m, double dx) {
  return Place(a.minRe, a.lenRe, a.dotsX, m, dx);
}

void SampleReLine(const MandArea& a, unsigned n, const double* dx,
                  std::uint64_t first, std::size_t count, double* out) {
  // Walking the pixel and the offset instead of dividing the sample's
  // index by N for each, and with the view's numbers in locals (out could
  // alias them): the loop took a tenth of an anti-aliased render's time.
  std::uint64_t m = first / n;
  unsigned i = static_cast<unsigned>(first % n);
  const double min = a.minRe, len = a.lenRe;
  const std::uint64_t dots = a.dotsX;
  if (dots < 2) {
    for (std::size_t k = 0; k < count; ++k) {
      out[k] = Place(min, len, dots, m, dx[i]);
      if (++i == n) i = 0;
    }
    return;
  }
  // Place's arithmetic for two or more pixels, in two passes: the pixel and
  // offset of each sample, then the rest, which has no branch and runs four
  // samples at a time where the processor has AVX2.
  // The pixel's index is converted once a pixel, not once a sample.
  double md = static_cast<double>(m);
  for (std::size_t k = 0; k < count; ++k) {
    out[k] = md + dx[i];
    if (++i == n) {
      i = 0;
      md = static_cast<double>(++m);
    }
  }
  const double last = static_cast<double>(dots - 1);
  std::size_t k = 0;
#ifdef ANTIALIAS_AVX2
  if (HaveAvx2()) k = ScaleAvx2(min, len, last, count, out);
#endif
  for (; k < count; ++k) out[k] = min + (out[k] * len) / last;
}

double SampleIm(const MandArea& a, std::uint64_t l, double dy) {
  return Place(a.minIm, a.lenIm, a.dotsY, l, dy);
}

std::uint32_t ToLinear(std::uint16_t code) { return LinearTable()[code]; }

std::uint16_t FromLinear(std::uint32_t v) {
  const std::vector<std::uint32_t>& t = LinearTable();
  // The last code whose light is at most v (0 when none is).
  unsigned lo = 0, hi = 65535;
  while (lo < hi) {
    unsigned mid = (lo + hi + 1) / 2;
    if (t[mid] <= v)
      lo = mid;
    else
      hi = mid - 1;
  }
  if (lo < 65535 && t[lo] < v && t[lo + 1] - v < v - t[lo]) ++lo;
  return static_cast<std::uint16_t>(lo);
}

void LinearSum::Add(Rgb16 c) {
  const std::vector<std::uint32_t>& t = LinearTable();
  r += t[c.r];
  g += t[c.g];
  b += t[c.b];
  ++count;
}

Rgb16 LinearSum::Mean() const {
  if (count == 0) return Rgb16();
  auto mean = [this](std::uint64_t sum) {
    return FromLinear(static_cast<std::uint32_t>((sum + count / 2) / count));
  };
  return Rgb16{mean(r), mean(g), mean(b)};
}

Rgb16 Average(const Rgb16* samples, std::size_t n) {
  LinearSum sum;
  for (std::size_t k = 0; k < n; ++k) sum.Add(samples[k]);
  return sum.Mean();
}

void AddSampleLine(const Rgb16* line, std::uint64_t width, unsigned n,
                   LinearSum* sums) {
  // Add() with the table found once per line rather than per sample.
  const std::uint32_t* t = LinearTable().data();
  for (std::uint64_t m = 0; m < width; ++m) {
    LinearSum& sum = sums[m];
    for (unsigned i = 0; i < n; ++i) {
      const Rgb16 c = line[m * n + i];
      sum.r += t[c.r];
      sum.g += t[c.g];
      sum.b += t[c.b];
    }
    sum.count += n;
  }
}

void TakeMeans(LinearSum* sums, std::uint64_t width, Rgb16* out) {
  for (std::uint64_t m = 0; m < width; ++m) {
    out[m] = sums[m].Mean();
    sums[m] = LinearSum();
  }
}
