// Process-wide state of typesetting, in one struct with one reset for tests: the font slots and
// the metrics of the current type size, the shared size-per-level table and the style in force,
// the drawing origin, the break candidates, the measuring and drawing backends, and the hooks
// that the documents and later editing steps install. The current editor and the prompt-caret
// switch live in the kernel's TypesettingState, which the kernel reads too.
#pragma once

#include <cstdint>

#include "editor/typeset_port.h"
#include "editor/typeset_units.h"
#include "kernel/trees/typeset_records.h"

class FontMetrics;

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

// Services of higher layers and of later editing steps; until installed each does the least.
struct EditorHooks {
  // Loads the owner document's text style into the current editor (SetTextFontByName, the
  // sizes) and stores the owner in it. None: the owner is stored, the style kept.
  void (*loadDocumentTextStyle)(void* owner) = nullptr;
  void (*resetEditCommandHistory)() = nullptr;
  // The current editor's caret or selection rectangle in layout coordinates; false when there
  // is none. None: the caret node's box.
  bool (*caretRect)(FixedRect* rect) = nullptr;
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
};

TypesetState& TypesetGlobals();
// Back to start-up values, the kernel's TypesettingState included (tests).
void ResetTypesetGlobalsForTest();
