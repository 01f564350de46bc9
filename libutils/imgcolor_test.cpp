#include "libutils/imgops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "libutils/imgtest.h"

namespace {

using imgtest::bytes;
using libutils::img2d;
using libutils::imgfmt;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(ImgColor, FillConvertsEachComponent) {
  img2d rgb = imgtest::make(imgfmt::RGB, 3, 2, 1, bytes(6, 7));
  ASSERT_TRUE(libutils::fill(rgb, {0.2f, 1.0f, 0.999f, 0.5f}));
  EXPECT_EQ(imgtest::pixels(rgb), (bytes{51, 255, 255, 51, 255, 255}));
  img2d rgba = imgtest::make(imgfmt::RGBA, 3, 1, 1, bytes(4, 7));
  ASSERT_TRUE(libutils::fill(rgba, {-0.1f, 1.7f, NAN, 0.5f}));
  EXPECT_EQ(imgtest::pixels(rgba), (bytes{0, 255, 255, 128}));
}

TEST(ImgColor, AddColorLightensAndLeavesAlpha) {
  struct Row {
    libutils::imgcolor colour;
    bytes before, after;
  } rows[] = {
      {{0.5f, 0.5f, 0.5f, 1.0f}, {0, 1, 100, 9}, {128, 129, 228, 9}},
      {{0.5f, 0.5f, 0.5f, 1.0f}, {127, 200, 255, 0}, {255, 255, 255, 0}},
      {{0.0f, 0.0f, 0.0f, 0.0f}, {0, 128, 255, 77}, {0, 128, 255, 77}},
      {{-1.0f, -0.2f, 2.0f, 1.0f}, {200, 102, 3, 1}, {0, 51, 255, 1}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.before[0]));
    img2d img = imgtest::make(imgfmt::RGBA, 3, 1, 1, r.before);
    ASSERT_TRUE(libutils::addcolor(img, r.colour));
    EXPECT_EQ(imgtest::pixels(img), r.after);
  }
  // Only the sub-image's pixels change.
  img2d pic = imgtest::make(imgfmt::RGB, 3, 3, 1, bytes(9, 0)), strip;
  libutils::subimage(strip, pic, 1, 0, 1, 1);
  ASSERT_TRUE(libutils::addcolor(strip, {0.5f, 0.5f, 0.5f, 1.0f}));
  EXPECT_EQ(imgtest::pixels(pic), (bytes{0, 0, 0, 128, 128, 128, 0, 0, 0}));
}

TEST(ImgColor, FillAndAddColorRefuseWithAMessage) {
  struct Row {
    imgfmt fmt;
    const char* message;
  } rows[] = {
      {{imgfmt::GREY, 1, 3}, "not support format.\n"},
      {{imgfmt::GREY, 0, 3}, "not support image type.\n"},
      {{imgfmt::RGB, 1, 5}, "not support image bits.\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    img2d img = imgtest::make(r.fmt.format, r.fmt.bits, 1, 1,
                              bytes(img2d::bpp(r.fmt) / 8, 5), r.fmt.type);
    CaptureStderr();
    EXPECT_FALSE(libutils::fill(img, {1, 1, 1, 1}));
    EXPECT_FALSE(libutils::addcolor(img, {1, 1, 1, 1}));
    EXPECT_EQ(GetCapturedStderr(), std::string(r.message) + r.message);
    EXPECT_EQ(imgtest::pixels(img)[0], 5);
  }
}

TEST(ImgColor, SwappingRedAndBlueRoundTrips) {
  img2d bgr = imgtest::make(imgfmt::BGR, 3, 1, 1, {10, 20, 30}), rgb, back;
  ASSERT_TRUE(libutils::torgb(rgb, bgr));
  EXPECT_EQ(imgtest::pixels(rgb), (bytes{30, 20, 10}));
  ASSERT_TRUE(libutils::tobgr(back, rgb));
  EXPECT_EQ(imgtest::pixels(back), (bytes{10, 20, 30}));
  img2d bgra = imgtest::make(imgfmt::BGRA, 3, 1, 1, {1, 2, 3, 4}, 0);
  ASSERT_TRUE(libutils::torgb(bgra, bgra));  // in place on one object
  EXPECT_EQ(bgra.fmt, (imgfmt{imgfmt::RGBA, 0, 3}));
  EXPECT_EQ(imgtest::pixels(bgra), (bytes{3, 2, 1, 4}));
  EXPECT_FALSE(libutils::torgb(back, rgb));  // refused: a shallow copy
  EXPECT_EQ(back.data(), rgb.data());
}

TEST(ImgColor, DepaletteLooksUpTheHighBytes) {
  // 4-bit indices 1, 2, 3; entry 3 lies past the palette's count.
  img2d src = imgtest::make(imgfmt::INDEX, 2, 3, 1, {0x12, 0x30}), dst;
  src.palette.allocate(3);
  for (int i = 0; i < 3; ++i) {
    src.palette.red[i] = static_cast<unsigned short>(0x1000 * i + 0xFF);
    src.palette.green[i] = static_cast<unsigned short>(0x2000 * i);
    src.palette.blue[i] = static_cast<unsigned short>(0x3000 * i + 0x80);
  }
  ASSERT_TRUE(libutils::depalette(dst, src));
  EXPECT_EQ(dst.fmt, (imgfmt{imgfmt::RGB, 1, 3}));
  EXPECT_EQ(imgtest::pixels(dst),
            (bytes{0x10, 0x20, 0x30, 0x20, 0x40, 0x60, 0, 0, 0}));
  src.fmt.bits = 0;
  EXPECT_FALSE(libutils::depalette(dst, src));
  img2d rgb = imgtest::make(imgfmt::RGB, 3, 1, 1, {1, 2, 3});
  EXPECT_TRUE(libutils::depalette(dst, rgb));
  EXPECT_EQ(dst.data(), rgb.data());
}

TEST(ImgColor, ToGreyWeightsTheChannels) {
  img2d rgb = imgtest::make(imgfmt::RGB, 3, 4, 1,
                            {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255});
  img2d grey;
  ASSERT_TRUE(libutils::togrey(grey, rgb));
  EXPECT_EQ(grey.fmt, (imgfmt{imgfmt::GREY, 1, 3}));
  EXPECT_EQ(imgtest::pixels(grey), (bytes{255, 76, 149, 29}));
  struct Row {
    imgfmt fmt;
    const char* message;
  } rows[] = {
      {{imgfmt::BGR, 1, 3}, "10: image format is not RGB.\n"},
      {{imgfmt::RGB, 0, 3}, "0: image type is not UINT.\n"},
      {{imgfmt::RGB, 1, 5}, "5: image bits is not 8.\n"},
  };
  for (const Row& r : rows) {
    img2d src;
    src.fmt = r.fmt;
    CaptureStderr();
    EXPECT_FALSE(libutils::togrey(grey, src));
    EXPECT_EQ(GetCapturedStderr(), r.message);
  }
}

}  // namespace
