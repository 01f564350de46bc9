#include "libutils/alloc_mmap_win.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "libutils/refvector.h"
#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;
using mapped = libutils::refvector2<unsigned char, libutils::alloc_mmap_win>;

std::string contents(const mapped& m) {
  return std::string(reinterpret_cast<const char*>(m.begin()), m.size());
}

// The whole of a death test's standard error, as an anchored regex.
std::string exactly(const std::string& text) {
  std::string re = "^";
  for (char c : text) {
    if (std::string(".[]{}()*+?^$|\\").find(c) != std::string::npos) re += '\\';
    re += c;
  }
  return re + "$";
}

TEST(AllocMmapWin, ReadOnlyMapsTheWholeFile) {
  ScopedTempDir dir;
  std::string name = dir.File("ro.bin");
  WriteBytes(name, "ABCDEFGH");
  mapped m;
  ASSERT_TRUE(m.allocate(0, name.c_str(), 0));
  EXPECT_EQ(contents(m), "ABCDEFGH");
  ASSERT_TRUE(m.resize(3));  // a smaller view of the same mapping
  EXPECT_EQ(contents(m), "ABC");
  EXPECT_FALSE(m.resize(9));  // past the mapping: refused, view kept
  EXPECT_EQ(contents(m), "ABC");
}

TEST(AllocMmapWin, ReadWriteWritesThroughAndExtends) {
  ScopedTempDir dir;
  std::string name = dir.File("rw.bin");
  WriteBytes(name, "ABCDEFGH");
  {
    mapped m;
    ASSERT_TRUE(m.allocate(12, name.c_str(), 1));
    EXPECT_EQ(contents(m), std::string("ABCDEFGH\0\0\0\0", 12));
    m[0] = 'x';
    m[11] = 'z';
  }
  EXPECT_EQ(ReadBytes(name), std::string("xBCDEFGH\0\0\0z", 12));
}

TEST(AllocMmapWin, ViewAtAnUnalignedOffset) {
  ScopedTempDir dir;
  std::string name = dir.File("big.bin");
  std::string bytes(3 * 65536 + 100, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i % 251);
  WriteBytes(name, bytes);
  struct Row {
    std::uint64_t count, offset;
    bool ok;
  } rows[] = {
      {10, 65536 + 7, true}, {100, 3 * 65536, true}, {5, 4095, true},
      {0, 5, false},  // the whole file from byte 5 would reach past its end
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offset);
    mapped m;
    ASSERT_EQ(m.allocate(r.count, name.c_str(), 0, r.offset), r.ok);
    if (r.ok) {
      EXPECT_EQ(contents(m), bytes.substr(r.offset, r.count));
    }
  }
}

TEST(AllocMmapWin, ModeOtherThanReadOrWriteTouchesNoFile) {
  mapped m;
  EXPECT_FALSE(m.allocate(4, "/nonexistent/dir/file", 2));
  EXPECT_TRUE(m.empty());
}

TEST(AllocMmapWin, BlockSizeStaysBelow4GiB) {
  mapped m;
  EXPECT_FALSE(m.allocate(std::uint64_t{1} << 32));
  EXPECT_TRUE(m.empty());
}

TEST(AllocMmapWinDeathTest, SecondExclusiveOpenerIsRefused) {
  ScopedTempDir dir;
  std::string name = dir.File("locked.bin");
  WriteBytes(name, "data");
  mapped first;
  ASSERT_TRUE(first.allocate(0, name.c_str(), 0));
  EXPECT_EXIT(
      {
        mapped second;
        second.allocate(0, name.c_str(), 0);
      },
      ::testing::ExitedWithCode(EWOULDBLOCK),
      exactly(name + ": file open failed.\n"
              "Error: alloc_mmap_win::allocate() failed with error " +
              std::to_string(EWOULDBLOCK) +
              ": Resource temporarily unavailable\n"));
  first.release();
  mapped again;  // the lock went with the block
  EXPECT_TRUE(again.allocate(0, name.c_str(), 1));
}

TEST(AllocMmapWinDeathTest, FailuresEndTheProcessWithTheSystemError) {
  ScopedTempDir dir;
  std::string missing = dir.File("missing.bin");
  std::string small = dir.File("small.bin");
  WriteBytes(small, "1234");
  EXPECT_EXIT(
      {
        mapped m;
        m.allocate(4, missing.c_str(), 0);
      },
      ::testing::ExitedWithCode(ENOENT),
      exactly(missing + ": file open failed.\n"
              "Error: alloc_mmap_win::allocate() failed with error 2: "
              "No such file or directory\n"));
  // A read-only mapping cannot make the file longer.
  EXPECT_EXIT(
      {
        mapped m;
        m.allocate(8, small.c_str(), 0);
      },
      ::testing::ExitedWithCode(EINVAL),
      exactly(small + ": create file mapping failed.\n"
              "Error: alloc_mmap_win::allocate() failed with error 22: "
              "Invalid argument\n"));
}

}  // namespace
