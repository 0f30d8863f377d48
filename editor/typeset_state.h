// Process-wide state of typesetting, in one struct with one reset for tests: the font slots and
// the metrics of the current type size, the size table and style in force, the drawing origin,
// the break candidates, the backends, the documents' hooks, the dispatcher's memory, the formula
// clipboard (owned: the reset frees it) and the press being tracked. The current editor and the
// prompt-caret switch live in the kernel's TypesettingState, which the kernel reads too.
#pragma once

#include <cstdint>

#include "editor/editor_hooks.h"
#include "editor/typeset_port.h"
#include "editor/typeset_units.h"
#include "kernel/trees/typeset_records.h"

class FontMetrics;
struct ExprNode;

inline constexpr int kScriptLevelCount = 6;
// Sizes per script level: 24, 24, 18, 12, 9 and 9 points. The layout assigns levels 2 to 4.
inline constexpr int32_t kDefaultFontSizes[kScriptLevelCount] = {0x180000, 0x180000, 0x120000,
                                                                  0xC0000,  0x90000,  0x90000};

// The metrics of the current type size, rewritten together by SetTypesetSize.
struct TypeMetrics {
  Fixed typeSize;
  Fixed typeQuarter;     // S/4, the descent of a letter with a descender
  Fixed ruleThickness;   // t, the pen of every rule
  Fixed typeThousandth;  // u
  Fixed typeTenth;       // 100u
};

// Handlers of the structural commands, installed at start-up (InstallStructureCommandHandlers):
// kind insertion, the templates, cut, copy and paste, and the drag selection that Shift-arrows
// extend through. A code whose handler is missing changes nothing (its bookkeeping still runs).
struct StructureCommandHandlers {
  void (*insertKind)(uint32_t kind) = nullptr;
  void (*runTemplate)(int32_t code) = nullptr;
  void (*cutSelection)() = nullptr;
  void (*copySelection)() = nullptr;
  void (*pasteClipboard)() = nullptr;
  // Extends the selection from the anchor node to the layout point (v, h); true when it changed.
  bool (*trackFormulaDrag)(Fixed v, Fixed h, ExprNode* anchor) = nullptr;
};

// What the edit command dispatcher remembers between commands: the last two codes (runs of
// backspaces and of stepwise moves form one undo step), whether the next change starts a new
// undo step, and the nesting of the decimal point's own re-dispatch.
struct EditCommandState {
  int32_t lastCode = 0;
  int32_t previousCode = 0;
  const FormulaEditor* lastEditor = nullptr;  // the editor the last code ran in (compared, never read)
  bool snapshotPending = true;
  int32_t decimalPointNesting = 0;
  StructureCommandHandlers handlers;
};

// The formula clipboard: an owned tree or none, and the kind of an operator cut or copied alone
// (0 otherwise). seenScrapText is the system clipboard's text as last seen here (after a put or
// a read; owned), so a paste adopts only text another program put there since.
struct FormulaClipboard {
  ExprNode* expression = nullptr;
  uint32_t operatorKind = 0;
  char* seenScrapText = nullptr;
};

// The press being tracked in a formula (layout points): where it happened or the last term move
// ran, the last point seen, the selection rectangle the drag started from, and whether this click
// drew the caret (which then goes at the release).
struct FormulaMouseState {
  Fixed anchorV, anchorH;
  Fixed lastV, lastH;
  FixedRect selection;
  bool caretDrawn;
};

struct TypesetState {
  int32_t defaultFontSizes[kScriptLevelCount];  // the shared table new editors point to
  const int32_t* currentStyle;                    // the style of the formula being laid out
  int16_t fontSlots[2];                           // 0 the Symbol font, 1 the text font
  int32_t currentFontSlot;
  TypeMetrics metrics;
  TypesetTextState text;  // font, pixel size and face of the next measure or draw
  int32_t originH;        // the drawing origin, whole pixels
  int32_t originV;
  bool fontsInitialised;
  const FontMetrics* fontMetrics;  // null: the platform's fonts
  TypesetPort* port;               // null: the drawing layer's current port
  Fixed* breakCandidates;          // line breaking's scratch, freed at the end of each pass
  int32_t breakCandidateCount;
  EditorHooks hooks;
  EditCommandState editing;
  FormulaClipboard clipboard;
  FormulaMouseState mouse;
  uint32_t lastCaretBlink;  // timer units of the last caret blink
  int32_t boxPassDeferred;  // open FormulaKeyBatch scopes: the box pass waits for the last to end
  FormulaEditor* boxPassPending;  // the editor whose box pass waits, or null
  uint64_t layoutInvalidations;   // InvalidateFormulaLayout calls on an editor: every change made one
};

TypesetState& TypesetGlobals();
// Back to start-up values, the kernel's TypesettingState included, the clipboard freed (tests).
void ResetTypesetGlobalsForTest();
