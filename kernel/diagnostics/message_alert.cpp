// One sink or the capture list, in one record with one reset for tests.
#include "kernel/diagnostics/message_alert.h"

#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/interaction/cursors.h"

namespace {

struct AlertState {
  MessageAlertSink sink = nullptr;  // null: capture into `captured`
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

void SetMessageAlertSink(MessageAlertSink sink) { Alerts().sink = sink; }
const std::vector<CapturedAlert>& CapturedAlerts() { return Alerts().captured; }
void ClearCapturedAlerts() { Alerts().captured.clear(); }
void InstallMessageAlertPresenter() { SetPendingErrorPresenter(PresentPendingError); }
void ResetMessageAlertForTests() { Alerts() = AlertState{}; }
