// The layout passes and the drawing pass over the current editor.
#include "editor/layout_driver.h"

#include <algorithm>
#include <cmath>

#include "editor/automatic_parentheses.h"
#include "editor/layout_handlers.h"
#include "editor/line_breaking.h"
#include "editor/script_levels.h"
#include "editor/selection_geometry.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"

namespace {

Fixed LevelSize(const ExprNode* node) {
  const TypesetState& g = TypesetGlobals();
  return g.currentStyle[std::min<int>(node->box->scriptLevel, kScriptLevelCount - 1)];
}

// The font set-up before every handler call: Symbol slot, the level's size, plain, black.
void SetUpNodeFont(const ExprNode* node) {
  SetTypesetFont(kSymbolSlot);
  SetTypesetSize(LevelSize(node));
  TypesetFacePlain();
}

bool GiveBoxesAndClearFlags(ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = root; n; n = cursor.Next()) {
    if (!EnsureNodeBox(n)) return false;
    n->box->tooWideFlag = 0;
  }
  return true;
}

void MeasurePass(FormulaEditor& e) {
  TreeCursor cursor(e.root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    SetUpNodeFont(n);
    LayoutHandlerForKind(n->kind)(n, kLayoutMeasure);
    if (n->box->tooWideFlag || n->box->width <= e.widthLimit) continue;
    // Ancestors of a flagged node are flagged already, so the climb stops at the first one.
    for (ExprNode* a = n; a && !a->box->tooWideFlag; a = a->parent) a->box->tooWideFlag = 1;
  }
  const TypesetBox& root = *e.root->box;
  e.rootBaseline = SubFixed(root.descent, root.baselineFlag ? 0 : MathAxisOf(LevelSize(e.root)));
}

void PlaceBoxes(ExprNode* root) {
  TypesetBox& r = *root->box;
  r.relativeHorizontal = 0;
  r.relativeVertical = SaturateFixed(int64_t{r.descent} + r.ascent);
  r.absoluteHorizontal = r.relativeHorizontal;
  r.absoluteVertical = r.relativeVertical;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Next(); n; n = cursor.Next()) {
    const TypesetBox& p = *n->parent->box;
    TypesetBox& b = *n->box;
    b.absoluteHorizontal = SaturateFixed(int64_t{p.absoluteHorizontal} + b.relativeHorizontal);
    b.absoluteVertical = SaturateFixed(int64_t{p.absoluteVertical} + b.relativeVertical);
  }
}

bool DigitsCleared(const NumberRecord& r) { return std::isnan(r.value) && *SkipWhitespace(r.text) == 0; }

}  // namespace

void SplitNumberTexts(FormulaEditor* editor, ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    if (n->kind != KindNum || !n->value.number) continue;
    if (DigitsCleared(*n->value.number)) {
      FreeNodeValue(n);
      n->kind = KindPrompt;
    } else {
      // The text may now show fewer digits than the value holds; the number's truncated flag is
      // left as it was all the same: layout only reads it.
      SplitNumberIntoScientific(n);
    }
    if (editor && editor->caretNode == n && editor->selectionMode == SelectionDigits && n->kind != KindNum) {
      editor->selectionMode = n->kind == KindSn ? SelectionCaretAfter : SelectionCaretNode;
      editor->selectionStart = editor->selectionEnd = 0;
    }
  }
}

void LayoutFormula() {
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || !e->root || (e->layoutValid && e->widthLimit == e->laidOutWidthLimit)) return;
  TypesetState& g = TypesetGlobals();
  g.currentStyle = e->style ? e->style : g.defaultFontSizes;
  SplitNumberTexts(e, e->root);
  AddAutomaticParentheses(e->root);
  if (!GiveBoxesAndClearFlags(e->root)) return;
  SetScriptLevels(e->root);
  MeasurePass(*e);
  if (e->root->box->tooWideFlag) {
    SetScriptLevels(e->root);
    MeasurePass(*e);
  }
  PlaceBoxes(e->root);
  BreakFormulaLines();
  e->layoutValid = 1;
  e->laidOutWidthLimit = e->widthLimit;
}

void DrawFormula(ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    if (!n->box) continue;
    SetUpNodeFont(n);
    LayoutHandlerForKind(n->kind)(n, kLayoutDraw);
  }
}

namespace {

void GiveEveryNodeABox(FormulaEditor* e) {
  TreeCursor cursor(e->root, WalkOrder::kPreOrder);
  for (ExprNode* n = e->root; n; n = cursor.Next()) EnsureNodeBox(n);
  if (TypesetBox* box = e->root->box) box->descent = box->ascent = box->width = 0;
}

}  // namespace

void InvalidateFormulaLayout() {
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e) return;
  ++TypesetGlobals().layoutInvalidations;
  e->layoutValid = 0;
  e->displayValid = 0;
  if (!e->root) return;
  TypesetState& g = TypesetGlobals();
  if (g.boxPassDeferred > 0) {
    // A pending pass on another editor runs now: only one is remembered.
    if (g.boxPassPending != nullptr && g.boxPassPending != e && g.boxPassPending->root) {
      GiveEveryNodeABox(g.boxPassPending);
    }
    g.boxPassPending = e;
    if (TypesetBox* box = e->root->box) box->descent = box->ascent = box->width = 0;
    return;
  }
  GiveEveryNodeABox(e);
}

FormulaKeyBatch::FormulaKeyBatch() { ++TypesetGlobals().boxPassDeferred; }

FormulaKeyBatch::~FormulaKeyBatch() {
  TypesetState& g = TypesetGlobals();
  if (--g.boxPassDeferred > 0 || g.boxPassPending == nullptr) return;
  FormulaEditor* e = g.boxPassPending;
  g.boxPassPending = nullptr;
  if (e->root) GiveEveryNodeABox(e);
}

void ValidateFormulaBoxes() {
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || !e->layoutValid || !e->root) return;
  TreeCursor cursor(e->root, WalkOrder::kPreOrder);
  for (ExprNode* n = e->root; n; n = cursor.Next()) {
    if (!n->box) {
      e->layoutValid = 0;
      return;
    }
  }
}

void GetCaretBar(Fixed* x, Fixed* bottom, Fixed* top) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  FixedRect r, second;
  if (!e || !ComputeSelectionGeometry(&r, &second)) return;
  int32_t mode = e->selectionMode;
  bool collapsed = (mode == SelectionText || mode == SelectionDigits) && e->selectionStart == e->selectionEnd;
  if (mode == SelectionCaretNode) {
    *x = SaturateFixed((int64_t{r.left} + r.right) / 2);
  } else if (mode == SelectionCaretBefore || collapsed) {
    *x = r.left;
  } else if (mode == SelectionCaretAfter) {
    *x = SubFixed(r.right, kFixedOne);
    const ExprNode* caret = e->caretNode;
    if (caret->kind == KindString && (!caret->text || !caret->text[0])) {
      SetTypesetFont(kTextSlot);
      if (caret->box) SetTypesetSize(LevelSize(caret));
      *x = SubFixed(*x, TypesetCharWidth('\''));
      r.bottom = SubFixed(r.bottom, kFixedOne);
    }
  } else {
    return;
  }
  *bottom = r.bottom;
  *top = r.top;
}
