// Process-wide state of the colour programs, in one record with one reset: the algebra's
// simplifier that the complex lowering calls (a seam the algebra fills at start-up; graphics sits
// below it), and the capture of a generated program's text for the document command that copies it.
#pragma once

#include <cstdint>

struct ExprNode;

struct ColorProgramState {
  // Simplifies a tree bottom-up in place with powers not distributed. Null: the lowered trees
  // reach the generator as built (correct, only longer).
  void (*simplify)(ExprNode* tree) = nullptr;
  // Set by the copy command; the next preparation that generates a text stores it (line feeds
  // turned into carriage returns) and clears both bytes.
  uint8_t captureRequested = 0;
  uint8_t captureArmed = 0;
  char* capturedText = nullptr;  // counted block, NUL-terminated; see TakeCapturedProgramText
};
ColorProgramState& ColorProgramGlobals();

// The captured text, handed over (the caller frees it with FreeMemory), or null.
char* TakeCapturedProgramText();
// Frees a captured text and puts every field back to its start value (tests).
void ResetColorProgramGlobalsForTest();
