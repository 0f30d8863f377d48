// The algebra test kit: trees from bracket text (tree_test::Build), a comparison that also checks
// the value words ExpressionsEqual ignores, failure messages that print both trees, a small
// numeric evaluator (variables from a map) as an oracle independent of the compiler, and a
// fixture that installs the algebra's seams, checks no pool block leaks and that every entry
// point left the simplifier's switches at their defaults and the pattern bindings empty (and
// names no integration server).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "algebra/algebra_commands.h"
#include "algebra/differentiation.h"
#include "algebra/algebra_seams.h"
#include "algebra/normalisation_passes.h"
#include "algebra/pattern_rewriting.h"
#include "algebra/remote_integration.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/elementary_functions.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace algebra_test {

using tree_test::Text;
using Values = std::map<int32_t, double>;  // by symbol id: letters, and pi or e bound as an index

// A tree from bracket text (tree_test::Build); Build itself is the algebra's node builder.
inline ExprNode* Tree(const char* text) { return tree_test::Build(text); }
inline ExprNode* Tree(const std::string& text) { return tree_test::Build(text.c_str()); }

// The Math commands whose results the value properties read.
constexpr int32_t kSimplify = 0x2000, kExpand = 0x2002, kExpandSpecialForms = 0x201B;

class AlgebraTest : public tree_test::TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    ResetAlgebraSwitches();
    InstallAlgebraSeams();
    // No test reaches an integration server unless it starts one itself.
    unsetenv(kIntegrationServerVariable);
    ResetRemoteIntegrationForTest();
  }
  void TearDown() override {
    const AlgebraSwitches defaults{};
    EXPECT_EQ(std::memcmp(&Switches(), &defaults, sizeof defaults), 0) << "a switch was left changed";
    for (const ExprNode* bound : Bindings().slot) EXPECT_EQ(bound, nullptr) << "a pattern binding was left";
    ClearPatternBindings();
    ResetAlgebraSwitches();
    ResetEvaluationSeams();
    ResetRemoteIntegrationForTest();
    SetOutOfMemoryFlag(false);
    TreeTest::TearDown();
  }
};

// Equal kinds, arities, numbers, symbols and texts (ExpressionsEqual) and equal value words of
// matrices, index lists and tensors, walked in step.
inline bool SameWithValueWords(const ExprNode* a, const ExprNode* b) {
  if (!ExpressionsEqual(a, b)) return false;
  TreeCursor x(const_cast<ExprNode*>(a), WalkOrder::kPreOrder), y(const_cast<ExprNode*>(b), WalkOrder::kPreOrder);
  for (; x.Current() != nullptr; x.Next(), y.Next()) {
    const uint32_t k = x.Current()->kind;
    if ((k == KindMatrix || k == KindIndexes || k == KindTensor) && x.Current()->value.raw != y.Current()->value.raw) return false;
  }
  return true;
}

// The tree is a valid tree equal to the one the text builds (tree_test::Build); a failure prints both.
inline ::testing::AssertionResult Is(const ExprNode* tree, const char* text) {
  const char* why = "";
  if (!CheckExpressionTree(tree, &why)) return ::testing::AssertionFailure() << Text(tree) << ": " << why;
  ExprNode* expected = tree_test::Build(text);
  const bool same = SameWithValueWords(tree, expected);
  const std::string wanted = Text(expected);
  FreeExpression(expected);
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Text(tree) << "\n want " << wanted;
}

// Runs `step` on the tree of `before` and compares with `after`; the tree is freed.
template <class Step>
::testing::AssertionResult Rewrites(Step step, const char* before, const char* after) {
  ExprNode* tree = tree_test::Build(before);
  step(tree);
  ::testing::AssertionResult result = Is(tree, after);
  FreeExpression(tree);
  return result << " (from " << before << ")";
}

