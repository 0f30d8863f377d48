// The simplifier: local rules chosen by a node's kind (numeric folding, flattening, neutral
// elements, fractions, special values, roots as powers, distributed powers and, in expansion
// mode, products and powers of sums multiplied out), the walks that apply them to whole trees,
// and the four passes on sums, products and quotients it hands nodes to (like_terms.cpp).
// Invariants: every rule rewrites the node it is given in place (identity kept) and checks the
// shape it reads; a rule that cannot have its memory leaves the tree valid and equal in value;
// the process-wide switches are changed only through SwitchGuard, so each entry point leaves
// them as it found them.
#pragma once

#include <cstdint>

struct ExprNode;

// ---- Switches ----------------------------------------------------------------------------------
struct AlgebraSwitches {
  bool expandProducts = false;   // products over sums and integer powers of sums multiplied out
  bool distributePowers = true;  // powers of products, quotients, powers and negations distributed
  bool orderFactors = true;      // products handed to OrderFactors
  bool collectLikeTerms = true;  // sums handed to CollectLikeTerms
};
// The process-wide switches (one record; tests reset it).
AlgebraSwitches& Switches();
void ResetAlgebraSwitches();

// Sets one switch for the guard's lifetime and restores the former value when it ends.
class SwitchGuard {
 public:
  SwitchGuard(bool AlgebraSwitches::*field, bool value);
  ~SwitchGuard();
  SwitchGuard(const SwitchGuard&) = delete;
  SwitchGuard& operator=(const SwitchGuard&) = delete;

 private:
  bool AlgebraSwitches::*field_;
  bool saved_;
};

// ---- Entry points ------------------------------------------------------------------------------
// The rules of the node's kind, repeated while a rule asks for another round (at most 64 plus
// four for each operand the node has had, so every merge or removal of an operand gets its round).
// Nothing for a leaf, and nothing at all while IsMemoryShort answers true or a bounded derivative
// pass has passed its bound (DerivativeWorkExceeded: its result is discarded).
void SimplifyNode(ExprNode* node);
// SimplifyNode on every node in post-order; a node's successor is taken after it was rewritten,
// so the walk never enters what a rule built.
void SimplifyTreeBottomUp(ExprNode* root);
// SimplifyNode on each direct child in order, then on the node.
void SimplifyChildrenThenNode(ExprNode* node);
// SimplifyTreeBottomUp, then NormalizeSigns. Results are simplified where they stand, never
// apart: a negative number under a product makes the product a negation, also a product above
// the node (2 times a substitution giving -3 becomes -(2 3), not 2 (-3)).
void SimplifyAndNormalizeSigns(ExprNode* node);
// id groups of one operand removed (UnwrapIdNodes), then SimplifyAndNormalizeSigns.
void SimplifyExpression(ExprNode* node);
// Post-order: a negative number becomes the negation of its magnitude (a product holding it is
// negated instead, which may wrap a parent above `root` in place); x^(1/2) becomes sqrt(x); a
// quotient over a negated numerator becomes the negation of the quotient.
void NormalizeSigns(ExprNode* root);
// NormalizeSigns split for a result worked on apart from the tree: the steps below the root
// (whose parents are inside the result), then, once the result stands in its place, the root's
// own step, which may negate a product around it.
void NormalizeSignsBelow(ExprNode* root);
void NormalizeSignsAt(ExprNode* node);
// SimplifyExpression with powers not distributed, negative powers turned into reciprocals (not
// those of e), then simplified and signs normalised again.
void SimplifyWithReciprocals(ExprNode* root);
// A power with a negated or negative exponent (not of the letter e), or with an exponent whose
// numerator is negated, becomes 1 over the power with that sign dropped; others unchanged.
void NegativePowersToReciprocals(ExprNode* node);
// SimplifyExpression on the current editor's caret node; the layout is invalidated. No editor:
// nothing.
void SimplifyFormula();
// The expansion command: SimplifyFormula with products and powers of sums multiplied out.
void MathCommand2001();

// ---- Numeric helpers ---------------------------------------------------------------------------
// (a + rest)^n for integral n in 2..23 as a sum of n + 1 binomial terms, each term simplified
// as it is made. False, node unchanged, when the node has another shape or memory runs short.
bool ExpandPowerOfSum(ExprNode* node);
// The node's content becomes a new number. False (node unchanged) without memory.
bool ReplaceWithNumber(ExprNode* node, double value);
// Divides two number nodes by the greatest common divisor of their values unless it is 0.
void ReduceNumberPair(ExprNode* a, ExprNode* b);
// x^n by repeated squaring (x * x^(n-1) for odd n, (x*x)^(n/2) for even n); 1 for n <= 0.
double PowerByInteger(double x, int32_t n);
// n over k, exact in 64 bits for the n <= 23 the expansion uses; 0 when n < 1 or k is out of
// 0..n.
int64_t BinomialCoefficient(int32_t n, int32_t k);

// ---- Passes on sums, products and quotients (like_terms.cpp) -----------------------------------
// Merges like terms of a sum (3x + 5x into 8x), then simplifies the sum once with the pass off.
void CollectLikeTerms(ExprNode* sum);
// Merges factors of a product with the same base into one power (x x^3 into x^4).
void CollectLikeFactors(ExprNode* product);
// Orders the factors of a product: numbers, symbols, other factors by kind; non-commuting
// factors keep their order and factors holding a derivative operator never move. Ends after at
// most as many passes as there are factors.
void OrderFactors(ExprNode* product);
// Cancels factors of a quotient's numerator against the denominator (x^3 y / x into x^2 y).
void CancelCommonFactors(ExprNode* quotient);
// The bases of a and b (a power's first operand, any other node itself) are equal; when neither
// is a power, a must not be the number 0.
bool SameBase(const ExprNode* a, const ExprNode* b);
// a and b are equal apart from a leading negation and a leading numeric factor.
bool LikeTerms(const ExprNode* a, const ExprNode* b);
// Factor a belongs before factor b in a product.
bool CompareForOrder(const ExprNode* a, const ExprNode* b);
// Symbol p belongs before symbol q: named symbols before Latin letters, e after every letter,
// otherwise by id.
bool CompareSymbols(int32_t p, int32_t q);
// t holds a derivative operator, a matrix, a bra or a ket.
bool ContainsNonCommuting(const ExprNode* t);
// t holds an optotal or oppartial node.
bool ContainsDerivativeOperator(const ExprNode* t);
