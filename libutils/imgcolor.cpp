// Colour fill, colour offset and the channel-order, palette and grey
// conversions of img2d images with 8-bit channels.
#include "libutils/imgops.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "libutils/imgutil.h"

namespace libutils {
namespace {

// The checks and messages that fill and addcolor share, in their order.
bool paintable(const img2d& image) {
  if (image.fmt.type != imgfmt::UINT) {
    imgutil::report("not support image type.");
    return false;
  }
  if (image.fmt.bits != imgfmt::BITS8) {
    imgutil::report("not support image bits.");
    return false;
  }
  if (image.fmt.format != imgfmt::RGB && image.fmt.format != imgfmt::RGBA) {
    imgutil::report("not support format.");
    return false;
  }
  return true;
}

// torgb and tobgr: from3/from4 are the accepted source layouts, to3/to4 the
// layouts they become.
bool swap_red_blue(img2d& destination, const img2d& source, std::uint32_t from3,
                   std::uint32_t from4, std::uint32_t to3, std::uint32_t to4) {
  const imgfmt& f = source.fmt;
  if (source.compressed || (f.format != from3 && f.format != from4) ||
      f.type > 1 || f.bits != imgfmt::BITS8) {
    destination = source;
    return false;
  }
  const img2d src = source;
  const bool four = f.format == from4;
  destination.fmt = {four ? to4 : to3, f.type, imgfmt::BITS8};
  destination.width = src.width;
  destination.height = src.height;
  destination.compressed = false;
  imgutil::make_own(destination);
  if (!destination.allocate()) return false;

  const unsigned n = four ? 4 : 3;
  for (std::uint32_t y = 0; y < src.height; ++y) {
    const unsigned char* in = src.pixel(0, y);
    unsigned char* out = destination.pixel(0, y);
    for (std::uint32_t x = 0; x < src.width; ++x, in += n, out += n) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (four) out[3] = in[3];
    }
  }
  return true;
}

}  // namespace

unsigned char tobyte(float v) {
  if (std::isnan(v) || v > 1.0f) return 255;
  if (v < 0.0f) return 0;
  // Two single-precision steps, each rounded: keep them apart so that no
  // fused multiply-add changes the halfway cases.
  float scaled = v * 255.0f;
  return static_cast<unsigned char>(scaled + 0.5f);
}

bool fill(img2d& image, const imgcolor& colour) {
  if (!paintable(image)) return false;
  const bool rgba = image.fmt.format == imgfmt::RGBA;
  const unsigned n = rgba ? 4 : 3;
  const unsigned char r = tobyte(colour.r), g = tobyte(colour.g),
                      b = tobyte(colour.b);
  const unsigned char a = rgba ? tobyte(colour.a) : 0;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    unsigned char* p = image.pixel(0, y);
    for (std::uint32_t x = 0; x < image.width; ++x, p += n) {
      p[0] = r;
      p[1] = g;
      p[2] = b;
      if (rgba) p[3] = a;
    }
  }
  return true;
}

bool addcolor(img2d& image, const imgcolor& colour) {
  if (!paintable(image)) return false;
  const unsigned n = image.fmt.format == imgfmt::RGBA ? 4 : 3;
  const float add[3] = {colour.r, colour.g, colour.b};
  for (std::uint32_t y = 0; y < image.height; ++y) {
    unsigned char* p = image.pixel(0, y);
    for (std::uint32_t x = 0; x < image.width; ++x, p += n) {
      for (int c = 0; c < 3; ++c) {
        float sum = p[c] * channel_scale;
        sum = sum + add[c];
        p[c] = tobyte(std::min(1.0f, sum));
      }
    }
  }
  return true;
}

bool torgb(img2d& destination, const img2d& source) {
  return swap_red_blue(destination, source, imgfmt::BGR, imgfmt::BGRA,
                       imgfmt::RGB, imgfmt::RGBA);
}

bool tobgr(img2d& destination, const img2d& source) {
  return swap_red_blue(destination, source, imgfmt::RGB, imgfmt::RGBA,
                       imgfmt::BGR, imgfmt::BGRA);
}

bool depalette(img2d& destination, const img2d& source) {
  if (source.fmt.format != imgfmt::INDEX) {
    destination = source;
    return true;
  }
  if (source.compressed) return false;
  const img2d src = source;
  destination.clear();
  destination.fmt = {imgfmt::RGB, imgfmt::UINT, imgfmt::BITS8};
  destination.width = src.width;
  destination.height = src.height;
  destination.compressed = false;
  imgutil::make_own(destination);
  if (!destination.allocate()) return false;
  if (src.fmt.bits != imgfmt::BITS8 && src.fmt.bits != imgfmt::BITS4)
    return false;

  // Entries past the count, or past arrays shorter than it, are not read:
  // such indices give black.
  const imgpalette& pal = src.palette;
  const std::uint64_t entries =
      std::min({pal.count, pal.red.size(), pal.green.size(), pal.blue.size()});
  const bool nibbles = src.fmt.bits == imgfmt::BITS4;
  for (std::uint32_t y = 0; y < src.height; ++y) {
    const unsigned char* row = imgutil::row_base(src, y);
    unsigned char* out = destination.pixel(0, y);
    for (std::uint32_t x = 0; x < src.width; ++x, out += 3) {
      unsigned index;
      if (nibbles) {
        std::uint64_t bit = imgutil::bit_of(src, x);
        unsigned char byte = row[bit / 8];
        index = bit % 8 == 0 ? byte >> 4 : byte & 0x0Fu;
      } else {
        index = row[imgutil::bit_of(src, x) / 8];
      }
      if (index < entries) {
        out[0] = static_cast<unsigned char>(pal.red[index] >> 8);
        out[1] = static_cast<unsigned char>(pal.green[index] >> 8);
        out[2] = static_cast<unsigned char>(pal.blue[index] >> 8);
      } else {
        out[0] = out[1] = out[2] = 0;
      }
    }
  }
  return true;
}

bool togrey(img2d& destination, const img2d& source) {
  const imgfmt& f = source.fmt;
  if (f.format != imgfmt::RGB) {
    imgutil::report(
        (std::to_string(f.format) + ": image format is not RGB.").c_str());
    return false;
  }
  if (f.type != imgfmt::UINT) {
    imgutil::report(
        (std::to_string(f.type) + ": image type is not UINT.").c_str());
    return false;
  }
  if (f.bits != imgfmt::BITS8) {
    imgutil::report(
        (std::to_string(f.bits) + ": image bits is not 8.").c_str());
    return false;
  }
  if (source.compressed) return false;
  const img2d src = source;
  destination.fmt = {imgfmt::GREY, imgfmt::UINT, imgfmt::BITS8};
  destination.width = src.width;
  destination.height = src.height;
  destination.compressed = false;
  imgutil::make_own(destination);
  if (!destination.allocate()) return false;

  for (std::uint32_t y = 0; y < src.height; ++y) {
    const unsigned char* in = src.pixel(0, y);
    unsigned char* out = destination.pixel(0, y);
    for (std::uint32_t x = 0; x < src.width; ++x, in += 3) {
      // The grouping (R + G) + B is part of the result: other orders round
      // differently.
      float grey = in[0] * 0.299f + in[1] * 0.587f;
      grey = grey + in[2] * 0.114f;
      out[x] = static_cast<unsigned char>(grey);
    }
  }
  return true;
}

}  // namespace libutils
