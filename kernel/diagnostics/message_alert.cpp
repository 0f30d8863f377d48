// One sink or the list of messages held for the next, in one record with one reset for tests.
#include "kernel/diagnostics/message_alert.h"

#include <utility>

#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"

namespace {

struct AlertState {
  MessageAlertSink sink = nullptr;  // null: hold in `captured` for the next sink
  std::vector<CapturedAlert> captured;
};

AlertState& Alerts() {
  static AlertState state;
  return state;
}

void PresentPendingError(int code) {
  SetArrowCursor();
  ShowMessageAlert(code);
}

}  // namespace

bool ShowMessageAlert(int code) {
  const char* text = ErrorMessage(code);
  if (text == nullptr) return false;
  AlertState& s = Alerts();
  if (s.sink != nullptr) {
    s.sink(code, text);
  } else {
    s.captured.push_back(CapturedAlert{code, text});
  }
  if (code == kErrorTransparencyMemory) ClearErrorPosted(code);
  return true;
}

void SetMessageAlertSink(MessageAlertSink sink) {
  AlertState& s = Alerts();
  s.sink = sink;
  if (sink == nullptr) return;
  // Taken out first: a sink that shows a message of its own while the held ones are shown adds
  // it after them, not into the list being read.
  const std::vector<CapturedAlert> held = std::move(s.captured);
  s.captured.clear();
  // The table's own text, as ShowMessageAlert hands it: a sink may keep the pointer.
  for (const CapturedAlert& alert : held) sink(alert.code, ErrorMessage(alert.code));
}
const std::vector<CapturedAlert>& CapturedAlerts() { return Alerts().captured; }
void ClearCapturedAlerts() { Alerts().captured.clear(); }
void InstallMessageAlertPresenter() { SetPendingErrorPresenter(PresentPendingError); }
void ResetMessageAlertForTests() { Alerts() = AlertState{}; }
