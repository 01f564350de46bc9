#include "viewer/scriptexport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace zv {
namespace {

MandArea View(double re, double im, double len, std::uint64_t limit) {
  MandArea a;
  a.minRe = re;
  a.minIm = im;
  a.lenRe = len;
  a.lenIm = len;
  a.limit = limit;
  return a;
}

// A zoom towards a point of the seahorse valley, one view per step.
viewhistory Zoom(int views) {
  viewhistory history;
  double len = 4;
  for (int i = 0; i < views; ++i) {
    const double re = -0.743643887037151 - len / 2,
                 im = 0.131825904205330 - len / 2;
    history.push_back(View(re, im, len, 100 + 100 * i));
    len /= 5;
  }
  return history;
}

TEST(ScriptExport, ThreeViewsAtThirtyFramesPerStep) {
  testutil::ExpectSameAsGolden(driver_script(Zoom(3), 30),
                               "zoomview/three_views_30.bat");
}

TEST(ScriptExport, TenViewsAtTwoHundredFiftyFramesPerStep) {
  const std::string script = driver_script(Zoom(10), 250);
  testutil::ExpectSameAsGolden(script, "zoomview/ten_views_250.bat");
  EXPECT_NE(std::string::npos,
            script.find(" 2250 4 %1\r\ncall %1-2250.bat\r\ngoto exit\r\n"));
}

TEST(ScriptExport, NumbersAtTenSignificantDigits) {
  struct Row {
    double value;
    const char* text;
  } rows[] = {{-0.743643887037151, "-0.743643887"},
              {0.00015, "0.00015"},
              {3, "3"},
              {1.5e-12, "1.5e-12"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    viewhistory history = {View(row.value, 0, 4, 7), View(0, 0, 4, 65535)};
    const std::string expected = "zoomscript.exe " + std::string(row.text) +
                                 " 0 4 7 0 0 0 4 65535 1 1 %1\r\n";
    EXPECT_NE(std::string::npos, driver_script(history, 1).find(expected))
        << driver_script(history, 1);
  }
}

TEST(ScriptExport, WritesTheTextUnchanged) {
  testutil::ScopedTempDir dir;
  const std::string name = dir.File("zoom");  // no extension added
  const std::string text = "a\r\nb\r\n";
  std::string reason;
  ASSERT_TRUE(write_script_file(name, text, &reason)) << reason;
  EXPECT_EQ(text, testutil::ReadBytes(name));

  // An existing file is truncated, not appended to.
  ASSERT_TRUE(write_script_file(name, "c\r\n", &reason)) << reason;
  EXPECT_EQ("c\r\n", testutil::ReadBytes(name));
}

TEST(ScriptExport, WriteFailuresAreReportedWithTheSystemsReason) {
  testutil::ScopedTempDir dir;
  struct Row {
    std::string name;
    const char* reason;
  } rows[] = {
      {dir.File("missing/zoom.bat"), "No such file or directory"},
      {dir.path(), "Is a directory"},
      // Devices and FIFOs are refused before they are opened: a FIFO
      // without a reader would block the window.
      {"/dev/full", "Not a regular file"},
      {dir.File("fifo.bat"), "Not a regular file"},
  };
  ASSERT_EQ(0, mkfifo(dir.File("fifo.bat").c_str(), 0600));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string reason;
    EXPECT_FALSE(
        write_script_file(row.name, std::string(100000, 'x'), &reason));
    EXPECT_EQ(row.reason, reason);
  }
}

// A disk that fills up during the write, here a file-size limit: the old
// driver keeps its bytes, a new name leaves no file, and no temporary file
// is left beside them.
TEST(ScriptExport, FullDiskLosesNoFile) {
  testutil::ScopedTempDir dir;
  const std::string old = dir.File("old.bat");
  testutil::WriteBytes(old, "old driver");
  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  struct rlimit small = saved;
  small.rlim_cur = 50000;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  std::string reason_old, reason_new;
  const bool wrote_old =
      write_script_file(old, std::string(100000, 'x'), &reason_old);
  const bool wrote_new =
      write_script_file(dir.File("new.bat"), std::string(100000, 'x'),
                        &reason_new);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &saved));
  EXPECT_FALSE(wrote_old);
  EXPECT_FALSE(wrote_new);
  EXPECT_EQ("File too large", reason_old);
  EXPECT_EQ("File too large", reason_new);
  EXPECT_EQ("old driver", testutil::ReadBytes(old));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(std::vector<std::string>{"old.bat"}, names);
}

TEST(ScriptExport, DriverNamesTheCommandProcessorWouldInterpret) {
  struct Row {
    const char* path;
    bool safe;
  } rows[] = {
      {"/home/me/zoom.bat", true},
      {"zoom", true},
      {"/my dir/zoom.bat", true},  // only the file's own name is typed
      {"/d/zoom 1.bat", false},
      {"/d/a&calc.bat", false},
      {"/d/100%.bat", false},
      {"/d/(x).bat", false},
      {"/d/a\nb.bat", false},
      {"/d/a!b.bat", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(row.safe, safe_driver_name(row.path));
  }
}

}  // namespace
}  // namespace zv
