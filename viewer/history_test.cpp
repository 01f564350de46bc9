#include "viewer/history.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(History, SameViewIgnoresOnlyTheLimit) {
  struct Row {
    const char* field;
    void (*change)(MandArea&);
    bool same;
  } rows[] = {
      {"limit", [](MandArea& a) { a.limit = 5000; }, true},
      {"minRe", [](MandArea& a) { a.minRe = -1.9999999999; }, false},
      {"minIm", [](MandArea& a) { a.minIm = 0; }, false},
      {"lenRe", [](MandArea& a) { a.lenRe = 2; }, false},
      {"lenIm", [](MandArea& a) { a.lenIm = 2; }, false},
      {"julia", [](MandArea& a) { a.julia = true; }, false},
      {"juliaRe", [](MandArea& a) { a.juliaRe = 0.3; }, false},
      {"juliaIm", [](MandArea& a) { a.juliaIm = 0.3; }, false},
      {"dotsX", [](MandArea& a) { a.dotsX = 800; }, false},
      {"dotsY", [](MandArea& a) { a.dotsY = 800; }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.field);
    MandArea changed;
    row.change(changed);
    EXPECT_EQ(row.same, same_view(MandArea(), changed));
    EXPECT_EQ(row.same, same_view(changed, MandArea()));
  }
}

// The sequence users meet: the first run records the 400 by 400 defaults,
// the view then takes the widget's size, so an unchanged second run adds a
// record and only a third one replaces it.
TEST(History, RunsAppendOrReplaceTheLastRecord) {
  viewhistory history;
  MandArea view;
  record_view(history, view);
  ASSERT_EQ(1u, history.size());
  EXPECT_EQ(400u, history.back().dotsX);

  view.dotsX = view.dotsY = 800;
  record_view(history, view);
  ASSERT_EQ(2u, history.size());

  record_view(history, view);
  ASSERT_EQ(2u, history.size());

  view.limit = 1000;
  record_view(history, view);
  ASSERT_EQ(2u, history.size());
  EXPECT_EQ(1000u, history.back().limit);
  EXPECT_EQ(100u, history.front().limit);

  view.minRe = -1;
  record_view(history, view);
  ASSERT_EQ(3u, history.size());
  EXPECT_EQ(-1, history.back().minRe);
}

}  // namespace
}  // namespace zv
