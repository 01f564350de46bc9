#include "mandel/mandel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

Result RunMandel(std::vector<std::string> args) {
  args.insert(args.begin(), "mandel");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::ostringstream out, err;
  Result r;
  r.status =
      MandelMain(static_cast<int>(args.size()), argv.data(), out, err, false);
  r.out = out.str();
  r.err = err.str();
  return r;
}

bool Empty(const std::string& dir) {
  return std::filesystem::is_empty(std::filesystem::path(dir));
}

// "mandel X.Y.Z" and a newline, each of X, Y, Z decimal digits.
bool IsVersionLine(const std::string& s) {
  const std::string head = "mandel ";
  if (s.compare(0, head.size(), head) != 0 || s.empty() || s.back() != '\n')
    return false;
  int parts = 1;
  bool digit = false;
  for (std::size_t i = head.size(); i + 1 < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digit = true;
    } else if (s[i] == '.' && digit) {
      ++parts;
      digit = false;
    } else {
      return false;
    }
  }
  return parts == 3 && digit;
}

TEST(MandelMain, VersionAndHelpOnEveryLevel) {
  Result v = RunMandel({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_TRUE(IsVersionLine(v.out)) << v.out;
  for (const char* bad : {"mandel 1.2\n", "mandel 1..2\n", "mandel 1.2.3",
                          "mandel 1.2.x\n", "mandel .1.2\n"})
    EXPECT_FALSE(IsVersionLine(bad)) << bad;
  EXPECT_EQ(v.err, "");

  struct Row {
    std::vector<std::string> args;
    const char* usage;
    std::vector<const char*> mentions;
  } rows[] = {
      {{"--help"},
       "Usage: mandel [OPTIONS] SUBCOMMAND",
       {"render", "colour", "info", "--version"}},
      {{"render", "--help"},
       "Usage: mandel render [OPTIONS]",
       {"View:",     "Colour:",    "Output:",    "Performance:", "--center",
        "--corner",  "--width",    "--size",     "--limit",      "--julia",
        "--view",    "--threads",  "--bailout",  "--bands",      "--smooth",
        "--palette", "--gradient", "--period",   "--inside",     "--samples",
        "--depth",   "--counts",   "--save-view"}},
      {{"colour", "--help"},
       "Usage: mandel colour [OPTIONS] FILE",
       {"--palette", "--period", "--output"}},
      {{"info", "-h"}, "Usage: mandel info [OPTIONS] FILE", {"FILE"}},
      // Help wins over what else is wrong with the line.
      {{"render", "--size", "0x0", "--help"}, "Usage: mandel render", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back());
    Result r = RunMandel(row.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find(row.usage), std::string::npos) << r.out;
    for (const char* word : row.mentions)
      EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

// Refused command lines: status 2, one message and a hint, nothing written.
TEST(MandelMain, UsageErrorsNameTheProblemAndWriteNothing) {
  testutil::ScopedTempDir dir;
  const std::string png = dir.File("out.png");
  const std::string hint =
      "\nTry 'mandel render --help' for more information.\n";
  struct Row {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{},
       "mandel: a subcommand is required; the commands are render, "
       "colour, join, animate, video, plan and info\nTry 'mandel --help' "
       "for more information.\n"},
      {{"paint", "-o", png},
       "mandel: unknown command 'paint'; the commands "
       "are render, colour, join, animate, video, plan and info\nTry 'mandel "
       "--help' for more information.\n"},
      {{"--bogus"},
       "mandel: unknown option '--bogus'; the commands are render, colour, "
       "join, animate, video, plan and info\n"
       "Try 'mandel --help' for more information.\n"},
      {{"render", "--zoom", "2", "-o", png},
       "mandel: the following arguments were not expected: 2 --zoom" + hint},
      {{"render"},
       "mandel: nothing to write: give -o FILE, --counts FILE.exr or "
       "--save-view NAME" +
           hint},
      {{"render", "-o", dir.File("out.jpg")},
       "mandel: -o " + dir.File("out.jpg") +
           ": the name must end in .png, .bmp or .exr, or be - for PNG on "
           "the standard output" +
           hint},
      {{"render", "--size", "0x480", "-o", png},
       "mandel: --size: each side must be from 1 to 2147483647 pixels" + hint},
      {{"render", "--size", "640", "-o", png},
       "mandel: --size: expected WxH, such as 1280x720" + hint},
      {{"render", "--limit", "4294967296", "-o", png},
       "mandel: --limit: must be a whole number from 0 to 4294967295" + hint},
      {{"render", "--limit", "-1", "-o", png},
       "mandel: --limit: must be a whole number from 0 to 4294967295" + hint},
      {{"render", "--samples", "17", "-o", png},
       "mandel: --samples: must be a whole number from 1 to 16" + hint},
      {{"render", "--samples", "0", "-o", png},
       "mandel: --samples: must be a whole number from 1 to 16" + hint},
      {{"render", "--threads", "0", "-o", png},
       "mandel: --threads: must be a whole number from 1 to 1024" + hint},
      {{"render", "--center", "0.1", "-o", png},
       "mandel: --center: expected RE,IM, not \"0.1\"" + hint},
      {{"render", "--width", "1/3", "-o", png},
       "mandel: --width: not a decimal number: 1/3" + hint},
      {{"render", "--center", "0,0", "--corner", "0,0", "-o", png},
       "mandel: --center excludes --corner" + hint},
      {{"render", "--bands", "--smooth", "-o", png},
       "mandel: --bands excludes --smooth" + hint},
      {{"render", "--depth", "12", "-o", png},
       "mandel: --depth: must be 8 or 16" + hint},
      {{"render", "--depth", "16", "-o", dir.File("out.bmp")},
       "mandel: --depth 16 needs a PNG picture (-o FILE.png)" + hint},
      {{"render", "--period", "0", "-o", png},
       "mandel: --period: must be a number above 0" + hint},
      {{"render", "--inside", "red", "-o", png},
       "mandel: --inside: expected a colour as #rrggbb" + hint},
      {{"render", "--gradient", "cosine:1,2,3", "-o", png},
       "mandel: --gradient: expected colour stops such as #000764,#edffff" +
           hint},
      {{"render", "--julia", "-0.8,0.156", "--bailout", "2", "--save-view",
        dir.File("v")},
       "mandel: --save-view: a Julia view cannot be saved as .mni/.mnd, "
       "whose info file has no place for the Julia constant" +
           hint},
      {{"render", "--save-view", dir.File("v")},
       "mandel: --save-view: the .mni/.mnd pair holds counts for bailout 2 "
       "only; add --bailout 2" +
           hint},
      {{"render", "--bailout", "2", "--samples", "2", "--save-view",
        dir.File("v")},
       "mandel: --save-view: the .mni/.mnd pair holds one count per pixel; "
       "use --samples 1" +
           hint},
      {{"render", "--counts", dir.File("c.png"), "-o", png},
       "mandel: --counts " + dir.File("c.png") + ": the name must end in .exr" +
           hint},
      {{"render", "--size", "2147483647x1", "-o", dir.File("out.bmp")},
       "mandel: --size 2147483647x1: too large for a BMP file" + hint},
      {{"colour", dir.File("c.exr")},
       "mandel: --output is required\nTry 'mandel colour --help' for more "
       "information.\n"},
      {{"colour", dir.File("c.exr"), "-o", dir.File("x.exr")},
       "mandel: -o " + dir.File("x.exr") +
           ": mandel colour writes pictures (.png or .bmp)\nTry 'mandel "
           "colour --help' for more information.\n"},
      {{"info"},
       "mandel: FILE is required\nTry 'mandel info --help' for "
       "more information.\n"},
  };
  for (const Row& row : rows) {
    std::string line;
    for (const std::string& a : row.args) line += " " + a;
    SCOPED_TRACE(line);
    Result r = RunMandel(row.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, row.err);
    EXPECT_TRUE(Empty(dir.path()));
  }
}

}  // namespace
