// The fragment-program generator on prepared trees: golden program texts worked out by hand from
// the instruction tables, the renaming and the linear scan (the RGB, HSV and condition-only
// programs), the stored overlay program reproduced instruction for instruction through the same
// back end, the power, constant, repeat and parameter rules, and generation failures that leave
// an empty text and the caller's parameter list as it was.
#include <gtest/gtest.h>

#include <string>

#include "graphics/colour/fragment_program_builder.h"
#include "graphics/gl/default_programs.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphics/colour/colour_test_support.h"

namespace {

using colour_test::CountLines;
using colour_test::Tree;

class FragmentProgramBuilderTest : public colour_test::ColourTest {
 protected:
  void TearDown() override {
    FreeParameterList(&parameters);
    ColourTest::TearDown();
  }
  std::string Rgb(const char* red, const char* green, const char* blue, const char* condition = nullptr) {
    Tree r(red), g(green), b(blue);
    if (condition == nullptr) return BuildRgbFragmentProgram(&parameters, r, g, b, nullptr);
    Tree c(condition);
    return BuildRgbFragmentProgram(&parameters, r, g, b, c);
  }
  ParameterList parameters{};
};

}  // namespace

// Each value is a texture coordinate; three saturating moves into R0.x..z, freed by the MULs.
TEST_F(FragmentProgramBuilderTest, RgbOfTheCoordinatesIsTheHandWorkedText) {
  EXPECT_EQ(Rgb("x", "y", "z"),
            "!!ARBfp1.0\n"
            "\n"
            "TEMP R0;\n"
            "\n"
            "MOV_SAT  R0.x,  fragment.texcoord[0].x;\n"
            "MOV_SAT  R0.y,  fragment.texcoord[0].y;\n"
            "MOV_SAT  R0.z,  fragment.texcoord[0].z;\n"
            "MUL      result.color.x,  fragment.color.primary.x,  R0.x;\n"
            "MUL      result.color.y,  fragment.color.primary.y,  R0.y;\n"
            "MUL      result.color.z,  fragment.color.primary.z,  R0.z;\n"
            "\n"
            "END\n");
}

