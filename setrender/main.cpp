// setrender: entry point; all behaviour lives in setrender_lib.
#include <iostream>

#include "libutils/com/atomicfile.h"
#include "libutils/com/console.h"
#include "setrender/render.h"

int main(int argc, char** argv) {
  libutils::ignore_broken_pipe();
  // Also for the standard output: a file-size limit must end in a message.
  libutils::ignore_file_size_signal();
  return RenderMain(argc, argv, std::cerr, libutils::stderr_is_terminal());
}
