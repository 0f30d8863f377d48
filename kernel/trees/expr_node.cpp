// Expression nodes and their pools. Every node-sized allocation comes from one of six block
// pools (frees are deferred until ReleaseNodePools); child arrays of four or more slots and
// string texts come from the counted heap. Every edit here keeps the children's slot fields, so
// the one walk (TreeCursor) finds a node's place in O(1) and stays linear on any shape without
// recursing or allocating; a slot field that does not hold costs a scan, never a wrong step.
#include "kernel/trees/expr_node.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/block_pool.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

struct NodePoolsState {
  BlockPoolCore nodes;
  BlockPoolCore boxes;
  BlockPoolCore slots1;
  BlockPoolCore slots2;
  BlockPoolCore slots3;
  BlockPoolCore numbers;
  bool created = false;
  uint64_t attempts = 0;  // node-library allocations since the last FailNodeAllocationAt
  uint64_t failAt = 0;    // attempt to refuse; 0 none
  bool failFromThenOn = false;
  uint64_t exhaustionReports = 0;
};

NodePoolsState gPools;
thread_local uint64_t gWalkWork = 0;  // see TreeWalkWork

// ---- Allocation primitives: silent on failure; public operations report exhaustion once. ----

bool AllocationRefused() {
  ++gPools.attempts;
  if (gPools.failAt == 0) return false;
  return gPools.failFromThenOn ? gPools.attempts >= gPools.failAt : gPools.attempts == gPools.failAt;
}

void* PoolAlloc(BlockPoolCore& pool) {
  CreateNodePools();
  if (AllocationRefused()) return nullptr;
  return BlockPoolAlloc(pool);
}

void* HeapAlloc(size_t bytes) {
  if (AllocationRefused()) return nullptr;
  return AllocMemory(bytes, true);
}

void ReportExhaustion() {
  ++gPools.exhaustionReports;
  SetOutOfMemoryFlag(true);
  ReleaseNodePools();
  PostError(kErrorOutOfMemory);
}

// The operand limit refuses an arity past kMaxArity: the user hears of it as of exhausted
// memory (error 7), so an edit or paste that loses an operand is never silent; nothing is short,
// so the memory flag stays clear and the pools are kept. Negative arities are the caller's fault.
bool WithinOperandLimit(int n) {
  if (n <= kMaxArity) return true;
  PostError(kErrorOutOfMemory);
  return false;
}

ExprNode* AllocNodeShell() {
  void* block = PoolAlloc(gPools.nodes);
  if (block == nullptr) return nullptr;
  std::memset(block, 0, sizeof(ExprNode));
  return static_cast<ExprNode*>(block);
}

void FreeNodeShell(ExprNode* node) { BlockPoolFree(gPools.nodes, node); }

BlockPoolCore* SlotPool(int n) {
  switch (n) {
    case 1: return &gPools.slots1;
    case 2: return &gPools.slots2;
    case 3: return &gPools.slots3;
    default: return nullptr;
  }
}

// A zeroed array of n slots in *out (null for n = 0). False when memory runs out; a large array
// is not even tried while the shell reports memory short.
bool AllocChildArray(int n, ExprNode*** out) {
  *out = nullptr;
  if (n == 0) return true;
  void* block;
  if (BlockPoolCore* pool = SlotPool(n)) {
    block = PoolAlloc(*pool);
    if (block != nullptr) std::memset(block, 0, sizeof(ExprNode*) * static_cast<size_t>(n));
  } else {
    if (IsMemoryShort()) return false;
    block = HeapAlloc(sizeof(ExprNode*) * static_cast<size_t>(n));
  }
  *out = static_cast<ExprNode**>(block);
  return block != nullptr;
}

void FreeChildArray(ExprNode** array, int n) {
  if (array == nullptr) return;
  if (BlockPoolCore* pool = SlotPool(n)) {
    BlockPoolFree(*pool, array);
  } else {
    FreeMemory(array);
  }
}

NumberRecord* AllocNumberRecord() {
  void* block = PoolAlloc(gPools.numbers);
  if (block != nullptr) std::memset(block, 0, sizeof(NumberRecord));
  return static_cast<NumberRecord*>(block);
}

