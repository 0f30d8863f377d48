// Compiles expression trees into stack-machine codes (one enter-and-leave walk, no recursion).
// Invariants: the batch record is the only process-wide state and is replaced wholesale for a
// nested (binding) or batch-less compile; an active sum index is visible only inside that sum's
// term and shadows every other meaning of its name there (including i and e); derived
// coordinates are computed in a prologue so that their slots are stored on every path.
#include "kernel/eval/bytecode_compiler.h"

#include <cmath>
#include <cstring>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/expr_node.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/bound_names.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int kMaxSumNesting = 32;

// Derived coordinates in slot order 7..10.
enum Derived { kDerivedR = 0, kDerivedRho = 1, kDerivedTheta = 2, kDerivedPhi = 3 };

// Process-wide compile batch: the loop-index records (two slots each from 11 up), the number of
// functions compiled so far and which derived coordinates the batch already computes.
struct CompileBatch {
  bool open = false;
  int32_t loopRecords = 0;  // slots reserved from 11 up
  int32_t functionCounter = 0;
  bool derived[4] = {false, false, false, false};
};
CompileBatch gBatch;

// One bounded sum being compiled: its node, index expression and first slot. The index becomes
// visible when the sum's term starts.
struct SumScope {
  const ExprNode* sum;
  const ExprNode* index;
  int32_t slot;
  bool active;
};

struct CompileWalk {
  CompiledCode* code;
  ExprNode* root;
  CompiledFunction* owner;
  BindingTable* table;
  bool unsound;  // the program cannot be run soundly: becomes [PushConstant NaN, End]
  bool prologue[4];
  SumScope scopes[kMaxSumNesting];
  int scopeCount;
  const uint8_t* bindable;  // by pre-order position: the node may be bound (MarkBindableSubtrees)
};

inline uint32_t Kind(const ExprNode* n) { return n->kind; }
inline ExprNode* Child(const ExprNode* n, int i) { return n->children[i]; }
inline int32_t SymbolOf(const ExprNode* n) { return n->value.symbol; }
inline double NumberOf(const ExprNode* n) { return n->value.number != nullptr ? n->value.number->value : kUndefinedReal; }

// The parent inside the tree being compiled: none above the root, so that a binding's sub-tree
// compiles as if it stood alone.
inline ExprNode* ParentIn(const CompileWalk& w, const ExprNode* n) { return n == w.root ? nullptr : n->parent; }

inline bool IsChar(const ExprNode* n, int32_t id) { return Kind(n) == KindChar && SymbolOf(n) == id; }
inline bool IsNumber(const ExprNode* n, double v) { return Kind(n) == KindNum && NumberOf(n) == v; }

// A bounded sum of the shape the compiler runs: (equal(index, start), end, term).
bool IsLoopSum(const ExprNode* n) {
  return Kind(n) == KindBoundedSum && n->arity == 3 && Kind(Child(n, 0)) == KindEqual && Child(n, 0)->arity == 2;
}

// The scope whose index the node is, innermost first; null when none.
const SumScope* ActiveIndexScope(const CompileWalk& w, const ExprNode* node) {
  for (int s = w.scopeCount - 1; s >= 0; --s) {
    if (w.scopes[s].active && ExpressionsAndShapesEqual(node, w.scopes[s].index)) return &w.scopes[s];
  }
  return nullptr;
}

// The constant e: the char e unless a sum index of that name shadows it.
bool IsConstantE(const CompileWalk& w, const ExprNode* n) { return IsChar(n, 'e') && ActiveIndexScope(w, n) == nullptr; }

bool IsSquareExponent(const CompileWalk& w, const ExprNode* n) {
  const ExprNode* p = ParentIn(w, n);
  return p != nullptr && Kind(p) == KindPower && p->arity == 2 && Child(p, 1) == n && IsNumber(n, 2.0);
}

bool IsIndexesPart(const CompileWalk& w, const ExprNode* n) {
  const ExprNode* p = ParentIn(w, n);
  return p != nullptr && Kind(p) == KindIndexes;
}

