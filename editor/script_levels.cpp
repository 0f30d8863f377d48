// Script levels in one pre-order walk: a node sets the levels of its own children, so each child's
// index is known without searching its parent.
#include "editor/script_levels.h"

#include <algorithm>

#include "kernel/trees/expr_node.h"

bool IsScriptOperand(const ExprNode& parent, int32_t index) {
  switch (parent.kind) {
    case KindPower:
    case KindSn: return index == 1 && !parent.box->tooWideFlag;
    case KindOptotal:
    case KindOppartial: return index == 1;
    default: return index >= 1 && ScriptsItsOperands(parent.kind);
  }
}

bool ScriptsItsOperands(uint32_t kind) {
  switch (kind) {
    case KindIndexes: case KindChem: case KindTensor: case KindSubstitution: case KindLog: case KindSqrt:
    case KindGrad: case KindSum: case KindProd: case KindInt: case KindOint: case KindBigcup: case KindBigcap:
    case KindLim: case KindBesselj: return true;
    default: return false;
  }
}

void SetScriptLevels(ExprNode* root) {
  root->box->scriptLevel = kRootScriptLevel;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* node = root; node; node = cursor.Next()) {
    if (node->kind == KindString) continue;
    uint8_t level = node->box->scriptLevel;
    for (int i = 0; i < node->arity; ++i) {
      bool down = IsScriptOperand(*node, i);
      node->children[i]->box->scriptLevel = down ? std::min<uint8_t>(level + 1, kDeepestScriptLevel) : level;
    }
  }
}
