// The equation-form classifier: one table of formula texts, each classified for a 2D, a 3D and the
// 4D view, giving the form word and (for no form) the message; every form code 1..66 appears, and
// every call must leave the tree equal to its copy. Expected words and messages are worked out by
// hand from the ordered rules (first match wins), never taken from a run.
#include <set>

#include "graphs/definitions.h"
#include "graphs/equation_form.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeDocument;
using graphs_test::Parse;

class EquationFormTest : public graphs_test::GraphsTest {};

struct Answer {
  int32_t word;
  int32_t message;  // 0 when there is a form
};

struct FormCase {
  const char* text;
  bool primed;  // x, y, z of the text become x', y', z' (the reader has no primes)
  Answer view2D, view3D, view4D;
};

// Vector field prefix of the field-on-surface forms: (x, y, z) = (y, z, x).
#define FIELD "equal[matrix[3,1,x,y,z], matrix[3,1,y,z,x]], "

const FormCase kCases[] = {
    // Explicit and coordinate forms.
    {"equal[y, power[x,2]]", false, {1, 0}, {7, 0}, {0, 25}},
    {"equal[x, y]", false, {2, 0}, {6, 0}, {0, 25}},
    {"equal[r, theta]", false, {3, 0}, {8, 0}, {0, 25}},
    {"equal[theta, r]", false, {4, 0}, {9, 0}, {0, 25}},
    {"equal[z, times[x,y]]", false, {5, 0}, {5, 0}, {0, 25}},
    {"equal[x, times[y,z]]", false, {6, 0}, {6, 0}, {0, 25}},
    {"equal[y, times[x,z]]", false, {7, 0}, {7, 0}, {0, 25}},
    {"equal[r, times[theta,phi]]", false, {8, 0}, {8, 0}, {0, 25}},
    {"equal[theta, times[r,phi]]", false, {9, 0}, {9, 0}, {0, 25}},
    {"equal[phi, times[r,theta]]", false, {10, 0}, {10, 0}, {0, 25}},
    {"equal[r, times[theta,z]]", false, {11, 0}, {11, 0}, {0, 25}},
    {"equal[z, times[r,theta]]", false, {12, 0}, {12, 0}, {0, 25}},
    {"equal[z, times[x,r]]", false, {13, 0}, {13, 0}, {0, 25}},
    {"equal[theta, times[r,z]]", false, {14, 0}, {14, 0}, {0, 25}},
    {"equal[w, power[z,2]]", false, {22, 0}, {22, 0}, {22, 0}},
    {"equal[z, power[t,2]]", false, {38, 0}, {38, 0}, {0, 16}},
    {"equal[z, plus[2, times[3,i]]]", false, {43, 0}, {5, 0}, {0, 25}},
    // Tuple forms.
    {"equal[matrix[2,1,r,theta], matrix[2,1,t,t]]", false, {15, 0}, {15, 0}, {0, 25}},
    {"equal[matrix[2,1,x,y], matrix[2,1,y,x]]", false, {16, 0}, {0, 20}, {0, 25}},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,y,z,x]]", false, {17, 0}, {17, 0}, {0, 25}},
    {"equal[matrix[2,1,x,y], matrix[2,1,cos[t],sin[t]]]", false, {18, 0}, {18, 0}, {0, 25}},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,cos[t],sin[t],t]]", false, {19, 0}, {19, 0}, {0, 25}},
    {"equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[t],sin[t],t,1]]", false, {20, 0}, {20, 0}, {20, 0}},
    {"equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[u],sin[u],u,v]]", false, {21, 0}, {21, 0}, {21, 0}},
    {"equal[matrix[3,1,r,theta,phi], matrix[3,1,t,t,t]]", false, {24, 0}, {24, 0}, {0, 25}},
    {"equal[matrix[3,1,r,theta,z], matrix[3,1,t,t,t]]", false, {25, 0}, {25, 0}, {0, 25}},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]]", false, {26, 0}, {26, 0}, {0, 25}},
    {"equal[matrix[3,1,r,theta,phi], matrix[3,1,u,v,u]]", false, {27, 0}, {27, 0}, {0, 25}},
    {"equal[matrix[3,1,r,theta,z], matrix[3,1,u,v,1]]", false, {28, 0}, {28, 0}, {0, 25}},
    {"equal[plus[power[x,2],power[y,2]], 1]", false, {29, 0}, {30, 0}, {0, 25}},
    {"equal[plus[power[x,2],power[y,2],power[z,2]], 1]", false, {30, 0}, {30, 0}, {0, 25}},
    {"equal[function[optotal[x],y], times[x,y]]", false, {36, 0}, {0, 24}, {0, 25}},
    {"equal[function[optotal[t],matrix[2,1,x,y]], matrix[2,1,y,minus[x]]]", false, {37, 0}, {0, 24}, {0, 16}},
    {"equal[plus[x,times[i,y]], power[z,2]]", false, {39, 0}, {39, 0}, {0, 25}},
    {"equal[function[optotal[t],z], z]", false, {41, 0}, {0, 16}, {0, 16}},
    {"equal[p, plus[1, times[2,i]]]", false, {42, 0}, {30, 0}, {0, 25}},
    {"equal[matrix[2,1,x,y], matrix[2,1,1,2]]", false, {45, 0}, {0, 20}, {0, 25}},
    {"equal[matrix[3,1,r,g,b], matrix[3,1,x,y,0]]", false, {49, 0}, {0, 14}, {0, 25}},
    {"equal[matrix[3,1,h,s,v], matrix[3,1,x,y,1]]", false, {50, 0}, {0, 14}, {0, 25}},
    // Lone expressions.
    {"power[x,2]", false, {31, 0}, {33, 0}, {0, 25}},
    {"power[y,2]", false, {32, 0}, {33, 0}, {0, 25}},
    {"times[x,y]", false, {33, 0}, {33, 0}, {0, 25}},
    {"lessthan[x,y]", false, {34, 0}, {0, 19}, {0, 25}},
    {"leq[x,y]", false, {35, 0}, {0, 19}, {0, 25}},
    {"power[z,2]", false, {40, 0}, {40, 0}, {0, 25}},
    {"matrix[2,1,1,2]", false, {44, 0}, {0, 19}, {0, 25}},  // a 2-vector is two operands: "relation"
    {"matrix[2,1,t,power[t,2]]", false, {46, 0}, {0, 16}, {0, 16}},
    {"matrix[3,1,cos[t],sin[t],t]", false, {47, 0}, {47, 0}, {0, 16}},
    {"matrix[3,1,u,v,times[u,v]]", false, {48, 0}, {48, 0}, {0, 17}},
    // Point lists.
    {"comma[matrix[4,1,1,2,3,4], matrix[4,1,5,6,7,8]]", false, {23, 0}, {23, 0}, {23, 0}},
    {"comma[matrix[2,1,1,2], matrix[2,1,3,4]]", false, {51, 0}, {51, 0}, {0, 25}},
    {"comma[matrix[3,1,1,2,3], matrix[3,1,4,5,6]]", false, {52, 0}, {52, 0}, {0, 25}},
    {"matrix[3,1,1,2,3]", false, {53, 0}, {53, 0}, {0, 25}},
    // Vector fields on surfaces.
    {"comma[" FIELD "equal[plus[power[x,2],power[y,2],power[z,2]], 1]]", false, {54, 0}, {54, 0}, {0, 25}},
    {"comma[" FIELD "equal[x, times[y,z]]]", false, {55, 0}, {55, 0}, {0, 25}},
    {"comma[" FIELD "equal[y, times[z,x]]]", false, {56, 0}, {56, 0}, {0, 25}},
    {"comma[" FIELD "equal[z, times[y,x]]]", false, {57, 0}, {57, 0}, {0, 25}},
    {"comma[" FIELD "equal[r, times[theta,phi]]]", false, {58, 0}, {58, 0}, {0, 18}},
    {"comma[" FIELD "equal[theta, times[r,phi]]]", false, {59, 0}, {59, 0}, {0, 18}},
    {"comma[" FIELD "equal[phi, times[r,theta]]]", false, {60, 0}, {60, 0}, {0, 18}},
    {"comma[" FIELD "equal[r, times[theta,z]]]", false, {61, 0}, {61, 0}, {0, 25}},
    {"comma[" FIELD "equal[z, times[r,theta]]]", false, {62, 0}, {62, 0}, {0, 25}},
    {"comma[" FIELD "equal[theta, times[r,z]]]", false, {63, 0}, {63, 0}, {0, 25}},
    {"comma[" FIELD "equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]]]", false, {64, 0}, {64, 0}, {0, 17}},
    {"comma[" FIELD "equal[matrix[3,1,r,theta,phi], matrix[3,1,u,v,1]]]", false, {65, 0}, {65, 0}, {0, 17}},
    {"comma[" FIELD "equal[matrix[3,1,r,theta,z], matrix[3,1,u,v,1]]]", false, {66, 0}, {66, 0}, {0, 17}},
    // Primed coordinates: found on the exchanged tree; 20..23 found so are dropped.
    {"equal[x, power[y,2]]", true, {0x102, 0}, {0x106, 0}, {0, 25}},
    {"equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[t],sin[t],t,1]]", true, {0, 14}, {0, 14}, {0, 14}},
    // Trailing items: conditions, colour specifications, the read-out item of 49 and 50.
    {"comma[equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[u],sin[u],u,v]], greaterthan[x,0]]", false, {21, 0}, {21, 0},
     {21, 0}},
    {"comma[equal[y, power[x,2]], greaterthan[x,0]]", false, {1, 0}, {7, 0}, {0, 25}},
    {"comma[equal[y, power[x,2]], greaterthan[y,0]]", false, {0, 21}, {7, 0}, {0, 25}},
    {"comma[equal[y, power[x,2]], 3]", false, {0, 21}, {0, 23}, {0, 25}},
    {"comma[equal[plus[power[x,2],power[y,2]], 1], greaterthan[x,0]]", false, {29, 0}, {30, 0}, {0, 25}},
    {"comma[equal[plus[power[x,2],power[y,2]], 1], sin[x]]", false, {0, 23}, {0, 23}, {0, 25}},
    {"comma[equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]], equal[matrix[3,1,r,g,b], matrix[3,1,u,v,1]]]",
     false, {0, 21}, {26, 0}, {0, 25}},
    {"comma[equal[matrix[3,1,r,g,b], matrix[3,1,x,y,0]], plus[x,y]]", false, {49, 0}, {0, 14}, {0, 25}},
    {"comma[equal[y, x], dot[x,y]]", false, {0, 23}, {0, 23}, {0, 23}},
    // Messages of equations without a form.
    {"prompt[]", false, {0, 22}, {0, 22}, {0, 22}},
    {"equal[y, prompt[]]", false, {0, 15}, {0, 15}, {0, 15}},
    {"equal[y, t]", false, {0, 16}, {0, 16}, {0, 16}},
    {"equal[x, u]", false, {0, 17}, {0, 17}, {0, 17}},
    {"equal[z, times[r,phi]]", false, {0, 18}, {0, 18}, {0, 18}},
};
#undef FIELD

