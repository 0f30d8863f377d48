// The graph factory from formula text to pixels: the main road (parse, classify, factory, idle
// ticks, draw, PNG) against a column-span oracle written here from the map alone (200 x 200 view
// at 64 px a unit, world (0, 0) at view pixel (100, 99)); the traced forms and their prepared
// functions; forms whose kinds do not exist yet; the row a call answers; every refused
// allocation of a construction; and the transformation's companion.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/factory/graph_factory.h"
#include "graphs/core/graphs_state.h"
#include "graphs/kinds2d/contour_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/textured_image_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/traced_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/threads/timers.h"
#include "platform/draw/png_io.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::Tree;

class FactoryTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    DestroyViewSet(&set);
    graphs_test::GraphsTest::TearDown();
  }
  void Open(bool antialiased = false, uint32_t mode = kTransformNone) {
    DestroyViewSet(&set);
    document.antialiased = antialiased;
    transform.mode = mode;
    InitViewSet(&set, MakeRect(20, 10, 220, 210), &document);
    BuildGraphsForEquationSet(&set, false, false, false, false, &transform);
  }
  int32_t Build(const std::string& text, bool is3D = false, bool is4D = false, int32_t* message = nullptr,
                double displayKind = 1) {
    Tree tree(text);
    return CreateGraphsForEquation(&set, tree, is3D, is4D, &transform, 1, 0.5, 1, 2, displayKind, &document, message);
  }
  GraphTraced2D* Traced(GraphView2D* view, int32_t i) const { return static_cast<GraphTraced2D*>(view->graphs.data[i]); }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  CoordinateTransform transform;
};

// Column p (of 200 f) covers [a, b] = c -+ 1/(128 f), c = (p - 100 f) / (64 f); a column with
// points right of 0 is shaded from Row(max(a, 0)^2) to Row(b^2), Row(y) = floor(0.5 - 64 f y +
// 100 f - 1); on the antialias map (f = 2) each column is 2 pixels wide and reaches one row above
// its span; the window pixel is then the byte-wise average of its 2 x 2 block.
TEST_F(FactoryTest, MainRoadFromTextToPngEqualsTheColumnSpanOracle) {
  const std::string png = testing::TempDir() + "qv_main_road.png";
  for (int32_t f : {1, 2}) {
    Open(f == 2);
    set.first2D->showAxes = set.first2D->showGraphPaper = 0;
    ASSERT_EQ(Build("comma[equal[y,power[x,2]],greaterthan[x,0]]"), 0);
    for (int ticks = 0; !ViewSetAllViewsReady(&set) && ticks < 1000; ++ticks) ViewSetIdleTick(&set, 100);
    draw_test::Canvas canvas(240, 230);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    set.first2D->Draw();
    ASSERT_TRUE(WritePortPng(png.c_str(), GetPort(), false));
    PngImage image{};
    ASSERT_TRUE(ReadPngFile(png.c_str(), &image));
    const uint32_t rgb = Traced(set.first2D, 0)->Color()->rgb;
    auto row = [f](double y) { return int32_t(std::floor(0.5 - 64 * f * y + 100 * f - 1)); };
    auto covered = [&](int32_t p, int32_t j) {
      for (int32_t q = p - f + 1; q <= p; ++q) {  // the columns whose rectangles hold pixel p
        const double c = (q - 100.0 * f) / (64 * f), a = c - 1.0 / (128 * f), b = c + 1.0 / (128 * f);
        const double from = std::max(a, 0.0);
        const int32_t r1 = row(from * from), r2 = row(b * b), top = std::min(r1, r2) + 1 - f, bottom = std::max(r1, r2) + 1;
        if (b > 0 && j >= top && j < bottom) return true;
      }
      return false;
    };
    auto sub = [&](int32_t p, int32_t j) { return covered(p, j) ? rgb : 0xFFFFFFu; };
    auto average = [](uint32_t a, uint32_t b) {
      uint32_t out = 0;
      for (int k = 0; k < 24; k += 8) out |= ((((a >> k) & 255) + ((b >> k) & 255) + 1) >> 1) << k;
      return out;
    };
    int32_t wrong = 0, inked = 0;
    for (int32_t v = 0; v < 230; ++v) {
      for (int32_t h = 0; h < 240; ++h) {
        const int32_t i = h - 20, j = v - 10;
        uint32_t want = 0xFFFFFFu;
        if (i >= 0 && i < 200 && j >= 0 && j < 200) {
          want = f == 1 ? sub(i, j)
                        : average(average(sub(2 * i, 2 * j), sub(2 * i, 2 * j + 1)),
                                  average(sub(2 * i + 1, 2 * j), sub(2 * i + 1, 2 * j + 1)));
        }
        wrong += (image.pixels[v * 240 + h] & 0xFFFFFFu) != want;
        inked += want != 0xFFFFFFu;
      }
    }
    FreePngImage(&image);
    EXPECT_EQ(wrong, 0) << "factor " << f;
    EXPECT_GT(inked, 150) << "factor " << f;
  }
  std::remove(png.c_str());
}