char* AllocText(const char* text, size_t length) {
  char* copy = static_cast<char*>(HeapAlloc(length + 1));
  if (copy == nullptr) return nullptr;
  if (length > 0) std::memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

bool HasTextOrRecord(uint32_t kind) { return kind == KindString || kind == KindNum; }

// ---- Walk primitives ---------------------------------------------------------------------------

// Slot of `node` in `parent`: its slot field when that holds, else found by a scan; -1 when the
// parent does not hold it.
int SlotIn(const ExprNode* parent, const ExprNode* node) {
  const int hint = node->slot;
  if (hint < parent->arity && parent->children[hint] == node) return hint;
  for (int i = 0; i < parent->arity; ++i) {
    ++gWalkWork;
    if (parent->children[i] == node) return i;
  }
  return -1;
}

// First non-null slot at or after `from`, or -1.
int NextFilledSlot(const ExprNode* node, int from) {
  for (int i = from; i < node->arity; ++i) {
    if (node->children[i] != nullptr) return i;
    ++gWalkWork;
  }
  return -1;
}

// Sets the slot fields of the node's children in slots from..to-1 (to: the arity when negative)
// after they moved within its array.
void RenumberSlots(ExprNode* node, int from, int to = -1) {
  if (to < 0) to = node->arity;
  for (int i = from; i < to; ++i) {
    if (node->children[i] != nullptr) node->children[i]->slot = static_cast<uint16_t>(i);
  }
}

// Frees a subtree in post-order. Null slots are skipped, which lets the same walk release a
// partial copy (unfilled slots are null) and a subtree from which one branch was cut out.
void FreeSubtree(ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* node = cursor.Current(); node != nullptr; node = cursor.Current()) {
    cursor.Pass();
    FreeNode(node);
  }
}

// Copies what a node is, besides its children: kind, value (a record or text of its own) and a
// zeroed child array of the same arity. False when memory ran out; `dst` stays freeable.
bool CopyNodeContent(const ExprNode* src, ExprNode* dst) {
  dst->kind = src->kind;
  if (src->kind == KindNum && src->arity == 0) {
    dst->value.raw = 0;
    if (src->value.number != nullptr) {
      NumberRecord* record = AllocNumberRecord();
      if (record == nullptr) return false;
      std::memcpy(record, src->value.number, sizeof(NumberRecord));
      dst->value.number = record;
    }
    return true;
  }
  dst->value = src->value;
  if (src->kind == KindString && src->arity == 0) {
    if (src->text != nullptr) {
      char* text = AllocText(src->text, std::strlen(src->text));
      if (text == nullptr) return false;
      dst->text = text;
    }
    return true;
  }
  ExprNode** array;
  if (!AllocChildArray(src->arity, &array)) return false;
  dst->children = array;
  dst->arity = src->arity;
  return true;
}

// Deep copy without reporting: null when memory ran out (everything built is released). Each
// node is copied when the walk enters it and hung in its source's slot under its parent's copy.
ExprNode* CopyOrNull(const ExprNode* source) {
  ExprNode* copyRoot = nullptr;
  ExprNode* current = nullptr;  // the copy of the node the walk last entered and has not left
  TreeCursor cursor(const_cast<ExprNode*>(source), WalkOrder::kEnterAndLeave);
  for (const ExprNode* src = cursor.Current(); src != nullptr; src = cursor.Next()) {
    if (!cursor.Entering()) {
      if (src != source) current = current->parent;
      continue;
    }
    const int slot = src == source ? 0 : IndexInParent(src);
    ExprNode* copy = slot >= 0 ? AllocNodeShell() : nullptr;  // a parent link astray ends the copy
    if (copy == nullptr) break;
    if (src == source) {
      copyRoot = copy;
    } else {
      SetChild(current, slot, copy);
    }
    current = copy;
    if (!CopyNodeContent(src, copy)) break;
  }
  if (cursor.Current() == nullptr) return copyRoot;
  FreeSubtree(copyRoot);
  return nullptr;
}

bool SameNode(const ExprNode* a, const ExprNode* b) {
  if (a->kind != b->kind || a->arity != b->arity) return false;
  if (a->arity != 0) return true;
  switch (a->kind) {
    case KindNum: {
      // A node without a record has no value; like NaN it equals nothing.
      if (a->value.number == nullptr || b->value.number == nullptr) return false;
      return a->value.number->value == b->value.number->value;
    }
    case KindChar:
    case KindDummy:
      return a->value.symbol == b->value.symbol;
    case KindString:
      return std::strcmp(a->text != nullptr ? a->text : "", b->text != nullptr ? b->text : "") == 0;
    default:
      return true;
  }
}

bool IsInSubtree(const ExprNode* node, const ExprNode* root) {
  for (; node != nullptr; node = node->parent) {
    if (node == root) return true;
  }
  return false;
}

