// POSIX side of the console details: streams are always binary here.
#include "libutils/com/console.h"

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace libutils {

bool stderr_is_terminal() { return isatty(fileno(stderr)) == 1; }

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

void set_binary_stdin() {}
void set_binary_stdout() {}

}  // namespace libutils
