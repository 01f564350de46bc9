#include "setrender/progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Progress, TextShowsLinesPercentAndTimes) {
  struct Row {
    std::uint64_t done, total;
    double elapsed;
    const char* text;
  } rows[] = {
      {0, 400, 0, "line 0/400    0%  elapsed 0:00  left ?"},
      {100, 400, 5, "line 100/400   25%  elapsed 0:05  left 0:15"},
      {400, 400, 61, "line 400/400  100%  elapsed 1:01  left 0:00"},
      {1, 3, 3600, "line 1/3   33%  elapsed 1:00:00  left 2:00:00"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(Progress::Text(r.done, r.total, r.elapsed), r.text);
  }
}

TEST(Progress, WritesNothingWhenDisabledAndClearsItsLineWhenEnabled) {
  std::ostringstream quiet;
  {
    Progress p(quiet, false, 10);
    for (int i = 1; i <= 10; ++i) p.Update(i);
  }
  EXPECT_EQ(quiet.str(), "");

  std::ostringstream shown;
  {
    Progress p(shown, true, 10);
    p.Update(1);
  }
  std::string s = shown.str();
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s.front(), '\r');
  EXPECT_EQ(s.back(), '\r');
  EXPECT_EQ(s.find('\n'), std::string::npos);
}

}  // namespace