// Moves `node`'s array to one of n slots keeping the first min(old, n) children. Shrinking a
// large array stays in place; otherwise the new array is had before anything moves.
bool ResizeChildArray(ExprNode* node, int n) {
  const int old = node->arity;
  if (n < old && n >= 4) {
    for (int i = n; i < old; ++i) {
      if (node->children[i] != nullptr) node->children[i]->parent = nullptr;
    }
    node->arity = static_cast<uint16_t>(n);
    return true;
  }
  ExprNode** array;
  if (!AllocChildArray(n, &array)) return false;
  if (old > 0) {
    const int kept = std::min(old, n);
    if (kept > 0) std::memcpy(array, node->children, sizeof(ExprNode*) * static_cast<size_t>(kept));
    for (int i = kept; i < old; ++i) {
      if (node->children[i] != nullptr) node->children[i]->parent = nullptr;
    }
    FreeChildArray(node->children, old);
  } else {
    FreeNodeValue(node);
  }
  node->children = array;
  node->arity = static_cast<uint16_t>(n);
  return true;
}

// The current editor's child range in mode 1, normalised; false when there is none.
bool SelectedRange(FormulaEditor*& editor, int& lo, int& hi) {
  editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->selectionMode != SelectionChildRange) return false;
  const ExprNode* caret = editor->caretNode;
  if (caret == nullptr || caret->arity == 0 || HasTextOrRecord(caret->kind)) return false;
  lo = std::min(editor->selectionStart, editor->selectionEnd);
  hi = std::max(editor->selectionStart, editor->selectionEnd);
  return lo >= 0 && hi < caret->arity;
}

}  // namespace

// ---- Pools -------------------------------------------------------------------------------------

void CreateNodePools() {
  if (gPools.created) return;
  BlockPoolInit(gPools.nodes, sizeof(ExprNode));
  BlockPoolInit(gPools.boxes, sizeof(TypesetBox));
  BlockPoolInit(gPools.slots1, sizeof(ExprNode*) * 1);
  BlockPoolInit(gPools.slots2, sizeof(ExprNode*) * 2);
  BlockPoolInit(gPools.slots3, sizeof(ExprNode*) * 3);
  BlockPoolInit(gPools.numbers, sizeof(NumberRecord));
  gPools.created = true;
}

void ReleaseNodePools() {
  if (!gPools.created) return;
  BlockPoolTrim(gPools.nodes);
  BlockPoolTrim(gPools.boxes);
  BlockPoolTrim(gPools.slots1);
  BlockPoolTrim(gPools.slots2);
  BlockPoolTrim(gPools.slots3);
  BlockPoolTrim(gPools.numbers);
}

void DestroyNodePools() {
  if (!gPools.created) return;
  BlockPoolDestroy(gPools.nodes);
  BlockPoolDestroy(gPools.boxes);
  BlockPoolDestroy(gPools.slots1);
  BlockPoolDestroy(gPools.slots2);
  BlockPoolDestroy(gPools.slots3);
  BlockPoolDestroy(gPools.numbers);
  gPools.created = false;
}

size_t NodePoolBlocksInUse() {
  if (!gPools.created) return 0;
  return BlockPoolBlocksInUse(gPools.nodes) + BlockPoolBlocksInUse(gPools.boxes) +
         BlockPoolBlocksInUse(gPools.slots1) + BlockPoolBlocksInUse(gPools.slots2) +
         BlockPoolBlocksInUse(gPools.slots3) + BlockPoolBlocksInUse(gPools.numbers);
}

void FailNodeAllocationAt(uint64_t n, bool fromThenOn) {
  gPools.attempts = 0;
  gPools.failAt = n;
  gPools.failFromThenOn = fromThenOn;
}

uint64_t NodeAllocationAttempts() { return gPools.attempts; }

uint64_t NodeExhaustionReports() { return gPools.exhaustionReports; }

bool RefuseAtOperandLimit() {
  ClearErrorPosted(kErrorOutOfMemory);
  PostError(kErrorOutOfMemory);
  return false;
}

bool CheckNodePools() {
  if (!gPools.created) return true;
  return CheckBlockPool(gPools.nodes) && CheckBlockPool(gPools.boxes) && CheckBlockPool(gPools.slots1) &&
         CheckBlockPool(gPools.slots2) && CheckBlockPool(gPools.slots3) && CheckBlockPool(gPools.numbers);
}

// ---- Construction ------------------------------------------------------------------------------

ExprNode* NewNode(uint32_t kind, int arity) {
  if (arity < 0 || !WithinOperandLimit(arity)) return nullptr;
  ExprNode* node = AllocNodeShell();
  if (node == nullptr) {
    ReportExhaustion();
    return nullptr;
  }
  ExprNode** array;
  if (!AllocChildArray(arity, &array)) {
    FreeNodeShell(node);
    ReportExhaustion();
    return nullptr;
  }
  node->kind = kind;
  node->children = array;
  node->arity = static_cast<uint16_t>(arity);
  return node;
}