// Each traced form: the view, orientation, trace mode (the row's PlottingMode) and the function
// of u it compiled, conditions joined as + (0 if condition), sides swapped where needed.
TEST_F(FactoryTest, TracedFormsBuildOneGraphWithThePreparedFunction) {
  const char* kWithCondition = "plus[power[u,2],if[0,greaterthan[u,0]]]";
  const struct { const char* text; int32_t view; uint8_t orientation; const char* function; } cases[] = {
      {"equal[y,power[x,2]]", kViewFirst2D, 1, "power[u,2]"},
      {"comma[equal[y,power[x,2]],greaterthan[x,0]]", kViewFirst2D, 1, kWithCondition},
      {"equal[power[x,2],y]", kViewFirst2D, 1, "power[u,2]"},
      {"comma[equal[power[x,2],y],greaterthan[x,0]]", kViewFirst2D, 1, kWithCondition},
      {"equal[x,power[y,2]]", kViewFirst2D, 0, "power[u,2]"},
      {"power[x,2]", kViewFirst2D, 1, "power[u,2]"},
      {"comma[power[y,2],lessthan[y,0]]", kViewFirst2D, 0, "plus[power[u,2],if[0,lessthan[u,0]]]"},
      {"'equal[y,power[x,2]]", kViewSecond2D, 1, "power[u,2]"}};
  for (const auto& c : cases) {
    Open();
    int32_t message = -1;
    ASSERT_EQ(Build(c.text, false, false, &message), 0) << c.text;
    EXPECT_EQ(message, 0);
    const GraphTableRow& row = set.graphTable.data[0];
    EXPECT_TRUE(set.graphTable.count == 1 && row.pair[0].view == c.view && row.pair[0].index == 0) << c.text;
    GraphTraced2D* graph = Traced(static_cast<GraphView2D*>(ViewSetView(&set, c.view)), 0);
    EXPECT_TRUE(graph->Orientation() == c.orientation && graph->TraceModeValue() == kTraceFull) << c.text;
    Tree expected(c.function);
    char* written = FormatExpressionBracket(graph->Function()->tree);
    EXPECT_TRUE(ExpressionsEqual(graph->Function()->tree, expected)) << c.text << " gave " << written;
    FreeMemory(written);
  }
}

// Until their kinds land, other forms build nothing, free their colour (the fixture's byte and
// node counts) and name the view they cannot be graphed in; form 0 leaves the explanation to the
// caller. A call that builds nothing answers -1, never the row of the equation before it.
TEST_F(FactoryTest, FormsWithoutKindsBuildNothingAndTheRowIsAlwaysThisCallsOwn) {
  const struct { const char* text; bool is3D, is4D; int32_t message; } cases[] = {
      {"equal[y,t]", false, false, 0}};
  Open();
  ASSERT_EQ(Build("equal[y,x]"), 0);
  for (const auto& c : cases) {
    int32_t message = -1;
    EXPECT_EQ(Build(c.text, c.is3D, c.is4D, &message), -1) << c.text;
    EXPECT_EQ(message, c.message) << c.text;
  }
  EXPECT_TRUE(set.graphTable.count == 1 && set.first2D->graphs.count == 1);
  EXPECT_EQ(Build("power[x,3]"), 1);
}

