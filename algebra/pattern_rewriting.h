// Rewriting with rules that are trees: an equation a = b (every side but the last a pattern, the
// last the replacement), a leftarrow pattern <- replacement, or a list of rules tried in order.
// Pattern variables are dummy nodes of slot 0..255; a dummy of another slot is a literal.
// Invariants: matching is literal (no commutativity), a variable used twice matches equal
// subtrees; the bindings are empty between attempts (one process-wide table, no yield inside an
// attempt: a thread's rewrite turn comes only between two nodes of a pass); a pass and a run of
// passes are bounded, so self-referential rules terminate.
#pragma once

struct ExprNode;

inline constexpr int kPatternSlots = 256;

// The process-wide bindings: each slot empty or owning a copy of the subtree bound to it, and
// the number of slots filled (so that emptying an empty table, before and after every attempt,
// costs nothing).
struct PatternBindings {
  ExprNode* slot[kPatternSlots] = {};
  int filled = 0;
};
PatternBindings& Bindings();
// Frees every bound copy and empties the table (before each attempt, after it, and in tests).
void ClearPatternBindings();

// The turn of this thread's rewriting, taken before each node of a pass, where the bindings are
// empty and the tree whole: the hook may suspend the thread or unwind it (a throw passes through
// the pass), and answers false to end the pass there. Each thread has its own, none at first: the
// equation preparation sets one on the thread it runs on; the Math commands run without.
using RewriteTurnHook = bool (*)(void* context);
void SetRewriteTurnHook(RewriteTurnHook hook, void* context);

// One pre-order pass over the tree: each node (not a colour triple itself) goes to the rules; a
// node rewritten is counted and the walk goes on after its new subtree. At most (arity of the
// rules + 10) rewrites; the pass ends early while memory is short or when the thread's rewrite
// turn says so. True when something was rewritten. The rules must not lie inside the tree.
bool RewritePass(ExprNode* tree, const ExprNode* rules);
// RewritePass without its limit on rewrites: every node the pass reaches (none inside what it
// wrote) is offered to the rules. For rules known not to rewrite without end, so that a formula
// of many uses needs no more passes than its nesting is deep.
bool RewriteEveryNode(ExprNode* tree, const ExprNode* rules);
// RewritePass while it rewrites, at most (arity of the rules + 20) times; the last pass's answer.
bool RewriteToFixpoint(ExprNode* tree, const ExprNode* rules);

// The first rule of `rules` (a rule, or a list of rules and lists) that matches rewrites the node.
bool TryRewriteNode(ExprNode* node, const ExprNode* rules);
// One equation or leftarrow rule; any other node never matches.
bool TryRule(ExprNode* node, const ExprNode* rule);
// Bindings emptied; when the node matches the pattern, SubstituteBindings. True when rewritten.
bool TryPattern(ExprNode* node, const ExprNode* pattern, const ExprNode* replacement);
// The subject matches the pattern, variables bound in Bindings() as they are met. False also when
// a binding's copy was refused.
bool MatchPattern(const ExprNode* subject, const ExprNode* pattern);
// The node's content becomes a copy of the replacement with each bound slot, in ascending order,
// substituted by its binding (so a binding holding a later slot's variable is substituted again),
// then simplified where it stands (SimplifyAndNormalizeSigns); without bound slots the copy goes
// in plain. The bindings are emptied. False, node untouched, when memory was refused.
bool SubstituteBindings(ExprNode* node, const ExprNode* replacement);
// A dummy node of the slot; null without memory.
ExprNode* NewPatternVariable(int slot);
// A 3 by 1 matrix of the symbols r, g, b or h, s, v.
bool IsColorSpaceTriple(const ExprNode* node);
