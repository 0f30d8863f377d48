// Rectangle arithmetic: exclusive right and bottom edges, empty results, and pinning at the
// int16 limits instead of wrapping.
#include <gtest/gtest.h>

#include "platform/draw/qd_geometry.h"

TEST(DrawGeometry, RectangleOperations) {
  QDRect out;
  EXPECT_TRUE(SectRect(MakeRect(0, 0, 10, 10), MakeRect(5, -5, 20, 5), &out));
  EXPECT_TRUE(EqualRect(out, MakeRect(5, 0, 10, 5)));
  EXPECT_FALSE(SectRect(MakeRect(0, 0, 10, 10), MakeRect(10, 0, 20, 10), &out));
  EXPECT_TRUE(EqualRect(out, MakeRect(0, 0, 0, 0)));
  UnionRect(MakeRect(0, 0, 2, 2), MakeRect(5, 6, 7, 8), &out);
  EXPECT_TRUE(EqualRect(out, MakeRect(0, 0, 7, 8)));
  UnionRect(MakeRect(3, 3, 3, 9), MakeRect(5, 6, 7, 8), &out);  // the empty one is ignored
  EXPECT_TRUE(EqualRect(out, MakeRect(5, 6, 7, 8)));
  QDRect r = MakeRect(0, 0, 10, 4);
  InsetRect(&r, 2, 1);
  EXPECT_TRUE(EqualRect(r, MakeRect(2, 1, 8, 3)));
  InsetRect(&r, 4, 0);  // collapses to empty
  EXPECT_TRUE(EmptyRect(r));
  r = MakeRect(32760, -32760, 32767, -32750);
  OffsetRect(&r, 100, -100);
  EXPECT_EQ(r.left, 32767);
  EXPECT_EQ(r.top, -32768);
  QDPoint p = PinRect(MakeRect(0, 0, 10, 5), MakePoint(-4, 9));
  EXPECT_EQ(p.h, 0);
  EXPECT_EQ(p.v, 4);
  p = PinRect(MakeRect(0, 0, 10, 5), MakePoint(20, 2));
  EXPECT_EQ(p.h, 9);
  EXPECT_TRUE(PtInRect(MakePoint(0, 0), MakeRect(0, 0, 1, 1)));
  EXPECT_FALSE(PtInRect(MakePoint(1, 0), MakeRect(0, 0, 1, 1)));
  EXPECT_EQ(MakePoint(70000, -70000).h, 32767);
  EXPECT_EQ(MakePoint(70000, -70000).v, -32768);
}
