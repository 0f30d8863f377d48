// The pointer queries of every 2D kind (HitTest, Probe, NearestPoint) as jobs on the compute worker,
// cut up at every evaluation turn: taken up again until they end they answer as at one go; abandoned
// after any number of suspensions and run again they still do, no counted byte stays behind, and the
// graph computes the same picture afterwards. Every value is a long sum, so turns fall inside runs.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/arrow_2d.h"
#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/curve_graph.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/kinds2d/point_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/slope_field_graph.h"
#include "graphs/kinds2d/textured_image_graph.h"
#include "graphs/kinds2d/traced_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "platform/clock.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

constexpr double kAnyArgument = std::numeric_limits<double>::infinity();
constexpr int kMaxAbandonPoints = 60;
constexpr int kMaxCalls = 1 << 20;

// e times the sum of 1/k^2 for k = 1..4000 (about 1.645 e): some 20,000 instructions a value, more
// than one turn's work, so a job lies suspended inside runs as well as at their starts.
std::string Slow(const std::string& e) { return "bsum[equal[k,1],4000,over[" + e + ",power[k,2]]]"; }

// An uncompiled function over the text, in the tree tests' spelling (which has the bounded sum).
CompiledFunction* FunctionOf(const std::string& text) { return NewFunctionOver(tree_test::Build(text.c_str())); }

// Each derivative made is the next text (the algebra's stand-in).
void DerivativesInOrder(std::vector<std::string> texts) {
  static std::vector<std::string> queue;
  queue = std::move(texts);
  SetExpandDerivativesPass([](ExprNode* tree) {
    if (queue.empty()) return;
    ReplaceExpression(tree_test::Build(queue.front().c_str()), tree);
    queue.erase(queue.begin());
  });
}

enum class Query { kHitTest, kProbe, kNearestPoint };
constexpr Query kQueries[] = {Query::kHitTest, Query::kProbe, Query::kNearestPoint};
const char* NameOf(Query q) { return q == Query::kHitTest ? "HitTest" : q == Query::kProbe ? "Probe" : "NearestPoint"; }

struct QueryJob {
  GraphKind2D* graph = nullptr;
  Query query = Query::kHitTest;
  double x = 0, y = 0, tolerance = 0;
  bool hit = false;
  ProbeRecord probe{};
  NearestPointRecord nearest{};
  bool ended = false;
};

// The job the view runs on the worker: the query, its answer stored.
void RunQuery(void* argument, int32_t) {
  auto* job = static_cast<QueryJob*>(argument);
  switch (job->query) {
    case Query::kHitTest:
      job->hit = job->graph->HitTest(job->x, job->y);
      break;
    case Query::kProbe:
      job->probe = job->graph->Probe(job->x, job->y);
      break;
    case Query::kNearestPoint:
      job->nearest = job->graph->NearestPoint(job->x, job->y, job->tolerance, -kAnyArgument, kAnyArgument);
      break;
  }
  job->ended = true;
}

// Every field of the answer, numbers to the bit (hexadecimal), the point lists point by point.
std::string Text(const QueryJob& job) {
  std::string out;
  auto add = [&out](double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, " %a", v);
    out += buffer;
  };
  auto list = [&](const char* name, const GrowArray<ProbePoint>* points) {
    out += std::string(" ") + name + (points == nullptr ? " none" : " " + std::to_string(points->count));
    for (int32_t k = 0; points != nullptr && k < points->count; ++k) add(points->data[k].x), add(points->data[k].y);
  };
  switch (job.query) {
    case Query::kHitTest:
      return job.hit ? "hit" : "miss";
    case Query::kProbe:
      out = "mode " + std::to_string(job.probe.mode) + " rgb " + std::to_string(job.probe.rgb) + " snapped " +
            std::to_string(job.probe.snapped);
      add(job.probe.value), add(job.probe.x), add(job.probe.y);
      for (double a : job.probe.aux) add(a);
      list("A", job.probe.listA);
      list("B", job.probe.listB);
      return out;
    case Query::kNearestPoint:
      out = job.nearest.found ? "found" : "none";
      for (const double* p : {job.nearest.before, job.nearest.at, job.nearest.after}) add(p[0]), add(p[1]), add(p[2]);
      return out;
  }
  return out;
}

void DisposeLists(QueryJob* job) {
  DisposeProbeList(job->probe.listA);
  DisposeProbeList(job->probe.listB);
  job->probe.listA = job->probe.listB = nullptr;
}

