// setrender: entry point; all behaviour lives in setrender_lib.
#include <iostream>

#include "libutils/com/console.h"
#include "setrender/render.h"

int main(int argc, char** argv) {
  libutils::ignore_broken_pipe();
  return RenderMain(argc, argv, std::cerr, libutils::stderr_is_terminal());
}
