// Expression trees: the node record and its number record, the six block pools, construction, copy
// and free, structural edits, the one walk (TreeCursor) and structural equality. Invariants
// (CheckExpressionTree): each child's parent link and slot field name its holder and its place
// there; arity is the child array's length, at most kMaxArity; a string's text and a num's record
// belong to their node alone. Walks never recurse: trees of any depth are safe on a small stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "kernel/trees/node_kinds.h"
#include "kernel/trees/typeset_records.h"

// Longest display text of a number; the record always keeps room for a terminator.
inline constexpr int kNumberTextMax = 25;
// Operand limit of one node (the flattening limit); edits that would pass it fail.
inline constexpr int kMaxArity = 10000;
// Tells the user that what they asked for (a key, a paste, a build) was refused at the operand
// limit: error 7, re-armed first, so every such request is told, not only the first one the
// posted-once mask lets through. Returns false, for the refusing caller to pass on.
bool RefuseAtOperandLimit();

struct NumberRecord {
  double value;
  char text[kNumberTextMax + 1];  // display text, always NUL-terminated
  uint8_t moreDigits;             // kept by the typesetter
};

// Two 16-bit halves: a matrix's rows and columns, or an indexes node's raised and lowered counts.
struct NodeHalves {
  int16_t first;
  int16_t second;
};

// The value word of a node; which member is meaningful depends on the kind.
union NodeValue {
  NumberRecord* number;  // num: the node's own record
  int16_t symbol;        // char, dummy: character code, symbol id or primed coordinate
  NodeHalves halves;     // matrix (rows, columns), indexes (raised, lowered)
  int32_t tensorMask;    // tensor
  uint8_t chem[4];       // chem
  uint64_t raw;          // other kinds: 0; used to clear and copy the whole word
};

struct ExprNode {
  union {
    ExprNode** children;  // arity slots
    char* text;           // string node (kind 4100): NUL-terminated, null counts as ""
  };
  ExprNode* parent;       // null at a root
  TypesetBox* box;        // made on demand by EnsureNodeBox
  NodeValue value;
  uint16_t arity;
  uint16_t slot;          // index in the parent's child array; walks check it before trusting it
  uint32_t kind;          // a NodeKind
};

// Puts `child` into slot i of `parent` with its parent link and slot field. The slot's former
// occupant is not detached: the caller decides its fate.
inline void SetChild(ExprNode* parent, int i, ExprNode* child) {
  parent->children[i] = child;
  child->parent = parent;
  child->slot = static_cast<uint16_t>(i);
}

// ---- Pools -------------------------------------------------------------------------------------
// Creates the six pools (nodes, boxes, 1-, 2-, 3-slot child arrays, number records). Runs once;
// later calls do nothing. Every allocator below also calls it, so the pools exist on first use.
void CreateNodePools();
// Trims all six pools: deferred blocks go back to their chunks, wholly free chunks to the budget.
void ReleaseNodePools();
// Frees every chunk of every pool (at quit, and in tests). Live nodes must be gone.
void DestroyNodePools();
// Blocks handed out by the six pools and not yet released (leak checks in tests).
size_t NodePoolBlocksInUse();
// Test seam: the n-th node-library allocation from now (pool block, heap child array, string
// text, editor record) is refused, and every later one too when `fromThenOn`; 0 disarms.
// NodeAllocationAttempts counts attempts since the last call.
void FailNodeAllocationAt(uint64_t n, bool fromThenOn = false);
uint64_t NodeAllocationAttempts();
// Times the exhaustion path (flag, trim, error 7) has run since start-up: a failed operation
// takes it exactly once, however many allocations it tried (tests compare before and after).
uint64_t NodeExhaustionReports();

// ---- Construction ------------------------------------------------------------------------------
// All return null when memory runs out, after the exhaustion path: out-of-memory flag set, pools
// trimmed, error 7 posted. Operands passed to a failed constructor are left untouched.