ExprNode* NewUnaryNode(uint32_t kind, ExprNode* a) {
  ExprNode* node = NewNode(kind, 1);
  if (node == nullptr) return nullptr;
  SetChild(node, 0, a);
  return node;
}

ExprNode* NewBinaryNode(uint32_t kind, ExprNode* a, ExprNode* b) {
  ExprNode* node = NewNode(kind, 2);
  if (node == nullptr) return nullptr;
  SetChild(node, 0, a);
  SetChild(node, 1, b);
  return node;
}

ExprNode* NewTernaryNode(uint32_t kind, ExprNode* a, ExprNode* b, ExprNode* c) {
  ExprNode* node = NewNode(kind, 3);
  if (node == nullptr) return nullptr;
  SetChild(node, 0, a);
  SetChild(node, 1, b);
  SetChild(node, 2, c);
  return node;
}

ExprNode* BuildNode(uint32_t kind, ExprNode* const* operands, int n) {
  bool complete = true;
  for (int i = 0; i < n; ++i) complete = complete && operands[i] != nullptr;
  ExprNode* node = complete ? NewNode(kind, n) : nullptr;
  if (node == nullptr) {
    for (int i = 0; i < n; ++i) FreeExpression(operands[i]);
    return nullptr;
  }
  for (int i = 0; i < n; ++i) SetChild(node, i, operands[i]);
  return node;
}

ExprNode* NewNumberNode(double value) {
  ExprNode* node = NewNode(KindNum, 0);
  if (node == nullptr) return nullptr;
  NumberRecord* record = AllocNumberRecord();
  if (record == nullptr) {
    FreeNodeShell(node);
    ReportExhaustion();
    return nullptr;
  }
  node->value.number = record;
  SetNumberValue(node, value);
  return node;
}

ExprNode* NewSymbolNode(int16_t id) {
  ExprNode* node = NewNode(KindChar, 0);
  if (node == nullptr) return nullptr;
  node->value.symbol = id;
  if (EnsureNodeBox(node)) node->box->nameBreakFlag = 0;
  return node;
}

ExprNode* NewPromptNode() { return NewNode(KindPrompt, 0); }

ExprNode* NewStringNode(const char* text, size_t length) {
  ExprNode* node = NewNode(KindString, 0);
  if (node == nullptr) return nullptr;
  char* copy = AllocText(text, text != nullptr ? length : 0);
  if (copy == nullptr) {
    FreeNodeShell(node);
    ReportExhaustion();
    return nullptr;
  }
  node->text = copy;
  return node;
}

bool EnsureNodeBox(ExprNode* node) {
  if (node == nullptr) return false;
  if (node->box != nullptr) return true;
  void* block = PoolAlloc(gPools.boxes);
  if (block == nullptr) {
    ReportExhaustion();
    return false;
  }
  std::memset(block, 0, sizeof(TypesetBox));
  node->box = static_cast<TypesetBox*>(block);
  return true;
}

void SetNumberValue(ExprNode* node, double value) {
  if (node == nullptr || node->kind != KindNum || node->value.number == nullptr) return;
  node->value.number->value = value;
  SetNumberText(node, std::isnan(value) ? "NaN" : "", std::isnan(value) ? 3 : 0);
}

void SetNumberText(ExprNode* node, const char* text, size_t length) {
  if (node == nullptr || node->kind != KindNum || node->value.number == nullptr) return;
  NumberRecord* record = node->value.number;
  const size_t n = text != nullptr ? std::min(length, static_cast<size_t>(kNumberTextMax)) : 0;
  std::memset(record->text, 0, sizeof(record->text));
  if (n > 0) std::memcpy(record->text, text, n);
}

// ---- Copy and free -----------------------------------------------------------------------------

ExprNode* CopyExpression(const ExprNode* node) {
  if (node == nullptr) return nullptr;
  ExprNode* copy = CopyOrNull(node);
  if (copy != nullptr) return copy;
  ReportExhaustion();
  // After the trim the NaN stand-in usually fits; its own failure must not report twice.
  ExprNode* nan = AllocNodeShell();
  NumberRecord* record = nan != nullptr ? AllocNumberRecord() : nullptr;
  if (record == nullptr) {
    if (nan != nullptr) FreeNodeShell(nan);
    return nullptr;
  }
  nan->kind = KindNum;
  nan->value.number = record;
  SetNumberValue(nan, kUndefinedReal);
  return nan;
}

