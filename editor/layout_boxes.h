// The box operations every layout handler family shares: children side by side, prefix boxes,
// baseline conversion for children on the math axis, script placement, stand-ins for missing
// operands, and the pen at points of a node's box. A box's reference point is its lower-left
// corner and y grows downwards. Handlers never read past their node's operands: a missing one
// is a prompt-sized gap, and operands past what a kind uses follow its content in a row.
#pragma once

#include <cstdint>

#include "editor/typeset_state.h"
#include "editor/typeset_units.h"

struct ExprNode;

enum : int32_t { kLayoutMeasure = 0, kLayoutDraw = 1 };

// The units of the current size: S, u, t, S/10 (100u), S/4 and the math axis a.
struct SizeUnits {
  Fixed size, u, rule, tenth, quarter, axis;
  Fixed U(int32_t k) const { return Units(k, u); }  // k·u
};
SizeUnits CurrentUnits();
// The thin space: 59u, or 77u when S is below 9 pt.
Fixed ThinSpace(const SizeUnits& units);

// Saves the font slot, the text state and the size metrics, and puts them back on leaving the
// scope: handlers that switch size (big signs, scripts) or slot for a measure restore both.
class TypesetFontScope {
 public:
  TypesetFontScope();
  ~TypesetFontScope();
  TypesetFontScope(const TypesetFontScope&) = delete;
  TypesetFontScope& operator=(const TypesetFontScope&) = delete;

 private:
  int32_t slot_;
  TypesetTextState text_;
  TypeMetrics metrics_;
};

// The glyph of a kind from the kind table: the text slot when bit 8 is set, else Symbol.
struct KindGlyph {
  int32_t slot;
  int32_t code;
};
KindGlyph GlyphOfKind(uint32_t kind);
// Selects the glyph's slot and returns its width at the current size.
Fixed SelectGlyph(KindGlyph glyph);

Fixed BoxHeight(const TypesetBox& box);  // descent + ascent, saturated

// Children in a row in order, no gap and no glyph, baselines aligned; descent at least 0,
// ascent at least S; baseline flag 1. Draws nothing.
void LayoutSideBySide(ExprNode* node, int32_t mode);

// A child's extents about its baseline: a box on the math axis (flag 0) gains a above and loses
// it below. Uses the current size.
struct BaselineMetrics {
  Fixed descent;
  Fixed ascent;
};
BaselineMetrics ChildBaselineMetrics(const TypesetBox& child);
// Places a child at horizontal offset x with its baseline on the baseline of a node whose
// descent is nodeDescent.
void AlignChildOnBaseline(TypesetBox& child, Fixed x, Fixed nodeDescent);
// Places a child with its left edge at x and its bottom `up` above the node's bottom.
void PlaceChild(TypesetBox& child, Fixed x, Fixed up);

// A blank box of a prompt's size at the current size (the bold "?" of the text slot wide,
// ascent S, descent S/4, flag 1): what a handler lays out for an operand its node lacks.
TypesetBox PromptGapBox();

// The operand boxes of a handler that uses up to kMaxUsed operands and expects `expected`:
// the children's boxes, and a prompt gap for each expected one missing. Positions written to a
// gap go nowhere, so drawing recomputes positions from widths rather than reading them back.
class OperandBoxes {
 public:
  static constexpr int32_t kMaxUsed = 4;
  OperandBoxes(ExprNode* node, int32_t expected);
  TypesetBox& operator[](int32_t i);  // i < kMaxUsed
  bool Has(int32_t i) const;

 private:
  ExprNode* node_;
  TypesetBox gaps_[kMaxUsed];
};

// Lays operands first.. (those the kind does not use) in a row after the node's width, on its
// reference line, growing the box; children already placed keep their place on the page.
void PlaceExtraOperands(ExprNode* node, int32_t first);

// Child 0 after a gap, baselines aligned; descent at least S/4, ascent at least S (the tight
// form: at least 0); width gap + child width; flag 1. A missing child is a prompt gap.
void PrefixBox(ExprNode* node, Fixed gap);
void PrefixBoxTight(ExprNode* node, Fixed gap);
// Script placement, with S/20 the raw size / 20 (not t): min(h/2 - S/20, 3d/4) and
// min(3h/4 - S/20, 85e/100).
Fixed SubscriptDrop(Fixed h, Fixed d);
Fixed SuperscriptRaise(Fixed h, Fixed e);

// Moves the pen to the node's baseline point plus dx, through the line table.
void MoveToBaselinePoint(const ExprNode* node, Fixed dx);
// Moves the pen to dx right of the node's left edge and `up` above its bottom.
void MoveToNodePoint(const ExprNode* node, Fixed dx, Fixed up);
// Draws a character of the current slot with its baseline `up` above the node's bottom.
void DrawCharAt(const ExprNode* node, Fixed dx, Fixed up, int32_t code);
