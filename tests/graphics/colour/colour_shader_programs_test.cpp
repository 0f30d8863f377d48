// The colour programs on Mesa: the stored program texts, stored parameter values fed four to a
// local, modes 9 and 10 becoming 11 and back, captures without shader support, context rebuilds that
// drop the programs once and spare another colour's, the test load's context, mode 11 keeping its
// expressions, old programs gone whenever none is made, drafts abandoned at any turn leaving
// nothing, and drafts refused in another context state.
#include <gtest/gtest.h>

#include <EGL/egl.h>

#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "graphics/gl/default_programs.h"
#include "graphics/gl/gl_globals.h"
#include "kernel/eval/evaluation_budget.h"
#include "platform/draw/picture.h"
#include "tests/graphics/colour/colour_test_support.h"

namespace {

using colour_test::FunctionOf;
using colour_test::ReleaseColour;

// Parameters a, b, c, d, f, g, h (the document's defined names) are 1 to 7, plus `shift`.
double gShift = 0;
void InstallOneToSeven() {
  SetDefinedValueLookup([](Complex* out, int32_t key) {
    const char* names = "abcdfgh";
    const char* at = std::strchr(names, key);
    *out = Complex{at != nullptr && key != 0 ? double(at - names + 1) + gShift : 1.0, 0.0};
  });
}

class ColourShaderProgramsTest : public colour_test::ColourGLTest {
 protected:
  void SetUp() override {
    ColourGLTest::SetUp();
    gShift = 0;
  }
  // A colour of ctx in mode 9 or 10 over the three texts.
  void Make(GraphColorCore* color, uint32_t mode, const char* r, const char* g, const char* b) {
    color->mode = mode;
    color->component[0] = FunctionOf(r);
    color->component[1] = FunctionOf(g);
    color->component[2] = FunctionOf(b);
  }
  static std::string TextOf(const ShaderProgram* program) { return program != nullptr ? program->text : ""; }
};

// From construction, every run and compile takes a turn, and the n-th of them throws Abandoned, as
// the compute worker abandons a job it holds; never at a disposal or while unwinding, where the
// worker never throws either. The hook goes at the end of the scope.
struct Abandoned {};
class AbandonAtTurn {
 public:
  explicit AbandonAtTurn(int64_t n) {
    left_ = n;
    SetTurnAtEveryStart(true);
    SetEvaluationTurnHook(Turn);
  }
  ~AbandonAtTurn() {
    SetEvaluationTurnHook(nullptr);
    SetTurnAtEveryStart(false);
  }
  AbandonAtTurn(const AbandonAtTurn&) = delete;
  AbandonAtTurn& operator=(const AbandonAtTurn&) = delete;

 private:
  static void Turn() {
    if (TurnKindNow() == TurnKind::kDispose || std::uncaught_exceptions() > 0) return;
    if (--left_ == 0) throw Abandoned{};
  }
  static inline int64_t left_ = 0;
};

// Counted bytes and node blocks in use, less what the process-wide evaluation scratch and the node
// pools' free blocks keep.
std::pair<size_t, size_t> InUse() {
  FreeEvalScratch();
  ReleaseNodePools();
  return {GetBytesInUse(), NodePoolBlocksInUse()};
}

int CountChar(const char* text, char c) {
  int n = 0;
  for (; *text != '\0'; ++text) n += *text == c;
  return n;
}

}  // namespace

// Lengths and line counts as stored; every line, the last included, ends with a carriage return.
TEST(DefaultColourPrograms, TheStoredTextsHaveTheirLengthsAndEnds) {
  const struct {
    const char* text;
    size_t length;
    int lines;
    const char* first;
  } cases[] = {{kDefaultVertexProgram, 1632, 73, "!!ARBvp1.0\r"}, {kDefaultColorFragmentProgram, 2132, 89, "!!ARBfp1.0\r"}};
  for (const auto& c : cases) {
    EXPECT_EQ(std::strlen(c.text), c.length);
    EXPECT_EQ(CountChar(c.text, '\r'), c.lines);
    EXPECT_EQ(CountChar(c.text, '\n'), 0);
    EXPECT_EQ(std::strncmp(c.text, c.first, std::strlen(c.first)), 0);
    EXPECT_STREQ(c.text + c.length - 5, "\rEND\r");
  }
  EXPECT_EQ(DefaultColorFragmentProgram(), kDefaultColorFragmentProgram);
}

