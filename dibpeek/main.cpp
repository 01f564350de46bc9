// dibpeek: entry point; all behaviour lives in dibpeek_lib.
#include <iostream>

#include "dibpeek/dibpeek.h"

int main(int argc, char** argv) {
  return DibPeekMain(argc, argv, std::cout, std::cerr);
}
