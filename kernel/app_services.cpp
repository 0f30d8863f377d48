// Application-shell services for the kernel. The stack test asks the current thread's
// own bounds (pthread_getattr_np; cooperative workers are pthreads with their own stacks)
// and caches them per thread, since the test sits on allocation paths.
#include "kernel/app_services.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdint>

#include "kernel/error_register.h"
#include "kernel/expr_node.h"
#include "kernel/interface_helpers.h"
#include "kernel/kernel_constants.h"
#include "kernel/memory_budget.h"
#include "kernel/message_tables.h"
#include "kernel/threads.h"

AppServicesState& AppServicesGlobals() {
  static AppServicesState state;
  return state;
}

void ResetAppServicesForTest() { AppServicesGlobals() = AppServicesState(); }

void InitApplicationGlobals() {
  SetMemoryBudget(PhysicalMemoryBytes());
  SetBytesInUse(0);
  AppServicesState& s = AppServicesGlobals();
  s.vectorUnit = true;  // SSE2 is part of the x86-64 baseline
  long line = sysconf(_SC_LEVEL1_DCACHE_LINESIZE);
  s.cacheLineBytes = line > 0 ? static_cast<int>(line) : 64;
  InitDecimalSeparatorFromLocale();
  InitTypesettingKernel();
  LoadColorCursors();
}

void ShutdownApplicationKernel() {
  ShutdownThreads();
  ReleaseNodePools();
}

bool HasVectorUnit() { return AppServicesGlobals().vectorUnit; }
int CacheLineBytes() { return AppServicesGlobals().cacheLineBytes; }

namespace {

struct StackBounds {
  bool probed = false;
  std::uintptr_t low = 0;   // lowest usable address (the stack grows down towards it)
  std::uintptr_t high = 0;
};

thread_local StackBounds tlsStack;

const StackBounds& CurrentStackBounds() {
  if (!tlsStack.probed) {
    tlsStack.probed = true;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      void* addr = nullptr;
      std::size_t size = 0;
      if (pthread_attr_getstack(&attr, &addr, &size) == 0 && size > 0) {
        std::size_t guard = 0;
        pthread_attr_getguardsize(&attr, &guard);
        tlsStack.high = reinterpret_cast<std::uintptr_t>(addr) + size;
        // Whether the guard is inside the reported range differs between libc versions:
        // assume it is, so the answer errs towards "short".
        tlsStack.low = reinterpret_cast<std::uintptr_t>(addr) + (guard < size ? guard : 0);
      }
      pthread_attr_destroy(&attr);
    }
  }
  return tlsStack;
}

}  // namespace

std::size_t RemainingStackBytes() {
  const StackBounds& b = CurrentStackBounds();
  auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (b.high == 0 || here < b.low || here >= b.high) return SIZE_MAX;
  return here - b.low;
}

bool CheckFreeMemory() {
  if (GetOutOfMemoryFlag()) return true;
  if (GetBytesInUse() > HeapLimit()) {
    PostError(kErrorOutOfMemory);
    SetOutOfMemoryFlag(true);
    return true;
  }
  return false;
}

bool IsMemoryShort(std::size_t /*bytes*/) { return IsMemoryShort(); }

bool IsMemoryShort() {
  if (GetOutOfMemoryFlag()) return true;
  if (RemainingStackBytes() < kShortStackBytes) {
    SetOutOfMemoryFlag(true);
    return true;
  }
  return CheckFreeMemory();
}

bool ShowMessageAlert(int code) {
  const char* text = ErrorMessage(code);
  if (text == nullptr) return false;
  AppServicesState& s = AppServicesGlobals();
  if (s.alertSink != nullptr) {
    s.alertSink(code, text);
  } else {
    s.captured.push_back(CapturedAlert{code, text});
  }
  if (code == kErrorTransparencyMemory) ClearErrorPosted(code);
  return true;
}

void SetMessageAlertSink(MessageAlertSink sink) { AppServicesGlobals().alertSink = sink; }
const std::vector<CapturedAlert>& CapturedAlerts() { return AppServicesGlobals().captured; }
void ClearCapturedAlerts() { AppServicesGlobals().captured.clear(); }
void SetArrowCursorHook(ArrowCursorHook hook) { AppServicesGlobals().arrowCursor = hook; }

void SetArrowCursor() {
  if (AppServicesGlobals().arrowCursor != nullptr) AppServicesGlobals().arrowCursor();
}

void SetApplicationFrontmost(bool front) { AppServicesGlobals().frontmost = front; }
bool IsApplicationFrontmost() { return AppServicesGlobals().frontmost; }

char GetDecimalSeparator() { return AppServicesGlobals().decimalSeparator; }

void SetDecimalSeparator(char separator) {
  if (separator != '\0') AppServicesGlobals().decimalSeparator = separator;
}

int GetDisplayDigits() { return AppServicesGlobals().displayDigits; }
void SetDisplayDigits(int digits) { AppServicesGlobals().displayDigits = digits; }

void SetDocumentModified(void* window, bool modified) {
  const AppServicesState& s = AppServicesGlobals();
  if (s.demoRunning || s.documentModified == nullptr) return;
  s.documentModified(window, modified);
}

void SetDocumentModifiedHook(DocumentModifiedHook hook) { AppServicesGlobals().documentModified = hook; }
void SetDemoRunning(bool running) { AppServicesGlobals().demoRunning = running; }
bool IsDemoRunning() { return AppServicesGlobals().demoRunning; }
void SetMovieExportFlag(bool on) { AppServicesGlobals().movieExport = on; }
bool GetMovieExportFlag() { return AppServicesGlobals().movieExport; }
