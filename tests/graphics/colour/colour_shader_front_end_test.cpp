// The colour-shader front end without a GPU: which trees need the CPU, the rewrites into
// elementary forms (exact shapes for three of them, and for all of them the value the kernel's
// own evaluator gives the original), the complex lowering (z^2 without an exponential, and real
// parts that agree with the kernel's complex evaluation), the hue scaling, the condition-only
// program, the callers' trees left as they were, and refused memory at every step.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "graphics/colour/colour_shader_front_end.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphics/colour/colour_test_support.h"

namespace {

using colour_test::CountLines;
using colour_test::FunctionOf;
using colour_test::Parse;
using colour_test::Tree;

class ColourShaderFrontEndTest : public colour_test::ColourTest {
 protected:
  void TearDown() override {
    FreeParameterList(&parameters);
    ColourTest::TearDown();
  }
  ParameterList parameters{};
};

// The kernel's value of a tree at (x, y), through a compiled copy; complex trees give their real
// part when the imaginary part is exactly 0.
double CpuValue(const ExprNode* tree, double x, double y) {
  CompiledFunction f{};
  InitFunction(&f, CopyExpression(tree));
  CompileFunction(&f);
  const double value = EvaluateFunction2(&f, x, y);
  DisposeFunction(&f);
  return value;
}

// The real part of the kernel's complex value.
double CpuRealPart(const ExprNode* tree, double x, double y) {
  CompiledFunction f{};
  InitFunction(&f, CopyExpression(tree));
  CompileFunction(&f);
  Complex value;
  EvaluateComplexAt2(&value, &f, x, y);
  DisposeFunction(&f);
  return value.re;
}

bool HasKind(const ExprNode* tree, uint32_t kind) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == kind) return true;
  }
  return false;
}

}  // namespace

TEST_F(ColourShaderFrontEndTest, OnlyTheCpuKindsAndTheSurfaceParametersNeedTheCpu) {
  const struct {
    const char* text;
    bool cpu;
  } cases[] = {
      {"function[f, x]", true},       {"fact[x]", true},           {"oppartial[x, y]", true},
      {"sum[x, equal[k, 1], 3]", true}, {"lparen[x]", true},       {"besselj[1, x]", true},
      {"if[x, lessthan[x, 1]]", true}, {"branch[x, y]", true},     {"plus[x, t]", true},
      {"sin[u]", true},               {"times[v, 2]", true},       {"prod[x, equal[k, 1], 3]", false},
      {"int[x, x]", false},           {"oint[x, x]", false},       {"plus[x, y, z, w, r]", false},
      {"sin[theta]", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NeedsCpuEvaluation(Tree(c.text)), c.cpu) << c.text;
  // The internal bounded sum, which the reader cannot spell.
  ExprNode* bounded = NewTernaryNode(KindBoundedSum, Parse("equal[k, 1]"), Parse("3"), Parse("k"));
  EXPECT_TRUE(NeedsCpuEvaluation(bounded));
  FreeExpression(bounded);
  EXPECT_FALSE(NeedsCpuEvaluation(nullptr));
}

TEST_F(ColourShaderFrontEndTest, RewritesGiveTheElementaryShapes) {
  const struct {
    const char* from;
    const char* to;
  } cases[] = {
      {"tanh[x]", "over[plus[exp[x], minus[exp[minus[x]]]], plus[exp[x], exp[minus[x]]]]"},
      {"ceil[x]", "minus[floor[minus[x]]]"},
      {"clamp[x, y, z]", "max[y, min[x, z]]"},
      {"acos[x]", "plus[over[pi, 2], minus[asin[x]]]"},
      {"log[x, y]", "over[ln[x], ln[y]]"},
      {"degree", "num[0.017453292519943295,\"\"]"},
  };
  for (const auto& c : cases) {
    ExprNode* tree = Parse(c.from);
    EXPECT_TRUE(RewriteForGpu(tree)) << c.from;
    EXPECT_TRUE(ExpressionsEqual(tree, Tree(c.to))) << c.from;
    EXPECT_TRUE(CheckExpressionTree(tree));
    FreeExpression(tree);
  }
  for (const char* kept : {"atan[x]", "acot[x]", "asin[x]", "sgn[x]", "log[x]", "sqrt[x]", "floor[x]", "x"}) {
    Tree tree(kept);
    EXPECT_FALSE(RewriteForGpu(tree)) << kept;
  }
}

// Every rewrite keeps the value the kernel gives the original (its own functions, not ours).
TEST_F(ColourShaderFrontEndTest, EveryRewriteKeepsTheKernelsValue) {
  const char* texts[] = {
      "times[x, degree]", "tan[x]", "cot[x]", "csc[x]", "sec[x]", "acos[y]", "acsc[x]", "asec[x]", "sinh[x]",
      "cosh[x]", "tanh[x]", "coth[x]", "csch[x]", "sech[x]", "asinh[x]", "acosh[plus[x, 2]]", "atanh[y]",
      "acoth[plus[x, 2]]", "acsch[x]", "asech[y]", "log[plus[x, 2], 3]", "sqrt[plus[x, 2], 3]",
      "sn[x, y]", "ceil[x]", "clamp[x, y, 0.5]", "clamp[x, 0.5, y]",
  };
  // |y| < 1 for the inverse forms; a clamp's bounds in either order.
  const double points[][2] = {{0.3, 0.2}, {-0.7, 0.6}, {1.3, -0.45}};
  for (const char* text : texts) {
    Tree original(text);
    ExprNode* rewritten = CopyExpression(original);
    TreeCursor cursor(rewritten, WalkOrder::kPostOrder);
    for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) RewriteForGpu(n);
    for (const auto& p : points) {
      const double expected = CpuValue(original, p[0], p[1]), actual = CpuValue(rewritten, p[0], p[1]);
      if (std::isnan(expected)) continue;
      EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << text << " at " << p[0];
    }
    FreeExpression(rewritten);
  }
}

