// Frame-script generation shared by zoomscript and juliascript.
#include "zoomscript/framescript.h"

#include "libutils/com/common.h"
#include "libutils/com/fileopen.h"
#include "libutils/com/numconv.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace framescript {

namespace {

// The scripts run under the Windows command processor, which mis-reads
// labels and goto in files with bare LF line ends, so every platform writes
// CR LF and produces the same bytes.
const char LineEnd[] = "\r\n";

double ReadValue(ColumnType type, const char* text) {
  if (type == ColumnType::Unsigned) return libutils::to_u32(text);
  return libutils::to_double(text);
}

// Arguments after the program name: each half holds the columns and a
// frame, then come width and base name.
int ArgumentCount(const ScriptLayout& layout) {
  return 2 * (static_cast<int>(layout.columns.size()) + 1) + 2;
}

// Writes "call <step script> <values> <frame> <base>" without line end.
void WriteCall(const ScriptLayout& layout, const FrameScript& script,
               const std::vector<std::string>& values, std::uint32_t n,
               std::ostream& os) {
  os << "call " << layout.stepScript;
  for (const std::string& v : values) os << ' ' << v;
  os << ' ';
  WriteFrameNumber(os, n, script.width);
  os << ' ' << script.base;
}

int Report(const std::string& subject, const std::string& text,
           std::ostream& err) {
  libutils::error();
  err << subject << text << '\n' << std::flush;
  return 1;
}

}  // namespace

bool ParseArguments(const ScriptLayout& layout, int argc,
                    const char* const* argv, FrameScript* script) {
  if (argc < 1 + ArgumentCount(layout)) return false;
  const std::size_t columns = layout.columns.size();
  script->start.assign(columns, 0.0);
  script->end.assign(columns, 0.0);
  const char* const* half = argv + 1;
  for (std::size_t i = 0; i < columns; ++i) {
    script->start[i] = ReadValue(layout.columns[i].type, half[i]);
  }
  script->first = libutils::to_u32(half[columns]);
  half += columns + 1;
  for (std::size_t i = 0; i < columns; ++i) {
    script->end[i] = ReadValue(layout.columns[i].type, half[i]);
  }
  script->last = libutils::to_u32(half[columns]);
  // The width is read as unsigned, like the frames, and only then taken as
  // signed: "-1" and "4294967295" both mean no padding.
  script->width =
      static_cast<std::int32_t>(libutils::to_u32(half[columns + 1]));
  script->base = half[columns + 2];
  return true;
}

void WriteUsage(const ScriptLayout& layout, const char* program,
                std::ostream& out) {
  out << "usage: " << (program ? program : "");
  for (int half = 0; half < 2; ++half) {
    for (const Column& c : layout.columns) out << ' ' << c.name;
    out << " frame";
  }
  out << " width file[.bat]\n" << std::flush;
}

std::string OutputName(const FrameScript& script) {
  return script.base + "-" + std::to_string(script.last) + ".bat";
}

std::string FormatValue(double value) {
  // The longest result, "-d.<20 digits>e-308", is 28 characters.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.21g", value);
  return buf;
}

void WriteFrameNumber(std::ostream& os, std::uint32_t n, std::int32_t width) {
  char digits[12];
  int length = std::snprintf(digits, sizeof digits, "%" PRIu32, n);
  // The width comes straight from the command line. Stream padding (setw)
  // sizes a buffer of the whole width on the stack, so a width of two
  // thousand million would crash; writing the zeros in slices cannot.
  static const std::string Zeros(64, '0');
  for (std::int64_t pad = std::int64_t{width} - length; pad > 0 && os;
       pad -= static_cast<std::int64_t>(Zeros.size())) {
    os.write(Zeros.data(), std::min<std::int64_t>(pad, Zeros.size()));
  }
  os.write(digits, length);
}

double Interpolate(double start, double end, double t) {
  // Difference, product, sum in this order: the last frame's digits (0.03
  // comes out as 0.0299999999999998046007) depend on it.
  return (end - start) * t + start;
}

bool WriteScript(const ScriptLayout& layout, const FrameScript& script,
                 std::ostream& os) {
  os << "@echo off" << LineEnd;
  if (script.first > script.last) return static_cast<bool>(os);
  const double span = static_cast<double>(script.last - script.first);
  std::vector<std::string> values(layout.columns.size());
  // The loop ends by comparison before the increment: a last frame of
  // 4294967295 would otherwise wrap to 0 and never end.
  for (std::uint32_t n = script.first;; ++n) {
    // A single frame has 0/0 for its fraction; the start values are the
    // one useful answer.
    const double t =
        span == 0.0 ? 0.0 : static_cast<double>(n - script.first) / span;
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = FormatValue(Interpolate(script.start[i], script.end[i], t));
    }
    os << "echo ";
    WriteCall(layout, script, values, n, os);
    os << LineEnd;
    WriteCall(layout, script, values, n, os);
    os << LineEnd;
    // A full disk would otherwise have us format every remaining frame for
    // nothing, up to four thousand million of them.
    if (!os || n == script.last) break;
  }
  return static_cast<bool>(os);
}

int ScriptMain(const ScriptLayout& layout, int argc, const char* const* argv,
               std::ostream& out, std::ostream& err) {
  FrameScript script;
  if (!ParseArguments(layout, argc, argv, &script)) {
    WriteUsage(layout, argc > 0 ? argv[0] : nullptr, out);
    return 0;
  }
  if (!IsSafeBatchName(script.base)) {
    return Report(script.base, ": Unsafe name for a batch file.", err);
  }
  const std::string name = OutputName(script);
  // Written beside the target and renamed over it once complete, so a
  // failure never leaves half a script, nor destroys the previous one.
  libutils::WriteFile file;
  file.SetName(name.c_str(), static_cast<const char*>(nullptr));
  if (file.NameTooLong()) return Report(name, ": File name too long.", err);
  std::ostream* os = file.WOpen(std::ios::binary);
  if (!os) return Report(name, ": write error." + file.ErrorText(), err);
  // Output is buffered, so a full disk may only show when the file is
  // closed; Close reports that too rather than a cut-off script.
  errno = 0;
  WriteScript(layout, script, *os);
  file.Close();
  if (os->fail()) return Report(name, ": write error." + file.ErrorText(), err);
  return 0;
}

bool IsSafeBatchName(const std::string& name) {
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
    if (std::strchr("&|<>^%!\"() \t", c)) return false;
  }
  return true;
}

}  // namespace framescript
