// Listings of compiled codes for tests and debugging.
// Invariant: numbers are printed with std::to_chars (shortest round-trip form), never through
// the locale.
#include "kernel/disassembler.h"

#include <charconv>

namespace {

void AppendInstruction(std::string& out, const BytecodeInstruction& in) {
  out += OpcodeName(in.op);
  if (in.op >= kOpcodeCount) return;
  char buffer[64];
  switch (kOpcodeTable[in.op].operand) {
    case OperandKind::kNone: break;
    case OperandKind::kConstant: {
      auto r = std::to_chars(buffer, buffer + sizeof buffer, in.c);
      out += ' ';
      out.append(buffer, r.ptr);
      break;
    }
    case OperandKind::kInteger: {
      auto r = std::to_chars(buffer, buffer + sizeof buffer, in.i.k);
      out += ' ';
      out.append(buffer, r.ptr);
      break;
    }
    case OperandKind::kIntegerAndJump: {
      auto r = std::to_chars(buffer, buffer + sizeof buffer, in.i.k);
      out += ' ';
      out.append(buffer, r.ptr);
      r = std::to_chars(buffer, buffer + sizeof buffer, in.i.jump);
      out += " (";
      out.append(buffer, r.ptr);
      out += ')';
      break;
    }
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