// An over that is the exponent of a power whose base is not e, directly or under a unary minus.
bool IsRationalExponentPart(const CompileWalk& w, const ExprNode* n) {
  if (Kind(n) != KindOver) return false;
  const ExprNode* p = ParentIn(w, n);
  if (p == nullptr) return false;
  if (Kind(p) == KindMinus) {
    const ExprNode* g = ParentIn(w, p);
    if (g == nullptr) return false;
    n = p;
    p = g;
  }
  return Kind(p) == KindPower && p->arity == 2 && Child(p, 1) == n && !IsConstantE(w, Child(p, 0));
}

bool IsBranchClause(const CompileWalk& w, const ExprNode* n) {
  const ExprNode* p = ParentIn(w, n);
  return p != nullptr && Kind(p) == KindBranch;
}

bool IsBindableNode(const CompileWalk& w, const ExprNode* n) {
  if (Kind(n) == KindNum || Kind(n) == KindIf || IsBranchClause(w, n)) return false;
  if (IsRationalExponentPart(w, n)) return false;
  if (Kind(n) == KindMinus && n->arity == 1 && Kind(Child(n, 0)) == KindOver) {
    const ExprNode* p = ParentIn(w, n);
    if (p != nullptr && Kind(p) == KindPower) return false;
  }
  if (Kind(n) == KindChar && IsIndexesPart(w, n)) return false;
  return true;
}

// The term of a loop sum inside the tree being compiled: its index's scope (its start and end
// are outside it).
bool IsLoopTerm(const CompileWalk& w, const ExprNode* n) {
  const ExprNode* p = ParentIn(w, n);
  return p != nullptr && IsLoopSum(p) && Child(p, ScopedOperand(p)) == n;
}

// The index variable of a loop sum: operand 0 of its index equation.
bool IsLoopIndex(const CompileWalk& w, const ExprNode* n) {
  const ExprNode* equation = ParentIn(w, n);
  if (equation == nullptr || Kind(equation) != KindEqual || Child(equation, 0) != n) return false;
  const ExprNode* sum = ParentIn(w, equation);
  return sum != nullptr && IsLoopSum(sum) && Child(sum, 0) == equation;
}

// Which nodes may be bound, decided for the whole tree in one walk: a node qualifies when every
// node under it passes the classifier with it as root (AllowedUnderScan) and none of them is the
// index of a loop sum whose term holds it (that index varies inside). One byte a node in pre-order
// into `marks`, which `open` (one record a level) helps to fill. Nodes under more nested loop sums
// than the compiler runs never qualify; the walk will find the tree unsound anyway.
void MarkBindableSubtrees(CompileWalk& w, uint8_t* marks, int32_t (*open)[2]) {
  struct Term {
    const ExprNode* index;
    int depth;  // of its sum
  } terms[kMaxSumNesting];
  int termCount = 0;
  int termsLost = 0;
  int32_t position = 0;
  AllowedUnderScan scan(w.root);
  TreeCursor cursor(w.root, WalkOrder::kEnterAndLeave);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    const int depth = cursor.Depth();
    if (cursor.Entering()) {
      if (IsLoopTerm(w, n)) {
        if (termsLost > 0 || termCount == kMaxSumNesting) {
          ++termsLost;
        } else {
          terms[termCount++] = Term{Child(Child(n->parent, 0), 0), depth - 1};
        }
      }
      // open[d]: the pre-order position of the path's node at depth d, and the least limit of
      // its subtree so far (it qualifies when that limit stays above d).
      int32_t limit = scan.Enter(n, depth);
      if (termsLost > 0) limit = 0;
      for (int t = 0; t < termCount; ++t) {
        if (ExpressionsAndShapesEqual(n, terms[t].index)) {  // the outermost matching sum decides
          if (terms[t].depth + 1 < limit) limit = terms[t].depth + 1;
          break;
        }
      }
      open[depth][0] = position++;
      open[depth][1] = limit;
      continue;
    }
    const int32_t limit = open[depth][1];
    marks[open[depth][0]] = limit > depth ? 1 : 0;
    if (depth > 0 && limit < open[depth - 1][1]) open[depth - 1][1] = limit;
    scan.Leave(n);
    if (IsLoopTerm(w, n)) {
      if (termsLost > 0) {
        --termsLost;
      } else {
        --termCount;
      }
    }
  }
}

