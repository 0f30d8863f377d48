// Symbol queries over trees (renaming, primed coordinates, complex use, the typed f(x)) and the
// queries on the current formula editor's selection.
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

TEST_F(TreeQueriesTest, SymbolsAreFoundRenamedAndSwapped) {
  ExprNode* tree = Build("plus[a,sin[times[b,a]],theta]");
  EXPECT_TRUE(ContainsSymbol(tree, 'a') && ContainsSymbol(tree, SymTheta) && !ContainsSymbol(tree, 'c'));
  RenameSymbol(tree, 'a', 'c');
  RenameSymbol(tree, SymTheta, 'x');
  EXPECT_TRUE(Same(tree, "plus[c,sin[times[b,c]],x]"));
  FreeExpression(tree);
  tree = Build("equal[y',plus[x,times[z',y],sin[x'],z,t]]");
  SwapPrimedCoordinates(tree);
  EXPECT_TRUE(Same(tree, "equal[y,plus[x',times[z,y'],sin[x],z',t]]"));
  FreeExpression(tree);
  // Folding works in place: a root prime becomes the char node itself.
  const char* folds[][2] = {{"prime[x]", "x'"}, {"plus[prime[y],prime[prime[z]],prime[t]]", "plus[y',prime[z'],prime[t]]"}};
  for (const auto& fold : folds) {
    tree = Build(fold[0]);
    FoldPrimesIntoCoordinates(tree);
    EXPECT_TRUE(Same(tree, fold[1]) && CheckExpressionTree(tree)) << fold[0];
    FreeExpression(tree);
  }
}

// i, arg and Re make a tree complex, and so does a name the document defines with a complex value
// (asked about the whole tree); an i inside a string does not.
TEST_F(TreeQueriesTest, ComplexUseAndTheTypedFOfX) {
  static int definitions = 0;
  GetTreeSeams().complexDefinitions = &definitions;
  GetTreeSeams().treeUsesDefinedName = [](const ExprNode* tree, const void* defs) {
    return defs == &definitions && tree->parent == nullptr && ContainsSymbol(tree, 'c');
  };
  struct Case { const char* tree; bool holds; };
  const Case cases[] = {{"plus[2,times[3,i]]", true}, {"arg[x]", true}, {"Re[x]", true}, {"plus[2,sin[c]]", true},
                        {"plus[2,x]", false}, {"sin[e]", false}, {"string[\"i\"]", false}};
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_EQ(UsesComplexNumbers(tree), c.holds) << c.tree;
    FreeExpression(tree);
  }
  FormulaEditor editor{};  // the typed f(x) is times(f, id(x)), alone or on the left of an equation
  TypesettingGlobals().currentEditor = &editor;
  editor.root = Build("equal[times[f,id[x]],y]");
  EXPECT_TRUE(IsFOfXFormula() && !IsFOfX(editor.root->children[1]));
  FreeExpression(editor.root);
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
               IsEditingText() || SelectionIsDrawable());  // no current editor
  TypesettingGlobals().currentEditor = &editor;
  EXPECT_TRUE(FormulaIsNonEmpty());
  GetTreeSeams().canMoveSelectedTerm = [] { return gCanMove; };
  // draw: SelectionIsDrawable with the prompt-caret switch on (a selected prompt shows the caret).
  struct Case { int mode; ExprNode* caret; int start, end; bool canMove, block, apply, drag, text, draw; };
  const Case cases[] = {
      {0, a, 0, 0, false, true, true, false, false, true},       {0, a, 0, 0, true, true, true, true, false, true},
      {0, prompt, 0, 0, true, false, false, true, false, false}, {1, root, 0, 1, true, true, true, true, false, true},
      {2, root, 0, 0, true, true, false, false, false, true},    {3, text, 0, 0, true, false, false, false, true, false},
      {3, a, 0, 0, true, false, false, false, false, false},     {4, text, 0, 0, false, false, false, false, false, false},
      {5, root, 0, 2, false, true, true, false, false, true},    {6, text, 1, 1, false, false, false, false, true, false},
      {6, text, 1, 2, false, true, false, false, true, true},    {7, a, 0, 0, false, false, false, false, false, false},
      {7, a, 3, 1, false, true, false, false, false, true},      {8, a, 0, 1, false, false, false, false, false, false},
  };
  TypesettingGlobals().promptCaretPending = true;
  for (const Case& c : cases) {
    editor.selectionMode = c.mode;
    editor.caretNode = c.caret;
    editor.selectionStart = c.start;
    editor.selectionEnd = c.end;
    gCanMove = c.canMove;
    EXPECT_TRUE(SelectionIsBlock() == c.block && CanApplyToSelection() == c.apply && CanDragSelection() == c.drag &&
                IsEditingText() == c.text && SelectionIsDrawable() == c.draw)
        << "mode " << c.mode << " start " << c.start;
  }
  TypesettingGlobals().promptCaretPending = false;
  editor.selectionMode = 0;
  editor.caretNode = editor.root = prompt;
  EXPECT_TRUE(SelectionIsDrawable() && !FormulaIsNonEmpty() && IsPromptRoot(&editor));
  FreeExpression(root);
}

}  // namespace
