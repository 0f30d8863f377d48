// Compiled functions: construction, batch and shared compiles (which size the scratch), grid
// contexts, the evaluation entry points, the numeric value of a node and the small tree services.
// Invariants: an entry point never writes a slot the scratch (or context table) does not hold;
// a null or refused code evaluates to NaN with error 7; contexts own their tables.
#include "kernel/eval/compiled_function.h"

#include "kernel/eval/evaluation_budget.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "kernel/memory/memory_shortage.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/block_interpreter.h"
#include "kernel/eval/block_plan.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/expr_node.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_builders.h"

namespace {

// The most work a graph's derivative may take, in units of tree-walk work: a fixed allowance and
// a share for each node of the function. The derivative of a 195-node formula takes some 8,000,
// the product rule over 60 distinct factors some 1.6 million; a chain of functions hundreds deep
// takes the cube of its depth (its derivative alone grows with the square). Past the bound the
// derivative is given up, and the graph goes without it as for a non-smooth function, rather than
// computing for minutes.
constexpr uint64_t kDerivativeWorkLimit = 2000000;
constexpr uint64_t kDerivativeWorkPerNode = 250;

void FreeCode(CompiledFunction* function) {
  FreeCompiledCode(function->code);
  function->code = nullptr;
}

// The scratch holding at least the fixed slots, or null (error 7 posted).
EvalCell* ScratchForEntry() {
  EvalCell* slots = EvalScratch();
  if (slots == nullptr || EvalScratchCapacity() < kFixedSlotCount) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  return slots;
}

double RealOf(const Complex& z) { return z.im == 0 ? z.re : kUndefinedReal; }

bool IsExactZero(const Interval& i) { return i.lo == 0 && i.hi == 0; }

// Runs a function over interval slots already filled in `slots` (real ones set as [a, b]). A
// complex result has real values where its imaginary part is 0: the real part's bounds hold them
// wherever that part may be 0, and the points off the real axis are a partial domain.
void RunInterval(CompiledFunction* function, EvalCell* slots, double* outLo, double* outHi) {
  if (function->code != nullptr && function->code->complex) {
    ComplexInterval r;
    InterpretComplexIntervalCode(&r, function->code, slots, nullptr);
    if (ComplexIntervalIsUndefined(r) || !IntervalHolds(r.im, 0.0)) {
      *outLo = *outHi = kUndefinedReal;
      return;
    }
    if (!IsExactZero(r.im)) IntervalMarkPartialDomain();
    *outLo = r.re.lo;
    *outHi = r.re.hi;
  } else {
    Interval r;
    InterpretIntervalCode(&r, function->code, slots, nullptr);
    *outLo = r.lo;
    *outHi = r.hi;
  }
}

void SetIntervalSlot(EvalCell* slots, int k, double lo, double hi, bool complex) {
  if (complex) {
    slots[k].complexInterval = ComplexInterval{Interval{lo, hi}, Interval{0.0, 0.0}};
  } else {
    slots[k].interval = Interval{lo, hi};
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction.

void InitFunction(CompiledFunction* function, ExprNode* tree) {
  function->tree = tree;
  function->code = nullptr;
  function->complex = 0;
  function->bindingsEvaluated = 0;
  function->bindings = NewBindingTable();
  if (function->bindings == nullptr) PostError(kErrorOutOfMemory);
  if (tree != nullptr) NormaliseTree(tree);
}

void DisposeFunction(CompiledFunction* function) {
  if (function == nullptr) return;
  NoteDisposeStart();
  FreeExpression(function->tree);
  function->tree = nullptr;
  FreeCode(function);
  FreeBindingTable(function->bindings);
  function->bindings = nullptr;
}

CompiledFunction* CopyFunction(const CompiledFunction* function) {
  if (function == nullptr) return nullptr;
  auto* copy = new (std::nothrow) CompiledFunction{};
  if (copy == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  ExprNode* tree = CopyExpression(function->tree);
  if (tree == nullptr && function->tree != nullptr) {
    delete copy;
    return nullptr;
  }
  InitFunction(copy, tree);
  return copy;
}

void RenameFunctionSymbol(CompiledFunction* function, int32_t from, int32_t to) {
  if (function->tree != nullptr) RenameSymbol(function->tree, static_cast<int16_t>(from), static_cast<int16_t>(to));
}

uint64_t DerivativeWorkLimit(int nodes) {
  return kDerivativeWorkLimit + kDerivativeWorkPerNode * static_cast<uint64_t>(nodes > 0 ? nodes : 0);
}

CompiledFunction* NewDerivativeFunction(const CompiledFunction* function, int32_t symbol) {
  auto* result = new (std::nothrow) CompiledFunction{};
  if (result == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  ExprNode* tree = nullptr;
  if (function != nullptr && function->tree != nullptr && !IsMemoryShort(0)) {
    ExprNode* copy = CopyExpression(function->tree);
    ExprNode* variable = copy != nullptr ? NewSymbolNode(static_cast<int16_t>(symbol)) : nullptr;
    ExprNode* derivative = variable != nullptr ? MakePartialDerivative(copy, variable) : nullptr;
    if (derivative != nullptr) {
      // In place (the root keeps its identity); one that grows past its bound is given up.
      if (ExpandDerivativesWithin(derivative, DerivativeWorkLimit(CountSubtreeNodes(copy)))) {
        tree = derivative;
      } else {
        FreeExpression(derivative);
      }
    } else {
      FreeExpression(copy);
      FreeExpression(variable);
    }
  }
  if (tree == nullptr) tree = NewNumberNode(kUndefinedReal);
  InitFunction(result, tree);
  return result;
}

// ---------------------------------------------------------------------------------------------
// Compilation.

void CompileOneFunction(CompiledFunction* function) {
  if (!CompileBatchIsOpen()) NoteCompileStart();  // a batch took its turn when it opened
  FreeCode(function);
  ClearBindingTable(function->bindings);
  function->bindingsEvaluated = 0;
  CompiledCode* code = NewCompiledCode();
  if (code == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  const bool inBatch = CompileBatchIsOpen();
  CompiledFunction* owner = function->bindings != nullptr ? function : nullptr;
  const int32_t slots = CompileExpression(code, function->tree, owner, false);
  if (!inBatch && !EnsureEvalScratch(slots)) PostError(kErrorOutOfMemory);
  const uint8_t complex = UsesComplexNumbersOutsideSumIndexes(function->tree) ? 1 : 0;
  code->complex = complex;
  function->complex = complex;
  function->code = code;
  // Binding codes are compiled now, never at the start of an evaluation.
  BindingTable* table = function->bindings;
  if (table == nullptr) return;
  for (int32_t k = 0; k < table->count; ++k) {
    CompiledCode* bindingCode = NewCompiledCode();
    if (bindingCode == nullptr) {
      PostError(kErrorOutOfMemory);
      continue;
    }
    CompileExpression(bindingCode, table->entries[k].expression, nullptr, true);
    table->entries[k].code = bindingCode;
  }
}

void FinishCompileList() {
  const int32_t slots = AssignSharedSlots();
  if (!EnsureEvalScratch(slots)) PostError(kErrorOutOfMemory);
}

// Block plans for the finished codes of a batch, and block scratch to run them together (or one
// by one when the batch is too large for one block run). Both are optional: without them the
// block entries evaluate point by point, so a refusal posts nothing.
static void PrepareBlocks(CompiledFunction* const* functions, int n) {
  const CompiledCode* codes[kMaxBlockBatch];
  int32_t count = 0;
  size_t bytes = 0;
  for (int i = 0; i < n; ++i) {
    if (functions[i] == nullptr || functions[i]->code == nullptr) continue;
    CompiledCode* code = functions[i]->code;
    if (!PrepareBlockPlan(code)) continue;
    const CompiledCode* alone = code;
    bytes = std::max(bytes, BlockScratchBytes(&alone, 1));
    if (count < kMaxBlockBatch) codes[count++] = code;
  }
  if (n <= kMaxBlockBatch) bytes = std::max(bytes, BlockScratchBytes(codes, count));
  EnsureBlockScratch(bytes);
}

void CompileFunctionList(CompiledFunction** functions, int n) {
  NoteCompileStart();
  BeginCompileBatch();
  for (int i = 0; i < n; ++i) {
    if (functions[i] != nullptr) CompileOneFunction(functions[i]);
  }
  FinishCompileList();
  PrepareBlocks(functions, n);
}

void CompileFunction(CompiledFunction* function) { CompileFunctionList(&function, 1); }

void CompileFunctions3(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3) {
  CompiledFunction* list[3] = {f1, f2, f3};
  CompileFunctionList(list, 3);
}

void CompileFunctions4(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3, CompiledFunction* f4) {
  CompiledFunction* list[4] = {f1, f2, f3, f4};
  CompileFunctionList(list, 4);
}

void BeginSharedCompile() {
  NoteCompileStart();
  BeginCompileBatch();
}

EvalContext* NewEvalContext(int32_t slotCount) {
  auto* context = static_cast<EvalContext*>(AllocMemory(sizeof(EvalContext)));
  if (context == nullptr) return nullptr;
  std::memset(static_cast<void*>(context), 0, sizeof(EvalContext));
  const int32_t cells = slotCount > kFixedSlotCount ? slotCount : kFixedSlotCount;
  context->table = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(cells) * sizeof(EvalCell)));
  if (context->table == nullptr) {
    FreeMemory(context);
    return nullptr;
  }
  std::memset(static_cast<void*>(context->table), 0, static_cast<size_t>(cells) * sizeof(EvalCell));
  context->tableCells = cells;
  context->slotCount = cells;
  return context;
}

void DisposeEvalContext(EvalContext* context) {
  if (context == nullptr) return;
  NoteDisposeStart();
  for (int32_t k = 0; k < context->uCount; ++k) FreeCompiledCode(context->uCodes[k]);
  for (int32_t k = 0; k < context->vCount; ++k) FreeCompiledCode(context->vCodes[k]);
  FreeMemory(context->uCodes);
  FreeMemory(context->vCodes);
  FreeMemory(context->table);
  FreeMemory(context->columnX);
  FreeMemory(context);
}

EvalContext* CompileFunctionsShared(CompiledFunction** functions, int n) {
  BeginSharedCompile();
  for (int i = 0; i < n; ++i) {
    if (functions[i] != nullptr) CompileOneFunction(functions[i]);
  }
  const int32_t slots = AssignSharedSlots();
  EvalContext* context = NewEvalContext(slots);
  if (context == nullptr) PostError(kErrorOutOfMemory);
  for (int i = 0; i < n; ++i) {
    if (context != nullptr && functions[i] != nullptr && functions[i]->complex) context->complex = 1;
  }
  if (!EnsureEvalScratch(slots)) PostError(kErrorOutOfMemory);
  PrepareBlocks(functions, n);
  return context;
}

EvalContext* CompileFunctionsShared1(CompiledFunction* f1) { return CompileFunctionsShared(&f1, 1); }

EvalContext* CompileFunctionsShared2(CompiledFunction* f1, CompiledFunction* f2) {
  CompiledFunction* list[2] = {f1, f2};
  return CompileFunctionsShared(list, 2);
}

EvalContext* CompileFunctionsShared3(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3) {
  CompiledFunction* list[3] = {f1, f2, f3};
  return CompileFunctionsShared(list, 3);
}

EvalContext* CompileFunctionsShared4(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3,
                                     CompiledFunction* f4) {
  CompiledFunction* list[4] = {f1, f2, f3, f4};
  return CompileFunctionsShared(list, 4);
}

EvalContext* CompileFunctionsShared9(CompiledFunction* const f[9]) {
  CompiledFunction* list[9];
  for (int i = 0; i < 9; ++i) list[i] = f[i];
  return CompileFunctionsShared(list, 9);
}

EvalContext* CompileFunctionsShared12(CompiledFunction* const f[12]) {
  CompiledFunction* list[12];
  for (int i = 0; i < 12; ++i) list[i] = f[i];
  return CompileFunctionsShared(list, 12);
}

void PrepareSampleGrid(double x0, double y0, double dx, double dy, int32_t nx, int32_t ny, EvalContext* context) {
  if (context == nullptr) return;
  if (x0 == context->x0 && y0 == context->y0 && dx == context->dx && dy == context->dy && nx == context->nx &&
      ny == context->ny) {
    return;
  }
  if (nx != context->nx || ny != context->ny) {
    const int64_t cells64 = static_cast<int64_t>(context->vCount) * ny + static_cast<int64_t>(context->uCount) * nx +
                            context->slotCount;
    if (cells64 < context->slotCount || cells64 > std::numeric_limits<int32_t>::max() / 2) return;
    const auto cells = static_cast<int32_t>(cells64);
    if (cells != context->tableCells) {
      auto* table = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(cells) * sizeof(EvalCell)));
      if (table == nullptr) {
        PostError(kErrorOutOfMemory);
        return;
      }
      std::memset(static_cast<void*>(table), 0, static_cast<size_t>(cells) * sizeof(EvalCell));
      std::memcpy(static_cast<void*>(table), context->table, static_cast<size_t>(context->slotCount) * sizeof(EvalCell));
      FreeMemory(context->table);
      context->table = table;
      context->tableCells = cells;
    }
  }
  context->x0 = x0;
  context->y0 = y0;
  context->dx = dx;
  context->dy = dy;
  context->nx = nx;
  context->ny = ny;
  // The column and row lists are always empty (uCount = vCount = 0): nothing to precompute. The
  // column x values serve the grid-row blocks; without them rows go point by point.
  if (context->columnCount != nx) {
    FreeMemory(context->columnX);
    context->columnX = nx > 0 ? static_cast<double*>(AllocMemory(static_cast<size_t>(nx) * sizeof(double))) : nullptr;
    context->columnCount = context->columnX != nullptr ? nx : 0;
  }
  for (int32_t i = 0; i < context->columnCount; ++i) context->columnX[i] = std::fma(static_cast<double>(i), dx, x0);
}

// ---------------------------------------------------------------------------------------------
// Evaluation.

// The scratch slots for one evaluation of the function, or null: a function without code posts
// the memory error (its compile failed), and the scratch may be refused.
static EvalCell* EntrySlots(CompiledFunction* function) {
  if (function == nullptr || function->code == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  return ScratchForEntry();
}

// The complex machine with the given real arguments in the given slots; NaN + NaN i when the
// function has no code or the scratch cannot be had.
static void EvaluateComplexAtSlots(Complex* out, CompiledFunction* function, const int* slotIndexes,
                                   const double* values, int n) {
  *out = Complex{kUndefinedReal, kUndefinedReal};
  EvalCell* slots = EntrySlots(function);
  if (slots == nullptr) return;
  slots[kSlotParameter].complex = Complex{ParameterValue(), 0.0};
  for (int i = 0; i < n; ++i) slots[slotIndexes[i]].complex = Complex{values[i], 0.0};
  InterpretComplexCode(out, function->code, slots, nullptr);
}

// Evaluates with the given real arguments in the given slots, choosing the machine by the code.
static double EvaluateAtSlots(CompiledFunction* function, const int* slotIndexes, const double* values, int n) {
  if (function != nullptr && function->code != nullptr && function->code->complex) {
    Complex r;
    EvaluateComplexAtSlots(&r, function, slotIndexes, values, n);
    return RealOf(r);
  }
  EvalCell* slots = EntrySlots(function);
  if (slots == nullptr) return kUndefinedReal;
  slots[kSlotParameter].real = ParameterValue();
  for (int i = 0; i < n; ++i) slots[slotIndexes[i]].real = values[i];
  return InterpretRealCode(function->code, slots, nullptr);
}

double EvaluateFunction1(CompiledFunction* function, double a) {
  static const int kSlots[1] = {kSlotU};
  return EvaluateAtSlots(function, kSlots, &a, 1);
}

double EvaluateFunction2(CompiledFunction* function, double a, double b) {
  static const int kSlots[2] = {kSlotX, kSlotY};
  const double values[2] = {a, b};
  return EvaluateAtSlots(function, kSlots, values, 2);
}

double EvaluateFunction6(CompiledFunction* function, double a1, double a2, double a3, double a4, double a5,
                         double a6) {
  static const int kSlots[6] = {kSlotU, kSlotV, kSlotX, kSlotY, kSlotZ, kSlotW};
  const double values[6] = {a1, a2, a3, a4, a5, a6};
  return EvaluateAtSlots(function, kSlots, values, 6);
}

void EvaluateComplexAt0(Complex* out, CompiledFunction* function) {
  EvaluateComplexAtSlots(out, function, nullptr, nullptr, 0);
}

void EvaluateComplexAt2(Complex* out, CompiledFunction* function, double a, double b) {
  static const int kSlots[2] = {kSlotX, kSlotY};
  const double values[2] = {a, b};
  EvaluateComplexAtSlots(out, function, kSlots, values, 2);
}

static void EvaluateIntervalAt(CompiledFunction* function, const int* slotIndexes, const double* bounds, int n,
                               double* outLo, double* outHi) {
  *outLo = *outHi = kUndefinedReal;
  EvalCell* slots = EntrySlots(function);
  if (slots == nullptr) return;
  const bool complex = function->code->complex != 0;
  const double p = ParameterValue();
  SetIntervalSlot(slots, kSlotParameter, p, p, complex);
  for (int i = 0; i < n; ++i) SetIntervalSlot(slots, slotIndexes[i], bounds[2 * i], bounds[2 * i + 1], complex);
  RunInterval(function, slots, outLo, outHi);
}

void EvaluateIntervalX(CompiledFunction* function, double lo, double hi, double* outLo, double* outHi) {
  static const int kSlots[1] = {kSlotU};
  const double bounds[2] = {lo, hi};
  EvaluateIntervalAt(function, kSlots, bounds, 1, outLo, outHi);
}

void EvaluateIntervalXY(CompiledFunction* function, double xLo, double xHi, double yLo, double yHi, double* outLo,
                        double* outHi) {
  static const int kSlots[2] = {kSlotX, kSlotY};
  const double bounds[4] = {xLo, xHi, yLo, yHi};
  EvaluateIntervalAt(function, kSlots, bounds, 2, outLo, outHi);
}

void EvaluateIntervalXYZ(CompiledFunction* function, double xLo, double xHi, double yLo, double yHi, double zLo,
                         double zHi, double* outLo, double* outHi) {
  static const int kSlots[3] = {kSlotX, kSlotY, kSlotZ};
  const double bounds[6] = {xLo, xHi, yLo, yHi, zLo, zHi};
  EvaluateIntervalAt(function, kSlots, bounds, 3, outLo, outHi);
}

double EvaluateAtGridPoint(CompiledFunction* function, int32_t i, int32_t j, EvalContext* context) {
  if (function == nullptr || function->code == nullptr || context == nullptr || context->table == nullptr) {
    PostError(kErrorOutOfMemory);
    return kUndefinedReal;
  }
  context->column = i;
  context->row = j;
  const double x = std::fma(static_cast<double>(i), context->dx, context->x0);
  const double y = std::fma(static_cast<double>(j), context->dy, context->y0);
  EvalCell* table = context->table;
  if (!function->code->complex && !context->complex) {
    table[kSlotU].real = x;
    table[kSlotX].real = x;
    table[kSlotV].real = y;
    table[kSlotY].real = y;
    table[kSlotParameter].real = ParameterValue();
    return InterpretRealCode(function->code, table, context);
  }
  table[kSlotU].complex = Complex{x, 0.0};
  table[kSlotX].complex = Complex{x, 0.0};
  table[kSlotV].complex = Complex{y, 0.0};
  table[kSlotY].complex = Complex{y, 0.0};
  table[kSlotParameter].complex = Complex{ParameterValue(), 0.0};
  Complex r;
  InterpretComplexCode(&r, function->code, table, context);
  return RealOf(r);
}

// ---------------------------------------------------------------------------------------------
// Tree services.

namespace {

// Compiles a copy of the node as a function of its own (a nested compile: no batch, no scratch,
// and no bindings, as it runs once) and evaluates it over private slots.
double EvaluateNodeCopy(const ExprNode* node) {
  struct Disposed {
    CompiledFunction function{};
    ~Disposed() { DisposeFunction(&function); }
  } held;
  NoteCompileStart();
  CompiledFunction& function = held.function;
  InitFunction(&function, CopyExpression(node));
  CompiledCode* code = function.tree != nullptr ? NewCompiledCode() : nullptr;
  if (code == nullptr) return kUndefinedReal;
  const int32_t cells = CompileExpression(code, function.tree, nullptr, true);
  function.code = code;
  function.complex = code->complex = UsesComplexNumbersOutsideSumIndexes(function.tree) ? 1 : 0;
  const CountedBlock<EvalCell> block(static_cast<size_t>(cells), true);
  EvalCell* slots = block.get();
  if (slots == nullptr) {
    PostError(kErrorOutOfMemory);
    return kUndefinedReal;
  }
  if (function.complex) {
    slots[kSlotParameter].complex = Complex{ParameterValue(), 0.0};
    Complex z;
    InterpretComplexCode(&z, code, slots, nullptr);
    return RealOf(z);
  }
  slots[kSlotParameter].real = ParameterValue();
  return InterpretRealCode(code, slots, nullptr);
}

}  // namespace

double NodeToNumber(const ExprNode* node) {
  if (NodeNumberReader reader = InstalledNodeToNumberReader(); reader != nullptr) return reader(node);
  if (node == nullptr) return kUndefinedReal;
  if (node->kind == KindNum) return node->value.number != nullptr ? node->value.number->value : kUndefinedReal;
  if (node->kind == KindMinus && node->arity == 1 && node->children[0]->kind == KindNum &&
      node->children[0]->value.number != nullptr) {
    return -node->children[0]->value.number->value;
  }
  return EvaluateNodeCopy(node);
}

bool FunctionDependsOnSymbol(const CompiledFunction* function, int32_t id) {
  if (function == nullptr || function->tree == nullptr) return false;
  if (ContainsSymbol(function->tree, static_cast<int16_t>(id))) return true;
  return id > 255 && id != SymTheta && ContainsSymbol(function->tree, static_cast<int16_t>(id & 0xFF));
}

bool HasOnlySmoothOperators(const CompiledFunction* function) {
  if (function == nullptr || function->tree == nullptr) return true;
  TreeCursor cursor(function->tree, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindFact || n->kind == KindBesselj || IsNonSmoothKind(n->kind)) return false;
  }
  return true;
}

int FunctionArity(const CompiledFunction* function) {
  if (function == nullptr || function->tree == nullptr) return 0;
  const ExprNode* root = function->tree;
  return root->kind == KindNum || root->kind == KindString ? 0 : root->arity;
}

void FunctionVector4(CompiledFunction* const* functions, int n, double* a, double* b, double* c, double* d) {
  double* out[4] = {a, b, c, d};
  const ExprNode* root = functions != nullptr && functions[n] != nullptr ? functions[n]->tree : nullptr;
  const int arity = root == nullptr || root->kind == KindNum || root->kind == KindString ? 0 : root->arity;
  for (int i = 0; i < 4; ++i) *out[i] = i < arity ? NodeToNumber(root->children[i]) : kUndefinedReal;
}

namespace {

struct Linear {
  double a, b, c, d;
};

bool LinearOf(const ExprNode* node, Linear* out, int depth) {
  if (depth > 200) return false;
  if (IsConstantSubtree(node)) {
    *out = Linear{0, 0, 0, NodeToNumber(node)};
    return true;
  }
  const int arity = node->kind == KindNum || node->kind == KindString ? 0 : node->arity;
  switch (node->kind) {
    case KindPlus: {
      Linear sum{0, 0, 0, 0};
      for (int i = 0; i < arity; ++i) {
        Linear t;
        if (!LinearOf(node->children[i], &t, depth + 1)) return false;
        sum = Linear{sum.a + t.a, sum.b + t.b, sum.c + t.c, sum.d + t.d};
      }
      *out = sum;
      return true;
    }
    case KindOver: {
      Linear num, den;
      if (arity != 2 || !LinearOf(node->children[0], &num, depth + 1) || !LinearOf(node->children[1], &den, depth + 1))
        return false;
      if (den.a != 0 || den.b != 0 || den.c != 0 || den.d == 0) return false;
      const double r = 1.0 / den.d;
      *out = Linear{num.a * r, num.b * r, num.c * r, num.d * r};
      return true;
    }
    case KindMinus: {
      Linear t;
      if (arity != 1 || !LinearOf(node->children[0], &t, depth + 1)) return false;
      *out = Linear{-t.a, -t.b, -t.c, -t.d};
      return true;
    }
    case KindTimes: {
      Linear p{0, 0, 0, 1};
      for (int i = 0; i < arity; ++i) {
        Linear f;
        if (!LinearOf(node->children[i], &f, depth + 1)) return false;
        if (f.a == 0 && f.b == 0 && f.c == 0) {
          p = Linear{p.a * f.d, p.b * f.d, p.c * f.d, p.d * f.d};
        } else {
          if (p.a != 0 || p.b != 0 || p.c != 0) return false;
          p = Linear{p.d * f.a, p.d * f.b, p.d * f.c, p.d * f.d};
        }
      }
      *out = p;
      return true;
    }
    case KindChar:
      switch (node->value.symbol) {
        case 'x': *out = Linear{1, 0, 0, 0}; return true;
        case 'y': *out = Linear{0, 1, 0, 0}; return true;
        case 'z': *out = Linear{0, 0, 1, 0}; return true;
        default: return false;
      }
    default: return false;
  }
}

}  // namespace

bool GetLinearCoefficients(const ExprNode* node, double* a, double* b, double* c, double* d) {
  if (node == nullptr) return false;
  Linear l;
  if (!LinearOf(node, &l, 0)) return false;
  *a = l.a;
  *b = l.b;
  *c = l.c;
  *d = l.d;
  return true;
}

bool GetLinearInequalityPlane(const CompiledFunction* function, double* a, double* b, double* c, double* d) {
  if (function == nullptr || function->tree == nullptr) return false;
  const ExprNode* root = function->tree;
  const uint32_t k = root->kind;
  if ((k != KindLessthan && k != KindLeq && k != KindGreaterthan && k != KindGeq) || root->arity != 2) return false;
  Linear left, right;
  if (!LinearOf(root->children[0], &left, 0) || !LinearOf(root->children[1], &right, 0)) return false;
  const bool rightMinusLeft = k == KindLessthan || k == KindLeq;
  const Linear& p = rightMinusLeft ? right : left;
  const Linear& q = rightMinusLeft ? left : right;
  *a = p.a - q.a;
  *b = p.b - q.b;
  *c = p.c - q.c;
  *d = p.d - q.d;
  return true;
}
