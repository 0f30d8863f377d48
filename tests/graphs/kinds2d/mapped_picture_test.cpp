// The second 2D view's pictures of the first through a map, on a view set whose two 2D views have
// equal geometry side by side: the mapped picture and the textured image reproduce the first view
// under the identity map (pixel for pixel, in plain and antialiased documents), turn it by a
// quarter under (X, Y) = (-y, x) without seams, leave the view alone where the map is undefined
// or the source white, keep or reset their grids across scrolls and zooms, and free everything a
// draw made when memory is refused.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "graphs/kinds2d/textured_image_graph.h"
#include "graphs/viewset/graph_view_set.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class MappedPictureTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    GraphsGlobals().labelText = LabelTextSeam{[] {}, [](const char*) { return int32_t(0); }, [](const char*) {}};
  }
  void TearDown() override {
    DestroyViewSet(&set);
    GraphsTest::TearDown();
  }
  // Two views of `size` pixels 10 apart, the first showing a colour plot of (x, y, 1/2) (recorded
  // as the graph the map carries over) unless `plain`.
  void Open(int32_t size, bool antialiased, bool plain = false) {
    DestroyViewSet(&set);
    size_ = size;
    document.antialiased = antialiased;
    InitViewSet(&set, MakeRect(0, 0, 2 * size + 10, size), &document);
    for (GraphView2D* view : {set.first2D, set.second2D}) {
      view->rect = view == set.first2D ? MakeRect(0, 0, size, size) : MakeRect(size + 10, 0, 2 * size + 10, size);
      view->SetViewDefaults();
      view->UpdateGeometry();
    }
    if (plain) return;
    GraphKind2D* plot = NewColorPlotGraph(FunctionOf("plus[0.5,times[0.2,x]]"), FunctionOf("plus[0.5,times[0.2,y]]"),
                                          FunctionOf("0.5"), nullptr, 0, new GraphColor(nullptr),
                                          &set.first2D->drawMap);
    plot->Compute(kAll);
    ASSERT_TRUE(PtrArrayAppend(set.first2D->graphs, static_cast<GraphKind*>(plot)));
    ASSERT_TRUE(GrowArrayAppend(set.graphIndexList, 0));
  }
  // The map's graph in the second view, computed.
  GraphKind2D* AddMap(bool image, const char* x, const char* y, double grain = 0.5) {
    GraphKind2D* g = image ? NewImageGraph(FunctionOf(x), FunctionOf(y), new GraphColor(nullptr), grain,
                                           &set.second2D->drawMap, &set, &set.graphIndexList)
                           : NewMeshGraph(FunctionOf(x), FunctionOf(y), new GraphColor(nullptr), &set.second2D->drawMap,
                                          &set, &set.graphIndexList);
    EXPECT_TRUE(PtrArrayAppend(set.second2D->graphs, static_cast<GraphKind*>(g)));
    g->Compute(kAll);
    return g;
  }
  // Both views drawn side by side on a white canvas; returns the pixels of view k (low 24 bits).
  struct Pictures {
    std::vector<uint32_t> first, second;
  };
  Pictures Draw() {
    draw_test::Canvas canvas(2 * size_ + 10, size_);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    set.first2D->Draw();
    set.second2D->Draw();
    Pictures out;
    for (int32_t v = 0; v < size_; ++v) {
      for (int32_t h = 0; h < size_; ++h) {
        out.first.push_back(canvas.At(h, v) & 0xFFFFFF);
        out.second.push_back(canvas.At(h + size_ + 10, v) & 0xFFFFFF);
      }
    }
    return out;
  }
  // The share of view pixels for which same(first, second, h, v) holds.
  double Share(const Pictures& p, const std::function<bool(const Pictures&, int32_t, int32_t)>& same) const {
    int32_t n = 0;
    for (int32_t v = 0; v < size_; ++v) {
      for (int32_t h = 0; h < size_; ++h) n += same(p, h, v);
    }
    return double(n) / (size_ * size_);
  }
  uint32_t At(const std::vector<uint32_t>& pixels, int32_t h, int32_t v) const { return pixels[size_t(v * size_ + h)]; }
  static int32_t ChannelDifference(uint32_t a, uint32_t b) {
    int32_t d = 0;
    for (int32_t shift : {0, 8, 16}) d = std::max(d, std::abs(int32_t(a >> shift & 255) - int32_t(b >> shift & 255)));
    return d;
  }
  graphs_test::FakeDocument document;
  GraphViewSet set;
  int32_t size_ = 0;
};

