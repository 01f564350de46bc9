// The two headers of a Windows bitmap file: the 14-byte file header and the
// 40-byte information header, written and read field by field in file order,
// little-endian whatever the host.
#pragma once

#include <cstdint>
#include <iosfwd>

class BMP {
 public:
  static constexpr std::uint64_t size_bmfh = 14;
  static constexpr std::uint64_t size_bmih = 40;

  // "BM", a 54-byte file of headers only, 1 plane; everything else 0.
  BMP();
  void Init();

  // Bytes per pixel row: biWidth x biBitCount bits rounded up to whole
  // 32-bit words, as the format requires.
  std::uint64_t scanLineBytes() const;

  // Sets biSizeImage from the row size and biHeight and adds it to bfSize;
  // meant to be called once after the size fields are set.
  void ReCalc();

  // Reads the 54 header bytes. Neither the signature nor the stream state is
  // checked; a field that cannot be read whole keeps its previous value.
  std::istream& Read(std::istream& is);
  std::ostream& Write(std::ostream& os) const;
  // Sixteen labelled lines, one per field.
  std::ostream& Print(std::ostream& os) const;

  std::uint16_t bfType;
  std::uint32_t bfSize;
  std::uint16_t bfReserved1;
  std::uint16_t bfReserved2;
  std::uint32_t bfOffBits;
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};

// After Read: skips whatever lies between the headers and the pixel data
// (bfOffBits - 54 bytes). An offset below 54 skips nothing.
std::istream& BMP_SkipColorMap_TellData(BMP& bmp, std::istream& is);

// Bytes per pixel row of a bitmap `width` pixels wide at bitCount bits per
// pixel: rounded up to whole 32-bit words, as the format requires. Exact
// for every width below 2^32.
std::uint64_t BmpRowBytes(std::uint64_t width, unsigned bitCount);

// True when a 24-bit BMP of this many pixels can be described by the
// format's 32-bit header fields.
bool FitsInBmp(std::uint64_t dotsX, std::uint64_t dotsY);

// Fills a fresh header for a 24-bit picture of dotsX x dotsY pixels, with
// the fields every program of the suite writes (144000 pixels per metre, no
// compression, no colour table; sides cut to 32 bits) and recalculates the
// sizes. Check FitsInBmp first.
void SetRgbHeader(BMP& header, std::uint64_t dotsX, std::uint64_t dotsY);