// Seven parameters (1..7): local[0] = (1, 2, 3, 4), local[1] = (5, 6, 7, 0). A pass loads the values
// stored and evaluates nothing: a new value reaches it once the parameters are evaluated again, and
// only a symbol some parameter reads makes them stale.
TEST_F(ColourShaderProgramsTest, SevenParametersFillTwoLocalsPaddedWithZero) {
  InstallOneToSeven();
  BeginGridFrame();
  GraphColorCore color(ctx);
  Make(&color, kColorRGBExpressions, "plus[times[x, a], b, c]", "plus[times[y, d], f]", "plus[times[z, g], h]");
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  ASSERT_EQ(color.mode, kColorGPUProgram) << messages;
  ASSERT_NE(color.parameters, nullptr);
  EXPECT_EQ(color.parameters->count, 7);
  EXPECT_EQ(color.parameterValuesStale, 0);
  auto getLocal = reinterpret_cast<void (*)(GLenum, GLuint, GLdouble*)>(
      eglGetProcAddress("glGetProgramLocalParameterdvARB"));
  ASSERT_NE(getLocal, nullptr);
  const struct {
    double shift;
    int32_t changed;    // the symbol told of, 0 for none
    bool stale;         // ... makes the values stale
    bool evaluated;     // the parameters evaluated again before the pass
    double loadedShift;
  } cases[] = {{0, 0, false, false, 0}, {10, 0, false, false, 0}, {10, 'x', false, false, 0},
               {10, 'a', true, false, 0}, {10, 'a', true, true, 10}, {-3, 'h', true, true, -3}};
  for (const auto& c : cases) {
    gShift = c.shift;
    if (c.changed != 0) {
      EXPECT_EQ(ForgetColorParameterBindings(&color, c.changed), c.stale) << c.changed;
    }
    EXPECT_EQ(color.parameterValuesStale != 0, c.stale) << c.changed;
    if (c.evaluated) EvaluateColorParameters(&color);
    EXPECT_EQ(color.parameterValuesStale != 0, c.stale && !c.evaluated);
    ASSERT_TRUE(BeginColorShadingPass(&color, ctx));
    GLdouble local[2][4];
    getLocal(GL_FRAGMENT_PROGRAM_ARB, 0, local[0]);
    getLocal(GL_FRAGMENT_PROGRAM_ARB, 1, local[1]);
    EndTwoSidedShading(ctx);
    const double expected[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 0}};
    for (int g = 0; g < 2; ++g) {
      for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(local[g][k], expected[g][k] + (g * 4 + k < 7 ? c.loadedShift : 0)) << c.shift << " " << g << k;
      }
    }
    color.parameterValuesStale = 0;
  }
  ReleaseColour(&color);
  End();
}