// The identity map reproduces the first view: at least 99 % of the pixels exactly, in a plain and
// in an antialiased document (whose double-size buffer the map covers whole), by both kinds. The
// textured image's views are 256 pixels so that the texture is the picture at twice its size.
TEST_F(MappedPictureTest, TheIdentityMapReproducesTheFirstView) {
  for (bool image : {false, true}) {
    for (bool antialiased : {false, true}) {
      Open(image ? 256 : 200, antialiased);
      AddMap(image, "x", "y");
      EXPECT_EQ(set.second2D->drawMap.factorH, antialiased ? 2 : 1);
      const Pictures p = Draw();
      const double exact = Share(p, [&](const Pictures& q, int32_t h, int32_t v) {
        return At(q.first, h, v) == At(q.second, h, v);
      });
      EXPECT_GE(exact, 0.99) << image << antialiased;
      // The plot is neither white nor the paper: the map did carry it over (the views differ
      // without it).
      const double coloured = Share(p, [&](const Pictures& q, int32_t h, int32_t v) {
        return At(q.second, h, v) != 0xFFFFFF && At(q.second, h, v) != kGridColor;
      });
      EXPECT_GT(coloured, 0.8) << image << antialiased;
    }
  }
}

// (X, Y) = (-y, x): the second view shows the first turned by a quarter. On these views world
// (0, 0) is at pixel (128, 127). The mapped picture pulls back: pixel (h, v) takes the first
// view's (v + 1, 255 - h); the textured image pushes forward: the first view's (h, v) lands at
// (v + 1, 255 - h), so pixel (h, v) shows (255 - v, h - 1). No seam: at most 1 % of the pixels
// differ by more than a few levels.
TEST_F(MappedPictureTest, ARotationMapTurnsThePictureWithoutSeams) {
  for (bool image : {false, true}) {
    Open(256, false);
    set.first2D->showAxes = set.second2D->showAxes = 0;
    AddMap(image, "minus[y]", "x");
    const Pictures p = Draw();
    const double off = Share(p, [&](const Pictures& q, int32_t h, int32_t v) {
      const int32_t sh = image ? 255 - v : v + 1, sv = image ? h - 1 : 255 - h;
      if (sh < 0 || sh >= 256 || sv < 0 || sv >= 256) return false;
      return ChannelDifference(At(q.second, h, v), At(q.first, sh, sv)) > 4;
    });
    EXPECT_LE(off, 0.01) << image;
  }
}

// Where the map is undefined (sqrt(x - 100) over this view) and where the first view is white
// (no graphs, paper or axes), the second view keeps its own picture.
TEST_F(MappedPictureTest, UndefinedMapsAndWhiteSourcesLeaveTheViewAlone) {
  for (bool image : {false, true}) {
    Open(200, false);
    GraphKind2D* map = AddMap(image, "sqrt[minus[x,100]]", "y");
    if (!image) {
      const auto* mesh = static_cast<GraphMesh2D*>(map);
      bool allUndefined = true;
      for (int32_t i = 0; i < mesh->Columns() * mesh->Rows(); ++i) {
        allUndefined = allUndefined && std::isinf(mesh->Points()[i].x) && std::isinf(mesh->Points()[i].y);
      }
      EXPECT_TRUE(allUndefined);
    }
    Pictures p = Draw();
    const std::vector<uint32_t> alone = p.second;
    Open(200, false, true);
    set.first2D->showAxes = set.first2D->showGraphPaper = 0;
    AddMap(image, "x", "y");
    p = Draw();
    Open(200, false, true);
    const Pictures none = Draw();  // the second view without any graph
    EXPECT_EQ(p.second, none.second) << image;
    EXPECT_EQ(alone, none.second) << image;
  }
}