void FreeNodeValue(ExprNode* node) {
  if (node->arity == 0) {
    if (node->kind == KindString) {
      FreeMemory(node->text);
      node->text = nullptr;
    } else if (node->kind == KindNum) {
      if (node->value.number != nullptr) BlockPoolFree(gPools.numbers, node->value.number);
      node->value.raw = 0;
    }
    return;
  }
  FreeChildArray(node->children, node->arity);
  node->children = nullptr;
  node->arity = 0;
}

void FreeNode(ExprNode* node) {
  if (node == nullptr) return;
  FreeNodeValue(node);
  if (node->box != nullptr) BlockPoolFree(gPools.boxes, node->box);
  FreeNodeShell(node);
}

void FreeExpression(ExprNode* node) { FreeSubtree(node); }

void ReplaceExpression(ExprNode* source, ExprNode* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  // A source inside the destination is cut out first, or freeing the descendants would take it.
  if (source->parent != nullptr && IsInSubtree(source, destination)) {
    ExprNode* parent = source->parent;
    const int slot = SlotIn(parent, source);
    if (slot >= 0) parent->children[slot] = nullptr;
    source->parent = nullptr;
  }
  for (int i = 0; i < destination->arity; ++i) {
    FreeSubtree(destination->children[i]);
    destination->children[i] = nullptr;
  }
  MoveNodeInto(source, destination);
}

FormulaEditor* AllocFormulaEditor() {
  void* block = HeapAlloc(sizeof(FormulaEditor));
  if (block == nullptr) ReportExhaustion();
  return static_cast<FormulaEditor*>(block);
}

void FreeFormulaEditor(FormulaEditor* editor) { FreeMemory(editor); }

// ---- Structural edits --------------------------------------------------------------------------

bool SetChildCount(ExprNode* node, int n) {
  if (node == nullptr || n < 0 || !WithinOperandLimit(n)) return false;
  if (n == node->arity && n > 0) return true;  // nothing to move, so nothing may fail
  if (!ResizeChildArray(node, n)) {
    ReportExhaustion();
    return false;
  }
  return true;
}

void MoveNodeInto(ExprNode* source, ExprNode* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  // The destination's former children are let go, not freed; they no longer have a parent.
  for (int i = 0; i < destination->arity; ++i) {
    ExprNode* child = destination->children[i];
    if (child != nullptr && child != source && child->parent == destination) child->parent = nullptr;
  }
  FreeNodeValue(destination);
  destination->kind = source->kind;
  destination->value = source->value;
  destination->arity = source->arity;
  destination->children = source->children;  // or the string text: the same word
  for (int i = 0; i < destination->arity; ++i) {
    if (destination->children[i] != nullptr) destination->children[i]->parent = destination;
  }
  if (source->box != nullptr) BlockPoolFree(gPools.boxes, source->box);
  FreeNodeShell(source);
}

bool UnwrapNode(ExprNode* node) {
  if (node == nullptr || node->arity == 0 || node->children[0] == nullptr) return false;
  MoveNodeInto(node->children[0], node);
  return true;
}

bool RemoveChildSlot(ExprNode* node, int i) {
  if (node == nullptr || i < 0 || i >= node->arity) return false;
  ExprNode* removed = node->children[i];
  const int n = node->arity - 1;
  if (n >= 4) {
    // Large arrays shrink in place: nothing to allocate, nothing to fail.
    std::memmove(&node->children[i], &node->children[i + 1], sizeof(ExprNode*) * static_cast<size_t>(n - i));
    node->arity = static_cast<uint16_t>(n);
    RenumberSlots(node, i);
  } else {
    ExprNode** array;
    if (!AllocChildArray(n, &array)) {
      ReportExhaustion();
      return false;
    }
    for (int k = 0, j = 0; k <= n; ++k) {
      if (k != i) array[j++] = node->children[k];
    }
    FreeChildArray(node->children, node->arity);
    node->children = array;
    node->arity = static_cast<uint16_t>(n);
    RenumberSlots(node, i);
  }
  if (removed != nullptr) removed->parent = nullptr;
  return true;
}

ExprNode* RemoveOperand(ExprNode* node, int i) {
  if (node == nullptr || i < 0 || i >= node->arity) return nullptr;
  ExprNode* removed = node->children[i];
  if (node->arity == 2) {
    ExprNode* other = node->children[1 - i];
    if (other == nullptr) return nullptr;
    MoveNodeInto(other, node);
    if (removed != nullptr) removed->parent = nullptr;
    return removed;
  }
  return RemoveChildSlot(node, i) ? removed : nullptr;
}

bool RemoveOperandAndFree(ExprNode* node, int i) {
  if (node == nullptr || i < 0 || i >= node->arity) return false;
  ExprNode* removed = node->children[i];
  if (RemoveOperand(node, i) == nullptr && removed != nullptr) return false;
  FreeSubtree(removed);
  return true;
}

