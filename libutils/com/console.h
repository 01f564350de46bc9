// The few console details that differ between operating systems. One source
// file per platform implements them; CMake builds the right one.
#pragma once

namespace libutils {

// True when the standard error stream is an interactive terminal, so that a
// program may show transient progress there without disturbing scripts.
bool stderr_is_terminal();

// Makes a write to a closed pipe fail with an error instead of ending the
// process by a signal, so the program can report it.
void ignore_broken_pipe();

// Switches the standard input or output to binary, for programs that pass
// image or count data through "-".
void set_binary_stdin();
void set_binary_stdout();

}  // namespace libutils