// A map to 1e30: clean under the sanitizers, nothing drawn.
TEST_F(MappedPictureTest, FarMapsDrawNothing) {
  for (bool image : {false, true}) {
    Open(200, false);
    AddMap(image, "times[x,power[10,30]]", "power[10,30]");
    const Pictures p = Draw();
    Open(200, false);
    EXPECT_EQ(p.second, Draw().second) << image;  // a second view without the map: the same
  }
}

// The mapped picture's points: a view without height has none and draws nothing; scrolled by 10
// pixels the computed points move 10 columns and the vacated ones are to be computed; by the whole
// width all are; a parameter's frames are replayed without evaluating.
TEST_F(MappedPictureTest, MappedPointsFollowScrollsAndFrames) {
  Open(200, false);
  auto* mesh = static_cast<GraphMesh2D*>(AddMap(false, "plus[x,y]", "times[x,y]"));
  const std::vector<MappedPoint> before(mesh->Points(), mesh->Points() + 200 * 200);
  // The world moved 10 pixels right on the second view (as its scroll moves it, without the
  // computing that follows the scroll there).
  auto scroll = [&](int32_t dh) {
    set.second2D->scale.cornerX -= dh / set.second2D->scale.pixelsPerUnitX;
    set.second2D->UpdatePixelScale();
    set.second2D->UpdateViewMaps();
    mesh->Scroll(dh, 0);
  };
  scroll(10);
  int32_t moved = 0, vacated = 0;
  for (int32_t r = 0; r < 200; ++r) {
    for (int32_t c = 0; c < 200; ++c) {
      const MappedPoint& q = mesh->Points()[r * 200 + c];
      if (c < 10) {
        vacated += std::isnan(q.x) && std::isnan(q.y);
      } else {
        const MappedPoint& old = before[size_t(r * 200 + c - 10)];
        moved += q.x == old.x && q.y == old.y;
      }
    }
  }
  EXPECT_TRUE(vacated == 2000 && moved == 190 * 200) << vacated << " " << moved;
  scroll(-400);
  int32_t pending = 0;
  for (int32_t i = 0; i < 200 * 200; ++i) pending += std::isnan(mesh->Points()[i].x);
  EXPECT_EQ(pending, 200 * 200);

  SetParameterLetter('a');
  SetParameterValue(1);
  Open(100, false);
  mesh = static_cast<GraphMesh2D*>(AddMap(false, "times[a,x]", "y"));
  auto set1 = [&](double a) {
    SetParameterValue(a);
    mesh->VariableChanged('a', a);
    mesh->Compute(kAll);
    return std::vector<float>{mesh->Points()[0].x, mesh->Points()[5050].x};
  };
  const auto one = set1(1), two = set1(2);
  const uint64_t evaluations = mesh->Evaluations();
  EXPECT_TRUE(one != two && set1(1) == one && mesh->Evaluations() == evaluations && mesh->Cache().count == 2);

  Open(200, false);
  set.second2D->rect = MakeRect(210, 0, 410, 0);
  set.second2D->UpdateGeometry();
  mesh = static_cast<GraphMesh2D*>(AddMap(false, "x", "y"));
  EXPECT_TRUE(mesh->Points() == nullptr && mesh->IsComplete());
  EXPECT_TRUE(mesh->Draw());
}