// q^2 of a complex parameter q (z is a coordinate here) lowers to (a^2 - b^2, 2 a b) with
// a = real q, b = imag q: no exponential.
TEST_F(ColourShaderFrontEndTest, TheSquareOfAComplexParameterLowersWithoutAnExponential) {
  ExprNode* tree = Parse("power[q, 2]");
  ASSERT_TRUE(LowerComplex(tree));
  ASSERT_TRUE(IsComplexPair(tree));
  EXPECT_TRUE(ExpressionsEqual(tree->children[0], Tree("plus[power[real[q], 2], minus[power[imag[q], 2]]]")));
  EXPECT_TRUE(ExpressionsEqual(tree->children[1], Tree("times[2, real[q], imag[q]]")));
  EXPECT_FALSE(HasKind(tree, KindExp));
  EXPECT_TRUE(CheckExpressionTree(tree));
  FreeExpression(tree);
}

// The real part of the lowering agrees with the kernel's complex evaluation. The points keep
// every argument that the lowering takes an angle of off the negative imaginary half (the kernel
// reads the internal angle in [0, 2 pi), the GPU the principal one; the GL gallery covers both).
TEST_F(ColourShaderFrontEndTest, TheLoweredRealPartAgreesWithTheKernelsComplexValue) {
  const char* texts[] = {
      "real[power[plus[x, times[i, y]], 2]]",
      "times[plus[x, times[i, y]], plus[y, times[i, x]]]",
      "over[plus[1, times[i, x]], plus[2, times[i, y]]]",
      "real[exp[times[i, x]]]",
      "abs[exp[times[plus[x, i], y]]]",
      "imag[times[sin[plus[x, times[i, y]]], cos[times[i, x]]]]",
      "plus[x, minus[times[i, y]], times[i, y]]",
      "imag[sqrt[plus[x, times[i, y]]]]",
      "real[ln[plus[x, times[i, y]]]]",
      "arg[plus[x, times[i, y]]]",
      "real[power[plus[x, times[i, y]], plus[1, times[0.5, i]]]]",
      "real[power[e, times[i, x]]]",
      "log[abs[plus[x, times[2, i]]]]",
  };
  const double points[][2] = {{0.4, 0.3}, {1.2, 0.8}, {-0.5, 0.25}, {0.7, 1.9}};
  for (const char* text : texts) {
    Tree tree(text);
    ExprNode* lowered = CopyExpression(tree);
    ASSERT_TRUE(LowerComplex(lowered)) << text;
    ASSERT_TRUE(IsComplexPair(lowered)) << text;
    EXPECT_TRUE(CheckExpressionTree(lowered));
    for (const auto& p : points) {
      const double expected = CpuRealPart(tree, p[0], p[1]);
      const double actual = CpuValue(lowered->children[0], p[0], p[1]);
      EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << text << " at " << p[0] << ", " << p[1];
    }
    FreeExpression(lowered);
  }
}

