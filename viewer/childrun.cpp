// Running and watching a child program without blocking the window.
#include "viewer/childrun.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace zv {

namespace {
// Enough for the child's last messages; older text is dropped.
constexpr std::size_t KeptErrorBytes = 4096;
// How long a cancelled child has to clean up before it is killed: 2 s.
constexpr int GraceTicks = 200;
constexpr useconds_t TickMicroseconds = 10000;

bool executable(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}
}  // namespace

std::string find_program(const std::string& name, const std::string& dir) {
  if (!dir.empty() && executable(dir + "/" + name)) return dir + "/" + name;
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string list = path;
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t end = list.find(':', at);
    if (end == std::string::npos) end = list.size();
    // An empty entry is the current directory, which a viewer started from
    // a desktop menu has no reason to trust.
    if (end > at) {
      const std::string candidate = list.substr(at, end - at) + "/" + name;
      if (executable(candidate)) return candidate;
    }
    at = end + 1;
  }
  return "";
}

std::string own_directory() {
  std::string link(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", &link[0], link.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return "";
  link.resize(static_cast<std::size_t>(n));
  const std::size_t slash = link.rfind('/');
  return slash == std::string::npos ? "" : link.substr(0, slash);
}

childrun::~childrun() {
  if (running()) cancel();
  if (err_fd >= 0) ::close(err_fd);
}

bool childrun::start(const std::vector<std::string>& argv, std::string* error) {
  if (running() || argv.empty()) {
    *error = running() ? "already running" : "no program";
    return false;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  // Its own process group, so a cancel reaches whatever it starts, and a
  // terminal's Ctrl+C to the viewer does not reach it twice.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t child = -1;
  const int rc = ::posix_spawn(&child, argv[0].c_str(), &actions, &attr,
                               args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    *error = argv[0] + ": " + std::strerror(rc);
    return false;
  }
  ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  if (err_fd >= 0) ::close(err_fd);
  err_fd = fds[0];
  pid = child;
  ended = signalled = cancelled = false;
  exit_code = 0;
  err_text.clear();
  return true;
}

void childrun::read_output() {
  if (err_fd < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(err_fd, buffer, sizeof buffer);
    if (n > 0) {
      err_text.append(buffer, static_cast<std::size_t>(n));
      if (err_text.size() > KeptErrorBytes)
        err_text.erase(0, err_text.size() - KeptErrorBytes);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {  // every writer gone
      ::close(err_fd);
      err_fd = -1;
    }
    return;
  }
}

void childrun::reap(int status) {
  pid = -1;
  ended = true;
  signalled = WIFSIGNALED(status);
  exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  read_output();
}

bool childrun::poll() {
  read_output();
  if (!running()) return false;
  int status = 0;
  const pid_t r = ::waitpid(pid, &status, WNOHANG);
  if (r == pid) {
    reap(status);
    return false;
  }
  return true;
}

void childrun::cancel() {
  if (!running()) return;
  cancelled = true;
  ::kill(-pid, SIGTERM);
  // A child that ignores the request is not allowed to hold the window.
  int status = 0;
  for (int waited = 0;; ++waited) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) break;
    if (waited == GraceTicks) ::kill(-pid, SIGKILL);
    if (waited > GraceTicks) {
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    ::usleep(TickMicroseconds);
  }
  reap(status);
}

std::string childrun::failure() const {
  std::string text = err_text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  const std::size_t cut = text.rfind('\n');
  if (cut != std::string::npos) text.erase(0, cut + 1);
  if (!text.empty()) return text;
  if (signalled) return "ended by a signal";
  return "exit status " + std::to_string(exit_code);
}

std::uint64_t frames_written(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  std::uint64_t count = 0;
  const std::string prefix = name + "-";
  while (const dirent* e = ::readdir(d)) {
    const std::string file = e->d_name;
    if (file.size() <= prefix.size() + 4 ||
        file.compare(0, prefix.size(), prefix) != 0 ||
        file.compare(file.size() - 4, 4, ".png") != 0)
      continue;
    bool digits = true;
    for (std::size_t i = prefix.size(); i < file.size() - 4; ++i)
      digits = digits && file[i] >= '0' && file[i] <= '9';
    if (digits) ++count;
  }
  ::closedir(d);
  return count;
}

}  // namespace zv
