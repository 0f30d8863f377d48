// The output-buffer stack: growable byte buffers that the formula writers and the document
// writer fill. At most two buffers are open at once (one inside another); a third Begin is
// refused. Invariants: length < capacity whenever data is set, so the NUL that
// EndOutputBuffer stores always fits; once a growth fails the buffer is marked truncated and
// every later byte is dropped, so the text is always a clean prefix of what was written.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kOutputBufferStep = 1024;  // first capacity and growth step, bytes
constexpr int kOutputBufferDepth = 2;

struct OutputBuffer {
  char* data;         // counted heap block (AllocMemory); null when Begin got no block
  uint32_t capacity;  // bytes in data
  uint32_t length;    // bytes written
  bool truncated;     // a growth failed; later bytes are dropped
};

// Opens a buffer with a new 1024-byte block and returns the block. Null when the block
// could not be had (the buffer is still open: emits do nothing and End returns null) or when
// two buffers are already open (the request is refused and the matching End returns null).
char* BeginOutputBuffer();

// Appends a byte to the innermost open buffer, growing it by 1024 bytes when full.
// Does nothing when no buffer is open, its block is missing or it is truncated.
void EmitChar(char c);

// EmitChar for each byte of a NUL-terminated text (the NUL is not written); null is ignored.
void EmitString(const char* text);

// Closes the innermost buffer and returns its block, NUL-terminated after the written bytes;
// *length (when given) receives the count of written bytes. The caller owns the block and
// releases it with FreeMemory. Null when the block was missing, the Begin was refused or no
// buffer is open.
char* EndOutputBuffer(size_t* length = nullptr);

// Number of open buffers (refused Begins are not counted).
int OutputBufferDepth();

// The innermost open buffer, or null.
const OutputBuffer* CurrentOutputBuffer();

// Frees every open buffer and forgets refused Begins (test and shut-down reset).
void ResetOutputBuffers();

// Verifies the stack's invariants; true when they hold.
bool CheckOutputBuffers();
