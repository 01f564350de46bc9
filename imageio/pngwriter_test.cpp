#include "imageio/pngwriter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "imageio/pngtext.h"
#include "imageio/testfiles.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;

std::uint32_t Be32(const std::string& s, std::size_t at) {
  return (std::uint32_t(static_cast<unsigned char>(s[at])) << 24) |
         (std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 16) |
         (std::uint32_t(static_cast<unsigned char>(s[at + 2])) << 8) |
         std::uint32_t(static_cast<unsigned char>(s[at + 3]));
}

struct Chunk {
  std::string type, data;
};

std::vector<Chunk> Chunks(const std::string& png) {
  std::vector<Chunk> chunks;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    std::uint32_t n = Be32(png, at);
    chunks.push_back({png.substr(at + 4, 4), png.substr(at + 8, n)});
    at += 12 + n;
  }
  return chunks;
}

// An independent decoder of our truecolour pictures: inflate the image data
// and undo the five row filters of the PNG format, giving the raw bytes of
// every row (16-bit samples stay big-endian).
std::vector<std::string> DecodeRows(const std::string& png, std::size_t width,
                                    std::size_t height, int depth) {
  std::string z;
  for (const Chunk& c : Chunks(png)) {
    if (c.type == "IDAT") z += c.data;
  }
  const std::size_t bpp = 3 * depth / 8, stride = width * bpp;
  std::vector<unsigned char> raw(height * (stride + 1));
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &size,
                       reinterpret_cast<const Bytef*>(z.data()), z.size()),
            Z_OK);
  EXPECT_EQ(size, raw.size());
  std::vector<std::string> rows;
  std::string prior(stride, '\0');
  for (std::size_t y = 0; y < height; ++y) {
    const unsigned char* in = &raw[y * (stride + 1)];
    std::string row(stride, '\0');
    auto at = [&](const std::string& s, std::size_t i) -> int {
      return static_cast<unsigned char>(s[i]);
    };
    for (std::size_t i = 0; i < stride; ++i) {
      int a = i >= bpp ? at(row, i - bpp) : 0, b = at(prior, i);
      int c = i >= bpp ? at(prior, i - bpp) : 0;
      int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
          pc = std::abs(p - c);
      int pred[5] = {0, a, b, (a + b) / 2,
                     pa <= pb && pa <= pc ? a : (pb <= pc ? b : c)};
      row[i] = static_cast<char>(in[1 + i] + pred[in[0] % 5]);
    }
    rows.push_back(row);
    prior = row;
  }
  return rows;
}

// A little gradient picture, rows top first.
std::vector<std::string> Picture(std::size_t w, std::size_t h, int depth) {
  std::vector<std::string> rows;
  for (std::size_t y = 0; y < h; ++y) {
    std::string row;
    for (std::size_t x = 0; x < w; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        unsigned v = static_cast<unsigned>(x * 37 + y * 91 + ch * 55);
        if (depth == 8) {
          row += static_cast<char>(v & 0xff);
        } else {
          std::uint16_t s = static_cast<std::uint16_t>(v * 257 + ch);
          row.append(reinterpret_cast<const char*>(&s), 2);  // host order
        }
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// Bytes of a xorshift generator, which no compressor shrinks much.
std::vector<std::string> Noise(std::size_t w, std::size_t h, int depth) {
  std::uint32_t x = 2463534242u;
  std::vector<std::string> rows;
  for (std::size_t y = 0; y < h; ++y) {
    std::string row(w * 3 * (depth / 8), '\0');
    for (char& c : row) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = static_cast<char>(x >> 24);
    }
    rows.push_back(row);
  }
  return rows;
}

std::string BigEndian16(const std::string& hostRow) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hostRow.size(); i += 2) {
    std::uint16_t s;
    std::memcpy(&s, hostRow.data() + i, 2);
    out += static_cast<char>(s >> 8);
    out += static_cast<char>(s & 0xff);
  }
  return out;
}

bool Write(const std::string& name, const std::vector<std::string>& rows,
           std::size_t width, const PngOptions& options, std::string& error) {
  PngWriter png;
  if (!png.Open(name, width, rows.size(), options, error)) return false;
  EXPECT_FALSE(png.BottomFirst());
  EXPECT_EQ(png.RowBytes(), rows[0].size());
  EXPECT_EQ(png.Layout(),
            options.depth == 8 ? PixelLayout::Rgb8 : PixelLayout::Rgb16);
  for (const std::string& r : rows) {
    if (!png.WriteRow(r.data(), error)) return false;
  }
  return png.Finish(error);
}