// A real tree that uses complex numbers is replaced by its real part; one the lowering cannot
// take (floor of a pair) is left as it was, and the generator then refuses it.
TEST_F(ColourShaderFrontEndTest, ReductionKeepsTheRealPartOrLeavesTheTree) {
  ExprNode* tree = Parse("real[times[plus[x, i], plus[x, minus[i]]]]");
  ReduceToRealPart(tree);
  EXPECT_FALSE(UsesComplexNumbers(tree));
  EXPECT_NEAR(CpuValue(tree, 0.5, 0), 1.25, 1e-15);
  FreeExpression(tree);
  Tree kept("floor[real[plus[x, i]]]");
  ExprNode* copy = CopyExpression(kept);
  ReduceToRealPart(copy);
  EXPECT_TRUE(ExpressionsEqual(copy, kept));
  FreeExpression(copy);
}

TEST_F(ColourShaderFrontEndTest, TheHueIsScaledToDegreesOnlyForTheProgramsOwnConversion) {
  CompiledFunction* f[3] = {FunctionOf("x"), FunctionOf("y"), FunctionOf("z")};
  const std::string converted = BuildColorFragmentProgram(f[0], f[1], f[2], nullptr, true, &parameters, false);
  EXPECT_NE(converted.find("     360.000000000000000000000000000000"), std::string::npos) << converted;
  EXPECT_NE(converted.find("MUL      R0.x,  C0.x,  fragment.texcoord[0].x;"), std::string::npos) << converted;
  const std::string raw = BuildColorFragmentProgram(f[0], f[1], f[2], nullptr, true, &parameters, true);
  EXPECT_EQ(raw.find("360.0"), std::string::npos) << raw;
  EXPECT_NE(raw.find("FRC      result.color.x,  fragment.texcoord[0].x;"), std::string::npos) << raw;
  for (CompiledFunction* g : f) colour_test::DeleteFunction(g);
}

// A real power of one half reaches the generator as a square root (RSQ and RCP, no POW), whether
// written so or as a root of index 2; another fraction keeps its power.
TEST_F(ColourShaderFrontEndTest, ARealHalfPowerIsGeneratedAsASquareRoot) {
  const struct {
    const char* text;
    int pows, rsqs;
  } cases[] = {
      {"power[x, over[1, 2]]", 0, 1},          {"power[plus[x, y], over[1, 2]]", 0, 1},
      {"sqrt[plus[x, 2], 2]", 0, 1},           {"times[2, power[z, over[1, 2]]]", 0, 1},
      {"power[x, over[1, 3]]", 1, 0},          {"sqrt[x]", 0, 1},
  };
  for (const auto& c : cases) {
    CompiledFunction* f[3] = {FunctionOf(c.text), FunctionOf("0"), FunctionOf("0")};
    const std::string text = BuildColorFragmentProgram(f[0], f[1], f[2], nullptr, false, &parameters, false);
    ASSERT_FALSE(text.empty()) << c.text;
    EXPECT_EQ(CountLines(text, "POW "), c.pows) << c.text << "\n" << text;
    EXPECT_EQ(CountLines(text, "RSQ "), c.rsqs) << c.text << "\n" << text;
    for (CompiledFunction* g : f) colour_test::DeleteFunction(g);
  }
}

TEST_F(ColourShaderFrontEndTest, AConditionAloneGivesTheTexturedDiscardingProgram) {
  CompiledFunction* condition = FunctionOf("lessthan[plus[power[x, 2], power[y, 2]], 4]");
  const std::string textured = BuildColorFragmentProgram(nullptr, nullptr, nullptr, condition, false, &parameters, false);
  for (const std::string& text : {textured, BuildColorShaderForGraph(condition, &parameters, true)}) {
    EXPECT_NE(text.find("TEX      TX, fragment.texcoord[1].xyzw, texture[0], 2D;"), std::string::npos) << text;
    EXPECT_EQ(CountLines(text, "KIL "), 1) << text;
    EXPECT_NE(text.find("MUL      result.color.x,  fragment.color.primary.x,  TX.x;"), std::string::npos);
  }
  // The plain colour: white (one saturating move of the constant 1), lit, with the condition.
  const std::string white = BuildColorShaderForGraph(condition, &parameters, false);
  EXPECT_EQ(white.find("TEX"), std::string::npos);
  EXPECT_EQ(CountLines(white, "MOV_SAT  R0.x,  C0."), 1) << white;
  EXPECT_EQ(CountLines(white, "KIL "), 1);
  // Without a condition nothing is made; an unsupported condition gives no program either.
  EXPECT_TRUE(BuildColorFragmentProgram(nullptr, nullptr, nullptr, nullptr, false, &parameters, false).empty());
  CompiledFunction* unsupported = FunctionOf("lessthan[t, 1]");
  EXPECT_TRUE(BuildColorShaderForGraph(unsupported, &parameters, true).empty());
  colour_test::DeleteFunction(unsupported);
  colour_test::DeleteFunction(condition);
}

