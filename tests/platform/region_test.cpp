// Banded regions: exact band layouts of small cases (drawn by hand), point and rectangle tests,
// a brute-force comparison against pixel sets, and refused memory at every request.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/draw/region.h"
#include "tests/platform/draw_test_support.h"

namespace {

struct Rgn {
  RgnHandle r = NewRgn();
  ~Rgn() { DisposeRgn(r); }
  operator RgnHandle() const { return r; }
};

using Words16 = std::vector<int16_t>;
Words16 Words(const Region* r) { return Words16(r->data, r->data + r->count); }

// The words of op(rect a, rect b), checked for the region invariants.
Words16 Combine(bool (*op)(const Region*, const Region*, Region*), QDRect a, QDRect b) {
  Rgn ra, rb, out;
  RectRgn(ra, a);
  RectRgn(rb, b);
  EXPECT_TRUE(op(ra, rb, out));
  EXPECT_TRUE(CheckRegion(out));
  return Words(out);
}

}  // namespace

TEST(Regions, UnionOfDisjointRectsAnswersPointTests) {
  Rgn a, b, u;
  RectRgn(a, MakeRect(0, 0, 10, 10));
  RectRgn(b, MakeRect(20, 0, 30, 10));
  ASSERT_TRUE(UnionRgn(a, b, u));
  EXPECT_TRUE(CheckRegion(u));
  EXPECT_EQ(Words(u), (Words16{0, 10, 2, 0, 10, 20, 30}));
  // Edges are exclusive on the right and bottom.
  struct { int h, v; bool in; } points[] = {{9, 9, true}, {10, 5, false}, {15, 5, false}, {20, 0, true},
                                            {30, 5, false}, {5, 10, false}, {-1, 5, false}, {25, -1, false}};
  for (auto p : points) EXPECT_EQ(PtInRgn(MakePoint(p.h, p.v), u), p.in) << p.h << "," << p.v;
  EXPECT_TRUE(EqualRect(RgnBBox(u), MakeRect(0, 0, 30, 10)));
}

TEST(Regions, OverlapsMakeBandsAndTouchingBandsMerge) {
  const QDRect a = MakeRect(0, 0, 10, 10), b = MakeRect(5, 5, 15, 15);
  EXPECT_EQ(Combine(UnionRgn, a, b), (Words16{0, 5, 1, 0, 10, 5, 10, 1, 0, 15, 10, 15, 1, 5, 15}));
  EXPECT_EQ(Combine(SectRgn, a, b), (Words16{5, 10, 1, 5, 10}));
  EXPECT_EQ(Combine(DiffRgn, a, b), (Words16{0, 5, 1, 0, 10, 5, 10, 1, 0, 5}));
  // Two halves of one rectangle become one band; touching spans become one span.
  EXPECT_EQ(Combine(UnionRgn, MakeRect(0, 0, 10, 5), MakeRect(0, 5, 10, 10)), (Words16{0, 10, 1, 0, 10}));
  EXPECT_EQ(Combine(UnionRgn, MakeRect(0, 0, 5, 10), MakeRect(5, 0, 10, 10)), (Words16{0, 10, 1, 0, 10}));
}

TEST(Regions, EmptyOperandsAndSelfOperations) {
  Rgn a, e, out;
  RectRgn(a, MakeRect(2, 3, 6, 7));
  ASSERT_TRUE(SectRgn(a, e, out));
  EXPECT_TRUE(EmptyRgn(out));
  EXPECT_TRUE(CheckRegion(out));
  ASSERT_TRUE(UnionRgn(a, a, a));
  EXPECT_EQ(Words(a), (Words16{3, 7, 1, 2, 6}));
  ASSERT_TRUE(SectRgn(a, a, out));
  EXPECT_TRUE(EqualRgn(a, out));
  ASSERT_TRUE(RectRgn(out, MakeRect(5, 5, 5, 9)));  // empty rectangle
  EXPECT_TRUE(EmptyRgn(out));
  EXPECT_FALSE(PtInRgn(MakePoint(5, 5), out));
}

