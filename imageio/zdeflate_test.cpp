#include "imageio/zdeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using imageio::ZlibStream;

std::vector<unsigned char> Inflate(const unsigned char* data, std::size_t n,
                                   std::size_t size) {
  std::vector<unsigned char> out(size + 1);
  uLongf got = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &got, data, static_cast<uLong>(n)) != Z_OK)
    return {};
  out.resize(got);
  return out;
}

// Each compressor, fed in uneven pieces, makes zlib streams that zlib reads
// back, stream after stream on one object; and says Full, not Ok, when the
// output has no room for all of it.
TEST(ZlibStream, StreamsInflateToTheirInputAndFullIsSaid) {
  std::vector<unsigned char> smooth(300000), noise(300000);
  std::uint64_t x = 88172645463325252ull;
  for (std::size_t i = 0; i < smooth.size(); ++i) {
    smooth[i] = static_cast<unsigned char>(i / 1000);
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    noise[i] = static_cast<unsigned char>(x);
  }
  for (bool fast : {true, false}) {
    SCOPED_TRACE(fast ? "fast" : "zlib");
    ZlibStream z(fast);
    for (const std::vector<unsigned char>* in : {&smooth, &noise, &smooth}) {
      std::vector<unsigned char> out(in->size() + 1000);
      z.Begin(out.data(), out.size());
      std::string error;
      std::size_t at = 0;
      for (std::size_t piece :
           {std::size_t{1}, std::size_t{70000}, std::size_t{0}, in->size()}) {
        const std::size_t n = std::min(piece, in->size() - at);
        const bool finish = at + n == in->size();
        ASSERT_EQ(z.Feed(in->data() + at, n, finish, error),
                  ZlibStream::Result::Ok)
            << error;
        at += n;
        if (finish) break;
      }
      EXPECT_EQ(Inflate(out.data(), z.Produced(), in->size()), *in);
      if (in == &smooth) {
        EXPECT_LT(z.Produced(), in->size() / 20);
      }
    }
    // Through a small buffer emptied whenever it fills, as PNG's chunks
    // take the stream: the pieces put together are the whole stream.
    for (const std::vector<unsigned char>* in : {&smooth, &noise}) {
      std::vector<unsigned char> buffer(1000), stream;
      z.Begin(buffer.data(), buffer.size());
      std::string error;
      const unsigned char* at = in->data();
      std::size_t left = in->size();
      for (;;) {
        const ZlibStream::Result r = z.Feed(at, left, true, error);
        ASSERT_NE(r, ZlibStream::Result::Failed) << error;
        stream.insert(stream.end(), buffer.begin(),
                      buffer.begin() + z.Produced());
        if (r == ZlibStream::Result::Ok) break;
        at += z.Taken();
        left -= z.Taken();
        z.Continue(buffer.data(), buffer.size());
      }
      EXPECT_EQ(Inflate(stream.data(), stream.size(), in->size()), *in);
    }
    // Noise cannot shrink: with no more room than its own size, it fills.
    std::vector<unsigned char> out(noise.size());
    z.Begin(out.data(), out.size());
    std::string error;
    EXPECT_EQ(z.Feed(noise.data(), noise.size(), true, error),
              ZlibStream::Result::Full);
    EXPECT_EQ(z.Produced(), out.size());
  }
}

}  // namespace