// A defined name whose value moves while the second view has no height is read once the view has
// one again: the mapped picture (and the colour plot, which always did) then computes what a graph
// made at the new value computes.
double gDefinedB = 1;
TEST_F(MappedPictureTest, ANameMovedWhileTheViewHadNoSizeIsSeenWhenItHasOne) {
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'b' ? gDefinedB : 1.0, 0.0}; });
  for (bool plot : {false, true}) {
    auto make = [&] {
      if (!plot) return AddMap(false, "times[b,x]", "plus[y,b]");
      GraphKind2D* g = NewColorPlotGraph(FunctionOf("over[plus[x,b],8]"), FunctionOf("0.5"), FunctionOf("0.5"), nullptr,
                                         0, new GraphColor(nullptr), &set.second2D->drawMap);
      EXPECT_TRUE(PtrArrayAppend(set.second2D->graphs, static_cast<GraphKind*>(g)));
      g->Compute(kAll);
      return g;
    };
    auto values = [&](GraphKind2D* g) {
      std::vector<float> out;
      if (!plot) {
        const auto* mesh = static_cast<GraphMesh2D*>(g);
        for (int32_t i = 0; i < mesh->Columns() * mesh->Rows(); ++i) {
          out.insert(out.end(), {mesh->Points()[i].x, mesh->Points()[i].y});
        }
      } else {
        const auto* colours = static_cast<GraphColorPlot2D*>(g);
        for (int32_t i = 0; i < colours->Columns() * colours->Rows(); ++i) out.push_back(float(colours->Cells()[i]));
      }
      return out;
    };
    auto resize = [&](int32_t height) {
      set.second2D->rect = MakeRect(110, 0, 210, height);
      set.second2D->UpdateGeometry();
    };
    gDefinedB = 1;
    Open(100, false);
    GraphKind2D* g = make();
    const std::vector<float> atOne = values(g);
    resize(0);
    gDefinedB = 2;
    g->VariableChanged('b', 2);
    resize(100);
    g->Compute(kAll);
    const std::vector<float> seen = values(g);
    Open(100, false);
    const std::vector<float> fresh = values(make());
    EXPECT_EQ(seen.size(), (plot ? 1u : 2u) * 100 * 100) << plot;
    EXPECT_NE(seen, atOne) << plot;
    EXPECT_EQ(seen, fresh) << plot;
  }
}

// Zoomed in 21 steps and far from the axes, the view's origin moves by amounts such as
// -13.000000000014552 pixels on a scroll of 13. The mapped picture, the colour plot and the density
// raster move what they computed by the scroll's amounts and compute only the 13 columns (or rows)
// of 100 that came into view; the relation region and the vector field, which keep pixels and
// samples the same way, do far less than a fresh view's work (less than half of it).
TEST_F(MappedPictureTest, AScrollAtDeepZoomComputesOnlyWhatCameIntoView) {
  enum Kind { kMesh, kPlot, kRaster, kRelation, kField };
  for (Kind kind : {kMesh, kPlot, kRaster, kRelation, kField}) {
    Open(100, false, true);
    GraphView2D* view = set.second2D;
    for (int32_t k = 0; k < 21; ++k) view->Command(kZoomInBoth);
    view->ScrollView(123457, -98765);  // away from the axes: the origin's pixel is large
    const ViewMap* map = &view->drawMap;
    GraphKind2D* g = nullptr;
    std::function<uint64_t()> evaluations;
    auto track = [&](auto* made) {
      g = made;
      evaluations = [made] { return made->Evaluations(); };
    };
    switch (kind) {
      case kMesh:
        track(static_cast<GraphMesh2D*>(NewMeshGraph(FunctionOf("x"), FunctionOf("y"), new GraphColor(nullptr), map,
                                                     &set, &set.graphIndexList)));
        break;
      case kPlot:
        track(static_cast<GraphColorPlot2D*>(NewColorPlotGraph(FunctionOf("x"), FunctionOf("y"), FunctionOf("0.5"),
                                                               nullptr, 0, new GraphColor(nullptr), map)));
        break;
      case kRaster:
        track(static_cast<GraphRaster2D*>(NewRasterGraph(FunctionOf("plus[x,y]"), 0.5, new GraphColor(nullptr), map)));
        break;
      case kRelation:
        track(static_cast<GraphRelation2D*>(NewRelationGraph(
            FunctionOf("lessthan[sin[times[1000000000,x]],cos[times[1000000000,y]]]"), nullptr,
            new GraphColor(nullptr), 2, 0, map)));
        break;
      case kField:
        track(static_cast<GraphVectorField2D*>(
            NewVectorFieldGraph(FunctionOf("y"), FunctionOf("x"), new GraphColor(nullptr), 0, map, 1)));
        break;
    }
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(g)));
    g->Compute(kAll);
    const uint64_t whole = evaluations();
    bool fractional = false;
    for (QDPoint by : {MakePoint(13, 0), MakePoint(0, -13), MakePoint(-13, 13)}) {
      const double originH = view->drawMap.originH, originV = view->drawMap.originV;
      const uint64_t before = evaluations();
      view->ScrollView(by.h, by.v);
      g->Compute(kAll);
      const double movedH = view->drawMap.originH - originH, movedV = view->drawMap.originV - originV;
      fractional = fractional || movedH != std::round(movedH) || movedV != std::round(movedV);
      // The columns and rows that came in, counted once where they meet.
      const auto h = uint64_t(std::fabs(std::round(movedH))), v = uint64_t(std::fabs(std::round(movedV)));
      EXPECT_TRUE(h == uint64_t(std::abs(by.h)) && v == uint64_t(std::abs(by.v)));
      const uint64_t work = evaluations() - before;
      if (kind == kRelation || kind == kField) {
        EXPECT_LT(2 * work, whole) << kind << " " << by.h << " " << by.v;
      } else {
        EXPECT_EQ(work, h * 100 + v * 100 - h * v) << kind << " " << by.h << " " << by.v;
      }
    }
    EXPECT_TRUE(fractional) << "the zoom is not deep enough to test anything";
  }
}