// Hue in degrees (x), saturation y, value z. Worked by hand: saturation and value clamped first
// (two saturating moves), then 50 instructions; constants created in the order 1/360, 6, 1, 0,
// 0.0001, 2, 3, 4; the slots of the linear scan as listed in the text.
TEST_F(FragmentProgramBuilderTest, HsvOfTheCoordinatesIsTheHandWorkedText) {
  Tree h("x"), s("y"), v("z");
  EXPECT_EQ(BuildHsvFragmentProgram(&parameters, h, s, v, nullptr, false),
            "!!ARBfp1.0\n"
            "\n"
            "TEMP R0;\n"
            "TEMP R1;\n"
            "TEMP R2;\n"
            "TEMP R3;\n"
            "\n"
            "PARAM C0 = {\n"
            "       0.002777777777777777883788656865,\n"
            "       6.000000000000000000000000000000,\n"
            "       1.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000\n"
            "};\n"
            "PARAM C1 = {\n"
            "       0.000100000000000000004792173602,\n"
            "       2.000000000000000000000000000000,\n"
            "       3.000000000000000000000000000000,\n"
            "       4.000000000000000000000000000000\n"
            "};\n"
            "\n"
            "MOV_SAT  R0.x,  fragment.texcoord[0].y;\n"
            "MOV_SAT  R0.y,  fragment.texcoord[0].z;\n"
            "MUL      R0.z,  fragment.texcoord[0].x,  C0.x;\n"
            "FRC      R0.w,  R0.z;\n"
            "MUL      R0.z,  R0.w,  C0.y;\n"
            "FLR      R0.w,  R0.z;\n"
            "ADD      R1.x,  R0.z, -R0.w;\n"
            "MAD      R0.z, -R0.y,  R0.x,  R0.y;\n"
            "MAD      R1.y, -R0.x,  R1.x,  C0.z;\n"
            "MUL      R1.z,  R0.y,  R1.y;\n"
            "ADD      R1.y,  C0.z, -R1.x;\n"
            "MAD      R1.x, -R0.x,  R1.y,  C0.z;\n"
            "MUL      R0.x,  R0.y,  R1.x;\n"
            "MOV      R1.x,  R0.y;\n"
            "MOV      R1.y,  R0.z;\n"
            "MOV      R1.w,  R1.z;\n"
            "ADD      R2.x,  R0.w, -C0.w;\n"
            "ABS      R2.y,  R2.x;\n"
            "ADD      R2.x,  R2.y, -C1.x;\n"
            "ADD      R2.y,  R0.w, -C0.z;\n"
            "ABS      R2.z,  R2.y;\n"
            "ADD      R2.y,  R2.z, -C1.x;\n"
            "ADD      R2.z,  R0.w, -C1.y;\n"
            "ABS      R2.w,  R2.z;\n"
            "ADD      R2.z,  R2.w, -C1.x;\n"
            "ADD      R2.w,  R0.w, -C1.z;\n"
            "ABS      R3.x,  R2.w;\n"
            "ADD      R2.w,  R3.x, -C1.x;\n"
            "ADD      R3.x,  R0.w, -C1.w;\n"
            "ABS      R0.w,  R3.x;\n"
            "ADD      R3.x,  R0.w, -C1.x;\n"
            "CMP      R0.w,  R2.x,  R0.y,  R1.x;\n"
            "CMP      R1.x,  R2.x,  R0.x,  R1.y;\n"
            "CMP      R1.y,  R2.x,  R0.z,  R1.w;\n"
            "CMP      R1.w,  R2.y,  R1.z,  R0.w;\n"
            "CMP      R0.w,  R2.y,  R0.y,  R1.x;\n"
            "CMP      R1.x,  R2.y,  R0.z,  R1.y;\n"
            "CMP      R1.y,  R2.z,  R0.z,  R1.w;\n"
            "CMP      R1.w,  R2.z,  R0.y,  R0.w;\n"
            "CMP      R0.w,  R2.z,  R0.x,  R1.x;\n"
            "CMP      R1.x,  R2.w,  R0.z,  R1.y;\n"
            "CMP      R1.y,  R2.w,  R1.z,  R1.w;\n"
            "CMP      R1.z,  R2.w,  R0.y,  R0.w;\n"
            "CMP      R0.w,  R3.x,  R0.x,  R1.x;\n"
            "CMP      R0.x,  R3.x,  R0.z,  R1.y;\n"
            "CMP      R0.z,  R3.x,  R0.y,  R1.z;\n"
            "MOV_SAT  R0.y,  R0.w;\n"
            "MOV_SAT  R0.w,  R0.x;\n"
            "MOV_SAT  R0.x,  R0.z;\n"
            "MUL      result.color.x,  fragment.color.primary.x,  R0.y;\n"
            "MUL      result.color.y,  fragment.color.primary.y,  R0.w;\n"
            "MUL      result.color.z,  fragment.color.primary.z,  R0.x;\n"
            "\n"
            "END\n");
}

// With float output the buffer gets hue (wrapped), saturation, lit value and alpha 1.
TEST_F(FragmentProgramBuilderTest, HsvForTheOverlayIsTheHandWorkedText) {
  Tree h("x"), s("y"), v("z");
  EXPECT_EQ(BuildHsvFragmentProgram(&parameters, h, s, v, nullptr, true),
            "!!ARBfp1.0\n"
            "\n"
            "TEMP R0;\n"
            "\n"
            "PARAM C0 = {\n"
            "       1.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000\n"
            "};\n"
            "\n"
            "MOV_SAT  R0.x,  fragment.texcoord[0].z;\n"
            "FRC      result.color.x,  fragment.texcoord[0].x;\n"
            "MOV      result.color.y,  fragment.texcoord[0].y;\n"
            "MUL      result.color.z,  R0.x,  fragment.color.primary.z;\n"
            "MOV      result.color.w,  C0.x;\n"
            "\n"
            "END\n");
}

// The condition alone: x < 0.5 tested, the failure discarded, the texture's colour lit. The
// constant 0.5 of the comparison and of the discard test is one constant.
TEST_F(FragmentProgramBuilderTest, AConditionAloneIsTheHandWorkedTexturedText) {
  Tree condition("lessthan[x, 0.5]");
  EXPECT_EQ(BuildRgbFragmentProgram(&parameters, nullptr, nullptr, nullptr, condition),
            "!!ARBfp1.0\n"
            "\n"
            "TEMP TX;\n"
            "TEMP R0;\n"
            "\n"
            "PARAM C0 = {\n"
            "       0.500000000000000000000000000000,\n"
            "       0.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000,\n"
            "       0.000000000000000000000000000000\n"
            "};\n"
            "\n"
            "TEX      TX, fragment.texcoord[1].xyzw, texture[0], 2D;\n"
            "SLT      R0.x,  fragment.texcoord[0].x,  C0.x;\n"
            "SLT      R0.y,  R0.x,  C0.x;\n"
            "KIL     -R0.y;\n"
            "MUL      result.color.x,  fragment.color.primary.x,  TX.x;\n"
            "MUL      result.color.y,  fragment.color.primary.y,  TX.y;\n"
            "MUL      result.color.z,  fragment.color.primary.z,  TX.z;\n"
            "\n"
            "END\n");
}

