// Image operations on img2d: colour fill, colour offset, channel-order and
// palette conversions, grey conversion, quarter turns and halving.
//
// Refusals: fill, addcolor, togrey and scaledown first call libutils::error()
// and then write their message and a newline to the standard error stream;
// the others refuse silently, by their result.
//
// Operations with a destination make it a whole image (pitch 0, origin
// (0, 0)) with its own block: a destination that shared its block with
// other images (the source included) takes a new one and leaves theirs
// alone. Destination and source may be the same object. Sources may be
// sub-images.
#pragma once

#include <cstdint>

#include "libutils/img2d.h"

namespace libutils {

// Red, green, blue, alpha, nominally 0 to 1.
struct imgcolor {
  float r, g, b, a;
};

// A single-precision value as an 8-bit channel: NaN and values above 1 give
// 255, values below 0 give 0, others v x 255 + 0.5 truncated (0.5 -> 128).
unsigned char tobyte(float v);

// The value a channel byte stands for is byte x channel_scale; the constant
// is the float nearest 1/255, so 255 x channel_scale is exactly 1.
inline constexpr float channel_scale = 0x1.010102p-8f;

// Sets every pixel of an RGB or RGBA image with 8-bit UINT channels to the
// colour (alpha only for RGBA). Works in place, on sub-images too. Refusals,
// checked in this order: "not support image type.", "not support image
// bits.", "not support format."; the image is then unchanged.
bool fill(img2d& image, const imgcolor& colour);

// Adds the colour to the red, green and blue channels of every pixel of an
// RGB or RGBA image with 8-bit UINT channels: each byte p becomes
// tobyte(min(1, p x channel_scale + c)). The alpha byte of an RGBA image is
// left as it is and the colour's alpha is not read. With (0.5, 0.5, 0.5, 1)
// 0 becomes 128, 1 becomes 129, 100 becomes 228 and 127 or more 255.
// Refusals as for fill.
bool addcolor(img2d& image, const imgcolor& colour);

// BGR or BGRA source with 8-bit channels and type 0 or 1 to RGB or RGBA
// (torgb), and RGB or RGBA to BGR or BGRA (tobgr): the first and third
// channels change places, alpha stays. Any other or a compressed source
// makes the destination a shallow copy of it and gives false.
bool torgb(img2d& destination, const img2d& source);
bool tobgr(img2d& destination, const img2d& source);

// Expands an INDEX image with 4-bit (two pixels per byte, the first in the
// high half) or 8-bit indices into an RGB image with 8-bit UINT channels,
// taking the high byte of each palette entry. Indices at or beyond the
// palette's count give black. A source that is not INDEX makes the
// destination a shallow copy of it and gives true. Other index widths give
// false after the destination was allocated; a compressed source gives
// false with the destination unchanged.
bool depalette(img2d& destination, const img2d& source);

// Converts an RGB image with 8-bit UINT channels to GREY:
// (R x 0.299 + G x 0.587) + B x 0.114 in single precision, truncated.
// Refusals, checked in this order, write the offending value and
// ": image format is not RGB.", ": image type is not UINT." or
// ": image bits is not 8."; a compressed source is refused without a
// message.
bool togrey(img2d& destination, const img2d& source);

// Quarter turns after applying an Exif orientation code: 6 adds one, 3 two
// and 8 three (mod 4); any other code gives q unchanged.
unsigned orientation(unsigned q, unsigned code);

// Turns the source by q quarter turns (counter-clockwise on screen, rows
// growing downward: the source's first column ends as the last row) into
// the destination. q 0 makes the destination a shallow copy; q above 3, a
// compressed source or a failed allocation give false. Pixels of any
// width are moved whole, those narrower than a byte bit by bit.
bool rotate(unsigned q, img2d& destination, const img2d& source);

// Halves the source in both directions, each destination channel byte the
// truncated average of a 2 x 2 block; an odd last column or row is dropped.
// For GREY, RGB, RGBA, BGR and BGRA with 8-bit channels. Failures:
// "scaledown(): allocate() fail." or "scaledown(): <format>: unsupported
// format." (the destination is then allocated with unwritten pixels); a
// compressed source is refused without a message.
bool scaledown(img2d& destination, const img2d& source);

}  // namespace libutils