// Every counted allocation of a build refused in turn: the build either completes or leaves the
// table and the view's list as they were, and nothing it made outlives the set (fixture counts).
// A constructor that cannot have its object frees the function and the colour.
TEST_F(FactoryTest, EveryRefusedAllocationLeavesTheTablesAsTheyWere) {
  int32_t failures = 0;
  for (uint64_t n = 1; n < 40; ++n) {
    Open();
    Tree tree("comma[equal[y,sin[x]],greaterthan[x,0]]");
    FailAllocationAt(n);
    const int32_t row = CreateGraphsForEquation(&set, tree, false, false, &transform, 1, 0.5, 1, 2, 1, &document);
    FailAllocationAt(0);
    const int32_t rows = set.graphTable.count, listed = set.first2D->graphs.count;
    EXPECT_TRUE((row == 0 && rows == 1 && listed == 1) || (row == -1 && rows == 0 && listed == 0)) << n;
    EXPECT_TRUE(CheckViewSet(&set));
    failures += row == -1;
  }
  EXPECT_GT(failures, 0);
  Open();
  GraphsGlobals().constructors.traced2D = [](CompiledFunction*, uint8_t, GraphColor*, uint32_t,
                                             const ViewMap*) -> GraphKind2D* { return nullptr; };
  EXPECT_EQ(Build("equal[y,x]"), -1);
  EXPECT_TRUE(set.graphTable.count == 0 && set.first2D->graphs.count == 0);
}

// A relation recorder stands in for the companion's kind: under transformation mode 1 the
// relation y = E goes to the second 2D view as the row's second placement (the rewrite seam is
// still the pass-through); mode 2 records the graph's index; the second view itself gets none.
struct RecordedRelation : graphs_test::FakeGraph {
  RecordedRelation(CompiledFunction* a, CompiledFunction* b, GraphColor* c) : f{a, b}, colour(c) {}
  ~RecordedRelation() override {
    for (CompiledFunction* g : f) DisposeFunction(g), delete g;
    delete colour;
  }
  CompiledFunction* f[2];
  GraphColor* colour;
};

TEST_F(FactoryTest, TransformationCompanionsFillTheSecondPlacementOfTheRow) {
  GraphsGlobals().constructors.relation2D = [](CompiledFunction* relation, CompiledFunction* difference,
                                               GraphColor* colour, int32_t, uint8_t isEquation,
                                               const ViewMap*) -> GraphKind2D* {
    EXPECT_EQ(isEquation, 1);
    EXPECT_TRUE(ExpressionsEqual(relation->tree, Tree("equal[y,power[x,2]]")));
    return new RecordedRelation(relation, difference, colour);
  };
  Open(false, kTransformPlaneBackwards);
  ASSERT_EQ(Build("equal[y,power[x,2]]"), 0);
  const GraphSlot second = set.graphTable.data[0].pair[1];
  EXPECT_TRUE(second.view == kViewSecond2D && second.index == 0 && set.second2D->graphs.count == 1);
  ASSERT_EQ(Build("'equal[y,power[x,2]]"), 1);
  EXPECT_TRUE(set.graphTable.data[1].pair[1].view == kNoView && set.second2D->graphs.count == 2);
  Open(false, kTransformPlaneForwards);
  ASSERT_EQ(Build("power[x,2]"), 0);
  EXPECT_TRUE(set.graphIndexList.count == 1 && set.graphIndexList.data[0] == 0);
}

