// Relocatable memory handles: our stand-in for the old platform's temporary handles.
// A handle is a record whose first field is the master pointer to its storage. Handles
// never purge by themselves; HPurge only marks one purgeable, and PurgeHandlesForTest
// empties marked, unlocked handles so callers' "purged" paths can be exercised.
// Every live handle is on one process-wide list, so leaks and purges are countable.
// A handle charged to a budget above this layer carries that budget's account, which
// SetHandleSize consults, so no resize escapes the budget.
#pragma once

#include <cstddef>
#include <cstdint>

struct HandleRecord;

// How a counting allocator above this layer follows its handles' sizes: SetHandleSize asks
// `admit` before growing a handle to `size` (false refuses; the handle is unchanged) and
// calls `settle` after every change of size that succeeded.
struct HandleAccount {
  bool (*admit)(HandleRecord* h, std::size_t size);
  void (*settle)(HandleRecord* h);
};

struct HandleRecord {
  void* data = nullptr;        // master pointer; null while empty or purged
  std::size_t size = 0;        // logical size in bytes (0 once purged)
  std::size_t charged = 0;     // bytes a counting allocator charged for it (owner's field)
  const HandleAccount* account = nullptr;  // the charging allocator's; null: not charged
  std::uint32_t lockCount = 0; // HLock nesting; a locked handle neither moves nor purges
  bool purgeable = false;
  bool purged = false;
  HandleRecord* prev = nullptr;  // live-handle list
  HandleRecord* next = nullptr;
};
using Handle = HandleRecord*;

// New handle of `size` bytes (not cleared); null when the system has no memory.
Handle TempNewHandle(std::size_t size);
// Releases the storage and the record; null is ignored.
void DisposeHandle(Handle h);
// Marks the handle purgeable / not purgeable. Null is ignored.
void HPurge(Handle h);
void HNoPurge(Handle h);
// Lock nesting; unlocking an unlocked handle is ignored.
void HLock(Handle h);
void HUnlock(Handle h);
bool HandleIsLocked(Handle h);
// Logical size; 0 for null or purged handles.
std::size_t GetHandleSize(Handle h);
// Resizes, keeping the leading bytes. A locked handle may only change in place.
// Returns false (handle unchanged) when the storage cannot be had, when the handle's account
// refuses the growth, or for null/purged.
bool SetHandleSize(Handle h, std::size_t size);
bool HandleIsPurged(Handle h);

// Test-only purge: empties `h` (if purgeable and unlocked). Returns true when purged.
bool PurgeHandleForTest(Handle h);
// Test-only purge of every purgeable, unlocked live handle; returns how many.
std::size_t PurgeHandlesForTest();
// Number of live (not yet disposed) handles.
std::size_t LiveHandleCount();

// The block primitives: overlapping ranges are allowed for BlockMoveData.
void BlockMoveData(const void* src, void* dst, std::size_t n);
void BlockZero(void* p, std::size_t n);
// Usable size of a block from malloc/calloc (0 for null).
std::size_t MallocSize(const void* p);