// True when the node becomes one OpPushBinding: a constant, bindable sub-tree that is not a lone
// parameter or constant symbol and does not mention an active sum index.
bool WillBind(const CompileWalk& w, const ExprNode* n, int32_t position) {
  if (w.bindable == nullptr || w.bindable[position] == 0) return false;
  if (Kind(n) == KindChar) {
    const int32_t id = SymbolOf(n);
    if ((ParameterLetter() != 0 && id == ParameterLetter()) || IsConstantSymbol(id)) return false;
  }
  return IsBindableNode(w, n);
}

// The first slot of a sum's index (FindLoopIndexSlot): the scope opened for that very sum.
int32_t FindLoopIndexSlot(const CompileWalk& w, const ExprNode* sum) {
  for (int s = w.scopeCount - 1; s >= 0; --s) {
    if (w.scopes[s].sum == sum) return w.scopes[s].slot;
  }
  return -1;
}

void Emit(CompileWalk& w, uint32_t op) { EmitOp(w.code, op); }
void EmitK(CompileWalk& w, uint32_t op, int32_t k) { EmitOpWithOperand(w.code, op, k); }
void EmitC(CompileWalk& w, double c) { EmitConstant(w.code, OpPushConstant, c); }

// A derived coordinate: the first use in the batch makes this code compute it in its prologue;
// every use loads the slot.
void EmitDerived(CompileWalk& w, Derived which) {
  if (!gBatch.derived[which]) {
    gBatch.derived[which] = true;
    w.prologue[which] = true;
    if (which == kDerivedPhi && !gBatch.derived[kDerivedR]) {
      gBatch.derived[kDerivedR] = true;
      w.prologue[kDerivedR] = true;
    }
  }
  EmitK(w, OpLoadSlot, static_cast<int32_t>(kSlotR) + static_cast<int32_t>(which));
}

void EmitPolarR(CompileWalk& w) { EmitDerived(w, kDerivedR); }
void EmitSphericalRho(CompileWalk& w) { EmitDerived(w, kDerivedRho); }
void EmitTheta(CompileWalk& w) { EmitDerived(w, kDerivedTheta); }
void EmitPhi(CompileWalk& w) { EmitDerived(w, kDerivedPhi); }

// Prologue instructions: r, rho, theta, then phi (which reads r).
void InsertPrologue(CompileWalk& w) {
  BytecodeInstruction items[24];
  int n = 0;
  auto add = [&](uint32_t op, int32_t k) {
    items[n] = BytecodeInstruction{};
    items[n].op = op;
    items[n].i.k = k;
    ++n;
  };
  if (w.prologue[kDerivedR]) {
    add(OpLoadSlot, kSlotX), add(OpLoadSlot, kSlotY), add(OpHypot, 0), add(OpStorePop, kSlotR);
  }
  if (w.prologue[kDerivedRho]) {
    add(OpLoadSlot, kSlotX), add(OpLoadSlot, kSlotY), add(OpHypot, 0), add(OpLoadSlot, kSlotZ), add(OpHypot, 0);
    add(OpStorePop, kSlotRho);
  }
  if (w.prologue[kDerivedTheta]) {
    add(OpLoadSlot, kSlotX), add(OpLoadSlot, kSlotY), add(OpAtan2Positive, 0), add(OpStorePop, kSlotTheta);
  }
  if (w.prologue[kDerivedPhi]) {
    add(OpLoadSlot, kSlotZ), add(OpLoadSlot, kSlotR), add(OpAtan2Positive, 0), add(OpStorePop, kSlotPhi);
  }
  if (n == 0) return;
  // When the body starts by loading the slot just stored, store and keep the value instead:
  // a lone derived coordinate then reads as its first-use form (..., StoreSlot k).
  BytecodeInstruction* body = w.code->instructions;
  if (w.code->count > 0 && body[0].op == OpLoadSlot && body[0].i.k == items[n - 1].i.k) {
    body[0] = items[n - 1];
    body[0].op = OpStoreSlot;
    body[0].dispatch = OpStoreSlot;
    if (n == 1 || InsertInstructions(w.code, 0, items, n - 1)) w.code->prologueLength = n;
    return;
  }
  if (InsertInstructions(w.code, 0, items, n)) w.code->prologueLength = n;
}