// Zeroed node of the kind with `arity` null slots that the caller fills at once. Null also for
// an arity outside 0..kMaxArity: past the limit error 7 is posted (memory flag and pools left as
// they are), a negative arity is refused silently.
ExprNode* NewNode(uint32_t kind, int arity);
ExprNode* NewUnaryNode(uint32_t kind, ExprNode* a);
ExprNode* NewBinaryNode(uint32_t kind, ExprNode* a, ExprNode* b);
ExprNode* NewTernaryNode(uint32_t kind, ExprNode* a, ExprNode* b, ExprNode* c);
// A node of the kind over n operands that it owns from then on, unlike the constructors above:
// when an operand is null or the node cannot be had, every operand is freed and the result is
// null, so nested calls build a whole tree or leave nothing behind.
ExprNode* BuildNode(uint32_t kind, ExprNode* const* operands, int n);
inline ExprNode* BuildNode(uint32_t kind, std::initializer_list<ExprNode*> operands) {
  return BuildNode(kind, operands.begin(), static_cast<int>(operands.size()));
}
// num node with a fresh record: the value as SetNumberValue gives it, the flag clear.
ExprNode* NewNumberNode(double value);
// char node of the id; its layout box is made at once (the node is still returned when only
// the box could not be had).
ExprNode* NewSymbolNode(int16_t id);
ExprNode* NewPromptNode();
// string node holding a copy of `length` bytes of text. Null on exhaustion.
ExprNode* NewStringNode(const char* text, size_t length);
// Gives the node a zeroed layout box when it has none. False (exhaustion reported) on failure.
bool EnsureNodeBox(ExprNode* node);
// A num node takes the value and the text of a value no one wrote: empty, for the number pass to
// fill with its display text, but "NaN" for NaN, since an empty text on NaN marks digits the user
// cleared (the layout makes that number a prompt).
void SetNumberValue(ExprNode* node, double value);
// Replaces a num node's display text by at most kNumberTextMax bytes of `text`.
void SetNumberText(ExprNode* node, const char* text, size_t length);

// ---- Copy and free -----------------------------------------------------------------------------
// Deep copy (nodes, child arrays, number records, texts; no layout boxes); the copy's parent is
// null. On exhaustion the partial copy is freed, the exhaustion path runs once and the result is
// a num node holding NaN (null only when even that cannot be had): callers must accept both.
// A null source gives null.
ExprNode* CopyExpression(const ExprNode* node);
// The formula editor's name for CopyExpression.
inline ExprNode* CloneExpression(const ExprNode* node) { return CopyExpression(node); }
// Releases what a node owns besides its children: a string's text, a num's record (value word
// cleared) or the child array (arity becomes 0, children untouched).
void FreeNodeValue(ExprNode* node);
// Frees the node's value or child array, its box and the node itself; children untouched.
void FreeNode(ExprNode* node);
// Frees the whole subtree, descendants in post-order, then the node. Null is ignored.
void FreeExpression(ExprNode* node);
// Frees the destination's descendants, then moves the source's content into it (MoveNodeInto).
// The destination keeps its identity and parent; the source shell is freed.
void ReplaceExpression(ExprNode* source, ExprNode* destination);
// An uninitialised formula editor record from the general heap, or null (exhaustion reported).
FormulaEditor* AllocFormulaEditor();
// Releases a record from AllocFormulaEditor (its tree and tables are the caller's business).
void FreeFormulaEditor(FormulaEditor* editor);

// ---- Structural edits --------------------------------------------------------------------------
// Edits keep each node's identity (parents keep their pointers). Edits that allocate do so before
// they move anything: on failure they return false (or null) with the tree unchanged and the
// exhaustion path taken. Arities past kMaxArity also fail, posting error 7 (memory flag and pools
// left as they are); indexes out of range fail silently.

