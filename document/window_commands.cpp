// The window's menus as data, their enabling, and the commands they run. The Math items run
// through the edit dispatcher exactly as their keys do (undo grouping and memory checks
// included); undo restores a row from the document's history and puts the dispatcher's
// snapshot flag up, so the next change starts a step of its own.
#include "document/window_commands.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "document/document_record.h"
#include "document/menu_bar.h"
#include "document/slider_animation.h"
#include "editor/document_services.h"
#include "editor/edit_commands.h"
#include "editor/editor_hooks.h"
#include "editor/equation_keys.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/node_kinds.h"

namespace {

struct ItemRow {
  int32_t command;
  const char* title;
  const char* keys;  // the key table's key, as the README names the modifiers; null: none
  bool separatorBefore;
};

// Every algebra code that has steps, with the key table's keys (Control for Command, Alt for
// Option: Control+Alt is the table's Control, so the Command+Option rows have no key).
constexpr ItemRow kMathItems[] = {
    {0x2000, "Simplify", nullptr, false},
    {0x2002, "Expand", nullptr, false},
    {0x201B, "Expand Special Forms", nullptr, false},
    {0x2007, "Evaluate Numerically", nullptr, false},
    {0x2016, "Solve for Selection", nullptr, false},
    {0x2103, "Move Term Left", "Ctrl+Left", true},
    {0x2100, "Move Term Right", "Ctrl+Right", false},
    {0x2104, "Move Term Left, Combining", nullptr, false},
    {0x2101, "Move Term Right, Combining", nullptr, false},
    {0x2105, "Move Term to the Left End", "Ctrl+Shift+Left", false},
    {0x2102, "Move Term to the Right End", "Ctrl+Shift+Right", false},
    {0x2106, "Raise Index or Factor", "Ctrl+Up", true},
    {0x2107, "Lower Index or Factor", "Ctrl+Down", false},
    {0x2108, "Swap with Left Neighbour", nullptr, true},
    {0x2109, "Swap with Right Neighbour", nullptr, false},
};

constexpr ItemRow kEditItems[] = {
    {kCommandUndo, "Undo", "Ctrl+Z", false},
    {kCommandRedo, "Redo", "Ctrl+Shift+Z", false},
    {kCodeCut, "Cut", "Ctrl+X", true},
    {kCodeCopy, "Copy", "Ctrl+C", false},
    {kCodePaste, "Paste", "Ctrl+V", false},
    {kCodeClear, "Clear", "Esc", false},
    {kCommandSelectAll, "Select All", "Ctrl+A", true},
};

// The Edit items' keys: Control (the key table's Command) with a letter, Shift as given. The key
// table has no Command row for these letters, so no edit key is hidden by them.
struct EditKeyRow {
  char letter;
  bool shift;
  int32_t command;
};
constexpr EditKeyRow kEditKeys[] = {
    {'z', false, kCommandUndo}, {'z', true, kCommandRedo}, {'y', false, kCommandRedo},
    {'x', false, kCodeCut},     {'c', false, kCodeCopy},   {'v', false, kCodePaste},
    {'a', false, kCommandSelectAll},
};

constexpr ItemRow kGraphItems[] = {
    {kCommandFirstViewCommand + 0, "Zoom In", nullptr, false},
    {kCommandFirstViewCommand + 1, "Zoom In Horizontally", nullptr, false},
    {kCommandFirstViewCommand + 2, "Zoom In Vertically", nullptr, false},
    {kCommandFirstViewCommand + 3, "Zoom Out", nullptr, true},
    {kCommandFirstViewCommand + 4, "Zoom Out Horizontally", nullptr, false},
    {kCommandFirstViewCommand + 5, "Zoom Out Vertically", nullptr, false},
    {kCommandResetGraph, "Reset Graph", nullptr, true},
    {kCommandUseTransparency, "Use Transparency", nullptr, true},
    {kCommandAnimateSlider, "Animate Slider", nullptr, true},
};

// The Graph menu's submenus of the active row's settings: each item sets its value.
struct SettingItem {
  double value;
  const char* title;
};
// The colour menu's indexes by their colours and patterns.
constexpr SettingItem kColourItems[] = {
    {1, "Magenta"},         {2, "Red"},        {3, "Blue"},           {4, "Green"},
    {5, "Cyan"},            {6, "Yellow"},     {7, "Light Grey"},     {8, "Dark Grey"},
    {10, "Checks"},         {11, "Stripes Across"}, {12, "Stripes Along"}, {13, "Hue Ramp Down"},
    {14, "Hue Ramp Across"}, {15, "Hue Steps Down"}, {16, "Hue Steps Across"}, {17, "No Fill"},
};
constexpr SettingItem kGrainItems[] = {
    {0, "Coarsest"}, {0.25, "Coarse"}, {0.5, "Medium"}, {0.75, "Fine"}, {1, "Finest"},
};
constexpr SettingItem kOpacityItems[] = {{1, "Opaque"}, {0.75, "75%"}, {0.5, "50%"}, {0.25, "25%"}};
constexpr SettingItem kModeItems[] = {{0, "Draft"}, {1, "Marked"}, {2, "Full Analysis"}};
struct SettingMenu {
  RowSetting setting;
  const char* title;
  const SettingItem* items;
  int32_t count;
};
constexpr SettingMenu kSettingMenus[] = {
    {RowSetting::kColour, "Colour", kColourItems, static_cast<int32_t>(std::size(kColourItems))},
    {RowSetting::kGrain, "Grain", kGrainItems, static_cast<int32_t>(std::size(kGrainItems))},
    {RowSetting::kOpacity, "Opacity", kOpacityItems, static_cast<int32_t>(std::size(kOpacityItems))},
    {RowSetting::kMode, "Plotting Mode", kModeItems, static_cast<int32_t>(std::size(kModeItems))},
};
constexpr int32_t kSubmenuItem = 0xFF;  // the item of a command's place that opens the submenu
constexpr int32_t kSettingMenuCount = static_cast<int32_t>(std::size(kSettingMenus));
constexpr int32_t SettingCommand(int32_t menu, int32_t item) { return kCommandFirstRowSetting + 0x100 * menu + item; }

// The submenu and item of a row-setting command; false for another command (or a submenu's own item).
bool DecodeSettingCommand(int32_t command, const SettingMenu** menu, int32_t* item) {
  const int32_t m = (command - kCommandFirstRowSetting) >> 8, i = (command - kCommandFirstRowSetting) & 0xFF;
  if (command < kCommandFirstRowSetting || m >= kSettingMenuCount || i >= kSettingMenus[m].count) return false;
  *menu = &kSettingMenus[m];
  *item = i;
  return true;
}

template <size_t N>
void AddMenu(MenuBar* bar, const char* title, const ItemRow (&items)[N]) {
  const int32_t menu = bar->AddMenu(title);
  for (const ItemRow& row : items) bar->AddItem(menu, row.title, row.keys, row.command, row.separatorBefore);
}

// The active row's equation row in the document; null for the new row.
EquationRow* ActiveDocumentRow(WindowCommandTarget* window) {
  DocumentRecord* d = window->Document();
  const int32_t i = window->ActiveRow();
  return i >= 0 && i < d->rows.count && d->rows.data[i].kind == 0 ? &d->rows.data[i] : nullptr;
}

template <size_t N>
void EnableAll(MenuBar* bar, const ItemRow (&items)[N], bool enabled) {
  for (const ItemRow& row : items) bar->SetEnabled(row.command, enabled);
}

bool IsMathCommand(int32_t command) {
  for (const ItemRow& row : kMathItems)
    if (row.command == command) return true;
  return false;
}

bool IsViewCommand(int32_t command) {
  return command >= kCommandFirstViewCommand && command <= kCommandResetGraph;
}

// The view codes that act on one axis of a plane view (1, 2: zoom in horizontally, vertically; 4,
// 5: out). A space view takes every code but 3 as zoom in, so they are not offered there.
bool IsAxisViewCommand(int32_t command) {
  const int32_t code = command - kCommandFirstViewCommand;
  return code == 1 || code == 2 || code == 4 || code == 5;
}

// The active row's editor, current (the menus' tests read the current editor).
FormulaEditor* ActiveEditor(WindowCommandTarget* window) {
  FormulaEditor* e = window->RowEditor(window->ActiveRow());
  if (e != nullptr && TypesettingGlobals().currentEditor != e) SetCurrentFormulaEditor(e, window->Document());
  return e;
}

struct ClipboardStates {
  bool cut, copy, paste, clear;
};

// What the clipboard codes would take or give in the editor's selection (the modes each acts in).
ClipboardStates ClipboardStatesOf(const FormulaEditor* e) {
  const int32_t mode = e->selectionMode;
  const bool node = e->caretNode != nullptr && e->caretNode->kind != KindPrompt;
  const bool range = e->selectionStart != e->selectionEnd;
  const bool nodeOrRange =
      node && (mode == SelectionCaretNode || mode == SelectionChildRange || mode == SelectionOperator);
  ClipboardStates s{};
  s.cut = nodeOrRange || (mode == SelectionDigits && range);
  s.copy = s.cut || (node && mode == SelectionMatrixBlock);
  s.clear = s.copy || (mode == SelectionText && range);
  const FormulaClipboard& clip = TypesetGlobals().clipboard;
  const bool takesTree = mode != SelectionOperator && mode != SelectionMatrixBlock && mode != SelectionText;
  s.paste = clip.operatorKind != 0 ||
            (takesTree && (clip.expression != nullptr || (HasSystemClipboard() && ScrapText() != nullptr)));
  return s;
}

// Undo or redo: the step's row put back and made active (a row deleted again leaves the caret in
// the row above, as Backspace does). Steps of rows neither in the window nor held by a deletion
// step are dropped first.
bool RunUndoStep(WindowCommandTarget* window, bool redo) {
  DocumentRecord* d = window->Document();
  UndoHistory& history = d->undo;
  for (;;) {
    FormulaEditor* e = redo ? history.RedoEditor() : history.UndoEditor();
    if (e == nullptr) return false;
    const int32_t row = window->RowOfEditor(e);
    if (row < 0 && !history.HoldsRow(e)) {
      history.Forget(e);
      continue;
    }
    if (redo ? history.RedoIsSettings() : history.UndoIsSettings()) {
      // The formula stays: the graphs keep standing and take the row's settings back. (A row held
      // by a deletion step cannot take them: the step goes.)
      const EquationRow before = row >= 0 && row < d->rows.count ? d->rows.data[row] : EquationRow{};
      if ((redo ? history.Redo() : history.Undo()) == nullptr) return false;
      d->SendChangedRowSettings(row, before);
      window->FocusRow(row);
      window->InvalidateGraphPane();
      window->FinishCommand(false);
      return true;
    }
    if ((redo ? history.Redo() : history.Undo()) == nullptr) return false;
    ResetEditCommandHistory();
    const int32_t now = window->RowOfEditor(e);
    window->FocusRow(now >= 0 ? now : std::max(row - 1, 0));
    window->FinishCommand(true);
    return true;
  }
}

}  // namespace

