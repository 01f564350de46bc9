#include "viewer/childrun.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/testutil.h"

namespace {

bool wait_end(zv::childrun& child) {
  for (int i = 0; i < 1000; ++i) {
    if (!child.poll()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ChildRun, ExitStatusAndLastErrorLine) {
  struct Row {
    const char* script;
    bool ok;
    const char* failure;
  } rows[] = {
      {"exit 0", true, "exit status 0"},
      {"exit 3", false, "exit status 3"},
      {"echo first >&2; echo 'frames: too many' >&2; exit 1", false,
       "frames: too many"},
      {"kill -9 $$", false, "ended by a signal"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    zv::childrun child;
    std::string error;
    ASSERT_TRUE(child.start({"/bin/sh", "-c", row.script}, &error)) << error;
    ASSERT_TRUE(wait_end(child));
    EXPECT_FALSE(child.running());
    EXPECT_EQ(row.ok, child.succeeded());
    EXPECT_EQ(row.failure, child.failure());
    EXPECT_FALSE(child.was_cancelled());
  }
}

// A cancel ends the child and what it started, even one that ignores the
// polite request, and returns only once they are gone.
TEST(ChildRun, CancelEndsTheWholeGroup) {
  for (const char* script : {"sleep 30 & wait", "trap '' TERM; sleep 3"}) {
    SCOPED_TRACE(script);
    zv::childrun child;
    std::string error;
    ASSERT_TRUE(child.start({"/bin/sh", "-c", script}, &error)) << error;
    // Time for the shell to set its trap: a cancel before it would not
    // try the forced end.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(child.poll());
    const auto start = std::chrono::steady_clock::now();
    child.cancel();
    EXPECT_FALSE(child.running());
    EXPECT_TRUE(child.was_cancelled());
    EXPECT_FALSE(child.succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(3));
  }
}

TEST(ChildRun, MissingProgramIsRefused) {
  zv::childrun child;
  std::string error;
  EXPECT_FALSE(child.start({"/no/such/mandel", "animate"}, &error));
  EXPECT_NE(std::string::npos, error.find("/no/such/mandel")) << error;
  EXPECT_FALSE(child.running());
}

TEST(ChildRun, FindsProgramBesideThenOnPath) {
  testutil::ScopedTempDir beside, onpath;
  for (const std::string& file :
       {beside.File("tool"), onpath.File("tool"), onpath.File("other")}) {
    testutil::WriteBytes(file, "#!/bin/sh\n");
    ASSERT_EQ(0, ::chmod(file.c_str(), 0755));
  }
  testutil::WriteBytes(beside.File("plain"), "not executable");
  const char* old = std::getenv("PATH");
  const std::string saved = old ? old : "";
  ::setenv("PATH", ("/no/such/dir::" + onpath.path()).c_str(), 1);
  EXPECT_EQ(beside.File("tool"), zv::find_program("tool", beside.path()));
  EXPECT_EQ(onpath.File("tool"), zv::find_program("tool", "/no/such/dir"));
  EXPECT_EQ(onpath.File("other"), zv::find_program("other", beside.path()));
  EXPECT_EQ("", zv::find_program("plain", beside.path()));
  EXPECT_EQ("", zv::find_program("missing", beside.path()));
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(zv::own_directory().empty());
}

TEST(ChildRun, CountsOnlyFinishedFrames) {
  testutil::ScopedTempDir dir;
  for (const char* name :
       {"zoom-000000.png", "zoom-000001.png", "zoom-1000000.png",
        ".zoom-000002.png.tmp1", "zoom-00000x.png", "zoomer-000000.png",
        "zoom-.png", "zoom.keyframes"})
    testutil::WriteBytes(dir.File(name), "");
  EXPECT_EQ(3u, zv::frames_written(dir.path(), "zoom"));
  EXPECT_EQ(0u, zv::frames_written(dir.File("missing"), "zoom"));
}

}  // namespace
