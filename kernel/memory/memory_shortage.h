// The memory tests every allocating loop asks: the out-of-memory flag, the heap limit of the
// budget and the current thread's stack. Works on any thread.
#pragma once

#include <cstddef>

constexpr std::size_t kShortStackBytes = 32768;  // less stack than this left is "short"

// true when the out-of-memory flag is set, when less than kShortStackBytes of the current
// thread's stack is left (then the flag is raised), or when CheckFreeMemory reports a
// shortage. `bytes` is the size the caller is about to need; the answer does not depend on
// it (the limit test is on the count before a request).
bool IsMemoryShort(std::size_t bytes);
bool IsMemoryShort();
// true when the flag is set; when bytes in use exceed the heap limit, posts error 7 (once
// until re-armed), raises the flag and answers true; else false.
bool CheckFreeMemory();
// Bytes of stack left below the caller's frame on the current thread; SIZE_MAX when the
// bounds are unknown.
std::size_t RemainingStackBytes();
