// The equation-form classifier: one table of formula texts, each classified for a 2D, a 3D and the
// 4D view, giving the form word and (for no form) the message; every form code 1..66 appears, and
// every call must leave the tree equal to its copy. Expected words and messages are worked out by
// hand from the ordered rules (first match wins), never taken from a run.
#include <set>

#include "graphs/factory/definitions.h"
#include "graphs/factory/equation_form.h"
#include "kernel/trees/node_builders.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeDocument;
using graphs_test::Tree;

class EquationFormTest : public graphs_test::GraphsTest {};

// Each case: the text (a leading ' primes x, y, z) and the answer in a 2D, a 3D and the 4D view:
// the form word, or minus the message.
struct FormCase {
  const char* text;
  int32_t view[3];
};

#define F "equal[matrix[3,1,x,y,z], matrix[3,1,y,z,x]], "  // (x, y, z) = (y, z, x), before a surface
const FormCase kCases[] = {
    {"equal[y, power[x,2]]", 1, 7, -25}, {"equal[x, y]", 2, 6, -25}, {"equal[r, theta]", 3, 8, -25},
    {"equal[theta, r]", 4, 9, -25}, {"equal[z, times[x,y]]", 5, 5, -25}, {"equal[x, times[y,z]]", 6, 6, -25},
    {"equal[y, times[x,z]]", 7, 7, -25}, {"equal[r, times[theta,phi]]", 8, 8, -25},
    {"equal[theta, times[r,phi]]", 9, 9, -25}, {"equal[phi, times[r,theta]]", 10, 10, -25},
    {"equal[r, times[theta,z]]", 11, 11, -25}, {"equal[z, times[r,theta]]", 12, 12, -25},
    {"equal[z, times[x,r]]", 13, 13, -25}, {"equal[theta, times[r,z]]", 14, 14, -25},
    {"equal[w, power[z,2]]", 22, 22, 22}, {"equal[z, power[t,2]]", 38, 38, -16},
    {"equal[z, plus[2, times[3,i]]]", 43, 5, -25}, {"equal[matrix[2,1,r,theta], matrix[2,1,t,t]]", 15, 15, -25},
    {"equal[matrix[2,1,x,y], matrix[2,1,y,x]]", 16, -20, -25},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,y,z,x]]", 17, 17, -25},
    {"equal[matrix[2,1,x,y], matrix[2,1,cos[t],sin[t]]]", 18, 18, -25},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,cos[t],sin[t],t]]", 19, 19, -25},
    {"equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[t],sin[t],t,1]]", 20, 20, 20},
    {"equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[u],sin[u],u,v]]", 21, 21, 21},
    {"equal[matrix[3,1,r,theta,phi], matrix[3,1,t,t,t]]", 24, 24, -25},
    {"equal[matrix[3,1,r,theta,z], matrix[3,1,t,t,t]]", 25, 25, -25},
    {"equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]]", 26, 26, -25},
    {"equal[matrix[3,1,r,theta,phi], matrix[3,1,u,v,u]]", 27, 27, -25},
    {"equal[matrix[3,1,r,theta,z], matrix[3,1,u,v,1]]", 28, 28, -25},
    {"equal[plus[power[x,2],power[y,2]], 1]", 29, 30, -25},
    {"equal[plus[power[x,2],power[y,2],power[z,2]], 1]", 30, 30, -25},
    {"equal[function[optotal[x],y], times[x,y]]", 36, -24, -25},
    {"equal[function[optotal[t],matrix[2,1,x,y]], matrix[2,1,y,minus[x]]]", 37, -24, -16},
    {"equal[plus[x,times[i,y]], power[z,2]]", 39, 39, -25}, {"equal[function[optotal[t],z], z]", 41, -16, -16},
    {"equal[p, plus[1, times[2,i]]]", 42, 30, -25}, {"equal[matrix[2,1,x,y], matrix[2,1,1,2]]", 45, -20, -25},
    {"equal[matrix[3,1,r,g,b], matrix[3,1,x,y,0]]", 49, -14, -25},
    {"equal[matrix[3,1,h,s,v], matrix[3,1,x,y,1]]", 50, -14, -25}, {"power[x,2]", 31, 33, -25},
    {"power[y,2]", 32, 33, -25}, {"times[x,y]", 33, 33, -25}, {"lessthan[x,y]", 34, -19, -25},
    {"leq[x,y]", 35, -19, -25}, {"power[z,2]", 40, 40, -25}, {"matrix[2,1,1,2]", 44, -19, -25},
    {"matrix[2,1,t,power[t,2]]", 46, -16, -16}, {"matrix[3,1,cos[t],sin[t],t]", 47, 47, -16},
    {"matrix[3,1,u,v,times[u,v]]", 48, 48, -17}, {"comma[matrix[4,1,1,2,3,4], matrix[4,1,5,6,7,8]]", 23, 23, 23},
    {"comma[matrix[2,1,1,2], matrix[2,1,3,4]]", 51, 51, -25},
    {"comma[matrix[3,1,1,2,3], matrix[3,1,4,5,6]]", 52, 52, -25}, {"matrix[3,1,1,2,3]", 53, 53, -25},
    {"comma[" F "equal[plus[power[x,2],power[y,2],power[z,2]], 1]]", 54, 54, -25},
    {"comma[" F "equal[x, times[y,z]]]", 55, 55, -25}, {"comma[" F "equal[y, times[z,x]]]", 56, 56, -25},
    {"comma[" F "equal[z, times[y,x]]]", 57, 57, -25}, {"comma[" F "equal[r, times[theta,phi]]]", 58, 58, -18},
    {"comma[" F "equal[theta, times[r,phi]]]", 59, 59, -18}, {"comma[" F "equal[phi, times[r,theta]]]", 60, 60, -18},
    {"comma[" F "equal[r, times[theta,z]]]", 61, 61, -25}, {"comma[" F "equal[z, times[r,theta]]]", 62, 62, -25},
    {"comma[" F "equal[theta, times[r,z]]]", 63, 63, -25},
    {"comma[" F "equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]]]", 64, 64, -17},
    {"comma[" F "equal[matrix[3,1,r,theta,phi], matrix[3,1,u,v,1]]]", 65, 65, -17},
    {"comma[" F "equal[matrix[3,1,r,theta,z], matrix[3,1,u,v,1]]]", 66, 66, -17},
    {"'equal[x, power[y,2]]", 258, 262, -25},
    {"'equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[t],sin[t],t,1]]", -14, -14, -14},
    {"comma[equal[matrix[4,1,x,y,u,v], matrix[4,1,cos[u],sin[u],u,v]], greaterthan[x,0]]", 21, 21, 21},
    {"comma[equal[y, power[x,2]], greaterthan[x,0]]", 1, 7, -25},
    {"comma[equal[y, power[x,2]], greaterthan[y,0]]", -21, 7, -25}, {"comma[equal[y, power[x,2]], 3]", -21, -23, -25},
    {"comma[equal[plus[power[x,2],power[y,2]], 1], greaterthan[x,0]]", 29, 30, -25},
    {"comma[equal[plus[power[x,2],power[y,2]], 1], sin[x]]", -23, -23, -25},
    {"comma[equal[matrix[3,1,x,y,z], matrix[3,1,u,v,times[u,v]]], equal[matrix[3,1,r,g,b], matrix[3,1,u,v,1]]]",
     -21, 26, -25},
    {"comma[equal[matrix[3,1,r,g,b], matrix[3,1,x,y,0]], plus[x,y]]", 49, -14, -25},
    {"comma[equal[y, x], dot[x,y]]", -23, -23, -23}, {"prompt[]", -22, -22, -22},
    {"equal[y, prompt[]]", -15, -15, -15}, {"equal[y, t]", -16, -16, -16}, {"equal[x, u]", -17, -17, -17},
    {"equal[z, times[r,phi]]", -18, -18, -18},
    // Empty lists and comparisons: no equation, and no inequality or condition.
    {"comma[]", -22, -22, -22}, {"lessthan[]", -14, -14, -14}, {"greaterthan[x]", -14, -14, -14},
    {"comma[equal[y, x], greaterthan[]]", -21, -23, -25},
    {"comma[equal[plus[power[x,2],power[y,2]], 1], lessthan[]]", -23, -23, -25},
};
#undef F

