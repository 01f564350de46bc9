// mandel: renders views of the Mandelbrot set and Julia sets to PNG, BMP and
// count files, re-colours count files, and describes them.
#pragma once

#include <iosfwd>

// Exit statuses: success, a failure while working (a file that cannot be
// read or written, a malformed input file), and a command line that was
// refused before anything was done.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Runs the whole program on its arguments and returns the exit status. Help
// and version go to out; messages go to err as "mandel: <text>". Images go
// to files, or to out for the output name "-". With terminal, a progress
// line is kept on err while rendering.
int MandelMain(int argc, char** argv, std::ostream& out, std::ostream& err,
               bool terminal);
