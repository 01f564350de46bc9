#include "core/orderedrows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Fills a row with bytes that name the row and the position, after a spin
// whose length varies a lot from row to row, so that rows finish out of
// order on several workers.
void Produce(std::uint64_t row, unsigned char* out, std::size_t bytes) {
  volatile std::uint64_t spin = 0;
  std::uint64_t work = (row * 7919) % 13 == 0 ? 200000 : (row % 5) * 2000;
  for (std::uint64_t i = 0; i < work; ++i) spin = spin + i;
  for (std::size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<unsigned char>(row * 31 + i);
  }
}

bool RowIsRight(const unsigned char* got, std::uint64_t row, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    if (got[i] != static_cast<unsigned char>(row * 31 + i)) return false;
  }
  return true;
}

TEST(OrderedRows, RowsComeInOrderWhateverTheThreadCount) {
  struct Row {
    const char* name;
    std::uint64_t rows;
    std::size_t bytes;
  } jobs[] = {
      {"many short rows", 500, 40},
      {"odd sizes", 77, 1001},
      {"one row", 1, 300},
      {"rows of no bytes", 9, 0},
      {"no rows", 0, 100},
      {"rows wider than the ring's budget", 7, std::size_t(5) << 20},
  };
  for (unsigned threads : {1u, 2u, 8u}) {
    SCOPED_TRACE(threads);
    OrderedRows producer(threads);
    EXPECT_EQ(producer.Next(), nullptr);  // nothing started yet
    EXPECT_TRUE(producer.Ready());
    for (const Row& job : jobs) {
      SCOPED_TRACE(job.name);
      std::size_t bytes = job.bytes;
      producer.Start(job.rows, bytes,
                     [bytes](std::uint64_t row, unsigned char* out) {
                       Produce(row, out, bytes);
                     });
      for (std::uint64_t r = 0; r < job.rows; ++r) {
        ASSERT_EQ(producer.NextRow(), r);
        const unsigned char* got = producer.Next();
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(got) % 64, 0u);
        ASSERT_TRUE(RowIsRight(got, r, bytes)) << "row " << r;
      }
      EXPECT_EQ(producer.Next(), nullptr);
      EXPECT_TRUE(producer.Ready());
    }
  }
}

// A consumer that stops now and then lets the ring fill, so the workers
// sleep until it has taken enough rows; every row must still come, in
// order, whatever the ring's size (a lost wake-up hangs here).
TEST(OrderedRows, WorkersStoppedByAFullRingComeBack) {
  for (unsigned threads : {1u, 2u, 3u, 8u}) {
    for (std::size_t bytes : {std::size_t(16), std::size_t(5) << 20}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " +
                   std::to_string(bytes) + " bytes");
      OrderedRows producer(threads);
      const std::uint64_t rows = bytes > 1000 ? 12 : 300;
      producer.Start(rows, bytes,
                     [bytes](std::uint64_t row, unsigned char* out) {
                       std::memset(out, static_cast<int>(row), bytes);
                     });
      for (std::uint64_t r = 0; r < rows; ++r) {
        if (r % 37 == 5 || (bytes > 1000 && r % 4 == 1)) {
          std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        const unsigned char* got = producer.Next();
        ASSERT_NE(got, nullptr) << "row " << r;
        ASSERT_EQ(got[0], static_cast<unsigned char>(r));
        ASSERT_EQ(got[bytes - 1], static_cast<unsigned char>(r));
      }
      EXPECT_EQ(producer.Next(), nullptr);
    }
  }
}

// The ring holds a few rows per worker, but never much more than its byte
// budget, and always the row being read plus one being filled.
TEST(OrderedRows, RingIsBoundedInRowsAndInBytes) {
  struct Row {
    unsigned threads;
    std::size_t bytes;
    std::size_t most, least;
  } rows[] = {
      {1, 100, 8, 2},
      {4, 100, 32, 5},
      {64, 100, 512, 65},
      {64, std::size_t(1) << 20, 8, 2},
      {64, std::size_t(60) << 20, 2, 2},
      {3, std::size_t(60) << 20, 2, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.threads) + " threads, " +
                 std::to_string(r.bytes) + " bytes");
    OrderedRows producer(r.threads);
    if (producer.Threads() != r.threads) continue;  // too many for the system
    producer.Start(10, r.bytes, [](std::uint64_t, unsigned char*) {});
    EXPECT_LE(producer.RingRows(), r.most);
    EXPECT_GE(producer.RingRows(), r.least);
    EXPECT_LE(producer.RingRows() * r.bytes,
              std::max<std::size_t>(std::size_t(8) << 20, 2 * r.bytes));
  }
}

TEST(OrderedRows, CancelStopsCallingTheProducer) {
  for (unsigned threads : {1u, 2u, 8u}) {
    SCOPED_TRACE(threads);
    OrderedRows producer(threads);
    std::atomic<bool> cancelled{false};
    std::atomic<int> late{0};
    producer.Start(100000, 16, [&](std::uint64_t row, unsigned char* out) {
      if (cancelled) ++late;
      Produce(row, out, 16);
    });
    for (int r = 0; r < 5; ++r) ASSERT_NE(producer.Next(), nullptr);
    producer.Cancel();
    cancelled = true;
    EXPECT_EQ(producer.Next(), nullptr);
    EXPECT_TRUE(producer.Ready());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(late, 0);
    // And a new job after it runs from its first row.
    producer.Start(30, 8, [](std::uint64_t row, unsigned char* out) {
      Produce(row, out, 8);
    });
    for (std::uint64_t r = 0; r < 30; ++r) {
      const unsigned char* got = producer.Next();
      ASSERT_NE(got, nullptr);
      ASSERT_TRUE(RowIsRight(got, r, 8)) << "row " << r;
    }
    EXPECT_EQ(producer.Next(), nullptr);
  }
}

TEST(OrderedRows, StartingAgainDropsTheRowsProducedAhead) {
  OrderedRows producer(2);
  producer.Start(1000, 10, [](std::uint64_t, unsigned char* out) {
    std::memset(out, 0xEE, 10);
  });
  for (int r = 0; r < 3; ++r) ASSERT_NE(producer.Next(), nullptr);
  producer.Start(50, 10, [](std::uint64_t row, unsigned char* out) {
    Produce(row, out, 10);
  });
  for (std::uint64_t r = 0; r < 50; ++r) {
    const unsigned char* got = producer.Next();
    ASSERT_NE(got, nullptr);
    ASSERT_TRUE(RowIsRight(got, r, 10)) << "row " << r;
  }
  // Dropped in the middle of a job: the destructor must not hang.
  producer.Start(1000, 10, [](std::uint64_t row, unsigned char* out) {
    Produce(row, out, 10);
  });
  ASSERT_NE(producer.Next(), nullptr);
}

// The way an event loop takes rows: wait a little, handle events, and take
// a row only once it is there.
TEST(OrderedRows, PollingTakesEveryRowInOrder) {
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    OrderedRows producer(threads);
    producer.Start(200, 24, [](std::uint64_t row, unsigned char* out) {
      Produce(row, out, 24);
    });
    for (std::uint64_t r = 0; r < 200; ++r) {
      while (!producer.WaitReady(std::chrono::milliseconds(1))) {
      }
      EXPECT_TRUE(producer.Ready());
      const unsigned char* got = producer.Next();
      ASSERT_NE(got, nullptr);
      ASSERT_TRUE(RowIsRight(got, r, 24)) << "row " << r;
    }
    EXPECT_TRUE(producer.WaitReady(std::chrono::milliseconds(0)));
  }
}

}  // namespace
