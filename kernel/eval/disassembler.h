// A listing of compiled codes, one instruction a line, for tests and debugging.
// Invariant: the text is a pure function of the instructions (constants with 17 significant
// digits, C locale), so listings can be compared exactly.
#pragma once

#include <string>

#include "kernel/eval/bytecode.h"

// "LoadSlot 3\nSquare\nEnd\n": name, then the operand (the constant, the integer, and for the
// loop pair the integer and the jump distance). A null or empty code lists as "".
std::string DisassembleCode(const CompiledCode* code);

// The same listing on one line, instructions separated by ", " (handy in test tables).
std::string DisassembleCodeInline(const CompiledCode* code);
