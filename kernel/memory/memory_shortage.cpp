// The stack test asks the current thread's own bounds (pthread_getattr_np; cooperative
// workers are pthreads with their own stacks) and caches them per thread, since the test
// sits on allocation paths.
#include "kernel/memory/memory_shortage.h"

#include <pthread.h>

#include <cstdint>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"

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
