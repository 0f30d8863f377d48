// Symbol queries over trees (reserved symbols, renaming, primed coordinates, complex use, the
// typed f(x)) and the queries on the current formula editor's selection.
#include "kernel/trees/node_builders.h"
#include "kernel/trees/tree_seams.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;

class TreeQueriesTest : public tree_test::TreeTest {
 protected:
  void TearDown() override {
    ResetTreeSeams();
    tree_test::TreeTest::TearDown();
  }
};

TEST_F(TreeQueriesTest, ReservedSymbols) {
  struct Case {
    int32_t id;
    bool coordinate, constant;
  };
  const Case cases[] = {
      {'x', true, false},    {0x707A, true, false},  {'r', true, false},     {'w', true, false},
      {SymPhi, true, false}, {SymRho, true, false},  {'e', false, true},     {'i', false, true},
      {SymPi, false, true},  {SymInf, false, true},  {SymDegree, false, true}, {'a', false, false},
      {'s', false, false},   {'X', false, false},    {SymCapPhi, false, false}, {0x7077, false, false},
      {0x707B, false, false}, {SymVarphi, false, false}, {0, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(IsCoordinateSymbol(c.id) == c.coordinate && IsConstantSymbol(c.id) == c.constant &&
                IsReservedSymbol(c.id) == (c.coordinate || c.constant))
        << c.id;
  }
}

TEST_F(TreeQueriesTest, SymbolsAreFoundRenamedAndSwapped) {
  ExprNode* tree = Build("plus[a,sin[times[b,a]],theta]");
  EXPECT_TRUE(ContainsSymbol(tree, 'a') && ContainsSymbol(tree, SymTheta) && !ContainsSymbol(tree, 'c'));
  RenameSymbol(tree, 'a', 'c');
  RenameSymbol(tree, SymTheta, 'x');
  EXPECT_TRUE(Same(tree, "plus[c,sin[times[b,c]],x]") && !ContainsSymbol(nullptr, 'a'));
  FreeExpression(tree);
  tree = Build("equal[y',plus[x,times[z',y],sin[x'],z,t]]");
  ExprNode* original = CopyExpression(tree);
  SwapPrimedCoordinates(tree);
  EXPECT_TRUE(Same(tree, "equal[y,plus[x',times[z,y'],sin[x],z',t]]"));
  SwapPrimedCoordinates(tree);  // twice restores the tree
  EXPECT_TRUE(ExpressionsEqual(tree, original));
  FreeExpression(original);
  FreeExpression(tree);
  struct Case {
    const char* in;
    const char* out;
  };
  const Case folds[] = {
      {"prime[x]", "x'"},  // in place: a root prime becomes the char node itself
      {"prime[t]", "prime[t]"},
      {"plus[prime[y],prime[prime[z]],prime[a]]", "plus[y',prime[z'],prime[a]]"},
  };
  for (const Case& c : folds) {
    ExprNode* folded = Build(c.in);
    FoldPrimesIntoCoordinates(folded);
    EXPECT_TRUE(Same(folded, c.out) && CheckExpressionTree(folded)) << c.in;
    FreeExpression(folded);
  }
}

const ExprNode* gSeenTree = nullptr;

TEST_F(TreeQueriesTest, UsesComplexNumbers) {
  struct Case {
    const char* tree;
    bool complex;
  };
  const Case cases[] = {
      {"plus[2,times[3,i]]", true}, {"plus[2,x]", false}, {"imag[x]", true}, {"arg[x]", true},
      {"Re[x]", true},              {"sin[e]", false},    {"string[\"i\"]", false},
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
  ExprNode* tree = Build("plus[2,sin[c],x]");
  EXPECT_TRUE(UsesComplexNumbers(tree) && gSeenTree == tree && !UsesComplexNumbers(nullptr));
  FreeExpression(tree);
}

TEST_F(TreeQueriesTest, TypedFOfX) {
  struct Case {
    const char* tree;
    bool fOfX;
  };
  const Case cases[] = {
      {"times[f,id[x]]", true}, {"times[g,id[x]]", false},   {"times[f,id[y]]", false},
      {"times[f,x]", false},    {"times[f,id[x],a]", false}, {"plus[f,id[x]]", false},
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
  const Case formulas[] = {{"equal[times[f,id[x]],sin[x]]", true}, {"equal[y,times[f,id[x]]]", false}};
  for (const Case& c : formulas) {
    editor.root = Build(c.tree);
    EXPECT_EQ(IsFOfXFormula(), c.fOfX) << c.tree;
    FreeExpression(editor.root);
  }
}

bool gCanMove = false;

TEST_F(TreeQueriesTest, EditorSelectionQueries) {
  ExprNode* root = Build("plus[a,string[\"txt\"],prompt[]]");
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
  struct Case {
    int mode;
    ExprNode* caret;
    int start, end;
    bool canMove, block, apply, drag, text;
  };
  const Case cases[] = {
      {0, a, 0, 0, false, true, true, false, false},      {0, a, 0, 0, true, true, true, true, false},
      {0, prompt, 0, 0, true, false, false, true, false}, {1, root, 0, 1, true, true, true, true, false},
      {2, root, 0, 0, true, true, false, false, false},   {3, text, 0, 0, true, false, false, false, true},
      {3, a, 0, 0, true, false, false, false, false},     {4, text, 0, 0, false, false, false, false, false},
      {5, root, 0, 2, false, true, true, false, false},   {6, text, 1, 1, false, false, false, false, true},
      {6, text, 1, 2, false, true, false, false, true},   {7, a, 0, 0, false, false, false, false, false},
      {7, a, 0, 1, false, true, false, false, false},
  };
  for (const Case& c : cases) {
    editor.selectionMode = c.mode;
    editor.caretNode = c.caret;
    editor.selectionStart = c.start;
    editor.selectionEnd = c.end;
    gCanMove = c.canMove;
    EXPECT_TRUE(SelectionIsBlock() == c.block && CanApplyToSelection() == c.apply && CanDragSelection() == c.drag &&
                IsEditingText() == c.text)
        << "mode " << c.mode << " start " << c.start;
  }
  EXPECT_TRUE(GetFormulaRoot(&editor) == root && !IsPromptRoot(&editor) && GetRootBoxDescent(&editor) == 0);
  EnsureNodeBox(root);
  root->box->descent = 7 << 16;
  EXPECT_EQ(GetRootBoxDescent(&editor), 7 << 16);
  editor.frame = PixelRect{40, 12, 90, 300};
  ScrollFormulaOrigin(&editor, 15);
  EXPECT_TRUE(GetFormulaOrigin(&editor).top == 25 && GetFormulaOrigin(&editor).left == 12);
  FormulaEditor empty{};
  empty.root = NewPromptNode();
  TypesettingGlobals().currentEditor = &empty;
  EXPECT_TRUE(!FormulaIsNonEmpty() && IsPromptRoot(&empty) && !IsPromptRoot(nullptr) && !GetFormulaRoot(nullptr));
  FreeExpression(empty.root);
  FreeExpression(root);
}

}  // namespace