// Runs `step` on a fresh tree of `text` once for each allocation the step makes, that allocation
// refused (the flags cleared after); every result must be a valid tree and pass `check`.
template <class Step, class Check>
void WithEachAllocationRefused(const char* text, Step step, Check check) {
  for (uint64_t n = 1, reached = 1; reached != 0; ++n) {
    ExprNode* tree = Tree(text);
    FailNodeAllocationAt(n);
    step(tree);
    reached = NodeAllocationAttempts() >= n;
    FailNodeAllocationAt(0);
    SetOutOfMemoryFlag(false);
    EXPECT_TRUE(CheckExpressionTree(tree)) << text << " refusing allocation " << n;
    check(tree, n);
    FreeExpression(tree);
  }
}

// A formula editor made current without fonts or document: the tree of `text`, the caret in mode
// 0 on the node the slot path reaches ("10": operand 1, then its operand 0). Frees the tree.
struct CurrentEditor {
  explicit CurrentEditor(const char* text, const char* path = "") {
    editor.root = Tree(text);
    editor.caretNode = editor.root;
    for (const char* p = path; *p != 0; ++p) editor.caretNode = editor.caretNode->children[*p - '0'];
    TypesettingGlobals().currentEditor = &editor;
  }
  ~CurrentEditor() {
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(editor.root);
  }
  FormulaEditor editor{};
};

// Runs `command` on a current editor of `before` and compares its formula with `after`.
template <class Command>
::testing::AssertionResult Transforms(Command command, const char* before, const char* after) {
  CurrentEditor e(before);
  command();
  return Is(e.editor.root, after) << " (from " << before << ")";
}

// The caret as the fixture's slot path, its mode, start and end: "10 m0 0:0"; "outside" when the
// caret node is not in the editor's tree.
inline std::string CaretPlace(const FormulaEditor& e) {
  std::string path;
  const ExprNode* n = e.caretNode;
  for (; n != nullptr && n->parent != nullptr; n = n->parent) path.insert(path.begin(), static_cast<char>('0' + IndexInParent(n)));
  if (n != e.root) return "outside";
  return path + " m" + std::to_string(e.selectionMode) + " " + std::to_string(e.selectionStart) + ":" +
         std::to_string(e.selectionEnd);
}

