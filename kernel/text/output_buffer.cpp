// The output-buffer stack. Process-wide by design: the writers emit into whatever buffer
// the caller opened. All state lives in one record with one reset.
#include "kernel/text/output_buffer.h"

#include <cstring>

#include "kernel/memory/memory_shortage.h"
#include "kernel/memory/memory_budget.h"

namespace {

struct OutputBufferStack {
  OutputBuffer records[kOutputBufferDepth];
  int depth;    // open buffers
  int refused;  // Begins refused above the full stack, still awaiting their End
};

OutputBufferStack gStack = {};

}  // namespace

char* BeginOutputBuffer() {
  if (gStack.depth >= kOutputBufferDepth || gStack.refused > 0) {
    ++gStack.refused;
    return nullptr;
  }
  (void)IsMemoryShort();  // keeps the shell's shortage bookkeeping current
  OutputBuffer& top = gStack.records[gStack.depth++];
  top.data = static_cast<char*>(AllocMemory(kOutputBufferStep));
  top.capacity = top.data ? kOutputBufferStep : 0;
  top.length = 0;
  top.truncated = top.data == nullptr;
  return top.data;
}

void EmitChar(char c) {
  if (gStack.depth == 0 || gStack.refused > 0) return;
  OutputBuffer& top = gStack.records[gStack.depth - 1];
  if (!top.data || top.truncated) return;
  if (top.length + 1 >= top.capacity) {
    // Keep one spare byte for the terminating NUL.
    if (top.capacity > UINT32_MAX - kOutputBufferStep) {
      top.truncated = true;
      return;
    }
    uint32_t capacity = top.capacity + kOutputBufferStep;
    char* grown = static_cast<char*>(AllocMemory(capacity));
    if (!grown) {
      top.truncated = true;
      return;
    }
    std::memcpy(grown, top.data, top.length);
    FreeMemory(top.data);
    top.data = grown;
    top.capacity = capacity;
  }
  top.data[top.length++] = c;
}

void EmitString(const char* text) {
  if (!text) return;
  while (*text) EmitChar(*text++);
}

char* EndOutputBuffer(size_t* length) {
  if (length) *length = 0;
  if (gStack.refused > 0) {
    --gStack.refused;
    return nullptr;
  }
  if (gStack.depth == 0) return nullptr;
  OutputBuffer& top = gStack.records[--gStack.depth];
  char* data = top.data;
  if (data) {
    data[top.length] = '\0';
    if (length) *length = top.length;
  }
  top = OutputBuffer{};
  return data;
}

int OutputBufferDepth() { return gStack.depth; }

const OutputBuffer* CurrentOutputBuffer() {
  return gStack.depth > 0 ? &gStack.records[gStack.depth - 1] : nullptr;
}

void ResetOutputBuffers() {
  for (int i = 0; i < gStack.depth; ++i) FreeMemory(gStack.records[i].data);
  gStack = OutputBufferStack{};
}

bool CheckOutputBuffers() {
  if (gStack.depth < 0 || gStack.depth > kOutputBufferDepth || gStack.refused < 0) return false;
  for (int i = 0; i < gStack.depth; ++i) {
    const OutputBuffer& b = gStack.records[i];
    if (b.data ? b.length >= b.capacity : (b.capacity != 0 || b.length != 0)) return false;
  }
  return true;
}