void BuildWindowMenus(MenuBar* bar) {
  AddMenu(bar, "Edit", kEditItems);
  AddMenu(bar, "Math", kMathItems);
  AddMenu(bar, "Graph", kGraphItems);
  const int32_t graph = bar->MenuCount() - 1;
  for (int32_t m = 0; m < kSettingMenuCount; ++m) {
    const SettingMenu& menu = kSettingMenus[m];
    const int32_t sub = bar->AddSubmenu(graph, menu.title, SettingCommand(m, kSubmenuItem), m == 0);
    for (int32_t i = 0; i < menu.count; ++i) bar->AddItem(sub, menu.items[i].title, nullptr, SettingCommand(m, i));
  }
}

void UpdateWindowMenus(MenuBar* bar, WindowCommandTarget* window) {
  const FormulaEditor* e = ActiveEditor(window);
  const DocumentRecord* d = window->Document();
  EnableAll(bar, kMathItems, e != nullptr && CanApplyToSelection());
  const ClipboardStates s = e != nullptr ? ClipboardStatesOf(e) : ClipboardStates{};
  bar->SetEnabled(kCodeCut, s.cut);
  bar->SetEnabled(kCodeCopy, s.copy);
  bar->SetEnabled(kCodePaste, s.paste);
  bar->SetEnabled(kCodeClear, s.clear);
  bar->SetEnabled(kCommandUndo, d->undo.CanUndo());
  bar->SetEnabled(kCommandRedo, d->undo.CanRedo());
  bar->SetEnabled(kCommandSelectAll, e != nullptr);
  EnableAll(bar, kGraphItems, true);
  if (ViewSetHas3DView(&d->viewSet)) {
    for (const ItemRow& row : kGraphItems)
      if (IsAxisViewCommand(row.command)) bar->SetEnabled(row.command, false);
  }
  bar->SetChecked(kCommandUseTransparency, d->useTransparency);
  bar->SetEnabled(kCommandAnimateSlider, SliderRowToAnimate(*d, window->ActiveRow()) >= 0);
  bar->SetChecked(kCommandAnimateSlider, d->IsSliderAnimating());
  const EquationRow* row = ActiveDocumentRow(window);
  for (int32_t m = 0; m < kSettingMenuCount; ++m) {
    const SettingMenu& menu = kSettingMenus[m];
    bar->SetEnabled(SettingCommand(m, kSubmenuItem), row != nullptr);
    for (int32_t i = 0; i < menu.count; ++i) {
      bar->SetEnabled(SettingCommand(m, i), row != nullptr);
      bar->SetChecked(SettingCommand(m, i), row != nullptr && RowSettingOf(*row, menu.setting) == menu.items[i].value);
    }
  }
}