bool DeleteChildAt(ExprNode* node, int i) {
  if (node == nullptr || i < 0 || i >= node->arity) return false;
  ExprNode* removed = node->children[i];
  if (!RemoveChildSlot(node, i)) return false;
  FreeSubtree(removed);
  return true;
}

bool ShiftChildrenRight(ExprNode* node, int n) {
  if (node == nullptr || n < 1 || n > node->arity) return false;
  for (int k = n - 1; k > 0; --k) node->children[k] = node->children[k - 1];
  node->children[0] = nullptr;
  RenumberSlots(node, 1, n);
  return true;
}

ExprNode* MoveContentToNewNode(ExprNode* node, uint32_t kind, int n) {
  if (node == nullptr || n < 0 || !WithinOperandLimit(n)) return nullptr;
  ExprNode* inner = AllocNodeShell();
  ExprNode** array = nullptr;
  if (inner == nullptr || !AllocChildArray(n, &array)) {
    if (inner != nullptr) FreeNodeShell(inner);
    ReportExhaustion();
    return nullptr;
  }
  inner->kind = node->kind;
  inner->value = node->value;
  inner->arity = node->arity;
  inner->children = node->children;
  for (int i = 0; i < inner->arity; ++i) {
    if (inner->children[i] != nullptr) inner->children[i]->parent = inner;
  }
  node->kind = kind;
  node->value.raw = 0;
  node->arity = static_cast<uint16_t>(n);
  node->children = array;
  return inner;
}

bool WrapInUnary(ExprNode* node, uint32_t kind) {
  ExprNode* inner = MoveContentToNewNode(node, kind, 1);
  if (inner == nullptr) return false;
  SetChild(node, 0, inner);
  return true;
}

bool WrapInBinary(ExprNode* node, ExprNode* other, int i, uint32_t kind) {
  if (other == nullptr || (i != 0 && i != 1)) return false;
  ExprNode* inner = MoveContentToNewNode(node, kind, 2);
  if (inner == nullptr) return false;
  SetChild(node, i, other);
  SetChild(node, 1 - i, inner);
  return true;
}

bool NegateNode(ExprNode* node) { return WrapInUnary(node, KindMinus); }
bool DivideNodeBy(ExprNode* node, ExprNode* other) { return WrapInBinary(node, other, 1, KindOver); }
bool RaiseNodeTo(ExprNode* node, ExprNode* other) { return WrapInBinary(node, other, 1, KindPower); }
bool AddToNode(ExprNode* node, ExprNode* other) { return WrapInBinary(node, other, 1, KindPlus); }
bool AddNodeBefore(ExprNode* node, ExprNode* other) { return WrapInBinary(node, other, 0, KindPlus); }

bool InvertNode(ExprNode* node) {
  if (node == nullptr) return false;
  ExprNode* one = NewNumberNode(1.0);
  if (one == nullptr) return false;
  if (!WrapInBinary(node, one, 0, KindOver)) {
    FreeNode(one);
    return false;
  }
  return true;
}

bool AppendOperand(ExprNode* node, ExprNode* other, uint32_t kind) {
  if (node == nullptr || other == nullptr) return false;
  if (node->kind != kind) return WrapInBinary(node, other, 1, kind);
  return InsertOperand(node, node->arity, other);
}

bool AppendFactor(ExprNode* node, ExprNode* other) { return AppendOperand(node, other, KindTimes); }

bool PrependFactor(ExprNode* node, ExprNode* other) {
  if (node == nullptr || other == nullptr) return false;
  if (node->kind != KindTimes) return WrapInBinary(node, other, 0, KindTimes);
  return InsertOperand(node, 0, other);
}

bool InsertOperand(ExprNode* node, int index, ExprNode* other) {
  if (node == nullptr || other == nullptr || index < 0 || index > node->arity) return false;
  const int n = node->arity;
  if (!SetChildCount(node, n + 1)) return false;
  for (int k = n; k > index; --k) node->children[k] = node->children[k - 1];
  RenumberSlots(node, index + 1);
  SetChild(node, index, other);
  return true;
}

bool WrapInSubstitution(ExprNode* node, ExprNode* var, ExprNode* value) {
  if (node == nullptr || var == nullptr || value == nullptr) return false;
  ExprNode* varParent = var->parent;
  ExprNode* valueParent = value->parent;
  const uint16_t varSlot = var->slot;
  const uint16_t valueSlot = value->slot;
  ExprNode* equation = NewBinaryNode(KindEqual, var, value);
  if (equation == nullptr) return false;
  if (!WrapInBinary(node, equation, 1, KindSubstitution)) {
    var->parent = varParent;
    value->parent = valueParent;
    var->slot = varSlot;
    value->slot = valueSlot;
    FreeNode(equation);
    return false;
  }
  return true;
}

