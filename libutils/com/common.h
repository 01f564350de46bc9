// Declarations shared by every part of libutils and the small programs.
#pragma once

namespace libutils {

// Called first by every error report of the library and the script
// generators, before anything is printed. It does nothing: it exists as one
// place to put a breakpoint that catches every reported error.
void error();

}  // namespace libutils
