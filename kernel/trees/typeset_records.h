// Records the kernel shares with the equation editor: the layout box hung on a node, the
// formula editor record and the process-wide typesetting state (current editor, prompt caret).
// Defined here so the kernel never includes an editor header; the editor owns their behaviour.
// Lengths are 16.16 fixed point unless a field says otherwise.
#pragma once

#include <cstdint>

struct ExprNode;

// Layout box of a node, made zeroed by EnsureNodeBox.
struct TypesetBox {
  int32_t relativeVertical;    // position relative to the parent's box
  int32_t relativeHorizontal;
  int32_t absoluteVertical;    // the box's bottom in layout coordinates
  int32_t absoluteHorizontal;  // the box's left in layout coordinates
  int32_t descent;
  int32_t ascent;
  int32_t width;
  uint8_t baselineFlag;
  uint8_t scriptLevel;
  uint8_t tooWideFlag;
  uint8_t nameBreakFlag;  // cleared for every new symbol node
};

// Four signed 32-bit words, top, left, bottom, right, in 16.16 layout coordinates.
struct FixedRect {
  int32_t top;
  int32_t left;
  int32_t bottom;
  int32_t right;
};

// A pixel rectangle: four signed 16-bit words, top, left, bottom, right.
struct PixelRect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// How the caret node and the selection indexes are read.
enum SelectionMode : int32_t {
  SelectionCaretNode = 0,     // the caret node itself is selected
  SelectionChildRange = 1,    // children start..end of the caret node
  SelectionOperator = 2,      // the operator symbol of the caret node
  SelectionCaretAfter = 3,
  SelectionCaretBefore = 4,
  SelectionMatrixBlock = 5,   // corner cells start and end of a matrix
  SelectionText = 6,          // characters of a string node
  SelectionDigits = 7,        // digits of a number node
};

// One display line of a broken formula: where it starts in the one-line layout and how far it is
// moved down (line index x the root's height).
struct FormulaLine {
  int32_t start;
  int32_t top;
};

// One typeset formula being edited. The record owns its tree and its line table.
struct FormulaEditor {
  ExprNode* root;
  int32_t lineCount;
  int32_t rootBaseline;
  const int32_t* style;        // font size per script level
  int32_t widestLine;
  int32_t widthLimit;
  int32_t laidOutWidthLimit;
  PixelRect frame;             // top-left corner is the stored drawing origin
  FormulaLine* lineTable;     // lineCount rows in ascending start order, or null for one line
  void* owner;                 // the document whose text style is loaded
  ExprNode* caretNode;
  int32_t selectionMode;       // a SelectionMode value
  int32_t selectionStart;
  int32_t selectionEnd;
  uint8_t documentFlag;
  uint8_t active;
  uint8_t layoutValid;
  uint8_t displayValid;
};

// Process-wide typesetting state read by the kernel. The editor writes it.
struct TypesettingState {
  FormulaEditor* currentEditor = nullptr;
  // While set, a prompt that is the caret node shows the caret instead of a highlight.
  bool promptCaretPending = false;
  bool initialised = false;  // InitTypesetting has run
};

TypesettingState& TypesettingGlobals();