TEST_F(ColourShaderProgramsTest, ExpressionModesBecomeElevenAndGpuModeOneReturnsThem) {
  BeginGridFrame();
  for (uint32_t mode : {kColorRGBExpressions, kColorHSVExpressions}) {
    GraphColorCore color(ctx);
    Make(&color, mode, "over[x, 3]", "y", "z");
    PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
    EXPECT_EQ(color.mode, kColorGPUProgram);
    EXPECT_EQ(color.savedMode, mode);
    ASSERT_NE(color.fragmentProgram, nullptr);
    ASSERT_NE(color.vertexProgram, nullptr);
    EXPECT_STREQ(color.vertexProgram->text, kDefaultVertexProgram);
    EXPECT_TRUE(ShaderProgramIsUsable(color.fragmentProgram));
    EXPECT_EQ(color.resourceContextHandle, GLContextHandle(ctx));
    EXPECT_TRUE(ColorUsesVariable(&color, 'x'));
    EXPECT_FALSE(ColorUsesVariable(&color, 'a'));
    PrepareColorShaderPrograms(&color, nullptr, 1, ctx);
    EXPECT_EQ(color.mode, mode);
    EXPECT_EQ(color.fragmentProgram, nullptr);
    EXPECT_EQ(color.vertexProgram, nullptr);
    EXPECT_EQ(color.parameters, nullptr);
    EXPECT_EQ(color.savedMode, mode);
    EXPECT_NE(color.component[0]->code, nullptr);  // compiled for the CPU path
    ReleaseColour(&color);
  }
  End();
}

// In the software kind and with fragment programs switched off nothing is made; a requested capture
// still gets the text (carriage returns, NUL-terminated) and clears both bytes; gpuMode 1 captures
// nothing.
TEST_F(ColourShaderProgramsTest, WithoutShaderSupportOnlyARequestedCaptureIsMade) {
  for (bool software : {true, false}) {
    ASSERT_EQ(Begin(software ? kContextQuickDraw : kContextGLOffscreen), software ? kContextQuickDraw : kContextGLOffscreen);
    GLGlobals().switches.noFragmentPrograms = !software;
    for (int32_t gpuMode : {0, 1}) {
      GraphColorCore color(ctx);
      Make(&color, kColorRGBExpressions, "x", "y", "z");
      ColorProgramGlobals().captureRequested = ColorProgramGlobals().captureArmed = 1;
      PrepareColorShaderPrograms(&color, nullptr, gpuMode, ctx);
      EXPECT_EQ(color.mode, kColorRGBExpressions);
      EXPECT_EQ(color.fragmentProgram, nullptr);
      char* captured = TakeCapturedProgramText();
      if (gpuMode == 1) {
        EXPECT_EQ(captured, nullptr);
        EXPECT_EQ(ColorProgramGlobals().captureRequested, 1);
      } else {
        ASSERT_NE(captured, nullptr);
        EXPECT_EQ(std::strncmp(captured, "!!ARBfp1.0\r\rTEMP R0;\r", 21), 0);
        EXPECT_EQ(std::strchr(captured, '\n'), nullptr);
        EXPECT_STREQ(captured + std::strlen(captured) - 5, "\rEND\r");
        EXPECT_EQ(ColorProgramGlobals().captureRequested, 0);
        EXPECT_EQ(ColorProgramGlobals().captureArmed, 0);
      }
      FreeMemory(captured);
      ReleaseColour(&color);
    }
    GLGlobals().switches.noFragmentPrograms = false;
    End();
    DetachGLContext(ctx);
  }
}

// A colour that has programs and is to lose them (fragment programs switched off, or gpuMode 1)
// only drops them: back in its own mode, nothing generated, a requested capture left waiting for a
// preparation that generates (the next one, here without programs to drop, takes it).
TEST_F(ColourShaderProgramsTest, AColourLosingItsProgramsDropsThemAndCapturesNothing) {
  for (bool switchedOff : {true, false}) {
    BeginGridFrame();
    GraphColorCore color(ctx);
    Make(&color, kColorHSVExpressions, "x", "y", "z");
    PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
    ASSERT_EQ(color.mode, kColorGPUProgram) << messages;
    GLGlobals().switches.noFragmentPrograms = switchedOff;
    ColorProgramGlobals().captureRequested = ColorProgramGlobals().captureArmed = 1;
    PrepareColorShaderPrograms(&color, nullptr, switchedOff ? 0 : 1, ctx);
    EXPECT_EQ(color.mode, kColorHSVExpressions);
    EXPECT_TRUE(color.fragmentProgram == nullptr && color.vertexProgram == nullptr && color.parameters == nullptr);
    EXPECT_EQ(ColorProgramGlobals().capturedText, nullptr) << switchedOff;
    EXPECT_EQ(ColorProgramGlobals().captureRequested, 1);
    EXPECT_NE(color.component[0]->code, nullptr);  // the CPU path is ready
    PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
    char* captured = TakeCapturedProgramText();
    EXPECT_NE(captured, nullptr) << switchedOff;
    EXPECT_EQ(color.mode, switchedOff ? kColorHSVExpressions : kColorGPUProgram);
    FreeMemory(captured);
    GLGlobals().switches.noFragmentPrograms = false;
    ReleaseColour(&color);
    End();
  }
}

