// Symbol queries over trees (reserved symbols, renaming, primed coordinates, complex use, the
// typed f(x)) and the queries on the current formula editor's selection.
#include <gtest/gtest.h>

#include "kernel/trees/tree_seams.h"
#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Show;

class TreeQueriesTest : public tree_test::TreeTest {
 protected:
  void TearDown() override {
    ResetTreeSeams();
    tree_test::TreeTest::TearDown();
  }
};

TEST_F(TreeQueriesTest, ReservedSymbols) {
  struct Case { int32_t id; bool coordinate, constant; };
  const Case cases[] = {
      {'x', true, false},   {'y', true, false},   {'z', true, false},   {0x7078, true, false},
      {0x7079, true, false}, {0x707A, true, false}, {'r', true, false},   {'t', true, false},
      {'u', true, false},   {'v', true, false},   {'w', true, false},   {SymPhi, true, false},
      {SymTheta, true, false}, {SymRho, true, false}, {'e', false, true}, {'i', false, true},
      {SymPi, false, true}, {SymDegree, false, true}, {SymInf, false, true}, {'a', false, false},
      {'s', false, false},  {'X', false, false},  {SymCapPhi, false, false}, {0x7077, false, false},
      {0x707B, false, false}, {SymVarphi, false, false}, {0, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCoordinateSymbol(c.id), c.coordinate) << c.id;
    EXPECT_EQ(IsConstantSymbol(c.id), c.constant) << c.id;
    EXPECT_EQ(IsReservedSymbol(c.id), c.coordinate || c.constant) << c.id;
  }
}

TEST_F(TreeQueriesTest, ContainsAndRenameSymbol) {
  ExprNode* tree = Build("plus(a, sin(times(b, a)), theta)");
  EXPECT_TRUE(ContainsSymbol(tree, 'a') && ContainsSymbol(tree, SymTheta));
  EXPECT_FALSE(ContainsSymbol(tree, 'c'));
  RenameSymbol(tree, 'a', 'c');
  EXPECT_EQ(Show(tree), "plus(c,sin(times(b,c)),theta)");
  EXPECT_FALSE(ContainsSymbol(tree, 'a'));
  RenameSymbol(tree, SymTheta, 'x');
  EXPECT_EQ(Show(tree), "plus(c,sin(times(b,c)),x)");
  EXPECT_FALSE(ContainsSymbol(nullptr, 'a'));
  RenameSymbol(nullptr, 'a', 'b');
  FreeExpression(tree);
}

TEST_F(TreeQueriesTest, SwapPrimedCoordinatesTwiceRestoresTree) {
  ExprNode* tree = Build("equal(y', plus(x, times(z', y), sin(x'), z, t))");
  ExprNode* original = CopyExpression(tree);
  SwapPrimedCoordinates(tree);
  EXPECT_EQ(Show(tree), "equal(y,plus(x',times(z,y'),sin(x),z',t))");
  EXPECT_FALSE(ExpressionsEqual(tree, original));
  SwapPrimedCoordinates(tree);
  EXPECT_TRUE(ExpressionsEqual(tree, original));
  FreeExpression(original);
  FreeExpression(tree);
}

TEST_F(TreeQueriesTest, FoldPrimesIntoCoordinates) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"prime(x)", "x'"},
      {"prime(t)", "prime(t)"},
      {"plus(prime(y), prime(prime(z)), prime(a))", "plus(y',prime(z'),prime(a))"},
      {"equal(prime(x), times(2, prime(y)))", "equal(x',times(2,y'))"},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.in);
    FoldPrimesIntoCoordinates(tree);  // in place: a root prime becomes the char node itself
    EXPECT_EQ(Show(tree), c.out) << c.in;
    EXPECT_TRUE(CheckExpressionTree(tree));
    FreeExpression(tree);
  }
}

const ExprNode* gSeenTree = nullptr;

TEST_F(TreeQueriesTest, UsesComplexNumbers) {
  struct Case { const char* tree; bool complex; };
  const Case cases[] = {
      {"plus(2, times(3, i))", true}, {"plus(2, x)", false}, {"imag(x)", true}, {"real(x)", true},
      {"arg(x)", true}, {"Re(x)", true}, {"Im(x)", true}, {"sin(e)", false}, {"'i'", false},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_EQ(UsesComplexNumbers(tree), c.complex) << c.tree;
    FreeExpression(tree);
  }
  // A complex-valued definition counts; the document is asked about the whole tree.
  int definitions = 0;
  GetTreeSeams().complexDefinitions = &definitions;
  GetTreeSeams().treeUsesDefinedName = [](const ExprNode* tree, const void* defs) {
    gSeenTree = tree;
    return defs != nullptr && ContainsSymbol(tree, 'c');
  };
  ExprNode* tree = Build("plus(2, sin(c), x)");
  EXPECT_TRUE(UsesComplexNumbers(tree));
  EXPECT_EQ(gSeenTree, tree);
  FreeExpression(tree);
  EXPECT_FALSE(UsesComplexNumbers(nullptr));
}