// A constant condition (one the classifier takes as a constant without flags) is skipped, even a
// false one; a comparison of numbers is no such constant and is tested per fragment.
TEST_F(FragmentProgramBuilderTest, AConstantConditionDiscardsNothing) {
  const std::string plain = Rgb("x", "y", "z");
  EXPECT_EQ(Rgb("x", "y", "z", "1"), plain);
  EXPECT_EQ(Rgb("x", "y", "z", "0"), plain);
  EXPECT_EQ(CountLines(Rgb("x", "y", "z", "lessthan[1, 2]"), "KIL "), 1);
}

// The stored overlay program, fed through Emit in its own order with its four leading constants
// made first: the back end must give its instructions and constants exactly (an independent
// golden for the renaming, the slot scan and the operand format).
TEST_F(FragmentProgramBuilderTest, TheStoredOverlayProgramComesBackInstructionForInstruction) {
  FragmentProgramBuilder b(&parameters);
  using Op = ProgramOp;
  b.usesTexture = 1;
  const int32_t c360 = b.ConstantValue(360), one = b.ConstantValue(1);
  b.ConstantValue(1.0 / 360);
  const int32_t six = b.ConstantValue(6);
  (void)c360;
  const int32_t h = b.NamedValue("TX.x"), s = b.NamedValue("TX.y"), v = b.NamedValue("TX.z");
  b.Emit(Op::kMul, {v, v, b.NamedValue("fragment.color.primary.z")});
  const int32_t x = b.NewTemporary(), i = b.NewTemporary(), f = b.NewTemporary(), p = b.NewTemporary(),
                m = b.NewTemporary(), q = b.NewTemporary(), n = b.NewTemporary(), t = b.NewTemporary();
  const int32_t r = b.NewTemporary(), g = b.NewTemporary(), bl = b.NewTemporary();
  b.Emit(Op::kFrc, {x, h});
  b.Emit(Op::kMul, {x, x, six});
  b.Emit(Op::kFlr, {i, x});
  b.Emit(Op::kAdd, {f, x, -i});
  b.Emit(Op::kMad, {p, -v, s, v});
  b.Emit(Op::kMad, {m, -s, f, one});
  b.Emit(Op::kMul, {q, v, m});
  b.Emit(Op::kAdd, {n, one, -f});
  b.Emit(Op::kMad, {n, -s, n, one});
  b.Emit(Op::kMul, {t, v, n});
  b.Emit(Op::kMov, {r, v});
  b.Emit(Op::kMov, {g, p});
  b.Emit(Op::kMov, {bl, q});
  int32_t sector[5];
  for (int k = 0; k < 5; ++k) {
    const int32_t d = b.NewTemporary();
    sector[k] = b.NewTemporary();
    b.Emit(Op::kAdd, {d, i, -b.ConstantValue(k)});
    b.Emit(Op::kAbs, {d, d});
    b.Emit(Op::kAdd, {sector[k], d, b.ConstantValue(-0.0001)});
  }
  const int32_t updates[5][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}};
  const int32_t rgb[3] = {r, g, bl};
  for (int k = 0; k < 5; ++k) {
    for (int c = 0; c < 3; ++c) b.Emit(Op::kCmp, {rgb[c], sector[k], updates[k][c], rgb[c]});
  }
  b.Emit(Op::kMov, {b.NamedValue("result.color.x"), r});
  b.Emit(Op::kMov, {b.NamedValue("result.color.y"), g});
  b.Emit(Op::kMov, {b.NamedValue("result.color.z"), bl});
  b.Emit(Op::kMov, {b.NamedValue("result.color.w"), b.NamedValue("TX.w")});
  const std::string generated = b.EmitFragmentProgram();

  // The stored text's instruction and constant lines (its TEX line reads another texture kind).
  auto essentials = [](std::string text, bool crLines) {
    std::string out;
    size_t at = 0;
    const char end = crLines ? '\r' : '\n';
    while (at < text.size()) {
      size_t stop = text.find(end, at);
      if (stop == std::string::npos) stop = text.size();
      const std::string line = text.substr(at, stop - at);
      // The stored TX.z line is written in another spacing: the generated one is compared below.
      const bool skipped = line.compare(0, 3, "TEX") == 0 || line.compare(0, 4, "TEMP") == 0 ||
                           line.compare(0, 8, "MUL TX.z") == 0 || line.compare(0, 13, "MUL      TX.z") == 0;
      const bool wanted = line.compare(0, 7, "PARAM C") == 0 || line.compare(0, 4, "    ") == 0 ||
                          (line.size() > 3 && line[0] >= 'A' && line[0] <= 'Z' && line != "END");
      if (wanted && !skipped) out += line + "\n";
      at = stop + 1;
    }
    return out;
  };
  EXPECT_EQ(essentials(generated, false), essentials(kDefaultColorFragmentProgram, true));
  EXPECT_EQ(CountLines(generated, "TEMP R"), 3);  // R0..R2, as stored
  EXPECT_EQ(CountLines(generated, "MUL      TX.z,  TX.z,  fragment.color.primary.z;"), 1);
}

