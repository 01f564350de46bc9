#include "libutils/img2d.h"

#include <gtest/gtest.h>

#include "libutils/imgtest.h"

namespace {

using imgtest::bytes;
using libutils::img2d;
using libutils::imgfmt;

TEST(Img2d, StrideRowBytesAndStorage) {
  static const libutils::imgalign one{0, 1}, zero{0, 0};
  struct Row {
    std::uint32_t format, bits, width, height;
    const libutils::imgalign* align;
    std::uint64_t stride, rowbytes, storage;
    std::ptrdiff_t pixel_2_1;  // offset of pixel (2, 1)
  } rows[] = {
      {imgfmt::RGB, 3, 1024, 768, nullptr, 3072, 3072, 2359296, 3078},
      {imgfmt::RGB, 3, 1023, 2, nullptr, 3072, 3069, 6144, 3078},
      {imgfmt::RGB, 3, 5, 2, nullptr, 16, 15, 32, 22},
      {imgfmt::RGB, 3, 5, 2, &one, 15, 15, 30, 21},
      {imgfmt::RGB, 3, 5, 2, &zero, 16, 15, 32, 22},
      {imgfmt::GREY, 2, 3, 2, nullptr, 4, 2, 8, 5},
      {1, 8, 3, 2, nullptr, 48, 48, 96, 80},  // two 64-bit channels
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.width);
    img2d img;
    img.fmt = {r.format, 1, r.bits};
    img.width = r.width;
    img.height = r.height;
    img.align = r.align;
    EXPECT_EQ(img.stride(), r.stride);
    EXPECT_EQ(img.rowbytes(), r.rowbytes);
    ASSERT_TRUE(img.allocate());
    EXPECT_EQ(img.storage.size(), r.storage);
    EXPECT_EQ(img.pixel(2, 1) - img.data(), r.pixel_2_1);
  }
  img2d empty;  // height 0 asks for 0 bytes, which is no failure
  empty.fmt = {imgfmt::RGB, 1, 3};
  empty.width = 7;
  EXPECT_TRUE(empty.allocate());
  EXPECT_TRUE(empty.storage.empty());
}

TEST(Img2dDeathTest, CodeOutOfRangeStopsTheProgram) {
  EXPECT_DEATH(img2d::bpp({18, 1, 3}), "out of range");
  EXPECT_DEATH(img2d::bpp({0, 1, 16}), "out of range");
}

TEST(Img2d, SubimageIsAClippedWindow) {
  img2d src = imgtest::make(imgfmt::RGB, 3, 100, 50, bytes(300 * 50, 9));
  struct Row {
    std::uint32_t x, y, w, h, width, height;
  } rows[] = {
      {90, 40, 20, 20, 10, 10},
      {0, 0, 5, 6, 5, 6},
      {150, 10, 5, 5, 0, 5},  // origin outside: empty, not wrapped
      {0, 70, 5, 5, 5, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.x << "," << r.y);
    img2d sub;
    ASSERT_TRUE(libutils::subimage(sub, src, r.x, r.y, r.w, r.h));
    EXPECT_EQ(sub.width, r.width);
    EXPECT_EQ(sub.height, r.height);
    EXPECT_EQ(sub.pitch, 100u);
    EXPECT_EQ(src.storage.use_count(), 2u);
    if (r.width && r.height) {
      EXPECT_EQ(sub.x0, r.x);
      EXPECT_EQ(sub.pixel(0, 0), src.pixel(r.x, r.y));
    }
  }
  // A window inside a window clips against the inner one.
  img2d outer, inner;
  libutils::subimage(outer, src, 90, 40, 20, 20);
  libutils::subimage(inner, outer, 2, 3, 100, 100);
  EXPECT_EQ(inner.width, 8u);
  EXPECT_EQ(inner.height, 7u);
  EXPECT_EQ(inner.pixel(0, 0), src.pixel(92, 43));
}

TEST(Img2d, CopyIsCompactAndOwnsItsPixels) {
  bytes all(300 * 50);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i % 253;
  img2d src = imgtest::make(imgfmt::RGB, 3, 100, 50, all);
  img2d sub, dup = src;  // dup shares the block the copy must not disturb
  libutils::subimage(sub, src, 90, 40, 20, 20);
  ASSERT_TRUE(libutils::copy(dup, sub));
  EXPECT_EQ(dup.width, 10u);
  EXPECT_EQ(dup.pitch + dup.x0 + dup.y0, 0u);
  EXPECT_EQ(dup.storage.use_count(), 1u);
  EXPECT_EQ(src.storage.use_count(), 2u);  // src and sub
  EXPECT_EQ(imgtest::pixels(src), all);
  for (std::uint32_t y = 0; y < 10; ++y) {
    SCOPED_TRACE(y);
    const unsigned char* row = dup.pixel(0, y);
    EXPECT_EQ(bytes(row, row + 30),
              bytes(sub.pixel(0, y), sub.pixel(0, y) + 30));
    EXPECT_EQ(row[30] | row[31], 0);  // padding to 32 bytes
  }
  // Shallow copies see each other's writes; deep copies do not.
  img2d alias = src;
  *alias.pixel(95, 45) = 200;
  EXPECT_EQ(*src.pixel(95, 45), 200);
  EXPECT_NE(*dup.pixel(5, 5), 200);

  src.compressed = true;
  EXPECT_FALSE(libutils::copy(dup, src));
  EXPECT_FALSE(libutils::subimage(dup, src, 0, 0, 1, 1));
  EXPECT_EQ(dup.width, 10u);
}

TEST(Img2d, CopyOfAHalfByteWindowRealignsThePixels) {
  img2d src = imgtest::make(imgfmt::GREY, 2, 4, 1, {0x12, 0x34});
  img2d sub, dup;
  libutils::subimage(sub, src, 1, 0, 2, 1);
  ASSERT_TRUE(libutils::copy(dup, sub));
  EXPECT_EQ(imgtest::pixels(dup), bytes{0x23});
}

}  // namespace