// After a rebuild the sync answers false once and drops the programs, then true; the next
// preparation makes them in the new context. Another colour's programs, made in the new context
// under the names the old ones had, survive the old ones' release (window kind: the old context
// is still alive; offscreen kind: it is gone).
TEST_F(ColourShaderProgramsTest, AContextRebuildDropsTheProgramsOnceAndSparesAnotherColours) {
  for (int32_t kind : {kContextGLWindow, kContextGLOffscreen}) {
    ASSERT_EQ(Begin(kind), kind);
    GraphColorCore a(ctx), b(ctx);
    Make(&a, kColorRGBExpressions, "x", "y", "z");
    Make(&b, kColorHSVExpressions, "x", "1", "1");
    PrepareColorShaderPrograms(&a, nullptr, 0, ctx);
    ASSERT_EQ(a.mode, kColorGPUProgram);
    EXPECT_TRUE(SyncColorShadersWithContext(&a));
    End();
    DetachGLContext(ctx);
    ASSERT_EQ(Begin(kind), kind);
    PrepareColorShaderPrograms(&b, nullptr, 0, ctx);
    ASSERT_EQ(b.mode, kColorGPUProgram);
    EXPECT_FALSE(SyncColorShadersWithContext(&a));
    EXPECT_EQ(a.fragmentProgram, nullptr);
    EXPECT_EQ(a.mode, kColorRGBExpressions);
    EXPECT_TRUE(SyncColorShadersWithContext(&a));
    EXPECT_TRUE(SyncColorShadersWithContext(&b));
    EXPECT_TRUE(GLApi().IsProgramARB(b.fragmentProgram->programId));
    EXPECT_TRUE(GLApi().IsProgramARB(b.vertexProgram->programId));
    EXPECT_TRUE(BeginColorShadingPass(&b, ctx));
    EndTwoSidedShading(ctx);
    PrepareColorShaderPrograms(&a, nullptr, 0, ctx);
    EXPECT_EQ(a.mode, kColorGPUProgram);
    EXPECT_EQ(a.fragmentProgram->owner.context, GLContextHandle(ctx));
    ReleaseColour(&a);
    ReleaseColour(&b);
    End();
    DetachGLContext(ctx);
    DestroyRetiredGLContexts();
  }
}

