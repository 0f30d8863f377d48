// Banded regions: exact band layouts of small cases, set operations and point and rectangle
// tests against pixel sets, pinned moves, refused memory at every request, and row walks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/draw/draw_internal.h"
#include "platform/draw/shapes.h"
#include "tests/platform/draw_test_support.h"

namespace {

struct Rgn {
  RgnHandle r = NewRgn();
  explicit Rgn(QDRect rect = QDRect{0, 0, 0, 0}) { RectRgn(r, rect); }
  ~Rgn() { DisposeRgn(r); }
  operator RgnHandle() const { return r; }
};

using Words16 = std::vector<int16_t>;
Words16 Words(const Region* r) { return Words16(r->data, r->data + r->count); }

}  // namespace

// The words of small results, drawn by hand: per band top, bottom, span count, then the spans.
TEST(Regions, BandLayoutsOfRectangleOperations) {
  using Op = bool (*)(const Region*, const Region*, Region*);
  const QDRect a = MakeRect(0, 0, 10, 10);
  const struct { Op op; QDRect b; Words16 want; } cases[] = {
      {UnionRgn, MakeRect(5, 5, 15, 15), {0, 5, 1, 0, 10, 5, 10, 1, 0, 15, 10, 15, 1, 5, 15}},
      {DiffRgn, MakeRect(5, 5, 15, 15), {0, 5, 1, 0, 10, 5, 10, 1, 0, 5}},
      {UnionRgn, MakeRect(20, 0, 30, 10), {0, 10, 2, 0, 10, 20, 30}},
      {SectRgn, MakeRect(5, 5, 5, 9), {}}};  // an empty operand
  for (const auto& c : cases) {
    Rgn ra(a), rb(c.b), out(MakeRect(1, 1, 2, 2));
    ASSERT_TRUE(c.op(ra, rb, out));
    EXPECT_EQ(Words(out), c.want);
  }
}

// Moves pin at the int16 limits: what collapses disappears, and two touching bands left with
// the same spans become one.
TEST(Regions, OffsetPinsAndMerges) {
  Rgn u(MakeRect(0, 0, 10, 10)), tail(MakeRect(32760, 0, 32767, 5));
  OffsetRgn(u, 100, -3);
  EXPECT_TRUE(EqualRect(RgnBBox(u), MakeRect(100, -3, 110, 7)));
  OffsetRgn(u, 32760, 0);
  EXPECT_TRUE(CheckRegion(u) && EmptyRgn(u));
  Rgn edge(MakeRect(0, 0, 10, 10));
  UnionRgn(edge, tail, edge);
  OffsetRgn(edge, 10, 0);
  EXPECT_TRUE(CheckRegion(edge));
  EXPECT_EQ(Words(edge), (Words16{0, 10, 1, 10, 20}));
}

// Random rectangles combined by each operation agree pixel by pixel with plain set arithmetic,
// and so do the point and rectangle tests (right and bottom edges exclusive).
TEST(Regions, OperationsAgreeWithPixelSets) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 15);
  auto rect = [&] { return MakeRect(coord(rng), coord(rng), coord(rng), coord(rng)); };
  for (int trial = 0; trial < 200; ++trial) {
    Rgn a, b, out;
    bool inA[16][16] = {}, inB[16][16] = {}, inOut[16][16];
    for (int k = 0; k < 6; ++k) {
      QDRect r = rect();
      Rgn piece(r);
      UnionRgn(k % 2 ? b : a, piece, k % 2 ? b : a);
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) (k % 2 ? inB : inA)[y][x] = true;
    }
    for (int op = 0; op < 3; ++op) {
      ASSERT_TRUE(op == 0 ? UnionRgn(a, b, out) : op == 1 ? SectRgn(a, b, out) : DiffRgn(a, b, out));
      ASSERT_TRUE(CheckRegion(out));
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          bool a = inA[y][x], b = inB[y][x];
          inOut[y][x] = op == 0 ? a || b : op == 1 ? a && b : a && !b;
          ASSERT_EQ(PtInRgn(MakePoint(x, y), out), inOut[y][x]) << trial << " op " << op << " at " << x << "," << y;
        }
      QDRect r = rect();
      int inside = 0;
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) inside += inOut[y][x];
      EXPECT_EQ(RectInRgn(r, out), inside > 0) << trial;
      EXPECT_EQ(RectWhollyInRgn(r, out), !EmptyRect(r) && inside == RectWidth(r) * RectHeight(r)) << trial;
    }
  }
}

TEST(Regions, RefusedMemoryKeepsDestinationUnchanged) {
  draw_test::Refusal refusal(0);  // the regions take their memory from it; nothing fails yet
  Rgn a(MakeRect(0, 0, 10, 10)), b(MakeRect(5, 5, 15, 15)), dst(MakeRect(1, 2, 3, 4));
  Words16 before = Words(dst);
  for (int n = 1; !PtInRgn(MakePoint(12, 12), dst); ++n) {
    ASSERT_LT(n, 10);
    draw_test::FailingAllocator::Arm(n);
    bool ok = UnionRgn(a, b, dst);
    EXPECT_EQ(ok, Words(dst) != before) << "failing request " << n;
  }
  draw_test::FailingAllocator::Arm(1);
  EXPECT_EQ(NewRgn(), nullptr);
}

// A fill walks its rows with one cursor: rows + bands band headers in all, not rows x bands,
// with the same spans as a lookup from the first band, a walk upwards included.
TEST(Regions, RowWalksThroughManyBandsCostRowsPlusBands) {
  constexpr int kBands = 2000, kRows = 2 * kBands;
  Rgn comb;  // band k: rows 2k, 2k + 1; spans alternate so that no two bands merge
  for (int k = 0; k < kBands; ++k)
    ASSERT_TRUE(UnionRgn(comb, Rgn(MakeRect(k % 2 ? 4 : 0, 2 * k, 12, 2 * k + 2)), comb));
  RegionCursor down, up;
  for (int y = -1; y <= kRows; ++y) {
    int32_t n = 0, fresh = 0;
    EXPECT_EQ(RegionSpansAt(comb, y, &n, &down), RegionSpansAt(comb, y, &fresh));
    EXPECT_EQ(RegionSpansAt(comb, kRows - 1 - y, &n, &up), RegionSpansAt(comb, kRows - 1 - y, &fresh));
  }
  draw_test::Canvas canvas(16, kRows);
  SetClip(comb);
  RegionCursor fill;  // the cursor of a fill, as PaintRect keeps one
  for (int y = 0; y < kRows; ++y) draw_detail::PatternSpan(canvas.gw(), fill, y, 0, 16, BlackPattern(), kPatCopy);
  canvas.ForEach([&](int h, int v) { ASSERT_EQ(canvas.At(h, v) == 0, PtInRgn(MakePoint(h, v), comb)) << v; });
  EXPECT_LE(down.bandsRead, kRows + kBands);
  EXPECT_LE(fill.bandsRead, kRows + kBands);
}