TEST(PngWriter, RowsAndViewTextRoundTrip) {
  constexpr PngDeflate Fast = PngDeflate::Fast, Zlib = PngDeflate::Zlib;
  struct Row {
    PngDeflate deflate;
    int depth, level;
    PngFilter filter;
    bool rle;
    std::size_t w, h;
    bool noisy;  // nearly incompressible: several IDAT chunks
  } rows[] = {
      {Zlib, 8, 1, PngFilter::Up, true, 5, 3, false},
      {Zlib, 8, 9, PngFilter::Adaptive, false, 7, 4, false},
      {Zlib, 8, 3, PngFilter::Sub, false, 6, 2, false},
      {Zlib, 8, 3, PngFilter::Paeth, true, 6, 3, false},
      {Zlib, 16, 1, PngFilter::Up, true, 3, 2, false},
      {Zlib, 16, 6, PngFilter::Adaptive, false, 4, 5, false},
      {Zlib, 16, 1, PngFilter::None, false, 4, 5, false},
      {Zlib, 8, 0, PngFilter::None, false, 1, 1, false},
      {Fast, 8, 1, PngFilter::None, false, 5, 3, false},
      {Fast, 16, 1, PngFilter::None, false, 4, 5, false},
      {Fast, 8, 1, PngFilter::None, false, 1, 1, false},
      {Fast, 8, 1, PngFilter::None, false, 400, 400, true},
      {Fast, 16, 1, PngFilter::None, false, 300, 200, true},
      // Taller than the encoder's ring of rows (of two rows, and of one):
      // it wraps several times.
      {Zlib, 8, 1, PngFilter::Up, true, 60000, 7, false},
      {Zlib, 16, 1, PngFilter::Up, true, 100000, 3, false},
      {Fast, 8, 1, PngFilter::None, false, 60000, 7, false},
      {Fast, 16, 1, PngFilter::None, false, 100000, 3, false},
  };
  const std::string view = "center = -0.75 0\nwidth = 3\n# comment\n";
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << (r.deflate == Fast ? "fast" : "zlib") << " depth "
                 << r.depth << " level " << r.level << " filter "
                 << static_cast<int>(r.filter) << " rle " << r.rle << " " << r.w
                 << "x" << r.h);
    ScopedTempDir dir;
    const std::string name = dir.File("p.png");
    PngOptions options;
    options.deflate = r.deflate;
    options.depth = r.depth;
    options.level = r.level;
    options.filter = r.filter;
    options.rle = r.rle;
    options.viewText = view;
    std::vector<std::string> picture =
        r.noisy ? Noise(r.w, r.h, r.depth) : Picture(r.w, r.h, r.depth);
    std::string error;
    ASSERT_TRUE(Write(name, picture, r.w, options, error)) << error;

    std::string png = ReadBytes(name);
    if (r.noisy) {
      int idat = 0;
      for (const Chunk& c : Chunks(png)) idat += c.type == "IDAT";
      EXPECT_GT(idat, 1);
    }
    std::vector<std::string> decoded = DecodeRows(png, r.w, r.h, r.depth);
    ASSERT_EQ(decoded.size(), picture.size());
    for (std::size_t y = 0; y < picture.size(); ++y) {
      EXPECT_EQ(decoded[y], r.depth == 8 ? picture[y] : BigEndian16(picture[y]))
          << "row " << y;
    }
    std::string text;
    ASSERT_TRUE(ReadPngViewTextFile(name, text, error)) << error;
    EXPECT_EQ(text, view);

    // libpng itself accepts the file: every checksum and chunk is right.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(
        png_image_begin_read_from_memory(&image, png.data(), png.size()));
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        << image.message;
    EXPECT_EQ(image.width, r.w);
    EXPECT_EQ(image.height, r.h);
  }
}

// The chunks a decoder meets, in order: the text and the colour space come
// before the first image data, so the view can be read without pixels.
TEST(PngWriter, ChunkOrderAndColourSpace) {
  ScopedTempDir dir;
  PngOptions options;
  options.viewText = "size = 2 1\n";
  std::string error;
  ASSERT_TRUE(Write(dir.File("p.png"), Picture(2, 1, 8), 2, options, error))
      << error;
  std::string types;
  std::string srgb, text;
  for (const Chunk& c : Chunks(ReadBytes(dir.File("p.png")))) {
    if (types.empty() || types.substr(types.size() - 4) != c.type) {
      types += c.type;
    }
    if (c.type == "sRGB") srgb = c.data;
    if (c.type == "tEXt") text = c.data;
  }
  EXPECT_EQ(types, "IHDRgAMAsRGBcHRMtEXtIDATIEND");
  EXPECT_EQ(srgb, std::string(1, '\0'));  // perceptual intent
  EXPECT_EQ(text, std::string("mandel-view\0size = 2 1\n", 23));
}

// Byte for byte, so that a change of libpng settings (and with it of every
// picture the renderer writes) is seen and made on purpose.
TEST(PngWriter, TinyPicturesMatchGoldenFiles) {
  struct Row {
    int depth;
    const char* view;
    const char* golden;
  } rows[] = {
      {8, "center = -0.5 0\nwidth = 3\nsize = 4 3\nlimit = 100\n", "tiny.png"},
      {16, "center = -0.5 0\nwidth = 3\nsize = 4 3\nlimit = 100\n",
       "tiny16.png"},
      {8, "", "noview.png"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.golden);
    ScopedTempDir dir;
    PngOptions options;
    options.depth = r.depth;
    options.viewText = r.view;
    std::string error;
    ASSERT_TRUE(
        Write(dir.File("p.png"), Picture(4, 3, r.depth), 4, options, error))
        << error;
    ExpectSameAsTestData(ReadBytes(dir.File("p.png")), r.golden);
  }
}

