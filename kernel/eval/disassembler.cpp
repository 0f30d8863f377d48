// Listings of compiled codes for tests and debugging.
// Invariant: numbers are printed with std::to_chars (shortest round-trip form), never through
// the locale.
#include "kernel/eval/disassembler.h"

#include <charconv>

namespace {

// Appends a number in its shortest round-trip form.
template <typename T>
void AppendNumber(std::string& out, T value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, r.ptr);
}

void AppendInstruction(std::string& out, const BytecodeInstruction& in) {
  out += OpcodeName(in.op);
  if (in.op >= kOpcodeCount) return;
  switch (kOpcodeTable[in.op].operand) {
    case OperandKind::kNone: break;
    case OperandKind::kConstant:
      out += ' ';
      AppendNumber(out, in.c);
      break;
    case OperandKind::kInteger:
      out += ' ';
      AppendNumber(out, in.i.k);
      break;
    case OperandKind::kIntegerAndJump:
      out += ' ';
      AppendNumber(out, in.i.k);
      out += " (";
      AppendNumber(out, in.i.jump);
      out += ')';
      break;
  }
}

std::string Listing(const CompiledCode* code, const char* separator, bool trailing) {
  std::string out;
  if (code == nullptr || code->instructions == nullptr) return out;
  for (int32_t pc = 0; pc < code->count; ++pc) {
    if (pc > 0 && !trailing) out += separator;
    AppendInstruction(out, code->instructions[pc]);
    if (trailing) out += separator;
  }
  return out;
}

}  // namespace

std::string DisassembleCode(const CompiledCode* code) { return Listing(code, "\n", true); }

std::string DisassembleCodeInline(const CompiledCode* code) { return Listing(code, ", ", false); }
