// The frame-script generator behind zoomscript and juliascript. Both programs
// write a batch file that calls a per-frame script once for every frame, with
// values moved linearly from a start to an end; they differ only in the
// per-frame script they call and in the columns they interpolate, which each
// program describes with a ScriptLayout.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace framescript {

// How both end values of a column are read from the command line.
enum class ColumnType {
  Double,    // C string-to-double
  Unsigned,  // C string-to-unsigned-long in base 0, kept as 32 bits
};

struct Column {
  const char* name;  // the word shown for it in the usage text
  ColumnType type;
};

// What one generator program is: the script its calls name and the values
// each call carries before the frame number, in call order.
struct ScriptLayout {
  const char* stepScript;
  std::vector<Column> columns;
};

// A parsed command line: one start and one end value per column.
struct FrameScript {
  std::vector<double> start;
  std::vector<double> end;
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::int32_t width = 0;
  std::string base;
};

// Reads "start columns, first frame, end columns, last frame, width, base"
// from argv[1] on, without validation: text that is not a number reads as 0
// and arguments after the base name are ignored. False when argc is too
// small to hold them all.
bool ParseArguments(const ScriptLayout& layout, int argc,
                    const char* const* argv, FrameScript* script);

// The usage line, newline included. A null program is shown as empty.
void WriteUsage(const ScriptLayout& layout, const char* program,
                std::ostream& out);

// The base name as given, "-", the last frame in plain decimal, ".bat".
std::string OutputName(const FrameScript& script);

// C's "%.21g": enough digits to tell any two doubles apart.
std::string FormatValue(double value);

// Writes n in decimal, padded on the left with '0' to at least width
// characters; a width of 0 or less pads nothing. Huge widths are written
// out in full without building a buffer of that size.
void WriteFrameNumber(std::ostream& os, std::uint32_t n, std::int32_t width);

// The value at fraction t of the way, (end - start) * t + start.
double Interpolate(double start, double end, double t);

// Writes the whole script, with CR LF line ends whatever the host: "@echo
// off", then an echo line and a call line for every frame from first to last
// inclusive (none when first > last). A single frame (first == last) gets the
// start values. Stops early once the stream fails; returns its state.
bool WriteScript(const ScriptLayout& layout, const FrameScript& script,
                 std::ostream& os);

// False when name holds a character that the Windows command processor
// interprets or splits a command line on (& | < > ^ % ! " ( ), space, tab)
// or any control character: written into a batch file, such a name could
// run other commands or break the lines.
bool IsSafeBatchName(const std::string& name);

// The whole program: usage text on out and 0 when arguments are missing.
// Otherwise writes the file named by OutputName, replacing an existing one
// only once the new one is complete, and returns 0. Returns 1, with nothing
// written, after reporting on err "<base>: Unsafe name for a batch file.",
// "<name>: File name too long." (longer than 259 characters), or
// "<name>: write error.<C library error text>" when the file cannot be
// opened or written.
int ScriptMain(const ScriptLayout& layout, int argc, const char* const* argv,
               std::ostream& out, std::ostream& err);

}  // namespace framescript