// A sum, product, min, max, conjunction or disjunction wider than this folds each operand into the
// running value as soon as it is pushed: pushing every operand first would need a value slot an
// operand, and the value stack holds 199. Narrower nodes keep the plain order (the operands, then
// n - 1 instructions), which the listings and their goldens show.
constexpr int kFoldAsYouGoArity = 32;

// The instruction that folds two operands of a node of the kind; 0 for other kinds.
uint32_t FoldingOp(uint32_t kind) {
  switch (kind) {
    case KindPlus: return OpAdd;
    case KindTimes: return OpMultiply;
    case KindMin: return OpMin;
    case KindMax: return OpMax;
    case KindWedge: return OpAnd;
    case KindVee: return OpOr;
    default: return 0;
  }
}

bool FoldsAsItGoes(const ExprNode* n) { return n->arity > kFoldAsYouGoArity && FoldingOp(Kind(n)) != 0; }

void EmitRepeated(CompileWalk& w, uint32_t op, const ExprNode* n) {
  if (n->arity == 0) {
    w.unsound = true;
    return;
  }
  if (FoldsAsItGoes(n)) return;  // folded after each operand (LeaveNode)
  for (int i = 1; i < n->arity; ++i) Emit(w, op);
}

void EmitChar(CompileWalk& w, const ExprNode* n) {
  if (IsIndexesPart(w, n)) return;  // the indexes node pushes the whole name
  const int32_t id = SymbolOf(n);
  switch (id) {
    case 'u': EmitK(w, OpLoadSlot, kSlotU); return;
    case 'v': EmitK(w, OpLoadSlot, kSlotV); return;
    case 'x': EmitK(w, OpLoadSlot, kSlotX); return;
    case 'y': EmitK(w, OpLoadSlot, kSlotY); return;
    case 'z': EmitK(w, OpLoadSlot, kSlotZ); return;
    case 'w': EmitK(w, OpLoadSlot, kSlotW); return;
    default: break;
  }
  if (ParameterLetter() != 0 && id == ParameterLetter()) {
    EmitK(w, OpLoadSlot, kSlotParameter);
    return;
  }
  switch (id) {
    case 'r': EmitPolarR(w); return;
    case SymRho: EmitSphericalRho(w); return;
    case SymTheta: EmitTheta(w); return;
    case SymPhi: EmitPhi(w); return;
    case SymPi: EmitC(w, kPi); return;
    case SymInf: EmitC(w, kPositiveInfinity); return;
    case SymDegree: EmitC(w, kPi / 180); return;
    case 'i': Emit(w, OpPushI); return;
    case 'e': {
      const ExprNode* p = ParentIn(w, n);
      if (p != nullptr && Kind(p) == KindPower && p->arity == 2 && Child(p, 0) == n && !IsNumber(Child(p, 1), 2.0)) return;
      EmitC(w, kE);
      return;
    }
    default: EmitK(w, OpPushDefinedName, id); return;
  }
}

void EmitPower(CompileWalk& w, const ExprNode* n) {
  if (n->arity != 2) {
    w.unsound = true;
    return;
  }
  const ExprNode* base = Child(n, 0);
  const ExprNode* exponent = Child(n, 1);
  if (IsNumber(exponent, 2.0)) {
    Emit(w, OpSquare);
  } else if (IsConstantE(w, base)) {
    Emit(w, OpExp);
  } else if (Kind(exponent) == KindOver ||
             (Kind(exponent) == KindMinus && exponent->arity == 1 && Kind(Child(exponent, 0)) == KindOver)) {
    Emit(w, OpRationalPower);
  } else {
    Emit(w, OpPower);
  }
}

