// The primitives every layout handler measures and draws through: fixed-point pen moves and
// rules, characters and strings with their widths, the two font slots (0 the Symbol font for
// Greek letters and operator glyphs, 1 the text font), the current type size with its metrics,
// the faces, and the per-glyph extents from which tall brackets, sums and integrals are built.
// Positions are 16.16 relative to the drawing origin; widths are whole pixels shifted left by 16.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;
class TypesetPort;

enum TypesetSlot : int32_t { kSymbolSlot = 0, kTextSlot = 1 };

// The port drawing goes to: the one installed in the typesetting state, else the drawing layer's.
TypesetPort& CurrentTypesetPort();

// Pen and rules. Every conversion to pixels floors; the rule pen is int(t) square.
void TypesetMove(Fixed dx, Fixed dy);   // relative, no origin
void TypesetMoveTo(Fixed x, Fixed y);   // origin + (int(x), int(y))
void TypesetLine(Fixed dx, Fixed dy);   // rule pen, relative line
void TypesetLineTo(Fixed x, Fixed y);   // rule pen, line to origin + (int(x), int(y))
// Rule pen, then `count` relative lines through points given as (dy, dx) pairs; 0 only sets
// the pen.
void TypesetPolyLine(int32_t count, const Fixed* points);

// Text at the pen (srcOr), in the current slot, size and face.
void TypesetDrawChar(int32_t c);  // the low byte of c
// Draws a NUL-terminated string and returns 0; a string of 256 characters or more is refused
// (nothing drawn) and its length returned.
int32_t TypesetDrawString(const char* s);
Fixed TypesetCharWidth(int32_t c);  // the low byte of c
Fixed TypesetTextWidth(const char* s);  // sum of the character widths, no kerning
// Half the current font's ascent plus one pixel: ascent * 65536 / 2 + 65536.
Fixed FontHalfAscent();

// Looks up the Symbol and Times font numbers once. A missing Symbol font (or one whose code 229
// is not the summation sign) posts error 10 and leaves 0 in slot 0; typesetting goes on.
void InitTypesetFonts();
// The text slot's font from a document's style (the application font when no font has the
// name); returns the number stored.
int16_t SetTextFontByName(const char* name);
void SetTypesetFont(int32_t slot);  // 0 or 1; other values are ignored
// Rewrites every TypeMetrics field from the 16.16 size; the text size becomes int(size).
void SetTypesetSize(Fixed size);
void TypesetFaceBold();
void TypesetFaceCondensed();
void TypesetFacePlain();  // plain face and a black foreground

// Glyph extents for the current slot and size s. Scaled results truncate toward zero.
// GlyphHeight: the stacking height (bracket pieces by factor; others the font's height).
Fixed GlyphHeight(int32_t c);
Fixed GlyphAscent(int32_t c);
Fixed GlyphDescent(int32_t c);
// 1.219 s for the parenthesis hooks 230 and 232; other codes give their GlyphHeight.
Fixed PieceFullHeight(int32_t c);

// Integer part of the descent of a node's box (0 without a box), of the current editor's caret
// node and of its root.
int32_t BoxDescentPixels(const ExprNode* node);
int32_t CaretBoxDescent();
int32_t RootBoxDescent();
