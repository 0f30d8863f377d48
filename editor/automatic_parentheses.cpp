// The parentheses rules as one ordered table: each row answers yes, no, or passes to the next.
// Rule 4's sub-clauses keep their order (a power or named function never, a prefix operator
// before the last factor always, then the infix test).
#include "editor/automatic_parentheses.h"

#include <initializer_list>
#include <iterator>

#include "kernel/trees/expr_node.h"

namespace {

enum Verdict { kPass, kYes, kNo };

struct Question {
  uint32_t parent;
  uint32_t child;
  int32_t index;
  const ExprNode* node;
  uint8_t parentNotation;
  uint8_t childNotation;
};

bool Among(uint32_t kind, std::initializer_list<uint32_t> kinds) {
  for (uint32_t k : kinds)
    if (k == kind) return true;
  return false;
}

Verdict Answer(bool yes) { return yes ? kYes : kNo; }

uint8_t NotationOf(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row ? row->notation : uint8_t{NotationAtom};
}

Verdict Rule1(const Question& q) {
  bool plainChild = Among(q.child, {KindChar, KindDummy, KindString});
  bool groupingParent = Among(q.parent, {KindId, KindSum, KindProd, KindBigcup, KindBigcap, KindSubstitution});
  return plainChild || groupingParent ? kNo : kPass;
}

Verdict Rule2(const Question& q) {
  if (q.child != KindEqual) return kPass;
  return Answer(!Among(q.parent, {KindIndexes, KindAtop, KindList, KindComma, KindSubstitution, KindSum, KindProd,
                                  KindBigcup, KindBigcap, KindLparen, KindRparen, KindIf, KindBranch}));
}

Verdict Rule3(const Question& q) {
  if (q.child != KindIf) return kPass;
  return Answer(!Among(q.parent, {KindLparen, KindAtop, KindBranch, KindComma, KindList}));
}

Verdict Rule4(const Question& q) {
  if (q.parent != KindTimes) return kPass;
  if (q.child == KindPower || IsNamedFunctionKind(q.child)) return kNo;
  bool last = q.node && q.index == q.node->arity - 1;
  if (q.childNotation == NotationPrefix && !Among(q.child, {KindSqrt, KindOptotal, KindOppartial}) && !last)
    return kYes;
  if (q.childNotation != NotationInfix && !Among(q.child, {KindMinus, KindFract, KindDivide})) return kNo;
  return kYes;
}

Verdict Rule5(const Question& q) { return q.parent == KindEqual && q.child == KindComma ? kYes : kPass; }

Verdict Rule6(const Question& q) {
  if (q.parent != KindPower) return kPass;
  if (q.index == 1) return kNo;
  return Answer(q.childNotation == NotationInfix || Among(q.child, {KindPower, KindOver, KindMinus}));
}

Verdict Rule7(const Question& q) { return q.parentNotation == NotationInfix ? Answer(q.child == q.parent) : kPass; }

Verdict Rule8(const Question& q) {
  if (!IsNamedFunctionKind(q.parent) || q.child != KindTimes) return kPass;
  const ExprNode* child = q.node && q.index >= 0 && q.index < q.node->arity ? q.node->children[q.index] : nullptr;
  return Answer(child && HasFractionOrFunction(child));
}

Verdict Rule9(const Question& q) {
  if (q.parentNotation != NotationPrefix || Among(q.parent, {KindLparen, KindSqrt})) return kPass;
  return Answer(q.childNotation == NotationInfix && q.child != KindTimes);
}

Verdict Rule10(const Question& q) {
  if (q.parentNotation != NotationPostfix || Among(q.parent, {KindRparen, KindSubstitution})) return kPass;
  return Answer(q.childNotation == NotationInfix || q.childNotation == NotationPrefix);
}

Verdict Rule11(const Question& q) {
  if (!Among(q.parent, {KindDivide, KindFract})) return kPass;
  return Answer(q.childNotation == NotationInfix || q.childNotation == NotationPrefix);
}

using Rule = Verdict (*)(const Question&);
constexpr Rule kRules[] = {Rule1, Rule2, Rule3, Rule4, Rule5, Rule6, Rule7, Rule8, Rule9, Rule10, Rule11};

// The deciding rule's number and its verdict; rule 12 says no.
int32_t Decide(const Question& q, bool* yes) {
  for (int32_t i = 0; i < int32_t(std::size(kRules)); ++i) {
    Verdict v = kRules[i](q);
    if (v != kPass) {
      *yes = v == kYes;
      return i + 1;
    }
  }
  *yes = false;
  return 12;
}

Question Ask(uint32_t parentKind, uint32_t childKind, int32_t childIndex, const ExprNode* parent) {
  return Question{parentKind, childKind, childIndex, parent, NotationOf(parentKind), NotationOf(childKind)};
}

bool SubtreeHasNamedFunction(ExprNode* node) {
  TreeCursor cursor(node, WalkOrder::kPreOrder);
  for (ExprNode* n = node; n; n = cursor.Next())
    if (IsNamedFunctionKind(n->kind)) return true;
  return false;
}

}  // namespace

int32_t ParenthesesRule(uint32_t parentKind, uint32_t childKind, int32_t childIndex, const ExprNode* parent) {
  bool yes;
  return Decide(Ask(parentKind, childKind, childIndex, parent), &yes);
}

bool NeedsParentheses(uint32_t parentKind, uint32_t childKind, int32_t childIndex, const ExprNode* parent) {
  bool yes;
  Decide(Ask(parentKind, childKind, childIndex, parent), &yes);
  return yes;
}

bool HasFractionOrFunction(const ExprNode* node) {
  for (int i = 0; node && i < node->arity; ++i) {
    ExprNode* child = node->children[i];
    if (child->kind == KindOver || SubtreeHasNamedFunction(child)) return true;
  }
  return false;
}

bool AddAutomaticParentheses(ExprNode* root) {
  bool complete = true;
  FormulaEditor* editor = TypesettingGlobals().currentEditor;
  // A node's children are decided before the walk enters them, so a new wrapper is visited
  // only as a parent, where rule 1 leaves its one child alone.
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* node = root; node; node = cursor.Next()) {
    if (node->kind == KindString) continue;
    for (int i = 0; i < node->arity; ++i) {
      ExprNode* child = node->children[i];
      if (!NeedsParentheses(node->kind, child->kind, i, node)) continue;
      if (!WrapInUnary(child, KindId)) {
        complete = false;
      } else if (editor && editor->caretNode == child) {
        editor->caretNode = child->children[0];  // the selection stays on its content, not the new group
      }
    }
  }
  return complete;
}