// The numeric value of a tree: letters from the map (e and pi are the constants unless the map
// holds them, as a sum over pi does), bounded sums and products over whole steps, NaN for a kind it
// does not know. Conventions follow the kernel's:
// arccot in (0, pi), sgn(0) = 0, a root or a quotient exponent p/q of a negative number real when
// q is odd (RationalPower), a comparison chain or a conjunction 1 or 0 (0 with NaN), (v if c)
// undefined unless c is exactly 1.
inline double Evaluate(const ExprNode* n, const Values& values) {
  auto arg = [&](int i) { return i < n->arity ? Evaluate(n->children[i], values) : NAN; };
  const double u = n->arity > 0 ? arg(0) : NAN;
  auto fold = [&](double start, bool product) {
    for (int i = 0; i < n->arity; ++i) start = product ? start * arg(i) : start + arg(i);
    return start;
  };
  switch (n->kind) {
    case KindNum: return n->value.number->value;
    case KindChar: {
      const int32_t id = n->value.symbol;
      if (auto found = values.find(id); found != values.end()) return found->second;
      return id == 'e' ? M_E : id == SymPi ? M_PI : NAN;
    }
    case KindPlus: return fold(0, false);
    case KindTimes: return fold(1, true);
    case KindMinus: return n->arity == 1 ? -u : NAN;
    case KindId: return n->arity == 1 ? u : NAN;
    case KindOver: return u / arg(1);
    case KindPower: {
      const ExprNode* e = n->arity == 2 ? n->children[1] : nullptr;
      const bool negated = e != nullptr && e->kind == KindMinus && e->arity == 1;
      const ExprNode* ratio = negated ? e->children[0] : e;
      if (ratio == nullptr || ratio->kind != KindOver || ratio->arity != 2) return std::pow(u, arg(1));
      const double p = Evaluate(ratio->children[0], values);
      return RationalPower(u, Evaluate(ratio->children[1], values), negated ? -p : p);
    }
    case KindSqrt: return n->arity == 1 ? std::sqrt(u) : RationalPower(u, arg(1), 1);
    case KindLog: return n->arity == 1 ? std::log10(u) : std::log(u) / std::log(arg(1));
    case KindLn: return std::log(u);
    case KindExp: return std::exp(u);
    case KindAbs: return std::fabs(u);
    case KindSgn: return u > 0 ? 1 : u < 0 ? -1 : u;
    case KindFloor: return std::floor(u);
    case KindCeil: return std::ceil(u);
    case KindFact: return std::tgamma(u + 1);
    case KindSin: return std::sin(u);
    case KindCos: return std::cos(u);
    case KindTan: return std::tan(u);
    case KindCot: return 1 / std::tan(u);
    case KindSec: return 1 / std::cos(u);
    case KindCsc: return 1 / std::sin(u);
    case KindSinh: return std::sinh(u);
    case KindCosh: return std::cosh(u);
    case KindTanh: return std::tanh(u);
    case KindCoth: return 1 / std::tanh(u);
    case KindSech: return 1 / std::cosh(u);
    case KindCsch: return 1 / std::sinh(u);
    case KindAsin: return std::asin(u);
    case KindAcos: return std::acos(u);
    case KindAtan: return std::atan(u);
    case KindAcot: return u == 0 ? M_PI / 2 : u > 0 ? std::atan(1 / u) : M_PI + std::atan(1 / u);
    case KindAsec: return std::acos(1 / u);
    case KindAcsc: return std::asin(1 / u);
    case KindAsinh: return std::asinh(u);
    case KindAcosh: return std::acosh(u);
    case KindAtanh: return std::atanh(u);
    case KindAcoth: return std::atanh(1 / u);
    case KindAsech: return std::acosh(1 / u);
    case KindAcsch: return std::asinh(1 / u);
    case KindIf: return arg(1) == 1 ? u : NAN;
    case KindWedge: {
      bool all = true;
      for (int i = 0; i < n->arity; ++i) all = all && arg(i) == 1;
      return all ? 1 : 0;
    }
    case KindLessthan:
    case KindLeq:
    case KindGreaterthan:
    case KindGeq: {
      bool holds = n->arity >= 2;
      for (int i = 0; holds && i + 1 < n->arity; ++i) {
        const double l = arg(i), r = arg(i + 1);
        holds = n->kind == KindLessthan ? l < r : n->kind == KindLeq ? l <= r : n->kind == KindGreaterthan ? l > r : l >= r;
      }
      return holds ? 1 : 0;
    }
    case KindSum:
    case KindProd: {  // (body, i = a, b): i over a, a + 1, ... up to b, at most 1000 terms
      const ExprNode* range = n->arity == 3 ? n->children[1] : nullptr;
      if (range == nullptr || range->kind != KindEqual || range->arity != 2 || range->children[0]->kind != KindChar) return NAN;
      const bool sum = n->kind == KindSum;
      Values inner = values;
      double total = sum ? 0 : 1;
      const double first = Evaluate(range->children[1], values), last = arg(2);
      for (int k = 0; k < 1000 && first + k <= last; ++k) {
        inner[range->children[0]->value.symbol] = first + k;
        const double term = Evaluate(n->children[0], inner);
        total = sum ? total + term : total * term;
      }
      return total;
    }
    default: return NAN;
  }
}

// Both finite and equal within a relative tolerance (or both not finite).
inline bool Close(double a, double b, double tolerance = 1e-9) {
  if (!std::isfinite(a) || !std::isfinite(b)) return !std::isfinite(a) && !std::isfinite(b);
  return std::fabs(a - b) <= tolerance * std::fmax(1.0, std::fmax(std::fabs(a), std::fabs(b)));
}

