// mandel: entry point; all behaviour lives in mandel_lib.
#include <iostream>

#include "libutils/com/console.h"
#include "mandel/mandel.h"

int main(int argc, char** argv) {
  libutils::ignore_broken_pipe();
  return MandelMain(argc, argv, std::cout, std::cerr,
                    libutils::stderr_is_terminal());
}
