#include "libutils/imgops.h"

#include <gtest/gtest.h>

#include <string>

#include "libutils/imgtest.h"

namespace {

using libutils::img2d;
using libutils::imgfmt;
using imgtest::bytes;

TEST(ImgRotate, OrientationAddsTheExifTurn) {
  struct Row {
    unsigned q, code, turns;
  } rows[] = {{0, 6, 1}, {3, 6, 0}, {1, 8, 0}, {2, 3, 0}, {5, 1, 5}, {1, 3, 3}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.q << "/" << r.code);
    EXPECT_EQ(libutils::orientation(r.q, r.code), r.turns);
  }
}

TEST(ImgRotate, QuarterTurnMovesPixelsAsWorkedOut) {
  // 3 x 2 RGB, pixel (x, y) = (10y + x) in every channel.
  img2d src = imgtest::make(imgfmt::RGB, 3, 3, 2,
                            {0, 0, 0, 1, 1, 1, 2, 2, 2,
                             10, 10, 10, 11, 11, 11, 12, 12, 12});
  img2d dst;
  ASSERT_TRUE(libutils::rotate(1, dst, src));
  EXPECT_EQ(dst.width, 2u);
  EXPECT_EQ(dst.height, 3u);
  EXPECT_EQ(imgtest::pixels(dst),
            (bytes{2, 2, 2, 12, 12, 12, 1, 1, 1, 11, 11, 11,
                   0, 0, 0, 10, 10, 10}));
  EXPECT_EQ(*dst.pixel(0, 2), 0);   // source (0, 0)
  EXPECT_EQ(*dst.pixel(1, 0), 12);  // source (2, 1)
}

TEST(ImgRotate, TurnsAddUpToTheOriginal) {
  struct Row {
    const char* label;
    std::uint32_t format, bits, w, h;
  } rows[] = {
      {"RGB", imgfmt::RGB, 3, 5, 3},
      {"RGBA", imgfmt::RGBA, 3, 2, 4},
      {"1-bit", imgfmt::GREY, 0, 11, 3},
      {"4-bit", imgfmt::INDEX, 2, 3, 5},
      {"36-bit", imgfmt::RGB, 4, 3, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    img2d probe;
    probe.fmt = {r.format, 1, r.bits};
    probe.width = r.w;
    bytes all(probe.rowbytes() * r.h);
    for (std::size_t i = 0; i < all.size(); ++i)
      all[i] = static_cast<unsigned char>(i * 37 + 11);
    img2d src = imgtest::make(r.format, r.bits, r.w, r.h, all);
    img2d a, b, c, d;
    ASSERT_TRUE(libutils::rotate(1, a, src));
    ASSERT_TRUE(libutils::rotate(3, b, a));
    ASSERT_TRUE(libutils::rotate(2, c, src));
    ASSERT_TRUE(libutils::rotate(2, d, c));
    // Compared bit by bit: the padding bits of a row are not pixels.
    const std::uint64_t bits = src.bpp();
    for (std::uint32_t y = 0; y < r.h; ++y) {
      for (std::uint32_t x = 0; x < r.w; ++x) {
        for (std::uint64_t i = 0; i < bits; ++i) {
          auto bit = [&](const img2d& img) {
            std::uint64_t at = x * bits + i;
            return (img.pixel(0, y)[at / 8] >> (7 - at % 8)) & 1;
          };
          ASSERT_EQ(bit(b), bit(src)) << x << "," << y;
          ASSERT_EQ(bit(d), bit(src)) << x << "," << y;
        }
      }
    }
  }
}

TEST(ImgRotate, SubBytePixelsAreMoved) {
  // 1-bit pixels 1 0 0 / 0 0 0: a quarter turn puts the set pixel at the
  // bottom left.
  img2d src = imgtest::make(imgfmt::GREY, 0, 3, 2, {0x80, 0x00}), dst;
  ASSERT_TRUE(libutils::rotate(1, dst, src));
  EXPECT_EQ(imgtest::pixels(dst), (bytes{0x00, 0x00, 0x80}));
}

TEST(ImgRotate, ZeroSharesFourRefusesAndSourceIsNeverOverwritten) {
  img2d src = imgtest::make(imgfmt::RGB, 3, 2, 1, {1, 2, 3, 4, 5, 6});
  img2d dst;
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
    const char* label;
    std::uint32_t format, w, h;
    bytes in, out;
  } rows[] = {
      {"grey", imgfmt::GREY, 2, 2, {1, 2, 3, 5}, {2}},
      {"rgba", imgfmt::RGBA, 2, 2,
       {10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40},
       {10, 20, 30, 40}},
      // 5 x 3: the last column (99) and row (200) do not count.
      {"odd", imgfmt::GREY, 5, 3,
       {0, 4, 8, 12, 99, 4, 8, 12, 16, 99, 200, 200, 200, 200, 200},
       {4, 12}},
      {"one column", imgfmt::GREY, 1, 4, {1, 2, 3, 4}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
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
    SCOPED_TRACE(r.message);
    img2d src;
    src.fmt = {r.format, 1, r.bits};
    src.width = 4;
    src.height = 4;
    ASSERT_TRUE(src.allocate());
    img2d dst;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(libutils::scaledown(dst, src));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.message);
  }
}

}  // namespace
