// Windows side of the console details: the C runtime translates line ends on
// the standard streams unless they are switched to binary.
#include "libutils/com/console.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>

namespace libutils {

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

// Windows has no SIGPIPE: a write to a closed pipe already fails with an error.
void ignore_broken_pipe() {}

void set_binary_stdin() { _setmode(_fileno(stdin), _O_BINARY); }
void set_binary_stdout() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace libutils
