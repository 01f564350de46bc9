// Test helpers for the image operations: building small images from bytes
// and reading their rows back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "libutils/img2d.h"

namespace imgtest {

using bytes = std::vector<unsigned char>;

// An allocated image whose rows, top down, hold rows[y] (rowbytes() each).
inline libutils::img2d make(std::uint32_t format, std::uint32_t bits,
                            std::uint32_t w, std::uint32_t h, const bytes& all,
                            std::uint32_t type = 1) {
  libutils::img2d img;
  img.fmt = {format, type, bits};
  img.width = w;
  img.height = h;
  EXPECT_TRUE(img.allocate());
  const std::uint64_t rb = img.rowbytes();
  EXPECT_EQ(all.size(), rb * h);
  for (std::uint32_t y = 0; y < h && all.size() >= rb * (y + 1); ++y)
    std::memcpy(img.pixel(0, y), all.data() + rb * y, rb);
  return img;
}

// The image's own bytes, row after row, without padding.
inline bytes pixels(const libutils::img2d& img) {
  bytes out;
  for (std::uint32_t y = 0; y < img.height; ++y) {
    const unsigned char* row = img.pixel(0, y);
    out.insert(out.end(), row, row + img.rowbytes());
  }
  return out;
}

}  // namespace imgtest
