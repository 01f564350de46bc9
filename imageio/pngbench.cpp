// Prints what PNG output costs beside BMP for a large render of the whole
// set, for several zlib levels, row filters and strategies, and what the
// count file costs for several OpenEXR compressions, so that the writers'
// defaults rest on figures. Not a test: run it by hand,
//   imageio_pngbench [width height limit [directory [keep]]]
// ("keep" leaves the pictures the writer wrote, to look at).
// The picture is computed once on every processor (smooth colouring with
// the default palette at the default bailout, and banded cosine colouring at
// bailout 2, as setrender colours) and kept in memory; then each setting
// encodes it into a file, timed alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <png.h>

#include "colour/colouring.h"
#include "core/escape.h"
#include "core/kernel.h"
#include "core/mandelbrot.h"
#include "imageio/bmpwriter.h"
#include "imageio/countfile.h"
#include "imageio/pngwriter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The whole picture, rows top first, 8-bit RGB; computed on every core.
std::vector<unsigned char> Render(const MandArea& a, double bailout,
                                  const Colouring& colouring) {
  std::vector<unsigned char> picture(a.dotsX * a.dotsY * 3);
  unsigned threads = std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      Colourer colourer(colouring, bailout, static_cast<std::uint32_t>(a.limit));
      EscapeRule rule;
      rule.radius = bailout;
      rule.limit = static_cast<std::uint32_t>(a.limit);
      std::vector<double> re(a.dotsX);
      for (std::uint64_t m = 0; m < a.dotsX; ++m) {
        re[m] = PixelPosition(a.minRe, a.lenRe, m, a.dotsX);
      }
      std::vector<EscapeResult> out(a.dotsX);
      std::vector<Rgb16> colours(a.dotsX);
      for (std::uint64_t l = t; l < a.dotsY; l += threads) {
        double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
        EscapeLine(rule, re.data(), a.dotsX, im, out.data());
        colourer.ColourLine(out.data(), a.dotsX, colours.data());
        unsigned char* row = &picture[(a.dotsY - 1 - l) * a.dotsX * 3];
        for (std::uint64_t m = 0; m < a.dotsX; ++m) {
          Rgb8 c = To8(colours[m]);
          row[3 * m] = c.r;
          row[3 * m + 1] = c.g;
          row[3 * m + 2] = c.b;
        }
      }
    });
  }
  for (std::thread& w : workers) w.join();
  return picture;
}

struct Setting {
  const char* name;
  int level;
  int filters;
  int strategy;  // -1: libpng's choice
};

// Encodes with libpng directly, so settings the writer does not offer can
// be tried too. Returns the file size, 0 on failure.
long Encode(const std::string& path, const std::vector<unsigned char>& pic,
            std::uint32_t w, std::uint32_t h, const Setting& s) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return 0;
  }
  png_init_io(png, f);
  png_set_compression_level(png, s.level);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, s.filters);
  if (s.strategy >= 0) png_set_compression_strategy(png, s.strategy);
  png_set_compression_buffer_size(png, 1u << 17);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (std::uint32_t y = 0; y < h; ++y) png_write_row(png, &pic[y * w * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

// The count-file samples of the whole view at the default bailout, rows
// top first.
void Samples(const MandArea& a, std::vector<std::uint32_t>& n,
             std::vector<float>& nf) {
  n.resize(a.dotsX * a.dotsY);
  nf.resize(a.dotsX * a.dotsY);
  unsigned threads = std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      EscapeRule rule;
      rule.radius = DefaultBailout;
      rule.limit = static_cast<std::uint32_t>(a.limit);
      std::vector<double> re(a.dotsX);
      for (std::uint64_t m = 0; m < a.dotsX; ++m) {
        re[m] = PixelPosition(a.minRe, a.lenRe, m, a.dotsX);
      }
      std::vector<EscapeResult> out(a.dotsX);
      for (std::uint64_t l = t; l < a.dotsY; l += threads) {
        double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
        EscapeLine(rule, re.data(), a.dotsX, im, out.data());
        const std::size_t row = (a.dotsY - 1 - l) * a.dotsX;
        for (std::uint64_t m = 0; m < a.dotsX; ++m) {
          CountSample c = ToCountSample(out[m], DefaultBailout);
          n[row + m] = c.n;
          nf[row + m] = c.nf;
        }
      }
    });
  }
  for (std::thread& w : workers) w.join();
}