bool RunWindowCommand(WindowCommandTarget* window, int32_t command) {
  DocumentRecord* d = window->Document();
  if (command == kCommandAnimateSlider) {
    if (d->IsSliderAnimating()) {
      StopSliderAnimation(d);
    } else if (!StartSliderAnimation(d, SliderRowToAnimate(*d, window->ActiveRow()))) {
      return false;
    }
    window->RedrawGraphPane();
    return true;
  }
  // An edit reads the parameter letter as a variable again (the algebra's classifier sees it).
  if (!IsViewCommand(command) && command != kCommandUseTransparency) StopSliderAnimation(d);
  FormulaEditor* e = ActiveEditor(window);
  if (IsMathCommand(command)) {
    if (e == nullptr || !CanApplyToSelection()) return false;
    window->RunEditCode(command);
    return true;
  }
  const SettingMenu* setting = nullptr;
  int32_t item = 0;
  if (DecodeSettingCommand(command, &setting, &item)) {
    if (ActiveDocumentRow(window) == nullptr) return false;
    // The same value again is no change and no undo step, but the command was taken.
    d->ChangeRowSetting(window->ActiveRow(), setting->setting, setting->items[item].value);
    window->InvalidateGraphPane();
    window->FinishCommand(false);
    return true;
  }
  if (IsViewCommand(command)) {
    if (IsAxisViewCommand(command) && ViewSetHas3DView(&d->viewSet)) return false;
    ViewSetBroadcastCommand(&d->viewSet, command - kCommandFirstViewCommand, 2);
    window->RedrawGraphPane();
    return true;
  }
  switch (command) {
    case kCommandUndo:
    case kCommandRedo:
      return RunUndoStep(window, command == kCommandRedo);
    case kCommandSelectAll:
      if (e == nullptr) return false;
      ResetFormulaCaret();
      window->FinishCommand(false);
      return true;
    case kCodeCut:
    case kCodeCopy:
    case kCodePaste:
    case kCodeClear: {
      if (e == nullptr) return false;
      const ClipboardStates s = ClipboardStatesOf(e);
      const bool can[] = {s.cut, s.copy, s.paste, s.clear};  // in code order from kCodeCut
      if (!can[command - kCodeCut]) return false;
      window->RunEditCode(command);
      return true;
    }
    case kCommandUseTransparency:
      d->useTransparency = !d->useTransparency;
      window->RedrawGraphPane();
      return true;
    default:
      return false;
  }
}

int32_t EditMenuKeyCommand(const EditKeyEvent& key) {
  if ((key.modifiers & ~kKeyShift) != kKeyCommand) return 0;
  const bool shift = (key.modifiers & kKeyShift) != 0;
  const uint8_t c = key.baseCharacter != 0 ? key.baseCharacter : key.character;
  const char letter = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  for (const EditKeyRow& row : kEditKeys)
    if (row.letter == letter && row.shift == shift) return row.command;
  return 0;
}

bool TurnOffTransparencyAfterFailure(DocumentRecord* document) {
  if (!IsErrorPosted(kErrorTransparencyMemory) || !document->useTransparency) return false;
  // The message that goes with the failure asks for the Use Transparency item: until it is
  // chosen the graphs are drawn opaque. Re-armed so that a failure after that is told again.
  ClearErrorPosted(kErrorTransparencyMemory);
  document->useTransparency = false;
  return true;
}

void InstallUndoHook(EditorHooks* hooks) {
  hooks->beginEquationEdit = [] {
    FormulaEditor* e = TypesettingGlobals().currentEditor;
    if (e != nullptr && e->owner != nullptr) static_cast<DocumentRecord*>(e->owner)->undo.Record(e);
  };
}