TEST_F(EquationFormTest, TableOfFormsAndMessagesInEachViewLeavesTheTreeAsItWas) {
  std::set<int32_t> codesSeen;
  for (const FormCase& c : kCases) {
    const Answer expected[3] = {c.view2D, c.view3D, c.view4D};
    for (int dim = 0; dim < 3; ++dim) {
      ExprNode* tree = Parse(c.text);
      ASSERT_NE(tree, nullptr);
      if (c.primed) SwapPrimedCoordinates(tree);
      ExprNode* copy = CopyExpression(tree);
      const bool flag3D = dim == 1, flag4D = dim == 2;
      const int32_t word = ClassifyEquationForGraph(tree, flag3D, flag4D, nullptr);
      EXPECT_TRUE(ExpressionsEqual(tree, copy)) << c.text << " changed by the classifier";
      const int32_t message = word == 0 ? ClassifyEquationList(tree, flag3D, flag4D, nullptr) : 0;
      EXPECT_TRUE(ExpressionsEqual(tree, copy)) << c.text << " changed by the message";
      EXPECT_EQ(word, expected[dim].word) << c.text << " in view " << dim + 2 << "D";
      EXPECT_EQ(message, expected[dim].message) << c.text << " in view " << dim + 2 << "D";
      codesSeen.insert(word & 0xFF);
      FreeExpression(copy);
      FreeExpression(tree);
    }
  }
  for (int32_t code = 1; code <= 66; ++code) EXPECT_TRUE(codesSeen.count(code)) << "form " << code << " untested";
}