// A textured colour with a condition keeps a texture and a program in one recorded context: a
// rebuild releases both where they were made, and the other colour's texture of the new context
// (which may carry the old name) is never deleted.
TEST_F(ColourShaderProgramsTest, ATexturedColourFollowsTheContextWithoutTouchingAnothersTexture) {
  std::vector<uint32_t> texels(16 * 16, 0xFF336699u);
  PicHandle picture = NewPicture(texels.data(), 16, 16);
  CompiledFunction* condition = FunctionOf("lessthan[x, 0.5]");
  ASSERT_EQ(Begin(kContextGLOffscreen), kContextGLOffscreen);
  GraphColorCore a(ctx), b(ctx);
  a.mode = b.mode = kColorTexture;
  a.picture = picture;
  b.picture = picture;
  EXPECT_TRUE(SyncColorTextureWithContext(&a));
  PrepareColorShaderPrograms(&a, condition, 0, ctx);
  ASSERT_NE(a.fragmentProgram, nullptr);
  EXPECT_EQ(a.mode, kColorTexture);
  EXPECT_EQ(a.savedMode, kColorTexture);
  EXPECT_NE(TextOf(a.fragmentProgram).find("TEX      TX"), std::string::npos);
  End();
  DetachGLContext(ctx);
  ASSERT_EQ(Begin(kContextGLOffscreen), kContextGLOffscreen);
  EXPECT_TRUE(SyncColorTextureWithContext(&b));
  EXPECT_FALSE(SyncColorShadersWithContext(&a));
  EXPECT_EQ(a.fragmentProgram, nullptr);
  EXPECT_EQ(a.mode, kColorTexture);
  EXPECT_TRUE(SyncColorTextureWithContext(&a));
  EXPECT_TRUE(IsTextureUsable(b.texture, ctx));
  EXPECT_TRUE(IsTextureUsable(a.texture, ctx));
  EXPECT_NE(a.texture, b.texture);
  a.picture = b.picture = nullptr;
  ReleaseColour(&a);
  ReleaseColour(&b);
  End();
  KillPicture(picture);
  colour_test::DeleteFunction(condition);
}

// The test load happens in the colour's context, whatever context was current; that one comes
// back afterwards.
TEST_F(ColourShaderProgramsTest, TheColoursContextIsMadeCurrentForTheTestLoad) {
  GraphicsContext* other = NewGLContextRecord();
  SetRequestedContextKind(other, kContextGLOffscreen);
  ASSERT_EQ(PrepareGraphicsContext(other, MakeRect(0, 0, 16, 16), &frame), kContextGLOffscreen);
  ASSERT_EQ(Begin(kContextGLOffscreen), kContextGLOffscreen);
  End();
  ASSERT_TRUE(MakeContextCurrent(other));
  GraphColorCore color(ctx);
  Make(&color, kColorRGBExpressions, "x", "y", "z");
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  ASSERT_EQ(color.mode, kColorGPUProgram);
  EXPECT_EQ(color.fragmentProgram->owner.context, GLContextHandle(ctx));
  EXPECT_EQ(CurrentGLBackend().CurrentContext(), GLContextHandle(other));
  ReleaseColour(&color);
  DetachGLContext(other);
  DeleteGLContextRecord(other);
}

// A colour entering in mode 11 is its saved mode: with a condition it gets its expressions' program
// again, never the white condition program; any preparation that makes no program leaves none.
TEST_F(ColourShaderProgramsTest, ModeElevenKeepsItsExpressionsAndUnmadeProgramsLeaveNothing) {
  BeginGridFrame();
  CompiledFunction* condition = FunctionOf("lessthan[x, 1]");
  GraphColorCore color(ctx);
  Make(&color, kColorRGBExpressions, "over[plus[x, 3], 6]", "y", "z");
  PrepareColorShaderPrograms(&color, condition, 0, ctx);
  ASSERT_EQ(color.mode, kColorGPUProgram);
  for (int round = 0; round < 2; ++round) {
    PrepareColorShaderPrograms(&color, condition, 2, ctx);
    EXPECT_EQ(color.mode, kColorGPUProgram);
    EXPECT_EQ(color.savedMode, kColorRGBExpressions);
    EXPECT_NE(TextOf(color.fragmentProgram).find("MOV_SAT"), std::string::npos);
    EXPECT_EQ(TextOf(color.fragmentProgram).find("TEX"), std::string::npos);
  }
  // The expressions change to what only the CPU evaluates: the program goes, mode 9 comes back.
  colour_test::DeleteFunction(color.component[0]);
  color.component[0] = FunctionOf("times[t, x]");
  PrepareColorShaderPrograms(&color, condition, 0, ctx);
  EXPECT_EQ(color.mode, kColorRGBExpressions);
  EXPECT_EQ(color.fragmentProgram, nullptr);
  EXPECT_EQ(color.parameters, nullptr);
  // A fixed colour chosen while on the GPU, prepared without a condition: no program stays.
  colour_test::DeleteFunction(color.component[0]);
  color.component[0] = FunctionOf("x");
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  ASSERT_EQ(color.mode, kColorGPUProgram);
  color.mode = kColorFixed;
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  EXPECT_EQ(color.mode, kColorFixed);
  EXPECT_EQ(color.fragmentProgram, nullptr);
  EXPECT_EQ(color.vertexProgram, nullptr);
  // With a condition a fixed colour gets the white program that discards.
  PrepareColorShaderPrograms(&color, condition, 0, ctx);
  EXPECT_EQ(color.mode, kColorFixed);
  EXPECT_EQ(color.savedMode, kColorFixed);
  EXPECT_EQ(TextOf(color.fragmentProgram).find("TEX"), std::string::npos);
  EXPECT_NE(TextOf(color.fragmentProgram).find("KIL"), std::string::npos);
  ReleaseColour(&color);
  colour_test::DeleteFunction(condition);
  End();
}