TEST_F(EquationFormTest, TableOfFormsAndMessagesInEachViewLeavesTheTreeAsItWas) {
  std::set<int32_t> codesSeen;
  for (const FormCase& c : kCases) {
    for (int dim = 0; dim < 3; ++dim) {
      Tree tree(c.text);
      ASSERT_NE(tree.node, nullptr);
      ExprNode* copy = CopyExpression(tree);
      const bool flag3D = dim == 1, flag4D = dim == 2;
      int32_t answer = ClassifyEquationForGraph(tree, flag3D, flag4D, nullptr);
      EXPECT_TRUE(ExpressionsEqual(tree, copy)) << c.text << " changed by the classifier";
      if (answer == 0) answer = -ClassifyEquationList(tree, flag3D, flag4D, nullptr);
      EXPECT_TRUE(ExpressionsEqual(tree, copy)) << c.text << " changed by the message";
      EXPECT_EQ(answer, c.view[dim]) << c.text << " in view " << dim + 2 << "D";
      codesSeen.insert(answer & 0xFF);
      FreeExpression(copy);
    }
  }
  for (int32_t code = 1; code <= 66; ++code) EXPECT_TRUE(codesSeen.count(code)) << "form " << code << " untested";
}

TEST_F(EquationFormTest, ComplexPointNamesOfTheDocumentMakeForm43) {
  FakeDocument document;
  document.AddRow("equal[p, plus[1, times[2,i]]]");
  Tree tree("equal[z, times[2,p]]");
  EXPECT_EQ(ClassifyEquationForGraph(tree, false, false, &document), 43);
  EXPECT_EQ(ClassifyEquationForGraph(tree, false, false, nullptr), 5);  // p is only a parameter
}

