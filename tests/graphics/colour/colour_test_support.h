// Shared set-up of the colour-program tests: formula text read by the kernel's reader, compiled
// functions over it, a fixture that resets the process-wide records and proves that no node or
// counted byte outlives a test, and for the GL tests a 64 x 64 view on Mesa with a surface whose
// vertices lie on the pixel centres, drawn once with the GPU program and once with the CPU
// colour path (the colour expressions evaluated at each vertex, as the surfaces colour them).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/colour/colour_program_state.h"
#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/shader_program.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/hsv_colour.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/tree_seams.h"
#include "tests/graphics/gl/frame_test_support.h"

namespace colour_test {

// Formula text with blanks dropped.
inline ExprNode* Parse(const std::string& text) {
  std::string compact;
  for (char c : text) compact += c == ' ' ? "" : std::string(1, c);
  SetFormulaReaderText(compact.c_str());
  ExprNode* tree = ParseFormulaText();
  EXPECT_NE(tree, nullptr) << "unreadable: " << text;
  return tree;
}

// A parsed tree freed at the end of its scope.
struct Tree {
  explicit Tree(const std::string& text) : node(Parse(text)) {}
  ~Tree() { FreeExpression(node); }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  operator ExprNode*() const { return node; }
  ExprNode* const node;
};

// An uncompiled function over the parsed text (null for an empty text).
inline CompiledFunction* FunctionOf(const std::string& text) {
  if (text.empty()) return nullptr;
  auto* function = new CompiledFunction{};
  InitFunction(function, Parse(text));
  return function;
}

inline void DeleteFunction(CompiledFunction* function) {
  if (function == nullptr) return;
  DisposeFunction(function);
  delete function;
}

// The process-wide records the colour programs touch, back to their start.
inline void ResetColourRecords() {
  ResetMemoryBudgetForTest();
  FailNodeAllocationAt(0);
  ResetErrorRegister();
  ResetTreeSeams();
  ResetEvaluationSeams();
  ResetColorProgramGlobalsForTest();
  FreeEvalScratch();
  ReleaseNodePools();
}

// Counts nodes and counted bytes from construction to Verify.
class LeakCheck {
 public:
  LeakCheck() : blocks_(NodePoolBlocksInUse()), bytes_(GetBytesInUse()) {}
  void Verify() const {
    EXPECT_EQ(NodePoolBlocksInUse(), blocks_) << "node pool blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytes_) << "counted heap bytes leaked";
  }

 private:
  size_t blocks_, bytes_;
};

class ColourTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetColourRecords();
    leaks_ = LeakCheck();
  }
  void TearDown() override {
    ResetColourRecords();
    leaks_.Verify();
  }
  LeakCheck leaks_;
};

// Lines of a text that start with the given prefix.
inline int CountLines(const std::string& text, const std::string& prefix) {
  int n = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, prefix.size(), prefix) == 0) ++n;
    at = end + 1;
  }
  return n;
}

// ---- GL: a surface over the whole view -----------------------------------------------------------

// Vertex position in, the model-view-projection applied, white out, the position passed on as the
// first texture coordinate: the fragment program's colour reaches the pixel unlit.
inline constexpr const char* kPassThroughVertexProgram =
    "!!ARBvp1.0\n"
    "PARAM mvp[4] = { state.matrix.mvp };\n"
    "PARAM white = { 1, 1, 1, 1 };\n"
    "DP4 result.position.x, mvp[0], vertex.position;\n"
    "DP4 result.position.y, mvp[1], vertex.position;\n"
    "DP4 result.position.z, mvp[2], vertex.position;\n"
    "DP4 result.position.w, mvp[3], vertex.position;\n"
    "MOV result.color, white;\n"
    "MOV result.texcoord[0], vertex.position;\n"
    "MOV result.texcoord[1], vertex.texcoord[0];\n"
    "END\n";

// The view shows x and y in [-3, 3]; pixel (i, j), j from the top, has its centre at
// (PixelX(i), PixelY(j)); the surface is the plane z = 0.25 + 0.3 x - 0.2 y.
inline constexpr int32_t kSide = 64;  // the side of frame_test::FrameTest's view
inline double PixelX(int32_t i) { return -3.0 + 6.0 * (i + 0.5) / kSide; }
inline double PixelY(int32_t j) { return 3.0 - 6.0 * (j + 0.5) / kSide; }
inline double PlaneZ(double x, double y) { return 0.25 + 0.3 * x - 0.2 * y; }

