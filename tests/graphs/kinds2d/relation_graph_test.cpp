// The relation region on a 200 x 200 map at 64 px a unit, world (0, 0) at pixel (100, 99): pixel
// (h, v) covers x in (h - 100) / 64 +- 1/128 and y in (99 - v) / 64 +- 1/128, all dyadic, so the
// oracle's range of x^2 + y^2 over a pixel box (worked out here from the box alone) is exact.
#include "graphs/kinds2d/relation_graph.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/level_line_probes.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;
constexpr const char* kDisc = "lessthan[plus[power[x,2],power[y,2]],1]";
constexpr const char* kCircle = "equal[plus[power[x,2],power[y,2]],1]";
constexpr const char* kCircleDifference = "plus[power[x,2],power[y,2],minus[1]]";

// The range of x^2 + y^2 over pixel (h, v), and x^2 + y^2 at its top-left corner.
struct BoxRange {
  double lo, hi, corner;
};
BoxRange RangeOver(int32_t h, int32_t v) {
  const double x0 = (h - 100) / 64.0 - 1 / 128.0, x1 = x0 + 1 / 64.0, y1 = (99 - v) / 64.0 + 1 / 128.0,
               y0 = y1 - 1 / 64.0;
  auto lo = [](double a, double b) { return a <= 0 && b >= 0 ? 0.0 : std::min(a * a, b * b); };
  auto hi = [](double a, double b) { return std::max(a * a, b * b); };
  return {lo(x0, x1) + lo(y0, y1), hi(x0, x1) + hi(y0, y1), x0 * x0 + y1 * y1};
}

class RelationTest : public graphs_test::OneGraphTest<GraphRelation2D> {
 protected:
  GraphRelation2D* Make(const char* relation, int32_t mode = 2, bool equation = false, const char* boundary = nullptr) {
    return Take(new GraphRelation2D(FunctionOf(relation), boundary ? FunctionOf(boundary) : nullptr,
                                    new GraphColor(nullptr), mode, equation, &map));
  }
  GraphRelation2D* Computed(const char* relation, int32_t mode = 2, bool equation = false) {
    Make(relation, mode, equation, equation ? kCircleDifference : nullptr)->Compute(kAll);
    EXPECT_TRUE(graph->IsComplete());
    return graph;
  }
  uint32_t At(int32_t h, int32_t v) const { return GetPackedPixel(graph->Bitmap(), h, v); }
  std::vector<uint8_t> Bytes() const {
    const PackedBitmap b = graph->Bitmap();
    return {b.base, b.base + size_t(b.rowBytes) * size_t(RectHeight(b.bounds))};
  }
};

// Wholly inside 3, wholly outside 0; a rim pixel (inside and outside points both in its box) is
// 1 in modes 1 and 2 (some sub-box may hold) and the top-left corner's test in the draft mode 0.
// A box touching the circle from outside at a corner may be proven false or not: 0 or 1.
TEST_F(RelationTest, DiscOracleForEachPlottingMode) {
  for (int32_t mode : {0, 1, 2}) {
    Computed(kDisc, mode);
    int32_t rim = 0, wrong = 0;
    for (int32_t v = 0; v < 200; ++v) {
      for (int32_t h = 0; h < 200; ++h) {
        const BoxRange r = RangeOver(h, v);
        std::set<uint32_t> want{r.corner < 1 ? 3u : 0u};
        if (r.hi < 1)
          want = {3};
        else if (r.lo > 1)
          want = {0};
        else if (r.lo == 1)
          want = {0, mode == 0 ? 0u : 1u};
        else if (++rim, mode != 0)
          want = {1};
        wrong += want.count(At(h, v)) == 0;
      }
    }
    EXPECT_EQ(wrong, 0) << "mode " << mode;
    EXPECT_GT(rim, 300);
  }
}

