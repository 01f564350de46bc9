// zoomscript: writes the frame script of one zoom step; the program is its
// table of columns, the behaviour lives in framescript.
#include <iostream>

#include "zoomscript/framescript.h"

int main(int argc, char** argv) {
  // zoomstep.bat receives the view's point, its length along the real axis
  // and its iteration limit, then the frame number and the base name.
  static const framescript::ScriptLayout Zoom{
      "zoomstep.bat",
      {{"real", framescript::ColumnType::Double},
       {"imag", framescript::ColumnType::Double},
       {"length", framescript::ColumnType::Double},
       {"limit", framescript::ColumnType::Unsigned}}};
  return framescript::ScriptMain(Zoom, argc, argv, std::cout, std::cerr);
}