// Instructions of one node, after its children's.
void EmitNodeInstructions(CompileWalk& w, const ExprNode* n) {
  const uint32_t k = Kind(n);
  if (k >= KindSin && k <= KindAsech) {
    Emit(w, OpSin + (k - KindSin));
    return;
  }
  switch (k) {
    case KindNum:
      if (IsSquareExponent(w, n) || IsIndexesPart(w, n)) return;
      EmitC(w, NumberOf(n));
      return;
    case KindChar: EmitChar(w, n); return;
    case KindIndexes: {
      // Only a subscript names a defined value; an index list of another shape is no name.
      if (n->arity != 2 || n->value.halves.first != 0 || Kind(Child(n, 0)) != KindChar || Kind(Child(n, 1)) != KindNum) {
        w.unsound = true;
        return;
      }
      const double subscript = NumberOf(Child(n, 1));
      EmitK(w, OpPushDefinedName, DefinedNameKey(SymbolOf(Child(n, 0)), &subscript));
      return;
    }
    case KindPlus: EmitRepeated(w, OpAdd, n); return;
    case KindTimes: EmitRepeated(w, OpMultiply, n); return;
    case KindMin: EmitRepeated(w, OpMin, n); return;
    case KindMax: EmitRepeated(w, OpMax, n); return;
    // A conjunction or disjunction of three or more conditions folds every operand (n - 1
    // instructions): one instruction, right for two, would combine the last two only and leave
    // the first unjudged on the stack.
    case KindWedge: EmitRepeated(w, OpAnd, n); return;
    case KindVee: EmitRepeated(w, OpOr, n); return;
    case KindMinus: Emit(w, OpNegate); return;
    case KindOver:
      if (!IsRationalExponentPart(w, n)) Emit(w, OpDivide);
      return;
    case KindPower: EmitPower(w, n); return;
    case KindSn:
      EmitC(w, 10.0);
      Emit(w, OpSwap);
      Emit(w, OpPower);
      Emit(w, OpMultiply);
      return;
    case KindSqrt:
      if (n->arity == 2) {
        EmitC(w, 1.0);
        Emit(w, OpSwap);
        Emit(w, OpRationalPower);
      } else {
        Emit(w, OpSqrt);
      }
      return;
    case KindLog:
      if (n->arity == 2) {
        Emit(w, OpLn);
        Emit(w, OpSwap);
        Emit(w, OpLn);
        Emit(w, OpSwap);
        Emit(w, OpDivide);
      } else {
        Emit(w, OpLog10);
      }
      return;
    case KindLn: Emit(w, OpLn); return;
    case KindExp: Emit(w, OpExp); return;
    case KindAbs: Emit(w, OpAbs); return;
    case KindSgn: Emit(w, OpSign); return;
    case KindFloor: Emit(w, OpFloor); return;
    case KindCeil: Emit(w, OpCeil); return;
    case KindFact: Emit(w, OpFactorial); return;
    case KindBesselj: Emit(w, OpBesselJ); return;
    case KindInterval: Emit(w, OpMakeInterval); return;
    case KindMod: Emit(w, OpMod); return;
    case KindClamp: Emit(w, OpClamp); return;
    case KindArg: Emit(w, OpArg); return;
    case KindRe:
    case KindReal: Emit(w, OpRealPart); return;
    case KindIm:
    case KindImag: Emit(w, OpImagPart); return;
    case KindLessthan: EmitK(w, OpLessChain, n->arity); return;
    case KindGreaterthan: EmitK(w, OpGreaterChain, n->arity); return;
    case KindLeq: EmitK(w, OpLessEqualChain, n->arity); return;
    case KindGeq: EmitK(w, OpGreaterEqualChain, n->arity); return;
    case KindEqual: {
      const ExprNode* p = ParentIn(w, n);
      if (p != nullptr && IsLoopSum(p) && Child(p, 0) == n) {
        EmitK(w, OpStorePop, FindLoopIndexSlot(w, p));
      } else {
        EmitK(w, OpEqualChain, n->arity);
      }
      return;
    }
    case KindIf:
      w.code->hasConditionals = 1;
      if (!IsBranchClause(w, n)) Emit(w, OpIf);
      return;
    case KindBranch:
      w.code->hasConditionals = 1;
      EmitK(w, OpBranch, n->arity);
      return;
    case KindFunction:
    case KindOptotal:
    case KindOppartial: Emit(w, OpAbort); return;
    case KindAngleOfPoint: Emit(w, OpAtan2Positive); return;
    case KindBoundedSum: {
      const int32_t slot = FindLoopIndexSlot(w, n);
      if (!IsLoopSum(n) || slot < 0) {
        w.unsound = true;
        return;
      }
      Emit(w, OpAdd);
      EmitK(w, OpLoopIncrement, slot);
      EmitK(w, OpLoopBack, slot);
      --w.scopeCount;  // the sum's scope is the innermost one
      return;
    }
    default: return;
  }
}