TEST(Regions, RectangleTestsAndOffset) {
  Rgn a, b, u;
  RectRgn(a, MakeRect(0, 0, 10, 10));
  RectRgn(b, MakeRect(0, 10, 5, 20));
  UnionRgn(a, b, u);
  EXPECT_TRUE(RectWhollyInRgn(MakeRect(1, 1, 4, 15), u));
  EXPECT_FALSE(RectWhollyInRgn(MakeRect(1, 1, 6, 15), u));
  EXPECT_FALSE(RectWhollyInRgn(MakeRect(1, 1, 4, 21), u));
  EXPECT_FALSE(RectWhollyInRgn(MakeRect(1, 1, 1, 5), u));
  EXPECT_TRUE(RectInRgn(MakeRect(9, 9, 20, 20), u));
  EXPECT_FALSE(RectInRgn(MakeRect(5, 10, 20, 20), u));
  OffsetRgn(u, 100, -3);
  EXPECT_TRUE(CheckRegion(u));
  EXPECT_TRUE(PtInRgn(MakePoint(100, -3), u));
  EXPECT_FALSE(PtInRgn(MakePoint(0, 0), u));
  EXPECT_TRUE(EqualRect(RgnBBox(u), MakeRect(100, -3, 110, 17)));
  // Pushed past the int16 limit: what collapses disappears, the rest stays valid.
  OffsetRgn(u, 32760, 0);
  EXPECT_TRUE(CheckRegion(u));
  EXPECT_TRUE(EmptyRgn(u));
  // A span pushed off the edge leaves two touching bands with the same spans: they become one.
  Rgn edge, tail;
  RectRgn(edge, MakeRect(0, 0, 10, 10));
  RectRgn(tail, MakeRect(32760, 0, 32767, 5));
  UnionRgn(edge, tail, edge);
  ASSERT_EQ(Words(edge), (Words16{0, 5, 2, 0, 10, 32760, 32767, 5, 10, 1, 0, 10}));
  OffsetRgn(edge, 10, 0);
  EXPECT_TRUE(CheckRegion(edge));
  EXPECT_EQ(Words(edge), (Words16{0, 10, 1, 10, 20}));
}

// Random rectangles combined by each operation agree pixel by pixel with plain set arithmetic.
TEST(Regions, OperationsAgreeWithPixelSets) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 15);
  for (int trial = 0; trial < 200; ++trial) {
    Rgn a, b, tmp, out;
    bool inA[16][16] = {}, inB[16][16] = {};
    for (int k = 0; k < 3; ++k) {
      for (auto [rgn, mask] : {std::pair{a.r, &inA}, std::pair{b.r, &inB}}) {
        int l = coord(rng), t = coord(rng), r = coord(rng), bo = coord(rng);
        RectRgn(tmp, MakeRect(l, t, r, bo));
        UnionRgn(rgn, tmp, rgn);
        for (int y = t; y < bo; ++y)
          for (int x = l; x < r; ++x) (*mask)[y][x] = true;
      }
    }
    for (int op = 0; op < 3; ++op) {
      ASSERT_TRUE(op == 0 ? UnionRgn(a, b, out) : op == 1 ? SectRgn(a, b, out) : DiffRgn(a, b, out));
      ASSERT_TRUE(CheckRegion(out));
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          bool want = op == 0 ? (inA[y][x] || inB[y][x]) : op == 1 ? (inA[y][x] && inB[y][x]) : (inA[y][x] && !inB[y][x]);
          ASSERT_EQ(PtInRgn(MakePoint(x, y), out), want) << trial << " op " << op << " at " << x << "," << y;
        }
    }
  }
}

TEST(Regions, RefusedMemoryKeepsDestinationUnchanged) {
  using draw_test::FailingAllocator;
  draw_test::Refusal refusal(0);  // the regions take their memory from it; nothing fails yet
  Rgn a, b, dst;
  RectRgn(a, MakeRect(0, 0, 10, 10));
  RectRgn(b, MakeRect(5, 5, 15, 15));
  RectRgn(dst, MakeRect(1, 2, 3, 4));
  Words16 before = Words(dst);
  for (int n = 1;; ++n) {
    FailingAllocator::Arm(n);
    if (UnionRgn(a, b, dst)) break;
    EXPECT_EQ(Words(dst), before) << "failing request " << n;
    EXPECT_TRUE(CheckRegion(dst));
    ASSERT_LT(n, 10);
  }
  EXPECT_GT(FailingAllocator::calls, 0);
  EXPECT_TRUE(PtInRgn(MakePoint(12, 12), dst));
  FailingAllocator::Arm(1);
  EXPECT_EQ(NewRgn(), nullptr);
  FailingAllocator::Arm(0);
}
