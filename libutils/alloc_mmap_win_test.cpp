#include "libutils/alloc_mmap_win.h"

#include <gtest/gtest.h>

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

std::string escaped(const std::string& text) {
  std::string re;
  for (char c : text) {
    if (std::string(".[]{}()*+?^$|\\").find(c) != std::string::npos) re += '\\';
    re += c;
  }
  return re;
}

// The allocator's message and the fatal report after it. The system words
// its own error text; the rest is ours and spelled out.
std::string report(const std::string& subject, const std::string& text) {
  return escaped(subject + text) + "\r*\n" +
         escaped("Error: alloc_mmap_win::allocate() failed with error ");
}

// The error codes differ between systems; what matters is that the process
// ended normally with one.
bool exited_with_error(int status) {
  for (int code = 1; code < 0x10000; ++code)
    if (::testing::ExitedWithCode(code)(status)) return true;
  return false;
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
      {10, 65536 + 7, true},
      {100, 3 * 65536, true},
      {5, 4095, true},
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

TEST(AllocMmapWinDeathTest, SecondExclusiveOpenerIsRefused) {
  ScopedTempDir dir;
  std::string name = dir.File("locked.bin");
  WriteBytes(name, "data");
  mapped first;
  ASSERT_TRUE(first.allocate(0, name.c_str(), 0));
  // The directory's name is not known ahead where a death test runs the
  // test afresh in a new process.
  EXPECT_EXIT(
      {
        mapped second;
        second.allocate(0, name.c_str(), 0);
      },
      exited_with_error, "^.*" + report("locked.bin", ": file open failed."));
  first.release();
  mapped again;  // the lock went with the block
  EXPECT_TRUE(again.allocate(0, name.c_str(), 1));
}

TEST(AllocMmapWinDeathTest, FailuresEndTheProcessWithTheSystemError) {
  // Error 2 is "file not found" on every system this builds for.
  const char* missing = "libutils-test-no-such-file.bin";
  EXPECT_EXIT(
      {
        mapped m;
        m.allocate(4, missing, 0);
      },
      ::testing::ExitedWithCode(2),
      "^" + report(missing, ": file open failed.") + "2: ");

  // A read-only mapping cannot make the file longer.
  ScopedTempDir dir;
  std::string small = dir.File("small.bin");
  WriteBytes(small, "1234");
  EXPECT_EXIT(
      {
        mapped m;
        m.allocate(8, small.c_str(), 0);
      },
      exited_with_error,
      "^.*" + report("small.bin", ": create file mapping failed."));
}

}  // namespace