TEST_F(TreeQueriesTest, TypedFOfX) {
  struct Case { const char* tree; bool fOfX; };
  const Case cases[] = {
      {"times(f, id(x))", true}, {"times(g, id(x))", false}, {"times(f, id(y))", false},
      {"times(f, x)", false},    {"times(f, id(x), a)", false}, {"plus(f, id(x))", false},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_EQ(IsFOfX(tree), c.fOfX) << c.tree;
    FreeExpression(tree);
  }
  FormulaEditor editor{};
  EXPECT_FALSE(IsFOfXFormula());
  TypesettingGlobals().currentEditor = &editor;
  EXPECT_FALSE(IsFOfXFormula());  // no root
  const Case formulas[] = {
      {"equal(times(f, id(x)), sin(x))", true}, {"times(f, id(x))", true}, {"equal(y, times(f, id(x)))", false}};
  for (const Case& c : formulas) {
    editor.root = Build(c.tree);
    EXPECT_EQ(IsFOfXFormula(), c.fOfX) << c.tree;
    FreeExpression(editor.root);
  }
  TypesettingGlobals().currentEditor = nullptr;
}

bool gCanMove = false;

TEST_F(TreeQueriesTest, EditorSelectionQueries) {
  ExprNode* root = Build("plus(a, 'txt', prompt)");
  ExprNode* a = root->children[0];
  ExprNode* text = root->children[1];
  ExprNode* prompt = root->children[2];
  FormulaEditor editor{};
  editor.root = root;
  EXPECT_FALSE(FormulaIsNonEmpty() || SelectionIsBlock() || CanApplyToSelection() || CanDragSelection() ||
               IsEditingText());  // no current editor
  TypesettingGlobals().currentEditor = &editor;
  EXPECT_TRUE(FormulaIsNonEmpty());
  GetTreeSeams().canMoveSelectedTerm = [] { return gCanMove; };

  struct Case { int mode; ExprNode* caret; int start, end; bool canMove; bool block, apply, drag, text; };
  const Case cases[] = {
      {0, a, 0, 0, false, true, true, false, false},
      {0, a, 0, 0, true, true, true, true, false},
      {0, prompt, 0, 0, true, false, false, true, false},
      {1, root, 0, 1, true, true, true, true, false},
      {2, root, 0, 0, true, true, false, false, false},
      {3, text, 0, 0, true, false, false, false, true},
      {3, a, 0, 0, true, false, false, false, false},
      {4, text, 0, 0, false, false, false, false, false},
      {5, root, 0, 2, false, true, true, false, false},
      {6, text, 1, 1, false, false, false, false, true},
      {6, text, 1, 2, false, true, false, false, true},
      {7, a, 0, 0, false, false, false, false, false},
      {7, a, 0, 1, false, true, false, false, false},
  };
  for (const Case& c : cases) {
    editor.selectionMode = c.mode;
    editor.caretNode = c.caret;
    editor.selectionStart = c.start;
    editor.selectionEnd = c.end;
    gCanMove = c.canMove;
    EXPECT_EQ(SelectionIsBlock(), c.block) << "mode " << c.mode;
    EXPECT_EQ(HasBlockSelection(), c.block) << "mode " << c.mode;
    EXPECT_EQ(CanApplyToSelection(), c.apply) << "mode " << c.mode;
    EXPECT_EQ(CanDragSelection(), c.drag) << "mode " << c.mode;
    EXPECT_EQ(IsEditingText(), c.text) << "mode " << c.mode;
  }

  EXPECT_EQ(GetFormulaRoot(&editor), root);
  EXPECT_FALSE(IsPromptRoot(&editor));
  EXPECT_EQ(GetRootBoxDescent(&editor), 0);
  EnsureNodeBox(root);
  root->box->descent = 7 << 16;
  EXPECT_EQ(GetRootBoxDescent(&editor), 7 << 16);
  editor.frame = PixelRect{40, 12, 90, 300};
  ScrollFormulaOrigin(&editor, 15);
  const PixelRect origin = GetFormulaOrigin(&editor);
  EXPECT_EQ(origin.top, 25);
  EXPECT_EQ(origin.left, 12);

  FormulaEditor empty{};
  empty.root = NewPromptNode();
  TypesettingGlobals().currentEditor = &empty;
  EXPECT_FALSE(FormulaIsNonEmpty());
  EXPECT_TRUE(IsPromptRoot(&empty));
  EXPECT_FALSE(IsPromptRoot(nullptr) || GetFormulaRoot(nullptr));
  FreeExpression(empty.root);
  TypesettingGlobals().currentEditor = nullptr;
  FreeExpression(root);
}

}  // namespace
