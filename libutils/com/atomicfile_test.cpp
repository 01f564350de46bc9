#include "libutils/com/atomicfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

void WriteTo(const std::string& path, const std::string& bytes) {
  std::ofstream os(path, std::ios::binary | std::ios::trunc);
  os << bytes;
}

TEST(AtomicFile, TargetChangesOnlyAtCommit) {
  struct Row {
    const char* name;
    bool exists;
  } rows[] = {{"old.bmp", true}, {"new.bmp", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedTempDir dir;
    const std::string target = dir.File(row.name);
    if (row.exists) WriteBytes(target, "old bytes");
    libutils::atomic_file file;
    std::string error;
    ASSERT_TRUE(file.open(target, error)) << error;
    EXPECT_FALSE(file.direct());
    EXPECT_NE(target, file.path());
    WriteTo(file.path(), "new bytes");
    // Written but not committed: the target is as it was.
    EXPECT_EQ(row.exists ? "old bytes" : "", ReadBytes(target));
    EXPECT_EQ(row.exists, testutil::FileExists(target));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ("new bytes", ReadBytes(target));
    EXPECT_EQ(std::vector<std::string>{row.name}, testutil::ListDirectory(dir.path()));
  }
}

TEST(AtomicFile, FailureToPrepareCreatesNothing) {
  ScopedTempDir dir;
  libutils::atomic_file file;
  std::string error;
  EXPECT_FALSE(file.open(dir.File("no/such/dir/x.bmp"), error));
  EXPECT_EQ("No such file or directory", error);
  EXPECT_TRUE(testutil::ListDirectory(dir.path()).empty());
  // Nothing to commit after a failed open.
  EXPECT_FALSE(file.commit(error));
}

TEST(AtomicFile, OneOfTwoWritersWinsWhole) {
  ScopedTempDir dir;
  const std::string target = dir.File("same.bmp");
  libutils::atomic_file first, second;
  std::string error;
  ASSERT_TRUE(first.open(target, error)) << error;
  ASSERT_TRUE(second.open(target, error)) << error;
  EXPECT_NE(first.path(), second.path());
  WriteTo(first.path(), std::string(5000, 'a'));
  WriteTo(second.path(), std::string(3000, 'b'));
  ASSERT_TRUE(second.commit(error)) << error;
  ASSERT_TRUE(first.commit(error)) << error;
  EXPECT_EQ(std::string(5000, 'a'), ReadBytes(target));
  EXPECT_EQ(std::vector<std::string>{"same.bmp"}, testutil::ListDirectory(dir.path()));
}

TEST(AtomicFile, SameFileAndExistence) {
  ScopedTempDir dir;
  const std::string a = dir.File("a"), b = dir.File("b");
  WriteBytes(a, "x");
  WriteBytes(b, "x");
  struct Row {
    std::string first, second;
    bool same;
  } rows[] = {
      {a, a, true},
      {a, dir.path() + "/./a", true},
      {a, b, false},
      {a, dir.File("missing"), false},
      {dir.File("missing"), dir.File("missing"), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.first + " " + row.second);
    EXPECT_EQ(row.same, libutils::same_file(row.first.c_str(),
                                            row.second.c_str()));
  }
  EXPECT_TRUE(libutils::file_exists(a.c_str()));
  EXPECT_TRUE(libutils::file_exists(dir.path().c_str()));
  EXPECT_FALSE(libutils::file_exists(dir.File("missing").c_str()));
}

}  // namespace
