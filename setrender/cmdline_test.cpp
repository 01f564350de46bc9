#include "setrender/cmdline.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Parsed {
  bool accepted;
  SetRenderCmdOption option;
  std::string err;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "setrender");
  // The option keeps pointers into the arguments, so they must outlive it.
  static std::vector<std::vector<std::string>> keep;
  keep.push_back(args);
  std::vector<char*> stable;
  for (std::string& a : keep.back()) stable.push_back(&a[0]);
  stable.push_back(nullptr);
  Parsed p;
  std::ostringstream err;
  p.accepted = parse(p.option, static_cast<int>(stable.size() - 1),
                     stable.data(), err);
  p.err = err.str();
  return p;
}

std::string Str(const char* s) { return s ? s : "(null)"; }

TEST(SetRenderParse, SortsBothForms) {
  struct Row {
    std::vector<std::string> args;
    bool accepted;
    const char* err;
    // viewFile reLimit rateR rateG rateB bmpFile, or real for the first form
    const char* fields;
  } rows[] = {
      {{}, false, "", ""},
      {{"-f", "view"}, false, "", ""},
      {{"-f", "view", "out"}, true, "", "view (null) (null) (null) (null) out"},
      {{"-f", "view", "-l", "50", "3", "2", "1", "out"}, true, "",
       "view 50 3 2 1 out"},
      {{"-f", "view", "-l", "50", "pic"}, true, "", "view 50 (null) (null) (null) pic"},
      {{"-f", "view", "2", "pic"}, true, "", "view (null) 2 (null) (null) pic"},
      {{"-f", "view", "-l"}, false, "Too many arguments.\n", ""},
      {{"-f", "view", "-l", "50"}, false, "No output file.\n", ""},
      {{"-f", "view", "1", "2", "3", "4", "out"}, false,
       "Too many arguments.\n", ""},
      {{"-f", "view", "x", "-l", "out"}, true, "", "view (null) x -l (null) out"},
      {{"-0.5", "-1", "2", "640", "480", "256", "out"}, true, "",
       "-0.5 -1 2 640 480 256 (null) (null) (null) out"},
      {{"-0.5", "-1", "2", "640", "480", "out"}, false, "Too few arguments.\n", ""},
      {{"-2", "-2", "4", "4", "4", "9", "1", "2", "3", "out"}, true, "",
       "-2 -2 4 4 4 9 1 2 3 out"},
      {{"-2", "-2", "4", "4", "4", "9", "1", "2", "3", "4", "5", "6", "out"},
       false, "Too many arguments.\n", ""},
      {{"-l", "-2", "4", "4", "4", "9", "out"}, true, "",
       "-l -2 4 4 4 9 (null) (null) (null) out"},
  };
  for (const Row& r : rows) {
    std::string joined;
    for (const std::string& a : r.args) joined += a + " ";
    SCOPED_TRACE(joined);
    Parsed p = Parse(r.args);
    EXPECT_EQ(p.accepted, r.accepted);
    EXPECT_EQ(p.err, r.err);
    if (!r.accepted) continue;
    const SetRenderCmdOption& o = p.option;
    std::string got;
    if (o.fromFile) {
      got = Str(o.viewFile) + " " + Str(o.reLimit) + " " + Str(o.rateR) + " " +
            Str(o.rateG) + " " + Str(o.rateB) + " " + Str(o.bmpFile);
      EXPECT_EQ(o.real, nullptr);
    } else {
      got = Str(o.real) + " " + Str(o.imag) + " " + Str(o.length) + " " +
            Str(o.dotsX) + " " + Str(o.dotsY) + " " + Str(o.limit) + " " +
            Str(o.rateR) + " " + Str(o.rateG) + " " + Str(o.rateB) + " " +
            Str(o.bmpFile);
      EXPECT_EQ(o.viewFile, nullptr);
    }
    EXPECT_EQ(got, r.fields);
  }
}

TEST(SetRenderParse, UsageText) {
  std::ostringstream err;
  PrintUsage(err);
  EXPECT_EQ(err.str(),
            "Mandelbrot BMP output.\n"
            "1) setrender real imag length dots limit [RGB-rate] file[.bmp]\n"
            "2) setrender -f file[.mni|.mnd] [-l re-limit] [R G B-rate] "
            "file[.bmp]\n");
}

}  // namespace
