// What atomic outputs do with links, devices, FIFOs, permissions and
// signals, which only POSIX systems have in this form.
#include "libutils/com/atomicfile.h"
#include "libutils/com/fileopen.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

bool Replace(const std::string& target, const std::string& bytes,
             std::string* error) {
  libutils::atomic_file file;
  if (!file.open(target, *error)) return false;
  {
    std::ofstream os(file.path(), std::ios::binary | std::ios::trunc);
    os << bytes;
  }
  return file.commit(*error);
}

TEST(AtomicFilePosix, DevicesAndFifosAreWrittenDirectly) {
  ScopedTempDir dir;
  const std::string fifo = dir.File("pipe.bmp");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // A link to a device is not replaced either.
  fs::create_symlink("/dev/null", dir.File("null.bmp"));
  for (const std::string& name : {std::string("/dev/null"), fifo,
                                  dir.File("null.bmp")}) {
    SCOPED_TRACE(name);
    libutils::atomic_file file;
    std::string error;
    // Must return at once: opening the FIFO would wait for a reader.
    ASSERT_TRUE(file.open(name, error)) << error;
    EXPECT_TRUE(file.direct());
    EXPECT_EQ(name, file.path());
    EXPECT_TRUE(file.commit(error));
  }
  EXPECT_TRUE(libutils::file_exists(fifo.c_str()));
  EXPECT_EQ((std::vector<std::string>{"null.bmp", "pipe.bmp"}),
            testutil::ListDirectory(dir.path()));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(AtomicFilePosix, LinksStayLinksToTheReplacedFile) {
  ScopedTempDir dir;
  fs::create_directories(dir.File("real"));
  fs::create_directories(dir.File("links"));
  WriteBytes(dir.File("real/pic.bmp"), "old");
  struct Row {
    const char* link;
    const char* points_to;
    const char* file;  // the file the link finally names
  } rows[] = {
      {"links/abs.bmp", nullptr, "real/pic.bmp"},  // absolute, filled below
      {"links/rel.bmp", "../real/pic.bmp", "real/pic.bmp"},
      {"links/chain.bmp", "rel.bmp", "real/pic.bmp"},
      // A dangling link gets its file created, as a plain open would.
      {"links/dangling.bmp", "../real/new.bmp", "real/new.bmp"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.link);
    const std::string link = dir.File(row.link);
    fs::create_symlink(row.points_to ? row.points_to : dir.File(row.file),
                       link);
    std::string error;
    ASSERT_TRUE(Replace(link, row.link, &error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(row.link, ReadBytes(dir.File(row.file)));
  }
  // No temporary file left in either directory.
  EXPECT_EQ((std::vector<std::string>{"new.bmp", "pic.bmp"}),
            testutil::ListDirectory(dir.File("real")));
  EXPECT_EQ(4u, testutil::ListDirectory(dir.File("links")).size());
  EXPECT_TRUE(libutils::same_file(dir.File("links/chain.bmp").c_str(),
                                  dir.File("real/pic.bmp").c_str()));
}

TEST(AtomicFilePosix, PermissionsAreThoseOfAPlainWrite) {
  ScopedTempDir dir;
  const mode_t old_mask = umask(027);
  std::string error;
  ASSERT_TRUE(Replace(dir.File("new.bmp"), "n", &error)) << error;
  const std::string private_file = dir.File("private.bmp");
  WriteBytes(private_file, "p");
  chmod(private_file.c_str(), 0600);
  ASSERT_TRUE(Replace(private_file, "q", &error)) << error;
  umask(old_mask);
  struct stat st;
  ASSERT_EQ(0, stat(dir.File("new.bmp").c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 0777);
  ASSERT_EQ(0, stat(private_file.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);
}

// Runs body in a child process and returns its wait status.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST(AtomicFilePosix, WriteProtectedTargetIsRefused) {
  ScopedTempDir dir;
  const std::string target = dir.File("ro.bmp");
  WriteBytes(target, "keep");
  chmod(target.c_str(), 0444);
  chmod(dir.path().c_str(), 0777);
  // Only an unprivileged user is refused; the check runs as one.
  const int status = InChild([&] {
    if (geteuid() == 0 && setuid(65534) != 0) return 3;
    libutils::atomic_file file;
    std::string error;
    if (file.open(target, error)) return 1;
    return error == "Permission denied" ? 0 : 2;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ("keep", ReadBytes(target));
  EXPECT_EQ(std::vector<std::string>{"ro.bmp"}, testutil::ListDirectory(dir.path()));
}

TEST(AtomicFilePosix, EndingSignalsRemoveTheTemporaryFile) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    ScopedTempDir dir;
    const std::string target = dir.File("out.bmp");
    WriteBytes(target, "old");
    const int status = InChild([&] {
      libutils::atomic_file file;
      std::string error;
      if (!file.open(target, error)) return 1;
      std::ofstream(file.path(), std::ios::binary) << "partial";
      raise(sig);
      return 2;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(sig, WTERMSIG(status));
    EXPECT_EQ("old", ReadBytes(target));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, testutil::ListDirectory(dir.path()));
  }
}

TEST(AtomicFilePosix, IgnoredSignalStaysIgnored) {
  ScopedTempDir dir;
  const int status = InChild([&] {
    std::signal(SIGHUP, SIG_IGN);
    libutils::atomic_file file;
    std::string error;
    if (!file.open(dir.File("x.bmp"), error)) return 1;
    raise(SIGHUP);
    return file.commit(error) ? 0 : 2;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ(std::vector<std::string>{"x.bmp"}, testutil::ListDirectory(dir.path()));
}

// Probing names for an existing output must not open them: a FIFO would
// block the program until some writer came.
TEST(FileOpenPosix, NamesAreProbedWithoutOpening) {
  ScopedTempDir dir;
  const std::string base = dir.File("pf");
  ASSERT_EQ(0, mkfifo((base + ".bmp").c_str(), 0600));
  const char* exts[] = {".bmp", ".BMP", nullptr};
  libutils::WriteFile w;
  w.SetName(base.c_str(), exts);
  EXPECT_EQ(base + ".bmp", w.OFN());
}

}  // namespace
