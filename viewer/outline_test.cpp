#include "viewer/outline.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

MandArea computed800() {
  MandArea c;
  c.dotsX = c.dotsY = 800;
  return c;
}

MandArea pending(double re, double im, double len) {
  MandArea p = computed800();
  p.minRe = re;
  p.minIm = im;
  p.lenRe = p.lenIm = len;
  return p;
}

const outlinegeometry Same800 = {800, 800, 800, 800, 800, 800};

void ExpectEdges(const std::vector<edge>& expected,
                 const std::vector<edge>& actual) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].x, actual[i].x);
    EXPECT_EQ(expected[i].y, actual[i].y);
    EXPECT_EQ(expected[i].w, actual[i].w);
    EXPECT_EQ(expected[i].h, actual[i].h);
  }
}

TEST(Outline, EdgesOfASelection) {
  struct Row {
    const char* what;
    MandArea p;
    std::vector<edge> edges;  // left, right, bottom, top
  } rows[] = {
      // Pressed at (400, 399), dragged to x 600: the unit square at (0, 0).
      {"unit square",
       pending(0, 0, 1),
       {{400, 199, 1, 200},
        {600, 199, 1, 200},
        {400, 399, 200, 1},
        {400, 199, 200, 1}}},
      {"same view", computed800(), {}},
      {"width 0", pending(0, 0, 0), {}},
      // A pending view that differs only in the Julia switch runs round
      // the picture's border.
      {"julia only",
       [] {
         MandArea p = computed800();
         p.julia = true;
         return p;
       }(),
       {{0, 0, 1, 799}, {799, 0, 1, 799}, {0, 799, 799, 1}, {0, 0, 799, 1}}},
      // A one-pixel view still gets a visible box.
      {"tiny",
       pending(0, 0, 1e-9),
       {{400, 398, 1, 1},
        {401, 398, 1, 1},
        {400, 399, 1, 1},
        {400, 398, 1, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ExpectEdges(row.edges, outline_edges(row.p, computed800(), Same800));
  }
}

// The widget has grown to 1000 by 1000 since the 800 by 800 run: edges are
// placed by the widget's size but must stay inside the picture.
TEST(Outline, EdgesAreCutToAPictureSmallerThanTheWidget) {
  const outlinegeometry grown = {1000, 1000, 1000, 1000, 800, 800};
  // Corner (1, 1), width 1: bottom edge at row 249 from column 750, 250
  // wide, cut to the picture; the left edge runs from there to the top,
  // which the box passes by one row; the right edge lies outside.
  ExpectEdges({{750, 0, 1, 249}, {750, 249, 50, 1}},
              outline_edges(pending(1, 1, 1), computed800(), grown));

  const MandArea views[] = {pending(-3, -3, 4),   pending(1.9, 1.9, 4),
                            pending(-2, -2, 4),   pending(0, -2.5, 0.001),
                            pending(1.5, 0, 0.5), pending(-2, 1.99, 3)};
  for (const MandArea& p : views) {
    SCOPED_TRACE(::testing::Message()
                 << p.minRe << ", " << p.minIm << " w " << p.lenRe);
    for (const edge& e : outline_edges(p, computed800(), grown)) {
      EXPECT_GT(e.w, 0u);
      EXPECT_GT(e.h, 0u);
      EXPECT_LE(e.x + e.w, 800u);
      EXPECT_LE(e.y + e.h, 800u);
    }
  }
}

// A selection reaching past the top or the left of the picture is clipped
// to it: nothing of it lands on the far side.
TEST(Outline, SelectionPastTheTopOrLeftIsClipped) {
  struct Row {
    const char* what;
    MandArea p;
    std::vector<edge> edges;
  } rows[] = {
      // Top at im 2.5, above the picture's 2: the sides run from row 0.
      {"past the top",
       pending(0, 0.5, 2),
       {{400, 0, 1, 299}, {799, 0, 1, 299}, {400, 299, 400, 1}}},
      // Left at re -2.5: the bottom and top start at column 0.
      {"past the left",
       pending(-2.5, 0, 1),
       {{100, 199, 1, 200}, {0, 399, 100, 1}, {0, 199, 100, 1}}},
      {"past both",
       pending(-2.5, 0.5, 2),
       {{300, 0, 1, 299}, {0, 299, 300, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<edge> edges =
        outline_edges(row.p, computed800(), Same800);
    ExpectEdges(row.edges, edges);
    for (const edge& e : edges) EXPECT_NE(799u, e.y) << "on the bottom row";
  }
}

// A computed view of width 0, or one zoomed beyond the range of integers,
// gives no number to place edges by; that must not be undefined.
TEST(Outline, DegenerateComputedViewsStayInside) {
  MandArea flat = computed800();
  flat.lenRe = flat.lenIm = 0;
  MandArea deep = computed800();
  deep.lenRe = deep.lenIm = 1e-300;
  for (const MandArea& c : {flat, deep}) {
    SCOPED_TRACE(c.lenRe);
    for (const edge& e : outline_edges(pending(0, 0, 1), c, Same800)) {
      EXPECT_LE(e.x + e.w, 800u);
      EXPECT_LE(e.y + e.h, 800u);
    }
  }
}

}  // namespace
}  // namespace zv
