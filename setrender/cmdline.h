// setrender's command line, sorted into named arguments without converting
// them.
#pragma once

#include <iosfwd>

struct SetRenderCmdOption {
  const char* real = nullptr;
  const char* imag = nullptr;
  const char* length = nullptr;
  const char* dotsX = nullptr;
  const char* dotsY = nullptr;
  const char* limit = nullptr;
  const char* rateR = nullptr;
  const char* rateG = nullptr;
  const char* rateB = nullptr;
  const char* reLimit = nullptr;
  const char* viewFile = nullptr;
  const char* bmpFile = nullptr;
  bool fromFile = false;
};

// Sorts the arguments of either form into option. False when the command
// line is refused; "Too few arguments." or "Too many arguments." is written
// to err first where it applies, and some refusals say nothing (the caller
// prints the usage text).
bool parse(SetRenderCmdOption& option, int argc, char** argv,
           std::ostream& err);

// The three usage lines.
void PrintUsage(std::ostream& err);
