// The fatal error report and its replaceable presenter.
#include "libutils/fatal.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "libutils/platform/sysapi.h"

namespace libutils {
namespace {

void stderr_presenter(const char* title, const char* text) {
  std::size_t n = std::strlen(text);
  bool has_newline = n > 0 && text[n - 1] == '\n';
  std::fprintf(stderr, "%s: %s%s", title, text, has_newline ? "" : "\n");
  std::fflush(stderr);
}

// The system's message box where there is one (Windows). A report that
// cannot be shown there, as in a service or a session without a display,
// still reaches the standard error stream rather than vanishing.
void default_presenter(const char* title, const char* text) {
  if (!sysapi::show_message_box(title, text)) stderr_presenter(title, text);
}

fatal_presenter presenter = default_presenter;

}  // namespace

fatal_presenter set_fatal_presenter(fatal_presenter p) {
  fatal_presenter old = presenter;
  presenter = p ? p : default_presenter;
  return old;
}

void fatal(const char* operation) {
  // Anything below may touch errno or GetLastError(), so the code is taken
  // first, before even a string is built.
  const int code = sysapi::last_error();
  const std::string text = sysapi::error_text(code);
  if (!operation) operation = "";

  // Room for the fixed words and the widest int: the rest is the two texts.
  std::vector<char> message(text.size() + std::strlen(operation) + 40, '\0');
  std::snprintf(message.data(), message.size(), "%s failed with error %d: %s",
                operation, code, text.c_str());
  presenter("Error", message.data());
  sysapi::exit_process(code);
}

}  // namespace libutils