TEST_F(EquationFormTest, ListPredicatesTraitsAndSlopeFields) {
  Tree points("list[equal[z, plus[1,i]], matrix[2,1,1,2], equal[matrix[2,1,x,y], matrix[2,1,3,4]]]");
  Tree surfaces("list[equal[z, times[x,y]], equal[matrix[4,1,x,y,u,v], matrix[4,1,u,v,u,v]]]");
  Tree curve("equal[y, power[x,2]]");
  EXPECT_TRUE(AllEquationsPassForm(points, nullptr) && !AllEquationsPassForm(curve, nullptr));
  EXPECT_TRUE(AllEquationsAreForm(surfaces, nullptr) && !AllEquationsAreForm(points, nullptr));
  EXPECT_TRUE(AnyEquationHasForm(curve, nullptr) && !AnyEquationHasForm(points->children[1], nullptr));
  EXPECT_TRUE(AnyEquationHasProperty(surfaces) && !AnyEquationHasProperty(curve));
  SwapPrimedCoordinates(surfaces);  // z' = x' y' uses z as a surface once exchanged back
  EXPECT_TRUE(AnyEquationHasProperty(surfaces));

  const struct { const char* text; double mode; int traits; } cases[] = {  // graphable, surface, 4D, primed
      {"equal[a, 5]", 0, 0},                         // a parameter definition: form 29, not graphed
      {"equal[p, plus[1, times[2,i]]]", 0, 1000},    // complex points are graphed
      {"equal[indexes[0,1,x,1], y]", 0, 1000},       // x_1 = y is form 2 and graphed
      {"equal[z, times[x,y]]", 0, 1000}, {"equal[z, times[x,y]]", 5.0, 1100},  // 5 & 3 == 1: a surface
      {"equal[w, power[z,2]]", 0, 1010}, {"equal[matrix[3,1,x,y,z], matrix[3,1,u,v,1]]", 0, 1100},
      {"'equal[x, power[y,2]]", 0, 1001}};
  for (const auto& c : cases) {
    const EquationFormTraits t = GetEquationFormTraits(Tree(c.text), c.mode, nullptr);
    EXPECT_EQ(t.graphable * 1000 + t.surface * 100 + t.form4D * 10 + t.primed, c.traits) << c.text;
  }
  const struct { const char* text; bool slope; } slopes[] = {
      {"function[optotal[x],y]", true}, {"over[times[d,y],times[d,x]]", true}, {"function[optotal[t],z]", true},
      {"function[optotal[y],x]", false}, {"over[times[d,y],times[d,x,x]]", false}};
  for (const auto& c : slopes) EXPECT_EQ(IsSlopeFieldDerivative(Tree(c.text)), c.slope) << c.text;
}

}  // namespace
