#include "libutils/refvector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "libutils/alloc_mmap_win.h"
#include "libutils/alloc_new.h"

namespace {

// Counts the blocks handed out and given back, so a test can prove that
// shared storage is freed exactly once; fail makes the next calls refuse.
struct counting_alloc {
  static inline int live = 0;
  static inline int deallocations = 0;
  static inline bool fail = false;

  void* allocate(std::uint64_t& size, const char*, unsigned, std::uint64_t) {
    if (fail) return nullptr;
    ++live;
    this->size = size;
    return ::operator new(size ? size : 1);
  }
  void* reallocate(void* p, std::uint64_t size, std::uint64_t) {
    if (fail) return nullptr;
    void* q = ::operator new(size ? size : 1);
    std::memcpy(q, p, size < this->size ? size : this->size);
    ::operator delete(p);
    this->size = size;
    return q;
  }
  void deallocate(void* p) {
    --live;
    ++deallocations;
    ::operator delete(p);
  }
  bool writable() const { return true; }

  std::uint64_t size = 0;
};

class CountingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    counting_alloc::live = 0;
    counting_alloc::deallocations = 0;
    counting_alloc::fail = false;
  }
  void TearDown() override { EXPECT_EQ(counting_alloc::live, 0); }
};

using bytes2 = libutils::refvector2<unsigned char, counting_alloc>;
using window = libutils::ofsvector<unsigned char, counting_alloc>;
using shorts = libutils::refvector<unsigned short, counting_alloc>;

TEST_F(CountingTest, SharedBlockIsFreedOnceByTheLastHolder) {
  {
    bytes2 a;
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.begin(), a.end());
    ASSERT_TRUE(a.allocate(8));
    a[3] = 42;
    bytes2 b = a;
    bytes2 c;
    c = b;
    c = a;  // the same block again: no change of count
    EXPECT_EQ(a.use_count(), 3u);
    EXPECT_EQ(c[3], 42);
    a.release();
    b.release();
    EXPECT_EQ(counting_alloc::deallocations, 0);
  }
  EXPECT_EQ(counting_alloc::deallocations, 1);
  {
    shorts a;
    ASSERT_TRUE(a.resize(4));
    shorts b = a;
    b.assign(a);
    EXPECT_EQ(a.use_count(), 2u);
  }
  EXPECT_EQ(counting_alloc::deallocations, 2);
}

TEST_F(CountingTest, FailuresKeepWhatTheHolderHad) {
  bytes2 a;
  ASSERT_TRUE(a.resize(4));  // no block yet: a new one
  std::memcpy(a.data(), "abcd", 4);
  bytes2 other = a;
  ASSERT_TRUE(a.allocate(6, nullptr, 1, 0, true));  // keep: copied over
  EXPECT_EQ(std::memcmp(a.data(), "abcd", 4), 0);
  EXPECT_EQ(other.use_count(), 1u);
  bytes2 shared = a;
  ASSERT_TRUE(a.resize(5));
  EXPECT_EQ(shared.size(), 5u);  // every holder sees the new size

  counting_alloc::fail = true;
  EXPECT_FALSE(a.resize(100));
  EXPECT_EQ(a.size(), 5u);
  EXPECT_EQ(a[2], 'c');
  EXPECT_FALSE(a.allocate(10, nullptr, 1, 0, true));
  EXPECT_EQ(a.size(), 5u);
  EXPECT_FALSE(a.allocate(10));  // without keep the old block is gone
  EXPECT_TRUE(a.empty());
}

TEST_F(CountingTest, WindowSizes) {
  struct Row {
    std::uint64_t offset, length, size;
  } rows[] = {
      {10, 5, 2}, {10, libutils::to_end, 2}, {10, 0, 0}, {0, 5, 5},
      {20, 5, 0},  // offset past the end
  };
  window w;
  ASSERT_TRUE(w.allocate(12));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offset);
    w.offset = r.offset;
    w.length = r.length;
    EXPECT_EQ(w.size(), r.size);
    EXPECT_EQ(w.empty(), r.size == 0);
    EXPECT_EQ(w.end() - w.begin(), static_cast<std::ptrdiff_t>(r.size));
  }
  w.offset = 10;
  w.length = 1;
  ASSERT_TRUE(w.resize(14));  // length back to the end, offset kept
  EXPECT_EQ(w.size(), 4u);
  w.release();
  EXPECT_EQ(w.offset, 0u);
  EXPECT_EQ(w.length, libutils::to_end);
}

TEST_F(CountingTest, RefvectorResizeKeepsFrontAndZeroReleases) {
  shorts a;
  ASSERT_TRUE(a.resize(2));
  a[0] = 1000;
  a[1] = 2000;
  shorts old = a;
  ASSERT_TRUE(a.resize(5));
  EXPECT_EQ(a[1], 2000);
  EXPECT_EQ(old.size(), 2u);  // other holders keep the old array
  counting_alloc::fail = true;
  EXPECT_FALSE(a.resize(9));
  EXPECT_EQ(a.size(), 5u);
  EXPECT_TRUE(a.resize(0));
  EXPECT_TRUE(a.empty());
}

TEST(RefvectorPaging, ResizeGrowsAndKeepsBytes) {
  libutils::ofsvector<unsigned char, libutils::alloc_mmap_win> v;
  ASSERT_TRUE(v.resize(0));  // an empty block, not a failure
  EXPECT_TRUE(v.empty());
  EXPECT_NE(v.data(), nullptr);
  ASSERT_TRUE(v.resize(5000));
  std::memset(v.data(), 0x5A, 5000);
  libutils::ofsvector<unsigned char, libutils::alloc_mmap_win> shared = v;
  ASSERT_TRUE(v.resize(70000));
  EXPECT_EQ(shared.size(), 70000u);
  EXPECT_EQ(shared[4999], 0x5A);
  EXPECT_EQ(shared[5000], 0);
  EXPECT_FALSE(v.resize(std::uint64_t{1} << 32));  // one block stays < 4 GiB
  EXPECT_EQ(v.size(), 70000u);
}

}  // namespace
