// The layout driver. LayoutFormula turns the current editor's tree into positioned boxes by
// fixed passes in order: style, number texts, automatic parentheses, boxes (too-wide flags
// cleared), script levels, measure (post-order, a second time when the root is too wide, never
// a third), positions (pre-order: absolute = parent's absolute + relative), line breaking; then
// the layout is valid for the width limit it was made with. DrawFormula paints the boxes.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;
struct FormulaEditor;

// Lays out the current editor unless its layout is valid for its present width limit. When a
// box cannot be made (memory) the layout stays invalid and nothing is measured.
void LayoutFormula();
// Draws every node in post-order with its kind's handler (mode 1), in the current style.
void DrawFormula(ExprNode* root);
// Clears the current editor's layout-valid and display-valid flags, gives every node a box and
// zeroes the root box's extents. Every change to the tree ends with it.
void InvalidateFormulaLayout();
// Clears layout valid when some node of the current editor's tree has no box.
void ValidateFormulaBoxes();

// While one lives, InvalidateFormulaLayout clears the flags but leaves the box pass, a walk of the
// whole tree, to the scope's end: keys typed in a batch (a document's typed row) would otherwise
// cost the square of the row's length. Nothing in the batch may read boxes without laying out
// first, which gives every node its box. Scopes nest; the outermost runs the pass once, on the
// editor that was last invalidated.
class FormulaKeyBatch {
 public:
  FormulaKeyBatch();
  ~FormulaKeyBatch();
  FormulaKeyBatch(const FormulaKeyBatch&) = delete;
  FormulaKeyBatch& operator=(const FormulaKeyBatch&) = delete;
};
// The number pass: each num whose text does not read back as its value is reformatted (an sn
// node of mantissa and power of ten when the value needs an exponent); a NaN whose digits were
// all cleared becomes a prompt. A text that shows fewer digits than the value holds leaves the
// number's truncated flag as it was: layout only reads that flag. A caret in the digits of a
// number that changed kind goes after the sn node, or onto the prompt. `editor` may be null.
void SplitNumberTexts(FormulaEditor* editor, ExprNode* root);
// The caret's vertical bar from the caret rectangle: mode 0 at the middle, mode 4 (and 6 or 7
// with start = end) at the left edge, mode 3 at the right edge less 1.0 (and less an apostrophe
// and with the bottom raised 1.0 for an empty string). Other modes leave the outputs untouched.
void GetCaretBar(Fixed* x, Fixed* bottom, Fixed* top);