TEST_F(FragmentProgramBuilderTest, WholePowersMultiplyAndOthersTakeTheGuardedPow) {
  struct Case {
    const char* power;
    int muls, rcps, pows, kils;
  } cases[] = {
      {"power[x, 2]", 1, 0, 0, 0},   {"power[x, 3]", 2, 0, 0, 0},  {"power[x, 4]", 2, 0, 0, 0},
      {"power[x, 5]", 3, 0, 0, 0},   {"power[x, 6]", 3, 0, 0, 0},  {"power[x, 7]", 3, 0, 1, 1},
      {"power[x, num[-2,\"-2\"]]", 1, 1, 0, 0},  {"power[x, num[-1,\"-1\"]]", 0, 1, 0, 0},
      {"power[x, minus[3]]", 2, 1, 0, 0},        {"power[x, 2.5]", 3, 0, 1, 1},
      {"power[x, 0]", 0, 0, 0, 0},   {"power[x, y]", 3, 0, 1, 1},
      // Within 1e-7 of a whole number on either side it is that number: -1.99999999 is -2 (not -1),
      // -0.99999999 is -1 (not the constant 1), 2.99999999 is 3; 1e-6 off is no whole number.
      {"power[x, minus[1.99999999]]", 1, 1, 0, 0}, {"power[x, minus[0.99999999]]", 0, 1, 0, 0},
      {"power[x, minus[2.00000001]]", 1, 1, 0, 0}, {"power[x, 2.99999999]", 2, 0, 0, 0},
      {"power[x, minus[0.00000001]]", 0, 0, 0, 0}, {"power[x, minus[1.999999]]", 3, 0, 1, 1},
  };
  for (const Case& c : cases) {
    const std::string text = Rgb(c.power, "0", "0");
    ASSERT_FALSE(text.empty()) << c.power;
    // The three output MULs and nothing else multiply outside the power.
    EXPECT_EQ(CountLines(text, "MUL ") - 3, c.muls) << c.power << "\n" << text;
    EXPECT_EQ(CountLines(text, "RCP "), c.rcps) << c.power;
    EXPECT_EQ(CountLines(text, "POW "), c.pows) << c.power;
    EXPECT_EQ(CountLines(text, "KIL "), c.kils) << c.power;
  }
  // x^3 exactly: MUL t, x, x; MUL t, t, x.
  const std::string cube = Rgb("power[x, 3]", "0", "0");
  EXPECT_NE(cube.find("MUL      R0.x,  fragment.texcoord[0].x,  fragment.texcoord[0].x;\n"
                      "MUL      R0.y,  R0.x,  fragment.texcoord[0].x;\n"),
            std::string::npos)
      << cube;
}

// -2.5 is stored once as 2.5 and read negated wherever it is used.
TEST_F(FragmentProgramBuilderTest, ANegativeConstantIsStoredOnceByMagnitude) {
  const std::string text = Rgb("times[x, num[-2.5,\"-2.5\"]]", "plus[y, num[-2.5,\"-2.5\"]]", "plus[z, 2.5]");
  EXPECT_EQ(CountLines(text, "       2.500000000000000000000000000000"), 1) << text;
  EXPECT_NE(text.find("MUL      R0.x,  fragment.texcoord[0].x, -C0.x;"), std::string::npos) << text;
  EXPECT_NE(text.find("ADD      R0.y,  fragment.texcoord[0].y, -C0.x;"), std::string::npos) << text;
  EXPECT_NE(text.find("ADD      R0.z,  fragment.texcoord[0].z,  C0.x;"), std::string::npos) << text;
}

