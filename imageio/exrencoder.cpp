#include "imageio/exrencoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "imageio/zdeflate.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace imageio {

namespace {

// The file's numbers are little-endian, as N and NF are in memory here.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "count files are written from little-endian memory");

constexpr int OurBias = 1;
// OpenEXR's codes.
constexpr unsigned char ZipsCompression = 2;  // zlib, one line a chunk
constexpr unsigned char IncreasingY = 0, DecreasingY = 1;
constexpr std::uint32_t UintPixels = 0, FloatPixels = 2;
// Reordered bytes handed to the compressor at a time.
constexpr std::size_t Block = std::size_t{1} << 16;

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
}

void PutFloat(std::string& s, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(s, v);
}

void Attribute(std::string& header, const char* name, const char* type,
               const std::string& value) {
  header += name;
  header += '\0';
  header += type;
  header += '\0';
  Put32(header, static_cast<std::uint32_t>(value.size()));
  header += value;
}

std::string Int(std::int32_t v) {
  std::string s;
  Put32(s, static_cast<std::uint32_t>(v));
  return s;
}

std::string Box(std::uint32_t width, std::uint32_t height) {
  std::string s;
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, width - 1);
  Put32(s, height - 1);
  return s;
}

std::string Channel(const char* name, std::uint32_t type) {
  std::string s = name;
  s += '\0';
  Put32(s, type);
  s += std::string(4, '\0');  // linear flag and three reserved bytes
  Put32(s, 1);                // sampled at every pixel
  Put32(s, 1);
  return s;
}

// The bytes at even (or odd) places of src[0 .. 2k), each replaced by its
// difference from the one before plus 128, to out[0 .. k); previous is the
// byte before the first, and becomes the last.
void Predicted(const unsigned char* src, std::size_t k, bool odd,
               unsigned char& previous, unsigned char* out) {
  std::size_t i = 0;
#ifdef __SSE2__
  // Sixteen at a time: the wanted bytes of 32 packed down into one register,
  // which, moved up a byte with the last byte before it, gives each one's
  // predecessor. Loads stay within src[0 .. 2k).
  const __m128i low = _mm_set1_epi16(0xff);
  const __m128i bias = _mm_set1_epi8(static_cast<char>(128));
  __m128i before = _mm_set1_epi8(static_cast<char>(previous));
  for (; i + 16 <= k; i += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
    __m128i b =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i + 16));
    if (odd) {
      a = _mm_srli_epi16(a, 8);
      b = _mm_srli_epi16(b, 8);
    } else {
      a = _mm_and_si128(a, low);
      b = _mm_and_si128(b, low);
    }
    const __m128i t = _mm_packus_epi16(a, b);
    const __m128i shifted =
        _mm_or_si128(_mm_slli_si128(t, 1), _mm_srli_si128(before, 15));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_add_epi8(_mm_sub_epi8(t, shifted), bias));
    before = t;
  }
  if (i > 0)
    previous = static_cast<unsigned char>(_mm_extract_epi16(before, 7) >> 8);
#endif
  for (; i < k; ++i) {
    const unsigned char t = src[2 * i + (odd ? 1 : 0)];
    out[i] = static_cast<unsigned char>(t - previous + 128);
    previous = t;
  }
}

class ExrEncoder : public countcodec::Encoder {
 public:
  bool Start(std::ostream& os, const std::string& target, std::uint32_t width,
             std::uint32_t height, std::uint32_t limit,
             const std::string& viewText, bool bottomFirst,
             std::string& error) override;
  bool WriteLine(const std::uint32_t* n, const float* nf,
                 std::string& error) override;
  bool End(std::string& error) override;

 private:
  bool Write(const void* data, std::size_t bytes, std::string& error);
  // Compresses a line into packed; false when it does not get smaller, and
  // is then stored as it is.
  bool Compress(const std::uint32_t* n, const float* nf, std::string& error,
                bool& failed);

  std::ostream* os = nullptr;
  std::string name;
  std::uint32_t width = 0, height = 0, lines = 0;
  bool bottomFirst = false;
  std::uint64_t tablePos = 0, pos = 0;
  std::vector<std::uint64_t> offsets;  // of each line's chunk, by y
  ZlibStream zlib;
  // The compressed line: allocated once at the size of a line and left
  // untouched beyond what the compressor puts there, so that only the
  // compressed bytes take memory.
  std::unique_ptr<unsigned char[]> packed;
  std::unique_ptr<unsigned char[]> predicted;
};

bool ExrEncoder::Write(const void* data, std::size_t bytes,
                       std::string& error) {
  os->write(static_cast<const char*>(data),
            static_cast<std::streamsize>(bytes));
  if (!*os) {
    error = name + ": write error";
    return false;
  }
  pos += bytes;
  return true;
}

