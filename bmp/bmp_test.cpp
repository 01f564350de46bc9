#include "bmp/bmp.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

TEST(BMP, RowAndImageSizes) {
  struct Row {
    std::int32_t width, height;
    std::uint16_t bits;
    std::uint64_t scan;
    std::uint32_t image, file;
  } rows[] = {
      {400, 400, 24, 1200, 480000, 480054},
      {401, 2, 24, 1204, 2408, 2462},
      {1, 1, 24, 4, 4, 58},
      {10, 3, 1, 4, 12, 66},
      {0, 5, 24, 0, 0, 54},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.width << "x" << r.height << "@" << r.bits);
    BMP b;
    b.biWidth = r.width;
    b.biHeight = r.height;
    b.biBitCount = r.bits;
    EXPECT_EQ(b.scanLineBytes(), r.scan);
    b.ReCalc();
    EXPECT_EQ(b.biSizeImage, r.image);
    EXPECT_EQ(b.bfSize, r.file);
  }
}

TEST(BMP, WriteLaysFieldsOutLittleEndianAtTheirOffsets) {
  BMP b;
  b.biWidth = 0x01020304;
  b.biHeight = -2;
  b.biBitCount = 24;
  b.biXPelsPerMeter = 144000;
  std::ostringstream os;
  b.Write(os);
  std::string bytes = os.str();
  ASSERT_EQ(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(bytes.substr(2, 4), std::string("\x36\0\0\0", 4));
  EXPECT_EQ(bytes.substr(10, 4), std::string("\x36\0\0\0", 4));
  EXPECT_EQ(bytes.substr(14, 4), std::string("\x28\0\0\0", 4));
  EXPECT_EQ(bytes.substr(18, 4), "\x04\x03\x02\x01");
  EXPECT_EQ(bytes.substr(22, 4), "\xfe\xff\xff\xff");
  EXPECT_EQ(bytes.substr(26, 2), std::string("\x01\0", 2));
  EXPECT_EQ(bytes.substr(28, 2), std::string("\x18\0", 2));
  EXPECT_EQ(bytes.substr(38, 4), std::string("\x80\x32\x02\0", 4));

  BMP back;
  std::istringstream is(bytes);
  back.Read(is);
  EXPECT_EQ(back.biWidth, 0x01020304);
  EXPECT_EQ(back.biHeight, -2);
  EXPECT_EQ(back.biXPelsPerMeter, 144000);
  EXPECT_EQ(back.biBitCount, 24);
}

TEST(BMP, PrintListsSixteenLabelledFields) {
  BMP b;
  b.biHeight = -7;
  std::ostringstream os;
  b.Print(os);
  EXPECT_EQ(os.str(),
            "bfType   : BM\n"
            "bfSize   : 54\n"
            "bfRsvd1  : 0\n"
            "bfRsvd2  : 0\n"
            "bfOffBits: 54\n"
            "biSize   : 40\n"
            "biWidth  : 0\n"
            "biHeight : -7\n"
            "biPlanes : 1\n"
            "biBitCnt : 0\n"
            "biCmprss : 0\n"
            "biSizeImg: 0\n"
            "biXPelPm : 0\n"
            "biYPelPm : 0\n"
            "biClrUsed: 0\n"
            "biClrImpt: 0\n");
}

TEST(BMP, ShortInputKeepsTheFieldsItCannotFill) {
  BMP b;
  std::istringstream is(std::string("XY\x10\0\0\0\x07\0\x08", 9));
  b.Read(is);
  EXPECT_EQ(b.bfType, 0x5958);
  EXPECT_EQ(b.bfSize, 16u);
  EXPECT_EQ(b.bfReserved1, 7);
  EXPECT_EQ(b.bfReserved2, 0);  // only one of its two bytes was there
  EXPECT_EQ(b.bfOffBits, 54u);
  EXPECT_EQ(b.biPlanes, 1);
}

TEST(BMP, SkipColorMapStopsAtThePixelData) {
  struct Row {
    std::uint32_t offBits;
    char next;
  } rows[] = {{54, 'a'}, {58, 'e'}, {20, 'a'}, {0, 'a'}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offBits);
    BMP b;
    b.bfOffBits = r.offBits;
    std::istringstream is("abcdefgh");
    BMP_SkipColorMap_TellData(b, is);
    EXPECT_EQ(is.get(), r.next);
  }
  BMP huge;
  huge.bfOffBits = 0xffffffffu;
  std::istringstream is("abc");
  BMP_SkipColorMap_TellData(huge, is);
  EXPECT_TRUE(is.eof());
}

TEST(BMP, SizesTheHeaderCannotHoldAreRefused) {
  struct Row {
    std::uint64_t x, y;
    bool fits;
  } rows[] = {
      {400, 400, true},
      {0, 0, true},
      {0x7fffffff, 1, false},  // a valid width, but the row alone is 6 GiB
      {1, 1073741810, true},
      {1, 1073741811, false},
      {0x80000000ull, 1, false},
      {1, 0x80000000ull, false},
      {1431655746, 1, true},   // 4294967240 bytes of row: just fits
      {1431655748, 1, false},  // file size past 2^32 - 1
      {37837, 37837, true},
      {37838, 37838, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.x << "x" << r.y);
    EXPECT_EQ(FitsInBmp(r.x, r.y), r.fits);
  }
}

}  // namespace
