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

// True when the file name of path (its last component) can be typed to run
// the driver: the driver echoes its own name through %0, so a character
// the command processor interprets (& | < > ^ % ! " ( ), a space, a tab or
// a control character would run or break a command.
bool safe_driver_name(const std::string& path);

// Writes text unchanged to the file name, replacing an existing file only
// once the new one is complete. False when the file cannot be created,
// written or closed completely (a full disk may show only then); reason
// then holds the system's explanation and an existing file keeps its bytes.
// A name that exists but is not a regular file (a FIFO, a device) is
// refused with "Not a regular file" before anything is opened: a FIFO
// would hold the window until some other program read it.
bool write_script_file(const std::string& name, const std::string& text,
                       std::string* reason);

}  // namespace zv