// A vertex on every pixel centre, one row and column beyond each edge so that every pixel is
// covered; triangles counter-clockwise as seen.
struct PixelGrid {
  std::vector<float> vertices;
  std::vector<uint32_t> triangles;
  PixelGrid() {
    const int32_t n = kSide + 2;
    for (int32_t j = -1; j <= kSide; ++j) {
      for (int32_t i = -1; i <= kSide; ++i) {
        const double x = PixelX(i), y = PixelY(j);
        vertices.insert(vertices.end(), {float(x), float(y), float(PlaneZ(x, y))});
      }
    }
    for (int32_t j = 0; j + 1 < n; ++j) {
      for (int32_t i = 0; i + 1 < n; ++i) {
        const uint32_t a = uint32_t(j * n + i), b = a + 1, c = a + uint32_t(n), d = c + 1;  // c below a
        triangles.insert(triangles.end(), {a, c, b, b, c, d});
      }
    }
  }
  int32_t VertexCount() const { return int32_t(vertices.size() / 3); }
  uint32_t TriangleCount() const { return uint32_t(triangles.size() / 3); }
};

// The CPU colour of a point: the three expressions evaluated at (u, v, x, y, z, w) = (0, 0, x, y,
// z, 0); the second and third values clamped to [0, 1], the first too for RGB; HSV converted.
inline void CpuColour(CompiledFunction* const f[3], bool hsv, double x, double y, double z, float out[3]) {
  double c[3];
  for (int k = 0; k < 3; ++k) c[k] = EvaluateFunction6(f[k], 0, 0, x, y, z, 0);
  auto clamp01 = [](double v) { return v > 1 ? 1.0 : v > 0 ? v : 0.0; };
  for (int k = hsv ? 1 : 0; k < 3; ++k) c[k] = clamp01(c[k]);
  if (hsv) HSVToRGB(c[0], c[1], c[2]);
  for (int k = 0; k < 3; ++k) out[k] = float(c[k]);
}

// One colour of the gallery: three expressions (RGB or HSV, hue in turns) and a condition ("" for
// none).
struct ColourGalleryCase {
  const char* name;
  const char* component[3];
  bool hsv;
  const char* condition;
};

// Everything a colour owns, released.
inline void ReleaseColour(GraphColorCore* color) {
  for (CompiledFunction*& f : color->component) {
    DeleteFunction(f);
    f = nullptr;
  }
  DeleteColorPrograms(color);
  DeleteColorParameters(color);
  DeleteColorTexture(color);
}

// Pixels of a and b that differ by more than `tolerance` in some channel.
inline int CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      if (std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF)) > tolerance) {
        ++n;
        break;
      }
    }
  }
  return n;
}

// A view with the colour drawn by its GPU program and by the CPU path.
class ColourGLTest : public frame_test::FrameTest {
 protected:
  void SetUp() override {
    ResetColourRecords();
    leaks_ = LeakCheck();
    FrameTest::SetUp();
    gl_test::gDocument.background = {kBackgroundSolid, kBackground};
  }
  void TearDown() override {
    FrameTest::TearDown();
    ResetColourRecords();
    leaks_.Verify();
  }

