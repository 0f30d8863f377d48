// Builders of common mathematical shapes over existing nodes, the plotting classifier that
// decides node by node what the evaluator can compute, symbol queries over trees, and queries
// on the current formula editor's selection. Builders take over their operands only on
// success: on exhaustion they return null with every operand exactly as it was.
#pragma once

#include <cstdint>

#include "kernel/trees/expr_node.h"

// Plain letters the system treats specially; primed coordinates are letter + 0x7000.
inline constexpr int32_t kSymbolE = 'e';
inline constexpr int32_t kSymbolI = 'i';
inline constexpr int32_t kPrimeOffset = 0x7000;

// ---- Builders (null on exhaustion, operands untouched) -----------------------------------------
ExprNode* MakeTimes(ExprNode* a, ExprNode* b);
ExprNode* MakeTimes3(ExprNode* a, ExprNode* b, ExprNode* c);
ExprNode* MakePlus(ExprNode* a, ExprNode* b);
ExprNode* MakeDifference(ExprNode* a, ExprNode* b);  // plus(a, minus(b))
ExprNode* MakeNegate(ExprNode* a);                   // minus(a)
ExprNode* MakeOver(ExprNode* a, ExprNode* b);
ExprNode* MakeReciprocal(ExprNode* a);               // over(1, a)
ExprNode* MakePower(ExprNode* a, ExprNode* b);
ExprNode* MakeSquare(ExprNode* a);                   // power(a, 2)
ExprNode* MakeOneMinusSquare(ExprNode* a);           // plus(1, minus(power(a, 2)))
ExprNode* MakeOnePlusSquare(ExprNode* a);            // plus(1, power(a, 2))
ExprNode* MakeSquareMinusOne(ExprNode* a);           // plus(power(a, 2), minus(1))
ExprNode* MakeSqrt(ExprNode* a);
ExprNode* MakeLn(ExprNode* a);
ExprNode* MakeSin(ExprNode* a);
ExprNode* MakeCos(ExprNode* a);
ExprNode* MakeRealPart(ExprNode* a);                 // real(a)
ExprNode* MakeImagPart(ExprNode* a);                 // imag(a)
// Internal partial-derivative node (kind 8081) of a by b; the algebra rewrites it.
ExprNode* MakePartialDerivative(ExprNode* a, ExprNode* b);
ExprNode* MakeSubstitution(ExprNode* a, ExprNode* b, ExprNode* c);  // substitution(a, equal(b, c))
// a with the subscript b: indexes(a, b) with index counts 0 and 1.
ExprNode* MakeIndexed(ExprNode* a, ExprNode* b);
// power(x, over(1, 2)), the numbers 1 and 2, becomes sqrt(x) in place (the node keeps its
// identity, the half is freed). True when it did; false, nothing changed, for any other node or
// when memory is refused.
bool HalfPowerToRoot(ExprNode* node);

// ---- The plotting classifier -------------------------------------------------------------------
// Flag bits of ClassifyNodeKind.
enum ClassifyFlags : uint32_t {
  ClassifyDerivatives = 1,   // derivative forms function(oppartial ...)
  ClassifyRelations = 2,     // comma, comparisons, equal, function, char
  ClassifySums = 4,          // sums with an index equation, and their index variables
  ClassifyComparisons = 8,   // comparisons and char
  ClassifyChars = 16,        // any char
  ClassifyParameters = 32,   // chars that are not coordinates, and subscripted names a_1
};

// The process-wide free variable: the character code being solved for or plotted (0 = none).
// The compiled-function layer sets it; the classifier reads it.
uint8_t FreeVariable();
void SetFreeVariable(uint8_t code);

bool IsComparisonKind(uint32_t kind);  // lessthan, leq, greaterthan, geq
// True for kinds the derivative code must treat as non-smooth: mod, min, max, clamp, slider.
bool IsNonSmoothKind(uint32_t kind);
// A vector: a matrix node of `rows` rows and one column, with its `rows` elements.
bool IsColumnOfRows(const ExprNode* node, int rows);