// Antialiasing turned on and off in the view: the drawing map's factor changes, the points the
// mapped picture stands for do not; it keeps them (nothing evaluated) and they are a fresh
// picture's on the new map.
TEST_F(MappedPictureTest, AntialiasingOnAndOffKeepsTheMappedPoints) {
  Open(100, false);
  auto* mesh = static_cast<GraphMesh2D*>(AddMap(false, "plus[x,times[y,y]]", "times[x,y]"));
  const std::vector<MappedPoint> plain(mesh->Points(), mesh->Points() + 100 * 100);
  auto same = [&] {
    int32_t n = 0;
    for (int32_t i = 0; i < 100 * 100; ++i) {
      n += mesh->Points()[i].x == plain[size_t(i)].x && mesh->Points()[i].y == plain[size_t(i)].y;
    }
    return n;
  };
  const uint64_t evaluations = mesh->Evaluations();
  for (bool antialiased : {true, false}) {
    document.antialiased = antialiased;
    set.second2D->UpdateGeometry();
    ASSERT_EQ(set.second2D->drawMap.factorH, antialiased ? 2 : 1);
    mesh->Compute(kAll);
    EXPECT_EQ(mesh->Evaluations(), evaluations) << antialiased;
    EXPECT_EQ(same(), 100 * 100) << antialiased;
  }
  Open(100, true);
  mesh = static_cast<GraphMesh2D*>(AddMap(false, "plus[x,times[y,y]]", "times[x,y]"));
  EXPECT_EQ(same(), 100 * 100);
}

// The textured image's grid: 300 pixels at grain 0.5, 1 and 0 give 32, 62 and 22 columns; grain 2
// is taken as 1. Zooming the first view between draws makes the grid again; scrolling the second
// resets it at once.
TEST_F(MappedPictureTest, TheImagesGridFollowsTheGrainAndTheFirstView) {
  const struct {
    double grain;
    int32_t columns;
  } cases[] = {{0.5, 32}, {1, 62}, {0, 22}, {2, 62}, {NAN, 32}};
  for (const auto& c : cases) {
    Open(300, false);
    auto* image = static_cast<GraphImage2D*>(AddMap(true, "x", "y", c.grain));
    EXPECT_EQ(image->Columns(), c.columns) << c.grain;
  }
  auto* image = static_cast<GraphImage2D*>(set.second2D->graphs.data[0]);
  const MappedPoint corner = image->Points()[0];
  set.first2D->Command(kZoomInBoth);
  Draw();
  EXPECT_TRUE(image->IsComplete() && image->Points()[0].x != corner.x);
  image->Scroll(5, 0);  // as the second view scrolls
  EXPECT_FALSE(image->IsComplete());
}