// An sn node of two plain numbers: one constant, the exact value the number pass split it from.
bool IsScientificNumber(const ExprNode* n) {
  return Kind(n) == KindSn && n->arity == 2 && Kind(Child(n, 0)) == KindNum && Kind(Child(n, 1)) == KindNum;
}

// Work on the way down, before the node's children (NextNodeToCompile). True when the node's
// whole subtree is already emitted (bound, a sum index, a folded number, or the walk gave up):
// its children are then walked over without emitting anything.
bool EnterNode(CompileWalk& w, const ExprNode* n, int32_t position) {
  const ExprNode* parent = ParentIn(w, n);
  if (IsLoopTerm(w, n)) {
    const int32_t slot = FindLoopIndexSlot(w, parent);
    EmitK(w, OpStorePop, slot + 1);
    EmitK(w, OpLoopTest, slot);
    w.scopes[w.scopeCount - 1].active = true;
  }
  const bool bind = WillBind(w, n, position);
  if (IsLoopSum(n) && !bind) {
    EmitC(w, 0.0);  // the sum's accumulator
  } else if (Kind(n) == KindEqual && parent != nullptr && IsLoopSum(parent) && Child(parent, 0) == n) {
    if (w.scopeCount == kMaxSumNesting) {
      w.unsound = true;
      return true;
    }
    const int32_t slot = kFixedSlotCount + gBatch.loopRecords;
    gBatch.loopRecords += 2;
    w.scopes[w.scopeCount++] = SumScope{parent, Child(n, 0), slot, false};
    return false;  // the start value follows; the index itself emits nothing (IsLoopIndex)
  }
  if (const SumScope* scope = ActiveIndexScope(w, n)) {
    EmitK(w, OpLoadSlot, scope->slot);
    return true;
  }
  if (bind) {
    const int32_t index = AddBinding(w.table, const_cast<ExprNode*>(n));
    if (index < 0) {
      w.code->failed = 1;
    } else {
      EmitK(w, OpPushBinding, index);
    }
    return true;
  }
  if (IsScientificNumber(n)) {
    EmitC(w, ScientificValue(NumberOf(Child(n, 0)), NumberOf(Child(n, 1))));
    return true;
  }
  return false;
}

// Work on the way up, after the node's children.
void LeaveNode(CompileWalk& w, const ExprNode* n, bool emitted) {
  if (!emitted) EmitNodeInstructions(w, n);
  // A plain clause of a branch is a value whose condition is true.
  const ExprNode* parent = ParentIn(w, n);
  if (parent != nullptr && Kind(parent) == KindBranch && Kind(n) != KindIf) EmitC(w, 1.0);
  if (parent != nullptr && Child(parent, 0) != n && FoldsAsItGoes(parent)) Emit(w, FoldingOp(Kind(parent)));
}

