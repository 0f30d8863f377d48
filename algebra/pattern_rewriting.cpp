// Rule matching and rewriting. Matching walks pattern and subject in step without recursion
// (equal heads have equal arities, and a variable skips the subject's whole subtree), so rules
// and trees of any depth are safe.
#include "algebra/pattern_rewriting.h"

#include <climits>
#include <cstring>

#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "algebra/substitution.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/trees/expr_node.h"

namespace {

PatternBindings gBindings;

struct RewriteTurn {
  RewriteTurnHook hook = nullptr;
  void* context = nullptr;
};
thread_local RewriteTurn tTurn;

// The thread's turn before a node of a pass: true (go on) without a hook.
bool TakeRewriteTurn() { return tTurn.hook == nullptr || tTurn.hook(tTurn.context); }

// Slot of a pattern variable; -1 for any other node, a dummy outside 0..255 included.
int VariableSlot(const ExprNode* node) {
  if (node->kind != KindDummy) return -1;
  const int slot = node->value.symbol;
  return slot >= 0 && slot < kPatternSlots ? slot : -1;
}

// Equal kinds and arities, and equal values where the kind has one (a matrix's shape too);
// children not compared.
bool SameHead(const ExprNode* a, const ExprNode* b) {
  if (a->kind != b->kind || a->arity != b->arity) return false;
  switch (a->kind) {
    case KindNum: return IsNumberNode(a) && IsNumberNode(b) && NumberValue(a) == NumberValue(b);
    case KindChar:
    case KindDummy: return a->value.symbol == b->value.symbol;
    case KindString: return std::strcmp(a->text != nullptr ? a->text : "", b->text != nullptr ? b->text : "") == 0;
    default: return SameShapeParameters(a, b);
  }
}

int RuleLimit(const ExprNode* rules, int extra) { return rules->arity + extra; }

// One pre-order pass of at most `limit` rewrites (RewritePass).
bool RewritePassWithin(ExprNode* tree, const ExprNode* rules, int limit) {
  if (tree == nullptr || rules == nullptr) return false;
  int rewrites = 0;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr && rewrites < limit && !IsMemoryShort() && TakeRewriteTurn();) {
    if (!IsColorSpaceTriple(n) && TryRewriteNode(n, rules)) {
      ++rewrites;
      n = cursor.Pass();  // the node kept its place: go on after its new subtree
    } else {
      n = cursor.Next();
    }
  }
  return rewrites > 0;
}

}  // namespace

PatternBindings& Bindings() { return gBindings; }

void SetRewriteTurnHook(RewriteTurnHook hook, void* context) { tTurn = RewriteTurn{hook, context}; }

void ClearPatternBindings() {
  for (int slot = 0; gBindings.filled > 0 && slot < kPatternSlots; ++slot) {
    if (gBindings.slot[slot] == nullptr) continue;
    FreeExpression(gBindings.slot[slot]);
    gBindings.slot[slot] = nullptr;
    --gBindings.filled;
  }
  gBindings.filled = 0;
}

ExprNode* NewPatternVariable(int slot) {
  ExprNode* node = NewNode(KindDummy, 0);
  if (node != nullptr) node->value.symbol = static_cast<int16_t>(slot);
  return node;
}

bool IsColorSpaceTriple(const ExprNode* node) {
  if (node->kind != KindMatrix || node->arity != 3 || node->value.halves.first != 3 || node->value.halves.second != 1) {
    return false;
  }
  auto spells = [node](const char* letters) {
    for (int i = 0; i < 3; ++i) {
      if (!IsSymbolNode(node->children[i], letters[i])) return false;
    }
    return true;
  };
  return spells("rgb") || spells("hsv");
}

bool MatchPattern(const ExprNode* subject, const ExprNode* pattern) {
  TreeCursor p(const_cast<ExprNode*>(pattern), WalkOrder::kPreOrder);
  TreeCursor s(const_cast<ExprNode*>(subject), WalkOrder::kPreOrder);
  while (p.Current() != nullptr) {
    const ExprNode* pn = p.Current();
    const ExprNode* sn = s.Current();
    if (sn == nullptr) return false;
    const int slot = VariableSlot(pn);
    if (slot < 0) {
      if (!SameHead(pn, sn)) return false;
      p.Next();
      s.Next();
      continue;
    }
    ExprNode*& bound = gBindings.slot[slot];
    if (bound == nullptr) {
      bound = CopyTree(sn);
      if (bound == nullptr) return false;
      ++gBindings.filled;
    } else if (!ExpressionsAndShapesEqual(sn, bound)) {
      return false;
    }
    p.Pass();
    s.Pass();
  }
  return true;
}

bool SubstituteBindings(ExprNode* node, const ExprNode* replacement) {
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* result = CopyTree(replacement);
  bool substituted = false;
  for (int slot = 0, left = gBindings.filled; result != nullptr && left > 0 && slot < kPatternSlots; ++slot) {
    const ExprNode* bound = gBindings.slot[slot];
    if (bound == nullptr) continue;
    --left;
    ExprNode* variable = NewPatternVariable(slot);
    ExprNode* next = variable != nullptr ? Substituted(result, variable, bound) : nullptr;
    FreeExpression(variable);
    FreeExpression(result);
    result = next;
    substituted = true;
  }
  ClearPatternBindings();
  if (result == nullptr || NodeExhaustionReports() != reports) {
    FreeExpression(result);
    return false;
  }
  ReplaceExpression(result, node);
  // Simplified where it stands, as a substitution applied in place would be.
  if (substituted) SimplifyAndNormalizeSigns(node);
  return true;
}

bool TryPattern(ExprNode* node, const ExprNode* pattern, const ExprNode* replacement) {
  ClearPatternBindings();
  const bool rewritten = MatchPattern(node, pattern) && SubstituteBindings(node, replacement);
  ClearPatternBindings();
  return rewritten;
}

bool TryRule(ExprNode* node, const ExprNode* rule) {
  if (rule->kind == KindLeftarrow && rule->arity == 2) return TryPattern(node, rule->children[0], rule->children[1]);
  if (rule->kind != KindEqual || rule->arity < 2) return false;
  const ExprNode* replacement = rule->children[rule->arity - 1];
  for (int i = 0; i + 1 < rule->arity; ++i) {
    if (TryPattern(node, rule->children[i], replacement)) return true;
  }
  return false;
}

bool TryRewriteNode(ExprNode* node, const ExprNode* rules) {
  // Lists are entered, every other node is one rule: the rules in order, however nested.
  TreeCursor cursor(const_cast<ExprNode*>(rules), WalkOrder::kPreOrder);
  for (const ExprNode* rule = cursor.Current(); rule != nullptr;) {
    if (rule->kind == KindList) {
      rule = cursor.Next();
    } else if (TryRule(node, rule)) {
      return true;
    } else {
      rule = cursor.Pass();
    }
  }
  return false;
}

bool RewritePass(ExprNode* tree, const ExprNode* rules) {
  return rules != nullptr && RewritePassWithin(tree, rules, RuleLimit(rules, 10));
}

bool RewriteEveryNode(ExprNode* tree, const ExprNode* rules) { return RewritePassWithin(tree, rules, INT_MAX); }

bool RewriteToFixpoint(ExprNode* tree, const ExprNode* rules) {
  if (tree == nullptr || rules == nullptr) return false;
  bool rewrote = false;
  for (int pass = RuleLimit(rules, 20); pass > 0; --pass) {
    rewrote = RewritePass(tree, rules);
    if (!rewrote) break;
  }
  return rewrote;
}