// The map's textured image (mode 2) takes the transformation's grain, which is the rows' default
// 0.5 unless set: a grid point every 10 pixels of the first view (5 at grain 1, 15 at grain 0).
TEST_F(FactoryTest, TheTexturedImageTakesTheTransformationsGrain) {
  const struct {
    double grain;  // NaN: the transformation's own default
    int32_t step;
  } cases[] = {{NAN, 10}, {1, 5}, {0, 15}, {0.5, 10}};
  for (const auto& c : cases) {
    transform = CoordinateTransform{};
    if (!std::isnan(c.grain)) transform.grain = c.grain;
    transform.expression1 = graphs_test::Parse("times[2,x]");
    transform.expression2 = graphs_test::Parse("y");
    Open(false, kTransformPlaneForwards);
    FreeExpression(transform.expression1);
    FreeExpression(transform.expression2);
    ASSERT_EQ(set.second2D->graphs.count, 1);
    const auto* image = static_cast<const GraphImage2D*>(set.second2D->graphs.data[0]);
    EXPECT_EQ(image->Grain(), std::isnan(c.grain) ? 0.5 : c.grain);
    EXPECT_EQ(image->Columns(), RectWidth(set.first2D->rect) / c.step + 2) << c.grain;
  }
  transform = CoordinateTransform{};
}

// The region kinds as the factory builds them, recorded by kind with their functions (and the
// relation's flag, the field's equal lengths) before the kinds' own constructors run.
std::vector<std::string>& Recorded() {
  static std::vector<std::string> log;
  return log;
}
std::string Text(const CompiledFunction* f) {
  char* text = FormatExpressionBracket(f->tree);
  const std::string out = text;
  FreeMemory(text);
  return out;
}
void RecordRegionKinds() {
  Recorded().clear();
  GraphConstructors& c = GraphsGlobals().constructors;
  c.relation2D = [](CompiledFunction* r, CompiledFunction* d, GraphColor* colour, int32_t mode, uint8_t equation,
                    const ViewMap* map) {
    Recorded().push_back("relation " + std::to_string(equation) + " " + Text(r) + " " + std::to_string(colour->rgb));
    return NewRelationGraph(r, d, colour, mode, equation, map);
  };
  c.raster2D = [](CompiledFunction* f, double q, GraphColor* colour, const ViewMap* map) {
    Recorded().push_back("raster " + Text(f));
    return NewRasterGraph(f, q, colour, map);
  };
  c.contour2D = [](CompiledFunction* f, double q, GraphColor* colour, const ViewMap* map) {
    Recorded().push_back("contour " + Text(f));
    return NewContourGraph(f, q, colour, map);
  };
  c.vectorField2D = [](CompiledFunction* fx, CompiledFunction* fy, GraphColor* colour, uint8_t equal,
                       const ViewMap* map, double q) {
    Recorded().push_back("field " + std::to_string(equal) + " " + Text(fx) + " " + Text(fy));
    return NewVectorFieldGraph(fx, fy, colour, equal, map, q);
  };
}

// The formula between the two bars as the bracket writer gives it back (numbers with value words).
std::string Written(const std::string& expected) {
  const size_t a = expected.find('|'), b = expected.rfind('|');
  if (a == std::string::npos) return expected;
  CompiledFunction* f = FunctionOf(expected.substr(a + 1, b - a - 1));
  const std::string out = expected.substr(0, a) + Text(f) + expected.substr(b + 1);
  DeleteCompiledFunction(f);
  return out;
}

