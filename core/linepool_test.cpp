#include "core/linepool.h"
#include "core/testviews.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/kernel.h"
#include "core/mandelbrot.h"

namespace {

// Every line of a from the plain kernel, one after the other.
std::vector<unsigned short> PlainCounts(const MandArea& a) {
  std::vector<unsigned short> counts;
  std::vector<unsigned short> row(a.dotsX);
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    double im = PixelPosition(a.minIm, a.lenIm, l, a.dotsY);
    ComputeLine(a, im, row.data(), false, KernelKind::Plain);
    counts.insert(counts.end(), row.begin(), row.end());
  }
  return counts;
}

TEST(LinePool, LinesComeInOrderWhateverTheThreadCount) {
  struct Row {
    const char* name;
    MandArea area;
  } rows[] = {
      {"whole set", View(-2, -2, 4, 4, 96, 80, 500)},
      {"boundary zoom", View(-0.7454, 0.1130, 0.0005, 0.0005, 64, 70, 3000)},
      {"julia", View(-2, -2, 4, 4, 70, 64, 300, true)},
      {"one line", View(-2, 0, 4, 0, 50, 1, 100)},
      {"no pixels", View(-2, -2, 4, 4, 0, 5, 100)},
  };
  for (unsigned threads : {1u, 2u, 8u}) {
    SCOPED_TRACE(threads);
    LinePool pool(threads);
    EXPECT_EQ(pool.Next(), nullptr);  // nothing started yet
    for (const Row& r : rows) {
      SCOPED_TRACE(r.name);
      std::vector<unsigned short> expected = PlainCounts(r.area);
      pool.Start(r.area);
      std::vector<unsigned short> got;
      for (std::uint64_t l = 0; l < r.area.dotsY; ++l) {
        EXPECT_EQ(pool.NextLine(), l);
        const unsigned short* row = pool.Next();
        ASSERT_NE(row, nullptr);
        got.insert(got.end(), row, row + r.area.dotsX);
      }
      EXPECT_EQ(pool.Next(), nullptr);
      EXPECT_TRUE(pool.Ready());
      EXPECT_EQ(got, expected);
    }
  }
}

TEST(LinePool, StartingAgainDropsTheLinesComputedAhead) {
  MandArea first = View(-2, -2, 4, 4, 40, 200, 300);
  MandArea second = View(-0.7454, 0.1130, 0.0005, 0.0005, 40, 30, 1000);
  std::vector<unsigned short> expected = PlainCounts(second);
  LinePool pool(2);
  pool.Start(first);
  for (int l = 0; l < 3; ++l) ASSERT_NE(pool.Next(), nullptr);
  pool.Start(second);
  std::vector<unsigned short> got;
  while (const unsigned short* row = pool.Next()) {
    got.insert(got.end(), row, row + second.dotsX);
  }
  EXPECT_EQ(got, expected);
  // Dropped in the middle of a view: the destructor must not hang.
  pool.Start(first);
  ASSERT_NE(pool.Next(), nullptr);
}

// The way an event loop takes lines: wait a little, handle events, and take
// a line only once it is there.
TEST(LinePool, PollingTakesEveryLineInOrder) {
  MandArea a = View(-0.7454, 0.1130, 0.0005, 0.0005, 30, 40, 2000);
  std::vector<unsigned short> expected = PlainCounts(a);
  LinePool pool(2);
  pool.Start(a);
  std::vector<unsigned short> got;
  for (std::uint64_t l = 0; l < a.dotsY; ++l) {
    while (!pool.WaitReady(std::chrono::milliseconds(1))) {
    }
    EXPECT_TRUE(pool.Ready());
    const unsigned short* row = pool.Next();
    ASSERT_NE(row, nullptr);
    got.insert(got.end(), row, row + a.dotsX);
  }
  EXPECT_TRUE(pool.WaitReady(std::chrono::milliseconds(0)));  // at the end
  EXPECT_EQ(got, expected);
}

}  // namespace
