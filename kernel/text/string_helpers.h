// C-string primitives used across the program, and the two handle helpers of the kernel.
// Invariants: the string routines read only up to the NUL; null strings are treated as
// empty where noted; the handle helpers accept null handles.
#pragma once

#include <cstddef>

#include "platform/handles.h"

// Number of bytes before the NUL; 0 for null.
size_t CStringLength(const char* s);

// Copies source including its NUL into destination and returns destination. The caller
// guarantees room for CStringLength(source) + 1 bytes.
char* CStringCopy(char* destination, const char* source);

// Copies text into destination, which holds capacity bytes with the NUL, cutting the text short
// where it does not fit; returns the length stored. Writes nothing when destination is null or
// capacity is 0; a null text stores "".
size_t CStringCopyBounded(char* destination, size_t capacity, const char* text);

// 1 when a and b hold the same bytes up to their NUL, else 0.
int CStringEqual(const char* a, const char* b);

// 1 when the first occurrence of prefix in s is at the start of s; 0 for an empty prefix.
int CStringStartsWith(const char* s, const char* prefix);


// Disposes an uncounted handle; null is ignored.
void MemDisposeHandle(Handle h);

// A new counted temporary handle (AllocTempHandle) holding a copy of h's bytes; release it
// with DisposeCountedHandle. Null when h is null or purged, or the allocator refuses.
Handle CopyHandleToTemp(Handle h);
