// Another program run beside the window (mandel animate rendering the
// exported keyframes): started without a shell, watched without blocking
// so the window stays responsive, stopped on request. POSIX only, like the
// viewer. Toolkit-free.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zv {

// The program to run for name: the file of that name in dir when it is
// executable there (mandel installed or built beside zoomview), otherwise
// the first executable of that name on PATH; empty when neither exists.
std::string find_program(const std::string& name, const std::string& dir);

// The directory of the running program, from /proc/self/exe; empty when
// the system does not say.
std::string own_directory();

class childrun {
 public:
  childrun() = default;
  // Stops a child still running and waits for it.
  ~childrun();
  childrun(const childrun&) = delete;
  childrun& operator=(const childrun&) = delete;

  // Runs argv[0] (a path) with argv, its standard input from /dev/null
  // and its standard error kept (the last few kilobytes) for a message.
  // False, with the system's reason in error, when it cannot be started.
  bool start(const std::vector<std::string>& argv, std::string* error);

  // Collects what the child wrote and whether it ended; never blocks.
  // True while it runs.
  bool poll();
  // Ends the child and everything it started (SIGTERM to its process
  // group, which its own clean-up handlers remove temporary files on), then
  // waits for it.
  void cancel();

  bool running() const { return pid > 0; }
  // After the end: true when the child exited with status 0.
  bool succeeded() const { return ended && exit_code == 0 && !signalled; }
  bool was_cancelled() const { return cancelled; }
  // What went wrong, for a message: the child's last error line, or its
  // exit status when it wrote none.
  std::string failure() const;

 private:
  void read_output();
  void reap(int status);

  pid_t pid = -1;
  int err_fd = -1;
  bool ended = false, signalled = false, cancelled = false;
  int exit_code = 0;
  std::string err_text;
};

// How many frames of an animation written to DIR/NAME are complete: the
// files NAME-<digits>.png in DIR (each appears whole under that name).
// Frames already there count too, as mandel animate keeps them and draws
// only the others.
std::uint64_t frames_written(const std::string& dir, const std::string& name);

}  // namespace zv