// Child array of n slots keeping the first min(old, n) children; new slots are null. A num's
// record or a string's text is released first (slots replace them). Children cut off are
// detached (parent null), not freed.
bool SetChildCount(ExprNode* node, int n);
// The destination's own value or array is released (its children are not freed); it takes the
// source's kind, value, arity and children (re-parented); the source's shell and box are freed.
void MoveNodeInto(ExprNode* source, ExprNode* destination);
// MoveNodeInto(first child, node). Other children are detached, not freed. False at arity 0.
bool UnwrapNode(ExprNode* node);
// Closes the gap at slot i; the removed child is detached (parent null), not freed.
bool RemoveChildSlot(ExprNode* node, int i);
// On a binary node the node takes its other operand's content; otherwise RemoveChildSlot.
// Returns the removed child, detached, or null on failure.
ExprNode* RemoveOperand(ExprNode* node, int i);
bool RemoveOperandAndFree(ExprNode* node, int i);
// RemoveChildSlot, then frees the removed subtree.
bool DeleteChildAt(ExprNode* node, int i);
// Moves slots 0..n-2 up one place (top down) and clears slot 0; the array holds n slots.
bool ShiftChildrenRight(ExprNode* node, int n);
// A new node takes over the node's kind, value, arity and children; the node becomes an empty
// node of `kind` with n null slots. The new node is detached. Null on failure (tree unchanged).
ExprNode* MoveContentToNewNode(ExprNode* node, uint32_t kind, int n);
// node := kind(former content).
bool WrapInUnary(ExprNode* node, uint32_t kind);
// node := kind with other at slot i (0 or 1) and the former content at slot 1 - i.
bool WrapInBinary(ExprNode* node, ExprNode* other, int i, uint32_t kind);
bool NegateNode(ExprNode* node);                    // minus(node)
bool DivideNodeBy(ExprNode* node, ExprNode* other); // over(node, other)
bool RaiseNodeTo(ExprNode* node, ExprNode* other);  // power(node, other)
bool AddToNode(ExprNode* node, ExprNode* other);    // plus(node, other)
bool AddNodeBefore(ExprNode* node, ExprNode* other);// plus(other, node)
bool InvertNode(ExprNode* node);                    // over(1, node)
// Appends other as last child when the node has the kind, else WrapInBinary at slot 1.
bool AppendOperand(ExprNode* node, ExprNode* other, uint32_t kind);
bool AppendFactor(ExprNode* node, ExprNode* other);
// Inserts other as the first factor of a times node, else node := times(other, node).
bool PrependFactor(ExprNode* node, ExprNode* other);
// other (detached) becomes operand `index` (0..arity) of the node, the operands from there on
// moving up one place. False, nothing changed, for a null node or operand or an index out of
// range, and as SetChildCount fails.
bool InsertOperand(ExprNode* node, int index, ExprNode* other);
// node := substitution(former content, equal(var, value)).
bool WrapInSubstitution(ExprNode* node, ExprNode* var, ExprNode* value);
// Removes every one-operand id node of the subtree by unwrapping it in place (an id of several
// operands is kept, so nothing is lost). Allocates nothing; true.
bool RemoveIdWrappers(ExprNode* node);
// Current editor in mode 1: moves children start..end of the caret node into a new node of the
// caret node's kind that takes their place, makes it the caret node and sets mode 0. Returns the
// new node, or null (nothing changed) without a valid range or memory.
ExprNode* GroupSelectedRange();
// A copy of the current editor's selected children (mode 1) in a new node of the caret node's
// kind, detached; null without a valid range or memory.
ExprNode* CopySelectedOperands();

// ---- Walks and queries -------------------------------------------------------------------------
// Which visits a TreeCursor reports: each node before its children (pre-order), after them
// (post-order), or both (kEnterAndLeave, for walks with work on the way down and on the way up).
enum class WalkOrder : uint8_t { kPreOrder, kPostOrder, kEnterAndLeave };

