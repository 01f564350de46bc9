// Quarter-turn rotation and halving of img2d images.
#include "libutils/imgops.h"

#include <cstring>
#include <string>

#include "libutils/imgutil.h"

namespace libutils {

unsigned orientation(unsigned q, unsigned code) {
  // The Exif orientation tag's codes for the three turned orientations.
  switch (code) {
    case 6:
      return (q + 1) % 4;
    case 3:
      return (q + 2) % 4;
    case 8:
      return (q + 3) % 4;
    default:
      return q;
  }
}

bool rotate(unsigned q, img2d& destination, const img2d& source) {
  if (q == 0) {
    destination = source;
    return true;
  }
  if (q > 3 || source.compressed) return false;
  const img2d src = source;
  const std::uint32_t w = src.width, h = src.height;
  destination.fmt = src.fmt;
  destination.compressed = false;
  destination.width = q == 2 ? w : h;
  destination.height = q == 2 ? h : w;
  imgutil::make_own(destination);
  if (!destination.allocate()) return false;

  const std::uint64_t bpp = src.bpp();
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint32_t dx, dy;
      switch (q) {
        case 1:
          dx = y;
          dy = w - 1 - x;
          break;
        case 2:
          dx = w - 1 - x;
          dy = h - 1 - y;
          break;
        default:
          dx = h - 1 - y;
          dy = x;
          break;
      }
      if (bpp % 8 == 0) {
        std::memcpy(destination.pixel(dx, dy), src.pixel(x, y), bpp / 8);
      } else {
        // Whole-byte copies would move nothing (or split a pixel) here.
        imgutil::copy_bits(imgutil::row_base(destination, dy),
                           imgutil::bit_of(destination, dx),
                           imgutil::row_base(src, y), imgutil::bit_of(src, x),
                           bpp);
      }
    }
  }
  return true;
}

bool scaledown(img2d& destination, const img2d& source) {
  if (source.compressed) return false;
  const img2d src = source;
  destination.fmt = src.fmt;
  destination.compressed = false;
  destination.width = src.width / 2;
  destination.height = src.height / 2;
  imgutil::make_own(destination);
  if (!destination.allocate()) {
    imgutil::report("scaledown(): allocate() fail.");
    return false;
  }

  unsigned n;
  switch (src.fmt.format) {
    case imgfmt::GREY:
      n = 1;
      break;
    case imgfmt::RGB:
    case imgfmt::BGR:
      n = 3;
      break;
    case imgfmt::RGBA:
    case imgfmt::BGRA:
      n = 4;
      break;
    default:
      imgutil::report(("scaledown(): " + std::to_string(src.fmt.format) +
                       ": unsupported format.")
                          .c_str());
      return false;
  }
  // Channels are taken as bytes. Narrower pixels would make the byte walk
  // run past the rows and the block.
  if (src.bpp() < 8u * n) {
    imgutil::report(
        ("scaledown(): " + std::to_string(src.fmt.bits) + ": unsupported bits.")
            .c_str());
    return false;
  }

  for (std::uint32_t y = 0; y < destination.height; ++y) {
    const unsigned char* top = src.pixel(0, 2 * y);
    const unsigned char* bottom = src.pixel(0, 2 * y + 1);
    unsigned char* out = destination.pixel(0, y);
    for (std::uint32_t x = 0; x < destination.width; ++x) {
      const std::uint64_t left = std::uint64_t{2} * x * n;
      for (unsigned c = 0; c < n; ++c) {
        unsigned sum = top[left + c] + top[left + n + c] + bottom[left + c] +
                       bottom[left + n + c];
        out[std::uint64_t{x} * n + c] = static_cast<unsigned char>(sum / 4);
      }
    }
  }
  return true;
}

}  // namespace libutils