bool ExrEncoder::Start(std::ostream& out, const std::string& target,
                       std::uint32_t w, std::uint32_t h, std::uint32_t limit,
                       const std::string& viewText, bool bottom,
                       std::string& error) {
  os = &out;
  name = target;
  width = w;
  height = h;
  bottomFirst = bottom;
  lines = 0;
  pos = 0;
  // A line is one chunk, whose size the file holds in a signed 32-bit
  // number.
  if (w == 0 || h == 0 || w > INT32_MAX / 8 || h > INT32_MAX) {
    error = target + ": a count file holds 1 to " +
            std::to_string(INT32_MAX / 8) + " samples a line";
    return false;
  }
  std::string header("\x76\x2f\x31\x01", 4);
  Put32(header, 2);  // version 2: one part, scanlines, short names
  // In the order OpenEXR's own writer puts them (by name).
  if (limit <= static_cast<std::uint32_t>(INT_MAX - 2 - OurBias)) {
    Attribute(header, "Iterations", "int",
              Int(static_cast<std::int32_t>(limit)));
  } else {
    // Readers of the convention take a count past an int as decimal text.
    Attribute(header, "Iterations", "string", std::to_string(limit));
  }
  Attribute(header, "IterationsBias", "int", Int(OurBias));
  Attribute(header, "channels", "chlist",
            Channel("N", UintPixels) + Channel("NF", FloatPixels) + '\0');
  Attribute(header, "compression", "compression",
            std::string(1, static_cast<char>(ZipsCompression)));
  Attribute(header, "dataWindow", "box2i", Box(w, h));
  Attribute(header, "displayWindow", "box2i", Box(w, h));
  // Line 0 is the bottom, the file's last scanline: bottom first is
  // decreasing y.
  Attribute(
      header, "lineOrder", "lineOrder",
      std::string(1, static_cast<char>(bottom ? DecreasingY : IncreasingY)));
  if (!viewText.empty())
    Attribute(header, countcodec::ViewAttributeName, "string", viewText);
  std::string tail;
  PutFloat(tail, 1.0f);
  Attribute(header, "pixelAspectRatio", "float", tail);
  tail.clear();
  PutFloat(tail, 0.0f);
  PutFloat(tail, 0.0f);
  Attribute(header, "screenWindowCenter", "v2f", tail);
  tail.clear();
  PutFloat(tail, 1.0f);
  Attribute(header, "screenWindowWidth", "float", tail);
  header += '\0';
  try {
    offsets.assign(h, 0);
    const std::size_t lineBytes = std::size_t{w} * 8;
    packed.reset(new unsigned char[lineBytes]);
    predicted.reset(new unsigned char[Block]);
  } catch (const std::bad_alloc&) {
    error = target + ": out of memory";
    return false;
  }
  if (!Write(header.data(), header.size(), error)) return false;
  // The table of where each line starts, filled in by End.
  tablePos = pos;
  static const char zeros[4096] = {};
  for (std::uint64_t left = std::uint64_t{h} * 8; left > 0;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof zeros));
    if (!Write(zeros, n, error)) return false;
    left -= n;
  }
  return true;
}

// OpenEXR's ZIP form of a line: its bytes (N then NF) split into those at
// even and those at odd places, each byte then replaced by its difference
// from the one before plus 128, and the whole compressed as one zlib
// stream. The split is made a block at a time as the compressor takes it.
bool ExrEncoder::Compress(const std::uint32_t* n, const float* nf,
                          std::string& error, bool& failed) {
  const std::size_t half = std::size_t{width} * 4;  // bytes of one channel
  zlib.Begin(packed.get(), half * 2);
  const auto* nBytes = reinterpret_cast<const unsigned char*>(n);
  const auto* nfBytes = reinterpret_cast<const unsigned char*>(nf);
  // Even bytes of N, then of NF, then odd bytes of N, then of NF.
  const unsigned char* sources[4] = {nBytes, nfBytes, nBytes, nfBytes};
  // 128 before the first byte leaves it as it is.
  unsigned char previous = 128;
  for (int part = 0; part < 4; ++part) {
    const unsigned char* src = sources[part];
    const std::size_t count = half / 2;
    for (std::size_t done = 0; done < count;) {
      const std::size_t k = std::min(Block, count - done);
      unsigned char* d = predicted.get();
      Predicted(src + 2 * done, k, part >= 2, previous, d);
      done += k;
      const bool last = part == 3 && done == count;
      switch (zlib.Feed(d, k, last, error)) {
        case ZlibStream::Result::Ok:
          break;
        case ZlibStream::Result::Full:
          return false;
        case ZlibStream::Result::Failed:
          error = name + ": " + error;
          failed = true;
          return false;
      }
    }
  }
  // A line that does not get smaller is stored as it is: readers tell the
  // two apart by the size alone.
  return zlib.Produced() < half * 2;
}

bool ExrEncoder::WriteLine(const std::uint32_t* n, const float* nf,
                           std::string& error) {
  if (lines == height) {
    error = name + ": more lines than the count file's height";
    return false;
  }
  const std::uint32_t y = bottomFirst ? height - 1 - lines : lines;
  bool failed = false;
  const bool compressed = Compress(n, nf, error, failed);
  if (failed) return false;
  const std::size_t half = std::size_t{width} * 4;
  const std::size_t size = compressed ? zlib.Produced() : half * 2;
  std::string head;
  Put32(head, y);
  Put32(head, static_cast<std::uint32_t>(size));
  offsets[y] = pos;
  if (!Write(head.data(), head.size(), error)) return false;
  if (compressed) {
    if (!Write(packed.get(), size, error)) return false;
  } else if (!Write(n, half, error) || !Write(nf, half, error)) {
    return false;
  }
  ++lines;
  return true;
}

bool ExrEncoder::End(std::string& error) {
  if (lines != height) {
    error = name + ": the count file lacks lines";
    return false;
  }
  const std::uint64_t end = pos;
  os->seekp(static_cast<std::streamoff>(tablePos));
  std::string table;
  table.reserve(4096);
  pos = tablePos;
  for (std::uint32_t y = 0; y < height; ++y) {
    Put32(table, static_cast<std::uint32_t>(offsets[y]));
    Put32(table, static_cast<std::uint32_t>(offsets[y] >> 32));
    if (table.size() >= 4096 || y + 1 == height) {
      if (!Write(table.data(), table.size(), error)) return false;
      table.clear();
    }
  }
  os->seekp(static_cast<std::streamoff>(end));
  if (!*os) {
    error = name + ": write error";
    return false;
  }
  return true;
}

}  // namespace

countcodec::Encoder* NewExrEncoder() { return new ExrEncoder(); }

}  // namespace imageio
