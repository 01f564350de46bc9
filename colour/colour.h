// Colour values shared by the colouring stage and the image sinks.
//
// A sample is coloured in 16-bit sRGB code values. An 8-bit image takes the
// code's value / 257, rounded down, so that the 16-bit code c * 257 of an
// 8-bit colour c comes back as c, and the truncated bytes of the five
// programs' cosine palette are reproduced exactly (see CosineCode).
#pragma once

#include <cstdint>

struct Rgb8 {
  std::uint8_t r = 0, g = 0, b = 0;
};

struct Rgb16 {
  std::uint16_t r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb8 x, Rgb8 y) {
  return x.r == y.r && x.g == y.g && x.b == y.b;
}
inline bool operator!=(Rgb8 x, Rgb8 y) { return !(x == y); }
inline bool operator==(Rgb16 x, Rgb16 y) {
  return x.r == y.r && x.g == y.g && x.b == y.b;
}
inline bool operator!=(Rgb16 x, Rgb16 y) { return !(x == y); }

// The 8-bit code of a 16-bit one: value / 257, rounded down.
inline std::uint8_t To8(std::uint16_t v) {
  return static_cast<std::uint8_t>(v / 257u);
}
inline Rgb8 To8(Rgb16 c) { return Rgb8{To8(c.r), To8(c.g), To8(c.b)}; }

// The 16-bit code of an 8-bit one (c * 257, so 0xff becomes 0xffff).
inline std::uint16_t To16(std::uint8_t v) {
  return static_cast<std::uint16_t>(v * 257u);
}
inline Rgb16 To16(Rgb8 c) { return Rgb16{To16(c.r), To16(c.g), To16(c.b)}; }

// The 16-bit code of a cosine-palette level x in [0, 255] (as the five
// programs compute it, (1 - cos) * 127.5): trunc(x) * 257 plus the next
// eight bits of x's fraction, so that To8 gives exactly trunc(x), the byte
// those programs store. NaN and levels below 0 give 0, levels from 255 up
// give 65535.
std::uint16_t CosineCode(double x);
