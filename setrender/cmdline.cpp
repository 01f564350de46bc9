// Sorting setrender's arguments.
#include "setrender/cmdline.h"

#include <cstring>
#include <ostream>

namespace {

// Gives the k arguments after the view to the optional rates and the output
// name; false when they cannot be sorted.
bool Distribute(SetRenderCmdOption& option, char** rest, int k) {
  switch (k) {
    case 4:
      option.rateB = rest[2];
      [[fallthrough]];
    case 3:
      option.rateG = rest[1];
      [[fallthrough]];
    case 2:
      option.rateR = rest[0];
      [[fallthrough]];
    case 1:
      option.bmpFile = rest[k - 1];
      return true;
    default:
      return false;
  }
}

}  // namespace

void PrintUsage(std::ostream& err) {
  err << "Mandelbrot BMP output.\n"
      << "1) setrender real imag length dots limit [RGB-rate] file[.bmp]\n"
      << "2) setrender -f file[.mni|.mnd] [-l re-limit] [R G B-rate] file[.bmp]\n"
      << std::flush;
}

bool parse(SetRenderCmdOption& option, int argc, char** argv,
           std::ostream& err) {
  int n = argc - 1;
  if (n <= 0) return false;

  if (std::strcmp(argv[1], "-f") == 0) {
    if (n <= 2) return false;
    option.viewFile = argv[2];
    int first = 3;
    if (std::strcmp(argv[3], "-l") == 0) {
      // "-l" as the last argument leaves its value missing: that counts as
      // one argument too many, not too few.
      if (n == 3) {
        err << "Too many arguments." << std::endl;
        return false;
      }
      option.reLimit = argv[4];
      first = 5;
    }
    int k = n - first + 1;
    if (k == 0) {
      // The re-limit value was the last argument: nothing to write to.
      err << "No output file." << std::endl;
      return false;
    }
    if (!Distribute(option, argv + first, k)) {
      err << "Too many arguments." << std::endl;
      return false;
    }
    option.fromFile = true;
    return true;
  }

  if (n <= 6) {
    err << "Too few arguments." << std::endl;
    return false;
  }
  option.real = argv[1];
  option.imag = argv[2];
  option.length = argv[3];
  option.dotsX = argv[4];
  option.dotsY = argv[5];
  option.limit = argv[6];
  if (!Distribute(option, argv + 7, n - 6)) {
    err << "Too many arguments." << std::endl;
    return false;
  }
  option.fromFile = false;
  return true;
}