// Writes the samples line by line with one OpenEXR compression; the size.
long WriteExr(const std::string& path, const MandArea& a,
              std::vector<std::uint32_t>& n, std::vector<float>& nf,
              Imf::Compression compression, int zipLevel) {
  const int w = static_cast<int>(a.dotsX), h = static_cast<int>(a.dotsY);
  Imf::Header header(w, h, 1, Imath::V2f(0, 0), 1, Imf::INCREASING_Y,
                     compression);
  if (zipLevel >= 0) header.zipCompressionLevel() = zipLevel;
  header.channels().insert("N", Imf::Channel(Imf::UINT));
  header.channels().insert("NF", Imf::Channel(Imf::FLOAT));
  {
    Imf::OutputFile out(path.c_str(), header, 0);
    Imf::FrameBuffer fb;
    fb.insert("N", Imf::Slice(Imf::UINT, reinterpret_cast<char*>(n.data()), 4,
                              4 * static_cast<std::size_t>(w)));
    fb.insert("NF", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(nf.data()),
                               4, 4 * static_cast<std::size_t>(w)));
    out.setFrameBuffer(fb);
    for (int y = 0; y < h; ++y) out.writePixels(1);
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

void CountFiles(const MandArea& a, const std::string& dir) {
  std::vector<std::uint32_t> n;
  std::vector<float> nf;
  Samples(a, n, nf);
  const double pixels = double(a.dotsX) * a.dotsY;
  std::printf("\ncount file, %.1f MB of samples\n", pixels * 8 / 1e6);
  std::printf("  %-26s %8s %8s %10s\n", "compression", "MB", "s", "ns/pixel");
  struct Choice {
    const char* name;
    Imf::Compression c;
    int level;
  } choices[] = {
      {"none", Imf::NO_COMPRESSION, -1},
      {"RLE", Imf::RLE_COMPRESSION, -1},
      {"ZIPS (1 line), default", Imf::ZIPS_COMPRESSION, -1},
      {"ZIP (16 lines), default", Imf::ZIP_COMPRESSION, -1},
      {"ZIP (16 lines), level 1", Imf::ZIP_COMPRESSION, 1},
      {"PIZ", Imf::PIZ_COMPRESSION, -1},
  };
  const std::string path = dir + "/pngbench.exr";
  for (const Choice& c : choices) {
    Clock::time_point t0 = Clock::now();
    long size = WriteExr(path, a, n, nf, c.c, c.level);
    double t = Seconds(t0);
    std::printf("  %-26s %8.2f %8.3f %10.2f\n", c.name, size / 1e6, t,
                t * 1e9 / pixels);
  }
  // The writer at its defaults.
  Clock::time_point t0 = Clock::now();
  CountFileWriter writer;
  std::string error;
  writer.Open(path, static_cast<std::uint32_t>(a.dotsX),
              static_cast<std::uint32_t>(a.dotsY), static_cast<std::uint32_t>(a.limit),
              "", false, error);
  for (std::uint64_t y = 0; y < a.dotsY; ++y) {
    writer.WriteLine(&n[y * a.dotsX], &nf[y * a.dotsX], error);
  }
  writer.Finish(error);
  double t = Seconds(t0);
  std::printf("  %-26s %8s %8.3f %10.2f\n", "CountFileWriter defaults", "", t,
              t * 1e9 / pixels);
  std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t w = argc > 3 ? std::strtoul(argv[1], nullptr, 10) : 4000;
  std::uint32_t h = argc > 3 ? std::strtoul(argv[2], nullptr, 10) : 4000;
  std::uint32_t limit = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
  std::string dir = argc > 4 ? argv[4] : "/tmp";
  const bool keep = argc > 5 && std::string(argv[5]) == "keep";
  MandArea a;  // the whole set: setrender -2 -2 4 W H LIMIT
  a.dotsX = w;
  a.dotsY = h;
  a.lenRe = 4;
  a.lenIm = (static_cast<double>(h) * 4) / static_cast<double>(w);
  a.minRe = -2;
  a.minIm = -2 + (a.lenRe - a.lenIm) * 0.5;
  a.limit = limit;

  const Setting settings[] = {
      {"level 1, no filter", 1, PNG_FILTER_NONE, -1},
      {"level 1, no filter, RLE", 1, PNG_FILTER_NONE, 3 /* Z_RLE */},
      {"no filter, Huffman only", 1, PNG_FILTER_NONE, 2 /* Z_HUFFMAN_ONLY */},
      {"sub, Huffman only", 1, PNG_FILTER_SUB, 2},
      {"level 1, sub", 1, PNG_FILTER_SUB, -1},
      {"level 1, up", 1, PNG_FILTER_UP, -1},
      {"level 1, paeth", 1, PNG_FILTER_PAETH, -1},
      {"level 1, adaptive", 1, PNG_ALL_FILTERS, -1},
      {"level 1, sub, RLE", 1, PNG_FILTER_SUB, 3},
      {"level 1, up, RLE", 1, PNG_FILTER_UP, 3},
      {"level 2, no filter", 2, PNG_FILTER_NONE, -1},
      {"level 3, no filter", 3, PNG_FILTER_NONE, -1},
      {"level 6, no filter", 6, PNG_FILTER_NONE, -1},
      {"level 6, adaptive", 6, PNG_ALL_FILTERS, -1},
  };

  struct Picture {
    const char* name;
    double bailout;
    Colouring colouring;
  } pictures[2];
  pictures[0] = {"smooth, default palette, bailout 256", DefaultBailout,
                 Colouring()};
  Colouring bands;
  bands.shading = Shading::Bands;
  bands.palette = Palette();  // cosine 3, 2, 1
  std::string error;
  ParsePalette("cosine:3,2,1", bands.palette, error);
  bands.period = limit;
  pictures[1] = {"banded cosine, period = limit, bailout 2", 2, bands};

  std::printf("%ux%u, limit %u, %u threads\n", w, h, limit,
              std::thread::hardware_concurrency());
  for (const Picture& p : pictures) {
    Clock::time_point t0 = Clock::now();
    std::vector<unsigned char> pic = Render(a, p.bailout, p.colouring);
    double render = Seconds(t0);

    // BMP through the sink: the rows bottom first, blue-green-red.
    t0 = Clock::now();
    BmpWriter bmp;
    bmp.Open(dir + "/pngbench.bmp", w, h, error);
    std::vector<unsigned char> row(bmp.RowBytes(), 0);
    for (std::uint32_t y = h; y-- > 0;) {
      const unsigned char* src = &pic[y * w * 3];
      for (std::uint32_t x = 0; x < w; ++x) {
        row[3 * x] = src[3 * x + 2];
        row[3 * x + 1] = src[3 * x + 1];
        row[3 * x + 2] = src[3 * x];
      }
      bmp.WriteRow(row.data(), error);
    }
    bmp.Finish(error);
    double bmpTime = Seconds(t0);
    std::remove((dir + "/pngbench.bmp").c_str());
    const double base = render + bmpTime;
    std::printf("\n%s\n  compute and colour %.3f s (all threads), BMP write "
                "%.3f s (%.2f ns/pixel), %.1f MB\n",
                p.name, render, bmpTime, bmpTime * 1e9 / (double(w) * h),
                (54.0 + double(w) * 3 * h) / 1e6);
    std::printf("  %-26s %8s %8s %10s %18s\n", "setting", "MB", "s",
                "ns/pixel", "PNG vs BMP, serial");
    for (const Setting& s : settings) {
      t0 = Clock::now();
      long size = Encode(dir + "/pngbench.png", pic, w, h, s);
      double t = Seconds(t0);
      std::printf("  %-26s %8.2f %8.3f %10.2f %17.1f%%\n", s.name, size / 1e6,
                  t, t * 1e9 / (double(w) * h), 100 * (t - bmpTime) / base);
    }
    // The writer at its defaults (igzip where the build has it), and
    // through libpng's zlib at level 1, for the record.
    const std::string kept =
        dir + "/pngbench-" + (&p == &pictures[0] ? "smooth" : "bands") + ".png";
    for (PngDeflate deflate : {PngDeflate::Fast, PngDeflate::Zlib}) {
      t0 = Clock::now();
      PngWriter writer;
      PngOptions options;
      options.deflate = deflate;
      writer.Open(kept, w, h, options, error);
      for (std::uint32_t y = 0; y < h; ++y)
        writer.WriteRow(&pic[y * w * 3], error);
      writer.Finish(error);
      double t = Seconds(t0);
      std::FILE* f = std::fopen(kept.c_str(), "rb");
      long size = 0;
      if (f) {
        std::fseek(f, 0, SEEK_END);
        size = std::ftell(f);
        std::fclose(f);
      }
      std::printf("  %-26s %8.2f %8.3f %10.2f %17.1f%%\n",
                  deflate == PngDeflate::Fast ? "PngWriter defaults"
                                              : "PngWriter, zlib level 1",
                  size / 1e6, t, t * 1e9 / (double(w) * h),
                  100 * (t - bmpTime) / base);
    }
    std::remove((dir + "/pngbench.png").c_str());
    if (!keep) std::remove(kept.c_str());
  }
  CountFiles(a, dir);
  return 0;
}