// sin(x) + sin(x): the second SIN repeats the first and is not written; the ADD reads it twice.
TEST_F(FragmentProgramBuilderTest, ARepeatedInstructionIsWrittenOnce) {
  const std::string text = Rgb("plus[sin[x], sin[x]]", "cos[y]", "plus[cos[y], sin[x]]");
  EXPECT_EQ(CountLines(text, "SIN "), 1) << text;
  EXPECT_EQ(CountLines(text, "COS "), 1) << text;
  EXPECT_EQ(CountLines(text, "ADD "), 2) << text;
  EXPECT_NE(text.find("ADD      R0.y,  R0.x,  R0.x;"), std::string::npos) << text;
}

// Seven distinct parameters: U0 and U1; an expression of parameters alone is one parameter; the
// same parameter expression twice is one parameter.
TEST_F(FragmentProgramBuilderTest, ParametersArePackedFourToALocal) {
  const std::string text = Rgb("plus[times[x, a], b, c]", "plus[times[y, d], f]", "plus[times[z, g], h, times[x, a]]");
  EXPECT_EQ(CountLines(text, "PARAM U"), 2) << text;
  EXPECT_NE(text.find("PARAM U0 = program.local[0];\nPARAM U1 = program.local[1];\n\n"), std::string::npos);
  ASSERT_EQ(parameters.count, 7);
  EXPECT_TRUE(ExpressionsEqual(parameters.data[0], Tree("a")));
  EXPECT_TRUE(ExpressionsEqual(parameters.data[6], Tree("h")));
  EXPECT_NE(text.find("U1.z"), std::string::npos);  // parameter 6 = local[1].z
  FreeParameterList(&parameters);

  const std::string alone = Rgb("plus[a, times[b, c]]", "plus[a, times[b, c]]", "0");
  ASSERT_EQ(parameters.count, 1);
  EXPECT_TRUE(ExpressionsEqual(parameters.data[0], Tree("plus[a, times[b, c]]")));
  EXPECT_EQ(CountLines(alone, "MOV_SAT "), 2) << alone;  // the second channel repeats the first
  EXPECT_EQ(CountLines(alone, "MUL "), 3);
  EXPECT_EQ(CountLines(alone, "ADD ") + CountLines(alone, "MAD "), 0);
}

// Unsupported kinds and symbols with no place in a fragment: an empty text, no exception, and
// the parameter list as the caller gave it.
TEST_F(FragmentProgramBuilderTest, WhatTheGpuCannotTranslateGivesAnEmptyText) {
  const char* refused[] = {"tan[x]", "times[a, function[f, x]]", "plus[x, r]", "plus[x, w]", "plus[x, t]",
                           "acos[x]", "fact[x]", "plus[x, i]", "power[10, 400]", "floor[x, y]"};
  for (const char* red : refused) {
    const std::string text = Rgb(red, "times[y, b]", "z");
    EXPECT_TRUE(text.empty()) << red << "\n" << text;
    EXPECT_EQ(parameters.count, 0) << red;
    FreeParameterList(&parameters);
  }
  // The primed coordinates cannot be spelt in formula text.
  ExprNode* primed = NewSymbolNode(int16_t(kPrimeOffset + 'x'));
  Tree g("y"), b("z");
  EXPECT_TRUE(BuildRgbFragmentProgram(&parameters, primed, g, b, nullptr).empty());
  Tree h("x");
  EXPECT_TRUE(BuildHsvFragmentProgram(&parameters, h, primed, b, nullptr, false).empty());
  FreeExpression(primed);
}

// The generator never recurses past its depth bound: a deep tree takes the CPU path.
TEST_F(FragmentProgramBuilderTest, ADeepTreeGivesAnEmptyTextWithoutADeepRecursion) {
  ExprNode* tree = NewSymbolNode('x');
  for (int k = 0; k < 5000 && tree != nullptr; ++k) tree = NewUnaryNode(KindSin, tree);
  ASSERT_NE(tree, nullptr);
  Tree g("y"), b("z");
  EXPECT_TRUE(BuildRgbFragmentProgram(&parameters, tree, g, b, nullptr).empty());
  FreeExpression(tree);
}

// Every refused allocation of the parameter copies ends in an empty text with nothing leaked.
TEST_F(FragmentProgramBuilderTest, RefusedNodeMemoryEndsInAnEmptyText) {
  Tree r("plus[times[x, a], b]"), g("times[y, c]"), b("z");
  for (uint64_t n = 1; n <= 12; ++n) {
    FailNodeAllocationAt(n);
    const std::string text = BuildRgbFragmentProgram(&parameters, r, g, b, nullptr);
    FailNodeAllocationAt(0);
    EXPECT_TRUE(text.empty() || parameters.count == 3) << n;
    FreeParameterList(&parameters);
  }
}