bool RemoveIdWrappers(ExprNode* node) {
  if (node == nullptr) return true;
  // Unwrapping keeps the node's identity, so the cursor simply continues into the new content.
  // An id of several operands (only malformed text makes one) is kept: unwrapping it would drop
  // all but its first operand.
  TreeCursor cursor(node, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    while (n->kind == KindId && n->arity == 1 && UnwrapNode(n)) {
    }
  }
  return true;
}

ExprNode* GroupSelectedRange() {
  FormulaEditor* editor;
  int lo, hi;
  if (!SelectedRange(editor, lo, hi)) return nullptr;
  ExprNode* caret = editor->caretNode;
  const int m = hi - lo + 1;
  const int n = caret->arity - m + 1;
  ExprNode* group = NewNode(caret->kind, m);
  if (group == nullptr) return nullptr;
  ExprNode** array;
  if (!AllocChildArray(n, &array)) {
    FreeNode(group);  // its slots are still empty
    ReportExhaustion();
    return nullptr;
  }
  for (int k = 0; k < m; ++k) SetChild(group, k, caret->children[lo + k]);
  for (int k = 0; k < lo; ++k) array[k] = caret->children[k];
  for (int k = hi + 1; k < caret->arity; ++k) array[k - m + 1] = caret->children[k];
  FreeChildArray(caret->children, caret->arity);
  caret->children = array;
  caret->arity = static_cast<uint16_t>(n);
  SetChild(caret, lo, group);
  RenumberSlots(caret, lo + 1);
  editor->caretNode = group;
  editor->selectionMode = SelectionCaretNode;
  return group;
}

ExprNode* CopySelectedOperands() {
  FormulaEditor* editor;
  int lo, hi;
  if (!SelectedRange(editor, lo, hi)) return nullptr;
  const ExprNode* caret = editor->caretNode;
  const int m = hi - lo + 1;
  ExprNode* group = NewNode(caret->kind, m);
  if (group == nullptr) return nullptr;
  for (int k = 0; k < m; ++k) {
    ExprNode* copy = CopyOrNull(caret->children[lo + k]);
    if (copy == nullptr) {
      FreeSubtree(group);
      ReportExhaustion();
      return nullptr;
    }
    SetChild(group, k, copy);
  }
  return group;
}

// ---- Traversal and queries ---------------------------------------------------------------------

TreeCursor::TreeCursor(ExprNode* root, WalkOrder order) : root_(root), node_(root), order_(order) { Settle(); }

void TreeCursor::Step() {
  ++gWalkWork;
  if (entering_) {
    const int first = NextFilledSlot(node_, 0);
    if (first >= 0) {
      node_ = node_->children[first];
      ++depth_;
    } else {
      entering_ = false;
    }
    return;
  }
  if (node_ == root_) {
    node_ = nullptr;
    return;
  }
  ExprNode* parent = node_->parent;
  const int slot = SlotIn(parent, node_);
  const int next = slot < 0 ? -1 : NextFilledSlot(parent, slot + 1);
  if (next >= 0) {
    node_ = parent->children[next];
    entering_ = true;
  } else {
    node_ = parent;
    --depth_;
  }
}

void TreeCursor::Settle() {
  const bool wantEntering = order_ == WalkOrder::kPreOrder;
  if (order_ == WalkOrder::kEnterAndLeave) return;
  while (node_ != nullptr && entering_ != wantEntering) Step();
}

ExprNode* TreeCursor::Next() {
  if (node_ != nullptr) {
    Step();
    Settle();
  }
  return node_;
}

ExprNode* TreeCursor::Pass() {
  if (node_ != nullptr) {
    entering_ = false;  // as if its children were done: the next move leaves the node
    Step();
    Settle();
  }
  return node_;
}

uint64_t TreeWalkWork() { return gWalkWork; }

int IndexInParent(const ExprNode* node) {
  if (node == nullptr || node->parent == nullptr) return -1;
  return SlotIn(node->parent, node);
}

bool IsChildAt(const ExprNode* node, int i) {
  if (node == nullptr || node->parent == nullptr || i < 0 || i >= node->parent->arity) return false;
  return node->parent->children[i] == node;
}

int CountSubtreeNodes(const ExprNode* node) {
  int count = 0;
  TreeCursor cursor(const_cast<ExprNode*>(node), WalkOrder::kPreOrder);
  for (; cursor.Current() != nullptr; cursor.Next()) ++count;
  return count;
}