// The bindable marks first (only when there is a table to bind into), then one walk that emits
// on the way down and up. Linear in the tree's size whatever its shape.
void WalkTree(CompileWalk& w) {
  void* marksBlock = nullptr;
  if (w.table != nullptr) {
    int32_t count = 0;
    int maxDepth = 0;
    for (TreeCursor c(w.root, WalkOrder::kPreOrder); c.Current() != nullptr; c.Next()) {
      ++count;
      if (c.Depth() > maxDepth) maxDepth = c.Depth();
    }
    const size_t openBytes = sizeof(int32_t[2]) * (static_cast<size_t>(maxDepth) + 1);
    marksBlock = AllocMemory(openBytes + static_cast<size_t>(count));
    if (marksBlock == nullptr) {
      w.code->failed = 1;
      return;
    }
    auto* marks = static_cast<uint8_t*>(marksBlock) + openBytes;
    MarkBindableSubtrees(w, marks, static_cast<int32_t(*)[2]>(marksBlock));
    w.bindable = marks;
  }
  int32_t position = 0;           // pre-order position of the next node entered
  const ExprNode* quiet = nullptr;  // a finished subtree being walked over
  bool quietLeaves = false;         // its root still gets its leaving work (a sum index gets none)
  TreeCursor cursor(w.root, WalkOrder::kEnterAndLeave);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (w.code->failed || w.unsound) break;
    if (cursor.Entering()) {
      const int32_t at = position++;
      if (quiet != nullptr) continue;
      if (IsLoopIndex(w, n)) {
        quiet = n;
        quietLeaves = false;
      } else if (EnterNode(w, n, at)) {
        quiet = n;
        quietLeaves = true;
      }
      continue;
    }
    const bool finished = quiet == n;
    if (quiet != nullptr && !finished) continue;
    quiet = nullptr;
    if (finished && !quietLeaves) continue;
    LeaveNode(w, n, finished);
  }
  w.bindable = nullptr;
  FreeMemory(marksBlock);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Binding tables.

BindingTable* NewBindingTable() {
  auto* table = static_cast<BindingTable*>(AllocMemory(sizeof(BindingTable)));
  if (table != nullptr) std::memset(static_cast<void*>(table), 0, sizeof(BindingTable));
  return table;
}

void ClearBindingTable(BindingTable* table) {
  if (table == nullptr) return;
  for (int32_t k = 0; k < table->count; ++k) FreeCompiledCode(table->entries[k].code);
  table->count = 0;
  table->gaveUp = 0;
}

void FreeBindingTable(BindingTable* table) {
  if (table == nullptr) return;
  ClearBindingTable(table);
  FreeMemory(table->entries);
  FreeMemory(table->values);
  FreeMemory(table);
}

int32_t AddBinding(BindingTable* table, ExprNode* expression) {
  for (int32_t k = 0; k < table->count; ++k) {
    if (ExpressionsAndShapesEqual(table->entries[k].expression, expression)) return k;
  }
  if (table->count == table->capacity) {
    const int32_t capacity = table->capacity < 4 ? 4 : table->capacity * 2;
    auto* entries = static_cast<BindingEntry*>(AllocMemory(static_cast<size_t>(capacity) * sizeof(BindingEntry)));
    auto* values = static_cast<Complex*>(AllocMemory(static_cast<size_t>(capacity) * sizeof(Complex)));
    if (entries == nullptr || values == nullptr) {
      FreeMemory(entries);
      FreeMemory(values);
      return -1;
    }
    if (table->count > 0) {
      std::memcpy(entries, table->entries, static_cast<size_t>(table->count) * sizeof(BindingEntry));
      std::memcpy(values, table->values, static_cast<size_t>(table->count) * sizeof(Complex));
    }
    FreeMemory(table->entries);
    FreeMemory(table->values);
    table->entries = entries;
    table->values = values;
    table->capacity = capacity;
  }
  const double nan = kUndefinedReal;
  table->entries[table->count] = BindingEntry{expression, nullptr};
  table->values[table->count] = Complex{nan, nan};
  return table->count++;
}

// ---------------------------------------------------------------------------------------------
// Batches.

void BeginCompileBatch() {
  gBatch = CompileBatch{};
  gBatch.open = true;
}

int32_t AssignSharedSlots() {
  const int32_t slots = kFixedSlotCount + gBatch.loopRecords;
  gBatch = CompileBatch{};
  return slots;
}

bool CompileBatchIsOpen() { return gBatch.open; }

bool HasNestedSameIndexSum(const ExprNode* tree) {
  // For each loop sum, a loop sum of the same index up to `tree` whose term holds it; one in a
  // start or an end runs before that index exists.
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (!IsLoopSum(n) || n == tree) continue;
    const ExprNode* index = Child(Child(n, 0), 0);
    for (const ExprNode *from = n, *a = n->parent; a != nullptr; from = a, a = a == tree ? nullptr : a->parent) {
      if (IsLoopSum(a) && Child(a, ScopedOperand(a)) == from && ExpressionsAndShapesEqual(Child(Child(a, 0), 0), index)) {
        return true;
      }
    }
  }
  return false;
}

