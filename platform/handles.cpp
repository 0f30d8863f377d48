// Relocatable memory handles over malloc. The live-handle list is process-wide and
// unlocked: only one thread runs platform memory code at a time (cooperative threads).
// Invariant: a handle is on the list from TempNewHandle until DisposeHandle; data is
// null exactly when size is 0 or the handle is purged.
#include "platform/handles.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct HandleState {
  HandleRecord* head = nullptr;
  std::size_t live = 0;
};

HandleState& State() {
  static HandleState state;
  return state;
}

void Unlink(HandleRecord* h) {
  HandleState& s = State();
  if (h->prev != nullptr) h->prev->next = h->next; else s.head = h->next;
  if (h->next != nullptr) h->next->prev = h->prev;
  h->prev = h->next = nullptr;
  --s.live;
}

}  // namespace

Handle TempNewHandle(std::size_t size) {
  auto* h = static_cast<HandleRecord*>(std::malloc(sizeof(HandleRecord)));
  if (h == nullptr) return nullptr;
  new (h) HandleRecord();
  if (size > 0) {
    h->data = std::malloc(size);
    if (h->data == nullptr) {
      std::free(h);
      return nullptr;
    }
  }
  h->size = size;
  HandleState& s = State();
  h->next = s.head;
  if (s.head != nullptr) s.head->prev = h;
  s.head = h;
  ++s.live;
  return h;
}

void DisposeHandle(Handle h) {
  if (h == nullptr) return;
  Unlink(h);
  std::free(h->data);
  std::free(h);
}

void HPurge(Handle h) {
  if (h != nullptr) h->purgeable = true;
}

void HNoPurge(Handle h) {
  if (h != nullptr) h->purgeable = false;
}

void HLock(Handle h) {
  if (h != nullptr) ++h->lockCount;
}

void HUnlock(Handle h) {
  if (h != nullptr && h->lockCount > 0) --h->lockCount;
}

bool HandleIsLocked(Handle h) { return h != nullptr && h->lockCount > 0; }

std::size_t GetHandleSize(Handle h) { return (h == nullptr || h->purged) ? 0 : h->size; }

bool HandleIsPurged(Handle h) { return h != nullptr && h->purged; }

namespace {

// The change itself; true when the handle now has `size` bytes.
bool Resize(Handle h, std::size_t size) {
  if (size == 0) {
    if (h->lockCount > 0) return false;  // freeing the block would move the master pointer
    std::free(h->data);
    h->data = nullptr;
    h->size = 0;
    return true;
  }
  if (h->lockCount > 0) {
    // In place only: the block already has room.
    if (h->data == nullptr || malloc_usable_size(h->data) < size) return false;
    h->size = size;
    return true;
  }
  void* grown = std::realloc(h->data, size);
  if (grown == nullptr) return false;
  h->data = grown;
  h->size = size;
  return true;
}

}  // namespace

bool SetHandleSize(Handle h, std::size_t size) {
  if (h == nullptr || h->purged) return false;
  if (size == h->size) return true;
  if (h->account != nullptr && size > h->size && !h->account->admit(h, size)) return false;
  if (!Resize(h, size)) return false;
  if (h->account != nullptr) h->account->settle(h);
  return true;
}

bool PurgeHandleForTest(Handle h) {
  if (h == nullptr || !h->purgeable || h->lockCount > 0 || h->purged) return false;
  std::free(h->data);
  h->data = nullptr;
  h->size = 0;
  h->purged = true;
  return true;
}

std::size_t PurgeHandlesForTest() {
  std::size_t n = 0;
  for (HandleRecord* h = State().head; h != nullptr; h = h->next) {
    if (PurgeHandleForTest(h)) ++n;
  }
  return n;
}

std::size_t LiveHandleCount() { return State().live; }

void BlockMoveData(const void* src, void* dst, std::size_t n) {
  if (n > 0) std::memmove(dst, src, n);
}

void BlockZero(void* p, std::size_t n) {
  if (n > 0) std::memset(p, 0, n);
}

std::size_t MallocSize(const void* p) {
  return p == nullptr ? 0 : malloc_usable_size(const_cast<void*>(p));
}
