#include "libutils/com/blockbuf.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A sink that takes at most limit bytes in all and records each call.
class CountingSink : public std::stringbuf {
 public:
  explicit CountingSink(std::size_t limit = 1 << 30) : limit(limit) {}
  std::vector<std::streamsize> calls;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    calls.push_back(n);
    const std::size_t have = str().size();
    const std::streamsize room =
        have >= limit ? 0 : static_cast<std::streamsize>(limit - have);
    return std::stringbuf::xsputn(s, n < room ? n : room);
  }

 private:
  std::size_t limit;
};

std::string Bytes(std::size_t n, char seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i % 53);
  return s;
}

TEST(BlockBuffer, PassesEveryByteOnInWholeBlocks) {
  // Writes shorter, equal to and longer than the 16-byte block, and single
  // characters, in every mix: the sink must see the same bytes in calls of
  // one block each but the last, and the hook once for each whole block or
  // each per_hook-th one.
  struct Row {
    const char* name;
    std::vector<std::size_t> writes;  // 0 is a single put()
    int per_hook = 1;
  } rows[] = {
      {"nothing", {}},
      {"one short write", {5}},
      {"exactly one block", {16}},
      {"short writes across blocks", {5, 7, 9, 11, 3}},
      {"one write of several blocks", {50}},
      {"characters and writes", {0, 0, 15, 0, 33, 0}},
      {"a hook every third block", {0, 7 * 16, 0}, 3},
      {"too few blocks for a hook", {5, 7, 9, 11, 3}, 3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    CountingSink sink;
    libutils::block_buffer blocks(16, r.per_hook);
    int hooks = 0;
    blocks.attach(&sink, [&] { ++hooks; });
    std::ostream out(&blocks);
    std::string expected;
    char seed = 'a';
    for (std::size_t n : r.writes) {
      std::string piece = n == 0 ? std::string(1, seed) : Bytes(n, seed);
      if (n == 0) {
        out.put(seed);
      } else {
        out.write(piece.data(), static_cast<std::streamsize>(n));
      }
      expected += piece;
      ++seed;
    }
    out.flush();
    EXPECT_TRUE(out.good());
    EXPECT_EQ(sink.str(), expected);
    for (std::size_t i = 0; i + 1 < sink.calls.size(); ++i) {
      EXPECT_EQ(sink.calls[i], 16) << "call " << i;
    }
    // The last block goes out on the flush, not whole from an overflow.
    const int whole = static_cast<int>(expected.size() / 16) -
                      (expected.size() % 16 == 0 && !expected.empty());
    EXPECT_EQ(hooks, whole / r.per_hook);
  }
}

TEST(BlockBuffer, AShortSinkFailsTheStreamAndStopsIt) {
  // The sink takes 20 bytes: the second block is cut, which the stream must
  // report, and nothing written after that may reach the sink.
  CountingSink sink(20);
  libutils::block_buffer blocks(16);
  blocks.attach(&sink);
  std::ostream out(&blocks);
  const std::string data = Bytes(40, 'A');
  out.write(data.data(), 40);
  out.flush();
  EXPECT_TRUE(out.bad());
  const std::size_t calls = sink.calls.size();
  out.clear();
  out.write("more", 4);
  out.flush();
  EXPECT_TRUE(out.bad());
  EXPECT_EQ(sink.calls.size(), calls);
  EXPECT_EQ(sink.str(), data.substr(0, 20));
}

TEST(BlockBuffer, TellsAndMovesThePositionAsAFileWould) {
  // OpenEXR notes where each line block starts and goes back at the end to
  // write the table of those places over a placeholder.
  CountingSink sink;
  libutils::block_buffer blocks(16);
  blocks.attach(&sink);
  std::ostream out(&blocks);
  EXPECT_EQ(out.tellp(), std::streampos(0));
  out.write("0123456789", 10);
  EXPECT_EQ(out.tellp(), std::streampos(10));
  const std::string more = Bytes(30, 'k');
  out.write(more.data(), 30);
  EXPECT_EQ(out.tellp(), std::streampos(40));
  out.seekp(4);
  out.write("XY", 2);
  EXPECT_EQ(out.tellp(), std::streampos(6));
  out.seekp(0, std::ios_base::end);
  out.write("!", 1);
  out.flush();
  EXPECT_TRUE(out.good());
  EXPECT_EQ(sink.str(), "0123XY6789" + more + "!");
}

TEST(BlockBuffer, ReattachingDropsWhatWasGathered) {
  // What an abandoned output gathered must not turn up in the next one.
  CountingSink first, second;
  libutils::block_buffer blocks(16);
  std::ostream out(&blocks);
  blocks.attach(&first);
  out.write("abandoned", 9);
  blocks.attach(&second);
  out.clear();
  out.write("kept", 4);
  out.flush();
  EXPECT_EQ(first.str(), "");
  EXPECT_EQ(second.str(), "kept");
}

}  // namespace
