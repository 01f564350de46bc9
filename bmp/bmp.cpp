// BMP headers, byte by byte: struct padding and host byte order must never
// reach the file.
#include "bmp/bmp.h"

#include <istream>
#include <ostream>

namespace {

template <class T>
void Put(std::ostream& os, T value) {
  char bytes[sizeof(T)];
  auto u = static_cast<typename std::make_unsigned<T>::type>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<char>((u >> (8 * i)) & 0xff);
  }
  os.write(bytes, sizeof(T));
}

template <class T>
void Get(std::istream& is, T& field) {
  unsigned char bytes[sizeof(T)];
  is.read(reinterpret_cast<char*>(bytes), sizeof(T));
  if (is.gcount() != static_cast<std::streamsize>(sizeof(T))) return;
  typename std::make_unsigned<T>::type u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    u = static_cast<decltype(u)>(u | (static_cast<decltype(u)>(bytes[i]) << (8 * i)));
  }
  field = static_cast<T>(u);
}

}  // namespace

BMP::BMP() { Init(); }

void BMP::Init() {
  bfType = 19778;  // "BM" read as a little-endian 16-bit value
  bfSize = 54;
  bfReserved1 = 0;
  bfReserved2 = 0;
  bfOffBits = 54;
  biSize = 40;
  biWidth = 0;
  biHeight = 0;
  biPlanes = 1;
  biBitCount = 0;
  biCompression = 0;
  biSizeImage = 0;
  biXPelsPerMeter = 0;
  biYPelsPerMeter = 0;
  biClrUsed = 0;
  biClrImportant = 0;
}

std::uint64_t BMP::scanLineBytes() const {
  // In 64 bits so that no width of a 32-bit field can overflow; a negative
  // width (a malformed file) counts as its magnitude.
  std::int64_t w = biWidth;
  return BmpRowBytes(static_cast<std::uint64_t>(w < 0 ? -w : w), biBitCount);
}

std::uint64_t BmpRowBytes(std::uint64_t width, unsigned bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

bool FitsInBmp(std::uint64_t dotsX, std::uint64_t dotsY) {
  const std::uint64_t maxSide = 0x7fffffff;
  if (dotsX > maxSide || dotsY > maxSide) return false;
  std::uint64_t scan = BmpRowBytes(dotsX, 24);
  if (dotsY != 0 && scan > (0xffffffffull - BMP::size_bmfh - BMP::size_bmih) / dotsY) {
    return false;
  }
  return true;
}

void SetRgbHeader(BMP& header, std::uint64_t dotsX, std::uint64_t dotsY) {
  header.Init();
  header.biBitCount = 24;
  header.biCompression = 0;
  header.biXPelsPerMeter = 144000;
  header.biYPelsPerMeter = 144000;
  header.biClrUsed = 0;
  header.biClrImportant = 0;
  header.biWidth = static_cast<std::int32_t>(dotsX);
  header.biHeight = static_cast<std::int32_t>(dotsY);
  header.ReCalc();
}

void BMP::ReCalc() {
  biSizeImage = static_cast<std::uint32_t>(scanLineBytes() *
                                           static_cast<std::uint32_t>(biHeight));
  bfSize += biSizeImage;
}

std::istream& BMP::Read(std::istream& is) {
  Get(is, bfType);           //  0
  Get(is, bfSize);           //  2
  Get(is, bfReserved1);      //  6
  Get(is, bfReserved2);      //  8
  Get(is, bfOffBits);        // 10
  Get(is, biSize);           // 14
  Get(is, biWidth);          // 18
  Get(is, biHeight);         // 22
  Get(is, biPlanes);         // 26
  Get(is, biBitCount);       // 28
  Get(is, biCompression);    // 30
  Get(is, biSizeImage);      // 34
  Get(is, biXPelsPerMeter);  // 38
  Get(is, biYPelsPerMeter);  // 42
  Get(is, biClrUsed);        // 46
  Get(is, biClrImportant);   // 50
  return is;
}

std::ostream& BMP::Write(std::ostream& os) const {
  Put(os, bfType);
  Put(os, bfSize);
  Put(os, bfReserved1);
  Put(os, bfReserved2);
  Put(os, bfOffBits);
  Put(os, biSize);
  Put(os, biWidth);
  Put(os, biHeight);
  Put(os, biPlanes);
  Put(os, biBitCount);
  Put(os, biCompression);
  Put(os, biSizeImage);
  Put(os, biXPelsPerMeter);
  Put(os, biYPelsPerMeter);
  Put(os, biClrUsed);
  Put(os, biClrImportant);
  return os;
}

std::ostream& BMP::Print(std::ostream& os) const {
  os << "bfType   : " << static_cast<char>(bfType & 0xff)
     << static_cast<char>(bfType >> 8) << std::endl;
  os << "bfSize   : " << bfSize << std::endl;
  os << "bfRsvd1  : " << bfReserved1 << std::endl;
  os << "bfRsvd2  : " << bfReserved2 << std::endl;
  os << "bfOffBits: " << bfOffBits << std::endl;
  os << "biSize   : " << biSize << std::endl;
  os << "biWidth  : " << biWidth << std::endl;
  os << "biHeight : " << biHeight << std::endl;
  os << "biPlanes : " << biPlanes << std::endl;
  os << "biBitCnt : " << biBitCount << std::endl;
  os << "biCmprss : " << biCompression << std::endl;
  os << "biSizeImg: " << biSizeImage << std::endl;
  os << "biXPelPm : " << biXPelsPerMeter << std::endl;
  os << "biYPelPm : " << biYPelsPerMeter << std::endl;
  os << "biClrUsed: " << biClrUsed << std::endl;
  os << "biClrImpt: " << biClrImportant << std::endl;
  return os;
}

std::istream& BMP_SkipColorMap_TellData(BMP& bmp, std::istream& is) {
  if (bmp.bfOffBits > BMP::size_bmfh + BMP::size_bmih) {
    is.ignore(static_cast<std::streamsize>(bmp.bfOffBits -
                                           (BMP::size_bmfh + BMP::size_bmih)));
  }
  return is;
}