// A grid allocated (by the build, a scroll of the second view, a grain, a parameter) holds no
// points until it is computed: a draw before then leaves the view as it is without the graph,
// whatever the grid's memory holds. The grid is poisoned with what a computed twin holds (points
// that would draw the whole picture: what stale memory does, 39,235 pixels after a scroll); once
// computed, the picture is drawn.
TEST_F(MappedPictureTest, TheImageDrawsNothingUntilItsGridIsComputed) {
  SetParameterLetter('a');
  SetParameterValue(1);
  const struct Case {
    const char* reset;
    std::function<void(GraphImage2D*)> apply;
  } cases[] = {
      {"build", nullptr},
      {"scroll", [](GraphImage2D* g) { g->Scroll(5, 0); }},
      {"geometry", [](GraphImage2D* g) { g->GeometryChanged(); }},
      {"grain", [](GraphImage2D* g) { g->SetOption(8, 0.5); }},
      {"parameter", [](GraphImage2D* g) { g->VariableChanged('a', 1); }},
  };
  for (const Case& c : cases) {
    Open(200, false);
    const Pictures bare = Draw();
    auto* twin = static_cast<GraphImage2D*>(NewImageGraph(FunctionOf("times[a,x]"), FunctionOf("y"),
                                                          new GraphColor(nullptr), 0.5, &set.second2D->drawMap, &set,
                                                          &set.graphIndexList));
    twin->Compute(kAll);
    auto* image = static_cast<GraphImage2D*>(NewImageGraph(FunctionOf("times[a,x]"), FunctionOf("y"),
                                                           new GraphColor(nullptr), 0.5, &set.second2D->drawMap, &set,
                                                           &set.graphIndexList));
    ASSERT_TRUE(PtrArrayAppend(set.second2D->graphs, static_cast<GraphKind*>(image)));
    if (c.apply) {
      image->Compute(kAll);
      c.apply(image);
    }
    ASSERT_FALSE(image->IsComplete()) << c.reset;
    ASSERT_EQ(image->Columns() * image->Rows(), twin->Columns() * twin->Rows()) << c.reset;
    std::copy(twin->Points(), twin->Points() + size_t(twin->Columns()) * size_t(twin->Rows()),
              const_cast<MappedPoint*>(image->Points()));
    delete twin;
    const Pictures early = Draw();
    EXPECT_EQ(early.second, bare.second) << c.reset;
    image->Compute(kAll);
    const Pictures drawn = Draw();
    int32_t changed = 0;
    for (size_t k = 0; k < drawn.second.size(); ++k) changed += drawn.second[k] != bare.second[k];
    EXPECT_GT(changed, 10000) << c.reset;
  }
}

// A map undefined left of x = 0: cells with two undefined corners leave the view alone, a cell
// with one draws one triangle; the right half is drawn.
TEST_F(MappedPictureTest, TheImageLeavesHolesWhereCornersAreUndefined) {
  Open(256, false);
  set.first2D->showAxes = set.second2D->showAxes = 0;
  AddMap(true, "plus[x,times[0,sqrt[x]]]", "y");
  const Pictures p = Draw();
  Open(256, false);
  set.first2D->showAxes = set.second2D->showAxes = 0;
  const Pictures bare = Draw();
  int32_t leftChanged = 0, rightSame = 0;
  for (int32_t v = 0; v < 256; ++v) {
    for (int32_t h = 0; h < 256; ++h) {
      if (h < 118) leftChanged += At(p.second, h, v) != At(bare.second, h, v);
      if (h >= 140) rightSame += At(p.second, h, v) == At(p.first, h, v);
    }
  }
  EXPECT_EQ(leftChanged, 0);
  EXPECT_GE(rightSame, int32_t(0.99 * 116 * 256));
}

// Points or a grid refused: error 7, and the graph is complete at once with nothing to draw.
TEST_F(MappedPictureTest, RefusedStorageLeavesThemCompleteAndEmpty) {
  for (bool image : {false, true}) {
    Open(200, false);
    CompiledFunction* x = FunctionOf("x");
    CompiledFunction* y = FunctionOf("y");
    auto* colour = new GraphColor(nullptr);
    ResetErrorRegister();
    FailAllocationAt(1, true);
    GraphKind2D* g = image ? NewImageGraph(x, y, colour, 0.5, &set.second2D->drawMap, &set, &set.graphIndexList)
                           : NewMeshGraph(x, y, colour, &set.second2D->drawMap, &set, &set.graphIndexList);
    FailAllocationAt(0);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->IsComplete() && PendingError() == kErrorOutOfMemory && g->Status() == 0) << image;
    g->Compute(kAll);
    EXPECT_TRUE(g->Draw());
    delete g;
  }
}

