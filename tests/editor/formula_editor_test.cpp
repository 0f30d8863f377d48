// The editor record: a new editor's state, which editor is current and active, flattening at
// and around the 10000-operand limit, and disposal of the current editor.
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, NewEditorsAndTheOneActiveEditor) {
  FormulaEditor* a = NewFormulaEditor();
  editors_.push_back(a);
  EXPECT_EQ(std::make_tuple(a->root->kind, a->lineCount, a->widthLimit, a->caretNode, a->selectionMode, a->style),
            std::make_tuple(uint32_t(KindPrompt), 1, 655360000, a->root, 0, &TypesetGlobals().defaultFontSizes[0]));
  EXPECT_EQ(a->active + a->layoutValid + a->displayValid + a->documentFlag, 0);
  FormulaEditor* b = Edit("y");
  b->frame = PixelRect{40, 12, 80, 300};
  int owner = 0;
  ActivateFormulaEditor(a, nullptr);
  ActivateFormulaEditor(b, &owner);
  EXPECT_EQ(std::make_tuple(a->active, b->active, b->owner, TypesettingGlobals().currentEditor),
            std::make_tuple(0, 1, static_cast<void*>(&owner), b));
  EXPECT_EQ(std::make_pair(TypesetGlobals().originH, TypesetGlobals().originV), std::make_pair(12, 40));
  b->selectionMode = SelectionCaretAfter;
  ResetFormulaCaret();
  EXPECT_TRUE(CheckFormulaEditor(a) && b->selectionMode == SelectionCaretNode);
  Drop(b);
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
    for (int32_t i = 0; i <= others; ++i) SetChild(node, i, i == 0 ? Parse("plus[a,b,c]") : NewSymbolNode('x'));
    FlattenChildInto(node, 0);
    EXPECT_EQ(node->arity, others == 9998 ? 9999 : 10000);
    EXPECT_TRUE(CheckExpressionTree(node));
    FreeExpression(node);
  }
}