TEST_F(ColourShaderProgramsTest, OnlyExpressionModesUseVariablesOrInvalidate) {
  GraphColorCore color(ctx);
  Make(&color, kColorFixed, "times[x, a]", "y", "z");
  for (uint32_t mode : {kColorFixed, kColorTexture, kColorRGBExpressions, kColorHSVExpressions, kColorGPUProgram}) {
    color.mode = mode;
    const bool expressions = mode == kColorRGBExpressions || mode == kColorHSVExpressions;
    EXPECT_EQ(ColorUsesVariable(&color, 'a'), expressions || mode == kColorGPUProgram) << mode;
    EXPECT_FALSE(ColorUsesVariable(&color, 'b'));
    for (CompiledFunction* f : color.component) f->bindingsEvaluated = 1;
    InvalidateColorFunctions(&color);
    EXPECT_EQ(color.component[0]->bindingsEvaluated, expressions ? 0 : 1) << mode;
  }
  ReleaseColour(&color);
}

// Without a context kind nothing is synchronised.
TEST_F(ColourShaderProgramsTest, AContextWithoutAKindSynchronisesNothing) {
  GraphColorCore color(ctx);
  EXPECT_FALSE(SyncColorShadersWithContext(&color));
  EXPECT_FALSE(SyncColorTextureWithContext(&color));
  GraphColorCore none(nullptr);
  EXPECT_FALSE(SyncColorShadersWithContext(&none));
  EXPECT_FALSE(BeginColorShadingPass(&none, nullptr));
}

// Prepared again in the same context, a colour gets a new fragment program and keeps its loaded
// vertex half (the same text for every colour); in another context both are made anew.
TEST_F(ColourShaderProgramsTest, APreparedAgainColourKeepsItsLoadedVertexHalf) {
  BeginGridFrame();
  GraphColorCore color(ctx);
  Make(&color, kColorRGBExpressions, "x", "y", "z");
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  const ShaderProgram* vertex = color.vertexProgram;
  ASSERT_NE(vertex, nullptr);
  colour_test::DeleteFunction(color.component[0]);
  color.component[0] = FunctionOf("sin[x]");
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  EXPECT_EQ(color.vertexProgram, vertex);
  EXPECT_NE(TextOf(color.fragmentProgram).find("SIN"), std::string::npos);
  EXPECT_TRUE(ShaderProgramIsUsable(color.fragmentProgram));
  End();
  DetachGLContext(ctx);
  BeginGridFrame();
  EXPECT_FALSE(SyncColorShadersWithContext(&color));
  PrepareColorShaderPrograms(&color, nullptr, 0, ctx);
  ASSERT_NE(color.vertexProgram, nullptr);
  EXPECT_EQ(color.vertexProgram->owner.context, GLContextHandle(ctx));
  EXPECT_TRUE(BeginColorShadingPass(&color, ctx));
  EndTwoSidedShading(ctx);
  ReleaseColour(&color);
  End();
}

