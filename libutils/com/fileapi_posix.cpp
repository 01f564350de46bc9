// POSIX side of the file-system calls behind atomic outputs: status queries,
// exclusive creation, fsync and rename, and the removal of temporary files
// when a signal ends the process.
#include "libutils/com/fileapi.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace libutils::fileapi {
namespace {

std::string SystemText(int code) { return std::strerror(code); }

// Names to remove when SIGINT, SIGTERM or SIGHUP ends the process. The
// handler may only make async-signal-safe calls, so the names live in fixed
// buffers rather than in anything that allocates. A slot is 0 when free, 2
// while its name is being written and 1 once the handler may use it.
constexpr int Slots = 16;
char names[Slots][PATH_MAX];
std::atomic<int> states[Slots];
static_assert(std::atomic<int>::is_always_lock_free,
              "the signal handler needs lock-free flags");

const int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveAndEnd(int sig) {
  for (int i = 0; i < Slots; ++i) {
    if (states[i].load() == 1) unlink(names[i]);
  }
  // Ended by the same signal with its default action, so the parent sees
  // the conventional status.
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);
}

// Only over the default action: a signal the user chose to ignore (nohup)
// stays ignored, and a handler the program installed stays its own.
void InstallHandlers() {
  for (int sig : EndingSignals) {
    struct sigaction old = {};
    if (sigaction(sig, nullptr, &old) != 0) continue;
    if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
    struct sigaction act = {};
    act.sa_handler = RemoveAndEnd;
    sigemptyset(&act.sa_mask);
    for (int other : EndingSignals) sigaddset(&act.sa_mask, other);
    sigaction(sig, &act, nullptr);
  }
}

// The slot that now holds name, which fits a slot, or -1 when all are taken.
int Register(const std::string& name) {
  for (int i = 0; i < Slots; ++i) {
    int expected = 0;
    if (!states[i].compare_exchange_strong(expected, 2)) continue;
    std::memcpy(names[i], name.c_str(), name.size() + 1);
    states[i].store(1);
    return i;
  }
  return -1;
}

// The directory that holds name, for the fsync that makes a rename durable.
std::string DirectoryOf(const std::string& name) {
  const std::size_t cut = name.rfind('/');
  if (cut == std::string::npos) return ".";
  if (cut == 0) return "/";
  return name.substr(0, cut);
}

}  // namespace

kind query(const std::string& name) {
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return kind::missing;
  return S_ISREG(st.st_mode) ? kind::regular : kind::other;
}

bool resolve(const std::string& name, std::string& out, std::string& error) {
  out = name;
  // The system's own limit on links followed while opening a name.
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (lstat(out.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(st.st_size > 0 ? st.st_size + 1 : PATH_MAX, '\0');
    ssize_t n = readlink(out.c_str(), &link[0], link.size());
    if (n < 0) {
      error = SystemText(errno);
      return false;
    }
    link.resize(static_cast<std::size_t>(n));
    // A relative link is read from the directory the link is in.
    if (!link.empty() && link[0] != '/' && out.find('/') != std::string::npos) {
      link = out.substr(0, out.rfind('/') + 1) + link;
    }
    out = link;
  }
  error = SystemText(ELOOP);
  return false;
}

bool writable(const std::string& name, std::string& error) {
  if (access(name.c_str(), W_OK) == 0) return true;
  error = SystemText(errno);
  return false;
}

int create(const std::string& name, const std::string& like, bool& taken,
           int& slot, std::string& error) {
  taken = false;
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  if (name.size() >= PATH_MAX) {
    error = SystemText(ENAMETOOLONG);
    return -1;
  }
  // Held back from this thread until the name is registered: a signal in
  // between would leave the new file behind.
  sigset_t ending, old;
  sigemptyset(&ending);
  for (int sig : EndingSignals) sigaddset(&ending, sig);
  pthread_sigmask(SIG_BLOCK, &ending, &old);
  // 0666 less the umask: what a plain creation by the C library gives.
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  int code = errno;
  slot = -1;
  if (fd >= 0) {
    slot = Register(name);
    if (slot < 0) {
      ::close(fd);
      unlink(name.c_str());
      fd = -1;
      code = EMFILE;
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (fd < 0) {
    taken = code == EEXIST;
    error = SystemText(code);
    return -1;
  }
  struct stat st;
  if (!like.empty() && stat(like.c_str(), &st) == 0) {
    // Best effort: a file owned by someone else keeps the umask's mode.
    (void)fchmod(fd, st.st_mode & 0777);
  }
  return fd;
}

bool sync_close(int handle, std::string& error) {
  int code = 0;
  if (fsync(handle) != 0) code = errno;
  if (::close(handle) != 0 && code == 0) code = errno;
  if (code == 0) return true;
  error = SystemText(code);
  return false;
}

void close(int handle) { ::close(handle); }

void start_writeback(int handle) {
#ifdef SYNC_FILE_RANGE_WRITE
  // Only a head start: a failure shows again in the fsync that follows.
  (void)sync_file_range(handle, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)handle;
#endif
}

bool replace(const std::string& from, const std::string& to,
             std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = SystemText(errno);
    return false;
  }
  // The new name is only durable once its directory is on disk; a failure
  // here loses no data, so it is not reported.
  int dir = ::open(DirectoryOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    ::close(dir);
  }
  return true;
}

void remove(const std::string& name) { unlink(name.c_str()); }

void unregister_removal(int slot) {
  if (slot >= 0 && slot < Slots) states[slot].store(0);
}

bool is_separator(char c) { return c == '/'; }

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

bool same_file(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool exists(const char* name) {
  struct stat st;
  return stat(name, &st) == 0;
}

void ignore_file_size_signal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace libutils::fileapi
