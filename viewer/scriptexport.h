// The driver batch script that the viewer exports from its view history:
// run in a command prompt with a directory name, it creates the directory
// and, for every pair of consecutive views, runs zoomscript to write the
// frame script of that zoom step and then calls it.
#pragma once

#include <string>

#include "viewer/history.h"

namespace zv {

// The whole script text with CR LF line ends, as the command processor
// expects. frames_per_step is the number of frames between two consecutive
// views; frame numbers run from 0 and are truncated to whole numbers. Views
// are written with their corner, real extent and limit only. A history of
// fewer than two views gives the opening and closing lines with no steps.
std::string driver_script(const viewhistory& history, double frames_per_step);

// Creates or truncates the file name and writes text to it unchanged.
// False when the file cannot be created, written or closed completely (a
// full disk shows only then); reason then holds the system's explanation.
bool write_script_file(const std::string& name, const std::string& text,
                       std::string* reason);

}  // namespace zv
