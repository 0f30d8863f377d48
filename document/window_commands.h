// The document window's menu commands: the Edit, Math and Graph menus as tables (titles, the key
// table's keys shown beside them, the commands), which items the active row and the document
// enable now, and the running of a chosen command on the window. Math items carry their algebra
// edit codes and run like typed keys on the active row; Graph items go to the view set as view
// commands, or set the active row's colour, grain, opacity and plotting mode (its submenus);
// Edit items are the clipboard codes, undo and redo, and the selection of a whole row.
// The undo snapshot hook the editor needs is filled here; the run loop fills the system clipboard's.
#pragma once

#include <cstdint>

class DocumentRecord;
class MenuBar;
struct EditKeyEvent;
struct EditorHooks;
struct FormulaEditor;

// What the commands need of the window they run in (DocumentWindow answers).
class WindowCommandTarget {
 public:
  virtual ~WindowCommandTarget() = default;
  virtual DocumentRecord* Document() const = 0;
  // Row i's editor (i == rows.count: the new row) and the active row.
  virtual FormulaEditor* RowEditor(int32_t i) const = 0;
  virtual int32_t ActiveRow() const = 0;
  // The row of the editor, -1 when it is not the window's.
  virtual int32_t RowOfEditor(const FormulaEditor* editor) const = 0;
  // Runs an edit code on the active row as its key does, then lays out and redraws.
  virtual int32_t RunEditCode(int32_t code) = 0;
  // Makes the row active without touching its caret.
  virtual void FocusRow(int32_t row) = 0;
  // After a command: `edited` as any edit (the graphs go), then the rows laid out and redrawn.
  virtual void FinishCommand(bool edited) = 0;
  virtual void RedrawGraphPane() = 0;
  // The graph pane drawn again at the next idle tick (after the graphs took a new option).
  virtual void InvalidateGraphPane() = 0;
};

// Commands that are not edit codes: the Math and the clipboard items carry their edit codes
// (0x2000..0x2109, 0x2200..0x2203) as commands.
enum WindowCommand : int32_t {
  kCommandUndo = 0x30000,
  kCommandRedo,
  kCommandSelectAll,
  kCommandFirstViewCommand = 0x31000,  // + a view command code: 0..5 zoom, 6 reset
  kCommandResetGraph = kCommandFirstViewCommand + 6,
  kCommandUseTransparency = 0x32000,
  kCommandAnimateSlider = 0x33000,
  // + 0x100 * the Graph submenu (Colour, Grain, Opacity, Plotting Mode) + the item's place in it;
  // + 0xFF the item that opens the submenu.
  kCommandFirstRowSetting = 0x34000,
};

// The view command code that zooms in on both axes, and the one that resets a view.
inline constexpr int32_t kViewZoomIn = 0, kViewZoomOut = 3, kViewReset = 6;

// Fills an empty bar with the Edit, Math and Graph menus, every item disabled.
void BuildWindowMenus(MenuBar* bar);
// Enables each item by what it can do now in the window: the Math items exactly while the active
// row's selection can take an algebra command (not a prompt; a node, a range of operands or a
// block of a matrix selected); Cut, Copy and Clear while there is something to take; Paste while
// the formula clipboard or the system clipboard holds something; Undo and Redo while the document
// holds a step; Select All always; the view commands always, but those of one axis while a 3D or
// 4D view is shown (a space view zooms all its axes alike). Use Transparency is checked while the
// document draws with transparency. Animate Slider is enabled while a row has a slider and checked
// while one animates. The row settings' submenus are enabled while the active row is an equation
// row of the document (not the new row), each with the row's value checked.
void UpdateWindowMenus(MenuBar* bar, WindowCommandTarget* window);
// The Edit command of a key (Control+Z Undo, Control+Shift+Z and Control+Y Redo, Control+X, C, V
// and A: Control arrives as the key table's Command); 0 for any other key.
int32_t EditMenuKeyCommand(const EditKeyEvent& key);
// Runs a command on the window; false (nothing done) when it cannot run now or is unknown. Animate
// Slider starts the animation of the active row's slider (of the first slider when the active row
// has none), or stops the one that runs; every command but it, the view commands and Use
// Transparency stops the animation before it runs (an edit must not see its parameter letter).
bool RunWindowCommand(WindowCommandTarget* window, int32_t command);

// After a graph pane drawing: when rendering with transparency ran out of memory (error 17, whose
// message asks for Use Transparency), the document stops drawing with transparency until that
// item is chosen, and the error is re-armed. True when it was switched off.
bool TurnOffTransparencyAfterFailure(DocumentRecord* document);

// The hook that records the undo snapshot of the current editor in its owner document.
void InstallUndoHook(EditorHooks* hooks);