// Whether a comparison at the point reads the formula and not its rounding: every part finite, no
// sum cancelling below a fiftieth of its terms, no logarithm within a millionth of 0; a sum's or
// product's body is read at each value of its index.
inline bool WellConditioned(const ExprNode* n, const Values& at) {
  const double v = Evaluate(n, at);
  if (!std::isfinite(v)) return false;
  const ExprNode* range = (n->kind == KindSum || n->kind == KindProd) && n->arity == 3 ? n->children[1] : nullptr;
  if (range != nullptr && range->kind == KindEqual && range->arity == 2 && range->children[0]->kind == KindChar) {
    Values inner = at;
    const double first = Evaluate(range->children[1], at), last = Evaluate(n->children[2], at);
    for (int k = 0; k < 1000 && first + k <= last; ++k) {  // the steps Evaluate takes
      inner[range->children[0]->value.symbol] = first + k;
      if (!WellConditioned(n->children[0], inner)) return false;
    }
    return true;
  }
  double terms = 0;
  for (int i = 0; i < n->arity; ++i) {
    if (!WellConditioned(n->children[i], at)) return false;
    terms += std::fabs(Evaluate(n->children[i], at));
  }
  if (n->kind == KindLn || n->kind == KindLog) return std::fabs(v) >= 1e-6;
  return n->kind != KindPlus || std::fabs(v) >= terms / 50;
}

// The value at the point is no rounding noise: moving every letter by one part in 10^10 moves it by
// less than one part in 10^8 (a wrong sign rule passes this, a nearly cancelling expansion fails).
inline bool StableAt(const ExprNode* tree, const Values& at) {
  Values near = at;
  for (auto& entry : near) entry.second *= 1 + 1e-10;
  const double v = Evaluate(tree, at), w = Evaluate(tree, near);
  return std::isfinite(v) == std::isfinite(w) && (!std::isfinite(v) || Close(v, w, 1e-8));
}

// Compares the values of a formula and of a command's result at points where both read clearly,
// reporting the first ten that differ with what `what()` tells.
struct ValueComparison {
  template <class What>
  void At(const ExprNode* before, const ExprNode* after, const Values& at, What what) {
    if (!WellConditioned(before, at) || !StableAt(before, at) || !StableAt(after, at)) return;
    ++compared;
    const double want = Evaluate(before, at), got = Evaluate(after, at);
    if (Close(want, got, 1e-6) || ++failures > 10) return;
    std::string point;
    for (const auto& [id, value] : at) point += " " + std::to_string(id) + "=" + std::to_string(value);
    ADD_FAILURE() << want << " vs " << got << " at" << point << ": " << what();
  }
  int compared = 0, failures = 0;
};

// Runs Simplify, Expand and Expand Special Forms in turn on `count` formulas of `make()`, each in
// the row `wrap` gives; `check(formula, result, what)` reads each result. Frees the formulas.
template <class Make, class Wrap, class Check>
void ThroughTheThreeCommands(int count, Make make, Wrap wrap, Check check) {
  for (int n = 0; n < count; ++n) {
    const int32_t code = n % 3 == 0 ? kSimplify : n % 3 == 1 ? kExpand : kExpandSpecialForms;
    ExprNode* formula = make();
    const std::string text = wrap(Text(formula));
    CurrentEditor e(text.c_str());
    RunAlgebraCommand(code);
    ASSERT_TRUE(CheckExpressionTree(e.editor.root)) << text;
    check(formula, e.editor.root, [&] { return std::to_string(code) + ": " + text + " -> " + Text(e.editor.root); });
    FreeExpression(formula);
  }
}

// Random expressions in x, y and z: positive ones (which may go under roots, whose rules hold for
// positive bases only) and any ones under +, x, /, integer powers, negation, the given functions;
// logarithms of positive ones, exponentials of any.
class RandomExpressions {
 public:
  RandomExpressions(uint32_t seed, std::vector<uint32_t> functions) : rng_(seed), functions_(std::move(functions)) {}
  ExprNode* Make(int depth, bool positive = false) {
    if (depth <= 0 || Below(4) == 0) {
      return Below(3) == 0 ? NewNumberNode(positive ? 1 + Below(4) : Below(7) - 3) : NewSymbolNode(static_cast<int16_t>("xyz"[Below(3)]));
    }
    const int d = depth - 1;
    switch (Below(positive ? 6 : 8)) {
      case 0: return Build(KindPlus, {Make(d, positive), Make(d, positive)});
      case 1: return Build(KindTimes, {Make(d, positive), Make(d, positive)});
      case 2: return Build(KindOver, {Make(d, positive), Make(d, positive)});
      case 3: return Build(KindPower, {Make(d, positive), NewNumberNode(Below(6) - 2)});
      case 4: return positive ? Build(KindSqrt, {Make(d, true)}) : Build(KindMinus, {Make(d)});
      case 5: return positive ? Build(KindExp, {Make(d - 1)}) : Build(functions_[Below(static_cast<int>(functions_.size()))], {Make(d)});
      case 6: return Build(KindLn, {Make(d, true)});
      default: return Make(depth, true);
    }
  }
  Values Point() {
    std::uniform_real_distribution<double> d(0.3, 2.0);
    return {{'x', d(rng_)}, {'y', d(rng_)}, {'z', d(rng_)}};
  }