// The CPU must take: t in the hue, the cylindrical radius r, w, a user function in the condition.
TEST_F(ColourShaderFrontEndTest, ExpressionsTheGpuCannotTakeGiveNoProgram) {
  const struct {
    const char* first;
    const char* condition;
  } cases[] = {{"times[t, x]", ""}, {"r", ""}, {"plus[w, x]", ""}, {"x", "lessthan[function[f, x], 1]"},
               {"x", "lessthan[u, 1]"}, {"fact[x]", ""}, {"tan[power[x, 2]]", "lessthan[x, 1]"}};
  for (const auto& c : cases) {
    CompiledFunction* f[3] = {FunctionOf(c.first), FunctionOf("y"), FunctionOf("z")};
    CompiledFunction* condition = FunctionOf(c.condition);
    const std::string text = BuildColorFragmentProgram(f[0], f[1], f[2], condition, false, &parameters, false);
    const bool gpu = std::string(c.first) == "tan[power[x, 2]]";  // tan is rewritten: this one runs on the GPU
    EXPECT_EQ(text.empty(), !gpu) << c.first << " / " << c.condition;
    for (CompiledFunction* g : f) colour_test::DeleteFunction(g);
    colour_test::DeleteFunction(condition);
    FreeParameterList(&parameters);
  }
}

// The callers' trees are the same before and after, on every path (GPU, CPU, complex, condition).
TEST_F(ColourShaderFrontEndTest, TheCallersTreesAreNeverChanged) {
  const char* sets[][4] = {
      {"tanh[x]", "real[power[plus[x, times[i, y]], 2]]", "clamp[z, 0, 1]", "lessthan[sec[x], 2]"},
      {"times[t, x]", "y", "z", "greaterthan[x, y]"},
      {"plus[a, degree]", "acsch[plus[x, 2]]", "sn[z, 1]", ""},
  };
  for (const auto& s : sets) {
    CompiledFunction* f[4] = {FunctionOf(s[0]), FunctionOf(s[1]), FunctionOf(s[2]), FunctionOf(s[3])};
    ExprNode* before[4];
    for (int k = 0; k < 4; ++k) before[k] = f[k] != nullptr ? CopyExpression(f[k]->tree) : nullptr;
    for (bool hsv : {false, true}) {
      BuildColorFragmentProgram(f[0], f[1], f[2], f[3], hsv, &parameters, !hsv);
      BuildColorShaderForGraph(f[3], &parameters, hsv);
    }
    for (int k = 0; k < 4; ++k) {
      if (f[k] != nullptr) {
        EXPECT_TRUE(ExpressionsEqual(f[k]->tree, before[k])) << s[k];
      }
      FreeExpression(before[k]);
      colour_test::DeleteFunction(f[k]);
    }
    FreeParameterList(&parameters);
  }
}

// Refusing the n-th node allocation anywhere in a complex program: no crash, no leak, and either
// no text or a text.
TEST_F(ColourShaderFrontEndTest, RefusedNodeMemoryAnywhereLeavesNothingBehind) {
  CompiledFunction* f[3] = {FunctionOf("real[power[plus[x, times[i, y]], 3]]"), FunctionOf("atan[plus[x, times[i, y]]]"),
                            FunctionOf("asin[times[0.5, x]]")};
  CompiledFunction* condition = FunctionOf("lessthan[abs[exp[times[i, x]]], 2]");
  const std::string full = BuildColorFragmentProgram(f[0], f[1], f[2], condition, false, &parameters, false);
  ASSERT_FALSE(full.empty());
  FreeParameterList(&parameters);
  const uint64_t before = NodeAllocationAttempts();
  BuildColorFragmentProgram(f[0], f[1], f[2], condition, false, &parameters, false);
  const uint64_t attempts = NodeAllocationAttempts() - before;
  FreeParameterList(&parameters);
  for (uint64_t n = 1; n <= attempts; n += 7) {
    FailNodeAllocationAt(n);
    BuildColorFragmentProgram(f[0], f[1], f[2], condition, false, &parameters, false);
    FailNodeAllocationAt(0);
    FreeParameterList(&parameters);
  }
  for (CompiledFunction* g : f) colour_test::DeleteFunction(g);
  colour_test::DeleteFunction(condition);
}