// The curve is drawn in exactly the pixels whose box meets it, whatever the mode.
TEST_F(RelationTest, CircleDrawnExactlyWhereThePixelBoxMeetsIt) {
  for (int32_t mode : {0, 2}) {
    Computed(kCircle, mode, true);
    int32_t drawn = 0, wrong = 0;
    for (int32_t v = 0; v < 200; ++v) {
      for (int32_t h = 0; h < 200; ++h) {
        const BoxRange r = RangeOver(h, v);
        const uint32_t want = r.lo <= 1 && 1 <= r.hi ? 3 : 0;
        wrong += At(h, v) != want, drawn += want != 0;
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(drawn, 500);
  }
}

TEST_F(RelationTest, StatusMessagesAndARefusedBitmap) {
  const struct {
    const char* relation;
    bool equation;
    int32_t status;
  } cases[] = {{"equal[plus[power[x,2],power[y,2]],minus[1]]", true, 6},  // "Not satisfied anywhere"
               {"greaterthan[y,1000]", false, 9},                         // "False in the region shown"
               {"greaterthan[x,0]", false, 0},
               {"lessthan[sqrt[minus[plus[1,power[x,2]]]],1]", false, 9}};  // undefined everywhere
  for (const auto& c : cases) EXPECT_EQ(Computed(c.relation, 2, c.equation)->Status(), c.status) << c.relation;
  CompiledFunction* f = FunctionOf(kDisc);
  FailAllocationAt(1);  // the bitmap
  delete graph;
  graph = new GraphRelation2D(f, nullptr, new GraphColor(nullptr), 2, 0, &map);
  EXPECT_TRUE(PendingError() == kErrorOutOfMemory && graph->IsComplete() && graph->Status() == 9);
  graph->Compute(kAll);  // nothing to do, no crash
  SetViewMap(&map, MakeRect(0, 0, 6000, 6000), 3000, 2999, 64, -64, 1, 1);  // deep enough to fill 16
  const std::vector<uint8_t> line = (Computed("equal[x,y]", 2, true), Bytes());
  Make("equal[x,y]", 2, true);
  FailAllocationAt(1, true);  // the queue cannot grow past 16: the deepest rectangles go by tiles
  graph->Compute(kAll);
  FailAllocationAt(0);
  EXPECT_TRUE(graph->IsComplete() && Bytes() == line);
}

// However the rectangles fall into one-unit slices of the real clock, the bitmap is the one of a
// single Compute.
TEST_F(RelationTest, ManyTinyBudgetsGiveTheBitmapOfOneLargeBudget) {
  SetViewMap(&map, MakeRect(0, 0, 300, 200), 150, 99, 16, -16, 1, 1);
  const char* cases[] = {"equal[sin[plus[power[x,2],power[y,2]]],cos[times[x,y]]]",
                         "lessthan[sin[times[x,y]],times[0.3,x]]"};
  for (const char* relation : cases) {
    const std::vector<uint8_t> whole = (Computed(relation, 2, relation[0] == 'e'), Bytes());
    Make(relation, 2, relation[0] == 'e');
    int32_t slices = 0;
    for (; !graph->IsComplete() && slices < 1000000; ++slices) graph->Compute(1);
    EXPECT_GT(slices, 1) << relation;
    EXPECT_TRUE(Bytes() == whole) << relation;
  }
}

// Scrolled by (10, -7), only the two exposed strips are queued; completed, the bitmap is a fresh
// graph's on the scrolled map. A taller view keeps the world-aligned rows and queues the new top.
TEST_F(RelationTest, ScrollAndGeometryChangeKeepPixelsWorldAligned) {
  const char* kTilted = "lessthan[plus[power[x,2],times[x,y],power[y,2]],0.8]";
  const struct {
    QDRect frame;
    double oh, ov;
    std::vector<QDRect> queued;
  } cases[] = {{MakeRect(0, 0, 200, 200), 110, 92, {MakeRect(10, 193, 200, 200), MakeRect(0, 0, 10, 200)}},
               {MakeRect(0, 0, 200, 250), 100, 149, {MakeRect(0, 0, 200, 50)}},
               {MakeRect(0, 0, 200, 200), 100.5, 99, {MakeRect(0, 0, 200, 200)}}};  // half a pixel: nothing kept
  for (const auto& c : cases) {
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
    Computed(kTilted);
    SetViewMap(&map, c.frame, c.oh, c.ov, 64, -64, 1, 1);
    if (EqualRect(c.frame, MakeRect(0, 0, 200, 200)))
      graph->Scroll(10, -7);
    else
      graph->GeometryChanged();
    const GrowArray<QDRect>& queued = graph->Pending();
    ASSERT_EQ(size_t(queued.count), c.queued.size());
    for (int32_t i = 0; i < queued.count; ++i) EXPECT_TRUE(EqualRect(queued.data[i], c.queued[size_t(i)]));
    graph->Compute(kAll);
    const std::vector<uint8_t> moved = Bytes();
    EXPECT_TRUE((Computed(kTilted), Bytes()) == moved) << c.oh << " " << c.ov;
  }
}

// a = 1 -> 2 -> 1: the return restores the first bitmap with no evaluation; a purged handle is
// never read: the bitmap is computed again and caching stops.
TEST_F(RelationTest, CacheRoundTripAndEviction) {
  SetParameterLetter('a');
  auto set = [&](double a) {
    SetParameterValue(a);
    graph->VariableChanged('a', a);
    graph->Compute(kAll);
    return Bytes();
  };
  Make("lessthan[plus[power[x,2],power[y,2]],a]");
  const std::vector<uint8_t> one = set(1), two = set(2);
  EXPECT_TRUE(one != two && graph->Cache().count == 2);
  const uint64_t evaluations = graph->Evaluations();
  EXPECT_TRUE(set(1) == one && graph->Evaluations() == evaluations);
  EXPECT_EQ(PurgeHandlesForTest(), 2u);
  EXPECT_TRUE(set(2) == two && graph->CacheOff() && graph->Evaluations() > evaluations);
  graph->VariableChanged('b', 0);  // not a variable of the relation: nothing changes
  EXPECT_TRUE(graph->IsComplete());
  Make("lessthan[plus[power[x,2],power[y,2]],a]");
  set(1);
  FailAllocationAt(1, true);  // no memory: rectangles decided in tiles, the cache freed, caching off
  EXPECT_TRUE(set(2) == two && graph->CacheOff() && graph->Cache().count == 0);
  FailAllocationAt(0);
}

// A relation undefined on part of a pixel's box is undecided there, not blank: sqrt(x) < 1 marks
// the column holding x = 0 (its box reaches x = 1/128) and leaves the columns left of it blank.
TEST_F(RelationTest, PartlyUndefinedPixelsAreUndecided) {
  Computed("lessthan[sqrt[x],1]", 1);
  for (int32_t v = 0; v < 200; v += 7) {
    EXPECT_TRUE(At(99, v) == 0 && At(100, v) == 1 && At(101, v) == 3) << v;
  }
}

// The hit test and the probe follow the boundary: the probe lands on the circle within rounding.
TEST_F(RelationTest, HitTestAndProbeFollowTheBoundary) {
  Make(kCircle, 2, true, kCircleDifference)->Compute(kAll);
  EXPECT_TRUE(graph->HitTest(0.0, 1.03) && !graph->HitTest(0.0, 1.1));
  const ProbeRecord p = graph->Probe(0.6, 0.85);
  EXPECT_EQ(p.mode, 1u);
  EXPECT_NEAR(p.x * p.x + p.y * p.y, 1.0, 1e-12);
  EXPECT_LT(std::hypot(p.x - 0.6, p.y - 0.8), 0.05);
  EXPECT_TRUE(graph->NearestPoint(0.0, 1.0, 0.05, 0, 0).found);
  const ProbeRecord outside = graph->Probe(2.5, 0.0);  // beyond the frame: the rings still reach the rim
  EXPECT_TRUE(outside.mode == 1 && std::fabs(outside.x - 1) < 1e-12);
}

// A probe 235 to 248 rows below a 250 x 20 frame: the rings first meet a rim pixel of the disc
// at the bottom-left corner (ring 240, 267 pixels away), beyond the first limit of 250 rings; the
// limit then grows to 268 and ring 252 finds the top disc's rim straight above, 252 pixels away,
// where the probe refines onto the boundary.
TEST_F(RelationTest, ProbeRingLimitGrowsWithTheBestDistance) {
  SetViewMap(&map, MakeRect(0, 0, 250, 20), 125, 10, 64, -64, 1, 1);
  // Discs of radius 3 px round pixels (5, 16) and (125, 3): their product is negative inside one.
  const char* discs =
      "times[plus[power[plus[x,1.875],2],power[plus[y,0.09375],2],minus[0.002197265625]],"
      "plus[power[x,2],power[plus[y,minus[0.109375]],2],minus[0.002197265625]]]";
  const std::string inside = std::string("lessthan[") + discs + ",0]";
  Make(inside.c_str(), 2, false, discs)->Compute(kAll);
  const ProbeRecord p = graph->Probe(0, (10 - 258) / 64.0);
  EXPECT_EQ(p.mode, 1u);
  EXPECT_LT(std::fabs(p.x), 0.05) << p.x << " " << p.y;  // the top disc, not the corner one at -1.875
  EXPECT_NEAR(p.y, 0.0625, 0.01);
}

// A relation true over the whole frame is decided by one evaluation.
TEST_F(RelationTest, RelationTrueEverywhereFillsTheFrameAtOnce) {
  Computed("greaterthan[plus[power[x,2],1],0]");
  EXPECT_EQ(graph->Evaluations(), 1u);
  int32_t unset = 0;
  for (int32_t v = 0; v < 200; ++v) {
    for (int32_t h = 0; h < 200; ++h) unset += At(h, v) != kRelationHolds;
  }
  EXPECT_TRUE(unset == 0 && graph->Status() == 0);
}

// The level-line probes on functions given as lambdas: an edge order that gives no entry, a line
// through the box, axis snaps, and a readout left alone.
TEST_F(RelationTest, LevelLineProbes) {
  auto rightOnly = [](double, double, double x, double y, double, double) { return x < 0 ? NAN : x + y - 0.5; };
  auto line = [](double, double, double, double y, double, double) { return y - 0.2; };
  auto diagonal = [](double, double, double x, double y, double, double) { return x + y - 0.1; };
  EXPECT_FALSE(ProbeCrossingsInBox(MakeRealEvaluator(rightOnly), 0, 0, 0, 1, 1).found);
  const NearestPointRecord r = ProbeCrossingsInBox(MakeRealEvaluator(line), 0, 0, 0, 1, 1);
  EXPECT_TRUE(r.found && r.before[1] == -1 && r.after[1] == 1 && std::fabs(r.at[2] - 0.2) < 1e-15);
  const NearestPointRecord none = ProbeCrossingsInBox(MakeRealEvaluator(line), 5, 0, 0, 1, 1);
  EXPECT_TRUE(!none.found && std::isnan(none.before[1]) && std::isnan(none.after[2]));
  ProbeRecord p{};
  p.x = 0.05, p.y = 0.05;
  ProbeSegmentIfNear(MakeRealEvaluator(diagonal), 0, 0.2, 0.2, &p);
  EXPECT_TRUE(p.snapped && std::fabs(p.x - 0.1) < 1e-15 && p.y == 0);
  p.x = p.y = 1;
  ProbeSegmentIfNear(MakeRealEvaluator(diagonal), 0, 0.2, 0.2, &p);
  EXPECT_TRUE(!p.snapped && p.x == 1 && p.y == 1);
}

}  // namespace
