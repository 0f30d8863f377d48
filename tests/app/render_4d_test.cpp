// quorvalis-render with a document in 4D (a line @view=4d): the 4D example (a helix and w = z^2 / 4)
// draws its grid, its axes in cyan and its lit surface through Mesa's GL offscreen and through the
// software rasteriser; the ranges given move the picture; a 4D row in a plane document is built
// and said to be in the 4D view; the axes carry their letters x, y, z and w, drawn beside the ends
// that a 4D frame of the same document stores in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "document/axis_labels_4d.h"
#include "document/document_file.h"
#include "document/document_record.h"
#include "graphics/graphics_layer.h"
#include "graphics/qd_layer.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/kernel_startup.h"
#include "tests/app/app_test_support.h"

namespace {

using app_test::Outcome;
using app_test::RendererEnvironments;
using app_test::RunRender;
using app_test::Temp;

// Axis pixels (cyan, faded towards grey by depth in GL), and the distinct shades of the red surface.
struct Picture {
  int axis = 0, red = 0;
  std::set<uint32_t> shades;
  std::vector<uint32_t> pixels;
};
Picture Look(const std::string& png) {
  Picture picture;
  for (const uint32_t pixel : app_test::PngPixels(png)) {
    const uint32_t p = pixel & 0xFFFFFF;
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    picture.axis += g > r + 60 && b > r + 60 && g > 120;
    if (r > g + 40 && r > b + 40) {
      ++picture.red;
      picture.shades.insert(p);
    }
    picture.pixels.push_back(p);
  }
  return picture;
}

TEST(Render4DTest, ADocumentWithAView4DLineDrawsThe4DView) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const std::string example = std::string(QV_SOURCE_DIR) + "/examples/four-d.txt";
  const RendererEnvironments renderers("qv_config_4d");
  const std::string& gl = renderers.gl;
  const std::string png = Temp("qv_four_d.png");
  const struct {
    std::string environment;
    const char* drawnBy;
  } cases[] = {{gl, "4D by OpenGL"}, {renderers.software, "4D by the software rasteriser"}};
  for (const auto& c : cases) {
    std::remove(png.c_str());
    Outcome run = RunRender("--size 240x200 --output " + png + " " + example, c.environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(c.drawnBy), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("2 graphs"), std::string::npos) << run.output;
    const Picture drawn = Look(png);
    ASSERT_EQ(drawn.pixels.size(), 240u * 200u);
    EXPECT_GT(drawn.axis, 30) << c.drawnBy;
    EXPECT_GT(drawn.red, 2000) << c.drawnBy;
    EXPECT_GT(drawn.shades.size(), 40u) << c.drawnBy << ": the surface is lit, not flat";
    // The x range 0..4 shows another part of both graphs.
    run = RunRender("--size 240x200 --x 0,4 --output " + png + " " + example, c.environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(Look(png).pixels, drawn.pixels) << c.drawnBy;
  }
  const std::string document = Temp("qv_plane_with_4d.txt");
  std::ofstream(document) << "equal[y,x]\nequal[w,power[z,2]]\n";
  const Outcome run = RunRender(document + " --output " + png, gl);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(document + ":2: note: its graph is in the 4D view"), std::string::npos) << run.output;
  std::remove(document.c_str());
  std::remove(png.c_str());
}

// The axis ends and letter centres a 4D frame of the document stores, drawn in this process (by the
// software rasteriser: the points do not depend on the renderer) into a pane of the size.
struct AxisPoints {
  double ends[4][2], letters[4][2];
};
testing::AssertionResult StoredAxisPoints(const std::string& path, int width, int height, AxisPoints* out) {
  InitApplicationGlobals();
  if (!InitGraphicsLayer()) return testing::AssertionFailure() << "no graphics layer";
  const QDRect pane = MakeRect(0, 0, width, height);
  DocumentRecord document(pane);
  std::vector<int> lines;
  std::vector<DocumentProblem> problems;
  std::string error;
  if (!ReadDocumentFile(path, &document, &lines, &problems, &error) || !problems.empty()) {
    return testing::AssertionFailure() << "cannot read " << path << error;
  }
  document.paneBuffer = NewGWorld32(pane);
  SetCurrentDocument(&document);
  BuildDocumentRowGraphs(&document);
  GraphView4D* view = document.viewSet.view4D;
  view->DrawFrame();
  SetCurrentDocument(nullptr);
  if (!document.axisLabels4DStored) return testing::AssertionFailure() << "no 4D frame drew its axes";
  for (int k = 0; k < 4; ++k) {
    AxisLabelPixel4D(*view, document.axisLabels4D[2 * k + 2], document.axisLabels4D[2 * k + 3], &out->ends[k][0],
                     &out->ends[k][1]);
    if (!AxisLetterCentre4D(document, k, &out->letters[k][0], &out->letters[k][1])) {
      return testing::AssertionFailure() << "no letter for axis " << k;
    }
  }
  return testing::AssertionSuccess();
}

// Pixels within `radius` of (x, y) in a picture of the width that the test holds.
template <class Test>
int PixelsNear(const std::vector<uint32_t>& pixels, int width, double x, double y, int radius, Test test) {
  const int height = static_cast<int>(pixels.size()) / width;
  int n = 0;
  for (int v = std::max(int(y) - radius, 0); v <= std::min(int(y) + radius, height - 1); ++v)
    for (int h = std::max(int(x) - radius, 0); h <= std::min(int(x) + radius, width - 1); ++h)
      n += test(pixels[size_t(v) * width + h] & 0xFFFFFF);
  return n;
}

TEST(Render4DTest, TheAxesCarryTheirLettersBesideTheirEnds) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("EGL_PLATFORM", "surfaceless", 1);
  const std::string document = Temp("qv_helix_4d.txt");
  std::ofstream(document) << "@view=4d\nequal[matrix[4,1,x,y,u,v],matrix[4,1,cos[times[6,t]],sin[times[6,t]],t,t]]\n";
  AxisPoints stored{};
  ASSERT_TRUE(StoredAxisPoints(document, 240, 200, &stored));
  const auto cyan = [](uint32_t p) {  // faded towards grey by depth in GL
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return g > r + 30 && b > r + 30;
  };
  const auto ink = [](uint32_t p) {  // the letters' near black
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 40;
  };
  const RendererEnvironments renderers("qv_config_4d_letters");
  const std::string png = Temp("qv_helix_4d.png");
  for (const std::string& environment : {renderers.gl, renderers.software}) {
    std::remove(png.c_str());
    const Outcome run = RunRender("--size 240x200 --output " + png + " " + document, environment);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<uint32_t> pixels = app_test::PngPixels(png);
    ASSERT_EQ(pixels.size(), 240u * 200u);
    for (int k = 0; k < 4; ++k) {
      EXPECT_GT(PixelsNear(pixels, 240, stored.ends[k][0], stored.ends[k][1], 4, cyan), 0)
          << run.output << ": axis " << k << " ends where it was stored";
      EXPECT_GE(PixelsNear(pixels, 240, stored.letters[k][0], stored.letters[k][1], 6, ink), 4)
          << run.output << ": the letter of axis " << k;
    }
  }
  std::remove(document.c_str());
  std::remove(png.c_str());
}

}  // namespace