TEST(PngWriter, RefusedSettingsLeaveNothing) {
  struct Row {
    std::uint32_t w, h;
    int depth, level;
    std::string view;
    const char* message;
  } rows[] = {
      {0, 1, 8, 1, "", ": a PNG picture needs 1 to 2147483647 pixels a side"},
      {1, 0x80000000u, 8, 1, "",
       ": a PNG picture needs 1 to 2147483647 pixels a side"},
      {1, 1, 12, 1, "", ": a PNG depth must be 8 or 16"},
      {1, 1, 8, 10, "", ": a PNG compression level must be 0 to 9"},
      {1, 1, 8, 1, std::string("a\0b", 3), ": the view text holds a NUL byte"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    ScopedTempDir dir;
    PngWriter png;
    PngOptions options;
    options.depth = r.depth;
    options.level = r.level;
    options.viewText = r.view;
    std::string error;
    EXPECT_FALSE(png.Open(dir.File("p.png"), r.w, r.h, options, error));
    EXPECT_EQ(error, dir.File("p.png") + r.message);
    EXPECT_TRUE(DirEntries(dir.path()).empty());
  }
}

TEST(PngWriter, UnfinishedPictureKeepsTheOldFile) {
  for (int written : {0, 1}) {
    SCOPED_TRACE(written);
    ScopedTempDir dir;
    const std::string name = dir.File("p.png");
    testutil::WriteBytes(name, "old");
    std::vector<std::string> picture = Picture(3, 2, 8);
    {
      PngWriter png;
      std::string error;
      ASSERT_TRUE(png.Open(name, 3, 2, PngOptions(), error)) << error;
      for (int y = 0; y < written; ++y) {
        ASSERT_TRUE(png.WriteRow(picture[y].data(), error)) << error;
      }
      EXPECT_FALSE(png.Finish(error));
      EXPECT_EQ(error, name + ": picture incomplete");
    }
    EXPECT_EQ(ReadBytes(name), "old");
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"p.png"});
  }
}

// "-" is the standard output: the picture goes there whole, the same bytes
// a named file gets. (libpng is not built for Windows, so POSIX calls serve
// to catch the descriptor.)
TEST(PngWriter, DashWritesTheSamePictureToStandardOutput) {
  ScopedTempDir dir;
  PngOptions options;
  options.viewText = "limit = 7\n";
  std::vector<std::string> picture = Picture(6, 4, 8);
  std::string error;
  ASSERT_TRUE(Write(dir.File("named.png"), picture, 6, options, error))
      << error;

  std::cout.flush();
  std::fflush(stdout);
  const int saved = dup(1);
  const int file =
      open(dir.File("stdout.png").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  dup2(file, 1);
  close(file);
  const bool ok = Write("-", picture, 6, options, error);
  std::cout.flush();
  dup2(saved, 1);
  close(saved);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ReadBytes(dir.File("stdout.png")),
            ReadBytes(dir.File("named.png")));
}

// A write that fails on the encoder's thread is reported by a later
// WriteRow or by Finish, never lost, and the writer can be used again.
// Both compressors, with pictures whose image data is written at the end
// (small) and while the rows come (noise, many IDAT chunks): the failure
// can come at any row, or at the end, and leaves a writer that works.
TEST(PngWriter, FullDeviceFailsWithAMessage) {
  struct Row {
    PngDeflate deflate;
    bool noisy;
  } rows[] = {{PngDeflate::Fast, false},
              {PngDeflate::Fast, true},
              {PngDeflate::Zlib, false},
              {PngDeflate::Zlib, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << (r.deflate == PngDeflate::Fast ? "fast" : "zlib")
                 << (r.noisy ? ", noise" : ""));
    const int device = open("/dev/full", O_WRONLY);
    if (device < 0) GTEST_SKIP() << "no /dev/full";
    // The noise is taller than the encoder's ring of rows, so the caller
    // hears of the failure before its last row.
    std::vector<std::string> picture =
        r.noisy ? Noise(3000, 400, 8) : Picture(3000, 64, 8);
    PngOptions options;
    options.deflate = r.deflate;
    std::cout.flush();
    std::fflush(stdout);
    const int saved = dup(1);
    dup2(device, 1);
    close(device);
    PngWriter png;
    std::string error;
    bool opened = png.Open("-", 3000, picture.size(), options, error);
    bool ok = opened;
    std::size_t y = 0;
    for (; ok && y < picture.size(); ++y)
      ok = png.WriteRow(picture[y].data(), error);
    if (ok) ok = png.Finish(error);
    std::cout.clear();
    dup2(saved, 1);
    close(saved);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "-: write error");
    if (r.noisy) {
      EXPECT_LT(y, picture.size());
    }
    EXPECT_FALSE(png.Finish(error));

    ScopedTempDir dir;
    ASSERT_TRUE(Write(dir.File("p.png"), Picture(4, 3, 8), 4, options, error))
        << error;
  }
}

}  // namespace