bool IsNumberValue(const ExprNode* node, double v) {
  return node != nullptr && node->kind == KindNum && node->arity == 0 && node->value.number != nullptr &&
         node->value.number->value == v;
}

// Both trees in pre-order, in step: equal nodes have equal arities, so the walks stay aligned.
bool ExpressionsEqual(const ExprNode* a, const ExprNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  TreeCursor x(const_cast<ExprNode*>(a), WalkOrder::kPreOrder);
  TreeCursor y(const_cast<ExprNode*>(b), WalkOrder::kPreOrder);
  for (; x.Current() != nullptr; x.Next(), y.Next()) {
    if (y.Current() == nullptr || !SameNode(x.Current(), y.Current())) return false;
  }
  return y.Current() == nullptr;
}

bool SameShapeParameters(const ExprNode* p, const ExprNode* q) {
  switch (p->kind) {
    case KindMatrix:
    case KindIndexes: return p->value.halves.first == q->value.halves.first && p->value.halves.second == q->value.halves.second;
    case KindTensor: return p->value.tensorMask == q->value.tensorMask;
    case KindChem: return std::memcmp(p->value.chem, q->value.chem, sizeof p->value.chem) == 0;
    default: return true;
  }
}

bool ExpressionsAndShapesEqual(const ExprNode* a, const ExprNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  TreeCursor x(const_cast<ExprNode*>(a), WalkOrder::kPreOrder);
  TreeCursor y(const_cast<ExprNode*>(b), WalkOrder::kPreOrder);
  for (; x.Current() != nullptr; x.Next(), y.Next()) {
    const ExprNode* p = x.Current();
    const ExprNode* q = y.Current();
    if (q == nullptr || !SameNode(p, q) || !SameShapeParameters(p, q)) return false;
  }
  return y.Current() == nullptr;
}

const TypesetBox* GetNodeRect(const ExprNode* node, FixedRect* rect) {
  if (node == nullptr || node->box == nullptr) return nullptr;
  const TypesetBox* box = node->box;
  // 16.16 coordinates of a row tens of thousands of pixels long reach the int32 range: the edges
  // saturate there rather than wrap.
  auto clamped = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  rect->left = box->absoluteHorizontal;
  rect->right = clamped(int64_t{box->absoluteHorizontal} + box->width);
  rect->bottom = box->absoluteVertical;
  rect->top = clamped(int64_t{box->absoluteVertical} - (int64_t{box->descent} + box->ascent));
  return box;
}

bool SelectionRangeIsVisible(const FormulaEditor& editor) {
  switch (editor.selectionMode) {
    case SelectionChildRange:
    case SelectionOperator:
    case SelectionMatrixBlock:
      return true;
    case SelectionText:
    case SelectionDigits:
      return editor.selectionStart != editor.selectionEnd;
    default:
      return false;
  }
}

bool SelectionIsDrawable() {
  const TypesettingState& state = TypesettingGlobals();
  const FormulaEditor* editor = state.currentEditor;
  if (editor == nullptr) return false;
  if (editor->selectionMode != SelectionCaretNode) return SelectionRangeIsVisible(*editor);
  // A selected prompt shows the caret instead while the prompt-caret switch is on.
  const ExprNode* caret = editor->caretNode;
  return !(caret != nullptr && caret->kind == KindPrompt && state.promptCaretPending);
}

bool CheckExpressionTree(const ExprNode* root, const char** message) {
  const char* dummy;
  const char** why = message != nullptr ? message : &dummy;
  *why = "";
  if (root == nullptr) return true;
  TreeCursor cursor(const_cast<ExprNode*>(root), WalkOrder::kPreOrder);
  for (const ExprNode* n = root; n != nullptr; n = cursor.Next()) {
    if (n->arity > kMaxArity) {
      *why = "arity above the operand limit";
      return false;
    }
    if (n->arity > 0 && HasTextOrRecord(n->kind)) {
      *why = "num or string node with children";
      return false;
    }
    if (n->kind == KindNum && n->value.number == nullptr) {
      *why = "num node without its number record";
      return false;
    }
    if (n->arity > 0 && n->children == nullptr) {
      *why = "arity without a child array";
      return false;
    }
    for (int i = 0; i < n->arity; ++i) {
      if (n->children[i] == nullptr) {
        *why = "unfilled child slot";
        return false;
      }
      if (n->children[i]->parent != n) {
        *why = "child whose parent link names another node";
        return false;
      }
      if (n->children[i]->slot != i) {
        *why = "child whose slot field names another place";
        return false;
      }
    }
  }
  return true;
}
