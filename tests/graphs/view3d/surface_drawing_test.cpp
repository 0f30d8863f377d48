// The surfaces drawn by the 3D view against golden pictures, 200 x 200 from the default orientation,
// by the software rasteriser (exact) and by Mesa's GL in both GL kinds (within 2 a channel on 0.5 %
// of the pixels, the frame tests' tolerance): a parametric torus in the six hue steps, an implicit
// sphere with its gradient normals, the companion (that sphere squeezed to half its height) in a
// view of its own, and a parametric surface coloured by expressions, which GL draws through its
// generated colour program and the software rasteriser from the CPU's colours. The goldens were
// checked by eye when made. QV_UPDATE_GOLDENS=1 rewrites them.
#include "graphs/core/graph_color.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "graphs/view3d/surface_companion_3d.h"
#include "graphs/view3d/surface_shading.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/graphics/gl/frame_test_support.h"
#include "tests/graphs/view3d/surface_test_support.h"
#include "tests/graphs/view3d/view_3d_frame_test.h"

namespace {

using surface_test::FunctionOf;

constexpr const char* kSphere = "plus[power[x,2],power[y,2],power[z,2],minus[1.69]]";

class SurfaceDrawingTest : public view3d_test::View3DFrameTest {
 protected:
  void TearDown() override {
    delete view;  // before the parent's view: a companion reads its parent
    view = nullptr;
    delete other;
    SetExpandDerivativesPass(nullptr);
    View3DFrameTest::TearDown();
  }
  void Add(GraphView3D* v, GraphKind3D* graph) { ASSERT_TRUE(PtrArrayAppend(v->graphs, static_cast<GraphKind*>(graph))); }
  GraphColor* Colour(GraphView3D* v, double index) {
    auto* colour = new GraphColor(v->context);
    SetGraphColorIndex(colour, index);
    return colour;
  }
  // Computes and hands over every graph in the context the view has now, then draws it; a graph
  // that found its colour programs gone with the old context starts over, so it is computed and
  // drawn again.
  bool DrawOnce() override {
    bool drawn = false;
    for (int attempt = 0; attempt < 3 && !(drawn && view->IsReady()); ++attempt) {
      for (GraphView3D* v : {other, view}) {
        if (v == nullptr) continue;
        v->Tick(1 << 30);
        EXPECT_TRUE(v->IsReady());
        v->SetOption(kOptionUploadMeshes, 0);
      }
      drawn = view->DrawFrame();
    }
    return drawn;
  }
  GraphSurface3D* Surface(GraphView3D* v, const char* x, const char* y, const char* z, double grain, GraphColor* c,
                          double* ranges) {
    return new GraphSurface3D(FunctionOf(x), FunctionOf(y), FunctionOf(z), grain, 1.0, c, nullptr, 2, &ranges[0],
                              &ranges[1], &ranges[2], &ranges[3], v->context);
  }
  GraphImplicitSurface3D* Implicit(GraphView3D* v, double index) {
    const double* box = v->settings.camera.box;
    return new GraphImplicitSurface3D(FunctionOf(kSphere), 0.5, 1.0, Colour(v, index), nullptr, box, box + 1, box + 2,
                                      box + 3, box + 4, box + 5, v->context);
  }
  GraphView3D* other = nullptr;  // a parent's view, computed but not drawn
  double ranges[4] = {0, kTwoPi, 0, kTwoPi};
};

TEST_F(SurfaceDrawingTest, AParametricTorusInHueStepsMatchesItsGoldens) {
  Add(view, Surface(view, "times[plus[1.2,times[0.5,cos[v]]],cos[u]]", "times[plus[1.2,times[0.5,cos[v]]],sin[u]]",
                    "times[0.5,sin[v]]", 0.5, Colour(view, 15), ranges));
  ExpectGoldens("surface-parametric");
}

TEST_F(SurfaceDrawingTest, AnImplicitSphereMatchesItsGoldens) {
  surface_test::InstallDerivatives(
      {{kSphere, 'x', "times[2,x]"}, {kSphere, 'y', "times[2,y]"}, {kSphere, 'z', "times[2,z]"}});
  Add(view, Implicit(view, 3));
  ExpectGoldens("surface-implicit");
}

TEST_F(SurfaceDrawingTest, TheCompanionOfAnImplicitSphereMatchesItsGoldens) {
  surface_test::InstallDerivatives(
      {{kSphere, 'x', "times[2,x]"}, {kSphere, 'y', "times[2,y]"}, {kSphere, 'z', "times[2,z]"}});
  other = NewStillView();
  GraphImplicitSurface3D* parent = Implicit(other, 2);
  Add(other, parent);
  Add(view, new GraphSurfaceCompanion3D(FunctionOf("x"), FunctionOf("y"), FunctionOf("times[0.5,z]"), parent,
                                        view->context));
  ExpectGoldens("surface-companion");
}

// Colour by expressions: GL draws through the generated program (mode 11, the programs made in the
// view's context), the software rasteriser from the CPU's vertex colours (mode 9, no program).
TEST_F(SurfaceDrawingTest, ExpressionColoursTakeTheGpuProgramInGLAndTheCpuPathInSoftware) {
  GraphColor* colour = Colour(view, 1);
  colour->mode = kColorRGBExpressions;
  const char* c[3] = {"times[0.5,plus[x,2]]", "times[0.25,plus[y,2]]", "0.3"};
  for (int k = 0; k < 3; ++k) colour->component[k] = FunctionOf(c[k]);
  double square[4] = {-1.5, 1.5, -1.5, 1.5};
  GraphSurface3D* s = Surface(view, "u", "v", "times[0.3,plus[power[u,2],minus[power[v,2]]]]", 0.5, colour, square);
  Add(view, s);
  for (int32_t kind : {kContextQuickDraw, kContextGLOffscreen, kContextGLWindow}) {
    const bool software = kind == kContextQuickDraw;
    const std::vector<uint32_t> pixels = Frame(kind);
    EXPECT_EQ(ColourHasProgram(s->Color()), !software) << kind;
    EXPECT_EQ(s->Color()->mode, software ? uint32_t(kColorRGBExpressions) : uint32_t(kColorGPUProgram)) << kind;
    EXPECT_EQ(s->Colors() != nullptr, software) << kind;
    frame_test::ExpectMatchesGolden(std::string("surface-expression-colour") + (software ? "-software" : "-gl"),
                                    pixels, kSide, software ? 0 : 2, software ? 0.0 : 0.005, "graphs");
  }
}

}  // namespace
