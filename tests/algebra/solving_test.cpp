// Solving for a selection: the isolate command's goldens (hand-derived; the selection given by its
// slot path), the obstacle and the exchange of sides, and a round trip over every invertible kind.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "algebra/solving.h"
#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

TEST_F(AlgebraTest, IsolateCommandGivesItsGoldens) {
  const struct { const char* text; const char* path; const char* after; const char* caret; } cases[] = {
      {"equal[plus[times[2,x],3],7]", "001", "equal[x,2]", "0"},
      {"equal[y,function[f,x]]", "1", "equal[function[f,x],y]", "0"},
      {"equal[sgn[x],1]", "00", "equal[sgn[x],1]", "0"},
      {"equal[y,sgn[x]]", "10", "equal[sgn[x],y]", "0"},  // the obstacle is the right side
      {"equal[power[e,x],y]", "01", "equal[x,ln[y]]", "0"},
      {"equal[power[2,x],y]", "01", "equal[x,log[y,2]]", "0"},
      {"equal[sin[x],y]", "00", "equal[x,asin[y]]", "0"},
      {"equal[over[x,a],y]", "00", "equal[x,times[a,y]]", "0"},  // y a, factors ordered
      {"equal[sqrt[x],y]", "00", "equal[x,power[y,2]]", "0"},
      {"equal[log[x],y]", "00", "equal[x,power[10,y]]", "0"},
      {"equal[log[a,x],y]", "01", "equal[x,power[a,over[1,y]]]", "0"},
      {"equal[power[x,2],4]", "00", "equal[x,sqrt[4]]", "0"},
      {"equal[y,times[3,x]]", "11", "equal[x,over[y,3]]", "0"},
      {"plus[x,1]", "0", "plus[x,1]", "0"},
      {"equal[plus[x,1],y,z]", "00", "equal[plus[x,1],y,z]", "00"},
  };
  for (const auto& c : cases) {
    CurrentEditor e(c.text, c.path);
    MathCommand2016();
    const ExprNode* caret = e.editor.root;
    for (const char* p = c.caret; *p != 0; ++p) caret = caret->children[*p - '0'];
    EXPECT_TRUE(Is(e.editor.root, c.after)) << c.text;
    EXPECT_TRUE(e.editor.caretNode == caret && e.editor.selectionMode == 0) << c.text;
  }
  for (uint32_t kind = KindSin; kind <= KindSgn; ++kind) EXPECT_EQ(IsInvertibleKind(kind), kind != KindSgn);
}

// ln x = y gives x = e^y, but where a sum, product or integral binds e that e^y would be a power
// of the index: the exponential is written as exp then. A bound e inside y binds nothing at the
// equation's place (goldens by hand).
TEST_F(AlgebraTest, SolvingALogarithmUnderABoundEWritesExp) {
  const struct { const char* text; const char* path; const char* after; } cases[] = {
      {"sum[equal[ln[x],y],equal[e,1],3]", "000", "sum[equal[x,exp[y]],equal[e,1],3]"},
      {"prod[equal[y,ln[x]],equal[e,1],3]", "010", "prod[equal[x,exp[y]],equal[e,1],3]"},
      {"int[equal[ln[x],y],e]", "000", "int[equal[x,exp[y]],e]"},
      {"sum[equal[ln[x],y],equal[k,1],3]", "000", "sum[equal[x,power[e,y]],equal[k,1],3]"},
      {"equal[ln[x],sum[e,equal[e,1],3]]", "00", "equal[x,power[e,sum[e,equal[e,1],3]]]"},
      {"sum[equal[power[e,x],y],equal[e,2],3]", "001", "sum[equal[x,log[y,e]],equal[e,2],3]"},
  };
  for (const auto& c : cases) {
    CurrentEditor e(c.text, c.path);
    MathCommand2016();
    EXPECT_TRUE(Is(e.editor.root, c.after)) << c.text;
  }
}

// F(x) = y for each invertible kind (x on either side, under up to two more steps of + and x, with
// positive constants), x0 in F's principal domain and y = F(x0): the solution, evaluated, gives
// F(x) = y again. A wrong row of the arc-function table fails here.
TEST_F(AlgebraTest, SolvingRoundTripsForEveryInvertibleKind) {
  const char* forms[] = {"plus[X,C]", "plus[C,X,C]", "times[C,X]", "times[C,X,C]", "minus[X]", "over[X,C]", "over[C,X]",
                         "power[X,C]", "power[C,X]", "power[e,X]", "sqrt[X]", "sqrt[X,C]", "sqrt[C,X]", "log[X]",
                         "log[X,C]", "log[C,X]", "ln[X]", "id[X]", "sin[X]", "cos[X]", "tan[X]", "cot[X]",
                         "csc[X]", "sec[X]", "asin[X]", "acos[X]", "atan[X]", "acot[X]", "acsc[W]", "asec[W]",
                         "sinh[X]", "cosh[X]", "tanh[X]", "coth[X]", "csch[X]", "sech[X]", "asinh[X]", "acosh[W]",
                         "atanh[X]", "acoth[W]", "acsch[X]", "asech[X]"};
  std::mt19937 rng(20240611);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto number = [&](double lo, double hi) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", uniform(lo, hi));
    return std::string(text);
  };
  int checked = 0;
  for (int i = 0; i < 1000; ++i) {
    std::string side = forms[i % std::size(forms)];
    const bool wide = side.find('W') != std::string::npos;  // acsc, asec, acosh, acoth need |x| > 1
    for (size_t p; (p = side.find_first_of("CW")) != std::string::npos;) side.replace(p, 1, side[p] == 'C' ? number(1.5, 3) : "X");
    for (int wrap = rng() % 3; wrap > 0; --wrap) side = rng() % 2 ? "plus[" + side + "," + number(1, 2) + "]" : "times[" + number(1, 2) + "," + side + "]";
    side.replace(side.find('X'), 1, "x");
    const bool left = rng() % 2;
    CurrentEditor e((left ? "equal[" + side + ",y]" : "equal[y," + side + "]").c_str());
    ExprNode* original = CopyExpression(e.editor.root->children[left ? 0 : 1]);
    UnwrapIdNodes(original);  // the test evaluator has no id
    TreeCursor cursor(e.editor.root, WalkOrder::kPreOrder);
    while (!IsSymbolNode(cursor.Current(), 'x')) cursor.Next();
    e.editor.caretNode = cursor.Current();
    const double y = Evaluate(original, {{'x', wide ? uniform(1.2, 3) : uniform(0.2, 0.9)}});
    MathCommand2016();
    ASSERT_TRUE(IsShape(e.editor.root, KindEqual, 2) && IsSymbolNode(e.editor.root->children[0], 'x')) << Text(e.editor.root);
    const double x = Evaluate(e.editor.root->children[1], {{'y', y}});
    EXPECT_TRUE(Close(Evaluate(original, {{'x', x}}), y, 1e-8)) << side << " -> " << Text(e.editor.root) << " at y = " << y;
    checked += std::isfinite(y);
    FreeExpression(original);
  }
  EXPECT_EQ(checked, 1000);
}

}  // namespace
