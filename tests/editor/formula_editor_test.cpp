// The editor record: a new editor's state, which editor is current and active, flattening at
// and around the 10000-operand limit, and disposal of the current editor.
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NewEditorHoldsOnePromptOnOneLine) {
  FormulaEditor* e = NewFormulaEditor();
  editors_.push_back(e);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->root->kind, KindPrompt);
  EXPECT_EQ(std::make_tuple(e->lineCount, e->widthLimit, e->caretNode, e->selectionMode),
            std::make_tuple(1, 655360000, e->root, 0));
  EXPECT_EQ(e->style, TypesetState().defaultFontSizes);
  EXPECT_EQ(e->active + e->layoutValid + e->displayValid + e->documentFlag, 0);
  EXPECT_TRUE(CheckFormulaEditor(e));
}

TEST_F(TypesetTest, ActivatingASecondEditorLeavesOnlyItActive) {
  FormulaEditor* a = Edit("x");
  FormulaEditor* b = Edit("y");
  b->frame = PixelRect{40, 12, 80, 300};
  int owner = 0;
  ActivateFormulaEditor(a, nullptr);
  ActivateFormulaEditor(b, &owner);
  EXPECT_EQ(std::make_tuple(a->active, b->active, b->owner), std::make_tuple(0, 1, static_cast<void*>(&owner)));
  EXPECT_EQ(TypesettingGlobals().currentEditor, b);
  EXPECT_EQ(std::make_pair(TypesetState().originH, TypesetState().originV), std::make_pair(12, 40));
  b->caretNode = b->root;
  b->selectionMode = SelectionCaretAfter;
  ResetFormulaCaret();
  EXPECT_EQ(b->selectionMode, SelectionCaretNode);
  DisposeFormulaEditor(b);
  editors_.pop_back();
  EXPECT_EQ(TypesettingGlobals().currentEditor, nullptr);  // no dangling current editor
}

TEST_F(TypesetTest, FlatteningSplicesChildrenUpToTheOperandLimit) {
  struct Case { const char* text; int32_t index; const char* after; };
  const Case cases[] = {
      {"plus[a,plus[b,c],d]", 1, "plus(a,b,c,d)"},
      {"plus[a,plus[b],d]", 1, "plus(a,b,d)"},
      {"plus[a,plus[],d]", 1, "plus(a,d)"},
      {"plus[plus[a,b,c]]", 0, "plus(a,b,c)"},
      {"plus[a,b]", 5, "plus(a,b)"},  // no such child
  };
  for (const Case& c : cases) {
    FormulaEditor* e = Edit(c.text, 0);
    e->caretNode = e->root->arity > c.index ? e->root->children[c.index] : e->root;
    e->selectionMode = SelectionCaretAfter;
    FlattenChildInto(e->root, c.index);
    EXPECT_EQ(Dump(e->root), c.after);
    const char* why;
    EXPECT_TRUE(CheckFormulaEditor(e, &why)) << c.text << ": " << why;
  }
  // 9999 operands and a child of 3 would make 10001: refused; 9998 and 3 make 10000: done.
  for (int32_t others : {9998, 9997}) {
    ExprNode* node = NewNode(KindPlus, others + 1);
    for (int32_t i = 0; i <= others; ++i) {
      node->children[i] = i == 0 ? Parse("plus[a,b,c]") : NewSymbolNode('x');
      node->children[i]->parent = node;
    }
    FlattenChildInto(node, 0);
    EXPECT_EQ(node->arity, others == 9998 ? 9999 : 10000);
    EXPECT_TRUE(CheckExpressionTree(node));
    FreeExpression(node);
  }
}
