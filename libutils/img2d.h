// img2d: a two-dimensional raster image with shared, reference-counted pixel
// storage, sub-images that view a rectangle of another image without copying
// it, and a palette. imgfmt describes the pixels.
//
// Typical use, an 8-bit RGB picture in paging-file memory:
//   libutils::img2d pic;
//   pic.fmt = {libutils::imgfmt::RGB, libutils::imgfmt::UINT,
//              libutils::imgfmt::BITS8};
//   pic.width = w;
//   pic.height = h;
//   if (!pic.allocate()) { ... "img2d allocate() fail." ... }
//   unsigned char* row = pic.pixel(0, y);   // red, green, blue, red, ...
// Rows are pic.stride() bytes apart and follow each other in increasing y.
#pragma once

#include <cstdint>

#include "libutils/alloc_mmap_win.h"
#include "libutils/alloc_new.h"
#include "libutils/refvector.h"

namespace libutils {

// Format descriptor: channel layout, numeric kind and bit depth. Two
// descriptors are equal when all three fields are.
struct imgfmt {
  // Channel layout code, 0 to 17. Channels per layout:
  //   0:1 1:2 2-6:1 7:2 8:3 9:4 10:3 11:4 12:1 13:2 14:3 15:4 16:2 17:1.
  // Within a pixel the channels follow the order of the name.
  std::uint32_t format = 0;
  // Numeric kind: 1 (UINT) for unsigned integer channels; 0 is what the
  // normal-map operations give their outputs.
  std::uint32_t type = 0;
  // Bit-depth code, 0 to 15. Codes 0 to 8 give the bits of one channel
  // (1, 2, 4, 8, 12, 16, 24, 32, 64); codes 9 to 15 give the bits of the
  // whole pixel (8, 16, 16, 32, 8, 16, 0).
  std::uint32_t bits = 0;

  static constexpr std::uint32_t GREY = 0;
  static constexpr std::uint32_t RGB = 8;  // bytes red, green, blue
  static constexpr std::uint32_t RGBA = 9;
  static constexpr std::uint32_t BGR = 10;
  static constexpr std::uint32_t BGRA = 11;
  static constexpr std::uint32_t INDEX = 17;  // one palette index per pixel

  static constexpr std::uint32_t UINT = 1;

  static constexpr std::uint32_t BITS4 = 2;  // 4 bits per channel
  static constexpr std::uint32_t BITS8 = 3;  // 8 bits per channel

  friend bool operator==(const imgfmt& a, const imgfmt& b) {
    return a.format == b.format && a.type == b.type && a.bits == b.bits;
  }
  friend bool operator!=(const imgfmt& a, const imgfmt& b) { return !(a == b); }
};

// Row-alignment record, shared read-only between images: row is the row
// alignment in bytes (0 stands for 4). The first field is read by no
// operation. Images point to one and never free it.
struct imgalign {
  std::uint32_t reserved = 0;
  std::uint32_t row = 4;
};

// Palette of an INDEX image: count entries of 16-bit red, green and blue
// (the high byte is the 8-bit colour). Copies share the arrays.
class imgpalette {
 public:
  // Sets the count to n and gives each array n entries (zero for new ones).
  // False for n 0, which clears, and when the arrays cannot be allocated,
  // which clears too.
  bool allocate(std::uint64_t n);
  // Count 0; the arrays are given up.
  void clear();

  std::uint64_t count = 0;
  refvector<unsigned short, alloc_new> red, green, blue;
};

class img2d {
 public:
  using storage_type = ofsvector<unsigned char, alloc_mmap_win>;

  // A new image has no storage, no align record, pitch and origin 0, no
  // palette. Copies are shallow: every field is taken over and the pixel
  // block and palette arrays are shared, so writes through one image are
  // seen through the other. Only copy() duplicates pixels. Destruction gives
  // up the palette arrays and then the storage; the last holder frees a
  // block.
  img2d() = default;

  // Sizes the storage for the current fields: (y0 + height) x stride() bytes
  // after the storage's offset. Set fmt, width and height first. Without a
  // block a new read-write paging-file block is made; an existing block is
  // resized in place, which every image sharing it sees. The storage's
  // offset is kept and its length becomes "to the end". A size of 0 bytes
  // (height 0) succeeds with an empty block. False when the block cannot be
  // obtained or resized; an existing block then keeps its old size.
  bool allocate();

  // Gives up the storage and the palette; width and height become 0.
  void clear();

  // Bits per pixel of a descriptor (or of this image's). A format above 17
  // or a bits code above 15 is a programming error and aborts the program,
  // in every build.
  static std::uint64_t bpp(const imgfmt& f);
  std::uint64_t bpp() const { return bpp(fmt); }

  // Pixels per row of the underlying pixel array: pitch, or width when
  // pitch is 0.
  std::uint64_t rowlength() const { return pitch ? pitch : width; }
  // Bytes from one row to the next: rowlength() pixels rounded up to whole
  // bytes, then up to a multiple of the row alignment (align->row, or 4
  // when align is null or says 0).
  std::uint64_t stride() const;
  // Bytes that the image's own pixels of one row occupy:
  // width x bpp / 8, rounded up.
  std::uint64_t rowbytes() const;

  // Address of the byte that holds pixel (x, y):
  //   data() + (y + y0) x stride() + floor((x + x0) x bpp / 8).
  // pixel(0, y) is the start of row y. Unchecked: x and y must lie in the
  // image. Pixels narrower than a byte are packed from the high bits down.
  unsigned char* pixel(std::uint32_t x, std::uint32_t y) {
    return data() + offset_of(x, y);
  }
  const unsigned char* pixel(std::uint32_t x, std::uint32_t y) const {
    return data() + offset_of(x, y);
  }

  // First byte of the storage window (null without storage).
  unsigned char* data() { return storage.data(); }
  const unsigned char* data() const { return storage.data(); }

  storage_type storage;
  imgfmt fmt;
  const imgalign* align = nullptr;  // null: rows aligned to 4 bytes
  std::uint32_t pitch = 0;          // pixels per underlying row; 0: width
  std::uint32_t x0 = 0;  // position of pixel (0, 0) in the underlying
  std::uint32_t y0 = 0;  //   rows
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool compressed = false;  // never set by the library; inputs that have it
                            // are refused
  imgpalette palette;

 private:
  std::uint64_t offset_of(std::uint32_t x, std::uint32_t y) const {
    return (std::uint64_t{y} + y0) * stride() +
           (std::uint64_t{x} + x0) * bpp() / 8;
  }
};

// Makes destination a compact deep copy of source: same format, size and
// align record, pitch 0 and origin (0, 0), its own block, rows of
// rowbytes() each padded with zero bytes up to the row alignment. The
// destination keeps its own palette. If the destination shared its block
// with other images, it takes a new block and leaves theirs alone. False for
// a compressed source (destination unchanged) and when the storage cannot
// be allocated.
bool copy(img2d& destination, const img2d& source);

// Makes destination a window onto the rectangle of source at (x, y) of at
// most w x h pixels, sharing the source's block, format, align record and
// palette; no pixels move. The destination's pitch becomes the source's
// rowlength() and its origin the source's origin plus (x, y). The size is
// clipped to the source: a sub-image of a 100 x 50 image at (90, 40) asking
// for 20 x 20 is 10 x 10. An origin outside the source gives an empty
// (0-wide or 0-high) image. False for a compressed source, which leaves the
// destination unchanged.
bool subimage(img2d& destination, const img2d& source, std::uint32_t x,
              std::uint32_t y, std::uint32_t w, std::uint32_t h);

}  // namespace libutils
