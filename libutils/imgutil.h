// Helpers shared by the image operations; internal to libutils.
#pragma once

#include <cstdint>

#include "libutils/img2d.h"

namespace libutils::imgutil {

// Readies an image to receive a new picture: it becomes a whole image
// (pitch 0, origin (0, 0)), and if its block is shared it lets go of it, so
// that allocate() makes a new block instead of resizing one that other
// images (possibly the source) still read.
void make_own(img2d& image);

// Copies n bits from src, starting at bit src_bit, to dst at bit dst_bit.
// Bits are counted from the high bit of each byte down, the order in which
// pixels narrower than a byte are packed.
void copy_bits(unsigned char* dst, std::uint64_t dst_bit,
               const unsigned char* src, std::uint64_t src_bit,
               std::uint64_t n);

// Address of the start of row y of the underlying array, and the bit at
// which pixel (x, y) begins within it.
inline unsigned char* row_base(img2d& image, std::uint32_t y) {
  return image.data() + (std::uint64_t{y} + image.y0) * image.stride();
}
inline const unsigned char* row_base(const img2d& image, std::uint32_t y) {
  return image.data() + (std::uint64_t{y} + image.y0) * image.stride();
}
inline std::uint64_t bit_of(const img2d& image, std::uint32_t x) {
  return (std::uint64_t{x} + image.x0) * image.bpp();
}

// Writes libutils::error(), then text and a newline, to the standard error
// stream, flushed.
void report(const char* text);

}  // namespace libutils::imgutil
