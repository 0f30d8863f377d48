// Script levels: each box's index into the style's sizes. The root is at level 2 (18 pt by
// default); exponents of powers and numbers in scientific form that are not too wide, the
// operands after the first of the kinds that script their operands, and the order of a
// derivative operator go one level down, to at most 4. Levels 0, 1 and 5 are never assigned.
#pragma once

#include <cstdint>

struct ExprNode;

inline constexpr uint8_t kRootScriptLevel = 2;
inline constexpr uint8_t kDeepestScriptLevel = 4;

// indexes, chem, tensor, substitution, log, sqrt, grad, sum, prod, int, oint, bigcup, bigcap,
// lim and besselj.
bool ScriptsItsOperands(uint32_t kind);
// Whether operand `index` of the node is set one level down (the node's too-wide flag counts).
bool IsScriptOperand(const ExprNode& parent, int32_t index);
// Sets the level of every box of the tree (every node must have a box); reads the too-wide flags.
void SetScriptLevels(ExprNode* root);