// True when the node is acceptable under the flags (rules tried in order, the first that
// matches answers). A sum binds its index in its term and at the index letter only: a letter in
// its start or end is the one outside it (NameBoundAt). An index variable of an internal bounded
// sum is accepted when that sum lies strictly below `root` (null: anywhere above); when the sum
// lies above root the index varies inside the subtree and the answer is false whatever the flags;
// a sum at root itself leaves the variable to the later rules (flag 32 accepts it as a parameter
// of the whole sum).
bool ClassifyNodeKind(const ExprNode* node, uint32_t flags, const ExprNode* root);
// Every node passes with flags 0 (no root: a bounded sum anywhere above binds its index).
bool AllNodesAllowed(const ExprNode* tree);
// Every node passes with flag 32 and the tree as root: constant for the compiler's bindings.
bool AllNodesAllowedUnder(const ExprNode* tree);
// Every node passes with flags 0 (no root), or is an interval, or is a char of the free
// variable.
bool AllNodesClassifiable(const ExprNode* tree);
// As AllNodesClassifiable with flags 36 (sums and parameters) and the tree as root.
bool IsConstantSubtree(const ExprNode* tree);

// AllNodesAllowedUnder for every node of a tree in one walk, not one walk a node. The caller walks
// `tree` with a TreeCursor in enter-and-leave order and reports each visit. Enter answers for the
// node just entered at `depth` (the tree at 0): it passes ClassifyNodeKind(node, 32, n) for an
// ancestor-or-self n exactly when n's depth is below the answer. So AllNodesAllowedUnder(n) holds
// when every node of n's subtree answers more than n's depth. Allocates nothing: a plain variable
// under more than 32 nested bounded sums (or with more than 32 index names bound above the tree)
// answers 0, so an unknown binder never makes a subtree look constant.
class AllowedUnderScan {
 public:
  static constexpr int kNoLimit = 0x7fffffff;
  explicit AllowedUnderScan(const ExprNode* tree);
  int Enter(const ExprNode* node, int depth);
  void Leave(const ExprNode* node);

 private:
  static constexpr int kMaxBinders = 32;
  struct Binder {
    int32_t name;
    int depth;
  };
  bool BoundOutside(int32_t name) const;
  const ExprNode* tree_;
  Binder binders_[kMaxBinders];  // bounded sums whose terms hold the node, innermost last
  int binderCount_ = 0;
  int bindersLost_ = 0;          // binders past the capacity, innermost of all
  int32_t outside_[kMaxBinders]; // index names bound at the tree's place by sums above it
  int outsideCount_ = 0;
  bool outsideLost_ = false;
  int ifConditions_ = 0;         // if conditions the current node lies in
};

// ---- Symbol queries ----------------------------------------------------------------------------
// x, y, z, x', y', z', r, t, u, v, w, phi, theta, rho.
bool IsCoordinateSymbol(int32_t id);
// e, i, pi, degree, inf.
bool IsConstantSymbol(int32_t id);
bool IsReservedSymbol(int32_t id);
// Some char node holds the id.
bool ContainsSymbol(const ExprNode* tree, int32_t id);
// Every char node holding `from` gets `to`.
void RenameSymbol(ExprNode* tree, int32_t from, int32_t to);
// The tree uses i, arg/imag/real/Re/Im, or a complex-valued definition of the document.
bool UsesComplexNumbers(const ExprNode* tree);
// times(char f, id(char x)): how the editor holds a typed f(x).
bool IsFOfX(const ExprNode* node);
// The current editor's root is f(x), or an equal node whose first operand is f(x).
bool IsFOfXFormula();
// prime(x), prime(y), prime(z) become the chars x', y', z' in place.
void FoldPrimesIntoCoordinates(ExprNode* tree);
// Exchanges x, y, z with x', y', z' in every char node; applying it twice restores the tree.
void SwapPrimedCoordinates(ExprNode* tree);

// ---- Formula editor queries (current editor unless one is passed) ------------------------------
bool FormulaIsNonEmpty();
bool IsPromptRoot(const FormulaEditor* editor);
ExprNode* GetFormulaRoot(const FormulaEditor* editor);
// Descent of the root's layout box (16.16), 0 when it has none.
int32_t GetRootBoxDescent(const FormulaEditor* editor);
// The stored drawing origin: the frame, whose top and left are its vertical and horizontal.
PixelRect GetFormulaOrigin(const FormulaEditor* editor);
// Moves the stored vertical origin up by `pixels`.
void ScrollFormulaOrigin(FormulaEditor* editor, int pixels);
// The selection is a visible block (not a prompt; modes 0, 1, 2, 5, or 6/7 with a range).
bool SelectionIsBlock();
// The document window's name for SelectionIsBlock.
inline bool HasBlockSelection() { return SelectionIsBlock(); }
// A command can apply to the selection: non-prompt node in mode 0, 1 or 5.
bool CanApplyToSelection();
// Mode 0 or 1 and the selected term can be moved by a directed rewrite.
bool CanDragSelection();
// The caret edits text: mode 6, or mode 3 on a string node.
bool IsEditingText();
