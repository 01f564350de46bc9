// Reading the view text back from a PNG: the chunks are walked by hand
// (length, type, data, CRC; PNG's big-endian layout) up to the first image
// data, so no pixel is decoded and no image library is needed.
#include "imageio/pngtext.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <istream>
#include <vector>

const char PngViewKey[] = "mandel-view";

namespace {

const unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// Chunks before the image data are small; a chunk claiming more than this
// before IDAT is taken as damage rather than read into memory.
constexpr std::uint32_t MaxTextChunk = 16u << 20;

// CRC-32 of ISO 3309, as PNG uses it (reflected polynomial 0xEDB88320).
class Crc32 {
 public:
  Crc32() {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  std::uint32_t Update(std::uint32_t crc, const unsigned char* p,
                       std::size_t n) const {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
      crc = table[(crc ^ p[i]) & 0xff] ^ (crc >> 8);
    }
    return ~crc;
  }

 private:
  std::uint32_t table[256];
};

std::uint32_t Be32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
         (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

bool ReadExactly(std::istream& is, unsigned char* p, std::size_t n) {
  is.read(reinterpret_cast<char*>(p), static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(is.gcount()) == n;
}

}  // namespace

bool LooksLikePng(const char* bytes, std::size_t size) {
  return size >= sizeof Signature &&
         std::memcmp(bytes, Signature, sizeof Signature) == 0;
}

bool ReadPngViewText(std::istream& is, std::string& text, std::string& error) {
  static const Crc32 crc;
  unsigned char sig[8];
  if (!ReadExactly(is, sig, sizeof sig) ||
      !LooksLikePng(reinterpret_cast<const char*>(sig), sizeof sig)) {
    error = "not a PNG file";
    return false;
  }
  const std::size_t keyLength = std::strlen(PngViewKey);
  std::vector<unsigned char> data;
  for (bool first = true;; first = false) {
    unsigned char head[8];  // length, then type
    if (!ReadExactly(is, head, sizeof head)) {
      error = "truncated PNG file";
      return false;
    }
    const std::uint32_t length = Be32(head);
    const unsigned char* type = head + 4;
    if (length > 0x7fffffffu) {
      error = "damaged PNG file";
      return false;
    }
    if (first && std::memcmp(type, "IHDR", 4) != 0) {
      error = "damaged PNG file";
      return false;
    }
    // The view is written before the image data: meeting IDAT (or the end)
    // first means this picture holds none.
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) {
      error = "PNG file holds no view";
      return false;
    }
    const bool wanted = std::memcmp(type, "tEXt", 4) == 0;
    if (!wanted) {
      // Skipped unread; a chunk cut short still shows as a truncation when
      // the next header cannot be read.
      is.ignore(static_cast<std::streamsize>(length) + 4);
      if (static_cast<std::uint64_t>(is.gcount()) != length + 4ull) {
        error = "truncated PNG file";
        return false;
      }
      continue;
    }
    if (length > MaxTextChunk) {
      error = "damaged PNG file";
      return false;
    }
    data.resize(length);
    unsigned char stored[4];
    if ((length != 0 && !ReadExactly(is, data.data(), length)) ||
        !ReadExactly(is, stored, 4)) {
      error = "truncated PNG file";
      return false;
    }
    std::uint32_t sum = crc.Update(0, type, 4);
    sum = crc.Update(sum, data.data(), data.size());
    if (sum != Be32(stored)) {
      error = "damaged PNG file";
      return false;
    }
    // keyword, NUL, text
    if (length > keyLength &&
        std::memcmp(data.data(), PngViewKey, keyLength) == 0 &&
        data[keyLength] == 0) {
      text.assign(reinterpret_cast<const char*>(data.data()) + keyLength + 1,
                  length - keyLength - 1);
      return true;
    }
  }
}

bool ReadPngViewTextFile(const std::string& path, std::string& text,
                         std::string& error) {
  std::ifstream is(path, std::ios::binary);
  if (!is.is_open()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::string why;
  if (!ReadPngViewText(is, text, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}