// Relations, rasters and level lines by the xy type, the field's equal lengths from its bit 4;
// x^2 + y^2 <= 1 is the strict region and the dark grey boundary curve, in one row.
TEST_F(FactoryTest, RegionFormsBuildTheirKinds) {
  const std::string kPurple = std::to_string(kDefaultGraphRGB), kDisc = "plus[power[x,2],power[y,2]]";
  const std::string kRegion = "relation 0 |lessthan[" + kDisc + ",1]| " + kPurple;
  const std::string kCurve = "relation 1 |equal[" + kDisc + ",1]| ";
  const struct { const char* text; double xyType; std::vector<std::string> built; } cases[] = {
      {"equal[z,times[sin[x],cos[y]]]", 2, {"raster times[sin[u],cos[v]]"}},
      {"equal[z,times[sin[x],cos[y]]]", 3, {"contour times[sin[x],cos[y]]"}},
      {"times[x,y]", 6, {"raster times[u,v]"}},
      {"equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]", 5, {"field 1 minus[y] x"}},
      {"equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]", 1, {"field 0 minus[y] x"}},
      {"lessthan[plus[power[x,2],power[y,2]],1]", 1, {kRegion}},
      {"equal[plus[power[x,2],power[y,2]],1]", 1, {kCurve + kPurple}},
      {"leq[plus[power[x,2],power[y,2]],1]", 1, {kRegion, kCurve + "3355443"}}};  // 0x333333
  for (const auto& c : cases) {
    Open();
    RecordRegionKinds();
    ASSERT_EQ(Build(c.text, false, false, nullptr, c.xyType), 0) << c.text;
    std::vector<std::string> want;
    for (const std::string& b : c.built) want.push_back(Written(b));
    EXPECT_EQ(Recorded(), want) << c.text;
    const GraphTableRow& row = set.graphTable.data[0];
    EXPECT_TRUE(set.graphTable.count == 1 && set.first2D->graphs.count == int32_t(c.built.size())) << c.text;
    EXPECT_TRUE(c.built.size() == 1 || (row.pair[2].view == kViewFirst2D && row.pair[2].index == 1));
  }
  for (double none : {4.0, double(NAN)}) {  // xy type 0 (4 keeps its low bits 0; NaN counts as 0): nothing
    int32_t message = 0;
    EXPECT_EQ(Build("equal[z,times[x,y]]", false, false, &message, none), -1);
    EXPECT_EQ(message, 14);
  }
}

// Under transformation mode 1 the region, its boundary and the raster get companions in the
// second 2D view (row placements 2 and 4); level lines and fields are only recorded.
TEST_F(FactoryTest, RegionCompanionsUnderATransformation) {
  Open(false, kTransformPlaneBackwards);
  ASSERT_EQ(Build("leq[plus[power[x,2],power[y,2]],1]"), 0);
  const GraphTableRow& row = set.graphTable.data[0];
  EXPECT_TRUE(row.pair[1].view == kViewSecond2D && row.pair[3].view == kViewSecond2D);
  EXPECT_EQ(set.second2D->graphs.count, 2);
  ASSERT_EQ(Build("times[x,y]", false, false, nullptr, 2), 1);
  EXPECT_TRUE(set.graphTable.data[1].pair[1].view == kViewSecond2D && set.second2D->graphs.count == 3);
  ASSERT_EQ(Build("times[x,y]", false, false, nullptr, 3), 2);
  EXPECT_TRUE(set.graphIndexList.count == 1 && set.graphIndexList.data[0] == 3);
}

// Every counted allocation of a region build refused in turn (companions included): a row is
// added with its region, or nothing is, and nothing leaks (the fixture's counts).
TEST_F(FactoryTest, RegionBuildsUnderEveryRefusedAllocation) {
  const struct { const char* text; double xyType; } cases[] = {
      {"leq[plus[power[x,2],power[y,2]],1]", 1}, {"equal[z,times[sin[x],cos[y]]]", 2},
      {"equal[z,times[sin[x],cos[y]]]", 3}, {"equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]", 1}};
  for (const auto& c : cases) {
    int32_t failures = 0;
    for (uint64_t n = 1; n < 90; ++n) {  // the region with its boundary and companions takes 79
      Open(false, kTransformPlaneBackwards);
      Tree tree(c.text);
      FailAllocationAt(n);
      const int32_t row =
          CreateGraphsForEquation(&set, tree, false, false, &transform, 1, 0.5, 1, 2, c.xyType, &document);
      FailAllocationAt(0);
      EXPECT_TRUE(row == 0 ? set.first2D->graphs.count >= 1 : set.first2D->graphs.count == 0) << c.text << n;
      EXPECT_TRUE(CheckViewSet(&set));
      failures += row == -1;
    }
    EXPECT_GT(failures, 0) << c.text;
  }
}

}  // namespace
