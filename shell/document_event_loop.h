// The application shell's run loop for one document window: window events go to the document
// (keys translated with Control for Command and Alt for Option), the editor's clipboard goes
// through the system clipboard, and the window's idle timer runs
// at the interval the document asks for (caret blink, graph computation, redraws), each tick with
// the budget of a plane view. The loop ends when the window is closed.
#pragma once

#include <cstdint>
#include <cstdio>

class DocumentWindow;
class SdlWindow;
struct WindowKey;
struct EditKeyEvent;

// Ticks of computing in one idle tick of a window showing only plane views: four (some 67 ms), so
// that a key or click waiting behind the computing is answered within about a tenth of a second
// (a graph stops at its first look at the clock past the budget, or is suspended at its value's
// next turn).
inline constexpr uint32_t kIdleBudgetTicks = 4;

// The key event of a window key.
EditKeyEvent EditKeyOfWindowKey(const WindowKey& key);
// Runs until the window closes. With `trace`, a line is written there after each key and click
// ("caret ROW PATH mMODE START:END", the caret's child-index path from the root, "-" at the
// root), after each click in the graph pane ("view XMIN XMAX YMIN YMAX" of the first plane
// view), after each resize and drag of the divider ("layout math T L B R graph T L B R"), after
// each turn of the wheel over the math pane ("scroll PIXELS"), after each drag in the slider strip
// ("slider ROW POSITION VALUE builds N" a slider, N the graph rebuilds so far; the same lines at
// each step of an animated slider, whose start and stop write "animation ROW" and "animation off")
// and when the graphs built by a Return, or moved by an animation's step, are complete ("graphs
// complete"). A resize refused for want of memory keeps
// the window's last layout (error 7 is posted). A click or key the menu bar takes writes "menu
// OPEN HIGHLIGHTED" (-1: none), and after a chosen command "command CODE" (hexadecimal), the
// caret, "row ROW TEXT" (the active row in bracket text) and the view; the graphs' computing
// after a view command ends with "graphs complete" too. Message alerts are shown under the active
// row while the loop runs ("message ROW TEXT").
void RunDocumentEventLoop(SdlWindow* window, DocumentWindow* document, FILE* trace);
// The trace lines (shared with tests).
void TraceCaret(FILE* trace, const DocumentWindow* document);
void TraceView(FILE* trace, const DocumentWindow* document);
void TraceSliders(FILE* trace, const DocumentWindow* document);
void TraceLayout(FILE* trace, const DocumentWindow* document);
void TraceRow(FILE* trace, const DocumentWindow* document);
// The menu line, and after a chosen command the command, caret, row and view lines.
void TraceMenu(FILE* trace, const DocumentWindow* document);