 private:
  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  std::mt19937 rng_;
  std::vector<uint32_t> functions_;
};

// Random formulas for rules that hold for some signs only (powers of powers, roots, logarithms of
// products and powers, absolute values) over the given letters, which also stand as exponents.
class SignedFormulas {
 public:
  SignedFormulas(uint32_t seed, std::vector<int32_t> letters) : rng_(seed), letters_(std::move(letters)) {}
  ExprNode* Make(int depth) {
    if (depth <= 0 || Below(5) == 0) return Leaf();
    const int d = depth - 1;
    switch (Below(13)) {
      case 0: return Build(KindPlus, {Make(d), Make(d)});
      case 1: return Below(2) ? Build(KindTimes, {Make(d), Make(d)}) : Build(KindTimes, {Make(d), Make(d), Make(d)});
      case 2: return Build(KindOver, {Make(d), Make(d)});
      case 3: return Build(KindMinus, {Make(d)});
      case 4: return Build(KindPower, {Make(d), Exponent()});
      case 5: return Below(2) ? Build(KindSqrt, {Make(d)}) : Build(KindSqrt, {Make(d), NewNumberNode(2 + Below(3))});
      case 6: return Build(KindPower, {Build(KindPower, {Make(d), Exponent()}), Exponent()});
      case 7: return Build(Below(2) ? KindLn : KindLog, {Make(d)});
      case 8: return Build(Below(3) ? KindAbs : KindExp, {Make(d - 1)});
      case 9: return Build(KindSqrt, {Build(KindPower, {Make(d), NewNumberNode(2)})});
      case 10: return Build(KindLn, {Below(2) ? Build(KindPower, {Make(d), Exponent()}) : Build(KindTimes, {Make(d), Make(d)})});
      case 11: return Build(KindTimes, {Build(KindMinus, {Make(d)}), Build(KindMinus, {Make(d)})});
      default: return Build(KindPower, {Build(KindPlus, {Make(d), Make(d)}), NewNumberNode(2)});
    }
  }
  // Each letter of either sign, one in five near zero.
  Values Point() {
    std::uniform_real_distribution<double> far(0.3, 2.0), near(1e-3, 0.05);
    Values v;
    for (int32_t id : letters_) v[id] = (Below(2) ? -1 : 1) * (Below(5) == 0 ? near(rng_) : far(rng_));
    return v;
  }
  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  ExprNode* Leaf(bool letter = false) {
    if (!letter && Below(4) == 0) {
      static constexpr double kNumbers[] = {-2, -1, 0.5, 1, 2, 3};
      return NewNumberNode(kNumbers[Below(6)]);
    }
    return NewSymbolNode(static_cast<int16_t>(letters_[Below(static_cast<int>(letters_.size()))]));
  }
  // None above 4, so that an expansion keeps the digits a comparison reads.
  ExprNode* Exponent() {
    static constexpr int kWhole[] = {2, 3, 0, 0, 0, 0, 0, -2}, kOver[][2] = {{1, 2}, {1, 3}, {2, 3}, {1, 4}};
    const int pick = Below(9);
    if (pick == 2) return NewNumberNode(Below(2) ? -1 : 4);
    if (pick >= 3 && pick <= 6) return Build(KindOver, {NewNumberNode(kOver[pick - 3][0]), NewNumberNode(kOver[pick - 3][1])});
    return pick == 8 ? Leaf(true) : NewNumberNode(kWhole[pick]);
  }
  std::mt19937 rng_;
  std::vector<int32_t> letters_;
};

}  // namespace algebra_test
