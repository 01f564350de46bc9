// Text and file of the viewer's driver script.
#include "viewer/scriptexport.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "libutils/com/atomicfile.h"
#include "zoomscript/framescript.h"

namespace zv {

namespace {
// The batch files of the suite are Windows scripts whatever the host.
constexpr const char* Eol = "\r\n";

// Ten significant digits, C general notation: the precision the animation
// needs, short enough to keep the command line readable.
std::string number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string decimal(std::uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%" PRIu64, v);
  return text;
}

std::string view_items(const MandArea& a) {
  return " " + number(a.minRe) + " " + number(a.minIm) + " " + number(a.lenRe) +
         " " + decimal(a.limit);
}
}  // namespace

std::string driver_script(const viewhistory& history, double frames_per_step) {
  std::uint64_t steps = history.empty() ? 0 : history.size() - 1;
  // Product in double, then truncated: a fractional step count must give
  // the same total as the frame counter reaches below.
  auto total =
      static_cast<std::uint64_t>(static_cast<double>(steps) * frames_per_step);
  // Every frame script pads its numbers to the width of the largest one.
  std::uint64_t width = decimal(total).size();

  std::string out;
  out += "if %1.==. goto usage";
  out += Eol;
  out += "if exist %1\\con goto direxist";
  out += Eol;
  out += "if exist %1 goto fileexist";
  out += Eol;
  out += "mkdir %1";
  out += Eol;

  std::uint64_t f = 0;
  auto a = history.begin();
  for (auto b = a; a != history.end() && ++b != history.end(); a = b) {
    auto next =
        static_cast<std::uint64_t>(static_cast<double>(f) + frames_per_step);
    out += "zoomscript.exe" + view_items(*a) + " " + decimal(f) +
           view_items(*b) + " " + decimal(next) + " " + decimal(width) + " %1" +
           Eol;
    out += "call %1-" + decimal(next) + ".bat" + Eol;
    f = next;
  }

  for (const char* line :
       {"goto exit", "", ":fileexist", "echo file %1 is exist.", "goto exit",
        "", ":direxist", "echo directory %1 is exist.", "goto exit", "",
        ":usage", "echo usage: %0 dirname", "", ":exit"}) {
    out += line;
    out += Eol;
  }
  return out;
}

bool safe_driver_name(const std::string& path) {
  return framescript::IsSafeBatchName(path.substr(path.rfind('/') + 1));
}

bool write_script_file(const std::string& name, const std::string& text,
                       std::string* reason) {
  libutils::atomic_file target;
  if (!target.open(name, *reason)) return false;
  if (target.direct()) {
    std::error_code ec;
    *reason = std::filesystem::is_directory(name, ec) ? std::strerror(EISDIR)
                                                      : "Not a regular file";
    return false;
  }
  std::FILE* file = std::fopen(target.path().c_str(), "wb");
  if (!file) {
    *reason = std::strerror(errno);
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  int error = errno;
  // A full disk may only show when the buffer is flushed at close.
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    *reason = std::strerror(error);
    return false;  // the temporary file goes with target
  }
  return target.commit(*reason);
}

}  // namespace zv
