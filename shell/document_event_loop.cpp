// The run loop: waits for the next event or the idle timer, whichever comes first, and hands
// events to the document window.
#include "shell/document_event_loop.h"

#include <string>

#include "document/document_window.h"
#include "document/slider_strip.h"
#include "editor/equation_keys.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/trees/expr_node.h"
#include "platform/clock.h"
#include "platform/window/sdl_window.h"
#include "platform/window/system_clipboard.h"

namespace {

double NowSeconds() { return static_cast<double>(ClockNow()) * 1e-9; }

// Where the message alerts go while the loop runs: under the active row of its window.
struct AlertTarget {
  DocumentWindow* window = nullptr;
  FILE* trace = nullptr;
};
AlertTarget alertTarget;

void ShowAlertInWindow(int, const char* text) {
  if (alertTarget.window == nullptr) return;
  alertTarget.window->ShowAlert(text);
  if (alertTarget.trace == nullptr) return;
  std::fprintf(alertTarget.trace, "message %d %s\n", alertTarget.window->ActiveRow(), text);
  std::fflush(alertTarget.trace);
}

std::string CaretPath(const FormulaEditor* e) {
  std::string path;
  for (const ExprNode* n = e->caretNode; n != nullptr && n->parent != nullptr; n = n->parent)
    path = std::to_string(IndexInParent(n)) + (path.empty() ? "" : ".") + path;
  return path.empty() ? "-" : path;
}

}  // namespace

EditKeyEvent EditKeyOfWindowKey(const WindowKey& key) {
  return TranslateLinuxKey(key.produced, key.base, key.shift, key.control, key.alt);
}

void TraceCaret(FILE* trace, const DocumentWindow* document) {
  if (trace == nullptr) return;
  const FormulaEditor* e = document->RowEditor(document->ActiveRow());
  if (e == nullptr) return;
  std::fprintf(trace, "caret %d %s m%d %d:%d\n", document->ActiveRow(), CaretPath(e).c_str(), e->selectionMode,
               e->selectionStart, e->selectionEnd);
  std::fflush(trace);
}

void TraceView(FILE* trace, const DocumentWindow* document) {
  const GraphView2D* view = document->Document()->viewSet.first2D;
  if (trace == nullptr || view == nullptr) return;
  std::fprintf(trace, "view %.17g %.17g %.17g %.17g\n", view->WindowX(view->rect.left), view->WindowX(view->rect.right),
               view->WindowY(view->rect.bottom), view->WindowY(view->rect.top));
  std::fflush(trace);
}

void TraceSliders(FILE* trace, const DocumentWindow* document) {
  if (trace == nullptr) return;
  const DocumentRecord* d = document->Document();
  for (int32_t i = 0; i < d->rows.count; ++i) {
    const EquationRow& row = d->rows.data[i];
    if (!row.hasSliderControl) continue;
    std::fprintf(trace, "slider %d %d %s builds %d\n", i, row.sliderValue, SliderValueText(row).c_str(),
                 document->GraphBuilds());
  }
  std::fflush(trace);
}

void TraceLayout(FILE* trace, const DocumentWindow* document) {
  if (trace == nullptr) return;
  const DocumentWindowLayout& l = document->Layout();
  std::fprintf(trace, "layout math %d %d %d %d graph %d %d %d %d\n", l.mathPane.top, l.mathPane.left, l.mathPane.bottom,
               l.mathPane.right, l.graphPane.top, l.graphPane.left, l.graphPane.bottom, l.graphPane.right);
  std::fflush(trace);
}

void TraceRow(FILE* trace, const DocumentWindow* document) {
  const FormulaEditor* e = document->RowEditor(document->ActiveRow());
  if (trace == nullptr || e == nullptr) return;
  char* text = FormatExpressionBracket(e->root);
  std::fprintf(trace, "row %d %s\n", document->ActiveRow(), text != nullptr ? text : "?");
  FreeMemory(text);
  std::fflush(trace);
}

void TraceMenu(FILE* trace, const DocumentWindow* document) {
  if (trace == nullptr) return;
  const MenuBar& menus = document->Menus();
  if (menus.OpenSubmenu() >= 0) {
    std::fprintf(trace, "menu %d %d sub %d %d\n", menus.OpenMenu(), menus.Highlighted(), menus.OpenSubmenu(),
                 menus.SubHighlighted());
  } else {
    std::fprintf(trace, "menu %d %d\n", menus.OpenMenu(), menus.Highlighted());
  }
  const MenuAction& action = document->LastMenuAction();
  if (action.result == MenuResult::kChosen) {
    std::fprintf(trace, "command 0x%X\n", unsigned(action.command));
    TraceCaret(trace, document);
    TraceRow(trace, document);
    TraceView(trace, document);
  }
  std::fflush(trace);
}