  // Begins an offscreen frame and loads the orthographic view of the grid, unlit, without depth.
  void BeginGridFrame(uint8_t twoPass = 0) {
    ASSERT_EQ(Begin(kContextGLOffscreen, twoPass), kContextGLOffscreen);
    const GLEntryPoints& gl = GLApi();
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadIdentity();
    gl.Ortho(-3, 3, -3, 3, -10, 10);
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadIdentity();
    gl.Disable(GL_LIGHTING);
    gl.Disable(GL_DEPTH_TEST);
  }
  void DrawGrid(const float* colours) {
    SetGLVertexArray(grid.vertices.data(), grid.VertexCount(), ctx);
    if (colours != nullptr) SetGLColorArray(colours, ctx);
    DrawGLTriangleElements(grid.triangles.data(), grid.TriangleCount(), ctx);
    if (colours != nullptr) DisableColorArray(ctx);
  }
  // The colour's program pair with the pass-through vertex half, two-sided as the surfaces draw.
  bool DrawWithProgram(GraphColorCore* color) {
    DeleteShaderProgram(color->vertexProgram);
    color->vertexProgram = NewShaderProgram("pass-through", kPassThroughVertexProgram, false);
    if (!BeginColorShadingPass(color, ctx)) {
      EndTwoSidedShading(ctx);
      return false;
    }
    DrawGrid(nullptr);
    FlipTwoSidedShading(ctx);
    DrawGrid(nullptr);
    EndTwoSidedShading(ctx);
    return true;
  }
  // The CPU path: per-vertex colours of the expressions (compiled as one batch, as the colour
  // compiles them), then pixels whose centre fails the condition show the background.
  std::vector<uint32_t> RenderCpu(const std::string texts[3], bool hsv, const std::string& condition) {
    CompiledFunction* f[3] = {FunctionOf(texts[0]), FunctionOf(texts[1]), FunctionOf(texts[2])};
    CompileFunctions3(f[0], f[1], f[2]);
    std::vector<float> colours(grid.vertices.size());
    for (size_t v = 0; v < colours.size(); v += 3) {
      CpuColour(f, hsv, grid.vertices[v], grid.vertices[v + 1], grid.vertices[v + 2], &colours[v]);
    }
    BeginGridFrame();
    DrawGrid(colours.data());
    End();
    std::vector<uint32_t> pixels = Pixels();
    if (CompiledFunction* c = FunctionOf(condition)) {
      CompileFunction(c);
      for (int32_t j = 0; j < kSide; ++j) {
        for (int32_t i = 0; i < kSide; ++i) {
          const double x = PixelX(i), y = PixelY(j);
          if (!(EvaluateFunction6(c, 0, 0, x, y, PlaneZ(x, y), 0) > 0.5)) pixels[size_t(j * kSide + i)] = kBackground;
        }
      }
      DeleteFunction(c);
    }
    for (CompiledFunction* g : f) DeleteFunction(g);
    return pixels;
  }

  // The case drawn with its program (the RGB conversion of HSV in the program itself) and with
  // the CPU path: at most 0.5 % of the pixels differ by more than 2 in a channel. On failure both
  // images go to golden-failures/ in the working directory.
  void ExpectGpuMatchesCpu(const ColourGalleryCase& c) {
    GraphColorCore color(ctx);
    BeginGridFrame();
    ctx->rendererIsNVidia = 1;  // the dynamic-buffer flag: programs convert HSV themselves
    color.mode = c.hsv ? kColorHSVExpressions : kColorRGBExpressions;
    for (int k = 0; k < 3; ++k) {
      color.component[k] = FunctionOf(c.component[k]);
      CompileFunction(color.component[k]);
    }
    CompiledFunction* condition = FunctionOf(c.condition);
    if (condition != nullptr) CompileFunction(condition);
    PrepareColorShaderPrograms(&color, condition, 0, ctx);
    ASSERT_EQ(color.mode, kColorGPUProgram) << c.name << messages;
    ASSERT_TRUE(DrawWithProgram(&color)) << c.name << messages;
    End();
    const std::vector<uint32_t> gpu = Pixels();
    ReleaseColour(&color);
    DeleteFunction(condition);
    const std::string texts[3] = {c.component[0], c.component[1], c.component[2]};
    const std::vector<uint32_t> cpu = RenderCpu(texts, c.hsv, c.condition);
    const int differing = CountDifferences(gpu, cpu, 2);
    EXPECT_LE(differing, kSide * kSide / 200) << c.name;
    if (differing > kSide * kSide / 200) {
      std::filesystem::create_directories("golden-failures");
      const std::string stem = std::string("golden-failures/colour-") + c.name;
      WritePngFile((stem + "-gpu.png").c_str(), gpu.data(), kSide, kSide, kSide * 4, false);
      WritePngFile((stem + "-cpu.png").c_str(), cpu.data(), kSide, kSide, kSide * 4, false);
    }
  }

  static constexpr uint32_t kBackground = 0x123456;
  PixelGrid grid;
  LeakCheck leaks_;
};

}  // namespace colour_test