// A draft abandoned at any of its turns (the constant folding's evaluations, the parameters'
// compiles and evaluations) leaves no byte or node behind; the first one let run to its end is the
// draft made at one go, and installs the same program and values.
TEST_F(ColourShaderProgramsTest, ADraftAbandonedAtAnyTurnLeavesNothingAndTheNextIsWhole) {
  InstallOneToSeven();
  BeginGridFrame();
  GraphColorCore color(ctx);
  Make(&color, kColorRGBExpressions, "plus[times[x, a], over[1, 3]]", "times[y, sin[plus[b, 1]]]",
       "plus[z, sqrt[2], times[c, cos[1]]]");
  CompiledFunction* condition = FunctionOf("lessthan[x, plus[d, exp[over[1, 2]]]]");
  const ColorProgramTarget target = ReadColorProgramTarget(ctx);
  ColorProgramDraft whole;
  DraftColorPrograms(&color, condition, 0, target, &whole);
  ASSERT_FALSE(whole.text.empty());
  ASSERT_NE(whole.parameters, nullptr);
  const int32_t n = whole.parameters->count;
  ASSERT_GE(n, 4);
  const std::pair<size_t, size_t> before = InUse();
  int abandoned = 0;
  for (int64_t turn = 1; turn < 100000; ++turn) {
    auto draft = std::make_unique<ColorProgramDraft>();
    try {
      AbandonAtTurn abandon(turn);
      DraftColorPrograms(&color, condition, 0, target, draft.get());
    } catch (const Abandoned&) {
      ++abandoned;
      draft.reset();
      EXPECT_EQ(InUse(), before) << "abandoned at turn " << turn;
      continue;
    }
    EXPECT_EQ(draft->text, whole.text);
    ASSERT_NE(draft->parameters, nullptr);
    ASSERT_EQ(draft->parameters->count, n);
    for (int32_t k = 0; k < n; ++k) EXPECT_EQ(draft->values[k], whole.values[k]) << k;
    ASSERT_TRUE(InstallColorPrograms(&color, draft.get(), ctx));
    EXPECT_EQ(color.mode, kColorGPUProgram) << messages;
    EXPECT_STREQ(TextOf(color.fragmentProgram).c_str(), whole.text.c_str());
    break;
  }
  // A turn at each evaluation and compile of the draft: the folded constants and the parameters.
  EXPECT_GT(abandoned, n);
  ReleaseColour(&color);
  colour_test::DeleteFunction(condition);
  End();
}

// A draft is installed only into the context state it was drafted for: another output form (the
// dynamic-buffer renderer converts HSV in the program) or another context leaves the colour as it
// was; the same state installs it.
TEST_F(ColourShaderProgramsTest, ADraftForAnotherContextStateIsRefused) {
  BeginGridFrame();
  GraphColorCore color(ctx);
  Make(&color, kColorHSVExpressions, "over[x, 3]", "y", "1");
  const struct {
    const char* change;
    bool refused;
  } cases[] = {{"renderer", true}, {"context", true}, {"nothing", false}};
  for (const auto& c : cases) {
    ColorProgramDraft draft;
    DraftColorPrograms(&color, nullptr, 0, ReadColorProgramTarget(ctx), &draft);
    ASSERT_TRUE(!draft.text.empty()) << c.change;
    const std::string change = c.change;
    if (change == "renderer") ctx->rendererIsNVidia = 1;
    if (change == "context") {
      End();
      DetachGLContext(ctx);
      BeginGridFrame();
    }
    EXPECT_EQ(InstallColorPrograms(&color, &draft, ctx), !c.refused) << c.change;
    EXPECT_EQ(color.mode, c.refused ? kColorHSVExpressions : kColorGPUProgram) << c.change;
    EXPECT_EQ(color.fragmentProgram == nullptr, c.refused) << c.change;
    ctx->rendererIsNVidia = 0;
  }
  ReleaseColour(&color);
  End();
}
