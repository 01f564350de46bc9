// The image container: format arithmetic, allocation, copies and sub-images.
#include "libutils/img2d.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>

#include "libutils/com/common.h"
#include "libutils/imgutil.h"

namespace libutils {
namespace {

constexpr std::uint32_t channels_of[18] = {1, 2, 1, 1, 1, 1, 1, 2, 3,
                                           4, 3, 4, 1, 2, 3, 4, 2, 1};
constexpr std::uint32_t channel_bits[9] = {1, 2, 4, 8, 12, 16, 24, 32, 64};
constexpr std::uint32_t pixel_bits[7] = {8, 16, 16, 32, 8, 16, 0};

}  // namespace

bool imgpalette::allocate(std::uint64_t n) {
  if (n == 0 || !red.resize(n) || !green.resize(n) || !blue.resize(n)) {
    // A count larger than the arrays would let depalette read past them.
    clear();
    return false;
  }
  count = n;
  return true;
}

void imgpalette::clear() {
  count = 0;
  red.release();
  green.release();
  blue.release();
}

std::uint64_t img2d::bpp(const imgfmt& f) {
  // Only program code sets these fields, so a bad code is a bug; the check
  // stays in release builds because the tables would be read out of bounds.
  if (f.format > 17 || f.bits > 15) {
    std::fprintf(stderr, "img2d::bpp(): format %u or bits %u out of range.\n",
                 f.format, f.bits);
    std::abort();
  }
  if (f.bits <= 8)
    return std::uint64_t{channels_of[f.format]} * channel_bits[f.bits];
  return pixel_bits[f.bits - 9];
}

std::uint64_t img2d::stride() const {
  std::uint64_t bytes = (rowlength() * bpp() + 7) / 8;
  std::uint64_t a = (align && align->row) ? align->row : 4;
  return (bytes + a - 1) / a * a;
}

std::uint64_t img2d::rowbytes() const {
  return (std::uint64_t{width} * bpp() + 7) / 8;
}

bool img2d::allocate() {
  storage.length = to_end;
  std::uint64_t rows = std::uint64_t{y0} + height;
  std::uint64_t s = stride();
  if (s && rows > std::numeric_limits<std::uint64_t>::max() / s) return false;
  std::uint64_t needed = rows * s;
  // pixel() counts from the storage's offset, so the block must reach that
  // far beyond it.
  if (needed > std::numeric_limits<std::uint64_t>::max() - storage.offset)
    return false;
  return storage.resize(storage.offset + needed, 0) &&
         storage.data() != nullptr;
}

void img2d::clear() {
  storage.release();
  palette.clear();
  width = 0;
  height = 0;
}

bool copy(img2d& destination, const img2d& source) {
  if (source.compressed) return false;
  // A shallow copy keeps the source readable even when destination is the
  // same object or shares its block.
  const img2d src = source;
  destination.fmt = src.fmt;
  destination.width = src.width;
  destination.height = src.height;
  destination.compressed = false;
  destination.align = src.align;
  imgutil::make_own(destination);
  if (!destination.allocate()) return false;

  const std::uint64_t rowbytes = destination.rowbytes();
  const std::uint64_t stride = destination.stride();
  const std::uint64_t bits = std::uint64_t{src.width} * src.bpp();
  for (std::uint32_t y = 0; y < src.height; ++y) {
    unsigned char* out = destination.pixel(0, y);
    std::uint64_t first_bit = imgutil::bit_of(src, 0);
    if (first_bit % 8 == 0) {
      std::memcpy(out, src.pixel(0, y), rowbytes);
    } else {
      // A sub-image of pixels narrower than a byte may start mid-byte; a
      // byte copy would shift every pixel.
      if (rowbytes) out[rowbytes - 1] = 0;
      imgutil::copy_bits(out, 0, imgutil::row_base(src, y), first_bit, bits);
    }
    std::memset(out + rowbytes, 0, stride - rowbytes);
  }
  return true;
}

bool subimage(img2d& destination, const img2d& source, std::uint32_t x,
              std::uint32_t y, std::uint32_t w, std::uint32_t h) {
  if (source.compressed) return false;
  const img2d src = source;
  destination.storage = src.storage;
  destination.fmt = src.fmt;
  destination.align = src.align;
  destination.pitch = static_cast<std::uint32_t>(src.rowlength());
  // Clip against the source's own size with x and y, not the new origin:
  // the origin counts from the underlying rows, which for a sub-image of a
  // sub-image are wider than the source. An origin outside the source
  // yields an empty image instead of a wrapped, huge one.
  std::uint32_t cx = std::min(x, src.width);
  std::uint32_t cy = std::min(y, src.height);
  destination.x0 = src.x0 + cx;
  destination.y0 = src.y0 + cy;
  destination.width = std::min(w, src.width - cx);
  destination.height = std::min(h, src.height - cy);
  destination.compressed = false;
  destination.palette = src.palette;
  return true;
}

namespace imgutil {

void make_own(img2d& image) {
  image.pitch = 0;
  image.x0 = 0;
  image.y0 = 0;
  if (image.storage.use_count() > 1) image.storage.release();
}

void copy_bits(unsigned char* dst, std::uint64_t dst_bit,
               const unsigned char* src, std::uint64_t src_bit,
               std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i) {
    std::uint64_t s = src_bit + i;
    std::uint64_t d = dst_bit + i;
    unsigned bit = (src[s / 8] >> (7 - s % 8)) & 1u;
    unsigned char mask = static_cast<unsigned char>(0x80u >> (d % 8));
    if (bit)
      dst[d / 8] |= mask;
    else
      dst[d / 8] &= static_cast<unsigned char>(~mask);
  }
}

void report(const char* text) {
  error();
  std::cerr << text << '\n' << std::flush;
}

}  // namespace imgutil
}  // namespace libutils
