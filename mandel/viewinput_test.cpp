#include "mandel/viewinput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A Julia set is centred on the origin unless somebody placed the view.
TEST(MandelViewInput, JuliaMovesOnlyAPositionNobodyChose) {
  struct Row {
    const char* name;
    bool startJulia;      // the view read before the options
    const char* startRe;  // empty: the default view's
    ViewArgs args;
    const char* re;
    const char* im;
  } rows[] = {
      {"default view", false, "", {"", "", "", "", "", "", "-0.8,0.156", ""},
       "0", "0"},
      {"centre given", false, "", {"", "-1,0.5", "", "", "", "", "1,1", ""},
       "-1", "0.5"},
      {"corner given", false, "", {"", "", "-2,-1", "", "", "", "1,1", ""},
       "-2", "-1"},
      {"view file placed it", false, "-0.5", {"", "", "", "", "", "", "1,1", ""},
       "-0.5", "0"},
      {"already Julia", true, "", {"", "", "", "", "", "", "1,1", ""},
       "-0.75", "0"},
      {"no Julia", false, "", {"", "", "", "", "", "", "", ""}, "-0.75",
       "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ViewSpec view;
    view.julia = row.startJulia;
    if (row.startJulia) view.juliaRe = view.juliaIm = "0";
    if (*row.startRe) view.re = row.startRe;
    view.im = "0";
    std::string error;
    ASSERT_TRUE(ApplyViewArgs(row.args, view, error)) << error;
    EXPECT_EQ(view.re, row.re);
    EXPECT_EQ(view.im, row.im);
  }
}

}  // namespace
