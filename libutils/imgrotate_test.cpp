#include "libutils/imgops.h"

#include <gtest/gtest.h>

#include <string>

#include "libutils/imgtest.h"

namespace {

using imgtest::bytes;
using libutils::img2d;
using libutils::imgfmt;

TEST(ImgRotate, OrientationAddsTheExifTurn) {
  struct Row {
    unsigned q, code, turns;
  } rows[] = {{0, 6, 1}, {3, 6, 0}, {1, 8, 0}, {2, 3, 0}, {5, 1, 5}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.q << "/" << r.code);
    EXPECT_EQ(libutils::orientation(r.q, r.code), r.turns);
  }
}

TEST(ImgRotate, QuarterTurnMovesPixelsAsWorkedOut) {
  // 3 x 2 RGB, pixel (x, y) = 10y + x in every channel.
  img2d src = imgtest::make(
      imgfmt::RGB, 3, 3, 2,
      {0, 0, 0, 1, 1, 1, 2, 2, 2, 10, 10, 10, 11, 11, 11, 12, 12, 12});
  img2d dst;
  ASSERT_TRUE(libutils::rotate(1, dst, src));
  EXPECT_EQ(dst.width, 2u);
  EXPECT_EQ(dst.height, 3u);
  EXPECT_EQ(*dst.pixel(0, 2), 0);   // source (0, 0)
  EXPECT_EQ(*dst.pixel(1, 0), 12);  // source (2, 1)
  EXPECT_EQ(*dst.pixel(0, 1), 1);
}

TEST(ImgRotate, TurnsAddUpToTheOriginal) {
  // Widths fill whole bytes, so no padding bits take part in the compare.
  struct Row {
    const char* label;
    std::uint32_t format, bits, w, h;
  } rows[] = {
      {"RGB", imgfmt::RGB, 3, 5, 3},     {"RGBA", imgfmt::RGBA, 3, 2, 4},
      {"1-bit", imgfmt::GREY, 0, 16, 3}, {"4-bit", imgfmt::INDEX, 2, 4, 5},
      {"36-bit", imgfmt::RGB, 4, 2, 3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    bytes all(img2d::bpp({r.format, 1, r.bits}) * r.w / 8 * r.h);
    for (std::size_t i = 0; i < all.size(); ++i)
      all[i] = static_cast<unsigned char>(i * 37 + 11);
    img2d src = imgtest::make(r.format, r.bits, r.w, r.h, all), a, b;
    ASSERT_TRUE(libutils::rotate(1, a, src));
    ASSERT_TRUE(libutils::rotate(3, b, a));
    EXPECT_EQ(imgtest::pixels(b), all);
    ASSERT_TRUE(libutils::rotate(2, a, src));
    ASSERT_TRUE(libutils::rotate(2, b, a));
    EXPECT_EQ(imgtest::pixels(b), all);
  }
  // One set 1-bit pixel at the top left ends at the bottom left.
  img2d bit = imgtest::make(imgfmt::GREY, 0, 3, 2, {0x80, 0x00}), turned;
  ASSERT_TRUE(libutils::rotate(1, turned, bit));
  EXPECT_EQ(imgtest::pixels(turned), (bytes{0x00, 0x00, 0x80}));
}

TEST(ImgRotate, ZeroSharesFourRefusesAndSourceIsNeverOverwritten) {
  img2d src = imgtest::make(imgfmt::RGB, 3, 2, 1, {1, 2, 3, 4, 5, 6}), dst;
  ASSERT_TRUE(libutils::rotate(0, dst, src));
  EXPECT_EQ(dst.data(), src.data());
  EXPECT_FALSE(libutils::rotate(4, dst, src));
  EXPECT_EQ(dst.data(), src.data());
  // dst still shares src's block: turning into it must not write there.
  ASSERT_TRUE(libutils::rotate(2, dst, src));
  EXPECT_EQ(imgtest::pixels(src), (bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(imgtest::pixels(dst), (bytes{4, 5, 6, 1, 2, 3}));
}

TEST(ImgRotate, ScaledownAveragesBlocks) {
  struct Row {
    std::uint32_t format, w, h;
    bytes in, out;
  } rows[] = {
      {imgfmt::GREY, 2, 2, {1, 2, 3, 5}, {2}},
      {imgfmt::RGBA, 2, 2, bytes(16, 40), {40, 40, 40, 40}},
      // 5 x 3: the last column (99) and row (200) do not count.
      {imgfmt::GREY,
       5,
       3,
       {0, 4, 8, 12, 99, 4, 8, 12, 16, 99, 200, 200, 200, 200, 200},
       {4, 12}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.w);
    img2d src = imgtest::make(r.format, 3, r.w, r.h, r.in), dst;
    ASSERT_TRUE(libutils::scaledown(dst, src));
    EXPECT_EQ(dst.width, r.w / 2);
    EXPECT_EQ(dst.height, r.h / 2);
    EXPECT_EQ(imgtest::pixels(dst), r.out);
  }
}

TEST(ImgRotate, ScaledownRefusesOtherLayouts) {
  struct Row {
    std::uint32_t format, bits;
    const char* message;
  } rows[] = {
      {1, 3, "scaledown(): 1: unsupported format.\n"},
      {imgfmt::RGB, 2, "scaledown(): 2: unsupported bits.\n"},
  };
  for (const Row& r : rows) {
    img2d src = imgtest::make(r.format, r.bits, 2, 2,
                              bytes(img2d::bpp({r.format, 1, r.bits}) / 2)),
          dst;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(libutils::scaledown(dst, src));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.message);
  }
}

}  // namespace
