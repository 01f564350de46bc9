// dibpeek: prints the two header blocks of BMP files as labelled text.
#pragma once

#include <iosfwd>

// Runs the program on its arguments: one block per file on out, the usage
// text and messages on err. Returns the exit status; stops at the first file
// that cannot be opened.
int DibPeekMain(int argc, char** argv, std::ostream& out, std::ostream& err);