TEST_F(EquationFormTest, ComplexPointNamesOfTheDocumentMakeForm43) {
  FakeDocument document;
  document.AddRow("equal[p, plus[1, times[2,i]]]");
  ExprNode* tree = Parse("equal[z, times[2,p]]");
  EXPECT_EQ(ClassifyEquationForGraph(tree, false, false, &document), 43);
  EXPECT_EQ(ClassifyEquationForGraph(tree, false, false, nullptr), 5);  // p is only a parameter
  FreeExpression(tree);
}

TEST_F(EquationFormTest, FormSetsIgnoreThePrimedFlag) {
  struct SetCase {
    int32_t word;
    bool curve, inSet;
  } const cases[] = {{1, false, false}, {3, true, false}, {5, true, true},    {23, false, false},
                     {44, false, true}, {53, true, false}, {0x105, true, true}, {0, false, false}};
  for (const SetCase& c : cases) {
    EXPECT_EQ(IsCurveFormCode(c.word), c.curve) << c.word;
    EXPECT_EQ(IsFormCodeInSet(c.word), c.inSet) << c.word;
  }
}

TEST_F(EquationFormTest, ListPredicatesAndTraits) {
  ExprNode* points = Parse("list[equal[z, plus[1,i]], matrix[2,1,1,2], equal[matrix[2,1,x,y], matrix[2,1,3,4]]]");
  ExprNode* point = Parse("matrix[2,1,1,2]");
  ExprNode* surfaces = Parse("list[equal[z, times[x,y]], equal[matrix[4,1,x,y,u,v], matrix[4,1,u,v,u,v]]]");
  ExprNode* curve = Parse("equal[y, power[x,2]]");
  EXPECT_TRUE(AllEquationsPassForm(points, nullptr));
  EXPECT_FALSE(AllEquationsPassForm(curve, nullptr));
  EXPECT_TRUE(AllEquationsAreForm(surfaces, nullptr));
  EXPECT_FALSE(AllEquationsAreForm(points, nullptr));
  EXPECT_TRUE(AnyEquationHasForm(curve, nullptr));  // 7 in 3D
  EXPECT_FALSE(AnyEquationHasForm(point, nullptr));
  EXPECT_TRUE(AnyEquationHasProperty(surfaces));
  EXPECT_FALSE(AnyEquationHasProperty(curve));
  SwapPrimedCoordinates(surfaces);  // z' = x' y' uses z as a surface once exchanged back
  EXPECT_TRUE(AnyEquationHasProperty(surfaces));
  FreeExpression(points);
  FreeExpression(point);
  FreeExpression(surfaces);
  FreeExpression(curve);

  struct TraitCase {
    const char* text;
    double mode;
    EquationFormTraits traits;  // graphable, surface, 4D form, primed
  } const cases[] = {
      {"equal[a, 5]", 0, {0, 0, 0, 0}},                    // a parameter definition: 29, not graphable
      {"equal[p, plus[1, times[2,i]]]", 0, {1, 0, 0, 0}},  // complex points are graphed
      {"equal[indexes[0,1,x,1], y]", 0, {1, 0, 0, 0}},     // x_1 = y is form 2 and graphed
      {"equal[z, times[x,y]]", 0, {1, 0, 0, 0}},
      {"equal[z, times[x,y]]", 5.0, {1, 1, 0, 0}},         // 5 & 3 == 1: drawn as a surface
      {"equal[w, power[z,2]]", 0, {1, 0, 1, 0}},
      {"equal[matrix[3,1,x,y,z], matrix[3,1,u,v,1]]", 0, {1, 1, 0, 0}},
  };
  for (const TraitCase& c : cases) {
    ExprNode* tree = Parse(c.text);
    const EquationFormTraits t = GetEquationFormTraits(tree, c.mode, nullptr);
    EXPECT_EQ(t.graphable, c.traits.graphable) << c.text;
    EXPECT_EQ(t.surface, c.traits.surface) << c.text;
    EXPECT_EQ(t.form4D, c.traits.form4D) << c.text;
    EXPECT_EQ(t.primed, c.traits.primed) << c.text;
    FreeExpression(tree);
  }
  ExprNode* primed = Parse("equal[x, power[y,2]]");
  SwapPrimedCoordinates(primed);
  EXPECT_EQ(GetEquationFormTraits(primed, 0, nullptr).primed, 1);
  FreeExpression(primed);
}

TEST_F(EquationFormTest, SlopeFieldDerivatives) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {{"function[optotal[x],y]", true},
               {"over[times[d,y],times[d,x]]", true},
               {"function[optotal[t],z]", true},
               {"function[optotal[y],x]", false},
               {"over[times[d,y],times[d,x,x]]", false}};
  for (const auto& c : cases) {
    ExprNode* tree = Parse(c.text);
    EXPECT_EQ(IsSlopeFieldDerivative(tree), c.expected) << c.text;
    FreeExpression(tree);
  }
}

}  // namespace
