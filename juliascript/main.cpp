// juliascript: writes the frame script of a Julia-constant animation; the
// program is its table of columns, the behaviour lives in framescript.
#include <iostream>

#include "zoomscript/framescript.h"

int main(int argc, char** argv) {
  // juliastep.bat receives the Julia constant, then the frame number and the
  // base name.
  static const framescript::ScriptLayout Julia{
      "juliastep.bat",
      {{"real", framescript::ColumnType::Double},
       {"imag", framescript::ColumnType::Double}}};
  return framescript::ScriptMain(Julia, argc, argv, std::cout, std::cerr);
}