// One graph of a kind on the fixture's map, queried at (x, y), on or near it; NearestPoint within
// `tolerance`. `evaluates`: some of its queries evaluate (and so take turns).
struct KindCase {
  const char* name;
  GraphKind2D* (*make)(const ViewMap* map);
  double x, y, tolerance;
  bool evaluates;
};

const KindCase kKinds[] = {
    {"Traced", [](const ViewMap* m) -> GraphKind2D* {
       DerivativesInOrder({Slow("cos[u]")});
       return new GraphTraced2D(FunctionOf(Slow("sin[u]")), 1, new GraphColor(nullptr), kTraceFull, m);
     }, 0.05, 0.1, 0.25, true},
    {"Relation", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphRelation2D(FunctionOf("lessthan[plus[" + Slow("power[x,2]") + ",power[y,2]],1]"),
                                  FunctionOf("plus[" + Slow("power[x,2]") + ",power[y,2],minus[1]]"),
                                  new GraphColor(nullptr), 2, 0, m);
     }, 0.1, 0.95, 0.1, true},
    {"Raster", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphRaster2D(FunctionOf(Slow("times[x,y]")), 1, new GraphColor(nullptr), m);
     }, 0.3, 0.4, 0.1, true},
    {"ColourPlot", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphColorPlot2D(FunctionOf(Slow("x")), FunctionOf(Slow("y")), FunctionOf(Slow("times[x,y]")),
                                   FunctionOf(Slow("plus[x,y]")), 0, new GraphColor(nullptr), m);
     }, 0.3, 0.4, 0.1, true},
    {"VectorField", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphVectorField2D(FunctionOf(Slow("y")), FunctionOf(Slow("minus[x]")), new GraphColor(nullptr), 0, m,
                                     1);
     }, 0.3, 0.4, 0.1, true},
    {"Arrow", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphArrow2D(FunctionOf(Slow("1")), FunctionOf("0"), FunctionOf("0"), FunctionOf(Slow("1")),
                               new GraphColor(nullptr), m);
     }, 0.8, 0.8, 0.1, false},
    {"Curve", [](const ViewMap* m) -> GraphKind2D* {  // x is the slow coordinate, y a quick one
       static const double range[2] = {0, 6.283185307179586};
       DerivativesInOrder({"minus[" + Slow("times[0.5,sin[u]]") + "]", "times[0.5,cos[u]]"});
       return new GraphCurve2D(FunctionOf(Slow("times[0.5,cos[u]]")), FunctionOf("times[0.5,sin[u]]"),
                               new GraphColor(nullptr), 0, kCurveParametric, m, range);
     }, 0.8, 0.1, 0.05, true},
    {"Point", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphPoint2D(FunctionOf(Slow("0.5")), FunctionOf("0.5"), new GraphColor(nullptr), 1, m);
     }, 0.8, 0.5, 0.1, false},
    {"SlopeField", [](const ViewMap* m) -> GraphKind2D* {
       return new GraphSlopeField2D(FunctionOf(Slow("times[0.5,y]")), nullptr, new GraphColor(nullptr), 1, m);
     }, 0.0, 0.3, 0.1, true},
    {"MappedPicture", [](const ViewMap* m) -> GraphKind2D* {
       return NewMeshGraph(FunctionOf(Slow("x")), FunctionOf(Slow("y")), new GraphColor(nullptr), m, nullptr, nullptr);
     }, 0.3, 0.4, 0.1, false},
    {"TexturedImage", [](const ViewMap* m) -> GraphKind2D* {
       return NewImageGraph(FunctionOf(Slow("x")), FunctionOf(Slow("y")), new GraphColor(nullptr), 0.5, m, nullptr,
                            nullptr);
     }, 0.3, 0.4, 0.1, false},
};

void PrintTo(const KindCase& c, std::ostream* out) { *out << c.name; }

