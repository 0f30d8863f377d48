// Test support for editing: recording fakes of what the documents and the shell provide (snapshots
// and redraws counted, algebra codes, style loads and structural commands recorded, a fixed math
// pane), an edit script runner over DoFormulaEditCommand on a fresh editor, and the dumps scripts
// are checked with: the tree as infix text (a prompt is "?") and the caret as its child-index
// path from the root, mode, start and end ("0.1 m3 0:0").
#pragma once

#include <string>
#include <vector>

#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_writer.h"
#include "kernel/trees/expr_node.h"
#include "tests/editor/typeset_test_support.h"

namespace edit_test {

// What the fake documents saw. One instance a test; the hooks reach it through Current().
struct RecordingDocument {
  int snapshots = 0;
  int redraws = 0;
  int styleLoads = 0;
  std::vector<int32_t> algebraCodes;
  std::vector<int32_t> kindsInserted;
  std::vector<int32_t> templates;
  std::vector<char> clipboard;  // 'x' cut, 'c' copy, 'v' paste
  std::vector<std::pair<Fixed, Fixed>> drags;
  static RecordingDocument*& Current() {
    static RecordingDocument* current = nullptr;
    return current;
  }
  static StructureCommandHandlers& Real() {
    static StructureCommandHandlers real;
    return real;
  }
  static void Record(char what, void (*run)()) {
    Current()->clipboard.push_back(what);
    run();
  }
  void Install() {
    Current() = this;
    EditorHooks& h = TypesetGlobals().hooks;
    h.beginEquationEdit = [] { ++Current()->snapshots; };
    h.redrawEquationPane = [](void*) { ++Current()->redraws; };
    h.loadDocumentTextStyle = [](void* owner) {
      ++Current()->styleLoads;
      if (FormulaEditor* e = TypesettingGlobals().currentEditor) e->owner = owner;
    };
    h.getMathPaneRect = [](void*, PixelRect* r) { *r = PixelRect{0, 0, 400, 600}; };
    h.doAlgebraCommand = [](int32_t code) { Current()->algebraCodes.push_back(code); };
    // The structural commands are recorded, then run by the editor's own handlers.
    StructureCommandHandlers& s = TypesetGlobals().editing.handlers;
    Real() = s;
    s.insertKind = [](uint32_t kind) {
      Current()->kindsInserted.push_back(static_cast<int32_t>(kind));
      Real().insertKind(kind);
    };
    s.runTemplate = [](int32_t code) {
      Current()->templates.push_back(code);
      Real().runTemplate(code);
    };
    s.cutSelection = [] { Record('x', Real().cutSelection); };
    s.copySelection = [] { Record('c', Real().copySelection); };
    s.pasteClipboard = [] { Record('v', Real().pasteClipboard); };
    s.trackFormulaDrag = [](Fixed v, Fixed h, ExprNode* anchor) {
      Current()->drags.emplace_back(v, h);
      return Real().trackFormulaDrag(v, h, anchor);
    };
  }
};

// Codes of a script: each character stands for itself but these, which stand for the motions
// and the backspace.
constexpr char kRight = '>', kLeft = '<', kUp = '^', kDown = 'v', kBack = '~', kTab = '\t', kExit = ')';

inline std::vector<int32_t> Codes(const std::string& script) {
  std::vector<int32_t> codes;
  for (char c : script) {
    switch (c) {
      case kRight: codes.push_back(kCodeCaretRight); break;
      case kLeft: codes.push_back(kCodeCaretLeft); break;
      case kUp: codes.push_back(kCodeCaretToParent); break;
      case kDown: codes.push_back(kCodeCaretDescend); break;
      case kBack: codes.push_back(kCodeBackspace); break;
      case kTab: codes.push_back(kCodeSelectNextLeaf); break;
      case kExit: codes.push_back(kCodeExitGroup); break;
      default: codes.push_back(static_cast<unsigned char>(c));
    }
  }
  return codes;
}

inline FormulaEditor& E() { return *TypesettingGlobals().currentEditor; }

inline std::string Infix() {
  char* text = FormatExpressionText(E().root, false);
  std::string out = text ? text : "<null>";
  FreeMemory(text);
  return out;
}

// The caret's child-index path from the root ("" at the root), mode, start and end.
inline std::string Caret() {
  std::string path;
  for (const ExprNode* n = E().caretNode; n->parent; n = n->parent)
    path = std::to_string(IndexInParent(n)) + (path.empty() ? "" : ".") + path;
  return path + " m" + std::to_string(E().selectionMode) + " " + std::to_string(E().selectionStart) + ":" +
         std::to_string(E().selectionEnd);
}

class EditTest : public typeset_test::TypesetTest {
 protected:
  void SetUp() override {
    TypesetTest::SetUp();
    document_.Install();
  }
  void TearDown() override {
    SetOutOfMemoryFlag(false);
    RecordingDocument::Current() = nullptr;
    TypesetTest::TearDown();
  }
  // A fresh current editor holding a prompt, or the formula text (the reader's notation).
  FormulaEditor* Fresh(const std::string& text = "") {
    if (text.empty()) {
      FormulaEditor* e = NewFormulaEditor();
      editors_.push_back(e);
      SetCurrentFormulaEditor(e, nullptr);
      return e;
    }
    return Edit(text, 0);
  }
  static void RunCodes(const std::vector<int32_t>& codes) {
    for (int32_t code : codes) DoFormulaEditCommand(code);
  }
  static void Run(const std::string& script) { RunCodes(Codes(script)); }
  // Places the caret by its path (child indexes from the root), stored as is.
  static void Place(const std::vector<int>& path, int32_t mode, int32_t start = 0, int32_t end = 0) {
    ExprNode* n = E().root;
    for (int i : path) n = n->children[i];
    E().caretNode = n;
    E().selectionMode = mode;
    E().selectionStart = start;
    E().selectionEnd = end;
  }
  RecordingDocument document_;
};

}  // namespace edit_test