int32_t DefinedNameKey(int32_t symbolId, const double* subscript) {
  if (subscript == nullptr) return symbolId;
  double s = *subscript;
  if (s != s) return symbolId;
  if (s > 1 << 20) s = 1 << 20;
  if (s < -(1 << 20)) s = -(1 << 20);
  return symbolId + (static_cast<int32_t>(std::trunc(s)) + 1) * 256;
}

int32_t CompileExpression(CompiledCode* code, ExprNode* tree, CompiledFunction* owner, bool nested) {
  CompiledFunction* keepOwner = owner;
  ResetCompiledCode(code);
  code->owner = keepOwner;
  // A nested or batch-less compile runs in a batch of its own; the open batch is put aside.
  const bool ownBatch = nested || !gBatch.open;
  const CompileBatch saved = gBatch;
  if (ownBatch) BeginCompileBatch();

  CompileWalk w{};
  w.code = code;
  w.root = tree;
  w.owner = owner;
  w.table = owner != nullptr ? owner->bindings : nullptr;
  if (tree == nullptr) {
    w.unsound = true;
  } else if (HasNestedSameIndexSum(tree)) {
    EmitC(w, kUndefinedReal);
  } else {
    WalkTree(w);
    if (!code->failed && !w.unsound) InsertPrologue(w);
  }
  code->slotCount = kFixedSlotCount + gBatch.loopRecords;
  EmitOp(code, OpEnd);
  if (code->failed) {
    MakeEndOnlyCode(code);
    PostError(kErrorOutOfMemory);
  } else {
    ResolveJumpLabels(code);
    if (w.unsound || !code->verified) MakeUndefinedCode(code);
  }
  if (!nested && gBatch.open && !ownBatch) ++gBatch.functionCounter;
  if (ownBatch) gBatch = saved;
  return code->slotCount;
}

namespace {

// The placeholder id that stands for a shadowed i while the tree is asked about complex numbers:
// a control character, never a name a char node holds.
constexpr int16_t kShadowedUnit = 1;

// True when the char node is a bounded sum's index variable itself, or lies in the term of a
// bounded sum whose index is the same char.
bool IsShadowedBySumIndex(const ExprNode* node, const ExprNode* tree) {
  if (node != tree) {
    const ExprNode* equal = node->parent;
    if (Kind(equal) == KindEqual && Child(equal, 0) == node && equal != tree && IsLoopSum(equal->parent) &&
        Child(equal->parent, 0) == equal) {
      return true;
    }
  }
  const ExprNode* child = node;
  for (const ExprNode* a = node == tree ? nullptr : node->parent; a != nullptr; a = a == tree ? nullptr : a->parent) {
    if (IsLoopSum(a) && Child(a, ScopedOperand(a)) == child && ExpressionsAndShapesEqual(Child(Child(a, 0), 0), node)) {
      return true;
    }
    child = a;
  }
  return false;
}

}  // namespace

bool UsesComplexNumbersOutsideSumIndexes(ExprNode* tree) {
  if (tree == nullptr) return false;
  // Find the shadowed i's first (renaming while deciding would hide the sums' indexes), then
  // ask the tree with them renamed, and put them back.
  constexpr int kMaxShadowed = 64;
  ExprNode* shadowed[kMaxShadowed];
  int count = 0;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = tree; n != nullptr; n = cursor.Next()) {
    if (Kind(n) != KindChar || n->value.symbol != 'i' || !IsShadowedBySumIndex(n, tree)) continue;
    if (count == kMaxShadowed) return UsesComplexNumbers(tree);  // too many to track: the plain answer
    shadowed[count++] = n;
  }
  for (int k = 0; k < count; ++k) shadowed[k]->value.symbol = kShadowedUnit;
  const bool complex = UsesComplexNumbers(tree);
  for (int k = 0; k < count; ++k) shadowed[k]->value.symbol = 'i';
  return complex;
}
