// setrender: renders a view given by numbers, or colours a saved view, into a
// 24-bit BMP file one line at a time.
#pragma once

#include <cstdint>
#include <iosfwd>

// Runs the whole program on its arguments and returns the exit status. All
// messages go to err; the image goes to a file, or to the standard output for
// the name "-". With showProgress a progress line is kept on err.
int RenderMain(int argc, char** argv, std::ostream& err, bool showProgress);