namespace {

// The window's cursor, when it changed since the last line: "cursor left_ptr" for a theme cursor,
// "cursor colour 128" for a colour cursor.
void TraceCursor(FILE* trace, const SdlWindow* window, int* changes) {
  if (trace == nullptr || window->CursorChanges() == *changes) return;
  *changes = window->CursorChanges();
  const int shown = window->ShownCursor();
  if (shown >= SdlWindow::kColorCursorShown) {
    std::fprintf(trace, "cursor colour %d\n", shown - SdlWindow::kColorCursorShown);
  } else {
    const char* name = ThemeCursorName(shown);
    std::fprintf(trace, "cursor %s\n", name != nullptr ? name : "?");
  }
  std::fflush(trace);
}

// After an event or an idle tick: the animation's start or stop ("animation ROW", "animation off")
// and each of its steps (the slider lines, the step's picture then awaited as the graphs').
void TraceAnimation(FILE* trace, const DocumentWindow* document, SliderAnimation* seen, bool* computing) {
  const SliderAnimation& now = document->Document()->animation;
  const bool started = now.row >= 0 && now.row != seen->row, stepped = now.steps != seen->steps;
  *computing = *computing || started || stepped;  // a start sends the slider's value again
  if (stepped) TraceSliders(trace, document);
  if (now.row != seen->row && trace != nullptr) {
    if (now.row >= 0) {
      std::fprintf(trace, "animation %d\n", now.row);
    } else {
      std::fprintf(trace, "animation off\n");
    }
    std::fflush(trace);
  }
  *seen = now;
}

// After a key or click: whether the menu bar took it (traced; a chosen command may have set
// graphs computing).
bool TookMenuAction(FILE* trace, const DocumentWindow* document, bool* computing) {
  const MenuResult result = document->LastMenuAction().result;
  if (result == MenuResult::kPassed) return false;
  *computing = *computing || result == MenuResult::kChosen;
  TraceMenu(trace, document);
  return true;
}

}  // namespace

void RunDocumentEventLoop(SdlWindow* window, DocumentWindow* document, FILE* trace) {
  SetPointerSource(window);
  // Copy and cut put the formula's text on SDL's clipboard, paste reads it there (the window
  // gives the editor its hooks back when it closes).
  EditorHooks& hooks = TypesetGlobals().hooks;
  hooks.putScrapText = [](const char* text) { PutSystemClipboardText(text); };
  hooks.scrapText = SystemClipboardText;
  // An alert (a failed transfer, memory refused) is said in the window, not only recorded.
  alertTarget = AlertTarget{document, trace};
  SetMessageAlertSink(ShowAlertInWindow);
  double lastIdle = NowSeconds();
  bool computing = !document->GraphsComplete();
  int cursorChanges = 0;
  SliderAnimation animation = document->Document()->animation;
  document->AdjustCursor();  // the window's own arrow from the start
  for (;;) {
    TraceCursor(trace, window, &cursorChanges);
    const double interval = document->IdleIntervalSeconds();
    const double wait = interval < 0 ? -1.0 : std::max(0.0, lastIdle + interval - NowSeconds());
    WindowEvent event;
    if (window->WaitEvent(wait, &event)) {
      switch (event.kind) {
        case WindowEventKind::kKey: {
          const EditKeyEvent key = EditKeyOfWindowKey(event.key);
          document->HandleKey(key);
          if (TookMenuAction(trace, document, &computing)) break;
          if (IsReturnOrEnter(key)) computing = true;
          TraceCaret(trace, document);
          TraceRow(trace, document);
          break;
        }
        case WindowEventKind::kMouseDown: {
          if (trace != nullptr) {  // before any tracking of the press
            std::fprintf(trace, "press %d %d\n", event.where.h, event.where.v);
            std::fflush(trace);
          }
          const bool graph = PtInRect(event.where, document->Layout().graphPane);
          const bool slider = PtInRect(event.where, document->SliderStrip());
          const bool math = PtInRect(event.where, document->Layout().mathPane);
          document->HandleMouseDown(event.where, event.modifiers, event.clicks);
          if (TookMenuAction(trace, document, &computing)) break;
          if (slider) {
            TraceSliders(trace, document);
            computing = true;  // "graphs complete" follows once the new value is drawn
          } else if (graph) {
            TraceView(trace, document);
          } else if (math) {
            TraceCaret(trace, document);
          } else {
            TraceLayout(trace, document);
          }
          break;
        }
        case WindowEventKind::kWheel: {
          const bool math = PtInRect(event.where, document->Layout().mathPane);
          document->HandleWheel(event.where, event.wheelH, event.wheelV);
          if (TookMenuAction(trace, document, &computing)) break;
          if (math && trace != nullptr) {
            std::fprintf(trace, "scroll %d\n", document->MathScroll());
            std::fflush(trace);
          }
          break;
        }
        case WindowEventKind::kResized:
          if (!document->Resize(event.width, event.height)) PostError(kErrorOutOfMemory);
          document->RedrawAll();
          TraceLayout(trace, document);
          break;
        case WindowEventKind::kExposed:
          document->RedrawAll();
          break;
        case WindowEventKind::kClose:
          SetPointerSource(nullptr);
          SetMessageAlertSink(nullptr);
          alertTarget = AlertTarget{};
          return;
        case WindowEventKind::kMouseMoved:
          document->HandleMouseMoved(event.where);
          break;
        case WindowEventKind::kMouseUp:
          break;
      }
      TraceAnimation(trace, document, &animation, &computing);
      if (NowSeconds() < lastIdle + (interval < 0 ? 0 : interval)) continue;
    }
    if (document->IdleIntervalSeconds() < 0 && interval < 0) continue;
    lastIdle = NowSeconds();
    document->IdleTick(kIdleBudgetTicks);
    TraceAnimation(trace, document, &animation, &computing);
    ShowPendingError();
    if (computing && document->GraphsComplete()) {
      computing = false;
      if (trace != nullptr) {
        std::fprintf(trace, "graphs complete\n");
        std::fflush(trace);
      }
    }
  }
}
