// The error register. The once-bit of a code is 1 << code for 0 <= code < 32 only:
// larger or negative codes have none (a shift by 32 or more is undefined in C++).
#include "kernel/diagnostics/error_register.h"

#include "kernel/application_state.h"

namespace {

PendingErrorPresenter presenter = nullptr;  // installed at start-up, outside the resettable register

std::uint32_t OnceBit(int code) {
  return (code >= 0 && code < 32) ? (std::uint32_t{1} << code) : 0;
}

}  // namespace

ErrorRegister& ErrorRegisterGlobals() {
  static ErrorRegister state;
  return state;
}

void ResetErrorRegister() { ErrorRegisterGlobals() = ErrorRegister(); }

int PostError(int code) {
  ErrorRegister& s = ErrorRegisterGlobals();
  if (code <= 0) return code;  // 0 means "none"; a negative code would outrank every real one
  if ((s.postedMask & OnceBit(code)) != 0) return code;
  if (s.pending != 0 && s.pending <= code) return code;
  s.pending = code;
  s.postedMask |= OnceBit(code);
  return code;
}

void ClearPendingError(int code) {
  ErrorRegister& s = ErrorRegisterGlobals();
  if (s.pending == code) s.pending = 0;
  ClearErrorPosted(code);
}

void ClearErrorPosted(int code) { ErrorRegisterGlobals().postedMask &= ~OnceBit(code); }

bool HasPendingError() { return ErrorRegisterGlobals().pending != 0; }

int PendingError() { return ErrorRegisterGlobals().pending; }

bool IsErrorPosted(int code) { return (ErrorRegisterGlobals().postedMask & OnceBit(code)) != 0; }

bool IsFrontProcess() { return IsApplicationFrontmost(); }

void ShowPendingError() {
  ErrorRegister& s = ErrorRegisterGlobals();
  if (s.pending == 0 || !IsFrontProcess()) return;
  // Cleared before the alert, so a code posted while the alert is up is not lost.
  const int code = s.pending;
  s.pending = 0;
  if (presenter != nullptr) presenter(code);
}

void SetPendingErrorPresenter(PendingErrorPresenter show) { presenter = show; }