// The walk over the subtree under a root. It neither recurses nor allocates, each step is O(1)
// amortised on any shape (a node's place in its parent comes from its slot field), and null
// child slots are stepped over. A walk that changes the tree picks one of two timings a step:
//  - Next: the successor is taken after the current node was rewritten in place (its identity
//    kept, e.g. UnwrapNode, MoveNodeInto or SetChildCount on it): pre-order and an entering visit
//    go on into its present children, post-order and a leaving visit go on after it.
//  - Pass: the successor is taken before the current node is changed. The cursor moves past the
//    node and its whole subtree (an entering visit skips its children and its leaving visit) and
//    never reads them again, so the caller may then replace, detach or free them, or edit the
//    parent's child array through this library's edits (which keep the slot fields).
// Either way the nodes on the path from the root down to the successor must stay; the root itself
// may be rewritten in place. Both return the new current node, null once the walk is done.
class TreeCursor {
 public:
  TreeCursor(ExprNode* root, WalkOrder order);
  ExprNode* Current() const { return node_; }
  // kEnterAndLeave: true for the visit before the node's children, false for the one after.
  bool Entering() const { return entering_; }
  // Levels between the current node and the root (0 at the root).
  int Depth() const { return depth_; }
  ExprNode* Next();
  ExprNode* Pass();

 private:
  void Step();  // one move of the enter-and-leave walk
  void Settle();  // steps over the visits the order does not report
  ExprNode* root_;
  ExprNode* node_;
  int depth_ = 0;
  bool entering_ = true;
  WalkOrder order_;
};

// Walk work done on this thread: one unit a cursor move and one a child slot scanned. Tests
// bound it by the size of a tree to show that walks over it stay linear.
uint64_t TreeWalkWork();

// Slot of the node in its parent, -1 for a root (or a detached node its parent does not hold).
int IndexInParent(const ExprNode* node);
bool IsChildAt(const ExprNode* node, int i);
// Nodes of the subtree, the node included.
int CountSubtreeNodes(const ExprNode* node);
// A num leaf with its record whose value is exactly v (null: false).
bool IsNumberValue(const ExprNode* node, double v);
// Structural equality: kinds and arities throughout; num by value (NaN never equal), char and
// dummy by symbol id, string by text. Matrix, indexes, tensor and chem parameters are ignored.
bool ExpressionsEqual(const ExprNode* a, const ExprNode* b);
// ExpressionsEqual that also compares those parameters: a row and a column of the same cells
// differ. For every comparison that decides a rewrite of a value (like terms, like factors,
// patterns, substitution); ExpressionsEqual stays for a tree's identity.
bool ExpressionsAndShapesEqual(const ExprNode* a, const ExprNode* b);
// The parameters ExpressionsEqual passes over agree, for two nodes of one kind: a matrix's rows
// and columns, an index list's or tensor's levels, a chem node's bytes (other kinds: true).
bool SameShapeParameters(const ExprNode* p, const ExprNode* q);
// The box's rectangle (top = bottom - descent - ascent, right = left + width); returns the box,
// or null with rect untouched when the node or its box is missing.
const TypesetBox* GetNodeRect(const ExprNode* node, FixedRect* rect);
// Whether the current editor's selection shows a highlight.
bool SelectionIsDrawable();
// The part of the highlight rule shared with SelectionIsBlock: in modes 1, 2 and 5 a selection
// is a visible block, in modes 6 and 7 only when its two ends differ; mode 0 (answered by each
// caller its own way) and every other mode give false.
bool SelectionRangeIsVisible(const FormulaEditor& editor);

// Verifies the tree invariants under `root`: every child's parent link names its holder and its
// slot field its place, arity within 0..kMaxArity, no null slot, num and string nodes without
// children, every num node with its number record. `message` (may be null) gets the reason of a
// failure, "" otherwise.
bool CheckExpressionTree(const ExprNode* root, const char** message = nullptr);
// Verifies the free lists and chunk tables of the six node pools.
bool CheckNodePools();
