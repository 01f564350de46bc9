// What a failed or interrupted output leaves behind, on POSIX systems where
// the test can limit file sizes, mount a small disk, send signals and make
// FIFOs: in every case the previous file keeps its bytes and no temporary
// file is left.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::ReadBytes;
using testutil::ScopedTempDir;
using testutil::WriteBytes;

bool HasTemporaryFile(const std::string& dir) {
  for (const std::string& name : testutil::ListDirectory(dir)) {
    if (name[0] == '.') return true;
  }
  return false;
}

struct Launch {
  std::vector<std::string> args;
  std::string cwd;
  std::string stdin_path = "/dev/null";
  std::string stdout_path = "/dev/null";
  rlim_t file_limit = RLIM_INFINITY;  // bytes, RLIMIT_FSIZE
};

struct Finished {
  int status = 0;
  std::string err;
};

// Starts a program with its standard error in a file; Wait collects both.
class Child {
 public:
  explicit Child(const Launch& launch) : err_path(io.File("stderr")) {
    pid = fork();
    if (pid != 0) return;
    if (chdir(launch.cwd.c_str()) != 0) _exit(126);
    int in = open(launch.stdin_path.c_str(), O_RDONLY);
    int out = open(launch.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                   0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (launch.file_limit != RLIM_INFINITY) {
      struct rlimit limit = {launch.file_limit, launch.file_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    for (const std::string& a : launch.args) {
      argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }

  // Waits at most a minute; a program that hangs is killed and fails.
  Finished Wait() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Running()) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "still running after a minute";
        kill(pid, SIGKILL);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {status, ReadBytes(err_path)};
  }
  bool Running() {
    if (reaped) return false;
    if (waitpid(pid, &status, WNOHANG) == 0) return true;
    reaped = true;
    return false;
  }
  pid_t Pid() const { return pid; }

 private:
  ScopedTempDir io;
  std::string err_path;
  pid_t pid = -1;
  bool reaped = false;
  int status = 0;
};

Finished RunToEnd(const Launch& launch) { return Child(launch).Wait(); }

// Waits until a temporary output file shows up in dir.
bool WaitForTemporaryFile(const std::string& dir) {
  for (int i = 0; i < 6000; ++i) {
    if (HasTemporaryFile(dir)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

int ExitStatus(const Finished& f) {
  return WIFEXITED(f.status) ? WEXITSTATUS(f.status) : -1;
}

// A render of a few million iterations per line: seconds on any machine.
std::vector<std::string> LongRender(const std::string& out) {
  return {SETRENDER_EXE, "-0.75", "-0.1", "0.2", "1000", "1000", "2000000", out};
}

// The example of a name the old helpers cut to 259 characters: the cut
// name is another, existing file, which must be neither read nor written.
TEST(ReliabilityPosix, CutNamesNeverReachAnotherFile) {
  ScopedTempDir dir;
  const std::string d(200, 'd');
  fs::create_directory(dir.File(d));
  const std::string v = d + "/" + std::string(58, 'p');
  ASSERT_EQ(259u, v.size());
  WriteBytes(dir.File(v), "victim\n");
  struct Row {
    std::vector<std::string> args;
    std::string subject;
  } rows[] = {
      {{SETRENDER_EXE, "-2", "-2", "4", "10", "10", "100", v + "_final.bmp"},
       v + "_final.bmp"},
      {{SETRENDER_EXE, "-f", v + "_view", "out"}, v + "_view"},
      {{DIBPEEK_EXE, v + "_other.bmp"}, v + "_other.bmp"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0]);
    Launch launch;
    launch.args = row.args;
    launch.cwd = dir.path();
    Finished f = RunToEnd(launch);
    EXPECT_EQ(1, ExitStatus(f));
    EXPECT_EQ(row.subject + ": File name too long.\n", f.err);
    EXPECT_EQ("victim\n", ReadBytes(dir.File(v)));
    EXPECT_EQ(std::vector<std::string>{d}, testutil::ListDirectory(dir.path()));
  }
}

TEST(ReliabilityPosix, LinksToAnInputAreTheInput) {
  ScopedTempDir dir;
  WriteBytes(dir.File("s.mni"), "-2 -2 4 4 2 1 10\n");
  WriteBytes(dir.File("s.mnd"), std::string("\x05\x00\x02\x01", 4));
  fs::create_symlink("s.mnd", dir.File("soft.bmp"));
  fs::create_hard_link(dir.File("s.mni"), dir.File("hard.bmp"));
  for (const char* out : {"soft.bmp", "hard.bmp", "soft", "hard"}) {
    SCOPED_TRACE(out);
    Launch launch;
    launch.args = {SETRENDER_EXE, "-f", "s", out};
    launch.cwd = dir.path();
    Finished f = RunToEnd(launch);
    EXPECT_EQ(1, ExitStatus(f));
    std::string shown = out;
    if (shown.find('.') == std::string::npos) shown += ".bmp";
    EXPECT_EQ(shown + ": Output would overwrite an input.\n", f.err);
  }
  EXPECT_EQ(std::string("\x05\x00\x02\x01", 4), ReadBytes(dir.File("s.mnd")));
  EXPECT_EQ("-2 -2 4 4 2 1 10\n", ReadBytes(dir.File("s.mni")));
}

// The output's name is probed without opening it: an existing FIFO is then
// written like any device, and a reader receives the picture.
TEST(ReliabilityPosix, FifoOutputIsProbedWithoutBlocking) {
  ScopedTempDir dir;
  ASSERT_EQ(0, mkfifo(dir.File("pf.bmp").c_str(), 0600));
  std::string received;
  std::thread reader([&] { received = ReadBytes(dir.File("pf.bmp")); });
  Launch launch;
  launch.args = {SETRENDER_EXE, "-2", "-1.5", "4", "16", "12", "50", "pf"};
  launch.cwd = dir.path();
  Finished f = RunToEnd(launch);
  if (ExitStatus(f) != 0) {
    // Release the reader, whatever happened.
    int fd = open(dir.File("pf.bmp").c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  }
  reader.join();
  EXPECT_EQ(0, ExitStatus(f)) << f.err;
  EXPECT_EQ(ReadBytes(testutil::DataFile("setrender/small.bmp")), received);
  EXPECT_TRUE(fs::is_fifo(dir.File("pf.bmp")));
}

// Every way a write can fail after the output was opened, each against an
// existing picture that must survive it.
TEST(ReliabilityPosix, FailedOutputsKeepTheOldFile) {
  const std::string old(5000, 'o');
  struct Row {
    const char* what;
    std::vector<std::string> args;
    rlim_t file_limit;
    const char* target;
    const char* err;
  } rows[] = {
      {"file-size limit", {SETRENDER_EXE, "-2", "-2", "4", "200", "200", "50", "pic"},
       20000, "pic.bmp", "pic.bmp: write error.\n"},
      {"frame script over the limit",
       {ZOOMSCRIPT_EXE, "0", "0", "1", "1", "0", "0", "0", "1", "1", "100000",
        "1", "walk"},
       20000, "walk-100000.bat", "walk-100000.bat: write error.File too large\n"},
      {"ulimit -f in the shell",
       {"/bin/sh", "-c",
        std::string("ulimit -f 20; exec ") + SETRENDER_EXE +
            " -2 -2 4 200 200 50 pic"},
       RLIM_INFINITY, "pic.bmp", "pic.bmp: write error.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScopedTempDir dir;
    WriteBytes(dir.File(row.target), old);
    Launch launch;
    launch.args = row.args;
    launch.cwd = dir.path();
    launch.file_limit = row.file_limit;
    Finished f = RunToEnd(launch);
    EXPECT_EQ(1, ExitStatus(f)) << f.status;
    EXPECT_EQ(row.err, f.err);
    EXPECT_EQ(old, ReadBytes(dir.File(row.target)));
    EXPECT_EQ(std::vector<std::string>{row.target}, testutil::ListDirectory(dir.path()));
  }
}

TEST(ReliabilityPosix, FileSizeLimitOnStandardOutputIsAWriteError) {
  ScopedTempDir dir;
  Launch launch;
  launch.args = {SETRENDER_EXE, "-2", "-2", "4", "200", "200", "50", "-"};
  launch.cwd = dir.path();
  launch.stdout_path = dir.File("out.bmp");
  launch.file_limit = 20000;
  Finished f = RunToEnd(launch);
  EXPECT_EQ(1, ExitStatus(f)) << f.status;
  EXPECT_EQ("(stdout): write error.\n", f.err);
}

// A real full disk, where the machine lets the test mount a small one.
TEST(ReliabilityPosix, FullDiskKeepsTheOldFile) {
  ScopedTempDir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no permission to mount a small disk";
  }
  const std::string old(5000, 'o');
  WriteBytes(dir.File("pic.bmp"), old);
  Launch launch;
  launch.args = {SETRENDER_EXE, "-2", "-2", "4", "200", "200", "50", "pic"};
  launch.cwd = dir.path();
  Finished f = RunToEnd(launch);
  EXPECT_EQ(1, ExitStatus(f));
  EXPECT_EQ("pic.bmp: write error.\n", f.err);
  EXPECT_EQ(old, ReadBytes(dir.File("pic.bmp")));
  EXPECT_EQ(std::vector<std::string>{"pic.bmp"}, testutil::ListDirectory(dir.path()));
  umount(dir.path().c_str());
}

// The data file ends in the middle of the render: a FIFO gives half the
// counts and then closes, as a file truncated while it is read.
TEST(ReliabilityPosix, InputThatEndsDuringTheRenderKeepsTheOldFile) {
  ScopedTempDir dir;
  WriteBytes(dir.File("v.mni"), "-2 -2 4 4 200 100 100\n");
  ASSERT_EQ(0, mkfifo(dir.File("v.mnd").c_str(), 0600));
  WriteBytes(dir.File("pic.bmp"), "old picture");
  std::thread writer([&] {
    WriteBytes(dir.File("v.mnd"), std::string(200 * 50 * 2, '\x01'));
  });
  Launch launch;
  launch.args = {SETRENDER_EXE, "-f", "v", "pic"};
  launch.cwd = dir.path();
  Finished f = RunToEnd(launch);
  writer.join();
  EXPECT_EQ(1, ExitStatus(f));
  EXPECT_EQ("v.mnd: Data file too short.\n", f.err);
  EXPECT_EQ("old picture", ReadBytes(dir.File("pic.bmp")));
  EXPECT_EQ((std::vector<std::string>{"pic.bmp", "v.mnd", "v.mni"}),
            testutil::ListDirectory(dir.path()));
}

TEST(ReliabilityPosix, SignalsDuringARenderKeepTheOldFile) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    ScopedTempDir dir;
    WriteBytes(dir.File("pic.bmp"), "old picture");
    Launch launch;
    launch.args = LongRender("pic");
    launch.cwd = dir.path();
    Child child(launch);
    // The temporary file exists once the output is open and lines are
    // being written.
    ASSERT_TRUE(WaitForTemporaryFile(dir.path()));
    kill(child.Pid(), sig);
    Finished f = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(f.status)) << f.status;
    EXPECT_EQ(sig, WTERMSIG(f.status));
    EXPECT_EQ("old picture", ReadBytes(dir.File("pic.bmp")));
    EXPECT_EQ(std::vector<std::string>{"pic.bmp"}, testutil::ListDirectory(dir.path()));
  }
}

// Two renders to one name: the file always holds one complete picture,
// that of the render that finished last.
TEST(ReliabilityPosix, ConcurrentRendersLeaveOneWholePicture) {
  ScopedTempDir dir;
  const std::vector<std::string> slow = {SETRENDER_EXE, "-0.75", "-0.1", "0.2",
                                         "500", "500", "1000000"};
  const std::vector<std::string> quick = {SETRENDER_EXE, "-2", "-2", "4",
                                          "300", "150", "50"};
  auto render = [&](std::vector<std::string> args, const std::string& out) {
    args.push_back(out);
    Launch launch;
    launch.args = args;
    launch.cwd = dir.path();
    return launch;
  };
  ASSERT_EQ(0, ExitStatus(RunToEnd(render(slow, "slow.bmp"))));
  ASSERT_EQ(0, ExitStatus(RunToEnd(render(quick, "quick.bmp"))));
  const std::string slow_picture = ReadBytes(dir.File("slow.bmp"));
  const std::string quick_picture = ReadBytes(dir.File("quick.bmp"));

  Child first(render(slow, "same.bmp"));
  ASSERT_TRUE(WaitForTemporaryFile(dir.path()));
  EXPECT_EQ(0, ExitStatus(RunToEnd(render(quick, "same.bmp"))));
  // Usually the slow render is still running and so finishes last.
  const bool slow_last = first.Running();
  EXPECT_EQ(0, ExitStatus(first.Wait()));
  const std::string same = ReadBytes(dir.File("same.bmp"));
  EXPECT_EQ(slow_last ? slow_picture : quick_picture, same);
  EXPECT_EQ((std::vector<std::string>{"quick.bmp", "same.bmp", "slow.bmp"}),
            testutil::ListDirectory(dir.path()));
}

}  // namespace