class QueryTurnsTest : public graphs_test::GraphsTest, public testing::WithParamInterface<KindCase> {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    // 40 x 40 pixels at 16 a unit: world x and y in about [-1.25, 1.25].
    SetViewMap(&map_, MakeRect(0, 0, 40, 40), 20, 19, 16, -16, 1, 1);
  }
  void TearDown() override {
    UseComputeWorker(false);  // abandons a job left suspended before its graph goes
    SetComputeTurnsForTests(false);
    delete graph_;
    GraphsTest::TearDown();
  }
  std::vector<uint32_t> Picture() const {
    draw_test::Canvas canvas(RectWidth(map_.frame), RectHeight(map_.frame));
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    graph_->Draw();
    return canvas.Pixels();
  }
  QueryJob Job(Query query) const {
    const KindCase& c = GetParam();
    QueryJob job;
    job.graph = graph_, job.query = query, job.x = c.x, job.y = c.y, job.tolerance = c.tolerance;
    return job;
  }
  // As after the view's click: the hit test first, at one go (the curve's probe walks from its hit).
  QueryJob Primed(Query query) {
    graph_->HitTest(GetParam().x, GetParam().y);
    return Job(query);
  }
  // Takes the job up until it ends (a job suspended before it goes first); the calls on the way.
  static int RunToEnd(QueryJob* job) {
    int suspensions = 0;
    while (suspensions < kMaxCalls && RunInTurns(RunQuery, job, 1) != ComputeOutcome::kEnded) ++suspensions;
    EXPECT_TRUE(job->ended && !ComputeSuspended());
    return suspensions;
  }
  // Starts the job and abandons it at its k-th suspension; false when it ended before.
  static bool AbandonAt(QueryJob* job, int k) {
    for (int n = 0; n < k; ++n) {
      if (RunInTurns(RunQuery, job, 1) != ComputeOutcome::kSuspended) return false;
    }
    AbandonSuspendedCompute();
    return !ComputeSuspended() && !job->ended;
  }
  FakeClock clock_;  // stands still: only the tests' switch suspends
  ViewMap map_;
  GraphKind2D* graph_ = nullptr;
};

// The reference is each query at one go, the worker off. Then each runs in turns, suspended at
// every turn: to its end, and abandoned at up to kMaxAbandonPoints suspensions spread over all it
// takes, each time run again to its end. Last, the graph computes again (in turns) after a query
// of each sort was abandoned half-way, with a probe waiting on it, and draws what it drew first.
TEST_P(QueryTurnsTest, CutUpOrAbandonedTheyAnswerAsAtOneGoAndLeakNothing) {
  graph_ = GetParam().make(&map_);
  ASSERT_NE(graph_, nullptr);
  graph_->Compute(graphs_test::kAll);
  ASSERT_TRUE(graph_->IsComplete());
  const std::vector<uint32_t> picture = Picture();
  QueryJob reference[3];
  for (int q = 0; q < 3; ++q) {
    reference[q] = Primed(kQueries[q]);
    RunQuery(&reference[q], 0);
  }

  UseComputeWorker(true);
  SetComputeTurnsForTests(true);
  int turns = 0;
  for (int q = 0; q < 3; ++q) {
    SCOPED_TRACE(NameOf(kQueries[q]));
    const std::string expected = Text(reference[q]);
    const size_t bytes = GetBytesInUse();
    QueryJob whole = Primed(kQueries[q]);
    const int suspensions = RunToEnd(&whole);
    EXPECT_EQ(Text(whole), expected);
    DisposeLists(&whole);
    turns += suspensions;
    const int points = std::min(suspensions, kMaxAbandonPoints);
    for (int i = 0; i < points; ++i) {
      const int k = points == 1 ? 1 : 1 + int(int64_t(i) * (suspensions - 1) / (points - 1));
      QueryJob job = Primed(kQueries[q]);
      ASSERT_TRUE(AbandonAt(&job, k)) << "at suspension " << k;
      EXPECT_EQ(GetBytesInUse(), bytes) << "abandoned at suspension " << k;
      RunToEnd(&job);
      EXPECT_EQ(Text(job), expected) << "run again after an abandon at suspension " << k;
      DisposeLists(&job);
      EXPECT_EQ(GetBytesInUse(), bytes);
    }
    if (suspensions > 0) {  // left abandoned half-way for the Compute below
      QueryJob job = Primed(kQueries[q]);
      EXPECT_TRUE(AbandonAt(&job, (suspensions + 1) / 2));
    }
  }
  EXPECT_EQ(turns > 0, GetParam().evaluates) << "suspensions of the three queries: " << turns;

  // The graph computes again after those abandons. A probe asked while that Compute lies suspended
  // waits for it (the worker takes the Compute up first) and answers as before. Not primed: a hit
  // test at one go would abandon the Compute.
  graph_->Invalidate();
  ComputeInTurns(graph_, 1);
  QueryJob late = Job(Query::kProbe);
  RunToEnd(&late);
  EXPECT_TRUE(graph_->IsComplete());
  EXPECT_EQ(Text(late), Text(reference[1])) << "a probe asked during the Compute";
  DisposeLists(&late);
  EXPECT_TRUE(Picture() == picture) << "the picture computed again after the abandoned queries";
  for (QueryJob& r : reference) DisposeLists(&r);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, QueryTurnsTest, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

}  // namespace
