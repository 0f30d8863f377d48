// Document and shell services over the hooks record: each calls its hook when one is installed
// and otherwise does the least the contract allows.
#include "editor/document_services.h"

#include "editor/typeset_state.h"
#include "kernel/interaction/mouse_tracking.h"

namespace {

const EditorHooks& Hooks() { return TypesetGlobals().hooks; }

}  // namespace

void LoadDocumentTextStyle(FormulaEditor* editor, void* owner) {
  if (Hooks().loadDocumentTextStyle) {
    Hooks().loadDocumentTextStyle(owner);
  } else if (editor) {
    editor->owner = owner;
  }
}

void BeginEquationEdit() {
  if (Hooks().beginEquationEdit) Hooks().beginEquationEdit();
}

void RedrawOwnerPane() {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (e && Hooks().redrawEquationPane) Hooks().redrawEquationPane(e->owner);
}

PixelRect GetMathPaneRect(void* owner) {
  PixelRect rect{0, 0, 0, 0};
  if (Hooks().getMathPaneRect) Hooks().getMathPaneRect(owner, &rect);
  return rect;
}

bool TrackPointerWhileDown(QDPoint* point, uint32_t* modifiers, double timeoutSeconds) {
  if (Hooks().trackMouseWhileDown) return Hooks().trackMouseWhileDown(point, modifiers, timeoutSeconds);
  return TrackMouseWhileDown(point, modifiers, timeoutSeconds);
}

void DoAlgebraCommand(int32_t code) {
  if (Hooks().doAlgebraCommand) Hooks().doAlgebraCommand(code);
}

bool HasSystemClipboard() { return Hooks().putScrapText != nullptr; }

void PutScrapText(const char* text) {
  if (Hooks().putScrapText && text) Hooks().putScrapText(text);
}

const char* ScrapText() { return Hooks().scrapText ? Hooks().scrapText() : nullptr; }

bool IsPaletteCommand() { return Hooks().paletteCommand; }