// Memory refused while drawing: the texture block (the one counted block of a draw when the
// buffers come from the drawing layer's allocator): error 7, nothing drawn; any of the buffers
// (the first view's picture, the image's own, the texture's 512 x 512 one): nothing left behind.
// Every counted byte is back after each.
TEST_F(MappedPictureTest, ARefusedDrawFreesEverythingItMade) {
  for (bool image : {false, true}) {
    Open(image ? 256 : 200, false);
    GraphKind2D* map = AddMap(image, "x", "y");
    Draw();  // what a first draw keeps (the views' buffers and patterns) is kept from here
    draw_test::Canvas canvas(2 * size_ + 10, size_);
    auto white = [&] { canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; }); };
    ResetErrorRegister();
    const size_t bytes = GetBytesInUse();
    if (image) {
      white();
      {
        draw_test::Refusal buffersFromTheLayer(0);
        FailAllocationAt(1, true);
        map->Draw();
        FailAllocationAt(0);
      }
      EXPECT_EQ(PendingError(), kErrorOutOfMemory);
      EXPECT_EQ(canvas.Count(draw_test::kWhitePixel), (2 * size_ + 10) * size_);
      EXPECT_EQ(GetBytesInUse(), bytes);
    }
    for (int32_t n = 1; n <= 4; ++n) {
      white();
      {
        draw_test::Refusal refusal(n);
        map->Draw();
        EXPECT_EQ(draw_test::FailingAllocator::live, 0) << n;
      }
      EXPECT_EQ(GetBytesInUse(), bytes) << image << n;
    }
  }
}

// A draw between the frames of a zoom of the first view makes the image's grid again while the
// Compute it started at the last frame lies suspended on the worker: that Compute is abandoned
// first (taken up again it wrote into the freed grid), and the grid computed next holds the points
// a fresh image computes at one go on the moved view.
TEST_F(MappedPictureTest, TheImagesGridMadeAgainAbandonsTheComputeSuspendedInIt) {
  Open(64, false);
  auto* image = static_cast<GraphImage2D*>(AddMap(true, "x", "y"));
  image->Invalidate();
  UseComputeWorker(true);
  SetComputeTurnsForTests(true);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(ComputeInTurns(image, 1), ComputeOutcome::kSuspended);
  // The first view moved as a frame of a zoom or a pan moves it, its maps and nothing else: no
  // view-set change, and no change of the view's own graphs (which abandons what lies suspended).
  set.first2D->scale.cornerX += 0.75;
  set.first2D->UpdatePixelScale();
  set.first2D->UpdateViewMaps();
  const uint64_t abandoned = ComputesAbandoned();
  Draw();
  EXPECT_EQ(ComputesAbandoned(), abandoned + 1);
  for (int calls = 0; calls < 100000 && (ComputeSuspended() || !image->IsComplete()); ++calls) {
    ComputeInTurns(image, 1);
  }
  UseComputeWorker(false);
  SetComputeTurnsForTests(false);
  auto* fresh = static_cast<GraphImage2D*>(NewImageGraph(FunctionOf("x"), FunctionOf("y"), new GraphColor(nullptr),
                                                         0.5, &set.second2D->drawMap, &set, &set.graphIndexList));
  fresh->Compute(kAll);
  ASSERT_TRUE(image->IsComplete() && image->Columns() == fresh->Columns() && image->Rows() == fresh->Rows());
  const size_t n = size_t(fresh->Columns()) * size_t(fresh->Rows());
  EXPECT_TRUE(std::equal(image->Points(), image->Points() + n, fresh->Points(), [](MappedPoint a, MappedPoint b) {
    return a.x == b.x && a.y == b.y;
  }));
  delete fresh;
}

}  // namespace
